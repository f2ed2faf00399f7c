// The attributes of "zelm.meter~": each row says how the attribute is registered,
// how a value is stored and which widget shows it.
#include "meter/MeterAttributes.h"

#include "meter/MaxMspJuceWindowManager.h"
#include "meter/MeterAtoms.h"
#include "meter/MeterHandOver.h"

#include "docgen/ExternalDocumentation.h"
#include "dsp/Mixer.h"
#include "dsp/MultiRMSMetering.h"
#include "gui/MeterColours.h"
#include "gui/MultiMeterComponent.h"

#include <algorithm>
#include <array>
#include <cstddef>

namespace
{
constexpr long deferred = ATTR_SET_DEFER_LOW;

using Step = t_meter_registrationstep;

Step setterStep() { return { Step::setter }; }
Step clipStep (long defaultFlags = 0) { return { Step::clip, nullptr, nullptr, {}, defaultFlags }; }
Step parseStep (const char* name, const char* type, std::string text, long flags = 0) { return { Step::parse, name, type, std::move (text), flags }; }
Step ownTypeStep (const char* name, std::string text, long flags = 0) { return parseStep (name, "", std::move (text), flags); }
Step symbolStep (const char* name, std::string text, long flags = 0) { return { Step::symbol, name, "symbol", std::move (text), flags }; }
Step dontReset() { return parseStep ("dontreset", "long", "1"); }
Step onOff (long flags = 0) { return parseStep ("style", "symbol", "onoff", flags); }
Step windowCategory() { return parseStep ("category", "symbol", "window options"); }

// Storing: each writes its field under the attribute lock; the flag and the symbol
// are given back for the mixer.
bool storeFlag (t_meter* x, t_atom_long& field, const t_atom& atom)
{
    const bool value = meter_atomflag (atom);
    meter_storefields (x, [&] { field = value ? 1 : 0; });
    return value;
}

void storeNumber (t_meter* x, float& field, float value)
{
    meter_storefields (x, [&] { field = value; });
}

t_symbol* storeSymbol (t_meter* x, t_symbol*& field, const t_atom& atom)
{
    auto* value = meter_atomsymbol (atom);
    meter_storefields (x, [&] { field = value; });
    return value;
}

// The fixed sizes: stored while the GUI does not exist yet, refused afterwards;
// always within the attribute's limits, whatever reaches them.
void storeFixed (t_meter* x, t_atom_long& field, const t_atom& atom, const t_meter_range& range, const char* refusal)
{
    const auto value = std::clamp (atom_getlong (&atom), static_cast<t_atom_long> (range.minimum), static_cast<t_atom_long> (range.maximum));

    if (x->gui == nullptr)
        meter_storefields (x, [&] { field = value; });
    else if (value != field)
        object_error (meter_asobject (x), "%s", refusal);
}

void storeTopLeft (t_meter* x, long argc, const t_atom* argv)
{
    meter_changewindow (x, [&] (MaxMspJuceWindowManager* window)
    {
        // Only the coordinates given change.
        const float left = meter_atomnumber (argv[0]);
        const float top = argc >= 2 ? meter_atomnumber (argv[1]) : x->windowtopleft[1];

        // A corner the window refuses (it is open and may not be moved) leaves the
        // attribute as it was: it never names a corner the window is not at.
        if (window == nullptr || window->SetTopLeftPoint (left, top))
        {
            x->windowtopleft[0] = left;
            x->windowtopleft[1] = top;
        }
    });
}

void storeRate (t_meter* x, long, const t_atom* argv)
{
    const auto rate = std::clamp (meter_atomnumber (argv[0]), static_cast<float> (meter_raterange.minimum), static_cast<float> (meter_raterange.maximum));
    storeNumber (x, x->rate, rate);

    if (x->mixer != nullptr)
        x->mixer->SetRefreshInterval (rate);
}

// Showing: the widget takes the value as stored, read under the attribute lock.
template <typename Value>
Value stored (t_meter* x, const Value& field)
{
    const std::lock_guard<std::mutex> lock (x->attributeMutex);
    return field;
}

bool storedFlag (t_meter* x, const t_atom_long& field)
{
    return stored (x, field) != 0;
}

std::array<double, 4> storedColour (t_meter* x, const double (&field)[4])
{
    const std::lock_guard<std::mutex> lock (x->attributeMutex);
    return std::to_array (field);
}

void showOpenGL (t_meter* x, const t_atom&)
{
    if (! x->gui->setUseOpenGL (storedFlag (x, x->useopengl)))
        object_error (meter_asobject (x), "could not use OpenGL: the display offers none; the window keeps drawing in software");
}

using ColourSetter = void (oskelgui::MultiMeterComponent::*) (double, double, double, double);
using ColourField = double (t_meter_fields::*)[4];

template <ColourField field, ColourSetter setColour>
t_meter_attribute colour (const char* name, long offset, const char* label, const std::string& defaultText)
{
    return { name, "float64", 4, offset, t_meter_setter::standard, deferred, {},
             { parseStep ("style", "symbol", "rgba", deferred), setterStep(), symbolStep ("label", label), ownTypeStep ("default", defaultText, deferred) },
             [] (t_meter* x, long argc, const t_atom* argv) { meter_storefields (x, [&] { meter_parse_rgba (x->*field, argc, argv); }); },
             [] (t_meter* x, const t_atom&)
             {
                 const auto c = storedColour (x, x->*field);
                 (x->gui->*setColour) (c[0], c[1], c[2], c[3]);
             } };
}

#define MEMBER(field) static_cast<long> (offsetof (t_meter_fields, field))

std::vector<t_meter_attribute> makeAttributes()
{
    using Meter = oskelgui::MultiMeterComponent;
    const auto standard = t_meter_setter::standard;

    return {
        { "numchannels", "long", 1, MEMBER (numchannels), standard, 0, meter_numchannelsrange,
          { setterStep(), clipStep(), dontReset(), symbolStep ("label", "number of channels"),
            symbolStep ("description", Zelm::NumChannelsDescription) },
          [] (t_meter* x, long, const t_atom* argv)
          { storeFixed (x, x->numchannels, argv[0], meter_numchannelsrange, "could not dynamically change number of channels"); },
          nullptr, true },
        { "numleds", "long", 1, MEMBER (numleds), standard, 0, meter_numledsrange,
          { setterStep(), clipStep(), dontReset(), symbolStep ("label", "number of leds") },
          [] (t_meter* x, long, const t_atom* argv)
          { storeFixed (x, x->numleds, argv[0], meter_numledsrange, "could not dynamically change number of leds"); },
          nullptr, true },
        { "mute", "long", 1, MEMBER (mute), standard, deferred, { 0, 1, 0 },
          { setterStep(), clipStep(), symbolStep ("label", "global mute"), onOff() },
          [] (t_meter* x, long, const t_atom* argv) { storeFlag (x, x->mute, argv[0]); },
          [] (t_meter* x, const t_atom&) { x->gui->setMasterMute (storedFlag (x, x->mute), juce::sendNotification); } },
        { "gain", "float32", 1, MEMBER (gain), standard, deferred, { -60, 6, 0 },
          { setterStep(), clipStep(), symbolStep ("label", "global gain"), symbolStep ("units", "dB"), symbolStep ("description", "global gain") },
          nullptr,   // the slider's notification writes the field
          [] (t_meter* x, const t_atom& value) { meter_setslidergain (x, meter_atomnumber (value)); } },
        { "post", "long", 1, MEMBER (post), standard, deferred, { 0, 1, 1 },
          { setterStep(), clipStep(), dontReset(), symbolStep ("label", "vumeter pre or post gain"),
            symbolStep ("description", "decide whether the vumeters are calculated pre or post mixing gain"), onOff() },
          [] (t_meter* x, long, const t_atom* argv)
          {
              const auto post = storeFlag (x, x->post, argv[0]);

              if (x->mixer != nullptr)
                  x->mixer->SetPostGainMetering (post);
          },
          nullptr },
        { "style", "symbol", 1, MEMBER (style), standard, deferred, {},
          { setterStep(), ownTypeStep ("default", "leds"), symbolStep ("label", "style"), parseStep ("style", "symbol", "enum"),
            parseStep ("enumvals", "atom", "leds gradient") },
          [] (t_meter* x, long, const t_atom* argv) { storeSymbol (x, x->style, argv[0]); },
          [] (t_meter* x, const t_atom&) { x->gui->setDrawingMode (stored (x, x->style)->s_name); } },
        { "windowmoveable", "long", 1, MEMBER (windowmoveable), standard, 0, { 0, 1, 1 },
          { clipStep(), setterStep(), symbolStep ("label", "window moveable"), onOff(), windowCategory() },
          [] (t_meter* x, long, const t_atom* argv)
          {
              const bool moveable = meter_atomflag (argv[0]);
              meter_changewindow (x, [&] (MaxMspJuceWindowManager* window)
              {
                  x->windowmoveable = moveable ? 1 : 0;

                  if (window != nullptr)
                      window->SetMoveable (moveable);
              });
          },
          nullptr },
        { "windowtopleft", "float32", 2, MEMBER (windowtopleft), standard, 0, {},
          { ownTypeStep ("default", "50 800"), setterStep(), symbolStep ("label", "window top left corner"), symbolStep ("units", "px"),
            windowCategory() },
          storeTopLeft, nullptr },
        { "windowtitle", "symbol", 1, MEMBER (windowtitle), standard, 0, {},
          { setterStep(), ownTypeStep ("default", "meter"), dontReset(), symbolStep ("label", "window title"), windowCategory(),
            symbolStep ("description", Zelm::WindowTitleDescription) },
          [] (t_meter* x, long, const t_atom* argv)
          {
              auto* title = meter_atomsymbol (argv[0]);
              meter_changewindow (x, [&] (MaxMspJuceWindowManager* window)
              {
                  x->windowtitle = title;

                  if (window != nullptr)
                      window->SetTitle (title->s_name);
              });
          },
          nullptr },
        { "mode", "symbol", 1, MEMBER (mode), standard, deferred, {},
          { setterStep(), ownTypeStep ("default", "peak"), parseStep ("style", "symbol", "enum"),
            parseStep ("enumvals", "atom", kul::MultiRMSMetering::GetMeterModeNames (" ")), symbolStep ("label", "mode") },
          [] (t_meter* x, long, const t_atom* argv)
          {
              auto* mode = storeSymbol (x, x->mode, argv[0]);

              if (x->mixer != nullptr)
                  x->mixer->SetMeteringMode (mode->s_name);
          },
          nullptr },
        { "rate", "float32", 1, MEMBER (rate), standard, deferred, meter_raterange,
          { setterStep(), clipStep(), symbolStep ("label", "refresh rate"), symbolStep ("units", "msec"), symbolStep ("description", "refresh rate") },
          storeRate,
          [] (t_meter* x, const t_atom&) { x->gui->setRefreshInterval (stored (x, x->rate)); } },
        { "peakhold", "long", 1, MEMBER (peakhold), standard, deferred, { 0, 1, 1 },
          { setterStep(), clipStep(), symbolStep ("label", "peak hold"), symbolStep ("description", "enable or disable the peak hold display"),
            onOff() },
          [] (t_meter* x, long, const t_atom* argv) { storeFlag (x, x->peakhold, argv[0]); },
          [] (t_meter* x, const t_atom&) { x->gui->setPeakHold (storedFlag (x, x->peakhold)); } },
        { "peakholdrate", "float32", 1, MEMBER (peakholdrate), standard, deferred, { 100, 36000000, 2000 },
          { setterStep(), clipStep(), symbolStep ("label", "peak hold refresh rate"), symbolStep ("description", "refresh rate for peak hold"),
            symbolStep ("units", "msec") },
          [] (t_meter* x, long, const t_atom* argv) { storeNumber (x, x->peakholdrate, meter_atomnumber (argv[0])); },
          [] (t_meter* x, const t_atom&) { x->gui->setPeakHoldTime (stored (x, x->peakholdrate)); } },
        colour<&t_meter_fields::coldcolor, &Meter::setColdColour> ("coldcolor", MEMBER (coldcolor), "cold color", oskelgui::getDefaultColdColour()),
        colour<&t_meter_fields::tepidcolor, &Meter::setTepidColour> ("tepidcolor", MEMBER (tepidcolor), "tepid color", oskelgui::getDefaultTepidColour()),
        colour<&t_meter_fields::warmcolor, &Meter::setWarmColour> ("warmcolor", MEMBER (warmcolor), "warm color", oskelgui::getDefaultWarmColour()),
        colour<&t_meter_fields::hotcolor, &Meter::setHotColour> ("hotcolor", MEMBER (hotcolor), "hot color", oskelgui::getDefaultHotColour()),
        colour<&t_meter_fields::inactivecolor, &Meter::setInactiveColour> ("inactivecolor", MEMBER (inactivecolor), "inactive color",
                                                                           oskelgui::getDefaultInactiveColour()),
        { "width", "long", 1, MEMBER (width), standard, deferred, meter_widthrange,
          { setterStep(), clipStep(), dontReset(), symbolStep ("label", "width"), symbolStep ("units", "px"),
            symbolStep ("description", "width of each meter") },
          [] (t_meter* x, long, const t_atom* argv) { storeFixed (x, x->width, argv[0], meter_widthrange, "could not dynamically change width"); },
          nullptr, true },
        { "showrms", "long", 1, MEMBER (showrms), standard, deferred, { 0, 1, 1 },
          { setterStep(), clipStep(), dontReset(), symbolStep ("label", "show rms values"), symbolStep ("description", "show rms values"),
            onOff() },
          [] (t_meter* x, long, const t_atom* argv) { storeFlag (x, x->showrms, argv[0]); },
          [] (t_meter* x, const t_atom&) { x->gui->setShowRms (storedFlag (x, x->showrms)); } },
        { "showfps", "long", 1, MEMBER (showfps), t_meter_setter::render, deferred, { 0, 1, 0 },
          { setterStep(), clipStep (deferred), symbolStep ("label", "show fps (for debug)", deferred), onOff (deferred) },
          [] (t_meter* x, long, const t_atom* argv) { storeFlag (x, x->showfps, argv[0]); },
          [] (t_meter* x, const t_atom&) { x->gui->setShowFps (storedFlag (x, x->showfps)); } },
        { "useopengl", "long", 1, MEMBER (useopengl), t_meter_setter::render, deferred, { 0, 1, 0 },
          { setterStep(), clipStep (deferred), symbolStep ("label", "use openGL rendering", deferred), onOff (deferred) },
          [] (t_meter* x, long, const t_atom* argv) { storeFlag (x, x->useopengl, argv[0]); },
          showOpenGL },
    };
}

#undef MEMBER
} // namespace

const std::vector<t_meter_attribute>& meter_attributes()
{
    static const auto attributes = makeAttributes();
    return attributes;
}

void meter_setslidergain (t_meter* x, float dB)
{
    if (x->gui == nullptr)
        return;

    x->gui->setGain (dB, juce::sendNotification);
    meter_storeslidergain (x, x->gui->getGain());
}
