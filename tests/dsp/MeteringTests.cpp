#include "dsp/MeanSquareKernels.h"
#include "dsp/Mixer.h"
#include "dsp/MultiRMSMetering.h"

#include "TestChannels.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <tuple>
#include <utility>
#include <vector>

namespace
{
void meterOneBlock (kul::MultiRMSMetering& meters, float value, size_t numSamples = 512)
{
    TestChannels<float> block (meters.GetNumMeters(), numSamples, value);
    meters.Process (block.get(), static_cast<unsigned int> (numSamples));
}

enum class Route
{
    metersAlone,
    mixerBeforeGain,
    mixerAfterGain
};

/** The level in dB after the last of the blocks, metered on the route. */
float levelAfter (Route route, const char* mode, std::vector<std::vector<double>> blocks)
{
    if (route == Route::metersAlone)
    {
        kul::MultiRMSMetering meters (1);
        meters.SetMode (mode);
        for (auto& block : blocks)
        {
            const double* channel[] = { block.data() };
            meters.Process (channel, static_cast<unsigned int> (block.size()));
        }
        const auto& meter = meters.GetMeter (0);
        return (meter.mode == kul::RMSMetering::peak ? 20.0f : 10.0f) * std::log10 (meter.value + 0.000001f);
    }

    kul::Mixer mixer (1);
    mixer.SetSampleRateAndBufferSize (64, true, 44100.0f);
    mixer.SetMeteringMode (mode);
    mixer.SetPostGainMetering (route == Route::mixerAfterGain);
    mixer.SetGain (-6.0f, true);
    for (auto& block : blocks)
    {
        double* channel[] = { block.data() };
        mixer.Process (channel, channel, static_cast<unsigned int> (block.size()));
    }
    return mixer.GetLevels()[0].load();
}
} // namespace

TEST (MultiRMSMetering, RmsOfOneBlockOfOnesFollowsTheOnePoleAndSilenceReadsZeroAtOnce)
{
    kul::MultiRMSMetering meters (1);
    meterOneBlock (meters, 1.0f);
    EXPECT_NEAR (meters.GetMeter (0).value, 0.440381f, 2e-5f);
    for (const char* mode : { "rms", "peak" })
    {
        meters.SetMode (mode);
        meterOneBlock (meters, 0.8f);
        meterOneBlock (meters, 0.0f);
        EXPECT_EQ (meters.GetMeter (0).value, 0.0f) << mode;
        EXPECT_EQ (meters.GetMeter (0).meanSquare, 0.0f) << mode;
    }
}

// Silence is looked for vectors at a time: one sounding sample in any lane, or in
// the tail, makes the block sound; negative zeros are silence.
TEST (MultiRMSMetering, OneSoundingSampleAnywhereMakesTheBlockSound)
{
    kul::MultiRMSMetering meters (2);

    for (const unsigned int n : { 16u, 37u })
        for (unsigned int at = 0; at <= n; ++at)
        {
            std::vector<float> floats (n, -0.0f);
            std::vector<double> doubles (n, -0.0);
            if (at < n)
            {
                floats[at] = -0.01f;
                doubles[at] = 0.01;
            }

            const float* floatChannels[] = { floats.data(), floats.data() };
            meters.Process (floatChannels, n);
            EXPECT_EQ (meters.GetMeter (0).meanSquare > 0.0f, at < n) << n << " " << at;

            const double* doubleChannels[] = { doubles.data(), doubles.data() };
            meters.Process (doubleChannels, n);
            EXPECT_EQ (meters.GetMeter (1).value == 0.0f, at == n) << n << " " << at;
        }
}

TEST (MultiRMSMetering, ChannelsMeteredSideBySideGetTheArithmeticOfOneChannelAlone)
{
    // 59 channels run as 32 (four vector groups), then 24 (three), 2 and 1; 203
    // samples leave a remainder after the steps of four.
    constexpr size_t numChannels = 59, numSamples = 203;
    std::mt19937 random (7);
    std::uniform_real_distribution<double> noise (-1.0, 1.0);
    TestChannels<double> block (numChannels, numSamples, 0.0);
    for (auto& channel : block.data)
        for (auto& sample : channel)
            sample = noise (random);

    kul::MultiRMSMetering all (numChannels);
    all.Process (block.get(), numSamples);
    all.Process (block.get(), numSamples);

    for (size_t c = 0; c < numChannels; ++c)
    {
        kul::MultiRMSMetering alone (1);
        const double* channel[] = { block.data[c].data() };
        alone.Process (channel, numSamples);
        alone.Process (channel, numSamples);
        EXPECT_EQ (all.GetMeter (c).value, alone.GetMeter (0).value) << c;
    }
}

