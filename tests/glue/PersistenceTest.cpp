#include "GlueTestClass.h"

#include "maxglue/AtomText.h"
#include "maxglue/Persistence.h"

#include <functional>

using namespace gluetest;

namespace
{
void setValueOf (t_object* x, std::vector<t_atom> atoms)
{
    object_method (x, gensym ("setvalueof"), static_cast<long> (atoms.size()), atoms.data());
}

// Binds "_preset" to a fresh binbuf for the life of the object.
struct PresetBuffer
{
    PresetBuffer() { gensym ("_preset")->s_thing = reinterpret_cast<t_object*> (binbuf); }
    ~PresetBuffer()
    {
        gensym ("_preset")->s_thing = nullptr;
        object_free (binbuf);
    }
    std::vector<t_atom> atoms() const
    {
        long ac = 0;
        t_atom* av = nullptr;
        binbuf_getatoms (binbuf, &ac, &av);
        return std::vector<t_atom> (av, av + ac);
    }
    t_binbuf* binbuf = binbuf_new();
};

// An attribute whose value changes under the reader: each read gives `growth`
// more atoms than the one before, and the reads from `failFrom` on fail.
struct Scripted
{
    long calls = 0, growth = 0, failFrom = -1;
} scripted;

t_max_err scriptedGet (t_object*, t_object*, long* ac, t_atom** av)
{
    const long call = scripted.calls++;
    *ac = 1 + scripted.growth * call;
    *av = reinterpret_cast<t_atom*> (sysmem_newptr (*ac * static_cast<long> (sizeof (t_atom))));
    for (long i = 0; i < *ac; ++i)
        atom_setsym (*av + i, gensym ("stale"));
    return scripted.failFrom >= 0 && call >= scripted.failFrom ? MAX_ERR_GENERIC : MAX_ERR_NONE;
}

t_max_err scriptedSet (t_object*, t_object*, long, t_atom*) { return MAX_ERR_NONE; }

void addScripted (t_object* x)
{
    ASSERT_EQ (object_addattr (x, attribute_new ("grow", gensym ("atom"), 0, oskelmax_method (scriptedGet), oskelmax_method (scriptedSet))),
               MAX_ERR_NONE);
}
} // namespace

using PattrTest = GlueTest;

TEST_F (PattrTest, StateIsOneFlatListInNameOrderRoundTripsAt32BitsAndKeepsUnknownAtomsInTheirPlace)
{
    makeProbe ("@gain -6.5 @steps 2");
    EXPECT_EQ (text (getValueOf (x)), "0. 0.5 0. 1. 3 -6.5 peak 2 untitled ");
    setValueOf (x, maxhost::parseAtoms ("0.1 0.2 0.3 0.4 5 0.1 rms 9 renamed"));
    EXPECT_EQ (probe->colour[0], static_cast<double> (0.1f)) << "float64 values pass narrowed to 32 bits";
    EXPECT_EQ (probe->title, gensym ("renamed"));
    EXPECT_EQ (getValueOf (x).at (5).a_w.w_float, static_cast<double> (0.1f));
    setValueOf (x, maxhost::parseAtoms ("-1e300 0.2 0.3 0.4 5 0.1 rms 9 renamed"));
    EXPECT_EQ (probe->colour[0], -1e300) << "beyond the 32-bit range a value goes on whole, as a message gives it, not as an infinity";
    EXPECT_TRUE (maxhost::console().empty());

    setValueOf (x, maxhost::parseAtoms ("1 2"));
    EXPECT_EQ (oskelmax_setvalueof (x, 0, nullptr), MAX_ERR_NONE);
    for (const char* kinds : { "0.5 0.5 0.5 0.5 7 loud rms 1 t", "0.5 0.5 0.5 0.5 7 -3. 4 1 t" })
        setValueOf (x, maxhost::parseAtoms (kinds));
    EXPECT_EQ (errors(), (Texts { "setvalueof error (received 2 atoms. 9 atoms were expected)",
                                  "setvalueof error (invalid value for attribute gain)",
                                  "setvalueof error (invalid value for attribute mode)" }))
        << "a wrong count, a word for a number and a number for a word are refused whole";
    EXPECT_EQ (probe->count, 5);
    auto state = maxhost::parseAtoms ("0.5 0.5 0.5 0.5 7 -3. rms 1 t");
    atom_setobj (&state[3], x);
    setValueOf (x, state);
    EXPECT_EQ (warnings(), Texts { "unknown atom type in oskelmax_setvalueof" });
    EXPECT_EQ (text (getValueOf (x)), "0.5 0.5 0.5 0. 7 -3. rms 1 t ") << "the values after the unknown atom stay with their attributes";
}

