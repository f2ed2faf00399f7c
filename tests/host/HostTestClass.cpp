#include "HostTestClass.h"

#include <chrono>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <thread>

namespace hosttest
{
namespace
{
    t_class* probeClass = nullptr;
    constexpr long signalInlets = 2;
    constexpr long signalOutlets = 2;

    std::string withRole (const char* prefix)
    {
        return std::string (prefix) + maxhost::roleName (maxhost::currentRole());
    }

    // Only "level" has it.
    t_max_err logSetter (Probe* x, t_object* attr, long ac, t_atom* av)
    {
        {
            std::lock_guard<std::mutex> lock (log().mutex);
            log().setters.push_back ({ reinterpret_cast<t_eattr*> (attr)->name->s_name, std::vector<t_atom> (av, av + ac), maxhost::currentRole() });
        }
        if (ac > 0)
            x->level = static_cast<float> (atom_getfloat (av));
        return MAX_ERR_NONE;
    }

    void probeTick (Probe* x)
    {
        addEvent (withRole ("tick:"));
        if (const int ms = log().tickDelayMs.load(); ms > 0)
        {
            std::this_thread::sleep_for (std::chrono::milliseconds (ms));
            addEvent ("tick-done");
        }
        qelem_set (x->qelem);
    }

    void probePerform (t_object* object, t_object*, double** ins, long numins, double** outs, long numouts, long frames, long, void*)
    {
        auto* x = reinterpret_cast<Probe*> (object);
        std::atomic_ref<int> (x->performing).store (1);
        std::atomic_ref<int> (x->performs).fetch_add (1);
        log().performCalls.fetch_add (1);
        log().lastFrames = frames;
        if (maxhost::currentRole() != maxhost::ThreadRole::audio)
            log().performOnAudioThread = false;
        if (numins > 0 && numouts > 0 && ins[0] == outs[0])
            log().buffersShared = true;
        if (log().performMode == PerformMode::allocate)
        {
            void* volatile p = std::malloc (64);
            std::free (p);
        }
        else if (log().performMode == PerformMode::lock)
        {
            static std::mutex m;
            std::lock_guard<std::mutex> guard (m);
        }
        else if (log().performMode == PerformMode::signalMain)
            qelem_set (x->qelem);
        for (long c = 0; c < std::min (numins, numouts); ++c)
            for (long i = 0; i < frames; ++i)
                outs[c][i] = ins[c][i] * 0.5;
        std::atomic_ref<int> (x->performing).store (0);
    }

    void probeDsp64 (Probe* x, t_object* dsp64, short* count, double sampleRate, long maxVectorSize, long)
    {
        {
            std::lock_guard<std::mutex> lock (log().mutex);
            log().dspSampleRate = sampleRate;
            log().dspMaxVectorSize = maxVectorSize;
            log().connectionCounts.assign (count, count + signalInlets + signalOutlets);
        }
        object_method (dsp64, gensym ("dsp_add64"), x, probePerform, 0L, static_cast<void*> (nullptr));
    }

    void* probeNew (t_symbol*, long argc, t_atom* argv)
    {
        auto* x = static_cast<Probe*> (object_alloc (probeClass));
        if (x == nullptr)
            return nullptr;
        x->box = gensym ("#B")->s_thing;
        x->extra = outlet_new (x, nullptr);
        x->dump = outlet_new (x, nullptr);
        x->clock = clock_new (x, asMethod (probeTick));
        x->qelem = qelem_new (x, asMethod (+[] (Probe*) { addEvent (withRole ("task:")); }));
        z_dsp_setup (&x->header, signalInlets);
        for (long i = 0; i < signalOutlets; ++i)
            outlet_new (x, "signal");
        x->header.z_misc = log().noInPlace;
        if (auto* d = object_dictionaryarg (argc, argv))
        {
            long ac = 0;
            t_atom* av = nullptr;
            dictionary_getatoms (d, gensym ("count"), &ac, &av);
            log().creationCount = maxhost::atomsToText (std::vector<t_atom> (av, av + ac));
            log().creationKeys = keysOf (d);
            attr_dictionary_process (x, d);
        }
        return x;
    }

    void probeFree (Probe* x)
    {
        z_dsp_free (&x->header);
        object_free (x->clock);
        qelem_free (x->qelem);
    }

    // Replaced whole by resetLog, which runs only while no other thread uses it.
    std::unique_ptr<Log> logInstance = std::make_unique<Log>();

