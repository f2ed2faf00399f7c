#include "GlueTestClass.h"

#include "maxglue/Persistence.h"

using namespace gluetest;

using PattrTest = GlueTest;

namespace
{
std::vector<t_atom> getValueOf (t_object* x)
{
    long ac = 0;
    t_atom* av = nullptr;
    EXPECT_EQ (object_method (x, gensym ("getvalueof"), &ac, &av), nullptr) << "always MAX_ERR_NONE";
    std::vector<t_atom> result (av, av + ac);
    sysmem_freeptr (av);
    return result;
}

t_max_err setValueOf (t_object* x, std::vector<t_atom> atoms)
{
    return static_cast<t_max_err> (reinterpret_cast<intptr_t> (object_method (x, gensym ("setvalueof"), static_cast<long> (atoms.size()), atoms.data())));
}
} // namespace

TEST_F (PattrTest, StateIsOneFlatListInNameOrder)
{
    auto* x = asObject (makeProbe ("@gain -6.5 @steps 2"));
    EXPECT_EQ (text (getValueOf (x)), "0. 0.5 0. 1. 3 -6.5 peak 2 untitled ");
    EXPECT_TRUE (maxhost::console().empty());
}

TEST_F (PattrTest, RoundTripKeeps32BitFloatPrecision)
{
    auto* probe = makeProbe();
    auto* x = asObject (probe);
    EXPECT_EQ (setValueOf (x, { atomFloat (0.1), atomFloat (0.2), atomFloat (0.3), atomFloat (0.4), atomLong (5), atomFloat (0.1),
                                atomSym ("rms"), atomLong (9), atomSym ("new title") }),
               MAX_ERR_NONE);
    EXPECT_TRUE (maxhost::console().empty());
    EXPECT_EQ (probe->colour[0], static_cast<double> (0.1f)) << "float64 values pass narrowed to 32 bits";
    EXPECT_EQ (probe->count, 5);
    EXPECT_EQ (probe->mode, gensym ("rms"));
    EXPECT_EQ (probe->title, gensym ("new title"));

    const auto state = getValueOf (x);
    ASSERT_EQ (state.size(), 9u);
    EXPECT_EQ (state[5].a_type, A_FLOAT);
    EXPECT_EQ (state[5].a_w.w_float, static_cast<double> (0.1f));
    EXPECT_NE (state[5].a_w.w_float, 0.1);
    EXPECT_EQ (state[0].a_w.w_float, static_cast<double> (0.1f));
}

TEST_F (PattrTest, WrongCountsAreRefusedWholeAndEmptyListsIgnored)
{
    auto* probe = makeProbe();
    auto* x = asObject (probe);
    setValueOf (x, { atomLong (1), atomLong (2) });
    EXPECT_EQ (texts (maxhost::Severity::error), std::vector<std::string> { "setvalueof error (received 2 atoms. 9 atoms were expected)" });
    EXPECT_EQ (probe->count, 3);

    maxhost::clearRecordings();
    EXPECT_EQ (oskelmax_setvalueof (x, 0, nullptr), MAX_ERR_NONE);
    EXPECT_TRUE (maxhost::console().empty());
}

TEST_F (PattrTest, CallerMemoryIsNeverWrittenPastItsCount)
{
    auto* x = asObject (makeProbe());
    t_atom memory[6];
    const t_atom guard = atomSym ("guard");
    for (auto& atom : memory)
        atom = guard;
    long ac = 5;
    t_atom* av = memory;
    EXPECT_EQ (oskelmax_getvalueof (x, &ac, &av), MAX_ERR_NONE);
    EXPECT_EQ (av, memory);
    EXPECT_EQ (ac, 5);
    EXPECT_EQ (text (std::vector<t_atom> (memory, memory + 5)), "0. 0.5 0. 1. 3 ");
    EXPECT_EQ (memory[5].a_w.w_sym, gensym ("guard"));
    EXPECT_EQ (texts (maxhost::Severity::warn), std::vector<std::string> { "oskelmax_getvalueof : memory passed in" });
    EXPECT_EQ (texts (maxhost::Severity::error), std::vector<std::string> { "5 atoms allocated but 9 atoms stored by the pattrstorage" });

    maxhost::clearRecordings();
    EXPECT_EQ (oskelmax_getvalueof (x, nullptr, &av), MAX_ERR_NONE);
    EXPECT_EQ (texts (maxhost::Severity::bug), std::vector<std::string> { "oskelmax_getvalueof : there is a problem" });
}

