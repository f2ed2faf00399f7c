// The signal path, DSP start and the display refresh of "zelm.meter~".
#include "meter/MeterObject.h"

#include "meter/MaxMspJuceWindowManager.h"

#include "dsp/Mixer.h"
#include "dsp/Ramp.h"
#include "gui/MultiMeterComponent.h"
#include "maxglue/SymbolTable.h"

#include <algorithm>
#include <bit>
#include <cmath>

namespace
{
constexpr float fadeFloorDb = -60.0f;

void resetDisplay (t_meter* x, float sampleRate)
{
    if (x->gui == nullptr)
        return;

    x->gui->setSampleRate (sampleRate);
    x->gui->resetLevels();
}

void resetDisplayDeferred (t_meter* x, t_symbol*, long argc, t_atom* argv)
{
    if (argc >= 1 && argv != nullptr)
        resetDisplay (x, static_cast<float> (atom_getfloat (argv)));
}

float fadeTimeOf (std::uint64_t request) noexcept
{
    return std::bit_cast<float> (static_cast<std::uint32_t> (request >> 32));
}

// Takes a fade that "fadeout" published: the ramp jumps to the start gain and
// heads for the floor over the given time, at the ramp's own sample rate.
void adoptFadeRequest (t_meter* x) noexcept
{
    const auto request = x->fadeRequest.exchange (meter_nofaderequest, std::memory_order_acquire);

    if (request == meter_nofaderequest)
        return;

    const auto startDb = std::bit_cast<float> (static_cast<std::uint32_t> (request & 0xffffffffu));
    x->fadeRamp->SetTarget (startDb, true);
    x->fadeRamp->SetTargetWithTime (fadeFloorDb, fadeTimeOf (request));
    x->fading.store (true, std::memory_order_relaxed);
}

void clearOutputs (double** outs, long numouts, long sampleframes) noexcept
{
    if (outs == nullptr)
        return;

    for (long i = 0; i < numouts; ++i)
        if (outs[i] != nullptr)
            std::fill (outs[i], outs[i] + sampleframes, 0.0);
}
} // namespace

std::uint64_t meter_packfaderequest (float startDb, float timeMs) noexcept
{
    // NaN halves mark the empty word: a request never holds one.
    const float start = std::isnan (startDb) ? fadeFloorDb : startDb;
    const float time = std::isnan (timeMs) ? 0.0f : timeMs;
    return static_cast<std::uint64_t> (std::bit_cast<std::uint32_t> (start))
           | (static_cast<std::uint64_t> (std::bit_cast<std::uint32_t> (time)) << 32);
}

void meter_storeslidergain (t_meter* x, float dB) noexcept
{
    x->sliderGain.store (dB, std::memory_order_relaxed);

    // A fade still waiting for its first block (the audio may be off for long) starts
    // from the gain that stands when the block comes: a gain set meanwhile becomes its
    // start, or the fade would open the outlets back up to the gain it was asked at.
    // The request is replaced whole, unless the audio thread has taken it since.
    auto request = x->fadeRequest.load (std::memory_order_relaxed);

    while (request != meter_nofaderequest
           && ! x->fadeRequest.compare_exchange_weak (request, meter_packfaderequest (dB, fadeTimeOf (request)), std::memory_order_release,
                                                      std::memory_order_relaxed))
    {
    }
}

void meter_dsp64 (t_meter* x, t_object* dsp64, short* count, double samplerate, long maxvectorsize, long)
{
    if (x == nullptr || x->mixer == nullptr)
        return;

    meter_preparemixer (x, static_cast<unsigned> (std::max (maxvectorsize, 0L)), static_cast<float> (samplerate));

    if (count != nullptr)
        x->mixer->SetConnections (count);

    object_method (dsp64, oskelmax::GetSymbol (oskelmax::symDspAdd64), x, meter_perform64, 0L, static_cast<void*> (nullptr));

    const float rate = x->mixer->GetSampleRate();
    x->fadeRamp->SetSampleRate (rate);

    // The display belongs to the main thread, wherever the host starts DSP from.
    if (systhread_ismainthread() != 0)
        resetDisplay (x, rate);
    else
    {
        t_atom atom;
        atom_setfloat (&atom, rate);
        defer (x, oskelmax_method (resetDisplayDeferred), nullptr, 1, &atom);
    }
}

void meter_perform64 (t_meter* x, t_object*, double** ins, long numins, double** outs, long numouts, long sampleframes, long, void*)
{
    if (x == nullptr || x->mixer == nullptr || sampleframes <= 0)
        return;

    // A chain that hands over fewer buffers than the mixer has channels gets silence.
    const auto channels = static_cast<long> (x->mixer->GetNumInputs());
    const auto outputs = static_cast<long> (x->mixer->GetNumOutputs());

    if (ins == nullptr || outs == nullptr || numins < channels || numouts < outputs)
    {
        clearOutputs (outs, numouts, sampleframes);
        return;
    }

    adoptFadeRequest (x);
    x->mixer->Process (outs, ins, static_cast<unsigned> (sampleframes));

    if (! x->fading.load (std::memory_order_relaxed))
        return;

    const float value = x->fadeRamp->Advance (static_cast<std::uint64_t> (sampleframes));
    x->fadeValue.store (value, std::memory_order_release);
    qelem_set (x->fadeQelem);

    if (! (value > fadeFloorDb))
        x->fading.store (false, std::memory_order_relaxed);
}

void meter_fade_task (t_meter* x)
{
    if (x == nullptr || x->gui == nullptr)
        return;

    // A fade only ever lowers the gain: one set lower while it runs (or while its
    // start was on its way) stands until the fade comes down to it.
    meter_setslidergain (x, std::min (x->fadeValue.load (std::memory_order_acquire), x->gui->getGain()));
}

double meter_refreshdelay (float rate) noexcept
{
    // Never at 0 ms (a clock re-armed at once keeps the scheduler busy), nor
    // at NaN, which no comparison would catch.
    if (! (rate >= meter_raterange.minimum))
        return meter_raterange.minimum;

    return std::min (static_cast<double> (rate), meter_raterange.maximum);
}

void meter_refresh_tick (t_meter* x)
{
    qelem_set (x->refreshQelem);
}

void meter_refresh_task (t_meter* x)
{
    if (sys_getdspstate() != 0 && x->windowManager != nullptr && x->windowManager->IsWindowVisible())
    {
        x->mixer->CopyLevels (x->levels);
        x->gui->setLevels (x->levels.GetData());

        // The time since the last refresh is the delay the clock was armed with, which a
        // new "rate" changes only from the next re-arm.
        const float samplesPerMs = x->mixer->GetSampleRate() * 0.001f;
        const auto elapsed = static_cast<std::int64_t> (samplesPerMs * static_cast<float> (x->refreshDelay));
        x->gui->advance (static_cast<unsigned> (std::max<std::int64_t> (elapsed, 0)));
        x->gui->refresh();
    }

    x->refreshDelay = meter_refreshdelay (x->rate);
    clock_fdelay (x->refreshClock, x->refreshDelay);
}
