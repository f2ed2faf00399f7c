#include "GlueTestClass.h"

#include "maxglue/AttributeState.h"
#include "maxglue/MaxAttribute.h"

#include <tuple>
#include <utility>

using namespace gluetest;

using StateListTest = GlueTest;

TEST_F (StateListTest, LeavesOutBoxInvisibleOpaqueEmptyAndVanishedAttributes)
{
    makeProbe();
    EXPECT_EQ (oskelmax::GetStateAttributeNames (x), names ({ "colour", "count", "gain", "mode", "steps", "title" }));
    auto list = names ({ "gain", "vanished", "hint", "mode" });
    FilterStateAttributes (x, list);
    EXPECT_EQ (list, names ({ "gain", "mode" }));
    EXPECT_TRUE (maxhost::console().empty()) << "building the state list posts nothing";
    EXPECT_EQ (CountStateAtoms (x, oskelmax::GetStateAttributeNames (x)), 9);
    EXPECT_EQ (GetNumberOfAtomsNeededToStoreAttribute (x, "empty"), 0);
    EXPECT_EQ (GetNumberOfAtomsNeededToStoreAttribute (x, "nothing"), 0);
    EXPECT_EQ (bugs(), Texts { "GetNumberOfAtomsNeededToStoreAttribute : MAX_ERR_GENERIC in object_attr_getvalueof (nothing)" });
}

TEST_F (StateListTest, SortModesGiveNameOrderOrderedFirstOrHostOrder)
{
    makeProbe();
    for (const auto& [mode, expected] : std::initializer_list<std::pair<int, kul::StringArray>> {
             { oskelmax::sortByName, names ({ "colour", "count", "gain", "mode", "steps", "title" }) },
             { oskelmax::sortByOrder, names ({ "gain", "count", "steps", "colour", "mode", "title" }) }, // orders 1, 3, 7, then by name
             { oskelmax::hostOrder, names ({ "count", "gain", "colour", "mode", "steps", "title" }) } })
    {
        kul::StringArray list;
        GetAttributeNames (x, list, mode);
        FilterStateAttributes (x, list);
        EXPECT_EQ (list, expected) << mode;
    }
    // gain has order 1, count 3, mode and title none: the unordered ones are equal.
    t_object* attributes[] = { object_attr_get (x, gensym ("gain")), object_attr_get (x, gensym ("count")),
                               object_attr_get (x, gensym ("mode")), object_attr_get (x, gensym ("title")) };
    for (const auto& [a, b, expected] : { std::tuple { 0, 1, -1 }, { 1, 0, 1 }, { 2, 0, 1 }, { 2, 3, 0 } })
        EXPECT_EQ (CompareAttributeOrder (&attributes[a], &attributes[b]), expected) << a << " " << b;
}

using MaxAttributeTest = GlueTest;

// The page of the test class shows the values that are there; these are the fallbacks.
TEST_F (MaxAttributeTest, MissingMetaValuesFallBackSilentlyAndOnlyADontresetOfOneHolds)
{
    makeProbe();
    class_attr_addattr_parse (probeClass(), "steps", "negative", gensym ("long"), 0, "-4");
    class_attr_addattr_parse (probeClass(), "gain", "dontreset", gensym ("long"), 0, "0");
    class_attr_addattr_parse (probeClass(), "mode", "dontreset", gensym ("long"), 0, "2");
    EXPECT_EQ (MaxAttribute (x, "steps").GetValueOf (gensym ("negative"), "fallback"), "-4");
    EXPECT_EQ (MaxAttribute (x, "steps").GetValueOf (gensym ("label"), "fallback"), "fallback");
    EXPECT_EQ (MaxAttribute (x, "nothing").GetValueOf (gensym ("label"), "fallback"), "fallback");
    for (const auto& [attribute, canBeReset] : std::initializer_list<std::pair<const char*, bool>> {
             { "count", false }, { "gain", true }, { "mode", true }, { "title", true }, { "nothing", false } })
        EXPECT_EQ (MaxAttribute (x, attribute).CanBeReset(), canBeReset) << attribute;
    EXPECT_EQ (MaxAttribute (x, "nothing").GetOrder(), 0);
    EXPECT_FALSE (MaxAttribute (x, "nothing").IsInvisible());
    kul::StringArray choices;
    MaxAttribute (x, "mode").GetEnumChoices (choices, "none");
    EXPECT_EQ (choices, names ({ "peak", "rms" }));
    MaxAttribute (x, "gain").GetEnumChoices (choices, "none");
    EXPECT_EQ (choices, names ({ "none" }));
    EXPECT_TRUE (maxhost::console().empty());
}

TEST_F (MaxAttributeTest, MistypedOrUnreadableMetaAttributesArePostedAndGiveTheNeutralResult)
{
    makeProbe();
    class_attr_addattr_parse (probeClass(), "title", "dontreset", gensym ("symbol"), 0, "yes");
    class_attr_addattr_parse (probeClass(), "title", "order", gensym ("float32"), 0, "2.5");
    class_attr_addattr_parse (probeClass(), "title", "invisible", gensym ("symbol"), 0, "yes");
    class_attr_addattr_parse (probeClass(), "title", "enumvals", gensym ("atom"), 0, "a 2 c");
    const MaxAttribute title (x, "title");
    EXPECT_TRUE (title.CanBeReset());
    EXPECT_EQ (title.GetOrder(), 0);
    EXPECT_FALSE (title.IsInvisible());
    kul::StringArray choices;
    title.GetEnumChoices (choices, "none");
    EXPECT_EQ (choices, names ({ "a", "", "c" }));
    EXPECT_EQ (posts(), (Texts { "bug ? MaxAttribute::CanBeReset()", "bug ? order attribute is supposed to be of type long for title",
                                 "error attribute invisible not typed long ??", "enumvals attribute with an atom that is not a symbol ??" }));

    maxhost::clearRecordings();
    for (const char* meta : { "dontreset", "label", "enumvals", "invisible", "order" })
        maxhost::failCall ("object_attr_getvalueof", meta, 1);
    EXPECT_TRUE (MaxAttribute (x, "count").CanBeReset()) << "its dontreset of 1 could not be read";
    EXPECT_EQ (MaxAttribute (x, "gain").GetLabel ("fallback"), "fallback");
    MaxAttribute (x, "mode").GetEnumChoices (choices, "none");
    EXPECT_EQ (choices, names ({ "none" }));
    EXPECT_FALSE (MaxAttribute (x, "ghost").IsInvisible());
    EXPECT_EQ (MaxAttribute (x, "gain").GetOrder(), 0) << "an order that cannot be read is none, silently";
    EXPECT_EQ (posts(), (Texts { "MaxAttribute::CanBeReset : MAX_ERR_OUT_OF_MEM in object_attr_getvalueof",
                                 "MaxAttribute::GetValueOf : MAX_ERR_OUT_OF_MEM in object_attr_getvalueof (label gain)",
                                 "MaxAttribute::GetEnumChoices : MAX_ERR_OUT_OF_MEM in object_attr_getvalueof",
                                 "MaxAttribute::IsInvisible : MAX_ERR_OUT_OF_MEM in object_attr_getvalueof" }));
    EXPECT_EQ (MaxAttribute (x, "gain").GetOrder(), 1) << "each fault failed one read";
}