TEST_F (PattrTest, UnknownAtomTypesKeepTheirPlaceInTheList)
{
    auto* probe = makeProbe();
    auto* x = asObject (probe);
    t_atom object;
    atom_setobj (&object, x);
    setValueOf (x, { atomFloat (0.5), atomFloat (0.5), atomFloat (0.5), object, atomLong (7), atomFloat (-3), atomSym ("rms"),
                     atomLong (1), atomSym ("t") });
    EXPECT_EQ (texts (maxhost::Severity::warn), std::vector<std::string> { "unknown atom type in oskelmax_setvalueof" });
    EXPECT_EQ (probe->colour[3], 0.0);
    EXPECT_EQ (probe->count, 7) << "the values after the unknown atom stay with their attributes";
    EXPECT_EQ (probe->gain, -3.0f);
    EXPECT_EQ (probe->title, gensym ("t"));
}

using PresetTest = GlueTest;

TEST_F (PresetTest, StoredPresetRecallsTheState)
{
    auto* probe = makeProbe ("@gain -12 @mode rms");
    auto* x = asObject (probe);
    auto* binbuf = binbuf_new();
    gensym ("_preset")->s_thing = reinterpret_cast<t_object*> (binbuf);

    maxhost::send (x, "preset");
    long ac = 0;
    t_atom* av = nullptr;
    binbuf_getatoms (binbuf, &ac, &av);
    ASSERT_GE (ac, 12);
    EXPECT_EQ (av[0].a_type, A_OBJ);
    EXPECT_EQ (av[0].a_w.w_obj, x);
    EXPECT_EQ (atom_getsym (&av[1]), gensym (className));
    EXPECT_EQ (atom_getsym (&av[2]), gensym ("recallpreset"));
    EXPECT_EQ (text (std::vector<t_atom> (av + 3, av + 12)), "0. 0.5 0. 1. 3 -12. rms 0 untitled ");

    object_attr_setfloat (x, gensym ("gain"), 2.0);
    object_attr_setsym (x, gensym ("mode"), gensym ("peak"));
    binbuf_eval_messages (binbuf);
    EXPECT_EQ (probe->gain, -12.0f);
    EXPECT_EQ (probe->mode, gensym ("rms"));
    EXPECT_TRUE (maxhost::console().empty());

    gensym ("_preset")->s_thing = nullptr;
    object_free (binbuf);
}

TEST_F (PresetTest, PresetOfAnotherShapeIsRefusedOnRecall)
{
    auto* probe = makeProbe();
    auto* x = asObject (probe);
    gensym ("_preset")->s_thing = x;
    maxhost::send (x, "preset");
    gensym ("_preset")->s_thing = nullptr;
    EXPECT_TRUE (maxhost::console().empty()) << "a name bound to something else than a binbuf is not written into";

    maxhost::send (x, "recallpreset", { atomLong (1), atomLong (2), atomLong (3) });
    EXPECT_EQ (texts (maxhost::Severity::error), std::vector<std::string> { "setvalueof error (received 3 atoms. 9 atoms were expected)" });
    EXPECT_EQ (probe->count, 3);
}

using DumpTest = GlueTest;

TEST_F (DumpTest, DumpSendsOneAttributeOrTheWholeStateWithSeparators)
{
    auto* probe = makeProbe ("@colour 0.25 0.5 0.75 1");
    auto* x = asObject (probe);

    maxhost::send (x, "dump", { atomSym ("colour"), atomLong (99) });
    maxhost::send (x, "dump", { atomSym ("gain") });
    maxhost::send (x, "dump");
    maxhost::send (x, "dump", { atomSym ("nothing") });

    const auto events = dumpEvents (probe);
    ASSERT_EQ (events.size(), 3u);
    EXPECT_EQ (events[0].selector, "colour");
    EXPECT_EQ (text (events[0].atoms), "0.25 0.5 0.75 1. ");
    EXPECT_EQ (events[1].selector, "gain");
    EXPECT_EQ (text (events[1].atoms), "0. ");
    EXPECT_EQ (events[2].selector, "list");
    EXPECT_EQ (text (events[2].atoms), "colour 0.25 0.5 0.75 1. , count 3 , gain 0. , mode peak , steps 0 , title untitled , ");
    EXPECT_EQ (texts (maxhost::Severity::error), std::vector<std::string> { "no attribute nothing" });
}

