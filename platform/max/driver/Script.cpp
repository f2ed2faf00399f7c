#include "Script.h"

#include "z_dsp.h"

#include <algorithm>
#include <cmath>
#include <dlfcn.h>
#include <sstream>

namespace
{
// A run lasts at most a day: time stays exact to far less than a sample, and a run in
// real time fits the clock's count of nanoseconds.
constexpr double longestRunMs = 24.0 * 3600.0 * 1000.0;
constexpr double sliceMs = 1000.0;

std::vector<std::string> words (const std::string& text)
{
    std::istringstream stream (text);
    std::vector<std::string> result;
    for (std::string word; stream >> word;)
        result.push_back (word);
    return result;
}

// What follows the first n words of the line.
std::string restAfter (const std::string& line, size_t n)
{
    size_t position = 0;
    for (size_t i = 0; i < n; ++i)
    {
        position = line.find_first_not_of (" \t", position);
        if (position == std::string::npos)
            return {};
        position = line.find_first_of (" \t", position);
        if (position == std::string::npos)
            return {};
    }
    return line.substr (position);
}

// A "#" that begins a word starts a comment; inside a word ("a#b") or inside a
// quoted symbol ("two #words") it belongs to the symbol.
size_t commentStart (const std::string& line)
{
    bool quoted = false;
    for (size_t i = 0; i < line.size(); ++i)
    {
        if (line[i] == '"')
            quoted = ! quoted;
        else if (line[i] == '#' && ! quoted && (i == 0 || line[i - 1] == ' ' || line[i - 1] == '\t'))
            return i;
    }
    return std::string::npos;
}

std::string decibels (double linear)
{
    if (! (linear > 0.0))
        return "-inf";
    char buffer[64];
    std::snprintf (buffer, sizeof (buffer), "%.2f", 20.0 * std::log10 (linear));
    return buffer;
}
} // namespace

bool parseNumber (const std::string& text, double& value)
{
    char* end = nullptr;
    value = std::strtod (text.c_str(), &end);
    return ! text.empty() && end != nullptr && *end == '\0' && std::isfinite (value);
}

ScriptRunner::ScriptRunner (std::FILE* out, std::FILE* err, bool rt)
    : output (out), errors (err), realtime (rt)
{
    // Every event is printed as it happens; the host's recordings of them
    // would only grow for the whole session, so they are dropped once printed.
    maxhost::setEventListener ([this] (const maxhost::ConsoleEntry* entry, const maxhost::OutletEvent* event) {
        print (entry, event);
        maxhost::clearRecordings();
    });
}

ScriptRunner::~ScriptRunner()
{
    maxhost::setEventListener (nullptr);
}

int ScriptRunner::run (std::istream& script)
{
    for (std::string line; std::getline (script, line);)
    {
        ++lineNumber;
        if (! runLine (line))
            return 1;
        // Between two commands the main thread does its pending work, as
        // between two clicks in a patcher.
        maxhost::pumpMainThread();
    }
    return 0;
}

bool ScriptRunner::fail (const std::string& reason)
{
    std::fprintf (errors, "maxhost-run: line %d: %s\n", lineNumber, reason.c_str());
    std::fflush (errors);
    return false;
}

t_object* ScriptRunner::objectNamed (const std::string& id)
{
    auto it = objects.find (id);
    if (it == objects.end())
    {
        fail ("no object named " + id);
        return nullptr;
    }
    return it->second;
}

std::string ScriptRunner::idOf (const t_object* x, maxhost::ThreadRole role) const
{
    if (x == nullptr)
        return "-";
    for (auto& entry : objects)
        if (entry.second == x || maxhost::boxOf (entry.second) == x)
            return entry.first;
    // An object that speaks while "new" makes it is the box getting the name; the
    // name is read only on the main thread, which runs the script.
    if (role == maxhost::ThreadRole::main && ! nameBeingMade.empty())
        return nameBeingMade;
    return "-";
}

void ScriptRunner::print (const maxhost::ConsoleEntry* entry, const maxhost::OutletEvent* event)
{
    if (entry != nullptr)
    {
        static const char* names[] = { "post", "warn", "error", "bug" };
        std::fprintf (output, "%s %s: %s\n", idOf (entry->object, entry->role).c_str(), names[static_cast<int> (entry->severity)], entry->text.c_str());
    }
    if (event != nullptr)
    {
        const auto atoms = maxhost::atomsToText (event->atoms);
        std::fprintf (output, "%s out %d: %s%s%s\n", idOf (event->object, event->role).c_str(), event->outlet, event->selector.c_str(), atoms.empty() ? "" : " ",
                      atoms.c_str());
    }
    std::fflush (output);
}

