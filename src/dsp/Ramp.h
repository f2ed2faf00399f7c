#pragma once

#include "common/Constants.h"

#include <cstdint>

namespace kul
{

/** A linear value ramp counted in samples. Its user advances it once per block;
    targets come from the control side. The fields are public: users read where
    the ramp started, is and goes, and how far it has come. */
class Ramp
{
public:
    Ramp() = default;
    virtual ~Ramp() = default;

    /** Ramps from the present value over rampTime, or jumps when asked to, when
        the ramp time is 0, or when the time is too short to last one sample. */
    void SetTarget (float newTarget, bool immediately);

    /** Sets the ramp time (a negative or NaN time counts as 0), then the target
        by the rule of SetTarget. */
    void SetTargetWithTime (float newTarget, float rampTimeMs);

    /** A ramp under way keeps its length; a negative or NaN time counts as 0. */
    void SetRampTime (float rampTimeMs) noexcept;

    /** Keeps the duration of a ramp under way at the new rate. A rate that is not
        a positive finite number is ignored. */
    void SetSampleRate (float rate) noexcept;

    /** Moves the ramp on by a block of numSamples; returns the value at the start of
        the block. A ramp that runs out within the block ends exactly at target. */
    float Advance (uint64_t numSamples) noexcept;

    bool IsRamping() const noexcept { return remaining > 0; }

    float start = 0.0f;
    float current = 0.0f;
    float target = 0.0f;
    float increment = 0.0f;
    float sampleRate = defaultSampleRate;
    uint64_t remaining = 0;
    uint64_t total = 0;
    float rampTime = 30.0f;

private:
    void jumpTo (float value) noexcept;
};

} // namespace kul
