// The console, outlets and the recordings of what objects post, send and
// notify; fault injection.
#include "Host.h"

#include <algorithm>
#include <cstdio>

namespace maxhost::detail
{
namespace
{
    struct Recordings
    {
        // Recursive: a listener may call back into the host on its own thread.
        std::recursive_mutex mutex;
        std::vector<ConsoleEntry> console;
        std::vector<OutletEvent> outlets;
        EventListener listener;
    };

    Recordings& recordings()
    {
        static auto* r = new Recordings();
        return *r;
    }

    struct Fault
    {
        std::string call;
        std::string name;
        int remaining;
    };

    struct Faults
    {
        std::mutex mutex;
        std::vector<Fault> faults;
    };

    Faults& faults()
    {
        static auto* f = new Faults();
        return *f;
    }
} // namespace

std::string formatText (const char* fmt, va_list args)
{
    if (fmt == nullptr)
        return {};
    va_list copy;
    va_copy (copy, args);
    const int size = std::vsnprintf (nullptr, 0, fmt, copy);
    va_end (copy);
    if (size <= 0)
        return {};
    std::string text (static_cast<size_t> (size) + 1, '\0');
    std::vsnprintf (text.data(), text.size(), fmt, args);
    text.resize (static_cast<size_t> (size));
    return text;
}

void postText (Severity severity, t_object* x, const std::string& text)
{
    auto& r = recordings();
    std::lock_guard<std::recursive_mutex> lock (r.mutex);
    // The listener gets a copy of its own: while it holds it, it may post
    // again or clear the recordings.
    const ConsoleEntry entry { severity, x, text, currentRole() };
    r.console.push_back (entry);
    if (r.listener)
        r.listener (&entry, nullptr);
}

void postEntry (Severity severity, t_object* x, const char* fmt, va_list args)
{
    postText (severity, x, formatText (fmt, args));
}

void recordOutlet (t_outlet* o, t_symbol* s, long ac, const t_atom* av)
{
    if (o == nullptr)
        return;
    auto& r = recordings();
    std::lock_guard<std::recursive_mutex> lock (r.mutex);
    OutletEvent event;
    event.object = o->owner;
    event.outlet = 0;
    if (auto* data = dataOf (o->owner))
    {
        auto it = std::find (data->outlets.begin(), data->outlets.end(), o);
        event.outlet = it != data->outlets.end() ? static_cast<int> (it - data->outlets.begin()) + 1 : 0;
    }
    event.selector = s != nullptr ? s->s_name : "";
    if (ac > 0 && av != nullptr)
        event.atoms.assign (av, av + ac);
    event.role = currentRole();
    r.outlets.push_back (event);
    if (r.listener)
        r.listener (nullptr, &event);
}

void recordNotification (t_object* x, t_symbol* s)
{
    auto& r = recordings();
    std::lock_guard<std::recursive_mutex> lock (r.mutex);
    if (auto* data = dataOf (x))
    {
        ++data->notificationCount;
        data->latestNotifications.push_back (s);
        if (data->latestNotifications.size() > latestNotificationsKept)
            data->latestNotifications.pop_front();
    }
}

void freeOutlets (t_object* x)
{
    auto& r = recordings();
    std::lock_guard<std::recursive_mutex> lock (r.mutex);
    if (auto* data = dataOf (x))
    {
        for (auto* o : data->outlets)
            delete o;
        data->outlets.clear();
    }
}

bool shouldFail (const char* call, const std::string& name)
{
    auto& f = faults();
    std::lock_guard<std::mutex> lock (f.mutex);
    for (auto& fault : f.faults)
    {
        if (fault.call == call && (fault.name.empty() || fault.name == name) && fault.remaining != 0)
        {
            if (fault.remaining > 0)
                --fault.remaining;
            return true;
        }
    }
    return false;
}

void clearAllRecordings()
{
    auto& r = recordings();
    std::lock_guard<std::recursive_mutex> lock (r.mutex);
    r.console.clear();
    r.outlets.clear();
    r.listener = nullptr;
}
} // namespace maxhost::detail

using namespace maxhost::detail;
using maxhost::Severity;

