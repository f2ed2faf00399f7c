#include "HostTestClass.h"

#include <cstring>

using namespace hosttest;

namespace
{
std::string text (const std::vector<t_atom>& atoms)
{
    return maxhost::atomsToText (atoms);
}

std::vector<t_atom> meta (t_object* x, const char* attribute, const char* metaName, t_max_err* result = nullptr)
{
    long ac = 0;
    t_atom* av = nullptr;
    const auto err = object_attr_getvalueof (object_attr_get (x, gensym (attribute)), gensym (metaName), &ac, &av);
    if (result != nullptr)
        *result = err;
    std::vector<t_atom> atoms (av, av + ac);
    sysmem_freeptr (av);
    return atoms;
}
} // namespace

using AttributeTest = HostTest;

TEST_F (AttributeTest, ClipFilterAppliesOnEveryPathBeforeTheSetter)
{
    auto* x = makeProbe();
    auto* object = &x->header.z_ob;

    struct Case
    {
        const char* how;
        std::function<void()> set;
        t_atom_long expected;
    };
    const std::vector<Case> cases = {
        { "setvalueof", [&] { object_attr_setlong (object, gensym ("count"), 42); }, 10 },
        { "message", [&] { maxhost::send (object, "count", { atomLong (-5) }); }, 0 },
        { "float message", [&] { maxhost::send (object, "count", { atomFloat (7.0) }); }, 7 },
    };
    for (auto& c : cases)
    {
        c.set();
        EXPECT_EQ (x->count, c.expected) << c.how;
    }

    resetLog();
    object_attr_setfloat (object, gensym ("level"), 20.0);
    ASSERT_EQ (setterCalls().size(), 1u);
    EXPECT_DOUBLE_EQ (atom_getfloat (&setterCalls()[0].values[0]), 6.0) << "the setter sees the clipped value";
    EXPECT_FLOAT_EQ (x->level, 6.0f);
}

TEST_F (AttributeTest, DefaultGetterReadsFieldsOfEveryType)
{
    auto* x = makeProbe ("@colour 0.1 0.2 0.3 0.4 @corner 1.5 2.5 @mode rms");
    auto* object = &x->header.z_ob;
    EXPECT_EQ (text (values (object, "colour")), "0.1 0.2 0.3 0.4");
    EXPECT_EQ (text (values (object, "corner")), "1.5 2.5");
    EXPECT_EQ (text (values (object, "mode")), "rms");
    EXPECT_EQ (values (object, "count")[0].a_type, A_LONG);
    EXPECT_EQ (values (object, "level")[0].a_type, A_FLOAT);
}

TEST_F (AttributeTest, MetaAttributesAreParsedWithTheAttributeType)
{
    auto* object = &makeProbe()->header.z_ob;
    auto rate = meta (object, "rate", "maxvalue");
    ASSERT_EQ (rate.size(), 1u);
    EXPECT_EQ (rate[0].a_type, A_FLOAT);
    EXPECT_DOUBLE_EQ (rate[0].a_w.w_float, 3.6e7);
    EXPECT_EQ (meta (object, "rate", "minvalue")[0].a_type, A_FLOAT) << "\"100\" becomes a float for a float32 attribute";

    auto corner = meta (object, "corner", "default");
    ASSERT_EQ (corner.size(), 2u);
    EXPECT_EQ (corner[0].a_type, A_FLOAT);
    EXPECT_EQ (text (corner), "50. 800.");

    auto colour = meta (object, "colour", "default");
    ASSERT_EQ (colour.size(), 4u);
    EXPECT_DOUBLE_EQ (colour[1].a_w.w_float, 0.502);

    EXPECT_EQ (text (meta (object, "mode", "enumvals")), "peak rms");
    EXPECT_EQ (text (meta (object, "level", "label")), "global level") << "a formatted symbol keeps its blanks";
    EXPECT_EQ (meta (object, "count", "dontreset")[0].a_w.w_long, 1);

    auto* defaultOfColour = object_attr_get (object_attr_get (object, gensym ("colour")), gensym ("default"));
    ASSERT_NE (defaultOfColour, nullptr);
    EXPECT_EQ (reinterpret_cast<t_eattr*> (defaultOfColour)->flags, ATTR_SET_DEFER_LOW) << "meta-attributes keep their own flags";
}

