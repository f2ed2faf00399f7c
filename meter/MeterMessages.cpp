// The messages, attribute setters and assist texts of "zelm.meter~".
#include "meter/MeterObject.h"

#include "meter/MaxMspJuceWindowManager.h"

#include "dsp/Mixer.h"
#include "gui/MultiMeterComponent.h"
#include "maxglue/AtomText.h"
#include "maxglue/AttributeState.h"
#include "maxglue/ObjectPorts.h"
#include "maxglue/SymbolTable.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

namespace
{
constexpr float fadeFloorDb = -60.0f;
constexpr float defaultFadeTimeMs = 1000.0f;

t_object* asObject (t_meter* x)
{
    return &x->ob.header.z_ob;
}

bool isSymbol (t_symbol* s, oskelmax::SymbolEntry entry)
{
    return s == oskelmax::GetSymbol (entry);
}

bool isNamed (t_symbol* s, const char* name)
{
    return s != nullptr && std::strcmp (s->s_name, name) == 0;
}

float atomAsNumber (const t_atom& atom)
{
    if (atom.a_type == A_FLOAT)
        return static_cast<float> (atom.a_w.w_float);

    if (atom.a_type == A_LONG)
        return static_cast<float> (atom.a_w.w_long);

    return 0.0f;
}

bool atomAsFlag (const t_atom& atom)
{
    return atom_getlong (&atom) != 0;
}

t_symbol* atomAsSymbol (const t_atom& atom)
{
    return atom.a_type == A_SYM && atom.a_w.w_sym != nullptr ? atom.a_w.w_sym : gensym ("");
}

void notifyChanged (t_meter* x)
{
    object_notify (x->ob.box, oskelmax::GetModifiedSymbol(), nullptr);
}

bool onMainThread()
{
    return systhread_ismainthread() != 0;
}

/** Runs widget work on the main thread: at once when already there, otherwise
    queued with the host's defer, which keeps the order of the changes. */
void onMain (t_meter* x, void (*work) (t_meter*, t_symbol*, long, t_atom*), t_symbol* s, long argc, t_atom* argv)
{
    if (onMainThread())
        work (x, s, argc, argv);
    else
        defer (x, oskelmax_method (work), s, static_cast<short> (argc), argv);
}

// Widget work, main thread only ---------------------------------------------------------

void channelWork (t_meter* x, t_symbol* s, long argc, t_atom* argv)
{
    if (x->gui == nullptr || argc < 2)
        return;

    const auto index = static_cast<unsigned> (atom_getlong (argv));
    const bool on = atom_getlong (argv + 1) != 0;

    if (isSymbol (s, oskelmax::symMute))
        x->gui->setMute (index, on, juce::sendNotification);
    else
        x->gui->setSolo (index, on, juce::sendNotification);
}

void clearPeakWork (t_meter* x, t_symbol*, long, t_atom*)
{
    if (x->gui != nullptr)
        x->gui->resetPeaks();
}

void clearSoloWork (t_meter* x, t_symbol*, long, t_atom*)
{
    if (x->gui != nullptr)
        x->gui->clearSolo (juce::sendNotification);
}

// The display side of an attribute, from the atoms the setter normalised.
void attributeWidgetWork (t_meter* x, t_symbol* name, long argc, t_atom* argv)
{
    auto* gui = x->gui;

    if (gui == nullptr || argc < 1 || argv == nullptr)
        return;

    const auto number = [argv] (long i) { return atom_getfloat (argv + i); };
    const auto flag = atom_getlong (argv) != 0;
    const auto text = [argv] { return std::string (atomAsSymbol (argv[0])->s_name); };

    if (isSymbol (name, oskelmax::symGain))
        meter_setslidergain (x, static_cast<float> (number (0)));
    else if (isSymbol (name, oskelmax::symMute))
        gui->setMasterMute (flag, juce::sendNotification);
    else if (isNamed (name, "style"))
        gui->setDrawingMode (text());
    else if (isSymbol (name, oskelmax::symRate))
        gui->setRefreshInterval (static_cast<float> (number (0)));
    else if (isNamed (name, "peakholdrate"))
        gui->setPeakHoldTime (static_cast<float> (number (0)));
    else if (isSymbol (name, oskelmax::symPeakHold))
        gui->setPeakHold (flag);
    else if (isNamed (name, "showrms"))
        gui->setShowRms (flag);
    else if (isNamed (name, "showfps"))
        gui->setShowFps (flag);
    else if (isNamed (name, "useopengl"))
    {
        if (! gui->setUseOpenGL (flag))
            object_error (asObject (x), "could not use OpenGL: the display offers none; the window keeps drawing in software");
    }
    else if (argc >= 4)
    {
        const double r = number (0), g = number (1), b = number (2), a = number (3);

        if (isNamed (name, "coldcolor"))
            gui->setColdColour (r, g, b, a);
        else if (isNamed (name, "tepidcolor"))
            gui->setTepidColour (r, g, b, a);
        else if (isNamed (name, "warmcolor"))
            gui->setWarmColour (r, g, b, a);
        else if (isNamed (name, "hotcolor"))
            gui->setHotColour (r, g, b, a);
        else if (isNamed (name, "inactivecolor"))
            gui->setInactiveColour (r, g, b, a);
    }
}

void displayNumber (t_meter* x, t_symbol* name, double value)
{
    t_atom atom;
    atom_setfloat (&atom, value);
    onMain (x, attributeWidgetWork, name, 1, &atom);
}

void displayFlag (t_meter* x, t_symbol* name, t_atom_long value)
{
    t_atom atom;
    atom_setlong (&atom, value);
    onMain (x, attributeWidgetWork, name, 1, &atom);
}

// An attribute field's new value, stored under the attribute lock; the value stored is returned.
t_atom_long storeFlag (t_meter* x, t_atom_long& field, const t_atom& atom)
{
    const t_atom_long value = atomAsFlag (atom) ? 1 : 0;
    meter_storefields (x, [&] { field = value; });
    return value;
}

float storeNumber (t_meter* x, float& field, const t_atom& atom)
{
    const float value = atomAsNumber (atom);
    meter_storefields (x, [&] { field = value; });
    return value;
}

t_symbol* storeSymbol (t_meter* x, t_symbol*& field, const t_atom& atom)
{
    auto* value = atomAsSymbol (atom);
    meter_storefields (x, [&] { field = value; });
    return value;
}

// The fixed sizes: stored while the GUI does not exist yet, refused afterwards;
// always within the attribute's limits, whatever passed the host's filter.
void setFixed (t_meter* x, t_atom_long& field, const t_atom& atom, const t_meter_range& range, const char* refusal)
{
    const auto value = std::clamp (atom_getlong (&atom), static_cast<t_atom_long> (range.minimum), static_cast<t_atom_long> (range.maximum));

    if (x->gui == nullptr)
        meter_storefields (x, [&] { field = value; });
    else if (value != field)
        object_error (asObject (x), "%s", refusal);
}

double* colourField (t_meter* x, t_symbol* name)
{
    if (isNamed (name, "coldcolor"))
        return x->coldcolor;
    if (isNamed (name, "tepidcolor"))
        return x->tepidcolor;
    if (isNamed (name, "warmcolor"))
        return x->warmcolor;
    if (isNamed (name, "hotcolor"))
        return x->hotcolor;
    if (isNamed (name, "inactivecolor"))
        return x->inactivecolor;
    return nullptr;
}

void applyAttribute (t_meter* x, t_symbol* name, long argc, t_atom* argv)
{
    using namespace oskelmax;
    const auto& first = argv[0];

    if (isSymbol (name, symNumChannels))
        setFixed (x, x->numchannels, first, meter_numchannelsrange, "could not dynamically change number of channels");
    else if (isSymbol (name, symNumLeds))
        setFixed (x, x->numleds, first, meter_numledsrange, "could not dynamically change number of leds");
    else if (isSymbol (name, symGain))
        displayNumber (x, name, atomAsNumber (first));
    else if (isSymbol (name, symMode))
    {
        auto* mode = storeSymbol (x, x->mode, first);

        if (x->mixer != nullptr)
            x->mixer->SetMeteringMode (mode->s_name);
    }
    else if (isSymbol (name, symWindowTitle))
    {
        auto* title = storeSymbol (x, x->windowtitle, first);

        if (x->windowManager != nullptr)
            x->windowManager->SetTitle (title->s_name);
    }
    else if (isSymbol (name, symWindowTopLeft))
    {
        float corner[2];
        meter_storefields (x, [&]
        {
            // Only the coordinates given change.
            x->windowtopleft[0] = atomAsNumber (first);

            if (argc >= 2)
                x->windowtopleft[1] = atomAsNumber (argv[1]);

            std::copy (std::begin (x->windowtopleft), std::end (x->windowtopleft), corner);
        });

        if (x->windowManager != nullptr)
            x->windowManager->SetTopLeftPoint (corner[0], corner[1]);
    }
    else if (isSymbol (name, symWindowMoveable))
    {
        const auto moveable = storeFlag (x, x->windowmoveable, first);

        if (x->windowManager != nullptr)
            x->windowManager->SetMoveable (moveable != 0);
    }
    else if (isSymbol (name, symMute))
        displayFlag (x, name, storeFlag (x, x->mute, first));
    else if (isSymbol (name, symPost))
    {
        const auto post = storeFlag (x, x->post, first);

        if (x->mixer != nullptr)
            x->mixer->SetPostGainMetering (post != 0);
    }
    else if (isNamed (name, "style"))
    {
        t_atom atom;
        atom_setsym (&atom, storeSymbol (x, x->style, first));
        onMain (x, attributeWidgetWork, name, 1, &atom);
    }
    else if (isSymbol (name, symRate))
    {
        const auto rate = std::clamp (atomAsNumber (first), static_cast<float> (meter_raterange.minimum), static_cast<float> (meter_raterange.maximum));
        meter_storefields (x, [&] { x->rate = rate; });

        if (x->mixer != nullptr)
            x->mixer->SetRefreshInterval (rate);

        displayNumber (x, name, rate);
    }
    else if (isNamed (name, "peakholdrate"))
        displayNumber (x, name, storeNumber (x, x->peakholdrate, first));
    else if (isSymbol (name, symPeakHold))
        displayFlag (x, name, storeFlag (x, x->peakhold, first));
    else if (auto* colour = colourField (x, name))
    {
        t_atom atoms[4];
        meter_storefields (x, [&]
        {
            meter_parse_rgba (colour, argc, argv);
            atom_setdouble_array (4, atoms, 4, colour);
        });
        onMain (x, attributeWidgetWork, name, 4, atoms);
    }
    else if (isSymbol (name, symWidth))
        setFixed (x, x->width, first, meter_widthrange, "could not dynamically change width");
    else if (isNamed (name, "showrms"))
        displayFlag (x, name, storeFlag (x, x->showrms, first));
    else
        object_error (asObject (x), "unknown attribute %s", name != nullptr ? name->s_name : "");
}

void applyRenderAttribute (t_meter* x, t_symbol* name, const t_atom& first)
{
    if (isNamed (name, "showfps"))
        displayFlag (x, name, storeFlag (x, x->showfps, first));
    else if (isNamed (name, "useopengl"))
        displayFlag (x, name, storeFlag (x, x->useopengl, first));
    else
        object_error (asObject (x), "unknown attribute %s", name != nullptr ? name->s_name : "");
}

bool isFinite (const t_atom& atom)
{
    return atom.a_type != A_FLOAT || std::isfinite (atom.a_w.w_float);
}

/** NaN and the infinities are no value of any attribute: the change is refused
    whole and the attribute keeps its value. */
bool refuseNonFinite (t_meter* x, t_symbol* name, long argc, const t_atom* argv)
{
    if (std::all_of (argv, argv + argc, isFinite))
        return false;

    object_error (asObject (x), "invalid value for attribute %s", name != nullptr ? name->s_name : "");
    return true;
}
/** What every setter does around its own work: values reach it only when there are
    some and all are finite. A value refused while the object is being created would
    leave the field as the record was made, zero, instead of the default that the box's
    dictionary holds for every attribute the user did not give: the default is taken,
    so that the attribute and the window agree. */
template <typename Apply>
t_max_err setAttribute (t_meter* x, t_object* attr, long argc, t_atom* argv, Apply&& apply)
{
    if (argc <= 0 || argv == nullptr)
        return MAX_ERR_NONE;

    auto* name = oskelmax_getattributename (attr);

    if (! refuseNonFinite (x, name, argc, argv))
    {
        apply (name, argc, argv);
    }
    else if (x->creating)
    {
        long count = 0;
        t_atom* atoms = nullptr;

        if (object_attr_getvalueof (attr, gensym ("default"), &count, &atoms) == MAX_ERR_NONE && count > 0 && atoms != nullptr)
            apply (name, count, atoms);

        sysmem_freeptr (atoms);
    }

    notifyChanged (x);
    return MAX_ERR_NONE;
}
} // namespace

