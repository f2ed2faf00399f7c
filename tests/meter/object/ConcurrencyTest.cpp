#include "MeterTestSupport.h"

#include "meter/MaxMspJuceWindowManager.h"

#include "cocoa/window/NSWindow.h"

#include <algorithm>
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
    "showfps 1", "showfps 0", "open", "wclose", "open", "dump",
};
const std::vector<std::string> schedulerOnlyMessages {
    "windowtopleft 100 700", "windowmoveable 0", "windowtopleft 120 650", "windowmoveable 1", "windowtitle stress", "numchannels 9",
};

/** A window attribute that the main thread and the scheduler set at the same moment:
    the value each sends in a trial, and the window's state as the attribute's getter
    would answer it. */
struct WindowRace
{
    const char* name;
    std::string (*value) (size_t trial, bool fromMain);
    std::string (*shown) (MaxMspJuceWindowManager& manager, NSWindow* window);
    size_t trials;   // the flag's race is the narrowest and the cheapest to run
};

void PrintTo (const WindowRace& race, std::ostream* out)
{
    *out << race.name;
}

const WindowRace windowRaces[] {
    { "windowtitle", [] (size_t trial, bool fromMain) { return (fromMain ? "main-" : "sched-") + std::to_string (trial); },
      [] (MaxMspJuceWindowManager&, NSWindow* window) { return NSWindowGetTitle (window); }, 3000 },
    // What decides the warning of "windowtopleft" must agree with the window as well.
    { "windowmoveable", [] (size_t trial, bool fromMain) { return std::to_string ((trial + (fromMain ? 0 : 1)) % 2); },
      [] (MaxMspJuceWindowManager& manager, NSWindow* window)
      {
          const bool moveable = NSWindowIsMovable (window);
          return moveable == manager.moveable.load() ? std::to_string (moveable ? 1 : 0) : std::string ("(the manager differs)");
      },
      12000 },
    { "windowtopleft",
      [] (size_t trial, bool fromMain) { return fromMain ? std::to_string (100 + trial % 50) + " 700" : "300 " + std::to_string (500 + trial % 50); },
      [] (MaxMspJuceWindowManager&, NSWindow* window)
      {
          const auto frame = NSWindowGetFrame (window);
          std::vector<t_atom> corner (2);
          atom_setfloat (&corner[0], frame.origin.x);
          atom_setfloat (&corner[1], frame.origin.y + frame.size.height);
          return maxhost::atomsToText (corner);
      },
      3000 },
};

class MeterWindowRaceConcurrency : public MeterConcurrency, public ::testing::WithParamInterface<WindowRace>
{
};

/** Spins until the counter reaches the value, for at most a few seconds. */
bool awaitValue (const std::atomic<size_t>& counter, size_t value)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds (5);
    while (counter.load() < value)
        if (std::chrono::steady_clock::now() > deadline)
            return false;
    return true;
}
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

// The main thread and the scheduler set the attribute at one moment, the one or the
// other a few spins ahead; once both messages and the main thread's work are done,
// the window shows what the attribute holds.
TEST_P (MeterWindowRaceConcurrency, TheWindowShowsTheStoredValueWhateverTheInterleaving)
{
    if (! hasDisplay())
        GTEST_SKIP() << "needs an X display";

    const auto& race = GetParam();
    auto* meter = create ("@numchannels 2");
    send (meter, "open");
    ASSERT_TRUE (settleUntil ([meter] { return meter->windowManager->IsWindowVisible(); }));

    const size_t trials = race.trials;
    std::atomic<size_t> schedulerReady { 0 }, start { 0 }, schedulerDone { 0 };
    const auto spin = [] (size_t count)
    {
        std::atomic<size_t> counter { 0 };
        while (counter.fetch_add (1, std::memory_order_relaxed) < count)
        {
        }
    };

    std::thread sender ([&]
    {
        for (size_t trial = 1; trial <= trials; ++trial)
            maxhost::runOnScheduler ([&]
            {
                schedulerReady = trial;
                if (awaitValue (start, trial) && start == trial)
                {
                    spin (trial % 2 == 0 ? (trial % 64) * 16 : 0);
                    sendFromScheduler (meter, race.name + (" " + race.value (trial, false)));
                }
                schedulerDone = trial;
            });
    });

    size_t mismatches = 0;
    std::string firstMismatch;
    for (size_t trial = 1; trial <= trials; ++trial)
    {
        if (! awaitValue (schedulerReady, trial))
        {
            start = trials + 1;   // lets the scheduler's remaining trials pass at once
            break;
        }
        start = trial;
        spin (trial % 2 == 1 ? (trial % 64) * 16 : 0);
        send (meter, race.name + (" " + race.value (trial, true)));
        if (! awaitValue (schedulerDone, trial))
        {
            start = trials + 1;
            break;
        }
        settle();

        long count = 0;
        t_atom* atoms = nullptr;
        object_attr_getvalueof (asObject (meter), gensym (race.name), &count, &atoms);
        const auto stored = maxhost::atomsToText ({ atoms, atoms + count });
        sysmem_freeptr (atoms);

        if (const auto shown = race.shown (*meter->windowManager, NSViewGetWindow (static_cast<NSView*> (meter->windowManager->nativeView.load())));
            stored != shown)
        {
            if (mismatches++ == 0)
                firstMismatch = "trial " + std::to_string (trial) + ": the attribute holds " + stored + ", the window shows " + shown;
        }
    }

    sender.join();
    EXPECT_EQ (schedulerDone.load(), trials);
    EXPECT_EQ (mismatches, 0u) << firstMismatch;
    EXPECT_TRUE (consoleLines (maxhost::Severity::bug).empty());
}

INSTANTIATE_TEST_SUITE_P (WindowAttributes, MeterWindowRaceConcurrency, ::testing::ValuesIn (windowRaces),
                          [] (const auto& info) { return std::string (info.param.name); });

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
