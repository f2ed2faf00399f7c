#include "GlueTestClass.h"

#include "maxglue/Dictionaries.h"

#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <future>
#include <limits>
#include <nlohmann/json.hpp>
#include <sys/stat.h>
#include <unistd.h>

using namespace gluetest;

namespace
{
// An exported file, which must parse as JSON whatever it holds.
std::string readJson (const std::string& path)
{
    auto text = readFile (path);
    EXPECT_TRUE (nlohmann::json::accept (text)) << path << " is not JSON:\n" << text;
    return text;
}
} // namespace

using DictionaryTest = GlueTest;

TEST_F (DictionaryTest, DumpdictSendsAFreshNameReleasedAfterUseAndPostsFailures)
{
    makeProbe();
    std::vector<std::string> seenKeys;
    maxhost::setEventListener ([&] (const maxhost::ConsoleEntry*, const maxhost::OutletEvent* event) {
        if (event == nullptr || event->selector != "dictionary")
            return;
        // Receivers copy what they need while the call runs.
        auto* d = dictobj_findregistered_retain (atom_getsym (&event->atoms[0]));
        ASSERT_NE (d, nullptr);
        long count = 0;
        t_symbol** keys = nullptr;
        dictionary_getkeys_ordered (d, &count, &keys);
        for (long i = 0; i < count; ++i)
            seenKeys.push_back (keys[i]->s_name);
        dictionary_freekeys (d, count, keys);
        dictobj_release (d);
    });
    maxhost::send (x, "dumpdict");
    maxhost::send (x, "dumpdict", { atomSym ("mode"), atomSym ("nothing"), atomSym ("gain") });
    maxhost::setEventListener (nullptr);
    const auto events = dumpEvents();
    ASSERT_EQ (events.size(), 2u);
    EXPECT_NE (atom_getsym (&events[0].atoms[0]), atom_getsym (&events[1].atoms[0])) << "a fresh unique name each time";
    EXPECT_EQ (seenKeys, (Texts { "colour", "count", "gain", "mode", "steps", "title", "mode", "gain" }));
    for (const auto& event : events)
        EXPECT_EQ (dictobj_findregistered_retain (atom_getsym (&event.atoms[0])), nullptr) << "released after use";
    EXPECT_EQ (errors(), Texts { "no attribute nothing" });

    maxhost::clearRecordings();
    maxhost::failCall ("dictobj_register", "", 1);
    maxhost::send (x, "dumpdict");
    maxhost::failCall ("dictionary_new", "", 2);
    maxhost::send (x, "dumpdict");
    maxhost::send (x, "dumpdict", { atomSym ("mode") });
    object_obex_store (x, gensym ("dumpout"), nullptr);
    maxhost::send (x, "dumpdict");
    EXPECT_TRUE (maxhost::outletEvents().empty());
    EXPECT_EQ (errors(), (Texts { "couldnt outlet dictionary", "couldnt outlet dictionary", "couldnt outlet dictionary", "no dump outlet",
                                  "no dump outlet" }));
}

// The host's faults on the keys or on one entry: the other entries are still read.
TEST_F (DictionaryTest, DictionaryMessageAppliesWhatItCanReadAndPostsTheRest)
{
    TemporaryFolder folder;
    makeProbe();
    auto* d = dictionary_new();
    dictionary_appendlong (d, gensym ("count"), 6);
    auto colour = maxhost::parseAtoms ("1. 0. 0. 1.");
    dictionary_appendatoms (d, gensym ("colour"), 4, colour.data());
    dictionary_appendsym (d, gensym ("mode"), gensym ("rms"));
    t_symbol* name = gensym ("settings");
    ASSERT_NE (dictobj_register (d, &name), nullptr);

    maxhost::failCall ("dictionary_getkeys", "settings", 1);
    maxhost::send (x, "dictionary", { atomSym ("settings") });
    EXPECT_EQ (text (getValueOf (x)), "0. 0.5 0. 1. 3 0. peak 0 untitled ") << "nothing applied without the keys";
    maxhost::failCall ("dictionary_getatom", "count", 2);
    maxhost::send (x, "dictionary", { atomSym ("settings") });
    EXPECT_EQ (text (getValueOf (x)), "1. 0. 0. 1. 3 0. rms 0 untitled ");
    EXPECT_FALSE (oskelmax_setattributefromdictionary (x, d, gensym ("count")));
    maxhost::send (x, "dictionary", { atomSym ("settings") });
    EXPECT_EQ (probe->count, 6);
    maxhost::send (x, "dictionary", { atomSym ("nowhere") });
    ASSERT_EQ (dictobj_findregistered_retain (name), d) << "still registered after use";
    dictobj_release (d);

    const auto path = folder.path() + "/state.json";
    std::ofstream (path) << "older";
    maxhost::failCall ("dictionary_getkeys_ordered", "settings", 1);
    EXPECT_FALSE (writeDictionaryAsJson (x, d, path));
    EXPECT_EQ (readFile (path), "older") << "a dictionary whose keys cannot be read leaves the file as it was";
    maxhost::failCall ("dictionary_getatom", "mode", 1);
    EXPECT_TRUE (writeDictionaryAsJson (x, d, path));
    EXPECT_EQ (readJson (path), "{\n    \"count\" : 6, \n    \"colour\" : [ 1.000000, 0.000000, 0.000000, 1.000000 ], \n    \"mode\" : null\n}\n");

    EXPECT_EQ (errors(), (Texts { "couldnt get dict key : MAX_ERR_OUT_OF_MEM", "error parsing dictionary named settings",
                                  "entry count is not atom ? ", "error getting atom value from dict for entry count",
                                  "unable to reference dictionary named nowhere", "couldnt get dict key : MAX_ERR_OUT_OF_MEM",
                                  "entry mode is not atom ? " }));
    dictobj_release (d);
}

