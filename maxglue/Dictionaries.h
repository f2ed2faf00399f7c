#pragma once

#include "ext_dictobj.h"
#include "ext_obex.h"

#include <string>

// The creation dictionary.
bool oskelmax_setattributefromdictionary (t_object* x, t_dictionary* d, t_symbol* name);

/** Only the named attributes, in the order given; the names are `count` texts (const char*). */
bool oskelmax_processdictionaryentries (t_object* x, long argc, t_atom* argv, int count, ...);
bool oskelmax_processdictionaryarg (t_object* x, long argc, t_atom* argv, bool check);

// The state dictionary and the dictionary messages.
void AppendAttributeToDictionary (t_object* x, t_dictionary* d, t_symbol* name);

/** A new dictionary of the state, owned by the caller (object_free). */
t_dictionary* makeStateDictionary (t_object* x);

/** Sends the dictionary's name under a fresh unique name; the dictionary is
    emptied and its name dropped once the outlet call has returned. */
bool outletDictionary (void* outlet, t_dictionary* d);
void outletDictionaryToDumpOutlet (t_object* x, t_dictionary* d);
bool readDictionaryIntoAttributes (t_object* x, t_dictionary* d);

// The JSON-style export.

/** Writes the dictionary as a JSON text file, one key a line; symbols are
    JSON strings, and what JSON cannot hold (objects, values that are not
    finite) is null, alone or in an array. False when the keys cannot be
    read, the file cannot be opened, or writing or closing it fails. */
bool writeDictionaryAsJson (t_object* x, t_dictionary* d, const std::string& path);

/** The save dialog's choice as a POSIX path; empty when the user cancels. */
std::string chooseJsonFile();

/** A host path ("Volume:/folder/file") as a POSIX path, in UTF-8; empty when
    it cannot be converted. */
std::string maxPathToPosix (const std::string& path);
