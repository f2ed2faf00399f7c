#include "GlueTestClass.h"

#include "maxglue/ClassDocumentation.h"
#include "maxglue/StandardMethods.h"

using namespace gluetest;

using StandardMethodsTest = GlueTest;

namespace
{
std::vector<t_atom> classRecord (t_class* c, const char* name)
{
    auto* description = class_attr_get (c, gensym ("classdescription"));
    auto* array = reinterpret_cast<t_atomarray*> (object_attr_getobj (description, gensym (name)));
    long ac = 0;
    t_atom* av = nullptr;
    if (array != nullptr)
        atomarray_getatoms (array, &ac, &av);
    return std::vector<t_atom> (av, av + ac);
}

std::vector<t_atom> methodRecord (t_class* c, const char* message)
{
    auto* description = class_attr_get (c, gensym ("classdescription"));
    auto* methods = reinterpret_cast<t_dictionary*> (object_attr_getobj (description, gensym ("methods")));
    t_object* entry = nullptr;
    if (methods == nullptr || dictionary_getobject (methods, gensym (message), &entry) != MAX_ERR_NONE)
        return {};
    long ac = 0;
    t_atom* av = nullptr;
    atomarray_getatoms (reinterpret_cast<t_atomarray*> (entry), &ac, &av);
    return std::vector<t_atom> (av, av + ac);
}

t_class* lastBareClass = nullptr;

void* bareNew (t_symbol*, long, t_atom*)
{
    return object_alloc (lastBareClass);
}

// A class of the family without documentation attributes.
t_class* bareClass (const char* name)
{
    lastBareClass = class_new (name, oskelmax_method (bareNew), nullptr, sizeof (t_oskelmax_object), nullptr, A_GIMME, 0);
    return lastBareClass;
}
} // namespace

TEST_F (StandardMethodsTest, VersionPostsTheLabelOfExternalversion)
{
    auto* x = asObject (makeProbe());
    maxhost::send (x, "version");
    EXPECT_EQ (texts (maxhost::Severity::post), std::vector<std::string> { "Version 1.2.3" });

    auto* c = bareClass ("glue.bare");
    oskelmax_addstandardmethods (c);
    class_register (CLASS_BOX, c);
    auto* bare = maxhost::newObject ("glue.bare");
    ASSERT_NE (bare, nullptr);
    maxhost::clearRecordings();
    maxhost::send (bare, "version");
    EXPECT_EQ (texts (maxhost::Severity::error), std::vector<std::string> { "Couldnt get external version" });
}

TEST_F (StandardMethodsTest, PostdspstatusReadsTheFamilyHeader)
{
    auto* probe = makeProbe();
    auto* x = asObject (probe);
    const struct
    {
        t_atom_long muted, bypassed, disabled, dsp;
        const char* first;
        const char* second;
    } cases[] = {
        { 0, 0, 0, 0, "dsp processing is enabled", "dsp is off" },  { 0, 0, 0, 1, "dsp processing is enabled", "dsp is on" },
        { 1, 1, 0, 1, "dsp processing is muted", "dsp is on" },     { 0, 1, 0, 0, "dsp processing is bypassed", "dsp is off" },
        { 0, 1, 1, 0, "dsp processing is muted", "dsp is off" },    { 2, 2, 0, 0, "dsp processing is enabled", "dsp is off" },
    };
    for (const auto& c : cases)
    {
        probe->ob.muted = c.muted;
        probe->ob.bypassed = c.bypassed;
        probe->ob.header.z_disabled = c.disabled;
        maxhost::setDspState (c.dsp);
        maxhost::clearRecordings();
        maxhost::send (x, "postdspstatus");
        EXPECT_EQ (texts (maxhost::Severity::post), (std::vector<std::string> { c.first, c.second }));
    }
    maxhost::setDspState (0);
}

TEST_F (StandardMethodsTest, DspSetupMakesSignalPortsAndTheNoInPlaceFlag)
{
    auto* probe = makeProbe();
    auto* x = asObject (probe);
    EXPECT_EQ (maxhost::signalInletCount (x), 1);
    EXPECT_TRUE (maxhost::outletIsSignal (x, 1));
    EXPECT_FALSE (maxhost::outletIsSignal (x, 2));
    EXPECT_EQ (probe->ob.header.z_misc, Z_NO_INPLACE);
    EXPECT_EQ (probe->ob.box, maxhost::boxOf (x));
}