    template <typename T>
    T lockedCopy (const T& recorded)
    {
        std::lock_guard<std::mutex> lock (log().mutex);
        return recorded;
    }
} // namespace

Log& log() { return *logInstance; }
void resetLog() { logInstance = std::make_unique<Log>(); }
std::vector<SetterCall> setterCalls() { return lockedCopy (log().setters); }
std::vector<std::string> events() { return lockedCopy (log().events); }

void addEvent (const std::string& event)
{
    std::lock_guard<std::mutex> lock (log().mutex);
    log().events.push_back (event);
}

t_class* registerProbeClass()
{
    auto* c = class_new ("probe~", asMethod (probeNew), asMethod (probeFree), sizeof (Probe), nullptr, A_GIMME, 0);
    c->c_flags |= CLASS_FLAG_NEWDICTIONARY;
    class_addmethod (c, asMethod (+[] (Probe* x) { outlet_int (x->dump, x->count); }), "bang", 0);
    class_addmethod (c, asMethod (+[] (Probe* x, t_symbol* s, long ac, t_atom* av) { outlet_anything (x->dump, s, static_cast<short> (ac), av); }),
                     "echo", A_GIMME, 0);
    class_addmethod (c, asMethod (+[] (Probe* x, t_symbol* s) { outlet_anything (x->extra, s, 0, nullptr); }), "name", A_SYM, 0);
    class_addmethod (c, asMethod (+[] (Probe* x, t_atom_long n) { outlet_int (x->extra, n); }), "number", A_LONG, 0);
    class_addmethod (c, asMethod (+[] (Probe* x, double ms) { clock_fdelay (x->clock, ms); }), "arm", A_FLOAT, 0);
    class_addmethod (c, asMethod (probeDsp64), "dsp64", A_CANT, 0);
    class_addmethod (c, asMethod (+[] (Probe*, void*, long kind, long index, char* text) {
                         std::snprintf (text, 512, "%s %ld", kind == 1 ? "inlet" : "outlet", index);
                     }),
                     "assist", A_CANT, 0);
    class_addmethod (c, asMethod (+[] (Probe* x, long* ac, t_atom** av) -> t_max_err {
                         *av = reinterpret_cast<t_atom*> (sysmem_newptr (sizeof (t_atom)));
                         atom_setlong (*av, x->count);
                         *ac = 1;
                         return MAX_ERR_NONE;
                     }),
                     "getvalueof", A_CANT, 0);
    class_addmethod (c, asMethod (+[] (Probe* x, long ac, t_atom* av) -> t_max_err {
                         if (ac != 1)
                             return MAX_ERR_GENERIC;
                         x->count = atom_getlong (av);
                         return MAX_ERR_NONE;
                     }),
                     "setvalueof", A_CANT, 0);

    CLASS_ATTR_LONG (c, "count", 0, Probe, count);
    CLASS_ATTR_FILTER_CLIP (c, "count", 0, 10);
    CLASS_ATTR_DEFAULT (c, "count", 0, "3");
    CLASS_ATTR_ATTR_PARSE (c, "count", "dontreset", gensym ("long"), 0, "1");

    CLASS_ATTR_FLOAT (c, "level", ATTR_SET_DEFER_LOW, Probe, level);
    CLASS_ATTR_ACCESSORS (c, "level", nullptr, logSetter);
    CLASS_ATTR_FILTER_CLIP (c, "level", -60, 6);
    CLASS_ATTR_DEFAULT (c, "level", 0, "0");
    CLASS_ATTR_LABEL (c, "level", 0, "global level");

    CLASS_ATTR_DOUBLE_ARRAY (c, "colour", 0, Probe, colour, 4);
    CLASS_ATTR_DEFAULT (c, "colour", ATTR_SET_DEFER_LOW, "0.000 0.502 0.000 1.000");

    CLASS_ATTR_SYM (c, "mode", 0, Probe, mode);
    CLASS_ATTR_DEFAULT (c, "mode", 0, "peak");
    CLASS_ATTR_ENUM (c, "mode", 0, "peak rms");

    CLASS_ATTR_LONG (c, "secret", ATTR_GET_OPAQUE_USER | ATTR_SET_OPAQUE_USER, Probe, secret);

    CLASS_ATTR_FLOAT (c, "rate", 0, Probe, rate);
    CLASS_ATTR_MAX (c, "rate", 0, "3.6e+07");
    CLASS_ATTR_MIN (c, "rate", 0, "100");

    CLASS_ATTR_FLOAT_ARRAY (c, "corner", 0, Probe, corner, 2);
    CLASS_ATTR_DEFAULT (c, "corner", 0, "50 800");

    class_dspinit (c);
    class_register (CLASS_BOX, c);
    probeClass = c;
    return c;
}

void HostTest::restart (const maxhost::Options& options)
{
    maxhost::shutdown();
    resetLog();
    maxhost::initialise (options);
    registerProbeClass();
}

bool HostTest::waitUntil (const std::function<bool()>& condition, int maxMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds (maxMs);
    while (! condition())
    {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::yield();
    }
    return true;
}

void HostTest::TearDown()
{
    maxhost::shutdown();
}

Probe* HostTest::makeProbe (const std::string& args)
{
    return reinterpret_cast<Probe*> (maxhost::newObject ("probe~", args));
}

std::vector<std::string> HostTest::consoleLines()
{
    static const char* const severities[] = { "post", "warn", "error", "bug" };
    std::vector<std::string> lines;
    for (const auto& entry : maxhost::console())
        lines.push_back (severities[static_cast<int> (entry.severity)] + std::string (": ") + entry.text);
    return lines;
}

std::vector<t_atom> values (t_object* x, const char* attribute, const char* metaName, t_max_err* result)
{
    long ac = 0;
    t_atom* av = nullptr;
    const auto err = metaName == nullptr ? object_attr_getvalueof (x, gensym (attribute), &ac, &av)
                                         : object_attr_getvalueof (object_attr_get (x, gensym (attribute)), gensym (metaName), &ac, &av);
    if (result != nullptr)
        *result = err;
    std::vector<t_atom> atoms (av, av + ac);
    sysmem_freeptr (av);
    return atoms;
}

std::vector<std::string> names (long count, t_symbol** symbols)
{
    std::vector<std::string> texts;
    for (long i = 0; i < count; ++i)
        texts.push_back (symbols[i]->s_name);
    return texts;
}

std::vector<std::string> keysOf (t_dictionary* d)
{
    long count = 0;
    t_symbol** keys = nullptr;
    dictionary_getkeys_ordered (d, &count, &keys);
    auto texts = names (count, keys);
    dictionary_freekeys (d, count, keys);
    return texts;
}
} // namespace hosttest
