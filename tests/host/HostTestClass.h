// A small object class for the host's tests, registered in-process.
#pragma once

#include "ext.h"
#include "ext_dictobj.h"
#include "ext_mainloop.h"
#include "ext_obex.h"
#include "maxhost_test.h"
#include "z_dsp.h"

#include <atomic>
#include <functional>
#include <gtest/gtest.h>
#include <mutex>
#include <string>
#include <vector>

namespace hosttest
{
struct Probe
{
    t_pxobject header;
    t_object* box;              // what "#B" held while the object was made
    t_atom_long count;          // "count": long, clipped to 0..10, default 3
    float level;                // "level": float32, deferred setter, clipped to -60..6
    double colour[4];           // "colour": 4 float64, default "0.000 0.502 0.000 1.000"
    t_symbol* mode;             // "mode": symbol, default "peak"
    t_atom_long secret;         // "secret": opaque to the user
    float rate;                 // "rate": float32, maxvalue meta "3.6e+07"
    float corner[2];            // "corner": 2 float32, default "50 800"
    void* dump;
    void* extra;
    t_clock* clock;
    t_qelem* qelem;
    int performs;               // counted by the perform routine (atomically)
    int performing;
};

struct SetterCall
{
    std::string attribute;
    std::vector<t_atom> values;
    maxhost::ThreadRole role;
};

// signalMain sets the object's queue element, which must be safe in real time.
enum class PerformMode { copy, allocate, lock, signalMain };

struct Log
{
    std::mutex mutex;
    std::vector<SetterCall> setters;
    std::vector<std::string> events;   // "tick:<role>", "task:<role>", "deferred:<role>:<sym>"
    std::vector<std::string> creationKeys;   // of the probe's creation dictionary, and its "count"
    std::string creationCount;
    std::vector<short> connectionCounts;
    double dspSampleRate = 0.0;
    long dspMaxVectorSize = 0;
    std::atomic<int> performCalls { 0 };
    std::atomic<bool> performOnAudioThread { true };
    std::atomic<bool> buffersShared { false };
    std::atomic<long> lastFrames { 0 };
    std::atomic<int> tickDelayMs { 0 };
    PerformMode performMode = PerformMode::copy;
    short noInPlace = Z_NO_INPLACE;
};

Log& log();
t_class* registerProbeClass();
void resetLog();
std::vector<SetterCall> setterCalls();
std::vector<std::string> events();
void addEvent (const std::string& event);

template <typename Function>
method asMethod (Function f)
{
    return reinterpret_cast<method> (reinterpret_cast<void (*)()> (f));
}

// Starts the host with the probe class registered, and stops it afterwards.
class HostTest : public ::testing::Test
{
protected:
    void SetUp() override { restart(); }
    void TearDown() override;
    static void restart (const maxhost::Options& options = {});

    /** Waits, for at most about maxMs, until another thread has made the condition true. */
    static bool waitUntil (const std::function<bool()>& condition, int maxMs = 5000);

    Probe* makeProbe (const std::string& args = {});
    // Every console entry as "<severity>: <text>".
    static std::vector<std::string> consoleLines();
};

// The value of an attribute, or with a meta name the value of that meta-attribute.
std::vector<t_atom> values (t_object* x, const char* attribute, const char* metaName = nullptr, t_max_err* result = nullptr);
// The texts of a symbol array, such as attribute names or dictionary keys.
std::vector<std::string> names (long count, t_symbol** symbols);
std::vector<std::string> keysOf (t_dictionary* d);
} // namespace hosttest
