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

    maxhost::send (object, "level", maxhost::parseAtoms ("-3."));
    ASSERT_EQ (setterCalls().size(), 1u);
    EXPECT_EQ (setterCalls()[0].role, maxhost::ThreadRole::main);

    maxhost::sendFromScheduler (object, "level", maxhost::parseAtoms ("-100."));
    maxhost::sendFromScheduler (object, "count", maxhost::parseAtoms ("5"));
    EXPECT_EQ (setterCalls().size(), 1u) << "queued for the main thread";
    EXPECT_EQ (x->count, 5) << "an attribute without the flag is set on the sender's thread";

    maxhost::pumpMainThread();
    ASSERT_EQ (setterCalls().size(), 2u);
    EXPECT_EQ (setterCalls()[1].role, maxhost::ThreadRole::main);
    EXPECT_DOUBLE_EQ (atom_getfloat (&setterCalls()[1].values[0]), -60.0) << "clipped before it was queued";
    EXPECT_FLOAT_EQ (x->level, -60.0f);
}

TEST_F (ThreadsConcurrencyTest, DeferRunsAtOnceOnMainAndInOrderFromElsewhereWithCopiedAtoms)
{
    auto* object = &makeProbe()->header.z_ob;
    auto record = asMethod (+[] (t_object*, t_symbol* s, long ac, t_atom* av) {
        addEvent (std::string ("deferred:") + maxhost::roleName (maxhost::currentRole()) + ":" + s->s_name
                  + maxhost::atomsToText (std::vector<t_atom> (av, av + ac)));
    });
    defer (object, record, gensym ("now"), 0, nullptr);
    EXPECT_EQ (events(), (std::vector<std::string> { "deferred:main:now" }));

    maxhost::runOnScheduler ([&] {
        auto atoms = maxhost::parseAtoms ("1 two");
        defer (object, record, gensym ("a"), 2, atoms.data());
        atom_setlong (&atoms[0], 99);   // the caller's array changes after the call
        defer (object, record, gensym ("b"), 0, nullptr);
    });
    std::thread other ([&] { defer (object, record, gensym ("c"), 0, nullptr); });
    other.join();
    defer_low (object, record, gensym ("d"), 0, nullptr);
    EXPECT_EQ (events().size(), 1u);
    maxhost::pumpMainThread();
    EXPECT_EQ (events(), (std::vector<std::string> { "deferred:main:now", "deferred:main:a1 two", "deferred:main:b", "deferred:main:c",
                                                     "deferred:main:d" }));
}

TEST_F (ThreadsConcurrencyTest, QueueElementCoalescesRunsAgainWhenSetByItsTaskAndIsCancelledByFree)
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
    auto* q = counter.q;
    std::vector<std::thread> setters;
    for (int i = 0; i < 4; ++i)
        setters.emplace_back ([q] {
            for (int k = 0; k < 1000; ++k)
                qelem_set (q);
        });
    for (auto& t : setters)
        t.join();
    maxhost::pumpMainThread();
    EXPECT_EQ (counter.runs.load(), 2) << "4000 sets run once, and the set made by that run once more";

    qelem_set (q);
    qelem_unset (q);
    maxhost::pumpMainThread();
    EXPECT_EQ (counter.runs.load(), 2);

    qelem_set (q);
    qelem_free (q);
    maxhost::pumpMainThread();
    EXPECT_EQ (counter.runs.load(), 2) << "a freed queue element does not run";
}

