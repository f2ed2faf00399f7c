#include "math/VectorOperations.h"

#include "accelerate/Accelerate.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE__)
 #include <xmmintrin.h>
#endif

namespace kul
{
namespace
{

void multiply (float* dest, const float* source, vDSP_Length n, float gain) noexcept
{
    vDSP_vsmul (source, 1, &gain, dest, 1, n);
}

void multiply (double* dest, const double* source, vDSP_Length n, double gain) noexcept
{
    vDSP_vsmulD (source, 1, &gain, dest, 1, n);
}

void negate (float* dest, const float* source, vDSP_Length n) noexcept
{
    vDSP_vneg (source, 1, dest, 1, n);
}

void negate (double* dest, const double* source, vDSP_Length n) noexcept
{
    vDSP_vnegD (source, 1, dest, 1, n);
}

void rampMultiply (const float* source, float* start, const float* step, float* dest, vDSP_Length n) noexcept
{
    vDSP_vrampmul (source, 1, start, step, dest, 1, n);
}

void rampMultiply (const double* source, double* start, const double* step, double* dest, vDSP_Length n) noexcept
{
    vDSP_vrampmulD (source, 1, start, step, dest, 1, n);
}

template <typename T>
void scaleVector (T* dest, const T* source, size_t n, T gain) noexcept
{
    // An empty block may come with null pointers, which memmove must not see.
    if (n == 0)
        return;

    if (gain == T (1))
    {
        if (dest != source)
            std::memmove (dest, source, n * sizeof (T));
    }
    else if (gain == T (0))
    {
        std::fill_n (dest, n, T (0));
    }
    else if (gain == T (-1) && dest != source)
    {
        negate (dest, source, n);
    }
    else
    {
        multiply (dest, source, n, gain);
    }
}

template <typename T>
void applyGainRamp (T* dest, const T* source, size_t n, T startGain, T endGain) noexcept
{
    if (startGain == endGain)
    {
        scaleVector (dest, source, n, startGain);
    }
    else if (n >= 2)
    {
        // The count converts through a signed integer (exact for any real count),
        // which takes one instruction where the unsigned conversion takes a branch.
        T start = startGain;
        const T step = (endGain - startGain) / static_cast<T> (static_cast<long> (n - 1));
        rampMultiply (source, &start, &step, dest, n);
    }
    else if (n == 1)
    {
        dest[0] = source[0] * endGain;
    }
}

} // namespace

void ScaleVector (float* dest, const float* source, size_t n, float gain) noexcept { scaleVector (dest, source, n, gain); }
void ScaleVector (double* dest, const double* source, size_t n, double gain) noexcept { scaleVector (dest, source, n, gain); }

void FillVector (float* dest, size_t n, float value) noexcept { vDSP_vfill (&value, dest, 1, n); }
void FillVector (double* dest, size_t n, double value) noexcept { vDSP_vfillD (&value, dest, 1, n); }

float GetMaxMagnitude (const float* source, size_t n) noexcept
{
    float result = 0.0f;
    vDSP_maxmgv (source, 1, &result, n);
    return result;
}

double GetMaxMagnitude (const double* source, size_t n) noexcept
{
    double result = 0.0;
    vDSP_maxmgvD (source, 1, &result, n);
    return result;
}

void ApplyGainRamp (float* dest, const float* source, size_t n, float startGain, float endGain) noexcept
{
    applyGainRamp (dest, source, n, startGain, endGain);
}

void ApplyGainRamp (double* dest, const double* source, size_t n, double startGain, double endGain) noexcept
{
    applyGainRamp (dest, source, n, startGain, endGain);
}

void MultiplyVectors (float* inOut, const float* factors, size_t n) noexcept { vDSP_vmul (inOut, 1, factors, 1, inOut, 1, n); }
void MultiplyVectors (double* inOut, const double* factors, size_t n) noexcept { vDSP_vmulD (inOut, 1, factors, 1, inOut, 1, n); }

void DisableDenormals() noexcept
{
#if defined(__SSE__)
    // Bit 15 is flush-to-zero, bit 6 denormals-are-zero.
    _mm_setcsr (_mm_getcsr() | 0x8040u);
#endif
}

} // namespace kul
