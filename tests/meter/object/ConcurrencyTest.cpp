#include "MeterTestSupport.h"

#include "meter/MaxMspJuceWindowManager.h"

#include <algorithm>
#include <thread>

using namespace metertest;

namespace
{
class MeterConcurrency : public MeterTest
{
protected:
    maxhost::Options hostOptions() const override
    {
        maxhost::Options options;
        options.realtime = true;
        return options;
    }

    t_meter* createRunning (int channels)
    {
        auto* meter = create ("@numchannels " + std::to_string (channels) + " @rate 5");
        for (int inlet = 1; inlet <= channels; ++inlet)
            maxhost::setSignal (asObject (meter), inlet, { maxhost::SignalSource::noise, 0.0, -6.0 - inlet, 0.0 });
        return meter;
    }
};

// Every message and setter, as a patch might send them. The setters that run on
// the sender's thread are sent from the scheduler only, as one patch cord would.
const std::vector<std::string> sharedMessages {
    "channel 1 mute 1", "channel 2 solo 1", "channel 1 mute 0", "clearsolo", "clearpeak", "dumplevels", "fadeout 30", "gain -3",
    "gain 0", "mute 1", "mute 0", "post 0", "post 1", "mode rms", "mode peak", "style gradient", "style leds", "rate 5",
    "peakhold 0", "peakhold 1", "peakholdrate 500", "coldcolor 0 0.6 0 1", "hotcolor 1 0 0 1", "showrms 0", "showrms 1",
    "showfps 1", "showfps 0", "open", "wclose", "open", "dump",
};
const std::vector<std::string> schedulerOnlyMessages {
    "windowtopleft 100 700", "windowmoveable 0", "windowtopleft 120 650", "windowmoveable 1", "windowtitle stress", "numchannels 9",
};
} // namespace

// Both threads are bounded by their own counts, and the scheduler sends as fast as it
// can: a flood of window requests far faster than a patch sends them included.
TEST_F (MeterConcurrency, MessagesAndAttributeReadsFromMainAndSchedulerWhileAudioRunsAndTheWindowRefreshes)
{
    auto* meter = createRunning (8);
    maxhost::startDsp();
    send (meter, "open");

    // The main thread goes on past its own rounds, up to a limit, while the audio thread
    // (slow on a loaded machine) has not yet run its blocks.
    constexpr size_t schedulerRounds = 600, mainRounds = 80, mostMainRounds = 2000;
    constexpr long leastBlocks = 100;
    size_t answeredReads = 0;
    std::thread sender ([&]
    {
        for (size_t i = 0; i < schedulerRounds; ++i)
        {
            sendFromScheduler (meter, sharedMessages[i % sharedMessages.size()]);
            sendFromScheduler (meter, schedulerOnlyMessages[i % schedulerOnlyMessages.size()]);
            sendFromScheduler (meter, "open");
            sendFromScheduler (meter, "wclose");
            // The attribute fields, read while the main thread's setters and the gain slider write them.
            sendFromScheduler (meter, "dump windowtitle");
            maxhost::runOnScheduler ([&]
            {
                long count = 0;
                t_atom* atoms = nullptr;
                object_method (asObject (meter), gensym ("getvalueof"), &count, &atoms);
                answeredReads += count > 0 && atoms != nullptr ? 1 : 0;
                sysmem_freeptr (atoms);
            });
        }
    });

    for (size_t i = 0; i < mostMainRounds && (i < mainRounds || maxhost::blocksRun() < leastBlocks); ++i)
    {
        send (meter, sharedMessages[(i * 7) % sharedMessages.size()]);
        maxhost::runFor (2.0);
    }

    sender.join();
    maxhost::runFor (50.0);
    EXPECT_GE (maxhost::blocksRun(), leastBlocks);
    EXPECT_EQ (answeredReads, schedulerRounds);
    const auto dumps = dumpLines (meter);
    EXPECT_EQ (std::count_if (dumps.begin(), dumps.end(), [] (const std::string& line) { return line.starts_with ("windowtitle "); }),
               static_cast<std::ptrdiff_t> (schedulerRounds));
    EXPECT_TRUE (consoleLines (maxhost::Severity::bug).empty());
}

TEST_F (MeterConcurrency, FreeingUnderLoadStopsEverythingFirst)
{
    std::vector<t_meter*> meters;
    for (int i = 0; i < 4; ++i)
        meters.push_back (createRunning (2 + 2 * i));

    maxhost::startDsp();
    for (auto* meter : meters)
        send (meter, "open");

    for (auto* meter : meters)
    {
        maxhost::runFor (30.0);
        send (meter, "fadeout 100");
        object_free (asObject (meter));
    }

    maxhost::runFor (30.0);
    EXPECT_TRUE (consoleLines (maxhost::Severity::bug).empty());
}

TEST_F (MeterConcurrency, CreateAndFreeInALoopWithDspOn)
{
    maxhost::startDsp();

    for (int round = 0; round < 12; ++round)
    {
        auto* meter = createRunning (1 + round % 3);
        if (round % 3 == 0)
            send (meter, "open");

        maxhost::runFor (10.0);
        object_free (asObject (meter));
    }

    EXPECT_TRUE (consoleLines (maxhost::Severity::bug).empty());
}
