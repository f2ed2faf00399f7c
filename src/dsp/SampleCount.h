#pragma once

#include <cmath>
#include <cstdint>

namespace kul
{

/** The longest span, in samples, that a ramp or a window may count: beyond any
    real use, and exactly representable in a double. */
inline constexpr uint64_t maxSampleCount = uint64_t (1) << 52;

/** x rounded to the nearest count (halfway cases to even). NaN and values not
    above 0 give 0, values past maxSampleCount give maxSampleCount, so that no
    unrepresentable value ever reaches the conversion. */
inline uint64_t NearestSampleCount (double x) noexcept
{
    if (! (x > 0.0))
        return 0;

    if (x >= static_cast<double> (maxSampleCount))
        return maxSampleCount;

    return static_cast<uint64_t> (std::nearbyint (x));
}

/** x truncated towards 0, with the same guards as NearestSampleCount. */
inline uint64_t TruncatedSampleCount (double x) noexcept
{
    if (! (x > 0.0))
        return 0;

    if (x >= static_cast<double> (maxSampleCount))
        return maxSampleCount;

    return static_cast<uint64_t> (x);
}

/** A sample rate every computation can divide by: finite and above 0. */
inline bool IsUsableSampleRate (float rate) noexcept
{
    return rate > 0.0f && std::isfinite (rate);
}

} // namespace kul
