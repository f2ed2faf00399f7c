#include "accelerate/Accelerate.h"
#include "math/VectorOperations.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <type_traits>
#include <vector>

#if defined(__SSE__)
 #include <xmmintrin.h>
#endif

namespace
{
template <typename T>
class VectorOperations : public ::testing::Test
{
};

using ElementTypes = ::testing::Types<float, double>;
TYPED_TEST_SUITE (VectorOperations, ElementTypes);

// Lengths around the block sizes of the vectorised loops (4 and 16 floats,
// 2 and 8 doubles), so that whole blocks and every remainder are exercised.
const std::vector<size_t> lengths { 0, 1, 2, 3, 4, 5, 7, 8, 9, 15, 16, 17, 31, 32, 33, 63, 64, 65, 100 };

template <typename T>
std::vector<T> sampleBlock (size_t n)
{
    std::vector<T> block (n);
    for (size_t i = 0; i < n; ++i)
        block[i] = static_cast<T> ((i % 2 == 0 ? 1 : -1) * (0.25 + 0.01 * (double) i));
    return block;
}
} // namespace

TYPED_TEST (VectorOperations, ScaleFillAndMultiplyCoverEveryElementAndNoMoreAndScaleTakesEverySpecialGain)
{
    using T = TypeParam;
    for (const T gain : { T (1), T (0), T (-1), T (2.5) })
    {
        for (const size_t n : lengths)
        {
            const auto source = sampleBlock<T> (n);
            std::vector<T> apart (n + 1, T (99));
            std::vector<T> inPlace = source;
            kul::ScaleVector (apart.data(), source.data(), n, gain);
            kul::ScaleVector (inPlace.data(), inPlace.data(), n, gain);
            for (size_t i = 0; i < n; ++i)
            {
                EXPECT_EQ (apart[i], source[i] * gain) << "gain " << gain << " n " << n << " i " << i;
                EXPECT_EQ (inPlace[i], source[i] * gain) << "gain " << gain << " n " << n << " i " << i;
            }
            EXPECT_EQ (apart[n], T (99)) << "wrote past the block, gain " << gain << " n " << n;
        }
    }
    for (const size_t n : lengths)
    {
        std::vector<T> filled (n + 1, T (7));
        kul::FillVector (filled.data(), n, T (-0.5));
        EXPECT_EQ (std::count (filled.begin(), filled.end(), T (-0.5)), static_cast<long> (n));
        EXPECT_EQ (filled[n], T (7));
        const auto factors = sampleBlock<T> (n);
        auto product = sampleBlock<T> (n);
        kul::MultiplyVectors (product.data(), factors.data(), n);
        for (size_t i = 0; i < n; ++i)
            EXPECT_EQ (product[i], factors[i] * factors[i]);
    }

    // Zero clears infinities and NaNs; one in place leaves every bit as it was.
    const std::vector<T> special { std::numeric_limits<T>::infinity(), std::numeric_limits<T>::quiet_NaN(), T (-0.0) };
    auto block = special;
    kul::ScaleVector (block.data(), block.data(), block.size(), T (1));
    EXPECT_EQ (std::memcmp (block.data(), special.data(), block.size() * sizeof (T)), 0);
    kul::ScaleVector (block.data(), block.data(), block.size(), T (0));
    EXPECT_EQ (block, std::vector<T> (3, T (0)));
}

TYPED_TEST (VectorOperations, MaxMagnitudeFindsTheLargestAbsoluteValueWhereverItIsPassingOverNaNs)
{
    using T = TypeParam;
    EXPECT_EQ (kul::GetMaxMagnitude (static_cast<const T*> (nullptr), 0), T (0));
    for (const size_t n : lengths)
        for (size_t peakAt = 0; peakAt < n; ++peakAt)
            for (const T peak : { T (5), T (-5) })
            {
                auto block = sampleBlock<T> (n);
                block[peakAt] = peak;
                EXPECT_EQ (kul::GetMaxMagnitude (block.data(), n), T (5)) << "n " << n << " at " << peakAt;
            }
    auto block = sampleBlock<T> (50);
    block[3] = block[49] = std::numeric_limits<T>::quiet_NaN();
    block[40] = T (-9);
    EXPECT_EQ (kul::GetMaxMagnitude (block.data(), block.size()), T (9));
}

