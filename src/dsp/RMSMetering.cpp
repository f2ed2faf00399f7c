#include "dsp/RMSMetering.h"

#include "dsp/SampleCount.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace kul
{
namespace
{
uint32_t toWindowLength (float samples) noexcept
{
    return static_cast<uint32_t> (std::min<uint64_t> (TruncatedSampleCount (samples), std::numeric_limits<uint32_t>::max()));
}
} // namespace

RMSMetering::RMSMetering() noexcept
{
    holdSamples = toWindowLength (0.01f * sampleRate);
    coefficient = std::clamp (1.0f - std::exp (-1.0f / (averagingTime * 0.001f * sampleRate)), 0.001f, 0.999f);
    feedback = 1.0f - coefficient;
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

    holdSamples = toWindowLength (static_cast<float> (holdSamples) * 1000.0f / sampleRate * (0.001f * rate));
    sampleRate = rate;
    holdCounter = 0;
    averagingTime = std::clamp (averagingTime, 5.0f, 500.0f);
    coefficient = std::clamp (1.0f - std::exp ((-1.0f / rate) / (averagingTime * 0.001f)), 0.001f, 0.999f);
    feedback = 1.0f - coefficient;
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
