// Control of the stand-in host for tests and the driver: starting and
// stopping it, time, audio, recordings, fault injection and scripted dialogs.
#pragma once

#include "ext.h"
#include "ext_obex.h"

#include <functional>
#include <map>
#include <string>
#include <vector>

#pragma GCC visibility push(default)

namespace maxhost
{
enum class ThreadRole
{
    main,
    scheduler,
    audio,
    other
};

const char* roleName (ThreadRole role);

enum class Severity
{
    post,
    warn,
    error,
    bug
};

struct ConsoleEntry
{
    Severity severity;
    t_object* object;     // null when the post names no object
    std::string text;
    ThreadRole role;
};

struct OutletEvent
{
    t_object* object;
    int outlet;           // counted from the left, from 1
    std::string selector;
    std::vector<t_atom> atoms;
    ThreadRole role;
};

struct Options
{
    double sampleRate = 44100.0;
    long blockSize = 64;
    bool realtime = false;   // free-running time instead of virtual time
};

// Starts the scheduler and audio threads; the calling thread becomes the
// main thread. X11 is prepared for threads before any plug-in loads.
void initialise (const Options& options = {});
// Frees what is left (objects, classes, clocks, queues, named dictionaries)
// and stops the threads. Classes do not outlive it: after the next
// initialise, a plug-in registers its classes again (its main is called again).
void shutdown();
bool isInitialised();

ThreadRole currentRole();

// Recordings. The listener is called for every event, in order, on the thread
// that caused it, before the call that caused it returns, with an event of its
// own: it may post, send or clear the recordings meanwhile.
using EventListener = std::function<void (const ConsoleEntry*, const OutletEvent*)>;
void setEventListener (EventListener listener);
std::vector<ConsoleEntry> console();
std::vector<OutletEvent> outletEvents();
void clearRecordings();
// The change notifications an object received: the latest ones (at most
// latestNotificationsKept, oldest first), and how many there were in all.
constexpr size_t latestNotificationsKept = 16;
std::vector<t_symbol*> notifications (t_object* x);
size_t notificationCount (t_object* x);

// Text as a message box parses it: integers are longs, numbers with a point
// or an exponent floats, anything else symbols.
std::vector<t_atom> parseAtoms (const std::string& text);
// Atoms as the console prints them (floats with their trailing zeros removed).
std::string atomsToText (const std::vector<t_atom>& atoms);

// Objects and messages.
t_object* newObject (const std::string& className, const std::vector<t_atom>& args = {});
t_object* newObject (const std::string& className, const std::string& argText);
t_object* boxOf (t_object* x);
void send (t_object* x, const std::string& selector, const std::vector<t_atom>& args = {});
void sendFromScheduler (t_object* x, const std::string& selector, const std::vector<t_atom>& args = {});
void runOnScheduler (const std::function<void()>& work);
void runOnAudioThread (const std::function<void()>& work);
int outletCount (t_object* x);
bool outletIsSignal (t_object* x, int outlet);   // from 1, left to right
int signalInletCount (t_object* x);
std::string assist (t_object* x, long kind, long index);
// The messages a class registered, by name, with their argument types (A_CANT
// alone marks one that only the host sends).
std::map<std::string, std::vector<short>> classMessages (const t_class* c);

// Time. In virtual time each call returns when its work is done: blocks, the
// clocks due in that time and the main-thread work in between. In real time,
// runFor lets the threads run free while the main loop serves the caller.
void advance (double ms);
void runBlocks (long blocks);
void runFor (double ms);
double now();
// Runs the main thread's pending work: queued calls, queue elements and the
// registered file descriptors that are readable.
void pumpMainThread();

// Audio.
void setSampleRate (double sampleRate);
void setBlockSize (long blockSize);
void setDspState (long state);          // what sys_getdspstate answers, without starting audio
void startDsp();                          // calls every signal object's dsp64, then runs blocks
void stopDsp();
bool dspRunning();
long blocksRun();

struct SignalSource
{
    enum Kind
    {
        off,
        sine,
        noise,
        dc
    } kind = off;
    double frequency = 0.0;
    double decibels = 0.0;
    double value = 0.0;
};
void setSignal (t_object* x, int inlet, const SignalSource& source);   // inlets from 1
void setOutletConnected (t_object* x, int signalOutlet, bool connected);   // signal outlets from 1
struct Level
{
    double peak;
    double rms;
};
std::vector<Level> measure (t_object* x);   // each signal outlet since resetMeasurements
void resetMeasurements();
std::vector<double> lastOutput (t_object* x, int signalOutlet);

// Faults: the named call fails for the given name (a method, attribute or
// class name; "" for any) the given number of times, or always (-1).
// Calls: class_new, class_addmethod, class_addattr, object_alloc,
// object_new, sysmem_newptr, outlet_new, clock_new, qelem_new, dictionary_new,
// object_attr_setvalueof, dictobj_register;
// object_attr_getvalueof (by attribute or meta-attribute name, answering
// MAX_ERR_OUT_OF_MEM), dictionary_getkeys and dictionary_getkeys_ordered (by
// the dictionary's registered name, MAX_ERR_OUT_OF_MEM), dictionary_getatom
// (by key, MAX_ERR_GENERIC).
void failCall (const std::string& call, const std::string& name, int times = -1);
void clearFaults();

// The answer of the next save dialog: a path, or "cancelled".
void setDialogAnswer (const std::string& answer);
int dialogsShown();

// Screenshots of an object's window (needs an X display); false with a reason.
bool screenshot (t_object* x, const std::string& pngPath, std::string& reason);
} // namespace maxhost

#pragma GCC visibility pop