extern "C" {

void post (const char* fmt, ...)
{
    va_list args;
    va_start (args, fmt);
    postEntry (Severity::post, nullptr, fmt, args);
    va_end (args);
}

void cpost (const char* fmt, ...)
{
    va_list args;
    va_start (args, fmt);
    std::vfprintf (stderr, fmt, args);
    va_end (args);
}

void error (const char* fmt, ...)
{
    va_list args;
    va_start (args, fmt);
    postEntry (Severity::error, nullptr, fmt, args);
    va_end (args);
}

void object_post (t_object* x, const char* fmt, ...)
{
    va_list args;
    va_start (args, fmt);
    postEntry (Severity::post, x, fmt, args);
    va_end (args);
}

void object_warn (t_object* x, const char* fmt, ...)
{
    va_list args;
    va_start (args, fmt);
    postEntry (Severity::warn, x, fmt, args);
    va_end (args);
}

void object_error (t_object* x, const char* fmt, ...)
{
    va_list args;
    va_start (args, fmt);
    postEntry (Severity::error, x, fmt, args);
    va_end (args);
}

void object_bug (t_object* x, const char* fmt, ...)
{
    va_list args;
    va_start (args, fmt);
    postEntry (Severity::bug, x, fmt, args);
    va_end (args);
}

void* outlet_new (void* x, const char* type)
{
    auto* data = isLive (x) ? dataOf (x) : nullptr;
    if (data == nullptr || shouldFail ("outlet_new", object_classname (x) != nullptr ? object_classname (x)->s_name : ""))
        return nullptr;
    auto* o = new t_outlet { static_cast<t_object*> (x), type != nullptr && std::string (type).find ("signal") != std::string::npos };
    {
        std::lock_guard<std::recursive_mutex> lock (recordings().mutex);
        data->outlets.insert (data->outlets.begin(), o);
    }
    return o;
}

void* outlet_bang (void* o)
{
    recordOutlet (static_cast<t_outlet*> (o), gensym ("bang"), 0, nullptr);
    return nullptr;
}

void* outlet_int (void* o, t_atom_long n)
{
    t_atom atom;
    atom_setlong (&atom, n);
    recordOutlet (static_cast<t_outlet*> (o), gensym ("int"), 1, &atom);
    return nullptr;
}

void* outlet_float (void* o, double f)
{
    t_atom atom;
    atom_setfloat (&atom, f);
    recordOutlet (static_cast<t_outlet*> (o), gensym ("float"), 1, &atom);
    return nullptr;
}

void* outlet_list (void* o, t_symbol*, short ac, t_atom* av)
{
    recordOutlet (static_cast<t_outlet*> (o), gensym ("list"), ac, av);
    return nullptr;
}

void* outlet_anything (void* o, t_symbol* s, short ac, t_atom* av)
{
    recordOutlet (static_cast<t_outlet*> (o), s, ac, av);
    return nullptr;
}

} // extern "C"

namespace maxhost
{
const char* roleName (ThreadRole role)
{
    switch (role)
    {
        case ThreadRole::main: return "main";
        case ThreadRole::scheduler: return "scheduler";
        case ThreadRole::audio: return "audio";
        case ThreadRole::other: break;
    }
    return "other";
}

void setEventListener (EventListener listener)
{
    auto& r = recordings();
    std::lock_guard<std::recursive_mutex> lock (r.mutex);
    r.listener = std::move (listener);
}

std::vector<ConsoleEntry> console()
{
    auto& r = recordings();
    std::lock_guard<std::recursive_mutex> lock (r.mutex);
    return r.console;
}

std::vector<OutletEvent> outletEvents()
{
    auto& r = recordings();
    std::lock_guard<std::recursive_mutex> lock (r.mutex);
    return r.outlets;
}

void clearRecordings()
{
    auto& r = recordings();
    std::lock_guard<std::recursive_mutex> lock (r.mutex);
    r.console.clear();
    r.outlets.clear();
}

std::vector<t_symbol*> notifications (t_object* x)
{
    auto& r = recordings();
    std::lock_guard<std::recursive_mutex> lock (r.mutex);
    auto* data = detail::dataOf (x);
    return data != nullptr ? std::vector<t_symbol*> (data->latestNotifications.begin(), data->latestNotifications.end())
                           : std::vector<t_symbol*> {};
}

size_t notificationCount (t_object* x)
{
    auto& r = recordings();
    std::lock_guard<std::recursive_mutex> lock (r.mutex);
    auto* data = detail::dataOf (x);
    return data != nullptr ? data->notificationCount : 0;
}

void failCall (const std::string& call, const std::string& name, int times)
{
    auto& f = faults();
    std::lock_guard<std::mutex> lock (f.mutex);
    f.faults.push_back ({ call, name, times });
}

void clearFaults()
{
    auto& f = faults();
    std::lock_guard<std::mutex> lock (f.mutex);
    f.faults.clear();
}
} // namespace maxhost
