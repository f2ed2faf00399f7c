#include "accelerate/Accelerate.h"

#include <cmath>
#include <cstddef>

// Each entry point is compiled twice, for AVX2 and for the baseline instruction
// set, and the loader picks the one the processor runs (as the platform library
// does); everything it calls is inlined into it, so that both copies are
// vectorised for their own instruction set. The sanitizer runtimes are not yet
// running when the loader calls the selectors, so sanitizer builds keep one copy.
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__)) \
    && ! defined(__SANITIZE_THREAD__) && ! defined(__SANITIZE_ADDRESS__)
 #define VECTOR_ENTRY_POINT __attribute__ ((target_clones ("avx2", "default"), flatten))
#else
 #define VECTOR_ENTRY_POINT __attribute__ ((flatten))
#endif

namespace
{

// The unit-stride loops below are written so that g++ vectorises them at -O2
// (whose cost model takes only loops that need neither run-time alias checks nor
// a scalar remainder) as well as at -O3, and without -ffast-math: each runs over
// whole blocks of a fixed number of elements, through restrict-qualified pointers
// when source and destination differ, with a scalar loop for the remainder. The
// one reduction keeps a fixed set of independent lanes combined at the end.
// The block loops are kept from being unrolled before they are vectorised:
// unrolled early (as -O3 would), an in-place block is left scalar.

template <typename T>
constexpr vDSP_Length blockSize = 64 / sizeof (T);

template <typename T, typename Body>
[[gnu::always_inline]] inline void forEachInBlocks (vDSP_Length n, Body&& body)
{
    constexpr vDSP_Length block = blockSize<T>;
    vDSP_Length i = 0;

    for (; i + block <= n; i += block)
    {
#pragma GCC unroll 1
        for (vDSP_Length k = 0; k < block; ++k)
            body (i + k);
    }

    for (; i < n; ++i)
        body (i);
}

template <typename T>
void scaleApart (const T* __restrict a, T b, T* __restrict c, vDSP_Length n) noexcept
{
    forEachInBlocks<T> (n, [=] (vDSP_Length i) { c[i] = a[i] * b; });
}

template <typename T>
void scaleInPlace (T* __restrict c, T b, vDSP_Length n) noexcept
{
    forEachInBlocks<T> (n, [=] (vDSP_Length i) { c[i] = c[i] * b; });
}

template <typename T>
void scale (const T* a, vDSP_Stride ia, T b, T* c, vDSP_Stride ic, vDSP_Length n) noexcept
{
    if (ia == 1 && ic == 1)
    {
        if (a == c)
            scaleInPlace (c, b, n);
        else
            scaleApart (a, b, c, n);
        return;
    }

    for (vDSP_Length i = 0; i < n; ++i)
        c[(vDSP_Stride) i * ic] = a[(vDSP_Stride) i * ia] * b;
}

template <typename T>
void negateApart (const T* __restrict a, T* __restrict c, vDSP_Length n) noexcept
{
    forEachInBlocks<T> (n, [=] (vDSP_Length i) { c[i] = -a[i]; });
}

template <typename T>
void negateInPlace (T* __restrict c, vDSP_Length n) noexcept
{
    forEachInBlocks<T> (n, [=] (vDSP_Length i) { c[i] = -c[i]; });
}

template <typename T>
void negate (const T* a, vDSP_Stride ia, T* c, vDSP_Stride ic, vDSP_Length n) noexcept
{
    if (ia == 1 && ic == 1)
    {
        if (a == c)
            negateInPlace (c, n);
        else
            negateApart (a, c, n);
        return;
    }

    for (vDSP_Length i = 0; i < n; ++i)
        c[(vDSP_Stride) i * ic] = -a[(vDSP_Stride) i * ia];
}

template <typename T>
void fill (T value, T* c, vDSP_Stride ic, vDSP_Length n) noexcept
{
    if (ic == 1)
    {
        forEachInBlocks<T> (n, [=] (vDSP_Length i) { c[i] = value; });
        return;
    }

    for (vDSP_Length i = 0; i < n; ++i)
        c[(vDSP_Stride) i * ic] = value;
}

// The larger of two magnitudes, in the operand order of the processor's max
// instruction (which returns the second operand unless the first is greater).
// A NaN candidate compares false and is passed over.
template <typename T>
inline T larger (T held, T candidate) noexcept
{
    return candidate > held ? candidate : held;
}

template <typename T>
T maxMagnitude (const T* a, vDSP_Stride ia, vDSP_Length n) noexcept
{
    T result = 0;
    vDSP_Length i = 0;

    if (ia == 1)
    {
        // Four accumulators of one 16-byte vector each, so that successive max
        // instructions do not wait for each other. The inner loops must not be
        // unrolled before they are vectorised: unrolled, the lanes become
        // scalars whose max is not a reduction the vectoriser takes without
        // -ffast-math.
        constexpr vDSP_Length width = 16 / sizeof (T);
        T lanes0[width] = {}, lanes1[width] = {}, lanes2[width] = {}, lanes3[width] = {};

        for (; i + 4 * width <= n; i += 4 * width)
        {
#pragma GCC unroll 1
            for (vDSP_Length k = 0; k < width; ++k)
            {
                lanes0[k] = larger (lanes0[k], std::fabs (a[i + k]));
                lanes1[k] = larger (lanes1[k], std::fabs (a[i + width + k]));
                lanes2[k] = larger (lanes2[k], std::fabs (a[i + 2 * width + k]));
                lanes3[k] = larger (lanes3[k], std::fabs (a[i + 3 * width + k]));
            }
        }

#pragma GCC unroll 1
        for (vDSP_Length k = 0; k < width; ++k)
            lanes0[k] = larger (larger (lanes0[k], lanes1[k]), larger (lanes2[k], lanes3[k]));

        for (vDSP_Length k = 0; k < width; ++k)
            result = larger (result, lanes0[k]);
    }

    // Magnitudes are never below 0, so starting at 0 gives 0 for an empty block.
    for (; i < n; ++i)
        result = larger (result, std::fabs (a[(vDSP_Stride) i * ia]));

    return result;
}

// The gain of element i is start + i x step. In spans of up to eight blocks,
// the gains of a span's first block are computed from the start value and each
// later block adds the step of one block to them (seven additions at most, so
// the gains stay within a few units in the last place of the line, and long
// ramps do not drift). The indexes convert through a signed integer, which
// gives the same value as the unsigned conversion for any real count in one
// instruction where the unsigned one takes a branch.
template <typename T>
struct BlockOffsets
{
    T values[blockSize<T>];

