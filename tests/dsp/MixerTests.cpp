#include "FailingAllocations.h"

#include "dsp/Mixer.h"
#include "dsp/Ramp.h"

#include "TestChannels.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <tuple>
#include <vector>

namespace
{
constexpr float notANumber = std::numeric_limits<float>::quiet_NaN();
const float halfDb = 20.0f * std::log10 (0.5f);

struct MixerRun
{
    explicit MixerRun (unsigned int numChannels, size_t numSamples = 512, double input = 0.5)
        : mixer (numChannels), inputs (numChannels, numSamples, input), outputs (numChannels, numSamples, 7.0)
    {
        mixer.SetSampleRateAndBufferSize (static_cast<unsigned int> (numSamples), true, 44100.0f);
    }

    void process() { mixer.Process (outputs.get(), inputs.get(), static_cast<unsigned int> (inputs.data[0].size())); }

    std::vector<float> levels() const
    {
        kul::Vector<float> copy;
        mixer.CopyLevels (copy);
        return { copy.begin(), copy.end() };
    }

    bool isSilent (size_t channel) const { return outputs.data[channel] == std::vector<double> (outputs.data[channel].size(), 0.0); }

    kul::Mixer mixer;
    TestChannels<double> inputs;
    TestChannels<double> outputs;
};
} // namespace

TEST (Mixer, GainRampOf882SamplesSpansTwoBlocksAndEndsOnTarget)
{
    MixerRun run (1, 512, 1.0);
    run.mixer.SetGain (-6.0f, false);
    const double target = std::pow (10.0, -0.3);

    run.process();
    const auto first = run.outputs.data[0];
    EXPECT_EQ (first.front(), 1.0);
    EXPECT_NEAR (first.back(), 1.0 + (target - 1.0) * 512.0 / 882.0, 1e-5);
    EXPECT_EQ (run.mixer.GetGainRamp().remaining, 370u);

    run.process();
    EXPECT_NEAR (run.outputs.data[0].front(), first.back(), 1e-5);
    EXPECT_EQ (static_cast<float> (run.outputs.data[0].back()), run.mixer.GetGainRamp().target);
    EXPECT_NEAR (run.outputs.data[0].back(), target, 1e-6);

    // After the ramp, and after a rate change, every sample gets the target gain.
    run.mixer.SetSampleRateAndBufferSize (512, true, 48000.0f);
    run.process();
    EXPECT_EQ (static_cast<float> (run.outputs.data[0].front()), run.mixer.GetGainRamp().target);
    EXPECT_EQ (run.outputs.data[0].front(), run.outputs.data[0].back());
}

TEST (Mixer, GainsAtTheSliderFloorGiveExactSilenceEvenForNaNInput)
{
    const std::pair<float, bool> cases[] = { { -60.0f, true }, { -59.25f, true }, { -59.0f, false },
                                             { -std::numeric_limits<float>::infinity(), true }, { 6.0f, false } };
    for (const auto& [gainDb, silent] : cases)
    {
        MixerRun run (2, 64);
        run.inputs.data[1].assign (64, std::numeric_limits<double>::quiet_NaN());
        run.mixer.SetGain (gainDb, true);
        run.process();

        EXPECT_EQ (run.isSilent (0), silent) << gainDb;
        EXPECT_NEAR (run.outputs.data[0][0], silent ? 0.0 : 0.5 * std::pow (10.0, gainDb / 20.0), 1e-6) << gainDb;
        EXPECT_EQ (run.isSilent (1), silent) << gainDb;
    }
}

