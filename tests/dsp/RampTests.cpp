#include "dsp/Ramp.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace
{
void expectResting (const kul::Ramp& ramp, float value)
{
    EXPECT_EQ (ramp.current, value);
    EXPECT_EQ (ramp.target, value);
    EXPECT_EQ (ramp.start, value);
    EXPECT_EQ (ramp.remaining, 0u);
    EXPECT_EQ (ramp.total, 0u);
    EXPECT_EQ (ramp.increment, 0.0f);
}
} // namespace

TEST (Ramp, JumpsWhereverNoSampleCountCanBeRampedOver)
{
    constexpr float nan = std::numeric_limits<float>::quiet_NaN();

    struct Case
    {
        float rampTime;
        bool immediately;
        float expectedRampTime;
    };

    // 0.01 ms lasts 0.441 samples: it rounds to none and must not divide by 0.
    for (const auto& c : { Case { 30.0f, true, 30.0f }, Case { 0.0f, false, 0.0f }, Case { -5.0f, false, 0.0f },
                           Case { nan, false, 0.0f }, Case { 0.01f, false, 0.01f } })
    {
        kul::Ramp ramp;
        ramp.SetRampTime (c.rampTime);
        ramp.SetTarget (0.25f, c.immediately);
        expectResting (ramp, 0.25f);
        EXPECT_EQ (ramp.rampTime, c.expectedRampTime);
    }

    kul::Ramp withTime;
    withTime.SetTargetWithTime (2.0f, -5.0f);
    expectResting (withTime, 2.0f);
    EXPECT_EQ (withTime.rampTime, 0.0f);
}

TEST (Ramp, RampOf882SamplesEndsExactlyOnTargetInTheSecondBlock)
{
    kul::Ramp ramp;
    ramp.SetRampTime (20.0f);
    ramp.SetTarget (1.0f, false);
    EXPECT_EQ (ramp.total, 882u);
    EXPECT_EQ (ramp.remaining, 882u);
    EXPECT_FLOAT_EQ (ramp.increment, 1.0f / 882.0f);

    EXPECT_EQ (ramp.Advance (512), 0.0f);
    EXPECT_EQ (ramp.remaining, 370u);
    EXPECT_NEAR (ramp.current, 512.0f / 882.0f, 1e-6f);

    ramp.Advance (512);
    EXPECT_EQ (ramp.remaining, 0u);
    EXPECT_EQ (ramp.current, 1.0f);
    EXPECT_FALSE (ramp.IsRamping());

    ramp.Advance (512);
    EXPECT_EQ (ramp.current, 1.0f);
}

TEST (Ramp, NewTargetWhileRampingStartsAWholeRampFromThePresentValue)
{
    kul::Ramp ramp;
    ramp.SetTargetWithTime (1.0f, 10.0f);
    ramp.Advance (100);
    const float reached = ramp.current;

    ramp.SetTarget (-1.0f, false);
    EXPECT_EQ (ramp.start, reached);
    EXPECT_EQ (ramp.remaining, 441u);
    EXPECT_FLOAT_EQ (ramp.increment, (-1.0f - reached) / 441.0f);
}

TEST (Ramp, RateChangeKeepsTheRemainingDurationAndTheEnd)
{
    kul::Ramp ramp;
    ramp.SetTargetWithTime (1.0f, 20.0f);
    ramp.Advance (441);

    ramp.SetSampleRate (88200.0f);
    EXPECT_EQ (ramp.total, 1764u);
    EXPECT_EQ (ramp.remaining, 882u);

    ramp.Advance (1000);
    EXPECT_EQ (ramp.current, 1.0f);

    // A finished ramp stays finished.
    ramp.SetSampleRate (44100.0f);
    EXPECT_EQ (ramp.remaining, 0u);
    EXPECT_EQ (ramp.current, 1.0f);
}

TEST (Ramp, RateChangeLeavingNoSampleFinishesTheRamp)
{
    kul::Ramp ramp;
    ramp.SetTargetWithTime (1.0f, 1.0f);
    ramp.Advance (43);
    ASSERT_EQ (ramp.remaining, 1u);

    ramp.SetSampleRate (1000.0f);
    EXPECT_EQ (ramp.remaining, 0u);
    EXPECT_EQ (ramp.current, 1.0f);
    EXPECT_LE (ramp.remaining, ramp.total);
}

TEST (Ramp, UnusableRatesAreIgnoredAndHugeTimesStayCountable)
{
    for (const float rate : { 0.0f, -48000.0f, std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity() })
    {
        kul::Ramp ramp;
        ramp.SetTargetWithTime (1.0f, 20.0f);
        ramp.SetSampleRate (rate);
        EXPECT_EQ (ramp.sampleRate, 44100.0f);
        EXPECT_EQ (ramp.remaining, 882u);
    }

    kul::Ramp huge;
    huge.SetTargetWithTime (1.0f, std::numeric_limits<float>::max());
    EXPECT_GT (huge.remaining, 0u);
    EXPECT_LE (huge.remaining, huge.total);
    huge.SetSampleRate (192000.0f);
    EXPECT_GT (huge.remaining, 0u);
    EXPECT_TRUE (std::isfinite (huge.increment));
}
