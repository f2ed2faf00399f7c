// The host's threads: the main thread (the caller's own), the scheduler
// (clocks) and the audio thread; the main queue, queue elements, deferral,
// the main loop's file descriptors, and time.
#include "Host.h"

#include "WindowManagerAtoms.h"

#include <X11/Xlib.h>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <poll.h>

struct _qelem
{
    void* owner;
    method fn;
    std::atomic<int> state { 0 };
    _qelem* next = nullptr;
};

struct _clock
{
    t_object ob;
    void* owner;
    method fn;
    double due = 0.0;
    long long order = 0;
    bool armed = false;
    bool running = false;
    bool freePending = false;
};

namespace maxhost::detail
{
void unbindAllSymbols();
std::vector<t_object*> liveUserObjects();
std::vector<const void*> liveObjects();
void freeAllClasses();
void clearAllRecordings();
void resetDsp (const Options& options);

namespace
{
    thread_local ThreadRole threadRole = ThreadRole::other;

    enum QelemState
    {
        pending = 1,   // in the lock-free list
        armed = 2,     // its routine is to run
        freed = 4
    };

    struct MainItem
    {
        t_object* owner;
        std::function<void()> work;
    };

    struct State
    {
        std::atomic<bool> initialised { false };
        std::atomic<bool> realtime { false };
        std::atomic<double> virtualNow { 0.0 };
        std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();

        std::mutex mainMutex;
        std::deque<MainItem> mainQueue;
        std::atomic<_qelem*> qelemList { nullptr };
        std::mutex qelemMutex;
        std::unordered_set<_qelem*> qelems;   // allocated and not yet freed by their owner

        std::mutex clockMutex;
        std::condition_variable clockIdle;
        std::vector<_clock*> clocks;
        long long clockOrder = 0;

        std::mutex fdMutex;
        std::map<int, std::pair<maxhost_fdcallback, void*>> descriptors;
        std::vector<std::pair<maxhost_drawcallback, void*>> drawCallbacks;

        std::mutex quitMutex;
        std::vector<std::pair<method, void*>> quitTasks;

        Worker scheduler, audio;
    };

    State& state()
    {
        static auto* s = new State();
        return *s;
    }

    std::chrono::steady_clock::time_point timePoint (double ms)
    {
        return state().start + std::chrono::duration_cast<std::chrono::steady_clock::duration> (std::chrono::duration<double, std::milli> (ms));
    }

    void deleteClock (_clock* c)
    {
        freeObjectData (&c->ob);
        delete c;
    }

    bool drainQelems()
    {
        auto* list = state().qelemList.exchange (nullptr, std::memory_order_acquire);
        if (list == nullptr)
            return false;
        std::vector<_qelem*> order;
        for (auto* q = list; q != nullptr; q = q->next)
            order.push_back (q);
        std::reverse (order.begin(), order.end());
        for (auto* q : order)
        {
            const int s = q->state.fetch_and (~(pending | armed), std::memory_order_acq_rel);
            if ((s & freed) != 0)
                delete q;
            else if ((s & armed) != 0)
                typed<void (*) (void*)> (q->fn) (q->owner);   // q may be freed inside
        }
        return true;
    }

