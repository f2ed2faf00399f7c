#include "GlueTestClass.h"

#include "maxglue/ClassDocumentation.h"

using namespace gluetest;

using StandardMethodsTest = GlueTest;

TEST_F (StandardMethodsTest, VersionPostsTheLabelOfExternalversion)
{
    maxhost::send (asObject (makeProbe()), "version");
    EXPECT_EQ (posts(), Texts { "Version 1.2.3" });
    auto* c = bareClass ("glue.bare");
    oskelmax_addstandardmethods (c);
    class_register (CLASS_BOX, c);
    auto* bare = maxhost::newObject ("glue.bare");
    ASSERT_NE (bare, nullptr);
    maxhost::clearRecordings();
    maxhost::send (bare, "version");
    EXPECT_EQ (errors(), Texts { "Couldnt get external version" });
}

TEST_F (StandardMethodsTest, GeneratexmlWithoutAPageWriterPostsAnError)
{
    makeProbe();
    oskelmax_setgeneratexmlhook (nullptr);   // the next set-up hands the writer back
    maxhost::send (x, "generatexml");
    EXPECT_EQ (errors(), Texts { "generatexml : no reference page writer is set" });
    EXPECT_TRUE (posts().empty());
}

TEST_F (StandardMethodsTest, PostdspstatusReadsTheFamilyHeader)
{
    makeProbe();
    const struct
    {
        t_atom_long muted, bypassed, disabled, dsp;
        const char *first, *second;
    } cases[] = {
        { 0, 0, 0, 0, "dsp processing is enabled", "dsp is off" }, { 1, 1, 0, 1, "dsp processing is muted", "dsp is on" },
        { 0, 1, 0, 0, "dsp processing is bypassed", "dsp is off" }, { 0, 1, 1, 0, "dsp processing is muted", "dsp is off" },
        { 2, 2, 0, 1, "dsp processing is enabled", "dsp is on" },
    };
    for (const auto& c : cases)
    {
        probe->ob.muted = c.muted;
        probe->ob.bypassed = c.bypassed;
        probe->ob.header.z_disabled = c.disabled;
        maxhost::setDspState (c.dsp);
        maxhost::clearRecordings();
        maxhost::send (x, "postdspstatus");
        EXPECT_EQ (posts(), (Texts { c.first, c.second }));
    }
    maxhost::setDspState (0);
}

TEST_F (StandardMethodsTest, FailedRegistrationsArePostedForMessagesWithArguments)
{
    for (const char* name : { "dump", "reset", "postattributes", "recallpreset", "exportdict", "dumpdict", "version", "generatexml",
                              "fadeout", "clearpeak" })
        maxhost::failCall ("class_addmethod", name, 1);
    auto* c = bareClass ("glue.faulty");
    oskelmax_addstandardmethods (c);
    oskelmax_adddumpmethod (c);
    oskelmax_addresetmethod (c);
    oskelmax_addgimmemethod (c, oskelmax_method (+[] (t_object*, t_symbol*, long, t_atom*) {}), "fadeout");
    oskelmax_addnoargmethod (c, oskelmax_method (+[] (t_object*) {}), "clearpeak");
    Texts expected;
    for (const char* name : { "postattributes", "recallpreset", "exportdict", "dumpdict", "dump", "reset", "fadeout", "clearpeak" })
        expected.push_back (std::string ("error when adding method ") + name);
    EXPECT_EQ (posts(), expected);
}

namespace
{
t_object* record (t_class* c, const char* name)
{
    return object_attr_getobj (class_attr_get (c, gensym ("classdescription")), gensym (name));
}

// The count of entries of a dictionary record, of atoms of an array record.
long recordSize (t_class* c, const char* name)
{
    t_atom atom {};
    atom_setobj (&atom, record (c, name));
    if (atomisdictionary (&atom) != 0)
        return static_cast<long> (dictionary_getentrycount (reinterpret_cast<t_dictionary*> (atom.a_w.w_obj)));
    return static_cast<long> (atomarray_getsize (reinterpret_cast<t_atomarray*> (atom.a_w.w_obj)));
}
} // namespace

TEST_F (StandardMethodsTest, DocumentationRecordsNeedTheClassDescriptionKeepTheirFirstTextAndRefuseFarIndexes)
{
    auto* c = bareClass ("glue.undocumented");
    oskelmax_addresetmethod (c);
    oskelmax::class_doc_arg (c, "None", "", "");
    oskelmax::class_doc_outlet (c, 0, "dump outlet");
    oskelmax::class_doc_method_arg (c, "reset", "name", "symbol");
    EXPECT_EQ (posts(), (Texts { "oskelmax::class_doc_arg no classdescription class attribute",
                                 "oskelmax::class_doc_array_add_description no classdescription class attribute" }));
    oskelmax::class_doc_inlet (probeClass(), 0, "second text");
    oskelmax::class_doc_inlet (probeClass(), 2, "third");
    long ac = 0;
    t_atom* av = nullptr;
    atomarray_getatoms (reinterpret_cast<t_atomarray*> (record (probeClass(), "inlets")), &ac, &av);
    EXPECT_EQ (text (std::vector<t_atom> (av, av + ac)), "signal in not documented third ") << "gaps are filled";

    oskelmax::class_doc_outlet (probeClass(), oskelmax::class_doc_max_index - 1, "the last one");
    EXPECT_EQ (recordSize (probeClass(), "outlets"), oskelmax::class_doc_max_index);
    for (int index : { oskelmax::class_doc_max_index, 100000, -1 })
        oskelmax::class_doc_inlet (probeClass(), index, "too far");
    EXPECT_EQ (recordSize (probeClass(), "inlets"), 3);
    EXPECT_EQ (errors(), (Texts { "oskelmax::class_doc_array_add_description index 4096 of inlets is out of range",
                                  "oskelmax::class_doc_array_add_description index 100000 of inlets is out of range",
                                  "oskelmax::class_doc_array_add_description index -1 of inlets is out of range" }));
}

TEST_F (StandardMethodsTest, DocumentationRecordOfAnotherKindIsReportedAndLeftAlone)
{
    auto* c = bareClass ("glue.mixedup");
    class_addattr (c, attr_offset_new ("classdescription", gensym ("symbol"), 0, nullptr, nullptr, offsetof (t_oskelmax_object, classdescription)));
    oskelmax::class_doc_array_add_description (c, "methods", 1, "an array under the name of the messages' record");
    oskelmax::class_doc_method (c, "reset", "reset things");
    oskelmax::class_doc_method_arg (c, "reset", "name", "symbol");
    EXPECT_EQ (recordSize (c, "methods"), 2);

    oskelmax::class_doc_array_add_description (probeClass(), "methods", 0, "over the messages' dictionary");
    EXPECT_EQ (recordSize (probeClass(), "methods"), 13);
    EXPECT_EQ (errors(), (Texts { "oskelmax::class_doc_method : the methods record is not a dictionary",
                                  "oskelmax::class_doc_method_arg : the methods record is not a dictionary",
                                  "oskelmax::class_doc_array_add_description : the methods record is not an atom array" }));
}
