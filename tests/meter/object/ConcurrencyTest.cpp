#include "MeterTestSupport.h"

#include "meter/MaxMspJuceWindowManager.h"

#include <atomic>
#include <chrono>
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
    "showfps 1", "showfps 0", "open", "wclose", "open",
};
const std::vector<std::string> schedulerOnlyMessages {
    "windowtopleft 100 700", "windowmoveable 0", "windowtopleft 120 650", "windowmoveable 1", "windowtitle stress", "numchannels 9",
};
} // namespace

TEST_F (MeterConcurrency, MessagesFromMainAndSchedulerWhileAudioRunsAndTheWindowRefreshes)
{
    auto* meter = createRunning (8);
    maxhost::startDsp();
    send (meter, "open");

    std::atomic<bool> stop { false };
    std::thread sender ([&]
    {
        for (size_t i = 0; ! stop.load(); ++i)
        {
            sendFromScheduler (meter, sharedMessages[i % sharedMessages.size()]);
            sendFromScheduler (meter, schedulerOnlyMessages[i % schedulerOnlyMessages.size()]);
            // A patch's rate: a flood of window changes faster than the main
            // thread can show them is not what this checks.
            std::this_thread::sleep_for (std::chrono::microseconds (500));
        }
    });

    for (size_t i = 0; i < 80; ++i)
    {
        send (meter, sharedMessages[(i * 7) % sharedMessages.size()]);
        maxhost::runFor (2.0);
    }

    stop = true;
    sender.join();
    maxhost::runFor (50.0);
    EXPECT_GT (maxhost::blocksRun(), 100);
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
