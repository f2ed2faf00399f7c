#pragma once

#include <cstddef>

/*  Block operations on contiguous float and double arrays (unit stride, n
    elements), carried out with the platform's vector primitives. None of them
    allocates, locks or throws, so they are safe on the audio thread.
*/
namespace kul
{

/** dest[i] = source[i] x gain. The gains 1, 0 and -1 take a copy (nothing at
    all in place), a zero fill (which clears infinities and NaNs too) and a
    negation instead of a multiplication. */
void ScaleVector (float* dest, const float* source, size_t n, float gain) noexcept;
void ScaleVector (double* dest, const double* source, size_t n, double gain) noexcept;

void FillVector (float* dest, size_t n, float value) noexcept;
void FillVector (double* dest, size_t n, double value) noexcept;

/** The largest absolute value of the block, 0 for an empty block. */
float GetMaxMagnitude (const float* source, size_t n) noexcept;
double GetMaxMagnitude (const double* source, size_t n) noexcept;

/** dest[i] = source[i] x a gain moving linearly from startGain (first element)
    to endGain (last element); a single element gets endGain. Works in place. */
void ApplyGainRamp (float* dest, const float* source, size_t n, float startGain, float endGain) noexcept;
void ApplyGainRamp (double* dest, const double* source, size_t n, double startGain, double endGain) noexcept;

/** inOut[i] = inOut[i] x factors[i]. */
void MultiplyVectors (float* inOut, const float* factors, size_t n) noexcept;
void MultiplyVectors (double* inOut, const double* factors, size_t n) noexcept;

/** Switches flush-to-zero and denormals-are-zero on for the calling thread; the
    setting stays in force on that thread. Does nothing where there is no SSE. */
void DisableDenormals() noexcept;

} // namespace kul
