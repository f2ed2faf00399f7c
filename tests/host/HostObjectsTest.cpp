#include "HostTestClass.h"

using namespace hosttest;

using ObjectTest = HostTest;

// The attribute tests read back the values the box and the defaults give.
TEST_F (ObjectTest, CreationBindsTheBoxWhileMadeZeroFillsAndDictionaryHasBoxValuesOnDefaultsInTheirOrder)
{
    auto* x = makeProbe ("@count 9 8 @extra x");
    ASSERT_NE (x, nullptr);
    EXPECT_NE (x->box, nullptr);
    EXPECT_EQ (x->box, maxhost::boxOf (&x->header.z_ob));
    EXPECT_EQ (gensym ("#B")->s_thing, nullptr);
    EXPECT_EQ (x->secret, 0);
    // "rate" and "secret" have no default.
    EXPECT_EQ (log().creationKeys, (std::vector<std::string> { "count", "level", "colour", "mode", "corner", "extra" }));
    EXPECT_EQ (log().creationCount, "9 8");
}

TEST_F (ObjectTest, OutletsArePlacedLeftmostAndRecordWhatTheySend)
{
    auto* object = &makeProbe ("@count 4")->header.z_ob;
    ASSERT_EQ (maxhost::outletCount (object), 4);
    EXPECT_TRUE (maxhost::outletIsSignal (object, 1));
    EXPECT_TRUE (maxhost::outletIsSignal (object, 2));
    EXPECT_FALSE (maxhost::outletIsSignal (object, 3));

    maxhost::clearRecordings();
    maxhost::send (object, "bang");
    maxhost::send (object, "echo", maxhost::parseAtoms ("1 2.5 three"));
    maxhost::send (object, "name", maxhost::parseAtoms ("n"));
    maxhost::sendFromScheduler (object, "bang");
    const auto events = maxhost::outletEvents();
    ASSERT_EQ (events.size(), 4u);
    EXPECT_EQ (events[0].outlet, 3) << "the dump outlet, made second, sits left of the first plain outlet";
    EXPECT_EQ (events[0].selector, "int");
    EXPECT_EQ (maxhost::atomsToText (events[0].atoms), "4");
    EXPECT_EQ (events[1].selector, "echo");
    EXPECT_EQ (maxhost::atomsToText (events[1].atoms), "1 2.5 three");
    EXPECT_EQ (events[2].outlet, 4);
    EXPECT_EQ (events[2].role, maxhost::ThreadRole::main);
    EXPECT_EQ (events[3].role, maxhost::ThreadRole::scheduler) << "each event carries the sender's thread";
}

TEST_F (ObjectTest, BadMessagesAreReportedNotCrashed)
{
    auto* object = &makeProbe()->header.z_ob;
    maxhost::clearRecordings();
    maxhost::send (object, "nosuch", maxhost::parseAtoms ("1"));
    maxhost::send (object, "number", maxhost::parseAtoms ("x"));
    maxhost::send (object, "name");
    maxhost::send (object, "dsp64");
    maxhost::send (object, "bang", maxhost::parseAtoms ("1"));
    EXPECT_EQ (consoleLines(), (std::vector<std::string> { "error: doesn't understand \"nosuch\"",
                                                          "error: bad arguments for message \"number\"",
                                                          "error: bad arguments for message \"name\"",
                                                          "error: message \"dsp64\" is for the host only",
                                                          "warn: extra arguments for message \"bang\"" }));
    EXPECT_EQ (maxhost::console()[0].object, object);
    EXPECT_EQ (maxhost::outletEvents().size(), 1u) << "extra arguments are dropped, the message still runs";
}

TEST_F (ObjectTest, FreeingTwiceIsCaughtAndNotificationsAreRecorded)
{
    auto* object = &makeProbe()->header.z_ob;
    auto* box = maxhost::boxOf (object);
    object_notify (box, gensym ("modified"), nullptr);
    object_notify (box, gensym ("modified"), nullptr);
    EXPECT_EQ (maxhost::notifications (box), (std::vector<t_symbol*> { gensym ("modified"), gensym ("modified") }));
    // A long run of changes keeps only the latest few, and their count.
    for (int i = 0; i < 100000; ++i)
        object_notify (box, i % 2 == 0 ? gensym ("even") : gensym ("odd"), nullptr);
    const auto latest = maxhost::notifications (box);
    ASSERT_EQ (latest.size(), maxhost::latestNotificationsKept);
    EXPECT_EQ (latest.back(), gensym ("odd"));
    EXPECT_EQ (maxhost::notificationCount (box), 100002u);

    EXPECT_EQ (object_free (object), MAX_ERR_NONE);
    maxhost::clearRecordings();
    EXPECT_EQ (object_free (object), MAX_ERR_INVALID_PTR);
    maxhost::send (object, "bang");
    EXPECT_EQ (object_attr_get (object, gensym ("count")), nullptr);
    EXPECT_EQ (consoleLines(), (std::vector<std::string> { "bug: object_free: not a live object (freed twice?)",
                                                          "bug: message \"bang\" sent to an object that does not exist",
                                                          "bug: object_attr_get: not a live object" }));
}