// The caller's memory may be too short, and the state is counted first and read
// afterwards: it may grow in between, and a read may fail.
TEST_F (PattrTest, StateIsNeverWrittenPastItsArraysNorTakenFromAFailedRead)
{
    makeProbe();
    t_atom memory[6];
    std::fill (std::begin (memory), std::end (memory), atomSym ("guard"));
    long ac = 5;
    t_atom* av = memory;
    EXPECT_EQ (oskelmax_getvalueof (x, &ac, &av), MAX_ERR_NONE);
    EXPECT_EQ (av, memory);
    EXPECT_EQ (ac, 5);
    EXPECT_EQ (text (std::vector<t_atom> (memory, memory + 6)), "0. 0.5 0. 1. 3 guard ");
    EXPECT_EQ (warnings(), Texts { "oskelmax_getvalueof : memory passed in" });
    EXPECT_EQ (errors(), Texts { "5 atoms allocated but 9 atoms stored by the pattrstorage" });
    EXPECT_EQ (oskelmax_getvalueof (x, nullptr, &av), MAX_ERR_NONE);
    EXPECT_EQ (bugs(), Texts { "oskelmax_getvalueof : there is a problem" });

    addScripted (x);
    const struct
    {
        Scripted script;
        std::function<void()> action;
        const char* error;
    } cases[] = {
        { { 0, 1, -1 }, [&] { EXPECT_EQ (getValueOf (x).size(), 11u); }, "11 atoms allocated but 12 atoms stored by the pattrstorage" },
        { { 0, 1, -1 }, [&] { maxhost::send (x, "dump"); }, "25 atoms allocated but 26 atoms dumped" },
        { { 0, 1, -1 },
          [&]
          {
              // Words where the counts first read place "mode" and "title"; the grown
              // attribute then shifts them onto "steps" and past the end.
              auto atoms = std::vector<t_atom> (11, atomLong (1));
              atoms[8] = atoms[10] = atomSym ("rms");
              setValueOf (x, atoms);
          },
          "error reading atoms in oskelmax_setvalueof" },
        { { 0, 0, 2 }, [&] { EXPECT_EQ (text (getValueOf (x)), "1. 1. 1. 1. 1 1. peak 0 untitled "); },
          "10 atoms allocated but 9 atoms stored by the pattrstorage" },
    };
    for (const auto& c : cases)
    {
        scripted = c.script;
        maxhost::clearRecordings();
        c.action();
        EXPECT_EQ (errors(), Texts { c.error });
    }
    EXPECT_EQ (bugs(), Texts { "oskelmax_getvalueof : MAX_ERR_GENERIC in object_attr_getvalueof (grow)" });
    EXPECT_TRUE (dumpEvents().empty());
    EXPECT_EQ (probe->title, gensym ("untitled")) << "nothing is read past the list";
}

using PresetTest = GlueTest;

TEST_F (PresetTest, StoredPresetRecallsTheStateAndOnlyABinbufIsWrittenInto)
{
    makeProbe ("@gain -12 @mode rms");
    gensym ("_preset")->s_thing = x;
    maxhost::send (x, "preset");
    EXPECT_TRUE (maxhost::console().empty()) << "a name bound to something else than a binbuf is not written into";
    const PresetBuffer preset;
    maxhost::send (x, "preset");
    const auto atoms = preset.atoms();
    ASSERT_EQ (atoms.size(), 13u) << "12 atoms and the record's end: the box attributes stay out";
    EXPECT_EQ (atoms[0].a_w.w_obj, x);
    EXPECT_EQ (text (std::vector<t_atom> (atoms.begin() + 1, atoms.begin() + 12)), "glue.probe~ recallpreset 0. 0.5 0. 1. 3 -12. rms 0 untitled ");
    maxhost::send (x, "reset");
    binbuf_eval_messages (preset.binbuf);
    EXPECT_EQ (text (getValueOf (x)), "0. 0.5 0. 1. 3 -12. rms 0 untitled ");
}