TEST_F (DumpTest, SecondDumpOutletReplacesTheFirstAndAMissingOneIsReported)
{
    auto* probe = makeProbe();
    auto* x = asObject (probe);
    oskelmax_createdumpoutlet (x);
    maxhost::send (x, "dump", { atomSym ("count") });
    const auto events = maxhost::outletEvents();
    ASSERT_EQ (events.size(), 1u);
    EXPECT_EQ (events[0].outlet, 1) << "the newest plain outlet, leftmost";

    maxhost::clearRecordings();
    DumpAllAttributes (x, nullptr, names ({ "gain" }));
    DumpStateAttributes (x, nullptr);
    DumpAttribute (x, gensym ("gain"), nullptr);
    EXPECT_EQ (texts (maxhost::Severity::error), (std::vector<std::string> { "no dump outlet", "no dump outlet", "no dump outlet" }));
}

TEST_F (DumpTest, PostattributesPostsEachValueAsText)
{
    auto* x = asObject (makeProbe());
    maxhost::send (x, "postattributes", { atomSym ("gain") });
    maxhost::send (x, "postattributes");
    EXPECT_EQ (texts (maxhost::Severity::post),
               (std::vector<std::string> { "gain : 0. ", "found 6 attributes", "colour : 0. 0.5 0. 1. ", "count : 3 ", "gain : 0. ",
                                           "mode : peak ", "steps : 0 ", "title : untitled " }));
}

using ResetTest = GlueTest;

TEST_F (ResetTest, ResetRestoresDefaultsButRespectsDontreset)
{
    auto* probe = makeProbe ("@count 8 @gain -3 @mode rms @steps 4 @title other");
    auto* x = asObject (probe);
    maxhost::send (x, "reset");
    EXPECT_TRUE (maxhost::console().empty()) << "plain reset passes over attributes without a default silently";
    EXPECT_EQ (probe->count, 8) << "dontreset";
    EXPECT_EQ (probe->gain, 0.0f);
    EXPECT_EQ (probe->mode, gensym ("peak"));
    EXPECT_EQ (probe->steps, 4);
    EXPECT_EQ (probe->title, gensym ("untitled"));

    object_attr_setfloat (x, gensym ("gain"), -9.0);
    maxhost::send (x, "reset", { atomSym ("gain") });
    maxhost::send (x, "reset", { atomSym ("count") });
    maxhost::send (x, "reset", { atomSym ("steps") });
    EXPECT_EQ (probe->gain, 0.0f);
    EXPECT_EQ (probe->count, 8);
    EXPECT_EQ (texts (maxhost::Severity::warn), std::vector<std::string> { "attribute steps doesnt have a default value" });

    ResetAttributeToDefault (x, "count", true, true);
    EXPECT_EQ (probe->count, 3) << "the ignore flag overrides dontreset";
}

TEST_F (DumpTest, ValuesTooLongForOneMessageAreRefusedNotWrapped)
{
    auto* probe = makeProbe();
    auto* x = asObject (probe);
    ASSERT_EQ (object_addattr (x, attribute_new ("big", gensym ("atom"), 0, nullptr, nullptr)), MAX_ERR_NONE);
    std::vector<t_atom> many (40000, atomLong (1));
    object_attr_setvalueof (x, gensym ("big"), static_cast<long> (many.size()), many.data());
    auto* binbuf = binbuf_new();
    gensym ("_preset")->s_thing = reinterpret_cast<t_object*> (binbuf);

    maxhost::send (x, "dump", { atomSym ("big") });
    maxhost::send (x, "dump");
    maxhost::send (x, "preset");

    EXPECT_TRUE (dumpEvents (probe).empty());
    long ac = 0;
    t_atom* av = nullptr;
    binbuf_getatoms (binbuf, &ac, &av);
    EXPECT_EQ (ac, 0);
    EXPECT_EQ (texts (maxhost::Severity::error).size(), 3u);

    // pattr has no such limit.
    long count = 0;
    t_atom* atoms = nullptr;
    oskelmax_getvalueof (x, &count, &atoms);
    EXPECT_EQ (count, 40009);
    sysmem_freeptr (atoms);

    gensym ("_preset")->s_thing = nullptr;
    object_free (binbuf);
}