// An entry of several atoms comes as one atom array, of which the first is used;
// an entry that is missing or cannot be set fails the whole call, but not the others.
TEST_F (DictionaryTest, CreationEntriesAreAppliedEvenAfterAFailure)
{
    makeProbe();
    auto* d = dictionary_new();
    auto counts = maxhost::parseAtoms ("5 6");
    dictionary_appendatoms (d, gensym ("count"), 2, counts.data());
    dictionary_appendsym (d, gensym ("title"), gensym ("made"));
    t_atom argument;
    atom_setobj (&argument, d);
    maxhost::failCall ("object_attr_setvalueof", "count", 1);
    EXPECT_FALSE (oskelmax_processdictionaryentries (x, 1, &argument, 2, "count", "title"));
    EXPECT_EQ (probe->title, gensym ("made"));
    EXPECT_EQ (errors(), (Texts { "MAX_ERR_GENERIC in object_attr_setvalueof count", "error parsing dictionary" }));

    maxhost::clearRecordings();
    EXPECT_FALSE (oskelmax_processdictionaryentries (x, 1, &argument, 2, "steps", "count"));
    EXPECT_EQ (probe->count, 5);
    EXPECT_TRUE (oskelmax_processdictionaryentries (x, 1, &argument, 1, "count"));
    EXPECT_EQ (errors(), (Texts { "dictionary doesnt have entry for steps", "error parsing dictionary" }));
    EXPECT_FALSE (oskelmax_processdictionaryentries (x, 0, nullptr, 1, "count"));
    EXPECT_FALSE (oskelmax_processdictionaryarg (x, 0, nullptr, true));
    EXPECT_EQ (bugs(), Texts (2, "couldnt process dictionnary"));
    object_free (d);
}