TEST_F (AttributeTest, MissingAttributeOrMetaAttributeAnswersGenericErrorWithNoAtoms)
{
    auto* object = &makeProbe()->header.z_ob;
    long ac = 5;
    t_atom* av = nullptr;
    ac = 0;
    EXPECT_EQ (object_attr_getvalueof (object, gensym ("nosuch"), &ac, &av), MAX_ERR_GENERIC);
    EXPECT_EQ (ac, 0);
    EXPECT_EQ (av, nullptr);

    t_max_err err = MAX_ERR_NONE;
    EXPECT_TRUE (meta (object, "count", "order", &err).empty());
    EXPECT_EQ (err, MAX_ERR_GENERIC);
    EXPECT_EQ (object_attr_get (object, gensym ("nosuch")), nullptr);
    EXPECT_EQ (object_attr_setlong (object, gensym ("nosuch"), 1), MAX_ERR_GENERIC);
}

TEST_F (AttributeTest, CallerArrayIsNeverOverrun)
{
    auto* object = &makeProbe()->header.z_ob;
    t_atom buffer[3];
    buffer[2] = atomSym ("untouched");
    long ac = 2;
    t_atom* av = buffer;
    EXPECT_EQ (object_attr_getvalueof (object, gensym ("colour"), &ac, &av), MAX_ERR_NONE);
    EXPECT_EQ (ac, 2);
    EXPECT_EQ (av, buffer);
    EXPECT_EQ (buffer[2].a_w.w_sym, gensym ("untouched"));
}

TEST_F (AttributeTest, NamesComeInRegistrationOrderAndSortByteWise)
{
    auto* object = &makeProbe()->header.z_ob;
    long count = 0;
    t_symbol** names = nullptr;
    ASSERT_EQ (object_attr_getnames (object, &count, &names), MAX_ERR_NONE);
    std::vector<std::string> listed;
    for (long i = 0; i < count; ++i)
        listed.push_back (names[i]->s_name);
    EXPECT_EQ (listed, (std::vector<std::string> { "count", "level", "colour", "mode", "secret", "rate", "corner" }));

    t_symbol* toSort[] = { gensym ("b"), gensym ("Z"), gensym ("a"), gensym ("_x") };
    symbolarray_sort (4, toSort);
    EXPECT_STREQ (toSort[0]->s_name, "Z");
    EXPECT_STREQ (toSort[1]->s_name, "_x");
    EXPECT_STREQ (toSort[3]->s_name, "b");
    sysmem_freeptr (names);

    auto* attr = object_attr_get (object, gensym ("level"));
    EXPECT_EQ (object_method (attr, gensym ("gettype")), gensym ("float32"));
    EXPECT_EQ (object_method (attr, gensym ("getname")), gensym ("level"));
    long metaCount = 0;
    t_symbol** metaNames = nullptr;
    object_attr_getnames (attr, &metaCount, &metaNames);
    ASSERT_EQ (metaCount, 2);
    EXPECT_STREQ (metaNames[0]->s_name, "default");
    EXPECT_STREQ (metaNames[1]->s_name, "label");
    sysmem_freeptr (metaNames);
}

TEST_F (AttributeTest, UserOpaqueAttributeRefusesMessagesButNotTheObject)
{
    auto* x = makeProbe();
    auto* object = &x->header.z_ob;
    maxhost::send (object, "secret", { atomLong (5) });
    EXPECT_EQ (x->secret, 0);
    EXPECT_EQ (consoleTexts (maxhost::Severity::error).size(), 1u);
    object_attr_setlong (object, gensym ("secret"), 5);
    EXPECT_EQ (x->secret, 5);
    EXPECT_EQ (reinterpret_cast<t_eattr*> (object_attr_get (object, gensym ("secret")))->flags & 0x300, 0x300);
}