TEST_F (ObjectTest, InjectedFaultsFailTheNamedCallOnly)
{
    maxhost::failCall ("class_addmethod", "dump");
    auto* c = class_new ("faulty", asMethod (+[] (t_symbol*, long, t_atom*) -> void* { return nullptr; }), nullptr, sizeof (t_object),
                         nullptr, A_GIMME, 0);
    EXPECT_EQ (class_addmethod (c, asMethod (+[] (t_object*) {}), "dump", 0), MAX_ERR_GENERIC);
    EXPECT_EQ (class_addmethod (c, asMethod (+[] (t_object*) {}), "reset", 0), MAX_ERR_NONE);

    maxhost::failCall ("object_alloc", "probe~", 1);
    EXPECT_EQ (makeProbe(), nullptr);
    EXPECT_NE (makeProbe(), nullptr) << "the fault was for one call";

    maxhost::failCall ("sysmem_newptr", "");
    long ac = 0;
    t_atom* av = nullptr;
    EXPECT_EQ (object_attr_getvalueof (makeProbe(), gensym ("count"), &ac, &av), MAX_ERR_OUT_OF_MEM);
    maxhost::clearFaults();
    auto* p = sysmem_newptr (8);
    EXPECT_NE (p, nullptr);
    sysmem_freeptr (p);
}

TEST_F (ObjectTest, DictionariesKeepKeyOrderAndOwnTheirValues)
{
    auto* d = dictionary_new();
    dictionary_appendlong (d, gensym ("b"), 1);
    dictionary_appendsym (d, gensym ("a"), gensym ("x"));
    dictionary_appendatoms (d, gensym ("c"), 3, maxhost::parseAtoms ("1 2.5 z").data());
    t_atom entry;
    ASSERT_EQ (dictionary_getatom (d, gensym ("c"), &entry), MAX_ERR_NONE);
    EXPECT_TRUE (atomisatomarray (&entry));
    auto* array = reinterpret_cast<t_atomarray*> (entry.a_w.w_obj);
    EXPECT_EQ (atomarray_getsize (array), 3);

    dictionary_appendfloat (d, gensym ("c"), 0.5);
    EXPECT_EQ (object_free (array), MAX_ERR_INVALID_PTR) << "replacing a value frees the old one";
    EXPECT_EQ (keysOf (d), (std::vector<std::string> { "b", "a", "c" }));
    EXPECT_EQ (dictionary_getatom (d, gensym ("nosuch"), &entry), MAX_ERR_GENERIC);

    t_symbol* name = nullptr;
    ASSERT_EQ (dictobj_register (d, &name), d);
    ASSERT_NE (name, nullptr);
    EXPECT_EQ (dictobj_findregistered_retain (name), d);
    EXPECT_EQ (dictobj_release (d), MAX_ERR_NONE);
    EXPECT_EQ (dictobj_findregistered_retain (name), d) << "still registered while referenced";
    dictobj_release (d);
    dictobj_release (d);
    EXPECT_EQ (dictobj_findregistered_retain (name), nullptr);
}

TEST_F (ObjectTest, PresetBinbufReplaysItsMessages)
{
    auto* x = makeProbe();
    auto* b = binbuf_new();
    auto record = maxhost::parseAtoms ("object probe~ count 9");
    atom_setobj (&record[0], x);
    binbuf_insert (b, nullptr, 4, record.data());
    binbuf_eval_messages (b);
    EXPECT_EQ (x->count, 9);
    object_free (b);
}

TEST_F (ObjectTest, SaveDialogIsAnsweredFromTheScript)
{
    char name[MAX_FILENAME_CHARS] = "file.json";
    short path = 0;
    t_fourcc type = FOUR_CHAR_CODE (0x4A534F4E);
    EXPECT_NE (saveasdialog_extended (name, &path, &type, &type, 1), 0) << "no answer counts as cancelled";

    maxhost::setDialogAnswer ("/tmp/somewhere/out.json");
    ASSERT_EQ (saveasdialog_extended (name, &path, &type, &type, 1), 0);
    char full[MAX_PATH_CHARS];
    ASSERT_EQ (path_topotentialname (path, name, full, 0), 0);
    EXPECT_STREQ (full, "/tmp/somewhere/out.json");

    maxhost::setDialogAnswer ("cancelled");
    EXPECT_NE (saveasdialog_extended (name, &path, &type, &type, 1), 0);
    EXPECT_EQ (maxhost::dialogsShown(), 3);
}

