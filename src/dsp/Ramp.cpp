#include "dsp/Ramp.h"

#include "dsp/SampleCount.h"

#include <algorithm>

namespace kul
{
namespace
{
float nonNegativeTime (float ms) noexcept
{
    return ms > 0.0f ? ms : 0.0f;
}

// Counts are computed in float, as the ramp's own arithmetic is; only the
// conversion to an integer is guarded.
uint64_t nearestCount (float x) noexcept
{
    return NearestSampleCount (static_cast<double> (x));
}
} // namespace

void Ramp::SetTarget (float newTarget, bool immediately)
{
    if (! immediately && rampTime != 0.0f)
    {
        const auto length = nearestCount (rampTime * 0.001f * sampleRate);

        if (length > 0)
        {
            start = current;
            target = newTarget;
            total = remaining = length;
            increment = (target - current) / static_cast<float> (remaining);
            return;
        }
    }

    jumpTo (newTarget);
}

void Ramp::SetTargetWithTime (float newTarget, float rampTimeMs)
{
    SetRampTime (rampTimeMs);
    SetTarget (newTarget, false);
}

void Ramp::SetRampTime (float rampTimeMs) noexcept
{
    rampTime = nonNegativeTime (rampTimeMs);
}

void Ramp::SetSampleRate (float rate) noexcept
{
    if (! IsUsableSampleRate (rate))
        return;

    const float oldRate = sampleRate;
    sampleRate = rate;

    if (rate == oldRate)
        return;

    total = nearestCount (rate * 0.001f * (static_cast<float> (total) * 1000.0f / oldRate));

    if (remaining == 0)
        return;

    remaining = nearestCount (static_cast<float> (remaining) * 1000.0f / oldRate * 0.001f * rate);

    if (remaining == 0)
    {
        // Too little time was left to last a sample at the new rate: the ramp is done.
        current = target;
        increment = 0.0f;
        return;
    }

    // The two counts are rounded separately; a ramp never has more to go than its length.
    total = std::max (total, remaining);
    increment = (target - current) / static_cast<float> (remaining);
}

float Ramp::Advance (uint64_t numSamples) noexcept
{
    const float valueAtBlockStart = current;

    if (remaining > 0)
    {
        const auto m = std::min (remaining, numSamples);
        current += static_cast<float> (m) * increment;
        remaining -= m;

        if (remaining == 0)
            current = target;
    }

    return valueAtBlockStart;
}

void Ramp::jumpTo (float value) noexcept
{
    start = current = target = value;
    remaining = total = 0;
    increment = 0.0f;
}

} // namespace kul
