// Signal processing: signal objects, the chain built by their dsp64
// routines, and the audio thread that runs it block by block.
#include "Host.h"

#include <algorithm>
#include <cmath>

#if MAXHOST_RTSAN
// Present when the executable links the real-time sanitizer's runtime.
extern "C" void __rtsan_realtime_enter() __attribute__ ((weak));
extern "C" void __rtsan_realtime_exit() __attribute__ ((weak));
#endif

namespace maxhost::detail
{
namespace
{
    struct Generator
    {
        SignalSource source;
        double phase = 0.0;
        unsigned long long noiseState = 0x9E3779B97F4A7C15ull;
    };

    struct DspObject
    {
        t_object* object;
        std::vector<Generator> inlets;
        std::vector<bool> outletConnected;
        std::vector<std::vector<double>> inBuffers, outBuffers;
        std::vector<double*> ins, outs;
        std::atomic<bool> removed { false };
        std::vector<double> peak, sumOfSquares;
        long long samples = 0;
    };

    struct ChainEntry
    {
        std::shared_ptr<DspObject> object;
        t_perfroutine64 perform;
        long flags;
        void* userparam;
    };

    struct Dsp
    {
        std::mutex mutex;
        std::vector<std::shared_ptr<DspObject>> objects;   // creation order
        std::vector<std::shared_ptr<DspObject>> active;    // in the running chain
        std::vector<ChainEntry> chain;
        t_object* chainObject = nullptr;
        std::atomic<bool> running { false };
        std::atomic<long> dspState { 0 };
        std::atomic<double> sampleRate { 44100.0 };
        std::atomic<long> blockSize { 64 };
        std::atomic<long> blocks { 0 };
        double startTime = 0.0;
        long runningBlockSize = 64;
        double runningSampleRate = 44100.0;

        std::atomic<long long> blocksStarted { 0 };
        std::atomic<long long> blocksDone { 0 };
        std::mutex doneMutex;
        std::condition_variable doneCondition;

        std::mutex measureMutex;
    };

    Dsp& dsp()
    {
        static auto* d = new Dsp();
        return *d;
    }

    std::shared_ptr<DspObject> findDspObject (const t_object* x)
    {
        auto& d = dsp();
        std::lock_guard<std::mutex> lock (d.mutex);
        for (auto& o : d.objects)
            if (o->object == x)
                return o;
        return nullptr;
    }

    int signalOutletCount (t_object* x)
    {
        auto* data = dataOf (x);
        if (data == nullptr)
            return 0;
        return static_cast<int> (std::count_if (data->outlets.begin(), data->outlets.end(), [] (t_outlet* o) { return o->signal; }));
    }

    t_pxobject* header (t_object* x)
    {
        return reinterpret_cast<t_pxobject*> (x);
    }

    void enterRealtime()
    {
#if MAXHOST_RTSAN
        if (__rtsan_realtime_enter != nullptr)
            __rtsan_realtime_enter();
#endif
    }

    void exitRealtime()
    {
#if MAXHOST_RTSAN
        if (__rtsan_realtime_exit != nullptr)
            __rtsan_realtime_exit();
#endif
    }

    void generate (Generator& g, double* buffer, long n, double sampleRate)
    {
        const double amplitude = std::pow (10.0, g.source.decibels / 20.0);
        switch (g.source.kind)
        {
            case SignalSource::off: std::fill (buffer, buffer + n, 0.0); break;
            case SignalSource::dc: std::fill (buffer, buffer + n, g.source.value); break;
            case SignalSource::sine:
            {
                const double increment = 2.0 * M_PI * g.source.frequency / sampleRate;
                for (long i = 0; i < n; ++i)
                {
                    buffer[i] = amplitude * std::sin (g.phase);
                    g.phase = std::fmod (g.phase + increment, 2.0 * M_PI);
                }
                break;
            }
            case SignalSource::noise:
                for (long i = 0; i < n; ++i)
                {
                    g.noiseState ^= g.noiseState >> 12;
                    g.noiseState ^= g.noiseState << 25;
                    g.noiseState ^= g.noiseState >> 27;
                    const auto r = (g.noiseState * 2685821657736338717ull) >> 11;
                    buffer[i] = amplitude * (2.0 * (static_cast<double> (r) / 9007199254740992.0) - 1.0);
                }
                break;
        }
    }