TEST_F (StandardMethodsTest, WindowMessagesReachTheObjectsHandlers)
{
    auto* probe = makeProbe();
    auto* x = asObject (probe);
    maxhost::send (x, "open");
    object_method (x, gensym ("dblclick"));
    maxhost::send (x, "wclose");
    EXPECT_EQ (probe->opens, 2);
    EXPECT_EQ (probe->closes, 1);
}

TEST_F (StandardMethodsTest, FailedRegistrationsArePostedForMessagesWithArguments)
{
    for (const char* name : { "dump", "reset", "postattributes", "recallpreset", "exportdict", "dumpdict", "version", "generatexml" })
        maxhost::failCall ("class_addmethod", name, 1);

    auto* c = bareClass ("glue.faulty");
    oskelmax_addstandardmethods (c);
    oskelmax_adddumpmethod (c);
    oskelmax_addresetmethod (c);
    maxhost::failCall ("class_addmethod", "fadeout", 1);
    maxhost::failCall ("class_addmethod", "clearpeak", 1);
    oskelmax_addgimmemethod (c, oskelmax_method (+[] (t_object*, t_symbol*, long, t_atom*) {}), "fadeout");
    oskelmax_addnoargmethod (c, oskelmax_method (+[] (t_object*) {}), "clearpeak");

    EXPECT_EQ (texts (maxhost::Severity::post),
               (std::vector<std::string> { "error when adding method postattributes", "error when adding method recallpreset",
                                           "error when adding method exportdict", "error when adding method dumpdict",
                                           "error when adding method dump", "error when adding method reset",
                                           "error when adding method fadeout", "error when adding method clearpeak" }));
}

using ClassDocumentationTest = GlueTest;

TEST_F (ClassDocumentationTest, StandardMessagesAreDocumentedWhenTheDescriptionExists)
{
    EXPECT_EQ (text (methodRecord (probeClass(), "reset")),
               "reset one attribute to its default value. <br/> if no attribute name is specified this will reset the value of all "
               "attributes. 0 name of the attribute symbol ");
    EXPECT_EQ (text (methodRecord (probeClass(), "readdict")), "receives and parses a dictionary (of attributes). 0 ");
    EXPECT_TRUE (methodRecord (probeClass(), "dictionary").empty());
    EXPECT_TRUE (methodRecord (probeClass(), "getvalueof").empty());

    EXPECT_EQ (text (classRecord (probeClass(), "arguments")), "None   ");
    EXPECT_EQ (text (classRecord (probeClass(), "inlets")), "signal in ");
    EXPECT_EQ (text (classRecord (probeClass(), "outlets")), "not documented dump outlet ") << "outlet 0 stays undocumented";
}

TEST_F (ClassDocumentationTest, RecordsNeedTheClassDescription)
{
    auto* c = bareClass ("glue.undocumented");
    oskelmax_addresetmethod (c);
    oskelmax::class_doc_arg (c, "None", "", "");
    oskelmax::class_doc_outlet (c, 0, "dump outlet");
    oskelmax::class_doc_method_arg (c, "reset", "name", "symbol");
    EXPECT_EQ (texts (maxhost::Severity::post),
               (std::vector<std::string> { "oskelmax::class_doc_arg no classdescription class attribute",
                                           "oskelmax::class_doc_array_add_description no classdescription class attribute" }));

    oskelmax::class_doc_method_arg (probeClass(), "never documented", "name", "symbol");
    EXPECT_TRUE (methodRecord (probeClass(), "never documented").empty());
    oskelmax::class_doc_inlet (probeClass(), 0, "second text");
    EXPECT_EQ (text (classRecord (probeClass(), "inlets")), "signal in ") << "an entry keeps its first text";
    oskelmax::class_doc_inlet (probeClass(), 2, "third");
    EXPECT_EQ (text (classRecord (probeClass(), "inlets")), "signal in not documented third ");
}
