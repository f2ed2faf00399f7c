#pragma once

#include "dsp/AudioProcessorWithOscInAudioInterrupt.h"
#include "dsp/MultiRMSMetering.h"
#include "dsp/Ramp.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

namespace kul
{

/** n channels in, n out: a master gain on a linear ramp, per-channel mute and solo,
    and a peak or rms level per channel in dB, measured before or after the gain.

    Process runs on the audio thread while other threads set the mixer and read its
    levels; it never waits, allocates or calls the system. Levels, flags and the
    gain target cross as atomics; the gain target, metering mode and peak window
    are taken at the start of the next block (the latest setting wins). Preparation,
    SetConnections and Clear run while no block is processed. */
class Mixer : public AudioProcessorWithOscInAudioInterrupt
{
public:
    /** Gain factors at or below this (about -59.17 dB) are applied as exact silence,
        so that the slider's floor of -60 dB silences the outputs. */
    static constexpr float silenceGate = 0.0011f;

    /** Every failure, allocation failures included, leaves as a library exception. */
    explicit Mixer (unsigned int numChannels);
    ~Mixer() override;

    void Process (float** outputs, float** inputs, unsigned int numSamples) override;

    /** The double-precision block the host's perform routine runs. */
    void Process (double** outputs, double** inputs, unsigned int numSamples) noexcept;

    void SampleRateChanged (float rate) override;

    /** Clears the meters; levels, mute, solo and gain stay. */
    void Clear() override;

    /** "peak" or "rms" (any case); other names select rms. */
    void SetMeteringMode (const std::string& name);

    /** Channels past the end are ignored. */
    void SetMute (unsigned int channel, bool on) noexcept;
    void SetSolo (unsigned int channel, bool on) noexcept;

    /** The peak window becomes the display's refresh interval plus 5 ms; a
        negative (or NaN) interval counts as 0. */
    void SetRefreshInterval (float ms) noexcept;

    /** The latest level of each channel in dB. */
    const std::vector<std::atomic<float>>& GetLevels() const noexcept { return levels; }

    /** Copies the levels element by element into the caller's vector, which is
        resized (the only allocation) when its size differs. */
    void CopyLevels (Vector<float>& destination) const;

    void SetPostGainMetering (bool post) noexcept;

    /** Moves the gain to gainDb over 20 ms, or at once. A NaN or +infinite gain is ignored. */
    void SetGain (float gainDb, bool immediately) noexcept;

    bool IsMuted (unsigned int channel) const noexcept;
    bool IsSoloed (unsigned int channel) const noexcept;
    bool IsPostGainMetering() const noexcept { return postGainMetering.load (std::memory_order_relaxed); }

    /** The gain ramp and the meters as the audio side holds them: read them only
        while no block is processed. */
    const Ramp& GetGainRamp() const noexcept { return gain; }
    const MultiRMSMetering& GetMeters() const noexcept { return meters; }

private:
    MultiRMSMetering meters;
    std::vector<std::atomic<float>> levels;

    // Mute and solo flags, a bit per channel and 64 channels to a word, so that a
    // block reads them a word at a time.
    std::vector<std::atomic<uint64_t>> muteBits;
    std::vector<std::atomic<uint64_t>> soloBits;
    std::vector<uint64_t> soloBitsInBlock;
    std::atomic<bool> postGainMetering { true };
    std::vector<double> knownPeaks;

    // Per block, whether each channel passes (connected, active, not muted, soloed
    // when any is, gain above the gate): worked out for all channels in one pass.
    std::vector<unsigned char> passingInBlock;

    // The meter value and mode each level was last converted from, so that a level
    // that did not move costs no logarithm: mode above, value's bits below.
    std::vector<uint64_t> convertedFrom;
    Ramp gain;

    // The gain target's mailbox: the factor's bits, and flags for "immediately"
    // and "pending", in one word, so that a block takes a whole setting or none.
    static constexpr uint64_t gainImmediateFlag = uint64_t (1) << 32;
    static constexpr uint64_t gainPendingFlag = uint64_t (1) << 33;
    std::atomic<uint64_t> pendingGain { 0 };

    void adoptPendingGain() noexcept;

    // Sets or clears a channel's bit; channels past the end are ignored.
    void setFlag (std::vector<std::atomic<uint64_t>>& bits, unsigned int channel, bool on) noexcept;
    bool isFlagSet (const std::vector<std::atomic<uint64_t>>& bits, unsigned int channel) const noexcept;

    // Fills passingInBlock; returns the number of channels the block processes.
    size_t findPassingChannels (bool audible) noexcept;

    // The channel's level in dB from its meter.
    void convertLevel (size_t channel) noexcept;

    template <typename T>
    void processBlock (T** outputs, T** inputs, unsigned int numSamples) noexcept;
};

} // namespace kul