bool ScriptRunner::runLine (const std::string& rawLine)
{
    const auto line = rawLine.substr (0, commentStart (rawLine));
    const auto w = words (line);
    if (w.empty())
        return true;
    const auto& command = w[0];

    if (command == "load" && w.size() == 2)
        return load (w[1]);
    if (command == "new" && w.size() >= 3)
        return create (w, restAfter (line, 3));
    if ((command == "send" || command == "send@sched") && w.size() >= 3)
    {
        auto* x = objectNamed (w[1]);
        if (x == nullptr)
            return false;
        auto args = maxhost::parseAtoms (restAfter (line, 3));
        auto selector = maxhost::parseAtoms (w[2]);
        std::string name = w[2];
        if (! selector.empty() && selector[0].a_type != A_SYM)
        {
            // A number alone is an int or float message.
            name = selector[0].a_type == A_LONG ? "int" : "float";
            args.insert (args.begin(), selector[0]);
        }
        if (command == "send")
            maxhost::send (x, name, args);
        else
            maxhost::sendFromScheduler (x, name, args);
        return true;
    }
    if (command == "signal" && w.size() >= 4)
        return signal (w);
    if (command == "dsp" && w.size() == 2 && (w[1] == "on" || w[1] == "off"))
    {
        if (w[1] == "on")
            maxhost::startDsp();
        else
            maxhost::stopDsp();
        return true;
    }
    if (command == "run" && w.size() == 2)
        return runFor (w[1]);
    if (command == "measure" && w.size() == 2)
        return measure (w[1]);
    if (command == "screenshot" && w.size() == 3)
    {
        auto* x = objectNamed (w[1]);
        std::string reason;
        if (x == nullptr)
            return false;
        return maxhost::screenshot (x, w[2], reason) || fail ("screenshot: " + reason);
    }
    if (command == "free" && w.size() == 2)
    {
        auto* x = objectNamed (w[1]);
        if (x == nullptr)
            return false;
        object_free (x);
        objects.erase (w[1]);
        return true;
    }
    if (command == "dialog" && w.size() >= 2)
    {
        // One path, as one symbol: a path with blanks stands in double quotes.
        const auto atoms = maxhost::parseAtoms (restAfter (line, 1));
        std::string path;
        if (atoms.size() == 1 && atoms[0].a_type == A_SYM)
            path = atoms[0].a_w.w_sym->s_name;
        else if (w.size() == 2)
            path = w[1];
        else
            return fail ("dialog: one path, in double quotes when it holds blanks");
        maxhost::setDialogAnswer (path == "cancel" ? "cancelled" : path);
        return true;
    }
    return fail ("unknown command: " + line);
}

bool ScriptRunner::load (const std::string& path)
{
    void* handle = dlopen (path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr)
        return fail (std::string ("load: ") + dlerror());
    auto* entry = reinterpret_cast<int (*)()> (dlsym (handle, "main"));
    if (entry == nullptr)
        return fail ("load: " + path + " exports no main");
    entry();
    return true;
}

bool ScriptRunner::create (const std::vector<std::string>& w, const std::string& rest)
{
    if (objects.count (w[1]) != 0)
        return fail ("new: an object named " + w[1] + " exists already");
    nameBeingMade = w[1];
    auto* x = maxhost::newObject (w[2], maxhost::parseAtoms (rest));
    nameBeingMade.clear();
    if (x == nullptr)
        return fail ("new: could not create " + w[2]);
    objects[w[1]] = x;
    return true;
}

bool ScriptRunner::signal (const std::vector<std::string>& w)
{
    auto* x = objectNamed (w[1]);
    if (x == nullptr)
        return false;
    double inlet = 0;
    if (! parseNumber (w[2], inlet) || inlet < 1 || inlet > maxhost::signalInletCount (x))
        return fail ("signal: no signal inlet " + w[2]);
    maxhost::SignalSource source;
    double a = 0, b = 0;
    if (w[3] == "off" && w.size() == 4)
        source.kind = maxhost::SignalSource::off;
    else if (w[3] == "sine" && w.size() == 6 && parseNumber (w[4], a) && parseNumber (w[5], b))
        source = { maxhost::SignalSource::sine, a, b, 0.0 };
    else if (w[3] == "noise" && w.size() == 5 && parseNumber (w[4], b))
        source = { maxhost::SignalSource::noise, 0.0, b, 0.0 };
    else if (w[3] == "dc" && w.size() == 5 && parseNumber (w[4], a))
        source = { maxhost::SignalSource::dc, 0.0, 0.0, a };
    else
        return fail ("signal: bad source");
    maxhost::setSignal (x, static_cast<int> (inlet), source);
    return true;
}