bool meter_checkpattern (const char* pattern, long argc, const t_atom* argv)
{
    const auto length = static_cast<long> (std::strlen (pattern));

    if (argc < length || (length > 0 && argv == nullptr))
        return false;

    for (long i = 0; i < length; ++i)
    {
        const auto type = argv[i].a_type;
        bool fits = false;

        switch (pattern[i])
        {
            case 'f': fits = type == A_FLOAT; break;
            case 'i':
            case 'l': fits = type == A_LONG; break;
            case 'n': fits = type == A_LONG || type == A_FLOAT; break;
            case 's': fits = type == A_SYM; break;
            default: break;
        }

        if (! fits)
            return false;
    }

    return true;
}

void meter_parse_rgba (double* colour, long argc, const t_atom* argv)
{
    if (colour == nullptr || argv == nullptr)
        return;

    for (long i = 0; i < std::min (argc, 4L); ++i)
        colour[i] = atomAsNumber (argv[i]);
}

void meter_setslidergain (t_meter* x, float dB)
{
    if (x->gui == nullptr)
        return;

    x->gui->setGain (dB, juce::sendNotification);
    x->sliderGain.store (x->gui->getGain(), std::memory_order_relaxed);
}

void meter_fadeout (t_meter* x, t_symbol*, long argc, t_atom* argv)
{
    // Only the main thread may read the slider; elsewhere the value last set on it
    // stands in (its notification may still be on its way).
    const float gain = onMainThread() && x->gui != nullptr ? x->gui->getGain() : x->sliderGain.load (std::memory_order_relaxed);

    if (! (gain > fadeFloorDb))
        return;

    float time = defaultFadeTimeMs;

    if (argc > 0 && argv != nullptr)
    {
        if (! meter_checkpattern ("n", argc, argv) || ! isFinite (argv[0]))
        {
            oskelmax_postinvalidmessage (asObject (x), argc, argv, "invalid message : fadeout");
            return;
        }

        time = atomAsNumber (argv[0]);
    }

    x->fadeRequest.store (meter_packfaderequest (gain, time), std::memory_order_release);
    notifyChanged (x);
}

