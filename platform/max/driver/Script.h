// Runs the commands of a driver script against the stand-in host, printing
// one line per outlet message, console post and measurement.
#pragma once

#include "maxhost_test.h"

#include <cstdio>
#include <istream>
#include <map>
#include <string>
#include <vector>

// True when the whole text is a finite number (as strtod reads one), which goes to value.
bool parseNumber (const std::string& text, double& value);

class ScriptRunner
{
public:
    ScriptRunner (std::FILE* output, std::FILE* errors, bool realtime);
    ~ScriptRunner();

    // 0 when every command ran, 1 at the first command that failed.
    int run (std::istream& script);

    // The script's commands, each with its arguments, what it does and an example.
    static std::string commandHelp();

private:
    bool runLine (const std::string& line);
    bool fail (const std::string& reason);
    t_object* objectNamed (const std::string& id);
    std::string idOf (const t_object* x, maxhost::ThreadRole role) const;
    void print (const maxhost::ConsoleEntry* entry, const maxhost::OutletEvent* event);

    bool load (const std::string& path);
    bool create (const std::vector<std::string>& words, const std::string& rest);
    bool signal (const std::vector<std::string>& words);
    bool runFor (const std::string& duration);
    bool measure (const std::string& id);

    std::FILE* output;
    std::FILE* errors;
    bool realtime;
    int lineNumber = 0;
    std::map<std::string, t_object*> objects;
    std::string nameBeingMade;   // while "new" runs
};