TYPED_TEST (VectorOperations, GainRampRunsFromTheStartGainToTheEndGainAtAnyLengthApartAndInPlace)
{
    using T = TypeParam;
    const std::vector<T> ones (100003, T (1));
    std::vector<T> ramp (5);
    kul::ApplyGainRamp (ramp.data(), ones.data(), 5, T (0), T (1));
    EXPECT_EQ (ramp, (std::vector<T> { T (0), T (0.25), T (0.5), T (0.75), T (1) }));

    // One sample takes the end gain; equal gains scale; nothing is touched for none.
    kul::ApplyGainRamp (ramp.data(), ones.data(), 1, T (0.25), T (0.5));
    kul::ApplyGainRamp (ramp.data() + 1, ones.data(), 1, T (0.5), T (0.5));
    kul::ApplyGainRamp (static_cast<T*> (nullptr), static_cast<const T*> (nullptr), 0, T (0), T (1));
    EXPECT_EQ (ramp[0], T (0.5));
    EXPECT_EQ (ramp[1], T (0.5));

    // A long ramp stays on the line to its end.
    ramp.resize (ones.size());
    kul::ApplyGainRamp (ramp.data(), ones.data(), ones.size(), T (0), T (1));
    double worst = 0;
    for (size_t i = 0; i < ramp.size(); ++i)
        worst = std::max (worst, std::abs ((double) ramp[i] - (double) i / (double) (ramp.size() - 1)));
    EXPECT_LT (worst, 8 * (double) std::numeric_limits<T>::epsilon());
    EXPECT_EQ (ramp[0], T (0));
    EXPECT_NEAR (ramp.back(), T (1), 2 * std::numeric_limits<T>::epsilon());

    // Any length follows the line, apart and in place, and writes nothing past the block.
    const T tolerance = std::is_same_v<T, float> ? T (1e-6) : T (1e-14);
    for (size_t n : lengths)
    {
        if (n < 2)
            continue;
        const auto source = sampleBlock<T> (n);
        std::vector<T> apart (n + 1, T (99));
        auto inPlace = source;
        kul::ApplyGainRamp (apart.data(), source.data(), n, T (1), T (-0.5));
        kul::ApplyGainRamp (inPlace.data(), inPlace.data(), n, T (1), T (-0.5));
        for (size_t i = 0; i < n; ++i)
        {
            EXPECT_NEAR (apart[i], source[i] * (1.0 - 1.5 * (double) i / (double) (n - 1)), tolerance) << n << " " << i;
            EXPECT_EQ (inPlace[i], apart[i]) << "n " << n << " i " << i;
        }
        EXPECT_EQ (apart[0], source[0]);
        EXPECT_EQ (apart[n], T (99));
    }
}

TEST (VectorLibraryStandIn, RampCarriesOnAcrossCallsAndStridedCallsTouchOnlyTheirElements)
{
    const std::vector<float> ones (10, 1.0f);
    std::vector<float> out (10);
    float start = 0.5f;
    const float step = 0.25f;
    vDSP_vrampmul (ones.data(), 1, &start, &step, out.data(), 1, 10);
    vDSP_vrampmul (ones.data(), 1, &start, &step, out.data(), 1, 1);
    EXPECT_EQ (out[0], 0.5f + 10 * 0.25f);
    EXPECT_EQ (out[9], 0.5f + 9 * 0.25f);
    std::vector<double> data { 1, -10, 2, -20, 3, -30 };
    double peak = 0;
    const double gain = 2;
    vDSP_maxmgvD (data.data(), 2, &peak, 3);
    vDSP_vsmulD (data.data(), 2, &gain, data.data() + 1, 2, 3);
    EXPECT_EQ (data, (std::vector<double> { 1, 2, 2, 4, 3, 6 }));
    vDSP_vnegD (data.data() + 4, -2, data.data() + 5, -2, 3);
    EXPECT_EQ (data, (std::vector<double> { 1, -1, 2, -2, 3, -3 }));
    EXPECT_EQ (peak, 3.0);
}

#if defined(__SSE__)
TEST (Denormals, DisablingThemFlushesTinyProductsToZeroOnThisThread)
{
    const unsigned int saved = _mm_getcsr();
    volatile float tiny = std::numeric_limits<float>::min();
    volatile float half = 0.5f;
    _mm_setcsr (saved & ~0x8040u);
    EXPECT_GT (tiny * half, 0.0f);
    kul::DisableDenormals();
    EXPECT_EQ (_mm_getcsr() & 0x8040u, 0x8040u);
    EXPECT_EQ (tiny * half, 0.0f);
    _mm_setcsr (saved);
}
#endif
