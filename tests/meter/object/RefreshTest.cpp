// The display refresh of "zelm.meter~": what each tick of the refresh clock copies
// into the window and how far it moves the display's sample-counted timers.
#include "MeterTestSupport.h"

#include "meter/MaxMspJuceWindowManager.h"

#include "gui/MultiMeterComponent.h"

#include <cmath>
#include <tuple>

using namespace metertest;

namespace
{
class RefreshTest : public MeterTest
{
protected:
    t_meter* meter = nullptr;

    void SetUp() override
    {
        MeterTest::SetUp();
        if (! hasDisplay())
            GTEST_SKIP() << "needs an X display";
        meter = create ("@numchannels 2");
        ASSERT_NE (meter, nullptr);
    }

    void open()
    {
        send (meter, "open");
        ASSERT_TRUE (settleUntil ([this] { return meter->windowManager->IsWindowVisible(); }));
    }

    void feed (int inlet, double value) { maxhost::setSignal (asObject (meter), inlet, { maxhost::SignalSource::dc, 0.0, 0.0, value }); }

    /** The levels the last refresh copied, and the levels the window shows. */
    std::vector<float> copied() const { return { meter->levels[0], meter->levels[1] }; }
    std::vector<float> shown() const { return { meter->gui->getChannel (0).getLevel(), meter->gui->getChannel (1).getLevel() }; }

    /** The samples the display has counted since its peak was cleared. With a silent
        input the peak never moves, so only refreshes change this count. */
    std::uint64_t counted() { return meter->gui->getChannel (0).getMeter().getSamplesSincePeak(); }

    /** Clears the count and advances to just after the next refresh. */
    void alignToRefresh()
    {
        send (meter, "clearpeak");
        for (int ms = 0; ms < 200 && counted() == 0; ++ms)
            maxhost::advance (1.0);
        ASSERT_NE (counted(), 0u) << "no refresh within 200 ms";
    }

    /** Levels to the window readouts' tenth of a dB. */
    static std::vector<float> rounded (std::vector<float> levels)
    {
        for (auto& level : levels)
            level = std::round (level * 10.0f) / 10.0f;
        return levels;
    }
};
} // namespace

TEST_F (RefreshTest, NothingIsCopiedWhileDspIsOffOrTheWindowIsHidden)
{
    feed (1, 0.5);
    feed (2, 0.25);
    maxhost::startDsp();
    const std::vector<float> measured { -6.0f, -12.0f };
    const std::vector<float> lowered { -18.0f, -24.0f };

    maxhost::advance (200.0);
    EXPECT_EQ (copied(), (std::vector<float> { 0.0f, 0.0f })) << "window never opened";
    EXPECT_EQ (shown(), (std::vector<float> { -60.0f, -60.0f }));

    open();
    maxhost::advance (100.0);
    EXPECT_EQ (rounded (copied()), measured);
    EXPECT_EQ (rounded (shown()), measured);

    // The host reports DSP off while the mixer still measures (after the gain): the
    // window keeps the last levels, and "dumplevels" gives the mixer's.
    maxhost::setDspState (0);
    send (meter, "gain -12");
    maxhost::advance (200.0);
    EXPECT_EQ (rounded (copied()), measured);
    EXPECT_EQ (rounded (shown()), measured);
    EXPECT_EQ (dumpLevels (meter).rfind ("levels -18.0", 0), 0u) << dumpLevels (meter);

    // A hidden window is not refreshed either; shown again, it gets fresh levels at the next tick.
    maxhost::setDspState (1);
    send (meter, "wclose");
    ASSERT_TRUE (settleUntil ([this] { return ! meter->windowManager->IsWindowVisible(); }));
    maxhost::advance (200.0);
    EXPECT_EQ (rounded (shown()), measured);
    open();
    maxhost::advance (100.0);
    EXPECT_EQ (rounded (shown()), lowered);
}

TEST_F (RefreshTest, EachRefreshAdvancesTheDisplayByTheRateInSamplesAndANewRateCountsFromTheNextTick)
{
    maxhost::startDsp();
    open();
    // The clock's first delay was armed before the box's "rate" was set: the shortest, 5 ms.
    maxhost::advance (5.0);
    alignToRefresh();
    const auto start = counted();
    EXPECT_EQ (start, 2205u) << "50 ms at 44100 Hz";

    const std::vector<std::tuple<std::string, double, std::uint64_t>> steps {
        { "", 49.0, 0 }, { "", 1.0, 2205 }, { "", 49.0, 0 }, { "", 1.0, 2205 },
        // The clock already armed fires when it was due and counts the 50 ms that passed; then every 200 ms.
        { "rate 200", 49.0, 0 }, { "", 1.0, 2205 }, { "", 199.0, 0 }, { "", 1.0, 8820 },
        { "rate 3000", 199.0, 0 }, { "", 1.0, 8820 }, { "", 2999.0, 0 }, { "", 1.0, 132300 },
    };
    for (const auto& [message, ms, samples] : steps)
    {
        if (! message.empty())
            send (meter, message);
        const auto previous = counted();
        maxhost::advance (ms);
        EXPECT_EQ (counted() - previous, samples) << message << " " << ms;
    }
}

TEST_F (RefreshTest, ADspRestartAtANewRateRescalesTheDisplayAndClearsItsLevels)
{
    feed (1, 0.5);
    maxhost::startDsp();
    open();
    maxhost::advance (100.0);
    ASSERT_GT (meter->gui->getChannel (0).getMeter().getNumLit(), 0u);

    maxhost::stopDsp();
    maxhost::setSampleRate (96000.0);
    maxhost::startDsp();
    settle();
    auto& channel = meter->gui->getChannel (0);
    EXPECT_EQ (shown(), (std::vector<float> { -60.0f, -60.0f }));
    EXPECT_EQ (channel.getMeter().getNumLit(), 0u);
    EXPECT_EQ (channel.getSampleRate(), 96000.0f);
    EXPECT_EQ (channel.getMeter().getRefreshSamples(), 4800u) << "50 ms at 96 kHz";
    EXPECT_EQ (channel.getMeter().getPeakHoldSamples(), 192000u) << "2 s at 96 kHz";

    feed (1, 0.0);
    maxhost::advance (100.0);
    alignToRefresh();
    EXPECT_EQ (counted(), 4800u);

    // Restarts at a rate where the hold is no whole number of samples leave it as long as it was.
    send (meter, "peakholdrate 100");
    maxhost::setSampleRate (11025.0);
    for (int restart = 0; restart < 30; ++restart)
    {
        maxhost::stopDsp();
        maxhost::startDsp();
    }
    settle();
    EXPECT_EQ (channel.getMeter().getPeakHoldSamples(), 1102u) << "100 ms at 11.025 kHz";
}

TEST_F (RefreshTest, ARaisedRateLetsAHeldPeakStandForItsWholeHoldTime)
{
    feed (1, 0.5);
    maxhost::startDsp();
    open();
    maxhost::advance (100.0);
    feed (1, 0.0);
    maxhost::advance (100.0);
    const auto& leds = meter->gui->getChannel (0).getMeter();
    const auto held = leds.getPeakIndex();
    ASSERT_EQ (leds.getNumLit(), 0u);
    ASSERT_GT (held, 0u);

    // The first tick after the change comes 50 ms later, as armed, and counts those 50 ms,
    // not 3 s; the next counts 3 s, past the 2 s hold.
    send (meter, "rate 3000");
    maxhost::advance (50.0);
    EXPECT_EQ (leds.getPeakIndex(), held);
    maxhost::advance (3000.0);
    EXPECT_EQ (leds.getPeakIndex(), 0u);
}