    // A plug-in's GUI toolkit asks for atoms a bare X server lacks; those errors
    // are harmless, so only the first is shown.
    int xErrorHandler (Display*, XErrorEvent* event)
    {
        static std::atomic<bool> reported { false };

        if (! reported.exchange (true))
            std::fprintf (stderr, "maxhost: X error %d (request %d); further X errors are not shown\n",
                          event->error_code, event->request_code);
        return 0;
    }
} // namespace

void setRole (ThreadRole role)
{
    threadRole = role;
}

bool onMainThread()
{
    return threadRole == ThreadRole::main;
}

bool isRealtime()
{
    return state().realtime.load();
}

double currentTime()
{
    if (isRealtime())
        return std::chrono::duration<double, std::milli> (std::chrono::steady_clock::now() - state().start).count();
    return state().virtualNow.load();
}

Worker& scheduler()
{
    return state().scheduler;
}

Worker& audio()
{
    return state().audio;
}

void setupX11()
{
    static const bool done = []
    {
        XInitThreads();
        XSetErrorHandler (xErrorHandler);

        internWindowManagerAtoms();
        return true;
    }();
    (void) done;
}

// Worker ------------------------------------------------------------------------------

void Worker::start (ThreadRole role, Tick t)
{
    tick = std::move (t);
    stopping = false;
    thread = std::thread ([this, role] { loop (role); });
    while (threadId.load() == std::thread::id())
        std::this_thread::yield();
}

void Worker::stop()
{
    if (! thread.joinable())
        return;
    {
        std::lock_guard<std::mutex> lock (mutex);
        stopping = true;
    }
    condition.notify_all();
    thread.join();
    threadId.store (std::thread::id());
}

void Worker::runAndWait (const std::function<void()>& work)
{
    if (isOwnThread() || ! thread.joinable())
    {
        work();
        return;
    }
    auto task = work;
    std::unique_lock<std::mutex> lock (mutex);
    tasks.push_back (&task);
    const auto id = ++posted;
    condition.notify_all();
    condition.wait (lock, [&] { return finished >= id; });
}

void Worker::wake()
{
    {
        std::lock_guard<std::mutex> lock (mutex);
        ++wakeups;
    }
    condition.notify_all();
}

void Worker::loop (ThreadRole role)
{
    setRole (role);
    threadId.store (std::this_thread::get_id());
    std::unique_lock<std::mutex> lock (mutex);
    for (;;)
    {
        if (! tasks.empty())
        {
            auto* task = tasks.front();
            tasks.pop_front();
            lock.unlock();
            (*task)();
            lock.lock();
            ++finished;
            condition.notify_all();
            continue;
        }
        if (stopping)
            break;
        if (isRealtime() && tick.deadline)
        {
            const auto seen = wakeups;
            lock.unlock();
            const auto deadline = tick.deadline();
            if (deadline && *deadline <= currentTime())
            {
                tick.fire();
                lock.lock();
                continue;
            }
            lock.lock();
            auto woken = [&] { return ! tasks.empty() || stopping || wakeups != seen; };
            if (deadline)
                condition.wait_until (lock, timePoint (*deadline), woken);
            else
                condition.wait (lock, woken);
            continue;
        }
        condition.wait (lock);
    }
}

// Main queue ------------------------------------------------------------------------------

void queueOnMain (t_object* owner, std::function<void()> work)
{
    auto& s = state();
    std::lock_guard<std::mutex> lock (s.mainMutex);
    s.mainQueue.push_back ({ owner, std::move (work) });
}

void cancelMainWork (t_object* owner)
{
    auto& s = state();
    std::lock_guard<std::mutex> lock (s.mainMutex);
    s.mainQueue.erase (std::remove_if (s.mainQueue.begin(), s.mainQueue.end(), [owner] (const MainItem& item) { return item.owner == owner; }),
                       s.mainQueue.end());
}

bool runMainWork()
{
    auto& s = state();
    bool didWork = drainQelems();

    // Only what was queued when the pass began: work that other threads queue faster
    // than it runs waits for the next pass, so that the loop gets back to its
    // descriptors (the toolkit's events) and its deadline in between. The items are
    // still taken one at a time, so that freeing an object cancels its queued work.
    size_t numQueued = 0;
    {
        std::lock_guard<std::mutex> lock (s.mainMutex);
        numQueued = s.mainQueue.size();
    }

    for (; numQueued > 0; --numQueued)
    {
        MainItem item;
        {
            std::lock_guard<std::mutex> lock (s.mainMutex);
            if (s.mainQueue.empty())
                break;
            item = std::move (s.mainQueue.front());
            s.mainQueue.pop_front();
        }
        item.work();
        didWork = true;
        didWork = drainQelems() || didWork;
    }
    return didWork;
}

bool pollDescriptors (int timeoutMs)
{
    auto& s = state();
    std::vector<pollfd> fds;
    {
        std::lock_guard<std::mutex> lock (s.fdMutex);
        for (auto& entry : s.descriptors)
            fds.push_back ({ entry.first, POLLIN, 0 });
    }
    if (fds.empty())
    {
        if (timeoutMs > 0)
            std::this_thread::sleep_for (std::chrono::milliseconds (timeoutMs));
        return false;
    }
    if (::poll (fds.data(), fds.size(), timeoutMs) <= 0)
        return false;
    bool called = false;
    for (auto& fd : fds)
    {
        if ((fd.revents & (POLLIN | POLLHUP | POLLERR)) == 0)
            continue;
        std::pair<maxhost_fdcallback, void*> callback { nullptr, nullptr };
        {
            std::lock_guard<std::mutex> lock (s.fdMutex);
            auto it = s.descriptors.find (fd.fd);
            if (it != s.descriptors.end())
                callback = it->second;
        }
        if (callback.first != nullptr)
        {
            callback.first (fd.fd, callback.second);
            called = true;
        }
    }
    return called;
}

void runQuitTasks()
{
    std::vector<std::pair<method, void*>> tasks;
    {
        std::lock_guard<std::mutex> lock (state().quitMutex);
        tasks.swap (state().quitTasks);
    }
    for (auto& task : tasks)
        typed<void (*) (void*)> (task.first) (task.second);
}

// Clocks ------------------------------------------------------------------------------------

std::optional<double> nextClockTime()
{
    auto& s = state();
    std::lock_guard<std::mutex> lock (s.clockMutex);
    std::optional<double> next;
    for (auto* c : s.clocks)
        if (c->armed && (! next || c->due < *next))
            next = c->due;
    return next;
}

void fireDueClocks (double time)
{
    auto& s = state();
    std::unique_lock<std::mutex> lock (s.clockMutex);
    for (;;)
    {
        _clock* due = nullptr;
        for (auto* c : s.clocks)
            if (c->armed && c->due <= time && (due == nullptr || c->due < due->due || (c->due == due->due && c->order < due->order)))
                due = c;
        if (due == nullptr)
            break;
        due->armed = false;
        due->running = true;
        lock.unlock();
        typed<void (*) (void*)> (due->fn) (due->owner);
        lock.lock();
        due->running = false;
        if (due->freePending)
            deleteClock (due);
        s.clockIdle.notify_all();
    }
}

void freeClock (t_object* object)
{
    auto* c = reinterpret_cast<_clock*> (object);
    unregisterObject (object);
    auto& s = state();
    std::unique_lock<std::mutex> lock (s.clockMutex);
    c->armed = false;
    s.clocks.erase (std::remove (s.clocks.begin(), s.clocks.end(), c), s.clocks.end());
    if (c->running)
    {
        if (s.scheduler.isOwnThread())
        {
            c->freePending = true;   // freed by its own tick: deleted when the tick returns
            return;
        }
        s.clockIdle.wait (lock, [c] { return ! c->running; });
    }
    lock.unlock();
    deleteClock (c);
}

void freeAllClocksAndQelems()
{
    auto& s = state();
    // Nothing runs any more: the owners are gone.
    for (auto* q = s.qelemList.exchange (nullptr); q != nullptr;)
    {
        auto* next = q->next;
        if ((q->state.load() & freed) != 0)
            delete q;
        q = next;
    }
    std::vector<_qelem*> qelems;
    {
        std::lock_guard<std::mutex> lock (s.qelemMutex);
        qelems.assign (s.qelems.begin(), s.qelems.end());
        s.qelems.clear();
    }
    for (auto* q : qelems)
        delete q;
}

// Main loop of the test or the driver ---------------------------------------------------------

void resetMainLoop()
{
    auto& s = state();
    {
        std::lock_guard<std::mutex> lock (s.mainMutex);
        s.mainQueue.clear();
    }
    std::lock_guard<std::mutex> lock (s.fdMutex);
    s.descriptors.clear();
    s.drawCallbacks.clear();
}

void finishPendingDrawing()
{
    pumpMainThread();
    std::vector<std::pair<maxhost_drawcallback, void*>> callbacks;
    {
        std::lock_guard<std::mutex> lock (state().fdMutex);
        callbacks = state().drawCallbacks;
    }
    for (auto& [callback, context] : callbacks)
        callback (context);
}
} // namespace maxhost::detail

