#pragma once

#include "common/StringMap.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace kul
{

/** One channel's meter: either the block peak with a short hold, or a one-pole
    smoothed mean square. A plain record owned by its MultiRMSMetering. */
class RMSMetering
{
public:
    enum Mode : int32_t
    {
        rms = 0,
        peak = 1
    };

    RMSMetering() noexcept;

    /** The mode names ("peak", "rms"), compared without regard to case; built on first use. */
    static const StringMap<Mode>& GetModeNames();

    /** Counts the peak window's length in milliseconds at the new rate, restarts the
        window and recomputes the one-pole coefficients; the level is kept. */
    void SetSampleRate (float rate) noexcept;

    /** The peak window's length in milliseconds, counted in samples at the meter's
        rate; the window restarts. A length that is not above 0 gives a window of 0. */
    void SetPeakWindowTime (float milliseconds) noexcept;

    /** Level, mean square and window counter to 0. */
    void ResetLevel() noexcept;

    /** After a silent block: level and mean square 0; the window counter runs on. */
    void SetSilent() noexcept;

    /** What a meter reports for a block whose level cannot be expressed: an obvious
        overload that every reader can still convert. */
    static constexpr float overloadLevel = std::numeric_limits<float>::max();

    /** After a block in peak mode, from its largest magnitude as measured (NaNs passed
        over, 0 for silence): the peak held over the window, or silence. Inline, as
        owners call it once per channel and block. */
    void MeterPeak (double peakOfBlock, uint32_t numSamples) noexcept
    {
        // The block's peak tells silence too.
        if (! (peakOfBlock > 0.0))
        {
            SetSilent();
            return;
        }

        // Checked in double: narrowing a double beyond the float range is undefined.
        const float blockPeak = peakOfBlock <= overloadLevel ? static_cast<float> (peakOfBlock) : overloadLevel;

        float held = value;
        const uint64_t counted = uint64_t (holdCounter) + numSamples;

        if (counted > holdSamples)
        {
            holdCounter = 0;
            held = 0.0f;
        }
        else
        {
            holdCounter = static_cast<uint32_t> (counted);
        }

        value = std::max (blockPeak, held);
    }

    Mode mode = rms;
    float value = 0.0f;
    float sampleRate = 44100.0f;
    float averagingTime = 20.0f;
    float feedback = 0.0f;
    float coefficient = 0.0f;
    float meanSquare = 0.0f;
    /** The peak window's length in milliseconds, which holdSamples counts at sampleRate:
        kept so that rate changes never shorten the window by rounding it again and again. */
    float holdTime = 10.0f;
    uint32_t holdSamples = 0;
    uint32_t holdCounter = 0;
};

} // namespace kul