    constexpr BlockOffsets()
        : values()
    {
        for (vDSP_Length k = 0; k < blockSize<T>; ++k)
            values[k] = (T) k;
    }
};

template <typename T>
constexpr BlockOffsets<T> blockOffsets;

template <typename T>
inline T indexToValue (vDSP_Length i) noexcept
{
    return (T) (long) i;
}

template <typename T, typename In>
[[gnu::always_inline]] inline void rampBlocks (In in, T* out, T first, T step, vDSP_Length n)
{
    constexpr vDSP_Length block = blockSize<T>;
    constexpr vDSP_Length span = 8 * block;
    T offsets[block];

    for (vDSP_Length k = 0; k < block; ++k)
        offsets[k] = blockOffsets<T>.values[k] * step;

    const T blockStep = (T) block * step;
    vDSP_Length i = 0;

    while (i + block <= n)
    {
        const vDSP_Length wholeBlocks = (n - i) / block * block;
        const vDSP_Length spanEnd = i + (wholeBlocks < span ? wholeBlocks : span);
        const T spanGain = first + indexToValue<T> (i) * step;
        T gains[block];

#pragma GCC unroll 1
        for (vDSP_Length k = 0; k < block; ++k)
            gains[k] = spanGain + offsets[k];

        for (; i < spanEnd; i += block)
        {
#pragma GCC unroll 1
            for (vDSP_Length k = 0; k < block; ++k)
            {
                out[i + k] = in[i + k] * gains[k];
                gains[k] += blockStep;
            }
        }
    }

    for (; i < n; ++i)
        out[i] = in[i] * (first + indexToValue<T> (i) * step);
}

template <typename T>
void rampApart (const T* __restrict in, T* __restrict out, T first, T step, vDSP_Length n) noexcept
{
    rampBlocks (in, out, first, step, n);
}

template <typename T>
void rampInPlace (T* __restrict inOut, T first, T step, vDSP_Length n) noexcept
{
    rampBlocks (inOut, inOut, first, step, n);
}

template <typename T>
void rampMultiply (const T* in, vDSP_Stride is, T* start, const T* stepPointer,
                   T* out, vDSP_Stride os, vDSP_Length n) noexcept
{
    const T first = *start;
    const T step = *stepPointer;

    if (is == 1 && os == 1)
    {
        if (in == out)
            rampInPlace (out, first, step, n);
        else
            rampApart (in, out, first, step, n);
    }
    else
    {
        for (vDSP_Length i = 0; i < n; ++i)
            out[(vDSP_Stride) i * os] = in[(vDSP_Stride) i * is] * (first + indexToValue<T> (i) * step);
    }

    *start = first + indexToValue<T> (n) * step;
}

template <typename T>
void multiplyApart (const T* __restrict a, const T* __restrict b, T* __restrict c, vDSP_Length n) noexcept
{
    forEachInBlocks<T> (n, [=] (vDSP_Length i) { c[i] = a[i] * b[i]; });
}

template <typename T>
void multiplyInto (T* __restrict c, const T* __restrict other, vDSP_Length n) noexcept
{
    forEachInBlocks<T> (n, [=] (vDSP_Length i) { c[i] = c[i] * other[i]; });
}

// c is one of the inputs; the other may be c as well.
template <typename T>
void multiplyInPlace (T* c, const T* other, vDSP_Length n) noexcept
{
    if (other == c)
        forEachInBlocks<T> (n, [=] (vDSP_Length i) { c[i] = c[i] * c[i]; });
    else
        multiplyInto (c, other, n);
}

template <typename T>
void multiply (const T* a, vDSP_Stride ia, const T* b, vDSP_Stride ib, T* c, vDSP_Stride ic, vDSP_Length n) noexcept
{
    if (ia == 1 && ib == 1 && ic == 1)
    {
        if (c == a)
            multiplyInPlace (c, b, n);
        else if (c == b)
            multiplyInPlace (c, a, n);
        else
            multiplyApart (a, b, c, n);
        return;
    }

    for (vDSP_Length i = 0; i < n; ++i)
        c[(vDSP_Stride) i * ic] = a[(vDSP_Stride) i * ia] * b[(vDSP_Stride) i * ib];
}

} // namespace

