#include "dsp/Mixer.h"

#include "common/Exception.h"
#include "dsp/GainKernels.h"
#include "math/VectorOperations.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>

namespace kul
{

// The audio thread must never wait: every value it shares has to be a plain atomic.
static_assert (std::atomic<float>::is_always_lock_free && std::atomic<uint64_t>::is_always_lock_free
               && std::atomic<bool>::is_always_lock_free);

namespace
{
// No mode has these bits, so every level is converted in the first block.
constexpr uint64_t notConverted = ~uint64_t (0);

constexpr unsigned int channelsPerWord = 64;

// Eight flag bits spread to eight bytes of 0 or 1, bit j to the byte j places on.
constexpr auto bytesOfBits = []
{
    std::array<uint64_t, 256> table {};

    for (unsigned int bits = 0; bits < 256; ++bits)
        for (unsigned int j = 0; j < 8; ++j)
            table[bits] |= uint64_t ((bits >> j) & 1) << (8 * j);

    return table;
}();

static_assert (std::endian::native == std::endian::little, "the bytes of a word are laid out as the channels");
} // namespace

// Only library exceptions leave: a failure to allocate the per-channel data
// becomes one too.
Mixer::Mixer (unsigned int numChannels)
try : AudioProcessorWithOscInAudioInterrupt (numChannels, numChannels),
      meters (numChannels),
      levels (numChannels),
      muteBits ((numChannels + 63) / 64),
      soloBits ((numChannels + 63) / 64),
      soloBitsInBlock (soloBits.size()),
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
    const bool unity = startGain == 1.0f && endGain == 1.0f;

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

                // A steady unity gain is the copy the gain pass would make, without its
                // two layers of calls per channel.
                if (! unity)
                    ApplyGainRamp (outputs[i], inputs[i], numSamples, static_cast<T> (startGain), static_cast<T> (endGain));
                else if (numSamples > 0 && outputs[i] != inputs[i])
                    std::memmove (outputs[i], inputs[i], numSamples * sizeof (T));
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

// Inlined into each block: as a call of its own it costs a tenth of a 16-sample block
// of 250 channels in peak mode (measured with meter_bench).
__attribute__ ((always_inline)) inline size_t Mixer::findPassingChannels (bool audible) noexcept
{
    const size_t channels = std::min<size_t> (numInputs, passingInBlock.size());
    const size_t checked = audible ? std::min ({ channels, analyzer.inletConnected.Size(), analyzer.inletActive.Size() })
                                   : 0;
    unsigned char* const passing = passingInBlock.data();

    if (checked < channels)
        std::fill (passing + checked, passing + channels, 0);

    // The solo flags are looked at once per block: read again per channel, a solo
    // released in between would silence every channel for a block.
    uint64_t anySolo = 0;
    uint64_t* const soloed = soloBitsInBlock.data();

    for (size_t word = 0; word < soloBits.size(); ++word)
    {
        soloed[word] = soloBits[word].load (std::memory_order_relaxed);
        anySolo |= soloed[word];
    }

    const short* const connected = analyzer.inletConnected.GetData();
    const short* const active = analyzer.inletActive.GetData();

    // Eight channels at a time: their connection and activity flags compared side by
    // side, their mute and solo bits spread to bytes, all eight written at once.
    using Shorts = short __attribute__ ((vector_size (16)));
    using Bytes = signed char __attribute__ ((vector_size (8)));
    constexpr uint64_t ones = 0x0101010101010101;

    // Of eight open channels from first on, those that mute and solo let through.
    const auto passMuteAndSolo = [&] (size_t first, uint64_t open) noexcept
    {
        const auto word = first / channelsPerWord;
        const auto shift = first % channelsPerWord;
        uint64_t passes = open & ~bytesOfBits[(muteBits[word].load (std::memory_order_relaxed) >> shift) & 0xff];

        if (anySolo != 0)
            passes &= bytesOfBits[(soloed[word] >> shift) & 0xff];

        return passes;
    };

    size_t i = 0;

    for (; i + 8 <= checked; i += 8)
    {
        Shorts c, a;
        std::memcpy (&c, connected + i, sizeof (c));
        std::memcpy (&a, active + i, sizeof (a));
        const Bytes both = __builtin_convertvector ((c == 1) & (a == 1), Bytes);
        uint64_t open;
        std::memcpy (&open, &both, sizeof (open));
        const uint64_t passes = passMuteAndSolo (i, open & ones);
        std::memcpy (passing + i, &passes, sizeof (passes));
    }

    // The last few one by one.
    for (; i < checked; ++i)
    {
        const auto word = i / channelsPerWord;
        const auto bit = i % channelsPerWord;
        const uint64_t muted = muteBits[word].load (std::memory_order_relaxed) >> bit;
        const uint64_t heard = anySolo == 0 ? 1 : soloed[word] >> bit;
        passing[i] = static_cast<unsigned char> (unsigned (connected[i] == 1) & unsigned (active[i] == 1)
                                                 & ~muted & heard & 1);
    }

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

void Mixer::setFlag (std::vector<std::atomic<uint64_t>>& bits, unsigned int channel, bool on) noexcept
{
    if (channel >= levels.size())
        return;

    const uint64_t bit = uint64_t (1) << (channel % channelsPerWord);
    auto& word = bits[channel / channelsPerWord];

    if (on)
        word.fetch_or (bit, std::memory_order_relaxed);
    else
        word.fetch_and (~bit, std::memory_order_relaxed);
}

bool Mixer::isFlagSet (const std::vector<std::atomic<uint64_t>>& bits, unsigned int channel) const noexcept
{
    return channel < levels.size()
           && ((bits[channel / channelsPerWord].load (std::memory_order_relaxed) >> (channel % channelsPerWord)) & 1) != 0;
}

void Mixer::SetMute (unsigned int channel, bool on) noexcept
{
    setFlag (muteBits, channel, on);
}

void Mixer::SetSolo (unsigned int channel, bool on) noexcept
{
    setFlag (soloBits, channel, on);
}

bool Mixer::IsMuted (unsigned int channel) const noexcept
{
    return isFlagSet (muteBits, channel);
}

bool Mixer::IsSoloed (unsigned int channel) const noexcept
{
    return isFlagSet (soloBits, channel);
}

void Mixer::SetRefreshInterval (float ms) noexcept
{
    // In milliseconds, which the meters count at whatever rate DSP starts with.
    meters.SetPeakWindowTime ((ms > 0.0f ? ms : 0.0f) + 5.0f);
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
