#include "HostTestClass.h"

#include <cmath>

using namespace hosttest;

using DspTest = HostTest;

TEST_F (DspTest, Dsp64GetsTheSettingsAndConnectionCountsThenPerformRunsBlockByBlockOnTheAudioThread)
{
    maxhost::setSampleRate (48000.0);
    maxhost::setBlockSize (32);
    auto* object = &makeProbe()->header.z_ob;
    maxhost::setSignal (object, 2, { maxhost::SignalSource::dc, 0.0, 0.0, 0.8 });
    maxhost::setOutletConnected (object, 1, false);
    maxhost::startDsp();
    EXPECT_EQ (sys_getdspstate(), 1);
    EXPECT_EQ (log().connectionCounts, (std::vector<short> { 0, 1, 0, 1 })) << "inlets, then outlets";
    EXPECT_EQ (log().dspSampleRate, 48000.0);
    EXPECT_EQ (log().dspMaxVectorSize, 32);

    maxhost::runBlocks (5);
    EXPECT_EQ (log().performCalls.load(), 5);
    EXPECT_TRUE (log().performOnAudioThread.load());
    const auto levels = maxhost::measure (object);
    ASSERT_EQ (levels.size(), 2u);
    EXPECT_DOUBLE_EQ (levels[0].peak, 0.0);
    EXPECT_DOUBLE_EQ (levels[1].peak, 0.4);
    EXPECT_EQ (maxhost::lastOutput (object, 2), std::vector<double> (32, 0.4));
    maxhost::stopDsp();
    EXPECT_EQ (sys_getdspstate(), 0);
}

TEST_F (DspTest, BlockSizeAndInPlaceFlagShapeThePerformCall)
{
    struct Case { long blockSize; short noInPlace; long frames; bool shared; };
    const Case cases[] = {
        { 32, Z_NO_INPLACE, 32, false },
        { 64, 0, 64, true },
        { -4, Z_NO_INPLACE, 1, false },   // below one still runs one-sample blocks
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.blockSize);
        restart();
        maxhost::setBlockSize (c.blockSize);
        EXPECT_EQ (sys_getblksize(), c.blockSize);
        log().noInPlace = c.noInPlace;
        makeProbe();
        maxhost::startDsp();
        maxhost::runBlocks (2);
        EXPECT_EQ (log().lastFrames.load(), c.frames);
        EXPECT_EQ (log().buffersShared.load(), c.shared);
    }
}

TEST_F (DspTest, RunningBlocksAlsoRunsTheClocksDueInThatTime)
{
    maxhost::setSampleRate (48000.0);
    auto* object = &makeProbe()->header.z_ob;
    maxhost::startDsp();
    maxhost::send (object, "arm", maxhost::parseAtoms ("10."));
    maxhost::runBlocks (7);   // 9.33 ms
    EXPECT_TRUE (events().empty());
    maxhost::runBlocks (1);
    EXPECT_EQ (events(), (std::vector<std::string> { "tick:scheduler", "task:main" }));
    EXPECT_EQ (maxhost::blocksRun(), 8);
    EXPECT_EQ (sys_getsr(), 48000.0);
}

TEST_F (DspTest, SignalSourcesHaveTheirLevels)
{
    auto* object = &makeProbe()->header.z_ob;
    maxhost::setSignal (object, 1, { maxhost::SignalSource::sine, 1000.0, -6.0, 0.0 });
    maxhost::setSignal (object, 2, { maxhost::SignalSource::noise, 0.0, -20.0, 0.0 });
    maxhost::startDsp();
    maxhost::runBlocks (690);   // one second
    const auto levels = maxhost::measure (object);
    ASSERT_EQ (levels.size(), 2u);
    EXPECT_NEAR (20 * std::log10 (levels[0].peak), -12.02, 0.05);   // halved by the probe
    EXPECT_NEAR (20 * std::log10 (levels[0].rms), -15.03, 0.05);
    EXPECT_LE (levels[1].peak, 0.5 * 0.1 + 1e-12);
    EXPECT_NEAR (20 * std::log10 (levels[1].rms), -20 - 6.02 - 4.77, 0.2);
}

TEST_F (DspTest, PerformMaySetAQueueElementWhoseTaskRunsOnMainBetweenBlocks)
{
    log().performMode = PerformMode::signalMain;
    makeProbe();
    maxhost::startDsp();
    maxhost::runBlocks (3);
    EXPECT_EQ (events(), (std::vector<std::string> { "task:main", "task:main", "task:main" }));
}

using DspConcurrencyTest = HostTest;

TEST_F (DspConcurrencyTest, DspFreeReturnsOnlyWhenPerformCanNoLongerRun)
{
    restart ({ 44100.0, 64, true });
    std::vector<Probe*> probes;
    for (int i = 0; i < 6; ++i)
        probes.push_back (makeProbe());
    maxhost::startDsp();
    auto performs = [] (Probe* x) { return std::atomic_ref<int> (x->performs).load(); };
    ASSERT_TRUE (waitUntil ([&] { return performs (probes.back()) >= 3; }));
    for (size_t i = 0; i + 1 < probes.size(); ++i)
    {
        auto* x = probes[i];
        z_dsp_free (&x->header);
        EXPECT_EQ (std::atomic_ref<int> (x->performing).load(), 0);
        const int stopped = performs (x);
        // The chain goes on: wait until the last object has run two more blocks.
        const int later = performs (probes.back()) + 2;
        ASSERT_TRUE (waitUntil ([&] { return performs (probes.back()) >= later; }));
        EXPECT_EQ (performs (x), stopped);
        object_free (x);   // freed memory touched by a late perform would show under ASan
    }
}

#if MAXHOST_REALTIME_CHECK
// Every other perform in this build runs under the same check, so computing
// and setting a queue element are known to pass it.
using DspDeathTest = HostTest;

TEST_F (DspDeathTest, PerformThatAllocatesOrLocksFailsTheRun)
{
    GTEST_FLAG_SET (death_test_style, "threadsafe");
    for (auto mode : { PerformMode::allocate, PerformMode::lock })
    {
        EXPECT_DEATH (
            {
                restart();
                log().performMode = mode;
                makeProbe();
                maxhost::startDsp();
                maxhost::runBlocks (1);
            },
            "RealtimeSanitizer|[Rr]eal-time");
    }
}
#endif