void meter_channel (t_meter* x, t_symbol*, long argc, t_atom* argv)
{
    if (! meter_checkpattern ("lsl", argc, argv))
    {
        oskelmax_postinvalidmessage (asObject (x), argc, argv, "invalid message : channel");
        return;
    }

    const auto index = argv[0].a_w.w_long;

    if (index < 1 || index > x->numchannels)
    {
        object_error (asObject (x), "invalid channel index %lld", static_cast<long long> (index));
        return;
    }

    auto* which = argv[1].a_w.w_sym;

    if (! isSymbol (which, oskelmax::symMute) && ! isSymbol (which, oskelmax::symSolo))
    {
        oskelmax_postinvalidmessage (asObject (x), argc, argv, "invalid message : channel");
        return;
    }

    t_atom atoms[2];
    atom_setlong (atoms, index - 1);
    atom_setlong (atoms + 1, atomAsFlag (argv[2]) ? 1 : 0);
    onMain (x, channelWork, which, 2, atoms);
    notifyChanged (x);
}

void meter_clearpeak (t_meter* x)
{
    onMain (x, clearPeakWork, nullptr, 0, nullptr);
}

void meter_clearsolo (t_meter* x)
{
    onMain (x, clearSoloWork, nullptr, 0, nullptr);
}

