#include "dsp/GainKernels.h"

#include <algorithm>
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
    using Half = float __attribute__ ((vector_size (16)));
    static constexpr int width = 8;
    static constexpr Vector indexes { 0, 1, 2, 3, 4, 5, 6, 7 };
    static constexpr Mask allButSign = Mask {} + 0x7fffffff;

    static Half lowHalf (const Vector& v) noexcept { return __builtin_shufflevector (v, v, 0, 1, 2, 3); }
    static Half highHalf (const Vector& v) noexcept { return __builtin_shufflevector (v, v, 4, 5, 6, 7); }
    static Half swapPairs (Half v) noexcept { return __builtin_shufflevector (v, v, 2, 3, 0, 1); }
    static Half swapNeighbours (Half v) noexcept { return __builtin_shufflevector (v, v, 1, 0, 3, 2); }
};

template <>
struct Lanes<double>
{
    using Vector = double __attribute__ ((vector_size (32)));
    using Mask = int64_t __attribute__ ((vector_size (32)));
    using Half = double __attribute__ ((vector_size (16)));
    static constexpr int width = 4;
    static constexpr Vector indexes { 0, 1, 2, 3 };
    static constexpr Mask allButSign = Mask {} + 0x7fffffffffffffff;

    static Half lowHalf (const Vector& v) noexcept { return __builtin_shufflevector (v, v, 0, 1); }
    static Half highHalf (const Vector& v) noexcept { return __builtin_shufflevector (v, v, 2, 3); }
    static Half swapPairs (Half v) noexcept { return v; }
    static Half swapNeighbours (Half v) noexcept { return __builtin_shufflevector (v, v, 1, 0); }
};

// The larger of two, in the operand order of the processor's max instruction. A
// NaN candidate compares false, so it never becomes the largest: NaN samples are
// passed over, and no tracker ever holds a NaN. The maximum of numbers that are
// never NaN nor -0 is the same in any order, so trackers may be merged freely.
// (Whole vectors go by reference: passed or returned by value, their ABI would
// differ between the two instruction sets.)
template <typename V>
inline V larger (V held, V candidate) noexcept
{
    return candidate > held ? candidate : held;
}

template <typename V>
inline void keepLarger (V& held, const V& candidate) noexcept
{
    held = candidate > held ? candidate : held;
}

// Clearing the sign bit is cheaper than a comparison and a blend.
// (A cast between vector types of one size keeps the bits.)
template <typename T>
inline void keepLargerMagnitude (typename Lanes<T>::Vector& held, const typename Lanes<T>::Vector& v) noexcept
{
    using L = Lanes<T>;
    keepLarger (held, (typename L::Vector) ((typename L::Mask) v & L::allButSign));
}

template <typename T>
inline void loadVector (typename Lanes<T>::Vector& x, const T* at) noexcept
{
    std::memcpy (&x, at, sizeof (x));
}

// The largest lane of the trackers, folded within registers: trackers, halves,
// then pairs, then neighbours.
template <typename T>
inline T largestLane (typename Lanes<T>::Vector (&trackers)[4]) noexcept
{
    using L = Lanes<T>;
    keepLarger (trackers[0], trackers[1]);
    keepLarger (trackers[2], trackers[3]);
    keepLarger (trackers[0], trackers[2]);
    auto folded = larger (L::lowHalf (trackers[0]), L::highHalf (trackers[0]));
    folded = larger (folded, L::swapPairs (folded));
    folded = larger (folded, L::swapNeighbours (folded));
    return folded[0];
}

// Four vectors per step, each with its own tracker, so that no maximum waits for
// the one before; the trackers are plain values, kept in registers.
constexpr int vectorsPerStep = 4;

template <bool constantGain, bool measureSource, typename T>
T gainAndPeakLoop (T* dest, const T* source, size_t n, T startGain, T step) noexcept
{
    using L = Lanes<T>;
    using Vector = typename L::Vector;

    // Sample indexes as floating-point numbers, counted up exactly (they stay far
    // below 2^24), so each gain is start + i x step as the plain ramp has it.
    Vector sampleIndexes = L::indexes;
    const Vector constantGains = Vector {} + startGain;

    // The gain pass over one vector, its measure kept by the tracker.
    const auto gainPass = [&] (Vector& largest, size_t at, const Vector& indexes) noexcept
    {
        Vector x;
        loadVector (x, source + at);
        const Vector y = x * (constantGain ? constantGains : startGain + indexes * step);
        std::memcpy (dest + at, &y, sizeof (y));
        keepLargerMagnitude<T> (largest, measureSource ? x : y);
    };

    Vector largest[vectorsPerStep] {};
    size_t i = 0;

    for (; i + vectorsPerStep * L::width <= n; i += vectorsPerStep * L::width)
    {
#pragma GCC unroll 4
        for (int v = 0; v < vectorsPerStep; ++v)
            gainPass (largest[v], i + static_cast<size_t> (v) * L::width, sampleIndexes + static_cast<T> (v * L::width));

        sampleIndexes += static_cast<T> (vectorsPerStep * L::width);
    }

    for (; i + L::width <= n; i += L::width)
    {
        gainPass (largest[0], i, sampleIndexes);
        sampleIndexes += static_cast<T> (L::width);
    }

    T result = largestLane<T> (largest);

    // The tail is measured as it is read, so that in place the source is still there.
    for (; i < n; ++i)
    {
        const T x = source[i];
        const T y = x * (constantGain ? startGain : startGain + static_cast<T> (i) * step);
        dest[i] = y;
        result = larger (result, std::fabs (measureSource ? x : y));
    }

    return result;
}

