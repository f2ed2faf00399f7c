// The host's internal state, shared by its sources.
#pragma once

#include "ext.h"
#include "ext_dictobj.h"
#include "ext_mainloop.h"
#include "ext_obex.h"
#include "maxhost_test.h"
#include "z_dsp.h"

#include <atomic>
#include <condition_variable>
#include <cstdarg>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <unordered_set>
#include <vector>

namespace maxhost::detail
{
// Registered routines are stored untyped and called through their own signature.
template <typename Function>
Function typed (method m)
{
    return reinterpret_cast<Function> (reinterpret_cast<void (*)()> (m));
}

enum class Kind
{
    user,
    attribute,
    dictionary,
    atomarray,
    binbuf,
    clock,
    box,
    chain
};

struct Method
{
    method fn = nullptr;
    std::vector<short> types;
};

struct ClassData
{
    method creator = nullptr;
    method destructor = nullptr;
    std::vector<short> creatorTypes;
    std::map<t_symbol*, Method> methods;
    std::vector<t_object*> attributes;   // registration order, owned
    t_symbol* nameSpace = nullptr;
    bool dsp = false;
    bool internal = false;
};

struct ObjectData
{
    Kind kind = Kind::user;
    std::vector<t_outlet*> outlets;      // left to right
    std::map<t_symbol*, t_object*> obex;
    std::vector<t_object*> attributes;   // the object's own, in order of addition, owned
    t_object* box = nullptr;
    // Change notifications: how many there were, and only the latest few, so
    // that a long run full of changes keeps its memory flat.
    size_t notificationCount = 0;
    std::deque<t_symbol*> latestNotifications;
    int signalInlets = 0;
};

struct AttributeObject
{
    t_eattr rec;
    std::vector<t_atom> stored;          // the value when the attribute stores it itself
    long offsetCount = 0;
    bool clip = false;
    double minimum = 0.0, maximum = 0.0;
    bool useMinimum = false, useMaximum = false;
};

// Built-in object kinds, each a record starting with the object header.
struct OutletData;

ObjectData* dataOf (const void* x);
ClassData* classDataOf (const t_class* c);
bool isLive (const void* x);
// False, with a report, for a pointer that is not a live object.
bool checkLive (const void* x, const char* call);
bool isKind (const void* x, Kind kind);
// A host object of a built-in kind (attribute, dictionary, ...), registered live.
void registerObject (t_object* x, t_class* c, Kind kind);
void unregisterObject (t_object* x);
t_class* internalClass (Kind kind);
void freeObjectData (t_object* x);

// Attributes
t_object* findAttribute (const void* x, t_symbol* name);
AttributeObject* asAttribute (const void* attr);
void freeAttribute (t_object* attr);
std::vector<t_atom> readAttribute (t_object* owner, AttributeObject* attr);
t_max_err setAttribute (t_object* owner, t_object* attr, long ac, const t_atom* av);
std::vector<t_atom> convertToType (const std::vector<t_atom>& atoms, t_symbol* type);
// A symbol atom that begins "@name" in a box's arguments; a symbol atom without a symbol is none.
bool isAttributeKey (const t_atom& atom);

// Containers
void freeDictionary (t_object* d);
void freeAtomArray (t_object* a);
void freeBinbuf (t_object* b);

// Messages
t_max_err dispatchMessage (t_object* x, t_symbol* s, long ac, const t_atom* av);
void* callCantMethod (t_object* x, t_symbol* s, const Method& m, va_list args);

// Console and recordings
void postEntry (Severity severity, t_object* x, const char* fmt, va_list args);
void postText (Severity severity, t_object* x, const std::string& text);
std::string formatText (const char* fmt, va_list args);
void recordOutlet (t_outlet* o, t_symbol* s, long ac, const t_atom* av);
void recordNotification (t_object* x, t_symbol* s);
void freeOutlets (t_object* x);
std::string floatText (double value);

// Faults
bool shouldFail (const char* call, const std::string& name);

// Threads
void setRole (ThreadRole role);
bool onMainThread();
void queueOnMain (t_object* owner, std::function<void()> work);
void cancelMainWork (t_object* owner);
bool runMainWork();
double currentTime();
bool isRealtime();

// Runs tasks on one thread, and in free-running mode wakes at the deadline
// that its tick names.
class Worker
{
public:
    struct Tick
    {
        std::function<std::optional<double>()> deadline;   // host time in ms
        std::function<void()> fire;
    };

    void start (ThreadRole role, Tick tick);
    void stop();
    void runAndWait (const std::function<void()>& work);
    void wake();
    bool isOwnThread() const { return std::this_thread::get_id() == threadId.load(); }

private:
    void loop (ThreadRole role);

    std::thread thread;
    std::atomic<std::thread::id> threadId {};
    std::mutex mutex;
    std::condition_variable condition;
    std::deque<std::function<void()>*> tasks;
    long long finished = 0, posted = 0, wakeups = 0;
    bool stopping = false;
    Tick tick;
};

Worker& scheduler();
Worker& audio();

// Clocks
void fireDueClocks (double time);
std::optional<double> nextClockTime();
void freeClock (t_object* c);
void freeAllClocksAndQelems();

// DSP
void dspObjectFreed (t_object* x);
void runAudioBlock();
std::optional<double> nextBlockTime();
double blockStartTime (long index);
void shutdownDsp();
void addToChain (t_object* chain, t_object* x, t_perfroutine64 f, long flags, void* userparam);

// Paths
void resetPaths();

// Main loop
bool pollDescriptors (int timeoutMs);
void resetMainLoop();
// On the main thread: its pending work, then every plug-in's pending drawing.
void finishPendingDrawing();
void runQuitTasks();

// Dictionaries
void resetDictionaryRegistry();
void setupX11();
} // namespace maxhost::detail

struct _outlet
{
    t_object* owner;
    bool signal;
};