    // Returns when no block that could still see the object's perform routine is running.
    void waitForBlocksToPass()
    {
        auto& d = dsp();
        if (audio().isOwnThread())
            return;
        const auto started = d.blocksStarted.load();
        std::unique_lock<std::mutex> lock (d.doneMutex);
        d.doneCondition.wait (lock, [&] { return d.blocksDone.load() >= started; });
    }

    void removeDspObject (t_object* x)
    {
        auto& d = dsp();
        std::shared_ptr<DspObject> found;
        {
            std::lock_guard<std::mutex> lock (d.mutex);
            auto it = std::find_if (d.objects.begin(), d.objects.end(), [x] (auto& o) { return o->object == x; });
            if (it == d.objects.end())
                return;
            found = *it;
            d.objects.erase (it);
        }
        found->removed.store (true);
        waitForBlocksToPass();
    }

    void restartIfRunning()
    {
        if (dsp().running.load())
            startDsp();
    }
} // namespace

void resetDsp (const Options& options)
{
    auto& d = dsp();
    d.running = false;
    d.dspState = 0;
    d.sampleRate = options.sampleRate > 0.0 ? options.sampleRate : 44100.0;
    d.blockSize = options.blockSize;
    d.blocks = 0;
    {
        std::lock_guard<std::mutex> lock (d.mutex);
        d.objects.clear();
        d.active.clear();
        d.chain.clear();
    }
    d.chainObject = new t_object();
    registerObject (d.chainObject, internalClass (Kind::chain), Kind::chain);
}

void shutdownDsp()
{
    auto& d = dsp();
    std::lock_guard<std::mutex> lock (d.mutex);
    d.objects.clear();
    d.active.clear();
    d.chain.clear();
    d.chainObject = nullptr;
}

void dspObjectFreed (t_object* x)
{
    removeDspObject (x);
}

void addToChain (t_object*, t_object* x, t_perfroutine64 f, long flags, void* userparam)
{
    auto found = findDspObject (x);
    if (found == nullptr || f == nullptr)
    {
        postText (Severity::bug, x, "dsp_add64: not a signal object, or no perform routine");
        return;
    }
    dsp().chain.push_back ({ found, f, flags, userparam });
}

std::optional<double> nextBlockTime()
{
    if (! dsp().running.load())
        return std::nullopt;
    return blockStartTime (dsp().blocks.load());
}

double blockStartTime (long index)
{
    auto& d = dsp();
    return d.startTime + static_cast<double> (index) * static_cast<double> (d.runningBlockSize) * 1000.0 / d.runningSampleRate;
}

void runAudioBlock()
{
    auto& d = dsp();
    if (! d.running.load())
        return;
    const long long serial = d.blocksStarted.fetch_add (1) + 1;
    const long n = d.runningBlockSize;

    for (auto& o : d.active)
    {
        if (o->removed.load())
            continue;
        for (size_t i = 0; i < o->inlets.size(); ++i)
            generate (o->inlets[i], o->ins[i], n, d.runningSampleRate);
        for (size_t i = 0; i < o->outs.size(); ++i)
            if (i >= o->ins.size() || o->outs[i] != o->ins[i])
                std::fill (o->outs[i], o->outs[i] + n, 0.0);
    }

    for (auto& entry : d.chain)
    {
        auto& o = *entry.object;
        if (o.removed.load())
            continue;
        auto* h = header (o.object);
        if (h->z_disabled != 0 && (h->z_misc & Z_IGNORE_DISABLE) == 0)
            continue;
        enterRealtime();
        entry.perform (o.object, d.chainObject, o.ins.data(), static_cast<long> (o.ins.size()), o.outs.data(), static_cast<long> (o.outs.size()),
                       n, entry.flags, entry.userparam);
        exitRealtime();
    }

    {
        std::lock_guard<std::mutex> lock (d.measureMutex);
        for (auto& o : d.active)
        {
            if (o->removed.load())
                continue;
            for (size_t i = 0; i < o->outs.size(); ++i)
            {
                for (long k = 0; k < n; ++k)
                {
                    const double v = o->outs[i][k];
                    o->peak[i] = std::max (o->peak[i], std::abs (v));
                    o->sumOfSquares[i] += v * v;
                }
            }
            o->samples += n;
        }
    }

    d.blocks.fetch_add (1);
    {
        std::lock_guard<std::mutex> lock (d.doneMutex);
        d.blocksDone.store (serial);
    }
    d.doneCondition.notify_all();
}
} // namespace maxhost::detail

