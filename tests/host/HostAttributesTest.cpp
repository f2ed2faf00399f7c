#include "HostTestClass.h"

#include <cmath>
#include <limits>

using namespace hosttest;

using AttributeTest = HostTest;

namespace
{
const double inf = std::numeric_limits<double>::infinity();

t_atom number (double value)
{
    t_atom atom;
    atom_setfloat (&atom, value);
    return atom;
}

std::vector<std::string> attributeNames (t_object* x)
{
    long count = 0;
    t_symbol** symbols = nullptr;
    EXPECT_EQ (object_attr_getnames (x, &count, &symbols), MAX_ERR_NONE);
    auto texts = names (count, symbols);
    sysmem_freeptr (symbols);
    return texts;
}
} // namespace

// "count" has no setter of its own: the host's keeps the field for what is no
// number. "level"'s setter records what reaches it.
TEST_F (AttributeTest, ClipFilterClipsWhatEveryPathConvertsToAndLeavesNaNAndInfinitiesToTheSetter)
{
    auto* x = makeProbe();
    auto* object = &x->header.z_ob;
    object_attr_setlong (object, gensym ("count"), 42);
    EXPECT_EQ (x->count, 10);
    const std::pair<std::vector<t_atom>, t_atom_long> cases[] = {
        { maxhost::parseAtoms ("-5"), 0 }, { maxhost::parseAtoms ("7."), 7 },         { { number (inf) }, 7 },
        { { number (-inf) }, 7 },          { { number (std::nan ("")) }, 7 }, { maxhost::parseAtoms ("many"), 0 },
    };
    for (const auto& [atoms, expected] : cases)
    {
        maxhost::send (object, "count", atoms);
        EXPECT_EQ (x->count, expected) << maxhost::atomsToText (atoms);
    }

    resetLog();
    object_attr_setfloat (object, gensym ("level"), 20.0);
    maxhost::send (object, "level", maxhost::parseAtoms ("loud"));
    maxhost::send (object, "level", { number (inf) });
    const auto calls = setterCalls();
    ASSERT_EQ (calls.size(), 3u);
    EXPECT_DOUBLE_EQ (atom_getfloat (&calls[0].values[0]), 6.0) << "the setter sees the clipped value";
    EXPECT_EQ (calls[1].values[0].a_type, A_FLOAT) << "the setter sees the number, not the symbol";
    EXPECT_EQ (atom_getfloat (&calls[1].values[0]), 0.0);
    EXPECT_EQ (atom_getfloat (&calls[2].values[0]), inf);
}

TEST (AtomTest, FloatsConvertToLongsOnlyWithinTheirRange)
{
    constexpr auto max = std::numeric_limits<t_atom_long>::max();
    constexpr auto min = std::numeric_limits<t_atom_long>::min();
    const std::pair<double, t_atom_long> cases[] = {
        { -2.9, -2 }, { std::nan (""), 0 }, { 1e300, max }, { 9223372036854775808.0, max }, { -1e300, min }, { -inf, min },
    };
    for (const auto& [value, expected] : cases)
    {
        const auto atom = number (value);
        EXPECT_EQ (atom_getlong (&atom), expected) << value;
    }
}

TEST_F (AttributeTest, ValuesAndMetaAttributesReadBackWithTheAttributeType)
{
    auto* object = &makeProbe ("@colour 0.1 0.2 0.3 0.4 @mode rms")->header.z_ob;
    // Without a meta name, the attribute's own value.
    struct Case { const char* attribute; const char* metaName; const char* printed; short type; };
    const Case cases[] = {
        { "colour", nullptr, "0.1 0.2 0.3 0.4", A_FLOAT },
        { "corner", nullptr, "50. 800.", A_FLOAT },   // a default where the box says nothing
        { "mode", nullptr, "rms", A_SYM },
        { "count", nullptr, "3", A_LONG },
        { "level", nullptr, "0.", A_FLOAT },
        { "rate", "maxvalue", "36000000.", A_FLOAT },
        { "rate", "minvalue", "100.", A_FLOAT },   // "100" becomes a float for a float32 attribute
        { "corner", "default", "50. 800.", A_FLOAT },
        { "colour", "default", "0. 0.502 0. 1.", A_FLOAT },
        { "mode", "enumvals", "peak rms", A_SYM },
        { "level", "label", "global level", A_SYM },   // a formatted symbol keeps its blanks
        { "count", "dontreset", "1", A_LONG },
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE (std::string (c.attribute) + " " + (c.metaName != nullptr ? c.metaName : ""));
        const auto atoms = values (object, c.attribute, c.metaName);
        ASSERT_FALSE (atoms.empty());
        EXPECT_EQ (maxhost::atomsToText (atoms), c.printed);
        EXPECT_EQ (atoms[0].a_type, c.type);
    }

    auto* defaultOfColour = object_attr_get (object_attr_get (object, gensym ("colour")), gensym ("default"));
    ASSERT_NE (defaultOfColour, nullptr);
    EXPECT_EQ (reinterpret_cast<t_eattr*> (defaultOfColour)->flags, ATTR_SET_DEFER_LOW) << "meta-attributes keep their own flags";
}