bool ScriptRunner::runFor (const std::string& duration)
{
    double value = 0;
    std::string unit;
    for (auto suffix : { "ms", "s", "b" })
    {
        const std::string s = suffix;
        if (duration.size() > s.size() && duration.compare (duration.size() - s.size(), s.size(), s) == 0
            && parseNumber (duration.substr (0, duration.size() - s.size()), value) && value >= 0)
        {
            unit = s;
            break;
        }
    }
    if (unit.empty())
        return fail ("run: bad duration " + duration);

    const double blockMs = std::max (sys_getblksize(), 1) * 1000.0 / sys_getsr();
    const double ms = unit == "b" ? value * blockMs : unit == "s" ? value * 1000.0 : value;
    if (unit == "b" && value != std::floor (value))
        return fail ("run: blocks come whole, not " + duration);
    if (ms > longestRunMs)
        return fail ("run: " + duration + " lasts more than a day");

    // The host runs at most ten million blocks and clock ticks in one go and leaves the
    // rest to the next command: a long run is handed over a second at a time.
    maxhost::resetMeasurements();
    if (unit == "b")
    {
        const auto blocksPerSlice = std::max (1.0, std::floor (sliceMs / blockMs));
        for (double left = value; left > 0; left -= blocksPerSlice)
            maxhost::runBlocks (static_cast<long> (std::min (left, blocksPerSlice)));
    }
    else
    {
        double left = ms;
        do
        {
            maxhost::advance (std::min (left, sliceMs));
            left -= sliceMs;
        } while (left > 0);
    }
    return true;
}

bool ScriptRunner::measure (const std::string& id)
{
    auto* x = objectNamed (id);
    if (x == nullptr)
        return false;
    const auto levels = maxhost::measure (x);
    for (size_t i = 0; i < levels.size(); ++i)
        std::fprintf (output, "%s measure %zu: peak %s rms %s\n", id.c_str(), i + 1, decibels (levels[i].peak).c_str(),
                      decibels (levels[i].rms).c_str());
    std::fflush (output);
    return true;
}

std::string ScriptRunner::commandHelp()
{
    struct Command
    {
        const char* syntax;
        const char* meaning;
        const char* example;
    };
    static const Command commands[] = {
        { "load PATH", "loads a plug-in as the host does and calls its main", "load build/meter/zelm.meter~.so" },
        { "new NAME CLASS [ARGUMENTS]", "creates a box of CLASS, called NAME from then on; ARGUMENTS as typed in a box",
          "new meter zelm.meter~ @numchannels 8 @windowtitle demo" },
        { "send NAME MESSAGE [ARGUMENTS]", "sends a message from the main thread; a number alone is an int or float message",
          "send meter channel 3 mute 1" },
        { "send@sched NAME MESSAGE [ARGUMENTS]", "the same, from the scheduler thread", "send@sched meter gain -6" },
        { "signal NAME INLET off|sine HZ DB|noise DB|dc VALUE", "feeds a signal inlet (counted from 1)", "signal meter 1 sine 440 -6" },
        { "dsp on|off", "starts or stops the audio", "dsp on" },
        { "run TIME", "lets TIME pass (Nms, Ns, or Nb for blocks) and starts the measurements anew", "run 500ms" },
        { "measure NAME", "prints each signal outlet's peak and RMS in dB since the last run", "measure meter" },
        { "screenshot NAME FILE", "saves the object's window (its part on the screen), as it stands after every pending paint, as PNG",
          "screenshot meter out/meter.png" },
        { "free NAME", "frees the object", "free meter" },
        { "dialog PATH|cancel", "answers the next save dialog; a path with blanks in double quotes", "dialog \"/tmp/my levels.json\"" },
    };

    std::string text = "Script commands, one per line (a word beginning with # starts a comment, outside double quotes):\n";
    for (const auto& command : commands)
        text += std::string ("  ") + command.syntax + "\n      " + command.meaning + "\n      e.g. " + command.example + "\n";
    text += "Output: \"NAME out N: MESSAGE\" for each outlet message, \"NAME post|warn|error|bug: TEXT\" for each\n"
            "console post, \"NAME measure N: peak DB rms DB\" for each measured outlet.\n";
    return text;
}
