#include "MeterTestSupport.h"

#include "dsp/Mixer.h"
#include "gui/MultiMeterComponent.h"

#include <algorithm>
#include <cmath>
#include <functional>

using namespace metertest;

namespace
{
class MessageTest : public MeterTest
{
protected:
    t_meter* meter = nullptr;

    void SetUp() override
    {
        MeterTest::SetUp();
        meter = create ("@numchannels 4");
        ASSERT_NE (meter, nullptr);
        for (int inlet = 1; inlet <= 4; ++inlet)
            maxhost::setSignal (asObject (meter), inlet, { maxhost::SignalSource::dc, 0.0, 0.0, 0.5 });

        maxhost::startDsp();
    }

    std::vector<double> lastSamples()
    {
        std::vector<double> values;
        for (int outlet = 1; outlet <= 4; ++outlet)
            values.push_back (maxhost::lastOutput (asObject (meter), outlet).back());
        return values;
    }
};

class FadeTest : public MeterTest
{
protected:
    maxhost::Options hostOptions() const override { return { 48000.0, 64 }; }
};
} // namespace

TEST_F (MessageTest, MuteAndSoloShapeTheOutputFromTheNextBlock)
{
    const std::vector<std::pair<std::string, std::vector<double>>> steps {
        { "channel 2 mute 1", { 0.5, 0.0, 0.5, 0.5 } },
        { "channel 2 mute 0", { 0.5, 0.5, 0.5, 0.5 } },
        { "channel 4 solo 1", { 0.0, 0.0, 0.0, 0.5 } },
        { "mute 1", { 0.0, 0.0, 0.0, 0.0 } },
        { "mute 0", { 0.0, 0.0, 0.0, 0.5 } },   // solo is left alone
        { "channel 1 solo 1", { 0.5, 0.0, 0.0, 0.5 } },
        { "clearsolo", { 0.5, 0.5, 0.5, 0.5 } },
    };

    maxhost::runBlocks (2);
    for (const auto& [message, expected] : steps)
    {
        send (meter, message);
        maxhost::runBlocks (1);
        EXPECT_EQ (lastSamples(), expected) << message;
        for (unsigned channel = 0; channel < 4; ++channel)
            EXPECT_EQ (meter->gui->getMute (channel), meter->mixer->IsMuted (channel)) << message << " " << channel;
    }
}

TEST_F (MessageTest, ChannelNotifiesEachTimeAndFromTheSchedulerActsOnceTheMainQueueRuns)
{
    const auto notifications = notificationCount (meter);
    send (meter, "channel 2 mute 1");
    send (meter, "channel 2 mute 1");
    EXPECT_EQ (notificationCount (meter), notifications + 2) << "the same message notifies again";
    EXPECT_TRUE (meter->gui->getMute (1) && meter->mixer->IsMuted (1));

    sendFromScheduler (meter, "channel 3 solo 1");
    EXPECT_FALSE (meter->gui->getSolo (2)) << "widgets change on the main thread only";
    settle();
    EXPECT_TRUE (meter->gui->getSolo (2) && meter->mixer->IsSoloed (2));

    sendFromScheduler (meter, "clearsolo");
    settle();
    EXPECT_FALSE (meter->gui->getSolo (2) || meter->mixer->IsSoloed (2));
}

TEST_F (MessageTest, GainIsSnappedToTheSliderGridAndReachesTheOutput)
{
    send (meter, "gain -12.3");
    settle();
    EXPECT_EQ (dumpLines (meter), std::vector<std::string> { "gain -12.25" });
    EXPECT_EQ (meter->gain, -12.25f);

    maxhost::runBlocks (30);
    for (const auto sample : lastSamples())
        EXPECT_NEAR (sample, 0.5 * std::pow (10.0, -12.25 / 20.0), 1e-6);

    send (meter, "gain -60");
    settle();
    maxhost::runBlocks (30);
    EXPECT_EQ (lastSamples(), (std::vector<double> (4, 0.0)));
}

TEST_F (MessageTest, PreGainMeteringSeesAMutedChannelsInput)
{
    send (meter, "post 0");
    send (meter, "channel 1 mute 1");
    maxhost::runBlocks (4);
    EXPECT_EQ (dumpLevels (meter).rfind ("levels -6.02", 0), 0u) << dumpLevels (meter);

    send (meter, "post 1");
    maxhost::runBlocks (4);
    EXPECT_EQ (dumpLevels (meter).rfind ("levels -120.", 0), 0u) << dumpLevels (meter);
}

TEST_F (MessageTest, ASetterReachedForAnotherAttributeNamesIt)
{
    auto* attribute = object_attr_get (asObject (meter), gensym ("gain"));
    t_atom atom;
    atom_setlong (&atom, 1);
    meter_attr_set_render (meter, attribute, 1, &atom);
    EXPECT_EQ (consoleLines (maxhost::Severity::error), std::vector<std::string> { "unknown attribute gain" });

    maxhost::clearRecordings();
    const auto before = notificationCount (meter);
    meter_attr_set (meter, attribute, 0, nullptr);
    EXPECT_EQ (notificationCount (meter), before) << "a setter without values does nothing";
}