TEST (AtomTextTest, MessagesParseAndPrintAsInAMessageBox)
{
    struct Case { const char* input; std::vector<short> types; const char* printed; };
    const Case cases[] = {
        { "1 2.5 x", { A_LONG, A_FLOAT, A_SYM }, "1 2.5 x" },
        { "-3 1e3 .5", { A_LONG, A_FLOAT, A_FLOAT }, "-3 1000. 0.5" },
        { "3.6e+07 nan - 1x", { A_FLOAT, A_SYM, A_SYM, A_SYM }, "36000000. nan - 1x" },
        { "\"two words\" 0.", { A_SYM, A_FLOAT }, "two words 0." },
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.input);
        const auto atoms = maxhost::parseAtoms (c.input);
        std::vector<short> types;
        for (const auto& a : atoms)
            types.push_back (a.a_type);
        EXPECT_EQ (types, c.types);
        EXPECT_EQ (maxhost::atomsToText (atoms), c.printed);
    }
    EXPECT_NE (symbol_unique(), symbol_unique());
}

TEST_F (ObjectTest, HostOnlyRoutinesAreCalledThroughTheirOwnSignatures)
{
    auto* object = &makeProbe ("@count 6")->header.z_ob;
    EXPECT_EQ (maxhost::assist (object, 1, 2), "inlet 2");
    EXPECT_EQ (maxhost::assist (object, 2, 0), "outlet 0");

    long ac = 0;
    t_atom* av = nullptr;
    EXPECT_EQ (object_method (object, gensym ("getvalueof"), &ac, &av), reinterpret_cast<void*> (MAX_ERR_NONE));
    ASSERT_EQ (ac, 1);
    EXPECT_EQ (av[0].a_w.w_long, 6);
    sysmem_freeptr (av);

    auto two = maxhost::parseAtoms ("1 2");
    EXPECT_EQ (object_method (object, gensym ("setvalueof"), 2L, two.data()), reinterpret_cast<void*> (MAX_ERR_GENERIC));
    EXPECT_EQ (object_method (object, gensym ("setvalueof"), 1L, two.data()), reinterpret_cast<void*> (MAX_ERR_NONE));
    EXPECT_EQ (reinterpret_cast<Probe*> (object)->count, 1);
}

TEST_F (ObjectTest, AScreenshotFirstAsksEveryPlugInToFinishItsDrawing)
{
    static std::vector<std::string> calls;
    const maxhost_drawcallback record = [] (void* context) { calls.push_back (static_cast<const char*> (context)); };
    const maxhost_drawcallback other = [] (void*) { calls.push_back ("other"); };
    // Of an object without a window: nothing is written, but the drawing routines run.
    const auto screenshot = [&] {
        calls.clear();
        std::string reason;
        EXPECT_FALSE (maxhost::screenshot (&makeProbe()->header.z_ob, "/tmp/never-written.png", reason));
        EXPECT_EQ (reason, "the object has no window");
        return calls;
    };

    EXPECT_EQ (maxhost_mainloop_adddrawcallback (nullptr, nullptr), MAX_ERR_INVALID_PTR);
    EXPECT_EQ (maxhost_mainloop_adddrawcallback (record, const_cast<char*> ("first")), MAX_ERR_NONE);
    EXPECT_EQ (maxhost_mainloop_adddrawcallback (other, nullptr), MAX_ERR_NONE);
    EXPECT_EQ (maxhost_mainloop_adddrawcallback (record, const_cast<char*> ("again")), MAX_ERR_NONE);
    EXPECT_EQ (screenshot(), (std::vector<std::string> { "again", "other" }));

    EXPECT_EQ (maxhost_mainloop_removedrawcallback (record), MAX_ERR_NONE);
    EXPECT_EQ (maxhost_mainloop_removedrawcallback (record), MAX_ERR_GENERIC);
    EXPECT_EQ (screenshot(), (std::vector<std::string> { "other" }));

    restart();
    EXPECT_TRUE (screenshot().empty()) << "a restarted host has forgotten them";
}

TEST_F (ObjectTest, ObjectMetaAttributesHoldContainersOfTheClass)
{
    auto* object = &makeProbe()->header.z_ob;
    auto* attr = class_attr_get (object_class (object), gensym ("mode"));
    ASSERT_EQ (attr, object_attr_get (object, gensym ("mode")));
    EXPECT_EQ (object_attr_getobj (attr, gensym ("arguments")), nullptr);

    auto* array = atomarray_new (0, nullptr);
    object_addattr_format (attr, "arguments", gensym ("object"), 0, "o", array);
    auto* found = reinterpret_cast<t_atomarray*> (object_attr_getobj (attr, gensym ("arguments")));
    ASSERT_EQ (found, array);
    auto triple = maxhost::parseAtoms ("None \"\" \"\"");
    atomarray_appendatoms (found, 3, triple.data());
    t_atom second;
    ASSERT_EQ (atomarray_getindex (array, 1, &second), MAX_ERR_NONE);
    EXPECT_EQ (atom_getsym (&second), gensym (""));
    EXPECT_EQ (atomarray_getindex (array, 3, &second), MAX_ERR_GENERIC);
    EXPECT_EQ (object_method (object_attr_get (attr, gensym ("arguments")), gensym ("gettype")), gensym ("object"));
}