TEST (Mixer, MuteAndSoloDecideWhichOfFourChannelsPass)
{
    struct Case { std::vector<int> muted, soloed; std::vector<bool> passing; };

    // Channel 3's inlet is unplugged: it never passes.
    const Case cases[] = {
        { {}, {}, { true, true, true, false } },           { { 0 }, {}, { false, true, true, false } },
        { {}, { 1 }, { false, true, false, false } },      { { 1 }, { 1 }, { false, false, false, false } },
        { {}, { 0, 2 }, { true, false, true, false } },    { { 2 }, { 0, 2 }, { true, false, false, false } },
        { {}, { 3 }, { false, false, false, false } },     { { 0, 1, 2, 3 }, {}, { false, false, false, false } },
    };
    const short counts[] = { 1, 1, 1, 0, 1, 1, 1, 1 };

    for (const auto& c : cases)
    {
        MixerRun run (4, 64);
        run.mixer.SetConnections (counts);
        for (const int channel : c.muted)
            run.mixer.SetMute (static_cast<unsigned int> (channel), true);
        for (const int channel : c.soloed)
            run.mixer.SetSolo (static_cast<unsigned int> (channel), true);
        run.process();

        for (size_t channel = 0; channel < 4; ++channel)
            EXPECT_TRUE (c.passing[channel] ? run.outputs.data[channel] == run.inputs.data[channel] : run.isSilent (channel))
                << "case " << &c - cases << " channel " << channel;
    }

    // Channels past the end are ignored rather than written.
    kul::Mixer mixer (2);
    mixer.SetMute (2, true);
    mixer.SetSolo (100, true);
    EXPECT_FALSE (mixer.IsMuted (2));
    EXPECT_FALSE (mixer.IsSoloed (100));
}

TEST (Mixer, LevelsReadTheFloorsOfTheirModeAndPreGainLevelsShowAMutedChannelsInput)
{
    MixerRun run (2);
    EXPECT_EQ (run.levels(), (std::vector<float> { -60.0f, -60.0f }));

    run.mixer.SetMute (0, true);
    run.process();
    EXPECT_EQ (run.outputs.data[1], run.inputs.data[1]);
    EXPECT_FLOAT_EQ (run.levels()[0], -60.0f);
    EXPECT_NEAR (run.levels()[1], 10.0f * std::log10 (0.5f * 0.5f * 0.440381f), 1e-3f);

    run.mixer.SetMeteringMode ("peak");
    run.process();
    EXPECT_FLOAT_EQ (run.levels()[0], -120.0f);

    run.mixer.SetPostGainMetering (false);
    run.mixer.SetGain (-20.0f, true);
    run.process();
    EXPECT_NEAR (run.levels()[0], halfDb, 1e-4f);
    EXPECT_NEAR (run.levels()[1], halfDb, 1e-4f);

    run.mixer.SetPostGainMetering (true);
    run.process();
    EXPECT_NEAR (run.levels()[1], halfDb - 20.0f, 1e-3f);
}

// However often DSP restarts at other rates, back at 44.1 kHz the window is as long as before.
TEST (Mixer, RefreshIntervalSetsThePeakWindowPlusFiveMillisecondsAtEveryRate)
{
    const std::tuple<float, int, uint32_t> cases[] = {
        { 30.0f, 0, 1543 }, { 0.0f, 0, 220 }, { -50.0f, 0, 220 }, { notANumber, 0, 220 }, { 50.0f, 100, 2425 },
    };
    for (const auto& [ms, restarts, window] : cases)
    {
        MixerRun run (1, 64);
        run.mixer.SetRefreshInterval (ms);
        for (int restart = 1; restart <= restarts; ++restart)
            run.mixer.SetSampleRateAndBufferSize (64, true, restart % 2 == 0 ? 44100.0f : restart % 4 == 1 ? 8000.0f : 48000.0f);
        run.process();
        EXPECT_EQ (run.mixer.GetMeters().GetMeter (0).holdSamples, window) << ms;
    }
}

// Each allocation of the constructor fails in turn, until one construction makes
// no allocation fail: every failure must reach the caller as a library exception.
TEST (Mixer, EveryAllocationFailureWhileBuildingLeavesAsALibraryException)
{
    // The failure is recorded once the failing allocation has been made, when the
    // next allocations succeed again.
    size_t number = 0;
    for (bool failed = true; failed && number < 1000; ++number)
    {
        const auto failing = FailingAllocations::Numbered (number);
        try
        {
            kul::Mixer mixer (4);
        }
        catch (const kul::Exception&)
        {
        }
        catch (...)
        {
            ADD_FAILURE() << "allocation " << number;
        }
        failed = failing.HaveFailed();
    }
    EXPECT_GT (number, 5u);
    EXPECT_LT (number, 1000u);
}

