#pragma once

#include "common/StringMap.h"

#include <cstdint>

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

    /** Keeps the peak window's length in milliseconds at the new rate, restarts the
        window and recomputes the one-pole coefficients; the level is kept. */
    void SetSampleRate (float rate) noexcept;

    /** Level, mean square and window counter to 0. */
    void ResetLevel() noexcept;

    /** After a silent block: level and mean square 0; the window counter runs on. */
    void SetSilent() noexcept;

    Mode mode = rms;
    float value = 0.0f;
    float sampleRate = 44100.0f;
    float averagingTime = 20.0f;
    float feedback = 0.0f;
    float coefficient = 0.0f;
    float meanSquare = 0.0f;
    uint32_t holdSamples = 0;
    uint32_t holdCounter = 0;
};

} // namespace kul