TEST (MultiRMSMetering, PeakHoldRunsInFixedCyclesOfTheWindowCounter)
{
    ASSERT_EQ (kul::MultiRMSMetering (1).GetMeter (0).holdSamples, 441u);

    // A window of 441 runs out in the seventh block (counter 448); one of 448 is
    // reached exactly there and holds. A new window restarts the counter from 0,
    // whatever the block before it counted.
    const std::tuple<float, uint32_t, std::vector<float>> windows[] = {
        { 10.0f, 441u, { 0.9f, 0.9f, 0.9f, 0.9f, 0.9f, 0.9f, 0.2f, 0.2f } },
        { 10.16f, 448u, { 0.9f, 0.9f, 0.9f, 0.9f, 0.9f, 0.9f, 0.9f, 0.2f } },
    };
    for (const auto& [ms, window, expected] : windows)
    {
        kul::MultiRMSMetering meters (1);
        meters.SetMode ("peak");
        meterOneBlock (meters, 0.1f, 64);
        meters.SetPeakWindowTime (ms);
        for (size_t block = 0; block < expected.size(); ++block)
        {
            meterOneBlock (meters, block == 0 ? 0.9f : block == 3 ? -0.5f : 0.2f, 64);
            ASSERT_EQ (meters.GetMeter (0).holdSamples, window);
            EXPECT_EQ (meters.GetMeter (0).value, expected[block]) << window << " " << block;
        }
    }

    kul::MultiRMSMetering meters (1);
    meters.SetMode ("peak");

    // With 512-sample blocks every block runs past the window: the value is the block's peak.
    meterOneBlock (meters, 0.9f);
    meterOneBlock (meters, 0.3f);
    EXPECT_EQ (meters.GetMeter (0).value, 0.3f);
}

TEST (MultiRMSMetering, ModeNamesAreLookedUpWithoutBeingAddedAndEveryChangeBeforeABlockRestartsTheMeters)
{
    kul::MultiRMSMetering named (1);
    const std::pair<const char*, kul::RMSMetering::Mode> names[] = {
        { "PEAK", kul::RMSMetering::peak }, { "loudness", kul::RMSMetering::rms }, { "Peak", kul::RMSMetering::peak }, { "", kul::RMSMetering::rms }
    };
    for (const auto& [name, mode] : names)
    {
        named.SetMode (name);
        meterOneBlock (named, 0.5f);
        EXPECT_EQ (named.GetMeter (0).mode, mode) << name;
    }

    EXPECT_EQ (kul::RMSMetering::GetModeNames().Size(), 2u);
    EXPECT_EQ (kul::MultiRMSMetering::GetMeterModeNames (" "), "peak rms");

    // However many changes come between two blocks, each of them starts the meters again.
    struct Case { std::vector<const char*> names; bool restarts; };
    const Case cases[] = {
        { { "peak", "rms" }, true },  { { "peak", "RMS", "PEAK", "rms" }, true }, { { "peak" }, true },
        { { "rms" }, false },         { { "loudness", "rms" }, false },         { {}, false },
    };
    for (const auto& c : cases)
    {
        const char* finalMode = c.names.empty() ? "rms" : c.names.back();
        kul::MultiRMSMetering meters (1), fresh (1), untouched (1);
        meterOneBlock (meters, 1.0f);
        meterOneBlock (untouched, 1.0f);
        for (const char* name : c.names)
            meters.SetMode (name);
        fresh.SetMode (finalMode);

        for (auto* m : { &meters, &fresh, &untouched })
            meterOneBlock (*m, 0.5f);
        EXPECT_EQ (meters.GetMeter (0).value, (c.restarts ? fresh : untouched).GetMeter (0).value) << &c - cases;

        // The mixer hands its mode to the same meters.
        kul::Mixer mixer (1), freshMixer (1);
        TestChannels<double> ones (1, 512, 1.0), halves (1, 512, 0.5);
        mixer.Process (ones.get(), ones.get(), 512);
        for (const char* name : c.names)
            mixer.SetMeteringMode (name);
        freshMixer.SetMeteringMode (finalMode);
        mixer.Process (halves.get(), halves.get(), 512);
        freshMixer.Process (halves.get(), halves.get(), 512);
        EXPECT_EQ (mixer.GetLevels()[0].load() == freshMixer.GetLevels()[0].load(), c.restarts) << &c - cases;
    }
}

