#include "HostTestClass.h"

#include <thread>
#include <unistd.h>

using namespace hosttest;

using ThreadsConcurrencyTest = HostTest;

TEST_F (ThreadsConcurrencyTest, DeferredSetterRunsAtOnceOnMainAndQueuedFromTheScheduler)
{
    auto* x = makeProbe();
    auto* object = &x->header.z_ob;
    resetLog();

    maxhost::send (object, "level", { atomFloat (-3.0) });
    ASSERT_EQ (setterCalls().size(), 1u);
    EXPECT_EQ (setterCalls()[0].role, maxhost::ThreadRole::main);

    maxhost::sendFromScheduler (object, "level", { atomFloat (-100.0) });
    maxhost::sendFromScheduler (object, "count", { atomLong (5) });
    EXPECT_EQ (setterCalls().size(), 1u) << "queued for the main thread";
    EXPECT_EQ (x->count, 5) << "an attribute without the flag is set on the sender's thread";

    maxhost::pumpMainThread();
    ASSERT_EQ (setterCalls().size(), 2u);
    EXPECT_EQ (setterCalls()[1].role, maxhost::ThreadRole::main);
    EXPECT_DOUBLE_EQ (atom_getfloat (&setterCalls()[1].values[0]), -60.0) << "clipped before it was queued";
    EXPECT_FLOAT_EQ (x->level, -60.0f);
}

TEST_F (ThreadsConcurrencyTest, DeferRunsAtOnceOnMainAndInOrderFromElsewhere)
{
    auto* object = &makeProbe()->header.z_ob;
    auto record = asMethod (+[] (t_object*, t_symbol* s, long, t_atom*) {
        addEvent (std::string ("deferred:") + maxhost::roleName (maxhost::currentRole()) + ":" + s->s_name);
    });
    defer (object, record, gensym ("now"), 0, nullptr);
    EXPECT_EQ (events(), (std::vector<std::string> { "deferred:main:now" }));

    maxhost::runOnScheduler ([&] {
        defer (object, record, gensym ("a"), 0, nullptr);
        defer (object, record, gensym ("b"), 0, nullptr);
    });
    std::thread other ([&] { defer (object, record, gensym ("c"), 0, nullptr); });
    other.join();
    defer_low (object, record, gensym ("d"), 0, nullptr);
    EXPECT_EQ (events().size(), 1u);
    maxhost::pumpMainThread();
    EXPECT_EQ (events(), (std::vector<std::string> { "deferred:main:now", "deferred:main:a", "deferred:main:b", "deferred:main:c",
                                                     "deferred:main:d" }));
}

TEST_F (ThreadsConcurrencyTest, ClocksTickOnTheSchedulerAndQueueElementsRunOnMain)
{
    auto* object = &makeProbe()->header.z_ob;
    maxhost::send (object, "arm", { atomFloat (50.0) });
    maxhost::advance (49.0);
    EXPECT_TRUE (events().empty());
    maxhost::advance (1.0);
    EXPECT_EQ (events(), (std::vector<std::string> { "tick:scheduler", "task:main" }));
    EXPECT_DOUBLE_EQ (maxhost::now(), 50.0);
}

TEST_F (ThreadsConcurrencyTest, QueueElementCoalescesAndIsCancelledByFree)
{
    int runs = 0;
    auto* q = qelem_new (&runs, asMethod (+[] (int* counter) { ++*counter; }));
    std::vector<std::thread> setters;
    for (int i = 0; i < 4; ++i)
        setters.emplace_back ([q] {
            for (int k = 0; k < 1000; ++k)
                qelem_set (q);
        });
    for (auto& t : setters)
        t.join();
    maxhost::pumpMainThread();
    EXPECT_EQ (runs, 1);

    qelem_set (q);
    qelem_unset (q);
    maxhost::pumpMainThread();
    EXPECT_EQ (runs, 1);

    qelem_set (q);
    qelem_free (q);
    maxhost::pumpMainThread();
    EXPECT_EQ (runs, 1) << "a freed queue element does not run";
}

TEST_F (ThreadsConcurrencyTest, QueueElementSetWhileItsTaskRunsRunsAgain)
{
    struct Counter
    {
        std::atomic<int> runs { 0 };
        t_qelem* q = nullptr;
    } counter;
    counter.q = qelem_new (&counter, asMethod (+[] (Counter* c) {
        if (c->runs.fetch_add (1) == 0)
            qelem_set (c->q);
    }));
    qelem_set (counter.q);
    maxhost::pumpMainThread();
    EXPECT_EQ (counter.runs.load(), 2);
    qelem_free (counter.q);
}

