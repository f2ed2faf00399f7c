#include "GlueTestClass.h"

#include "maxglue/AtomText.h"
#include "maxglue/AttributeState.h"
#include "maxglue/Dictionaries.h"
#include "maxglue/SymbolTable.h"

#include "corefoundation/CFString.h"


using namespace gluetest;

using SymbolTableTest = GlueTest;

TEST_F (SymbolTableTest, EntriesAreTheFamilysNamesByNumber)
{
    ASSERT_NE (oskelmax_symboltable, nullptr);
    const struct
    {
        int entry;
        const char* name;
    } cases[] = { { 0, "active" }, { 404, "roomactive" }, { 122, "gain" }, { 81, "" }, { 46, "," }, { 236, "recallpreset" },
                  { 269, "zelmnamespace" }, { 33, "buffer~" }, { 400, "outputfiltersQ" } };
    for (const auto& c : cases)
    {
        EXPECT_EQ (oskelmax_symboltable->symbols[c.entry], gensym (c.name)) << c.entry;
        EXPECT_STREQ (oskelmax::GetSymbolName (c.entry), c.name);
    }
    EXPECT_EQ (oskelmax::GetSymbol (oskelmax::symGain), gensym ("gain"));
    EXPECT_STREQ (oskelmax::GetSymbolName (405), "");
}

TEST_F (SymbolTableTest, SecondFillLeavesEveryEntryAsItWas)
{
    const auto before = *oskelmax_symboltable;
    oskelmax_initsymboltable();
    for (int i = 0; i < oskelmax::numSymbols; ++i)
        EXPECT_EQ (oskelmax_symboltable->symbols[i], before.symbols[i]) << i;
    EXPECT_EQ (oskelmax_commonsymbols, common_symbols_gettable());
}

TEST (AtomTextTest, FloatsShowTheir32BitValueWithoutTrailingZeros)
{
    const struct
    {
        double value;
        const char* text;
    } cases[] = { { 100.0, "100. " }, { -0.5, "-0.5 " }, { 0.1, "0.1 " }, { 1.5, "1.5 " }, { 1.0, "1. " }, { 0.0, "0. " },
                  { 0.25, "0.25 " }, { 16777217.0, "16777216. " }, { 3.4e38, "339999995214436424907732413799364296704. " } };
    for (const auto& c : cases)
    {
        const auto atom = atomFloat (c.value);
        std::string result = "stale";
        atomsToText (1, &atom, result);
        EXPECT_EQ (result, c.text) << c.value;
    }
}

TEST (AtomTextTest, EveryItemIsFollowedByOneBlankAndOtherTypesGiveNothing)
{
    t_atom mixed[5] = { atomLong (1), atomLong (-2), atomSym ("two words"), atomFloat (2.5), {} };
    atom_setobj (&mixed[4], nullptr);
    std::string result;
    atomsToText (5, mixed, result);
    EXPECT_EQ (result, "1 -2 two words 2.5 ");

    result = "stale";
    atomsToText (0, mixed, result);
    EXPECT_EQ (result, "");
    result = "stale";
    atomsToText (3, nullptr, result);
    EXPECT_EQ (result, "");
}

TEST (AtomTextTest, HostErrorCodesAreNamedThroughOneTable)
{
    const struct
    {
        t_max_err code;
        const char* name;
    } cases[] = { { -4, "MAX_ERR_OUT_OF_MEM" }, { -3, "MAX_ERR_DUPLICATE" }, { -2, "MAX_ERR_INVALID_PTR" }, { -1, "MAX_ERR_GENERIC" },
                  { 0, "MAX_ERR_NONE" },        { 1, "unknown MAX_ERR" },   { -5, "unknown MAX_ERR" } };
    for (const auto& c : cases)
        EXPECT_STREQ (oskelmax::GetMaxErrorName (c.code), c.name) << c.code;
}

using MessageErrorTest = GlueTest;

