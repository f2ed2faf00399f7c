#include "dsp/MeanSquareKernels.h"

#include <cstring>

// Compiled for AVX2 and for the baseline instruction set, the loader picking the
// one the processor runs. The loader's choice runs before ThreadSanitizer's
// runtime is ready, so that build keeps the baseline alone. AVX2 brings no fused
// multiply-add, so both copies round exactly as the scalar recursion does.
#if defined(__x86_64__) && defined(__GNUC__) && ! defined(__SANITIZE_THREAD__)
 #define MEAN_SQUARE_ENTRY_POINT __attribute__ ((target_clones ("avx2", "default"), flatten))
#else
 #define MEAN_SQUARE_ENTRY_POINT __attribute__ ((flatten))
#endif

namespace kul
{
namespace
{
using Float8 = float __attribute__ ((vector_size (32)));
using Float4 = float __attribute__ ((vector_size (16)));
using Double4 = double __attribute__ ((vector_size (32)));

inline Float4 squaresOfFour (const float* x) noexcept
{
    Float4 v;
    std::memcpy (&v, x, sizeof (v));
    return v * v;
}

inline Float4 squaresOfFour (const double* x) noexcept
{
    Double4 v;
    std::memcpy (&v, x, sizeof (v));
    return __builtin_convertvector (v * v, Float4);
}

// Row k holds channel k's four squares; the result's step j holds every channel's square j.
inline void transposeEightByFour (const Float4* q, Float8* steps) noexcept
{
    const Float8 r0 = __builtin_shufflevector (q[0], q[4], 0, 1, 2, 3, 4, 5, 6, 7);
    const Float8 r1 = __builtin_shufflevector (q[1], q[5], 0, 1, 2, 3, 4, 5, 6, 7);
    const Float8 r2 = __builtin_shufflevector (q[2], q[6], 0, 1, 2, 3, 4, 5, 6, 7);
    const Float8 r3 = __builtin_shufflevector (q[3], q[7], 0, 1, 2, 3, 4, 5, 6, 7);

    const Float8 a01 = __builtin_shufflevector (r0, r1, 0, 8, 1, 9, 4, 12, 5, 13);
    const Float8 a23 = __builtin_shufflevector (r2, r3, 0, 8, 1, 9, 4, 12, 5, 13);
    const Float8 b01 = __builtin_shufflevector (r0, r1, 2, 10, 3, 11, 6, 14, 7, 15);
    const Float8 b23 = __builtin_shufflevector (r2, r3, 2, 10, 3, 11, 6, 14, 7, 15);

    steps[0] = __builtin_shufflevector (a01, a23, 0, 1, 8, 9, 4, 5, 12, 13);
    steps[1] = __builtin_shufflevector (a01, a23, 2, 3, 10, 11, 6, 7, 14, 15);
    steps[2] = __builtin_shufflevector (b01, b23, 0, 1, 8, 9, 4, 5, 12, 13);
    steps[3] = __builtin_shufflevector (b01, b23, 2, 3, 10, 11, 6, 7, 14, 15);
}

template <int numGroups, typename T>
inline void runGroups (const T* const* x, float* meanSquares, const float* feedbacks,
                       const float* coefficients, size_t n) noexcept
{
    Float8 state[numGroups], fb[numGroups], c[numGroups];
    std::memcpy (state, meanSquares, sizeof (state));
    std::memcpy (fb, feedbacks, sizeof (fb));
    std::memcpy (c, coefficients, sizeof (c));

    size_t t = 0;

    for (; t + 4 <= n; t += 4)
    {
        // Unrolled in full, so that the states stay in registers.
        Float8 steps[numGroups][4];

#pragma GCC unroll 4
        for (int g = 0; g < numGroups; ++g)
        {
            Float4 q[8];
#pragma GCC unroll 8
            for (int k = 0; k < 8; ++k)
                q[k] = squaresOfFour (x[8 * g + k] + t);

            transposeEightByFour (q, steps[g]);
        }

#pragma GCC unroll 4
        for (int j = 0; j < 4; ++j)
#pragma GCC unroll 4
            for (int g = 0; g < numGroups; ++g)
                state[g] = state[g] * fb[g] + steps[g][j] * c[g];
    }

    float s[8 * numGroups];
    std::memcpy (s, state, sizeof (s));

    for (; t < n; ++t)
        for (int k = 0; k < 8 * numGroups; ++k)
            s[k] = s[k] * feedbacks[k] + SquareForMeanSquare (x[k][t]) * coefficients[k];

    std::memcpy (meanSquares, s, sizeof (s));
}

template <typename T>
inline void runInGroups (const T* const* x, float* meanSquares, const float* feedbacks,
                         const float* coefficients, size_t n, int numGroups) noexcept
{
    switch (numGroups)
    {
        case 4: runGroups<4> (x, meanSquares, feedbacks, coefficients, n); break;
        case 3: runGroups<3> (x, meanSquares, feedbacks, coefficients, n); break;
        case 2: runGroups<2> (x, meanSquares, feedbacks, coefficients, n); break;
        case 1: runGroups<1> (x, meanSquares, feedbacks, coefficients, n); break;
        default: break;
    }
}
} // namespace

MEAN_SQUARE_ENTRY_POINT void RunMeanSquaresInGroupsOfEight (const float* const* inputs, float* meanSquares,
                                                            const float* feedbacks, const float* coefficients,
                                                            size_t n, int numGroups) noexcept
{
    runInGroups (inputs, meanSquares, feedbacks, coefficients, n, numGroups);
}

MEAN_SQUARE_ENTRY_POINT void RunMeanSquaresInGroupsOfEight (const double* const* inputs, float* meanSquares,
                                                            const float* feedbacks, const float* coefficients,
                                                            size_t n, int numGroups) noexcept
{
    runInGroups (inputs, meanSquares, feedbacks, coefficients, n, numGroups);
}

} // namespace kul