TEST_F (ThreadsConcurrencyTest, FreeingAClockWaitsForItsRunningTick)
{
    maxhost::shutdown();
    maxhost::initialise ({ 44100.0, 64, true });
    registerProbeClass();
    auto* x = makeProbe();
    log().tickDelayMs = 50;
    object_attr_setlong (x, gensym ("count"), 1);
    clock_fdelay (x->clock, 0.0);
    while (events().empty())
        std::this_thread::yield();
    object_free (x->clock);   // the tick is sleeping inside
    x->clock = clock_new (x, asMethod (+[] (Probe*) {}));
    const auto seen = events();
    ASSERT_EQ (seen.size(), 2u);
    EXPECT_EQ (seen[1], "tick-done") << "object_free returned before the tick ended";
}

TEST_F (ThreadsConcurrencyTest, RealtimeModeRunsClocksAndMainWorkFreely)
{
    maxhost::shutdown();
    maxhost::initialise ({ 44100.0, 64, true });
    registerProbeClass();
    auto* object = &makeProbe()->header.z_ob;
    maxhost::sendFromScheduler (object, "arm", { atomFloat (5.0) });
    for (int i = 0; i < 200 && events().size() < 2; ++i)
        maxhost::runFor (5.0);
    EXPECT_EQ (events(), (std::vector<std::string> { "tick:scheduler", "task:main" }));
}

TEST_F (ThreadsConcurrencyTest, MainLoopCallsBackForReadableDescriptorsOnMain)
{
    int fds[2];
    ASSERT_EQ (pipe (fds), 0);
    static std::vector<std::string> seen;
    seen.clear();
    maxhost_mainloop_addfd (fds[0], [] (int fd, void*) {
        char c = 0;
        if (read (fd, &c, 1) == 1)
            seen.push_back (std::string (1, c) + ":" + maxhost::roleName (maxhost::currentRole()));
    }, nullptr);
    std::thread writer ([&] { EXPECT_EQ (write (fds[1], "a", 1), 1); });
    writer.join();
    maxhost::pumpMainThread();
    EXPECT_EQ (seen, (std::vector<std::string> { "a:main" }));
    EXPECT_EQ (maxhost_mainloop_removefd (fds[0]), MAX_ERR_NONE);
    EXPECT_EQ (write (fds[1], "b", 1), 1);
    maxhost::pumpMainThread();
    EXPECT_EQ (seen.size(), 1u);
    close (fds[0]);
    close (fds[1]);
}

TEST_F (ThreadsConcurrencyTest, QueuedWorkOfAFreedObjectIsDropped)
{
    auto* x = makeProbe();
    auto* object = &x->header.z_ob;
    resetLog();
    maxhost::sendFromScheduler (object, "level", { atomFloat (-1.0) });
    maxhost::runOnScheduler ([&] {
        defer (object, asMethod (+[] (t_object*, t_symbol*, long, t_atom*) { addEvent ("deferred"); }), nullptr, 0, nullptr);
    });
    object_free (object);
    maxhost::pumpMainThread();
    EXPECT_TRUE (setterCalls().empty());
    EXPECT_TRUE (events().empty());
}

TEST_F (ThreadsConcurrencyTest, DeferredCallsGetCopiesOfTheirAtoms)
{
    static std::string received;
    received.clear();
    maxhost::runOnScheduler ([] {
        t_atom atoms[2] = { atomLong (1), atomSym ("two") };
        defer (nullptr, asMethod (+[] (t_object*, t_symbol*, long ac, t_atom* av) {
                   received = maxhost::atomsToText (std::vector<t_atom> (av, av + ac));
               }),
               nullptr, 2, atoms);
        atoms[0] = atomLong (99);   // the caller's array changes after the call
    });
    maxhost::pumpMainThread();
    EXPECT_EQ (received, "1 two");
}

TEST_F (ThreadsConcurrencyTest, ClocksFireInTimeOrderAndRearmingReplaces)
{
    static std::vector<std::string> fired;
    fired.clear();
    auto* a = clock_new (nullptr, asMethod (+[] (void*) { fired.push_back ("a@" + std::to_string (static_cast<int> (maxhost::now()))); }));
    auto* b = clock_new (nullptr, asMethod (+[] (void*) { fired.push_back ("b@" + std::to_string (static_cast<int> (maxhost::now()))); }));
    auto* c = clock_new (nullptr, asMethod (+[] (void*) { fired.push_back ("c@" + std::to_string (static_cast<int> (maxhost::now()))); }));
    clock_fdelay (a, 30.0);
    clock_fdelay (b, 10.0);
    clock_fdelay (c, 10.0);
    clock_fdelay (a, 20.0);   // replaces the first delay
    clock_delay (c, 5);
    clock_unset (b);
    maxhost::advance (100.0);
    EXPECT_EQ (fired, (std::vector<std::string> { "c@5", "a@20" }));
    clock_free (a);
    clock_free (b);
    object_free (c);
}