using namespace maxhost::detail;

extern "C" {

void class_dspinit (t_class* c)
{
    if (auto* data = classDataOf (c))
        data->dsp = true;
}

void class_dspinitjbox (t_class* c)
{
    class_dspinit (c);
}

void z_dsp_setup (t_pxobject* x, long nsignals)
{
    if (x == nullptr || ! isLive (x))
        return;
    auto object = std::make_shared<DspObject>();
    object->object = &x->z_ob;
    object->inlets.resize (static_cast<size_t> (std::max (nsignals, 0L)));
    x->z_in = std::max (nsignals, 0L);
    x->z_disabled = 0;
    dataOf (x)->signalInlets = static_cast<int> (object->inlets.size());
    auto& d = dsp();
    std::lock_guard<std::mutex> lock (d.mutex);
    d.objects.push_back (object);
}

void z_dsp_free (t_pxobject* x)
{
    if (x != nullptr)
        removeDspObject (&x->z_ob);
}

void dsp_add64 (t_object* dsp64, t_object* x, t_perfroutine64 f, long flags, void* userparam)
{
    addToChain (dsp64, x, f, flags, userparam);
}

double sys_getsr()
{
    return dsp().sampleRate.load();
}

int sys_getblksize()
{
    return static_cast<int> (dsp().blockSize.load());
}

int sys_getmaxblksize()
{
    return sys_getblksize();
}

long sys_getdspstate()
{
    return dsp().dspState.load();
}

} // extern "C"