extern "C"
{

VECTOR_ENTRY_POINT void vDSP_vsmul (const float* A, vDSP_Stride IA, const float* B, float* C, vDSP_Stride IC, vDSP_Length N) noexcept
{
    scale (A, IA, *B, C, IC, N);
}

VECTOR_ENTRY_POINT void vDSP_vsmulD (const double* A, vDSP_Stride IA, const double* B, double* C, vDSP_Stride IC, vDSP_Length N) noexcept
{
    scale (A, IA, *B, C, IC, N);
}

VECTOR_ENTRY_POINT void vDSP_vneg (const float* A, vDSP_Stride IA, float* C, vDSP_Stride IC, vDSP_Length N) noexcept
{
    negate (A, IA, C, IC, N);
}

VECTOR_ENTRY_POINT void vDSP_vnegD (const double* A, vDSP_Stride IA, double* C, vDSP_Stride IC, vDSP_Length N) noexcept
{
    negate (A, IA, C, IC, N);
}

VECTOR_ENTRY_POINT void vDSP_vfill (const float* A, float* C, vDSP_Stride IC, vDSP_Length N) noexcept
{
    fill (*A, C, IC, N);
}

VECTOR_ENTRY_POINT void vDSP_vfillD (const double* A, double* C, vDSP_Stride IC, vDSP_Length N) noexcept
{
    fill (*A, C, IC, N);
}

VECTOR_ENTRY_POINT void vDSP_maxmgv (const float* A, vDSP_Stride IA, float* C, vDSP_Length N) noexcept
{
    *C = maxMagnitude (A, IA, N);
}

VECTOR_ENTRY_POINT void vDSP_maxmgvD (const double* A, vDSP_Stride IA, double* C, vDSP_Length N) noexcept
{
    *C = maxMagnitude (A, IA, N);
}

VECTOR_ENTRY_POINT void vDSP_vrampmul (const float* I, vDSP_Stride IS, float* Start, const float* Step,
                    float* O, vDSP_Stride OS, vDSP_Length N) noexcept
{
    rampMultiply (I, IS, Start, Step, O, OS, N);
}

VECTOR_ENTRY_POINT void vDSP_vrampmulD (const double* I, vDSP_Stride IS, double* Start, const double* Step,
                     double* O, vDSP_Stride OS, vDSP_Length N) noexcept
{
    rampMultiply (I, IS, Start, Step, O, OS, N);
}

VECTOR_ENTRY_POINT void vDSP_vmul (const float* A, vDSP_Stride IA, const float* B, vDSP_Stride IB,
                float* C, vDSP_Stride IC, vDSP_Length N) noexcept
{
    multiply (A, IA, B, IB, C, IC, N);
}

VECTOR_ENTRY_POINT void vDSP_vmulD (const double* A, vDSP_Stride IA, const double* B, vDSP_Stride IB,
                 double* C, vDSP_Stride IC, vDSP_Length N) noexcept
{
    multiply (A, IA, B, IB, C, IC, N);
}

} // extern "C"
