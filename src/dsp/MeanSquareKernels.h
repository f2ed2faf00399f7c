#pragma once

#include <cstddef>

namespace kul
{

/** The square of a sample as the one-pole mean square takes it: doubles are
    squared in double and narrowed to float. */
inline float SquareForMeanSquare (float x) noexcept { return x * x; }
inline float SquareForMeanSquare (double x) noexcept { return static_cast<float> (x * x); }

/** Runs the one-pole mean-square recursion ms = ms x feedback + x² x coefficient
    over n samples of numChannels channels side by side. The channels' recursions
    are independent, so running them together hides the latency of each; every
    channel gets exactly the arithmetic it would get alone. */
template <int numChannels, typename T>
void RunMeanSquares (const T* const* inputs, float* meanSquares, const float* feedbacks,
                     const float* coefficients, size_t n) noexcept
{
    float state[numChannels];
    float fb[numChannels];
    float c[numChannels];
    const T* x[numChannels];

    for (int k = 0; k < numChannels; ++k)
    {
        state[k] = meanSquares[k];
        fb[k] = feedbacks[k];
        c[k] = coefficients[k];
        x[k] = inputs[k];
    }

    for (size_t t = 0; t < n; ++t)
        for (int k = 0; k < numChannels; ++k)
            state[k] = state[k] * fb[k] + SquareForMeanSquare (x[k][t]) * c[k];

    for (int k = 0; k < numChannels; ++k)
        meanSquares[k] = state[k];
}

/** The same for 8 x numGroups channels (numGroups 1 to 4), eight recursions in the
    lanes of one vector: four samples of each channel are squared together and
    transposed so that each step of the recursion is one vector operation, and the
    groups' vectors run interleaved so that no step waits for the one before it.
    The result equals RunMeanSquares to the bit. */
void RunMeanSquaresInGroupsOfEight (const float* const* inputs, float* meanSquares, const float* feedbacks,
                                    const float* coefficients, size_t n, int numGroups) noexcept;
void RunMeanSquaresInGroupsOfEight (const double* const* inputs, float* meanSquares, const float* feedbacks,
                                    const float* coefficients, size_t n, int numGroups) noexcept;

} // namespace kul
