#include "dsp/GainKernels.h"
#include "math/VectorOperations.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

namespace
{
template <typename T>
std::vector<T> noise (size_t n, unsigned int seed)
{
    std::mt19937 random (seed);
    std::uniform_real_distribution<double> values (-2.0, 2.0);
    std::vector<T> block (n);
    for (auto& x : block)
        x = static_cast<T> (values (random));
    return block;
}

template <typename T>
class GainKernels : public ::testing::Test
{
};

using SampleTypes = ::testing::Types<float, double>;
TYPED_TEST_SUITE (GainKernels, SampleTypes);
} // namespace

// Lengths around the vector widths and the four-vector steps; the gains cover a
// constant gain, the copy and negation gains, ramps and a ramp from silence.
TYPED_TEST (GainKernels, MeasuringGainPassWritesThePlainGainsAndMeasuresThePeak)
{
    using T = TypeParam;
    const std::pair<T, T> gains[] = { { 1, 1 }, { -1, -1 }, { T (0.3), T (0.3) }, { 1, T (0.5) }, { 0, T (1.9) } };

    for (const size_t n : { 1u, 2u, 3u, 7u, 8u, 15u, 16u, 17u, 31u, 32u, 33u, 63u, 64u, 65u, 512u })
        for (const auto& [start, end] : gains)
            for (const bool measureSource : { false, true })
            {
                const auto source = noise<T> (n, static_cast<unsigned int> (n));
                std::vector<T> expected (n), written (n);
                kul::ApplyGainRamp (expected.data(), source.data(), n, start, end);

                const T peak = kul::ApplyGainRampMeasuringPeak (written.data(), source.data(), n, start, end, measureSource);
                EXPECT_EQ (peak, kul::GetMaxMagnitude (measureSource ? source.data() : written.data(), n)) << n;

                // A constant gain is one multiplication per sample; ramp gains may
                // be formed in another order, so they may differ in the last bits.
                for (size_t i = 0; i < n; ++i)
                    ASSERT_NEAR (written[i], expected[i], start == end ? T (0) : std::abs (expected[i]) * 4 * std::numeric_limits<T>::epsilon())
                        << n << " " << i;

                auto inPlace = source;
                EXPECT_EQ (kul::ApplyGainRampMeasuringPeak (inPlace.data(), inPlace.data(), n, start, end, measureSource), peak);
                EXPECT_EQ (inPlace, written) << n;
            }
}

TYPED_TEST (GainKernels, PeakPassesOverNaNSamplesAndOfSilenceIsZero)
{
    using T = TypeParam;
    const T nan = std::numeric_limits<T>::quiet_NaN();

    for (const size_t at : { 0u, 5u, 40u, 99u })
    {
        auto block = noise<T> (100, 3);
        block[at] = T (0);
        const T peakOfTheOthers = kul::GetMaxMagnitude (block.data(), block.size());
        block[at] = nan;
        std::vector<T> out (100);
        EXPECT_EQ (kul::GetPeakMagnitude (block.data(), block.size()), peakOfTheOthers) << at;
        EXPECT_EQ (kul::ApplyGainRampMeasuringPeak (out.data(), block.data(), 100, T (1), T (1), true), peakOfTheOthers) << at;
        const T peakWritten = kul::ApplyGainRampMeasuringPeak (out.data(), block.data(), 100, T (1), T (0.5), false);
        EXPECT_EQ (peakWritten, kul::GetPeakMagnitude (out.data(), out.size())) << at;
    }

    std::vector<T> silence (37, T (0));
    silence[20] = T (-0.0);
    EXPECT_EQ (kul::GetPeakMagnitude (silence.data(), silence.size()), T (0));
    silence.assign (37, nan);
    EXPECT_EQ (kul::GetPeakMagnitude (silence.data(), silence.size()), T (0));
}