TEST (Ramp, JumpsWhereverNoSampleCountCanBeRampedOver)
{
    struct Case { float rampTime; bool immediately; float expectedRampTime; };

    // 0.01 ms lasts 0.441 samples: it rounds to none and must not divide by 0.
    for (const auto& c : { Case { 30.0f, true, 30.0f }, Case { 0.0f, false, 0.0f }, Case { -5.0f, false, 0.0f },
                           Case { notANumber, false, 0.0f }, Case { 0.01f, false, 0.01f } })
    {
        kul::Ramp ramp;
        ramp.SetRampTime (c.rampTime);
        ramp.SetTarget (0.25f, c.immediately);
        EXPECT_EQ (ramp.current, 0.25f) << c.rampTime;
        EXPECT_EQ (ramp.start, 0.25f) << c.rampTime;
        EXPECT_EQ (ramp.remaining + ramp.total, 0u) << c.rampTime;
        EXPECT_EQ (ramp.increment, 0.0f) << c.rampTime;
        EXPECT_EQ (ramp.rampTime, c.expectedRampTime) << c.rampTime;
    }
}

TEST (Ramp, NewTargetWhileRampingStartsAWholeRampFromTheValueReached)
{
    kul::Ramp ramp;
    ramp.SetTargetWithTime (-1.0f, 10.0f);
    ramp.Advance (100);
    const float reached = ramp.current;
    EXPECT_FLOAT_EQ (reached, -100.0f / 441.0f);

    ramp.SetTarget (1.0f, false);
    EXPECT_EQ (ramp.start, reached);
    EXPECT_EQ (ramp.remaining, 441u);
    EXPECT_FLOAT_EQ (ramp.increment, (1.0f - reached) / 441.0f);
}

TEST (Ramp, RateChangeKeepsTheRemainingDurationFinishesWhatCannotLastASampleAndIgnoresUnusableRates)
{
    kul::Ramp ramp;
    ramp.SetTargetWithTime (1.0f, 20.0f);
    ramp.Advance (441);
    ramp.SetSampleRate (88200.0f);
    EXPECT_EQ (ramp.total, 1764u);
    EXPECT_EQ (ramp.remaining, 882u);
    ramp.Advance (1000);
    EXPECT_EQ (ramp.current, 1.0f);

    kul::Ramp nearlyDone;
    nearlyDone.SetTargetWithTime (1.0f, 1.0f);
    nearlyDone.Advance (43);
    ASSERT_EQ (nearlyDone.remaining, 1u);
    nearlyDone.SetSampleRate (1000.0f);
    EXPECT_EQ (nearlyDone.remaining, 0u);
    EXPECT_EQ (nearlyDone.current, 1.0f);

    // Unusable rates are ignored, and huge times stay countable.
    for (const float rate : { 0.0f, -48000.0f, notANumber, std::numeric_limits<float>::infinity() })
    {
        kul::Ramp ramp;
        ramp.SetTargetWithTime (1.0f, 20.0f);
        ramp.SetSampleRate (rate);
        EXPECT_EQ (ramp.sampleRate, 44100.0f) << rate;
        EXPECT_EQ (ramp.remaining, 882u) << rate;
    }

    kul::Ramp huge;
    huge.SetTargetWithTime (1.0f, std::numeric_limits<float>::max());
    EXPECT_GT (huge.remaining, 0u);
    huge.SetSampleRate (192000.0f);
    EXPECT_GT (huge.remaining, 0u);
    EXPECT_LE (huge.remaining, huge.total);
    EXPECT_TRUE (std::isfinite (huge.increment));
}