namespace maxhost
{
void setSampleRate (double sampleRate)
{
    if (sampleRate > 0.0)
        detail::dsp().sampleRate = sampleRate;
    restartIfRunning();
}

void setBlockSize (long blockSize)
{
    detail::dsp().blockSize = blockSize;
    restartIfRunning();
}

void setDspState (long state)
{
    detail::dsp().dspState = state;
}

bool dspRunning()
{
    return detail::dsp().running.load();
}

long blocksRun()
{
    return detail::dsp().blocks.load();
}

void stopDsp()
{
    auto& d = detail::dsp();
    d.running = false;
    audio().runAndWait ([] {});   // the block in progress, if any, has ended
    std::lock_guard<std::mutex> lock (d.mutex);
    d.chain.clear();
    d.active.clear();
    d.dspState = 0;
}

void startDsp()
{
    auto& d = detail::dsp();
    stopDsp();
    // Blocks are at least one sample long; a host that reports less still runs.
    d.runningBlockSize = std::max (d.blockSize.load(), 1L);
    d.runningSampleRate = d.sampleRate.load();
    std::vector<std::shared_ptr<DspObject>> objects;
    {
        std::lock_guard<std::mutex> lock (d.mutex);
        objects = d.objects;
    }
    auto placement = [] (const std::shared_ptr<DspObject>& o)
    {
        const short misc = header (o->object)->z_misc;
        return (misc & Z_PUT_FIRST) != 0 ? 0 : (misc & Z_PUT_LAST) != 0 ? 2 : 1;
    };
    std::stable_sort (objects.begin(), objects.end(), [&] (auto& a, auto& b) { return placement (a) < placement (b); });

    d.dspState = 1;
    for (auto& o : objects)
    {
        auto* x = o->object;
        const auto nin = o->inlets.size();
        const auto nout = static_cast<size_t> (signalOutletCount (x));
        const auto n = static_cast<size_t> (d.runningBlockSize);
        o->inBuffers.assign (nin, std::vector<double> (n, 0.0));
        o->outBuffers.assign (nout, std::vector<double> (n, 0.0));
        o->outletConnected.resize (nout, true);
        o->ins.clear();
        o->outs.clear();
        for (auto& b : o->inBuffers)
            o->ins.push_back (b.data());
        const bool inPlace = (header (x)->z_misc & Z_NO_INPLACE) == 0;
        for (size_t i = 0; i < nout; ++i)
            o->outs.push_back (inPlace && i < nin ? o->ins[i] : o->outBuffers[i].data());
        o->peak.assign (nout, 0.0);
        o->sumOfSquares.assign (nout, 0.0);
        o->samples = 0;
        d.active.push_back (o);

        // Connection counts: the inlets, then the outlets.
        std::vector<short> counts;
        for (auto& g : o->inlets)
            counts.push_back (g.source.kind == SignalSource::off ? 0 : 1);
        for (size_t i = 0; i < nout; ++i)
            counts.push_back (o->outletConnected[i] ? 1 : 0);
        counts.push_back (0);

        if (auto* classData = classDataOf (x->o_class))
        {
            auto it = classData->methods.find (gensym ("dsp64"));
            if (it != classData->methods.end())
                typed<void (*) (t_object*, t_object*, short*, double, long, long)> (it->second.fn) (
                    x, d.chainObject, counts.data(), d.runningSampleRate, d.runningBlockSize, 0);
        }
    }
    d.blocks = 0;
    d.startTime = currentTime();
    d.running = true;
    if (isRealtime())
        audio().wake();
}

void setSignal (t_object* x, int inlet, const SignalSource& source)
{
    auto o = findDspObject (x);
    if (o == nullptr || inlet < 1 || inlet > static_cast<int> (o->inlets.size()))
    {
        detail::postText (Severity::bug, x, "setSignal: no such signal inlet");
        return;
    }
    const bool running = dspRunning();
    if (running)
        stopDsp();
    o->inlets[static_cast<size_t> (inlet - 1)] = Generator { source, 0.0, 0x9E3779B97F4A7C15ull ^ static_cast<unsigned long long> (inlet) };
    if (running)
        startDsp();
}

void setOutletConnected (t_object* x, int signalOutlet, bool connected)
{
    auto o = findDspObject (x);
    if (o == nullptr || signalOutlet < 1)
        return;
    const bool running = dspRunning();
    if (running)
        stopDsp();
    const auto n = static_cast<size_t> (std::max (signalOutletCount (x), signalOutlet));
    o->outletConnected.resize (n, true);
    o->outletConnected[static_cast<size_t> (signalOutlet - 1)] = connected;
    if (running)
        startDsp();
}

std::vector<Level> measure (t_object* x)
{
    std::vector<Level> levels;
    auto o = findDspObject (x);
    if (o == nullptr)
        return levels;
    std::lock_guard<std::mutex> lock (detail::dsp().measureMutex);
    for (size_t i = 0; i < o->peak.size(); ++i)
        levels.push_back ({ o->peak[i], o->samples > 0 ? std::sqrt (o->sumOfSquares[i] / static_cast<double> (o->samples)) : 0.0 });
    return levels;
}

void resetMeasurements()
{
    auto& d = detail::dsp();
    std::vector<std::shared_ptr<DspObject>> objects;
    {
        std::lock_guard<std::mutex> lock (d.mutex);
        objects = d.objects;
    }
    std::lock_guard<std::mutex> lock (d.measureMutex);
    for (auto& o : objects)
    {
        std::fill (o->peak.begin(), o->peak.end(), 0.0);
        std::fill (o->sumOfSquares.begin(), o->sumOfSquares.end(), 0.0);
        o->samples = 0;
    }
}

std::vector<double> lastOutput (t_object* x, int signalOutlet)
{
    auto o = findDspObject (x);
    if (o == nullptr || signalOutlet < 1 || signalOutlet > static_cast<int> (o->outs.size()))
        return {};
    std::lock_guard<std::mutex> lock (detail::dsp().measureMutex);
    auto* buffer = o->outs[static_cast<size_t> (signalOutlet - 1)];
    return std::vector<double> (buffer, buffer + detail::dsp().runningBlockSize);
}
} // namespace maxhost