using namespace maxhost::detail;

extern "C" {

t_clock* clock_new (void* owner, method fn)
{
    auto* name = isLive (owner) ? object_classname (owner) : nullptr;
    if (fn == nullptr || shouldFail ("clock_new", name != nullptr ? name->s_name : ""))
        return nullptr;
    auto* c = new t_clock();
    c->owner = owner;
    c->fn = fn;
    registerObject (&c->ob, internalClass (Kind::clock), Kind::clock);
    auto& s = state();
    std::lock_guard<std::mutex> lock (s.clockMutex);
    s.clocks.push_back (c);
    return c;
}

void clock_fdelay (t_clock* c, double ms)
{
    if (c == nullptr)
        return;
    auto& s = state();
    {
        std::lock_guard<std::mutex> lock (s.clockMutex);
        c->due = currentTime() + (std::isfinite (ms) ? std::max (ms, 0.0) : 0.0);
        c->armed = true;
        c->order = ++s.clockOrder;
    }
    if (isRealtime())
        s.scheduler.wake();
}

void clock_delay (t_clock* c, long ms)
{
    clock_fdelay (c, static_cast<double> (ms));
}

void clock_unset (t_clock* c)
{
    if (c == nullptr)
        return;
    std::lock_guard<std::mutex> lock (state().clockMutex);
    c->armed = false;
}

void clock_free (t_clock* c)
{
    object_free (c);
}

long gettime()
{
    return static_cast<long> (currentTime());
}

void clock_getftime (double* time)
{
    if (time != nullptr)
        *time = currentTime();
}

t_qelem* qelem_new (void* owner, method fn)
{
    auto* name = isLive (owner) ? object_classname (owner) : nullptr;
    if (fn == nullptr || shouldFail ("qelem_new", name != nullptr ? name->s_name : ""))
        return nullptr;
    auto* q = new t_qelem();
    q->owner = owner;
    q->fn = fn;
    std::lock_guard<std::mutex> lock (state().qelemMutex);
    state().qelems.insert (q);
    return q;
}

void qelem_set (t_qelem* q)
{
    if (q == nullptr)
        return;
    const int s = q->state.fetch_or (pending | armed, std::memory_order_acq_rel);
    if ((s & (pending | freed)) != 0)
        return;
    auto& list = state().qelemList;
    q->next = list.load (std::memory_order_relaxed);
    while (! list.compare_exchange_weak (q->next, q, std::memory_order_release, std::memory_order_relaxed))
    {
    }
}

void qelem_unset (t_qelem* q)
{
    if (q != nullptr)
        q->state.fetch_and (~armed, std::memory_order_acq_rel);
}

void qelem_free (t_qelem* q)
{
    if (q == nullptr)
        return;
    {
        std::lock_guard<std::mutex> lock (state().qelemMutex);
        if (state().qelems.erase (q) == 0)
        {
            postText (maxhost::Severity::bug, nullptr, "qelem_free: not a live queue element (freed twice?)");
            return;
        }
    }
    const int s = q->state.fetch_or (freed | pending, std::memory_order_acq_rel);
    if ((s & pending) == 0)
        delete q;   // not in the list: nobody else holds it
}

void* defer (void* owner, method fn, t_symbol* s, short argc, t_atom* argv)
{
    if (fn == nullptr)
        return nullptr;
    auto call = typed<void (*) (t_object*, t_symbol*, long, t_atom*)> (fn);
    if (onMainThread())
    {
        call (static_cast<t_object*> (owner), s, argc, argv);
        return nullptr;
    }
    return defer_low (owner, fn, s, argc, argv);
}

void* defer_low (void* owner, method fn, t_symbol* s, short argc, t_atom* argv)
{
    if (fn == nullptr)
        return nullptr;
    auto call = typed<void (*) (t_object*, t_symbol*, long, t_atom*)> (fn);
    std::vector<t_atom> atoms;
    if (argc > 0 && argv != nullptr)
        atoms.assign (argv, argv + argc);
    auto* object = static_cast<t_object*> (owner);
    queueOnMain (object, [call, object, s, atoms]() mutable { call (object, s, static_cast<long> (atoms.size()), atoms.data()); });
    return nullptr;
}

long systhread_ismainthread()
{
    return threadRole == maxhost::ThreadRole::main ? 1 : 0;
}

long systhread_istimerthread()
{
    return threadRole == maxhost::ThreadRole::scheduler ? 1 : 0;
}

long systhread_isaudiothread()
{
    return threadRole == maxhost::ThreadRole::audio ? 1 : 0;
}

void quittask_install (method m, void* a)
{
    std::lock_guard<std::mutex> lock (state().quitMutex);
    state().quitTasks.emplace_back (m, a);
}

void quittask_remove (method m)
{
    std::lock_guard<std::mutex> lock (state().quitMutex);
    auto& tasks = state().quitTasks;
    tasks.erase (std::remove_if (tasks.begin(), tasks.end(), [m] (const auto& t) { return t.first == m; }), tasks.end());
}

t_max_err maxhost_mainloop_addfd (int fd, maxhost_fdcallback callback, void* context)
{
    if (fd < 0 || callback == nullptr)
        return MAX_ERR_INVALID_PTR;
    std::lock_guard<std::mutex> lock (state().fdMutex);
    state().descriptors[fd] = { callback, context };
    return MAX_ERR_NONE;
}

t_max_err maxhost_mainloop_removefd (int fd)
{
    std::lock_guard<std::mutex> lock (state().fdMutex);
    return state().descriptors.erase (fd) != 0 ? MAX_ERR_NONE : MAX_ERR_GENERIC;
}

t_max_err maxhost_mainloop_adddrawcallback (maxhost_drawcallback callback, void* context)
{
    if (callback == nullptr)
        return MAX_ERR_INVALID_PTR;
    std::lock_guard<std::mutex> lock (state().fdMutex);
    auto& callbacks = state().drawCallbacks;
    auto it = std::find_if (callbacks.begin(), callbacks.end(), [callback] (const auto& c) { return c.first == callback; });
    if (it != callbacks.end())
        it->second = context;
    else
        callbacks.emplace_back (callback, context);
    return MAX_ERR_NONE;
}

t_max_err maxhost_mainloop_removedrawcallback (maxhost_drawcallback callback)
{
    std::lock_guard<std::mutex> lock (state().fdMutex);
    auto& callbacks = state().drawCallbacks;
    const auto removed = std::erase_if (callbacks, [callback] (const auto& c) { return c.first == callback; });
    return removed != 0 ? MAX_ERR_NONE : MAX_ERR_GENERIC;
}

} // extern "C"