using DumpTest = GlueTest;

TEST_F (DumpTest, DumpPostattributesAndDumpfloatsGiveOneAttributeOrTheWholeState)
{
    makeProbe ("@colour 0.25 0.5 0.75 1");
    maxhost::send (x, "dump", { atomSym ("colour"), atomLong (99) });
    maxhost::send (x, "dump");
    maxhost::send (x, "dump", { atomSym ("nothing") });
    maxhost::send (x, "postattributes", { atomSym ("gain") });
    maxhost::send (x, "postattributes");
    const float levels[3] = { -60.0f, 0.5f, 6.0f };
    oskelmax_dumpfloats (x, gensym ("levels"), 3, levels);
    oskelmax_dumpfloats (x, gensym ("levels"), 0, nullptr);
    EXPECT_EQ (dumped(), (Texts { "colour 0.25 0.5 0.75 1. ",
                                  "list colour 0.25 0.5 0.75 1. , count 3 , gain 0. , mode peak , steps 0 , title untitled , ",
                                  "levels -60. 0.5 6. ", "levels " }));
    EXPECT_EQ (errors(), Texts { "no attribute nothing" });
    EXPECT_EQ (posts(), (Texts { "gain : 0. ", "found 6 attributes", "colour : 0.25 0.5 0.75 1. ", "count : 3 ", "gain : 0. ", "mode : peak ",
                                 "steps : 0 ", "title : untitled " }));
}

TEST_F (DumpTest, SecondDumpOutletReplacesTheFirstAndAMissingOneIsReported)
{
    makeProbe();
    oskelmax_createdumpoutlet (x);
    maxhost::send (x, "dump", { atomSym ("count") });
    ASSERT_EQ (maxhost::outletEvents().size(), 1u);
    EXPECT_EQ (maxhost::outletEvents()[0].outlet, 1) << "the newest plain outlet, leftmost";
    DumpAllAttributes (x, nullptr, names ({ "gain" }));
    DumpStateAttributes (x, nullptr);
    DumpAttribute (x, gensym ("gain"), nullptr);
    EXPECT_EQ (errors(), Texts (3, "no dump outlet"));
}

TEST_F (DumpTest, ListsTooLongForOneMessageAreRefusedNotWrapped)
{
    makeProbe();
    ASSERT_EQ (object_addattr (x, attribute_new ("big", gensym ("atom"), 0, nullptr, nullptr)), MAX_ERR_NONE);
    std::vector<t_atom> many (40000, atomLong (1));
    object_attr_setvalueof (x, gensym ("big"), static_cast<long> (many.size()), many.data());
    const PresetBuffer preset;
    maxhost::send (x, "dump", { atomSym ("big") });
    maxhost::send (x, "dump");
    maxhost::send (x, "preset");
    const std::vector<float> floats (40000, 1.0f);
    EXPECT_NE (oskelmax_outletfloats (oskelmax_getdumpoutlet (x), gensym ("levels"), 40000, floats.data()), MAX_ERR_NONE);
    EXPECT_TRUE (dumpEvents().empty());
    EXPECT_TRUE (preset.atoms().empty());
    EXPECT_EQ (errors().size(), 4u);
    EXPECT_EQ (getValueOf (x).size(), 40009u) << "pattr has no such limit";
}

TEST_F (DumpTest, ResetRestoresDefaultsButRespectsDontreset)
{
    makeProbe ("@count 8 @gain -3 @mode rms @steps 4 @title other");
    maxhost::send (x, "reset");
    EXPECT_EQ (text (getValueOf (x)), "0. 0.5 0. 1. 8 0. peak 4 untitled ") << "count has dontreset, steps no default";
    EXPECT_TRUE (maxhost::console().empty()) << "plain reset passes over attributes without a default silently";
    object_attr_setfloat (x, gensym ("gain"), -9.0);
    for (const char* name : { "gain", "count", "steps" })
        maxhost::send (x, "reset", { atomSym (name) });
    EXPECT_EQ (probe->gain, 0.0f);
    EXPECT_EQ (probe->count, 8);
    EXPECT_EQ (warnings(), Texts { "attribute steps doesnt have a default value" });
    ResetAttributeToDefault (x, "count", true, true);
    EXPECT_EQ (probe->count, 3) << "the ignore flag overrides dontreset";
}