TEST (MultiRMSMetering, RateChangeKeepsTheWindowAndTheAveragingTimeInMillisecondsAndKeepsTheState)
{
    kul::MultiRMSMetering meters (1);
    meterOneBlock (meters, 1.0f);
    const float meanSquare = meters.GetMeter (0).meanSquare;

    meters.SetSampleRate (96000.0f);
    EXPECT_EQ (meters.GetMeter (0).holdSamples, 960u);
    EXPECT_EQ (meters.GetMeter (0).meanSquare, meanSquare);

    // A step from silence to 0.5 reads, after t ms, what the one-pole of the averaging
    // time gives at t, whatever the rate: the recursion run with the record's own weights.
    for (const float rate : { 44100.0f, 96000.0f, 192000.0f })
        for (const float averagingTime : { 5.0f, 20.0f, 500.0f })
        {
            kul::RMSMetering meter;
            meter.averagingTime = averagingTime;
            meter.SetSampleRate (rate);
            const auto n = static_cast<size_t> (rate * averagingTime * 0.001f);
            const std::vector<float> step (n, 0.5f);
            const float* channel[] = { step.data() };
            float stepMeanSquare = 0.0f;
            kul::RunMeanSquares<1> (channel, &stepMeanSquare, &meter.feedback, &meter.coefficient, n);
            const double expected = 0.25 * -std::expm1 (-double (n) / (rate * averagingTime * 0.001));
            EXPECT_NEAR (10.0 * std::log10 (stepMeanSquare), 10.0 * std::log10 (expected), 0.01) << rate << " Hz, " << averagingTime << " ms";
        }

    meters.SetSampleRate (0.0f);
    EXPECT_EQ (meters.GetMeter (0).sampleRate, 96000.0f);

    // A window set before the change keeps its length.
    meters.SetPeakWindowTime (1.0f);
    meters.SetSampleRate (48000.0f);
    EXPECT_EQ (meters.GetMeter (0).holdSamples, 48u);
}

// One rule on every route: a NaN sample is left out, so the level is that of the
// block without it, and a block of zeros and NaNs is silent.
TEST (Metering, NaNSamplesAreLeftOutOfTheLevelOnEveryRoute)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    std::mt19937 random (11);
    std::uniform_real_distribution<double> noise (-1.0, 1.0);
    std::vector<double> signal (64);
    for (auto& sample : signal)
        sample = noise (random);

    const std::vector<double> before (64, 0.25);
    std::vector<std::vector<double>> blocks (4, signal);
    blocks[0][10] = nan;
    blocks[1].front() = blocks[1].back() = nan;
    blocks[2].assign (64, 0.0);
    blocks[2][3] = blocks[2][40] = nan;
    blocks[3].assign (64, nan);

    for (const char* mode : { "peak", "rms" })
        for (const auto route : { Route::metersAlone, Route::mixerBeforeGain, Route::mixerAfterGain })
            for (size_t b = 0; b < blocks.size(); ++b)
            {
                std::vector<double> numbers;
                for (const double sample : blocks[b])
                    if (! std::isnan (sample))
                        numbers.push_back (sample);

                const float level = levelAfter (route, mode, { before, blocks[b] });
                EXPECT_TRUE (std::isfinite (level)) << mode << " route " << int (route) << " block " << b;
                EXPECT_EQ (level, levelAfter (route, mode, { before, numbers })) << mode << " route " << int (route) << " block " << b;
            }
}

TEST (MultiRMSMetering, NonFiniteInputDoesNotPoisonTheStateAndUnconnectedChannelsReadZero)
{
    for (const char* mode : { "rms", "peak" })
        for (const float bad : { std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity() })
        {
            kul::MultiRMSMetering meters (2);
            const short counts[] = { 1, 0 };
            meters.SetConnections (counts);
            meters.SetMode (mode);
            TestChannels<float> block (2, 64, 0.5f);
            block.data[0][10] = bad;
            meters.Process (block.get(), 64);
            EXPECT_TRUE (std::isfinite (meters.GetMeter (0).value)) << mode;
            EXPECT_TRUE (std::isfinite (meters.GetMeter (0).meanSquare)) << mode;
            // An infinite sample is an overload, not silence.
            // An infinite sample is an overload, not silence.
            EXPECT_EQ (meters.GetMeter (0).value == kul::RMSMetering::overloadLevel, std::isinf (bad)) << mode;

            meterOneBlock (meters, 0.5f, 1024);
            EXPECT_LT (meters.GetMeter (0).value, 1.0f) << mode;
            EXPECT_GT (meters.GetMeter (0).value, 0.0f) << mode;
            EXPECT_EQ (meters.GetMeter (1).value, 0.0f) << mode;
        }
}
