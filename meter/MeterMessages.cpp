// The messages and assist texts of "zelm.meter~".
#include "meter/MeterObject.h"

#include "meter/MaxMspJuceWindowManager.h"
#include "meter/MeterAtoms.h"
#include "meter/MeterHandOver.h"

#include "dsp/Mixer.h"
#include "gui/MultiMeterComponent.h"
#include "maxglue/AtomText.h"
#include "maxglue/ObjectPorts.h"
#include "maxglue/SymbolTable.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>

namespace
{
constexpr float fadeFloorDb = -60.0f;
constexpr float defaultFadeTimeMs = 1000.0f;

bool isSymbol (t_symbol* s, oskelmax::SymbolEntry entry)
{
    return s == oskelmax::GetSymbol (entry);
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

/** The time is kept as a 32-bit float: one that overflows it would start a fade
    that never moves and holds the gain until the next fade, so it is refused as
    an infinite one is. */
bool isFiniteTime (const t_atom& atom)
{
    return std::isfinite (meter_atomnumber (atom));
}
} // namespace

void meter_fadeout (t_meter* x, t_symbol*, long argc, t_atom* argv)
{
    // Only the main thread may read the slider; elsewhere the value last set on it
    // stands in (its notification may still be on its way).
    const float gain = meter_onmainthread() && x->gui != nullptr ? x->gui->getGain() : x->sliderGain.load (std::memory_order_relaxed);

    if (! (gain > fadeFloorDb))
        return;

    float time = defaultFadeTimeMs;

    if (argc > 0 && argv != nullptr)
    {
        if (! meter_checkpattern ("n", argc, argv) || ! isFiniteTime (argv[0]))
        {
            oskelmax_postinvalidmessage (meter_asobject (x), argc, argv, "invalid message : fadeout");
            return;
        }

        time = meter_atomnumber (argv[0]);
    }

    x->fadeRequest.store (meter_packfaderequest (gain, time), std::memory_order_release);
    meter_notifychanged (x);
}

void meter_channel (t_meter* x, t_symbol*, long argc, t_atom* argv)
{
    if (! meter_checkpattern ("lsl", argc, argv))
    {
        oskelmax_postinvalidmessage (meter_asobject (x), argc, argv, "invalid message : channel");
        return;
    }

    const auto index = argv[0].a_w.w_long;

    if (index < 1 || index > x->numchannels)
    {
        object_error (meter_asobject (x), "invalid channel index %lld", static_cast<long long> (index));
        return;
    }

    auto* which = argv[1].a_w.w_sym;

    if (! isSymbol (which, oskelmax::symMute) && ! isSymbol (which, oskelmax::symSolo))
    {
        oskelmax_postinvalidmessage (meter_asobject (x), argc, argv, "invalid message : channel");
        return;
    }

    t_atom atoms[2];
    atom_setlong (atoms, index - 1);
    atom_setlong (atoms + 1, meter_atomflag (argv[2]) ? 1 : 0);
    meter_onmain (x, channelWork, which, 2, atoms);
    meter_notifychanged (x);
}

void meter_clearpeak (t_meter* x)
{
    meter_onmain (x, clearPeakWork, nullptr, 0, nullptr);
}

void meter_clearsolo (t_meter* x)
{
    meter_onmain (x, clearSoloWork, nullptr, 0, nullptr);
}

void meter_dumplevels (t_meter* x)
{
    if (x->mixer == nullptr)
        return;

    kul::Vector<float> levels;
    x->mixer->CopyLevels (levels);
    oskelmax_dumpfloats (meter_asobject (x), oskelmax::GetSymbol (oskelmax::symLevels), static_cast<long> (levels.Size()), levels.GetData());
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