TEST_F (MessageTest, PerformGivenTooFewBuffersWritesSilence)
{
    std::vector<double> in (16, 0.5), out1 (16, 1.0), out2 (16, 1.0);
    double* ins[1] = { in.data() };
    double* outs[2] = { out1.data(), out2.data() };
    maxhost::runOnAudioThread ([&] { meter_perform64 (meter, nullptr, ins, 1, outs, 2, 16, 0, nullptr); });
    EXPECT_EQ (out1, std::vector<double> (16, 0.0));
    EXPECT_EQ (out2, std::vector<double> (16, 0.0));
}

TEST_F (FadeTest, FadeoutWaitsForTheNextBlockThenStepsTheSliderOnItsGridDownToSilence)
{
    auto* meter = create ("@numchannels 2");
    maxhost::setSignal (asObject (meter), 1, { maxhost::SignalSource::dc, 0.0, 0.0, 0.5 });
    send (meter, "fadeout 500");
    maxhost::advance (50.0);
    EXPECT_FALSE (meter->fading.load()) << "DSP is off";
    EXPECT_EQ (meter->gui->getGain(), 0.0f);

    // A gain set while the fade waits for the audio is where the fade starts: the
    // outlets never rise on the way down.
    send (meter, "gain -30");
    settle();
    maxhost::startDsp();
    maxhost::runBlocks (1);
    EXPECT_TRUE (meter->fading.load());
    EXPECT_EQ (meter->fadeValue.load(), -30.0f);
    double loudest = 1.0;
    for (int block = 0; block < 24000 / 64 + 40; ++block)
    {
        maxhost::runBlocks (1);
        const auto samples = maxhost::lastOutput (asObject (meter), 1);
        const double peak = *std::max_element (samples.begin(), samples.end());
        ASSERT_LE (peak, loudest) << "block " << block;
        loudest = peak;
    }
    EXPECT_FALSE (meter->fading.load());

    const auto lines = dumpLines (meter);
    ASSERT_GE (lines.size(), 100u);
    float previous = 1.0f;
    for (const auto& line : lines)
    {
        ASSERT_EQ (line.rfind ("gain ", 0), 0u) << line;
        const float value = std::stof (line.substr (5));
        EXPECT_EQ (value * 4.0f, std::round (value * 4.0f)) << line;
        EXPECT_LT (value, previous) << line;
        previous = value;
    }

    EXPECT_EQ (lines.back(), "gain -60.");
    EXPECT_EQ (maxhost::lastOutput (asObject (meter), 1), std::vector<double> (64, 0.0));

    // At the floor, "fadeout" does nothing, whatever its argument.
    maxhost::clearRecordings();
    const auto before = notificationCount (meter);
    send (meter, "fadeout soon");
    EXPECT_TRUE (consoleLines (maxhost::Severity::error).empty());
    EXPECT_EQ (notificationCount (meter), before);
}

TEST_F (FadeTest, FadeoutFromTheSchedulerStartsFromTheGainLastSetOnTheSlider)
{
    auto* meter = create ("@numchannels 1");
    maxhost::startDsp();
    const std::vector<std::pair<std::string, std::function<void()>>> settings {
        // The slider's notification of this one is still on its way when "fadeout" comes.
        { "attribute", [&] { send (meter, "gain -12"); } },
        { "mouse", [&] { meter->gui->getGainSlider().setValue (-20.0, juce::sendNotificationSync); } },
    };

    for (const auto& [how, setGain] : settings)
    {
        setGain();
        const float expected = meter->gui->getGain();
        sendFromScheduler (meter, "fadeout 100");
        maxhost::runBlocks (1);
        EXPECT_EQ (meter->fadeValue.load(), expected) << how;

        maxhost::runBlocks (100);
        ASSERT_FALSE (meter->fading.load()) << how;
        send (meter, "gain 0");
        settle();
    }
}

TEST_F (FadeTest, FadeTimesCountAtTheRateOfADspRestartAndZeroGoesToTheFloorAtTheNextBlock)
{
    auto* meter = create ("@numchannels 1");
    maxhost::startDsp();
    maxhost::stopDsp();
    maxhost::setSampleRate (96000.0);
    maxhost::startDsp();
    EXPECT_EQ (meter->mixer->GetSampleRate(), 96000.0f);
    send (meter, "fadeout 1");
    maxhost::runBlocks (1);
    EXPECT_EQ (meter->fadeRamp->total, 96u) << "1 ms at the new rate";

    maxhost::runBlocks (4);
    send (meter, "gain -6");
    settle();
    maxhost::clearRecordings();
    send (meter, "fadeout 0");
    maxhost::runBlocks (2);
    EXPECT_EQ (dumpLines (meter), std::vector<std::string> { "gain -60." });
    EXPECT_FALSE (meter->fading.load());
}
