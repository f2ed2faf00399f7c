#pragma once

#include "dsp/AudioProcessorWithOscInAudioInterrupt.h"
#include "dsp/RMSMetering.h"

#include <atomic>
#include <cstdint>
#include <string>

namespace kul
{

/** Meters each input channel once per block: the block's peak magnitude with a
    short hold, or a one-pole smoothed mean square. A processor with n inputs
    and no outputs.

    The mode and the peak window may be set from any thread while blocks are
    processed: the mode is looked up on the caller's thread, and both are adopted
    by the next block (or by Clear and a rate change, which run while no block does). */
class MultiRMSMetering : public AudioProcessorWithOscInAudioInterrupt
{
public:
    explicit MultiRMSMetering (unsigned int numChannels);
    ~MultiRMSMetering() override;

    /** Meters the inputs; the outputs are ignored. */
    void Process (float** outputs, float** inputs, unsigned int numSamples) override;

    /** Meters the block of every connected channel.

        NaN samples are left out: the level is that of the block without them.

        knownPeaks, when given, holds one entry per channel: the block's largest
        magnitude, NaNs passed over, when the caller measured it already (0 for a
        silent block), or a negative number when it did not. A measured block is
        not searched again; in peak mode it is not read at all. */
    void Process (const float* const* inputs, unsigned int numSamples,
                  const double* knownPeaks = nullptr) noexcept;
    void Process (const double* const* inputs, unsigned int numSamples,
                  const double* knownPeaks = nullptr) noexcept;

    /** Meters channels firstChannel .. firstChannel + numChannels - 1 alone, without
        adopting pending settings (the owner adopts them once per block), so that an
        owner can meter each channel while its samples are still in the cache. */
    void ProcessChannels (const float* const* inputs, unsigned int firstChannel, unsigned int numChannels,
                          unsigned int numSamples, const double* knownPeaks) noexcept;
    void ProcessChannels (const double* const* inputs, unsigned int firstChannel, unsigned int numChannels,
                          unsigned int numSamples, const double* knownPeaks) noexcept;

    /** Meters one channel, its meter in peak mode, from the block's largest magnitude
        as the caller measured it (NaNs passed over, 0 for a silent block); the block
        is not read and pending settings are not adopted. For an owner that meters
        each channel right after its own pass over the samples. */
    void MeterPeak (unsigned int channel, double peakOfBlock, unsigned int numSamples) noexcept
    {
        if (channel >= numInputs || channel >= meters.Size())
            return;

        if (IsInletConnected (channel))
            meters[channel]->MeterPeak (peakOfBlock, numSamples);
        else
            meters[channel]->ResetLevel();
    }

    /** The mode of the meters (they all share one). Audio thread only. */
    RMSMetering::Mode GetMode() const noexcept;

    void SampleRateChanged (float rate) override;
    void Clear() override;

    /** Selects the mode by name, ignoring case; a name not in the table selects rms.
        Each change of mode starts the meters again from silence, from the next block. */
    void SetMode (const std::string& name);

    /** The peak window of every meter, in milliseconds, which keeps its length at
        every rate; the counters restart. */
    void SetPeakWindowTime (float milliseconds) noexcept;

    /** Applies a mode or window set since the last block. */
    void AdoptPendingSettings() noexcept;

    size_t GetNumMeters() const noexcept { return meters.Size(); }
    const RMSMetering& GetMeter (size_t channel) const noexcept { return *meters[channel]; }

    /** The mode names, lower-cased, one per mode, joined with the separator ("peak", then "rms"). */
    static std::string GetMeterModeNames (const std::string& separator);

private:
    Vector<RMSMetering*> meters;

    static constexpr uint64_t windowPendingFlag = uint64_t (1) << 32;

    // Every change of mode restarts the meters, however many come between two
    // blocks: the control side counts the changes, and a block that finds the
    // count moved adopts the latest mode and restarts.
    std::atomic<int32_t> requestedMode { RMSMetering::rms };
    std::atomic<uint32_t> modeChanges { 0 };
    uint32_t adoptedModeChanges = 0;
    // A window's length in milliseconds (the float's bits) and the pending flag, in one word.
    std::atomic<uint64_t> pendingWindow { 0 };

    void deleteMeters() noexcept;

    template <typename T>
    void processBlock (const T* const* inputs, unsigned int numSamples, const double* knownPeaks) noexcept;

    template <typename T>
    void processChannels (const T* const* inputs, unsigned int firstChannel, unsigned int numChannels,
                          unsigned int numSamples, const double* knownPeaks) noexcept;
};

} // namespace kul