namespace maxhost
{
ThreadRole currentRole()
{
    return detail::threadRole;
}

void initialise (const Options& options)
{
    auto& s = state();
    if (s.initialised.load())
        shutdown();
    setRole (ThreadRole::main);
    setupX11();
    s.realtime = options.realtime;
    s.virtualNow = 0.0;
    s.start = std::chrono::steady_clock::now();
    resetDsp (options);
    s.scheduler.start (ThreadRole::scheduler, { [] { return nextClockTime(); }, [] { fireDueClocks (currentTime()); } });
    s.audio.start (ThreadRole::audio, { [] { return nextBlockTime(); }, [] { runAudioBlock(); } });
    s.initialised = true;
}

bool isInitialised()
{
    return state().initialised.load();
}

void shutdown()
{
    auto& s = state();
    if (! s.initialised.load())
        return;
    stopDsp();
    runQuitTasks();
    auto objects = liveUserObjects();
    for (auto it = objects.rbegin(); it != objects.rend(); ++it)
        if (isLive (*it))
            object_free (*it);
    freeAllClasses();
    for (const void* x : liveObjects())
        if (isLive (x))
            object_free (const_cast<void*> (x));
    s.scheduler.stop();
    s.audio.stop();
    freeAllClocksAndQelems();
    resetMainLoop();
    shutdownDsp();
    clearAllRecordings();
    clearFaults();
    resetPaths();
    resetDictionaryRegistry();
    unbindAllSymbols();
    s.initialised = false;
}

void runOnScheduler (const std::function<void()>& work)
{
    scheduler().runAndWait (work);
}

void runOnAudioThread (const std::function<void()>& work)
{
    audio().runAndWait (work);
}

double now()
{
    return currentTime();
}

void pumpMainThread()
{
    if (! onMainThread())
    {
        detail::postText (Severity::bug, nullptr, "the main thread's work can only run on the main thread");
        return;
    }
    for (int round = 0; round < 10000; ++round)
    {
        const bool work = runMainWork();
        const bool events = pollDescriptors (0);
        if (! work && ! events)
            return;
    }
    detail::postText (Severity::bug, nullptr, "the main thread's work does not settle");
}

namespace
{
    void advanceTo (double target)
    {
        auto& s = state();
        for (long guard = 0; guard < 10000000; ++guard)
        {
            const auto block = nextBlockTime();
            const auto clock = nextClockTime();
            const bool blockDue = block && *block < target;
            const bool clockDue = clock && *clock <= target;
            if (blockDue && (! clockDue || *block <= *clock))
            {
                s.virtualNow = std::max (s.virtualNow.load(), *block);
                audio().runAndWait (runAudioBlock);
            }
            else if (clockDue)
            {
                const double time = std::max (s.virtualNow.load(), *clock);
                s.virtualNow = time;
                scheduler().runAndWait ([time] { fireDueClocks (time); });
            }
            else
            {
                break;
            }
            pumpMainThread();
        }
        s.virtualNow = std::max (s.virtualNow.load(), target);
        pumpMainThread();
    }
} // namespace

void advance (double ms)
{
    if (! onMainThread())
    {
        detail::postText (Severity::bug, nullptr, "time can only be advanced from the main thread");
        return;
    }
    if (isRealtime())
    {
        runFor (ms);
        return;
    }
    advanceTo (currentTime() + std::max (ms, 0.0));
}

void runBlocks (long blocks)
{
    if (blocks <= 0)
        return;
    if (dspRunning() && ! isRealtime())
    {
        advanceTo (blockStartTime (blocksRun() + blocks));
        return;
    }
    advance (static_cast<double> (blocks) * static_cast<double> (sys_getblksize()) * 1000.0 / sys_getsr());
}

void runFor (double ms)
{
    if (! isRealtime())
    {
        advance (ms);
        return;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration_cast<std::chrono::steady_clock::duration> (
                                                                  std::chrono::duration<double, std::milli> (std::max (ms, 0.0)));
    while (std::chrono::steady_clock::now() < deadline)
    {
        runMainWork();
        pollDescriptors (1);
    }
    pumpMainThread();
}
} // namespace maxhost