void meter_dumplevels (t_meter* x)
{
    if (x->mixer == nullptr)
        return;

    kul::Vector<float> levels;
    x->mixer->CopyLevels (levels);
    oskelmax_dumpfloats (asObject (x), oskelmax::GetSymbol (oskelmax::symLevels), static_cast<long> (levels.Size()), levels.GetData());
}

void meter_open (t_meter* x)
{
    if (x->windowManager != nullptr)
        x->windowManager->Open (true);
}

void meter_wclose (t_meter* x)
{
    if (x->windowManager != nullptr)
        x->windowManager->Close();
}

void meter_assist (t_meter* x, void*, long kind, long index, char* text)
{
    if (text == nullptr || x->mixer == nullptr || (kind != 1 && kind != 2))
        return;

    // An index beyond what an int holds names no signal inlet or outlet; narrowed,
    // it could name one.
    const auto port = static_cast<int> (std::clamp (index, -1L, static_cast<long> (INT_MAX)));
    const auto description = kind == 1 ? x->mixer->GetInletDescription (port) : x->mixer->GetOutletDescription (port);
    std::snprintf (text, meter_assistsize, "%s", description.c_str());
}

t_max_err meter_attr_get (t_meter* x, t_object* attr, long* argc, t_atom** argv)
{
    if (x == nullptr || attr == nullptr || argc == nullptr || argv == nullptr)
        return MAX_ERR_INVALID_PTR;

    // The fields are the four types that the meter registers; colours are the longest.
    const auto& record = *reinterpret_cast<const t_eattr*> (attr);
    constexpr long longest = 4;

    if (record.offset < 0 || record.size < 1 || record.size > longest || record.type == nullptr)
        return MAX_ERR_GENERIC;

    const std::string_view type = record.type->s_name;
    const auto* field = reinterpret_cast<const char*> (x) + record.offset;
    t_atom values[longest] {};
    {
        const std::lock_guard<std::mutex> lock (x->attributeMutex);

        for (long i = 0; i < record.size; ++i)
        {
            if (type == "long")
                atom_setlong (&values[i], reinterpret_cast<const t_atom_long*> (field)[i]);
            else if (type == "float32")
                atom_setfloat (&values[i], reinterpret_cast<const float*> (field)[i]);
            else if (type == "float64")
                atom_setfloat (&values[i], reinterpret_cast<const double*> (field)[i]);
            else if (type == "symbol")
                atom_setsym (&values[i], reinterpret_cast<t_symbol* const*> (field)[i]);
            else
                return MAX_ERR_GENERIC;
        }
    }

    // The caller's array when it brings one (never written past its end), else a new one.
    long count = record.size;

    if (*argc > 0 && *argv != nullptr)
        count = std::min (*argc, count);
    else
        *argv = reinterpret_cast<t_atom*> (sysmem_newptr (static_cast<long> (sizeof (t_atom)) * count));

    if (*argv == nullptr)
    {
        *argc = 0;
        return MAX_ERR_OUT_OF_MEM;
    }

    std::copy (values, values + count, *argv);
    *argc = count;
    return MAX_ERR_NONE;
}

t_max_err meter_attr_set (t_meter* x, t_object* attr, long argc, t_atom* argv)
{
    return setAttribute (x, attr, argc, argv, [x] (t_symbol* name, long count, t_atom* atoms)
    {
        applyAttribute (x, name, count, atoms);
    });
}

t_max_err meter_attr_set_render (t_meter* x, t_object* attr, long argc, t_atom* argv)
{
    return setAttribute (x, attr, argc, argv, [x] (t_symbol* name, long, t_atom* atoms)
    {
        applyRenderAttribute (x, name, atoms[0]);
    });
}