TEST_F (ThreadsConcurrencyTest, FreeingAClockWaitsForItsRunningTick)
{
    restart ({ 44100.0, 64, true });
    auto* x = makeProbe();
    log().tickDelayMs = 50;
    clock_fdelay (x->clock, 0.0);
    ASSERT_TRUE (waitUntil ([] { return ! events().empty(); }));
    object_free (x->clock);   // the tick is sleeping inside
    x->clock = clock_new (x, asMethod (+[] (Probe*) {}));
    const auto seen = events();
    ASSERT_EQ (seen.size(), 2u);
    EXPECT_EQ (seen[1], "tick-done") << "object_free returned before the tick ended";
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
    maxhost::sendFromScheduler (object, "level", maxhost::parseAtoms ("-1."));
    maxhost::runOnScheduler ([&] {
        defer (object, asMethod (+[] (t_object*, t_symbol*, long, t_atom*) { addEvent ("deferred"); }), nullptr, 0, nullptr);
    });
    object_free (object);
    maxhost::pumpMainThread();
    EXPECT_TRUE (setterCalls().empty());
    EXPECT_TRUE (events().empty());
}

// Work that queues more work for the main thread (as a flood from another thread
// does) runs a pass at a time: the main loop gets back to its events in between
// instead of staying in one pass for as long as work keeps coming.
TEST_F (ThreadsConcurrencyTest, MainLoopRunsOnlyTheWorkQueuedBeforeEachPass)
{
    auto* object = &makeProbe()->header.z_ob;
    static int runs = 0;
    runs = 0;
    static method requeue = asMethod (+[] (t_object* o, t_symbol*, long, t_atom*) {
        if (++runs < 100000)
            defer_low (o, requeue, nullptr, 0, nullptr);
    });
    defer_low (object, requeue, nullptr, 0, nullptr);

    maxhost::pumpMainThread();
    EXPECT_LE (runs, 10000) << "each of the loop's rounds runs one pass";
    EXPECT_EQ (consoleLines(), (std::vector<std::string> { "bug: the main thread's work does not settle" }));
    runs = 100000;
    maxhost::pumpMainThread();
}

TEST_F (ThreadsConcurrencyTest, ClocksFireOnTheSchedulerInTimeOrderAndRearmingReplaces)
{
    static std::vector<std::string> fired;
    fired.clear();
    auto fire = asMethod (+[] (t_symbol* name) {
        fired.push_back (std::string (name->s_name) + "@" + std::to_string (static_cast<int> (maxhost::now())) + ":"
                         + maxhost::roleName (maxhost::currentRole()));
    });
    auto* a = clock_new (gensym ("a"), fire);
    auto* b = clock_new (gensym ("b"), fire);
    auto* c = clock_new (gensym ("c"), fire);
    clock_fdelay (a, 30.0);
    clock_fdelay (b, 10.0);
    clock_fdelay (c, 10.0);
    clock_fdelay (a, 20.0);   // replaces the first delay
    clock_delay (c, 5);
    clock_unset (b);
    maxhost::advance (19.0);
    EXPECT_EQ (fired, (std::vector<std::string> { "c@5:scheduler" }));
    maxhost::advance (81.0);
    EXPECT_EQ (fired, (std::vector<std::string> { "c@5:scheduler", "a@20:scheduler" }));
    clock_free (a);
    clock_free (b);
    object_free (c);
}

TEST_F (ThreadsConcurrencyTest, NamedDictionaryRetainedOnMainWhileAnotherThreadReleasesItKeepsItsCount)
{
    constexpr int rounds = 2000;
    auto* d = dictionary_new();
    t_symbol* name = gensym ("shared");
    ASSERT_NE (dictobj_register (d, &name), nullptr);
    for (int i = 0; i < rounds; ++i)
        ASSERT_EQ (dictobj_findregistered_retain (name), d);
    std::thread releaser ([d] {
        for (int i = 0; i < rounds; ++i)
            dictobj_release (d);
    });
    for (int i = 0; i < rounds; ++i)
        dictobj_findregistered_retain (name);
    releaser.join();

    for (int i = 0; i < rounds; ++i)
        dictobj_release (d);
    EXPECT_EQ (dictobj_namefromptr (d), name) << "one reference is left: no count was lost";
    dictobj_release (d);
    EXPECT_EQ (dictobj_findregistered_retain (name), nullptr) << "the last release frees it and drops its name";
}
