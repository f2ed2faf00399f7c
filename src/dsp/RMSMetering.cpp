#include "dsp/RMSMetering.h"

#include "dsp/SampleCount.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace kul
{
namespace
{
// In double, where the product of the two floats is exact: a length that is a whole
// number of samples is counted whole.
uint32_t toWindowLength (float rate, float milliseconds) noexcept
{
    const auto samples = TruncatedSampleCount (static_cast<double> (rate) * static_cast<double> (milliseconds) / 1000.0);
    return static_cast<uint32_t> (std::min<uint64_t> (samples, std::numeric_limits<uint32_t>::max()));
}

// The weights of the one-pole with the averaging time at the rate. The input weight's
// floor must never shorten the time: at 500 ms and 192 kHz the weight is about 1e-5.
// The weight is computed in double and rounded once, so that it keeps float's full
// precision where 1 - exp in float would keep only a few digits of it.
void setAveragingWeights (RMSMetering& meter) noexcept
{
    constexpr double minCoefficient = 1.0e-6, maxCoefficient = 0.999;
    const double samples = static_cast<double> (meter.averagingTime) * 0.001 * static_cast<double> (meter.sampleRate);
    meter.coefficient = static_cast<float> (std::clamp (-std::expm1 (-1.0 / samples), minCoefficient, maxCoefficient));
    meter.feedback = 1.0f - meter.coefficient;
}
} // namespace

RMSMetering::RMSMetering() noexcept
{
    holdSamples = toWindowLength (sampleRate, holdTime);
    setAveragingWeights (*this);
}

const StringMap<RMSMetering::Mode>& RMSMetering::GetModeNames()
{
    static const StringMap<Mode> names = []
    {
        StringMap<Mode> table (true);
        table["peak"] = peak;
        table["rms"] = rms;
        return table;
    }();

    return names;
}

void RMSMetering::SetSampleRate (float rate) noexcept
{
    if (! IsUsableSampleRate (rate))
        return;

    sampleRate = rate;
    holdSamples = toWindowLength (rate, holdTime);
    holdCounter = 0;
    averagingTime = std::clamp (averagingTime, 5.0f, 500.0f);
    setAveragingWeights (*this);
}

void RMSMetering::SetPeakWindowTime (float milliseconds) noexcept
{
    holdTime = milliseconds > 0.0f ? milliseconds : 0.0f;
    holdSamples = toWindowLength (sampleRate, holdTime);
    holdCounter = 0;
}

void RMSMetering::ResetLevel() noexcept
{
    meanSquare = 0.0f;
    value = 0.0f;
    holdCounter = 0;
}

void RMSMetering::SetSilent() noexcept
{
    meanSquare = 0.0f;
    value = 0.0f;
}

} // namespace kul
