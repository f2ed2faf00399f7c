#include "dsp/GainKernels.h"

#include <cmath>
#include <cstdint>
#include <cstring>

// Compiled for AVX2 and for the baseline instruction set (see MeanSquareKernels.cpp).
#if defined(__x86_64__) && defined(__GNUC__) && ! defined(__SANITIZE_THREAD__)
 #define GAIN_ENTRY_POINT __attribute__ ((target_clones ("avx2", "default"), flatten))
#else
 #define GAIN_ENTRY_POINT __attribute__ ((flatten))
#endif

namespace kul
{
namespace
{
template <typename T>
struct Lanes;

template <>
struct Lanes<float>
{
    using Vector = float __attribute__ ((vector_size (32)));
    using Mask = int32_t __attribute__ ((vector_size (32)));
    static constexpr int width = 8;
    static constexpr Vector indexes { 0, 1, 2, 3, 4, 5, 6, 7 };
    static constexpr Mask allButSign = Mask {} + 0x7fffffff;
};

template <>
struct Lanes<double>
{
    using Vector = double __attribute__ ((vector_size (32)));
    using Mask = int64_t __attribute__ ((vector_size (32)));
    static constexpr int width = 4;
    static constexpr Vector indexes { 0, 1, 2, 3 };
    static constexpr Mask allButSign = Mask {} + 0x7fffffffffffffff;
};

// A NaN compares false, so it never becomes the largest: NaN samples are passed over.
template <typename T>
struct PeakTracker
{
    using L = Lanes<T>;
    typename L::Vector largest {};

    void Add (const typename L::Vector& v) noexcept
    {
        // Clearing the sign bit is cheaper than a comparison and a blend.
        // (A cast between vector types of one size keeps the bits.)
        const auto magnitude = (typename L::Vector) ((typename L::Mask) v & L::allButSign);
        largest = magnitude > largest ? magnitude : largest;
    }

    void Merge (const PeakTracker& other) noexcept
    {
        largest = other.largest > largest ? other.largest : largest;
    }

    T Result (const T* tailValues, size_t tailLength) const noexcept
    {
        T result = 0;

        for (int k = 0; k < L::width; ++k)
            result = largest[k] > result ? largest[k] : result;

        for (size_t i = 0; i < tailLength; ++i)
        {
            const T magnitude = std::fabs (tailValues[i]);
            result = magnitude > result ? magnitude : result;
        }

        return result;
    }
};

// Four vectors per step, each with its own tracker, so that no maximum waits for the one before.
constexpr int vectorsPerStep = 4;

template <bool constantGain, bool measureSource, typename T>
T gainAndPeakLoop (T* dest, const T* source, size_t n, T startGain, T step) noexcept
{
    using L = Lanes<T>;
    using Vector = typename L::Vector;

    PeakTracker<T> trackers[vectorsPerStep];
    const Vector constantGains = Vector {} + startGain;

    // Sample indexes as floating-point numbers, counted up exactly (they stay far
    // below 2^24), so each gain is start + i x step as the plain ramp has it.
    Vector sampleIndexes = L::indexes;
    size_t i = 0;

    for (; i + vectorsPerStep * L::width <= n; i += vectorsPerStep * L::width)
    {
#pragma GCC unroll 4
        for (int v = 0; v < vectorsPerStep; ++v)
        {
            const size_t at = i + static_cast<size_t> (v) * L::width;
            Vector x;
            std::memcpy (&x, source + at, sizeof (x));

            Vector gains = constantGains;
            if constexpr (! constantGain)
                gains = startGain + (sampleIndexes + static_cast<T> (v * L::width)) * step;

            const Vector y = x * gains;
            std::memcpy (dest + at, &y, sizeof (y));
            trackers[v].Add (measureSource ? x : y);
        }

        if constexpr (! constantGain)
            sampleIndexes += static_cast<T> (vectorsPerStep * L::width);
    }

    for (int v = 1; v < vectorsPerStep; ++v)
        trackers[0].Merge (trackers[v]);

    // The tail is measured before it is written, so that in place the source is still there.
    T tail[vectorsPerStep * L::width];
    const size_t tailLength = n - i;

    for (size_t k = 0; k < tailLength; ++k)
    {
        const T x = source[i + k];
        const T gain = constantGain ? startGain : startGain + static_cast<T> (i + k) * step;
        tail[k] = measureSource ? x : x * gain;
        dest[i + k] = x * gain;
    }

    return trackers[0].Result (tail, tailLength);
}

template <typename T>
T gainAndPeak (T* dest, const T* source, size_t n, T startGain, T endGain, bool measureSource) noexcept
{
    if (n == 0)
        return 0;

    if (n == 1)
    {
        const T x = source[0];
        dest[0] = x * endGain;
        return PeakTracker<T>().Result (measureSource ? &x : dest, 1);
    }

    if (startGain == endGain)
        return measureSource ? gainAndPeakLoop<true, true> (dest, source, n, startGain, T (0))
                             : gainAndPeakLoop<true, false> (dest, source, n, startGain, T (0));

    const T step = (endGain - startGain) / static_cast<T> (n - 1);
    return measureSource ? gainAndPeakLoop<false, true> (dest, source, n, startGain, step)
                         : gainAndPeakLoop<false, false> (dest, source, n, startGain, step);
}

template <typename T>
T peakOf (const T* source, size_t n) noexcept
{
    using L = Lanes<T>;
    PeakTracker<T> trackers[vectorsPerStep];
    size_t i = 0;

    for (; i + vectorsPerStep * L::width <= n; i += vectorsPerStep * L::width)
    {
#pragma GCC unroll 4
        for (int v = 0; v < vectorsPerStep; ++v)
        {
            typename L::Vector x;
            std::memcpy (&x, source + i + static_cast<size_t> (v) * L::width, sizeof (x));
            trackers[v].Add (x);
        }
    }

    for (int v = 1; v < vectorsPerStep; ++v)
        trackers[0].Merge (trackers[v]);

    return trackers[0].Result (source + i, n - i);
}
} // namespace

GAIN_ENTRY_POINT float GetPeakMagnitude (const float* source, size_t n) noexcept
{
    return peakOf (source, n);
}

GAIN_ENTRY_POINT double GetPeakMagnitude (const double* source, size_t n) noexcept
{
    return peakOf (source, n);
}

GAIN_ENTRY_POINT float ApplyGainRampMeasuringPeak (float* dest, const float* source, size_t n, float startGain,
                                                   float endGain, bool measureSource) noexcept
{
    return gainAndPeak (dest, source, n, startGain, endGain, measureSource);
}

GAIN_ENTRY_POINT double ApplyGainRampMeasuringPeak (double* dest, const double* source, size_t n, double startGain,
                                                    double endGain, bool measureSource) noexcept
{
    return gainAndPeak (dest, source, n, startGain, endGain, measureSource);
}

} // namespace kul