template <typename T>
T gainAndPeak (T* dest, const T* source, size_t n, T startGain, T endGain, bool measureSource) noexcept
{
    if (n == 0)
        return 0;

    if (n == 1)
    {
        const T x = source[0];
        const T y = x * endGain;
        dest[0] = y;
        return larger (T (0), std::fabs (measureSource ? x : y));
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
    typename L::Vector largest[vectorsPerStep] {};
    size_t i = 0;

    for (; i + vectorsPerStep * L::width <= n; i += vectorsPerStep * L::width)
    {
#pragma GCC unroll 4
        for (int v = 0; v < vectorsPerStep; ++v)
        {
            typename L::Vector x;
            loadVector (x, source + i + static_cast<size_t> (v) * L::width);
            keepLargerMagnitude<T> (largest[v], x);
        }
    }

    for (; i + L::width <= n; i += L::width)
    {
        typename L::Vector x;
        loadVector (x, source + i);
        keepLargerMagnitude<T> (largest[0], x);
    }

    T result = largestLane<T> (largest);

    for (; i < n; ++i)
        result = larger (result, std::fabs (source[i]));

    return result;
}
// A channel that does not pass: measured before a zero fill in place erases it.
template <typename T>
T silenceMeasuringPeak (T* dest, const T* source, size_t n, bool measureSource) noexcept
{
    const T peak = measureSource ? peakOf (source, n) : T (0);
    std::fill_n (dest, n, T (0));
    return peak;
}

// The channels of a block, the kind of ramp chosen once for all of them.
template <bool constantGain, bool measureSource, typename T>
void gainAndPeakChannels (T* const* dest, const T* const* source, const unsigned char* passes, size_t numChannels,
                          size_t n, T startGain, T step, double* peaks) noexcept
{
    for (size_t c = 0; c < numChannels; ++c)
        peaks[c] = passes[c] != 0
                       ? gainAndPeakLoop<constantGain, measureSource> (dest[c], source[c], n, startGain, step)
                       : silenceMeasuringPeak (dest[c], source[c], n, measureSource);
}

template <typename T>
void gainAndPeaks (T* const* dest, const T* const* source, const unsigned char* passes, size_t numChannels, size_t n,
                   T startGain, T endGain, bool measureSource, double* peaks) noexcept
{
    if (n < 2)
    {
        for (size_t c = 0; c < numChannels; ++c)
            peaks[c] = passes[c] != 0 ? gainAndPeak (dest[c], source[c], n, startGain, endGain, measureSource)
                                      : silenceMeasuringPeak (dest[c], source[c], n, measureSource);
        return;
    }

    if (startGain == endGain)
    {
        if (measureSource)
            gainAndPeakChannels<true, true> (dest, source, passes, numChannels, n, startGain, T (0), peaks);
        else
            gainAndPeakChannels<true, false> (dest, source, passes, numChannels, n, startGain, T (0), peaks);

        return;
    }

    const T step = (endGain - startGain) / static_cast<T> (n - 1);

    if (measureSource)
        gainAndPeakChannels<false, true> (dest, source, passes, numChannels, n, startGain, step, peaks);
    else
        gainAndPeakChannels<false, false> (dest, source, passes, numChannels, n, startGain, step, peaks);
}

// Two vectors at a time, their comparisons folded into one test: a signal's
// first step almost always ends the search.
template <typename T>
bool silent (const T* source, size_t n) noexcept
{
    using L = Lanes<T>;
    using Quarters = int64_t __attribute__ ((vector_size (32)));
    const typename L::Vector zeros {};
    size_t i = 0;

    for (; i + 2 * L::width <= n; i += 2 * L::width)
    {
        typename L::Vector x0, x1;
        loadVector (x0, source + i);
        loadVector (x1, source + i + L::width);
        const auto sounding = (Quarters) (((typename L::Vector) ((typename L::Mask) x0 & L::allButSign) > zeros)
                                          | ((typename L::Vector) ((typename L::Mask) x1 & L::allButSign) > zeros));

        if ((sounding[0] | sounding[1] | sounding[2] | sounding[3]) != 0)
            return false;
    }

    for (; i < n; ++i)
        if (std::fabs (source[i]) > T (0))
            return false;

    return true;
}
} // namespace

GAIN_ENTRY_POINT bool IsSilent (const float* source, size_t n) noexcept
{
    return silent (source, n);
}

GAIN_ENTRY_POINT bool IsSilent (const double* source, size_t n) noexcept
{
    return silent (source, n);
}

GAIN_ENTRY_POINT void ApplyGainRampMeasuringPeaks (float* const* dest, const float* const* source,
                                                   const unsigned char* passes, size_t numChannels, size_t n,
                                                   float startGain, float endGain, bool measureSource,
                                                   double* peaks) noexcept
{
    gainAndPeaks (dest, source, passes, numChannels, n, startGain, endGain, measureSource, peaks);
}

GAIN_ENTRY_POINT void ApplyGainRampMeasuringPeaks (double* const* dest, const double* const* source,
                                                   const unsigned char* passes, size_t numChannels, size_t n,
                                                   double startGain, double endGain, bool measureSource,
                                                   double* peaks) noexcept
{
    gainAndPeaks (dest, source, passes, numChannels, n, startGain, endGain, measureSource, peaks);
}

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