TEST_F (AttributeTest, MissingAttributesAnswerGenericErrorWithNoAtomsAndCallerArraysAreNeverOverrun)
{
    auto* object = &makeProbe()->header.z_ob;
    long ac = 0;
    t_atom* av = nullptr;
    EXPECT_EQ (object_attr_getvalueof (object, gensym ("nosuch"), &ac, &av), MAX_ERR_GENERIC);
    EXPECT_EQ (ac, 0);
    EXPECT_EQ (av, nullptr);

    t_max_err err = MAX_ERR_NONE;
    EXPECT_TRUE (values (object, "count", "order", &err).empty());
    EXPECT_EQ (err, MAX_ERR_GENERIC);
    EXPECT_EQ (object_attr_get (object, gensym ("nosuch")), nullptr);
    EXPECT_EQ (object_attr_setlong (object, gensym ("nosuch"), 1), MAX_ERR_GENERIC);

    t_atom buffer[3];
    atom_setsym (&buffer[2], gensym ("untouched"));
    ac = 2;
    av = buffer;
    EXPECT_EQ (object_attr_getvalueof (object, gensym ("colour"), &ac, &av), MAX_ERR_NONE);
    EXPECT_EQ (ac, 2);
    EXPECT_EQ (av, buffer);
    EXPECT_EQ (buffer[2].a_w.w_sym, gensym ("untouched"));
}

TEST_F (AttributeTest, NamesComeInRegistrationOrderAndSortByteWise)
{
    auto* object = &makeProbe()->header.z_ob;
    EXPECT_EQ (attributeNames (object), (std::vector<std::string> { "count", "level", "colour", "mode", "secret", "rate", "corner" }));
    auto* attr = object_attr_get (object, gensym ("level"));
    EXPECT_EQ (attributeNames (attr), (std::vector<std::string> { "default", "label" }));
    EXPECT_EQ (object_method (attr, gensym ("gettype")), gensym ("float32"));
    EXPECT_EQ (object_method (attr, gensym ("getname")), gensym ("level"));

    t_symbol* toSort[] = { gensym ("b"), gensym ("Z"), gensym ("a"), gensym ("_x") };
    symbolarray_sort (4, toSort);
    EXPECT_EQ (names (4, toSort), (std::vector<std::string> { "Z", "_x", "a", "b" }));
}

TEST_F (AttributeTest, UserOpaqueAttributeRefusesMessagesButNotTheObject)
{
    auto* x = makeProbe();
    auto* object = &x->header.z_ob;
    maxhost::send (object, "secret", maxhost::parseAtoms ("5"));
    EXPECT_EQ (x->secret, 0);
    EXPECT_EQ (consoleLines(), (std::vector<std::string> { "error: attribute \"secret\" cannot be set" }));
    object_attr_setlong (object, gensym ("secret"), 5);
    EXPECT_EQ (x->secret, 5);
}

TEST_F (AttributeTest, BoxArgumentsWithASymbolAtomWithoutItsSymbolAreNoAttributeKeys)
{
    t_atom none {};
    none.a_type = A_SYM;   // and no symbol
    auto args = maxhost::parseAtoms ("@count 4 @mode rms");
    args.insert (args.begin(), none);
    args.insert (args.begin() + 3, none);   // a second value of "count"

    EXPECT_EQ (attr_args_offset (static_cast<short> (args.size()), args.data()), 1);
    auto* x = reinterpret_cast<Probe*> (maxhost::newObject ("probe~", args));
    ASSERT_NE (x, nullptr);
    EXPECT_EQ (x->count, 4);
    EXPECT_EQ (x->mode, gensym ("rms"));

    x->count = 0;
    attr_args_process (x, static_cast<short> (args.size()), args.data());
    EXPECT_EQ (x->count, 4);
}