TEST_F (MessageErrorTest, RefusedMessagesPostTheirNameAndArguments)
{
    auto* x = asObject (makeProbe());
    const struct
    {
        const char* message;
        std::vector<t_atom> args;
        const char* error;
    } cases[] = {
        { "postattributes", { atomSym ("gain"), atomSym ("mode") }, "invalid message : postattributes gain mode " },
        { "postattributes", { atomLong (3) }, "invalid message : postattributes 3 " },
        { "reset", { atomLong (1), atomLong (2) }, "invalid message : reset 1 2 " },
        { "reset", { atomSym ("gain"), atomSym ("mode") }, "invalid message : reset gain mode " },
        { "dump", { atomLong (3) }, "invalid message : dump 3 " },
        { "dumpdict", { atomSym ("mode"), atomSym ("gain"), atomLong (3) }, "invalid message : dumpdict mode gain 3 " },
    };
    for (const auto& c : cases)
    {
        maxhost::clearRecordings();
        maxhost::send (x, c.message, c.args);
        EXPECT_EQ (texts (maxhost::Severity::error), std::vector<std::string> { c.error }) << c.message;
        EXPECT_TRUE (maxhost::outletEvents().empty()) << c.message;
    }

    maxhost::clearRecordings();
    oskelmax_postinvalidmessage (x, 0, nullptr, "invalid message : fadeout");
    EXPECT_EQ (texts (maxhost::Severity::error), std::vector<std::string> { "invalid message : fadeout " });
}

using OutletFloatsTest = GlueTest;

TEST_F (OutletFloatsTest, SendsTheSelectorWithTheFloatsAndRefusesOversizedLists)
{
    auto* probe = makeProbe();
    auto* x = asObject (probe);
    const float levels[3] = { -60.0f, 0.5f, 6.0f };
    oskelmax_dumpfloats (x, gensym ("levels"), 3, levels);
    oskelmax_dumpfloats (x, gensym ("levels"), 0, nullptr);

    auto events = dumpEvents (probe);
    ASSERT_EQ (events.size(), 2u);
    EXPECT_EQ (events[0].selector, "levels");
    EXPECT_EQ (text (events[0].atoms), "-60. 0.5 6. ");
    EXPECT_EQ (events[1].selector, "levels");
    EXPECT_TRUE (events[1].atoms.empty());

    maxhost::clearRecordings();
    std::vector<float> many (40000, 1.0f);
    EXPECT_NE (oskelmax_outletfloats (oskelmax_getdumpoutlet (x), gensym ("levels"), static_cast<long> (many.size()), many.data()),
               MAX_ERR_NONE);
    EXPECT_TRUE (maxhost::outletEvents().empty()) << "a count past 16 bits must not wrap";
    EXPECT_EQ (texts (maxhost::Severity::error).size(), 1u);
}

TEST (PathTest, HostPathsBecomePosixPathsInUtf8)
{
    const struct
    {
        std::string host;
        std::string posix;
    } cases[] = {
        { "Data:/x/file.json", "/Volumes/Data/x/file.json" },
        { "/already/posix.json", "/already/posix.json" },
        { "/caf\xC3\xA9/file.json", "/caf\xC3\xA9/file.json" },          // valid UTF-8 stays as it is
        { "/caf\x8E/file.json", "/caf\xC3\xA9/file.json" },              // Mac OS Roman e acute
        { "Disk:/\xA5\x80.json", "/Volumes/Disk/\xE2\x80\xA2\xC3\x84.json" }, // bullet, A umlaut
    };
    for (const auto& c : cases)
        EXPECT_EQ (maxPathToPosix (c.host), c.posix) << c.host;
}

TEST (PathTest, StringConversionRefusesWhatDoesNotFit)
{
    EXPECT_EQ (CFStringCreateWithCString (kCFAllocatorDefault, "/bad\xC3", kCFStringEncodingUTF8), nullptr) << "cut-off sequence";
    EXPECT_EQ (CFStringCreateWithCString (kCFAllocatorDefault, "\xC0\xAF", kCFStringEncodingUTF8), nullptr) << "overlong form";
    EXPECT_EQ (CFStringCreateWithCString (kCFAllocatorDefault, "\xED\xA0\x80", kCFStringEncodingUTF8), nullptr) << "surrogate";

    auto* string = CFStringCreateWithCString (kCFAllocatorDefault, "\x8E\xA5", kCFStringEncodingMacRoman);
    ASSERT_NE (string, nullptr);
    EXPECT_EQ (CFStringGetLength (string), 2);
    char small[5];
    EXPECT_FALSE (CFStringGetCString (string, small, sizeof (small), kCFStringEncodingUTF8)) << "five bytes and the terminator";
    char enough[6];
    EXPECT_TRUE (CFStringGetCString (string, enough, sizeof (enough), kCFStringEncodingUTF8));
    EXPECT_STREQ (enough, "\xC3\xA9\xE2\x80\xA2");
    EXPECT_TRUE (CFStringGetCString (string, small, sizeof (small), kCFStringEncodingMacRoman));
    EXPECT_STREQ (small, "\x8E\xA5");
    EXPECT_FALSE (CFStringGetCString (string, small, sizeof (small), kCFStringEncodingASCII));
    CFRelease (string);
}
