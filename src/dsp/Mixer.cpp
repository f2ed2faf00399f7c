#include "dsp/Mixer.h"

#include "common/Exception.h"
#include "dsp/GainKernels.h"
#include "dsp/SampleCount.h"
#include "math/VectorOperations.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>

namespace kul
{

// The audio thread must never wait: every value it shares has to be a plain atomic.
static_assert (std::atomic<float>::is_always_lock_free && std::atomic<uint64_t>::is_always_lock_free
               && std::atomic<short>::is_always_lock_free && std::atomic<bool>::is_always_lock_free);

namespace
{
// No mode has these bits, so every level is converted in the first block.
constexpr uint64_t notConverted = ~uint64_t (0);
} // namespace

// Only library exceptions leave: a failure to allocate the per-channel data
// becomes one too.
Mixer::Mixer (unsigned int numChannels)
try : AudioProcessorWithOscInAudioInterrupt (numChannels, numChannels),
      meters (numChannels),
      levels (numChannels),
      mute (numChannels),
      solo (numChannels),
      knownPeaks (numChannels),
      passingInBlock (numChannels),
      convertedFrom (numChannels, notConverted)
{
    for (auto& level : levels)
        level.store (-60.0f, std::memory_order_relaxed);

    gain.SetRampTime (20.0f);
    gain.SetTarget (1.0f, true);
}
catch (...)
{
    RethrowAsLibraryException (__FILE__, __LINE__, false);
}

Mixer::~Mixer() = default;

void Mixer::Process (float** outputs, float** inputs, unsigned int numSamples)
{
    processBlock (outputs, inputs, numSamples);
}

void Mixer::Process (double** outputs, double** inputs, unsigned int numSamples) noexcept
{
    processBlock (outputs, inputs, numSamples);
}

inline void Mixer::convertLevel (size_t i) noexcept
{
    const auto& meter = meters.GetMeter (i);
    const auto source = (uint64_t (static_cast<uint32_t> (meter.mode)) << 32) | std::bit_cast<uint32_t> (meter.value);

    if (source == convertedFrom[i])
        return;

    convertedFrom[i] = source;
    const float x = meter.value + 0.000001f;
    const float dB = (meter.mode == RMSMetering::peak ? 20.0f : 10.0f) * std::log10 (x);
    levels[i].store (dB, std::memory_order_relaxed);
}

template <typename T>
void Mixer::processBlock (T** outputs, T** inputs, unsigned int numSamples) noexcept
{
    adoptPendingGain();
    meters.AdoptPendingSettings();

    // Read once, so that a change during the block never meters it twice or not at all.
    const bool post = postGainMetering.load (std::memory_order_relaxed);

    float startGain = gain.Advance (numSamples);
    float endGain = gain.current;

    // While ramping, the end of the block follows from the proportion done, which
    // does not drift however the ramp was cut into blocks.
    if (gain.remaining > 0)
        endGain = gain.start + (gain.target - gain.start)
                                   * (1.0f - static_cast<float> (gain.remaining) / static_cast<float> (gain.total));

    if (! (startGain > silenceGate))
        startGain = 0.0f;

    if (! (endGain > silenceGate))
        endGain = 0.0f;

    const size_t channels = findPassingChannels (! (startGain == 0.0f && endGain == 0.0f));
    const unsigned char* passing = passingInBlock.data();

    if (meters.GetMode() == RMSMetering::peak)
    {
        // The gain pass measures the peaks, all channels in one call; each level is
        // then converted while its meter is in the cache.
        ApplyGainRampMeasuringPeaks (outputs, inputs, passing, channels, numSamples, static_cast<T> (startGain),
                                     static_cast<T> (endGain), ! post, knownPeaks.data());

        for (unsigned int i = 0; i < channels; ++i)
        {
            meters.MeterPeak (i, knownPeaks[i], numSamples);
            convertLevel (i);
        }

        return;
    }

    // Mean squares run up to 32 channels side by side, in chunks.
    constexpr unsigned int chunk = 32;

    for (unsigned int first = 0; first < channels; first += chunk)
    {
        const auto end = first + std::min (chunk, static_cast<unsigned int> (channels) - first);

        if (! post)
            meters.ProcessChannels (inputs, first, end - first, numSamples, nullptr);

        for (unsigned int i = first; i < end; ++i)
        {
            if (passing[i] != 0)
            {
                knownPeaks[i] = -1.0;
                ApplyGainRamp (outputs[i], inputs[i], numSamples, static_cast<T> (startGain), static_cast<T> (endGain));
            }
            else
            {
                knownPeaks[i] = 0.0;
                FillVector (outputs[i], numSamples, T (0));
            }
        }

        if (post)
            meters.ProcessChannels (outputs, first, end - first, numSamples, knownPeaks.data());

        for (unsigned int i = first; i < end; ++i)
            convertLevel (i);
    }
}

inline size_t Mixer::findPassingChannels (bool audible) noexcept
{
    const size_t channels = std::min<size_t> (numInputs, passingInBlock.size());
    const size_t checked = std::min ({ channels, analyzer.inletConnected.Size(), analyzer.inletActive.Size() });

    // Plain pointers: each flag written could otherwise alias the vectors' own, which
    // would then be loaded again for every channel.
    unsigned char* const passing = passingInBlock.data();
    const auto* const soloFlags = solo.data();
    const auto* const muteFlags = mute.data();
    const short* const connected = analyzer.inletConnected.GetData();
    const short* const active = analyzer.inletActive.GetData();

    // The solo flags are looked at once per block: read again per channel, a solo
    // released in between would silence every channel for a block. A channel's flags
    // are combined without branches: bit 0 says it is open, bit 1 that it is soloed.
    unsigned int anySolo = 0;

    for (size_t i = 0; i < checked; ++i)
    {
        const unsigned int soloed = soloFlags[i].load (std::memory_order_relaxed) == 1;
        const unsigned int open = unsigned (connected[i] == 1) & unsigned (active[i] == 1)
                                  & unsigned (muteFlags[i].load (std::memory_order_relaxed) != 1) & unsigned (audible);
        passing[i] = static_cast<unsigned char> (open | (soloed << 1));
        anySolo |= soloed;
    }

    for (size_t i = checked; i < channels; ++i)
    {
        anySolo |= soloFlags[i].load (std::memory_order_relaxed) == 1;
        passing[i] = 0;
    }

    // Without a solo no channel has bit 1; with one, only open soloed channels pass.
    if (anySolo != 0)
        for (size_t i = 0; i < checked; ++i)
            passing[i] = passing[i] == 3;

    return channels;
}

void Mixer::adoptPendingGain() noexcept
{
    if ((pendingGain.load (std::memory_order_relaxed) & gainPendingFlag) == 0)
        return;

    const auto setting = pendingGain.exchange (0, std::memory_order_acquire);

    if ((setting & gainPendingFlag) != 0)
        gain.SetTarget (std::bit_cast<float> (static_cast<uint32_t> (setting)), (setting & gainImmediateFlag) != 0);
}

void Mixer::SampleRateChanged (float rate)
{
    AudioProcessorWithOscInAudioInterrupt::SampleRateChanged (rate);
    meters.SetSampleRate (rate);
    gain.SetSampleRate (rate);
}

void Mixer::Clear()
{
    meters.Clear();
}

void Mixer::SetMeteringMode (const std::string& name)
{
    meters.SetMode (name);
}

void Mixer::SetMute (unsigned int channel, bool on) noexcept
{
    if (channel < mute.size())
        mute[channel].store (on ? 1 : 0, std::memory_order_relaxed);
}

void Mixer::SetSolo (unsigned int channel, bool on) noexcept
{
    if (channel < solo.size())
        solo[channel].store (on ? 1 : 0, std::memory_order_relaxed);
}

bool Mixer::IsMuted (unsigned int channel) const noexcept
{
    return channel < mute.size() && mute[channel].load (std::memory_order_relaxed) == 1;
}

bool Mixer::IsSoloed (unsigned int channel) const noexcept
{
    return channel < solo.size() && solo[channel].load (std::memory_order_relaxed) == 1;
}

void Mixer::SetRefreshInterval (float ms) noexcept
{
    const float interval = ms > 0.0f ? ms : 0.0f;
    const auto samples = TruncatedSampleCount (meters.GetMeterSampleRate() * ((interval + 5.0f) * 0.001f));
    meters.SetPeakWindow (static_cast<uint32_t> (std::min<uint64_t> (samples, std::numeric_limits<uint32_t>::max())));
}

void Mixer::CopyLevels (Vector<float>& destination) const
{
    destination.Resize (levels.size());

    for (size_t i = 0; i < levels.size(); ++i)
        destination[i] = levels[i].load (std::memory_order_relaxed);
}

void Mixer::SetPostGainMetering (bool post) noexcept
{
    postGainMetering.store (post, std::memory_order_relaxed);
}

void Mixer::SetGain (float gainDb, bool immediately) noexcept
{
    const float factor = std::pow (10.0f, gainDb * 0.05f);

    if (! std::isfinite (factor))
        return;

    const uint64_t setting = gainPendingFlag | (immediately ? gainImmediateFlag : 0)
                             | std::bit_cast<uint32_t> (factor);
    pendingGain.store (setting, std::memory_order_release);
}

} // namespace kul