TEST_F (DictionaryTest, JsonFileHoldsEveryTypeByteForByteAndFailuresGiveFalse)
{
    TemporaryFolder folder;
    makeProbe();
    auto* d = dictionary_new();
    const auto path = folder.path() + "/state.json";
    ASSERT_TRUE (writeDictionaryAsJson (x, d, path));
    EXPECT_EQ (readJson (path), "{\n}\n");
    dictionary_appendfloat (d, gensym ("gain"), 0.1);
    dictionary_appendlong (d, gensym ("mode"), 1);
    dictionary_appendsym (d, gensym ("quote"), gensym ("say \"hi\" \\ there\ttoo\x1f"));
    // Bytes that are no UTF-8 (a lone continuation byte, a cut sequence, an overlong form,
    // a surrogate) become U+FFFD, one for each longest invalid run; valid sequences stay.
    dictionary_appendsym (d, gensym ("bytes"), gensym ("a\x80" "b\xe2\x82 \xc0\xaf \xed\xa0\x80 \xc3\xa9\xf0\x9f\x8e\xb5"));
    dictionary_appendfloat (d, gensym ("infinite"), std::numeric_limits<double>::infinity());
    for (const auto& [key, value] : { std::pair { "longs", "1 2 3" }, { "floats", "0.5 1." }, { "symbols", "a b" }, { "mixed", "x -4 16777217." } })
    {
        auto atoms = maxhost::parseAtoms (value);
        dictionary_appendatoms (d, gensym (key), static_cast<long> (atoms.size()), atoms.data());
    }
    auto* inner = dictionary_new();
    auto* empty = atomarray_new (0, nullptr);
    t_atom objects[5];
    atom_setlong (&objects[0], 1);
    atom_setobj (&objects[1], inner);
    atom_setobj (&objects[2], empty);
    atom_setfloat (&objects[3], std::numeric_limits<double>::quiet_NaN());
    atom_setobj (&objects[4], x);
    dictionary_appendatoms (d, gensym ("objects"), 5, objects);
    dictionary_appendatoms (d, gensym ("nothing"), 0, nullptr);
    dictionary_appenddictionary (d, gensym ("nested"), reinterpret_cast<t_object*> (dictionary_new()));
    ASSERT_TRUE (writeDictionaryAsJson (x, d, path));
    EXPECT_EQ (readJson (path), "{\n    \"gain\" : 0.100000, \n    \"mode\" : 1, \n    \"quote\" : \"say \\\"hi\\\" \\\\ there\\u0009too\\u001f\", \n"
                                "    \"bytes\" : \"a\xef\xbf\xbd" "b\xef\xbf\xbd \xef\xbf\xbd\xef\xbf\xbd \xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd \xc3\xa9\xf0\x9f\x8e\xb5\", \n"
                                "    \"infinite\" : null, \n    \"longs\" : [ 1, 2, 3 ], \n    \"floats\" : [ 0.500000, 1.000000 ], \n"
                                "    \"symbols\" : [ \"a\", \"b\"], \n    \"mixed\" : [ \"x\", -4, 16777216.000000 ], \n"
                                "    \"objects\" : [ 1, null, null, null, null ], \n    \"nothing\" : null, \n    \"nested\" : null\n}\n");
    object_free (inner);
    object_free (empty);
    EXPECT_FALSE (writeDictionaryAsJson (x, nullptr, path));
    EXPECT_FALSE (writeDictionaryAsJson (x, d, folder.path() + "/missing/file.json"));
    if (std::filesystem::exists ("/dev/full"))
    {
        EXPECT_FALSE (writeDictionaryAsJson (x, d, "/dev/full")) << "a device is no file";
    }

    // A named pipe is no file: refused at once, whether something reads it or not.
    const auto pipe = folder.path() + "/pipe";
    ASSERT_EQ (mkfifo (pipe.c_str(), 0600), 0);
    auto unread = std::async (std::launch::async, [&] { return writeDictionaryAsJson (x, d, pipe); });
    const bool blocked = unread.wait_for (std::chrono::seconds (10)) == std::future_status::timeout;
    const int reader = open (pipe.c_str(), O_RDONLY | O_NONBLOCK); // also frees a blocked writer
    EXPECT_FALSE (blocked) << "opening a pipe nobody reads blocked";
    EXPECT_FALSE (unread.get());
    EXPECT_FALSE (writeDictionaryAsJson (x, d, pipe));
    char byte = 0;
    EXPECT_LE (read (reader, &byte, 1), 0) << "nothing was written into the pipe";
    close (reader);
    EXPECT_TRUE (maxhost::console().empty());
    object_free (d);
}

TEST_F (DictionaryTest, ExportdictWritesToTheGivenOrChosenPathOnTheMainThread)
{
    TemporaryFolder folder;
    makeProbe ("@gain -6 @mode rms");
    const std::string expected = "{\n    \"colour\" : [ 0.000000, 0.500000, 0.000000, 1.000000 ], \n    \"count\" : 3, \n"
                                 "    \"gain\" : -6.000000, \n    \"mode\" : \"rms\", \n    \"steps\" : 0, \n    \"title\" : \"untitled\"\n}\n";
    const auto given = folder.path() + "/given.json";
    maxhost::sendFromScheduler (x, "exportdict", { atomSym (given.c_str()) });
    maxhost::pumpMainThread();
    EXPECT_EQ (readJson (given), expected) << "deferred to the main thread";
    EXPECT_EQ (maxhost::dialogsShown(), 0);
    maxhost::setDialogAnswer (folder.path() + "/chosen.json");
    maxhost::send (x, "exportdict", { atomLong (3) });
    EXPECT_EQ (maxhost::dialogsShown(), 1) << "a number is no path";
    EXPECT_EQ (readJson (folder.path() + "/chosen.json"), expected);
    maxhost::setDialogAnswer ("cancelled");
    maxhost::send (x, "exportdict");
    EXPECT_EQ (maxhost::dialogsShown(), 2);
    EXPECT_EQ (std::distance (std::filesystem::directory_iterator (folder.path()), std::filesystem::directory_iterator()), 2);
    EXPECT_TRUE (maxhost::console().empty());

    maxhost::failCall ("dictionary_new", "", 1);
    maxhost::send (x, "exportdict", { atomSym ((folder.path() + "/unmade.json").c_str()) });
    EXPECT_FALSE (std::filesystem::exists (folder.path() + "/unmade.json"));
    EXPECT_EQ (errors(), Texts { "couldnt outlet dictionary" });
}
