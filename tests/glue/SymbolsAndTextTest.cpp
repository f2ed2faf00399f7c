#include "GlueTestClass.h"

#include "maxglue/AtomText.h"
#include "maxglue/AttributeState.h"
#include "maxglue/Dictionaries.h"
#include "maxglue/SymbolTable.h"

#include <utility>

using namespace gluetest;

TEST (PathTest, HostPathsBecomePosixPathsInUtf8)
{
    for (const auto& [host, posix] : std::initializer_list<std::pair<const char*, const char*>> {
        { "Data:/x/file.json", "/Volumes/Data/x/file.json" },
        { "/caf\xC3\xA9/file.json", "/caf\xC3\xA9/file.json" },               // valid UTF-8 stays as it is
        { "Disk:/\xA5\x80.json", "/Volumes/Disk/\xE2\x80\xA2\xC3\x84.json" }, // Mac OS Roman bullet, A umlaut
        { "/bad\xC3", "/bad\xE2\x88\x9A" },                                    // cut-off sequence
        { "/\xC0\xAF", "/\xC2\xBF\xC3\x98" },                                  // overlong form
        { "/\xED\xA0\x80", "/\xC3\x8C\xE2\x80\xA0\xC3\x84" },                 // surrogate
    })
        EXPECT_EQ (maxPathToPosix (host), posix) << host;
}

using SymbolTableTest = GlueTest;

TEST_F (SymbolTableTest, EntriesAreTheFamilysNamesByNumberAndARefillChangesNone)
{
    for (const auto& [entry, name] : std::initializer_list<std::pair<int, const char*>> {
             { 0, "active" }, { 404, "roomactive" }, { 122, "gain" }, { 81, "" }, { 46, "," }, { 236, "recallpreset" },
             { 269, "zelmnamespace" }, { 33, "buffer~" }, { 400, "outputfiltersQ" } })
    {
        EXPECT_EQ (oskelmax_symboltable->symbols[entry], gensym (name)) << entry;
        EXPECT_STREQ (oskelmax::GetSymbolName (entry), name);
    }
    EXPECT_STREQ (oskelmax::GetSymbolName (405), "") << "past the table";
    const auto before = *oskelmax_symboltable;
    oskelmax_initsymboltable();
    EXPECT_TRUE (std::equal (std::begin (before.symbols), std::end (before.symbols), oskelmax_symboltable->symbols));
    EXPECT_EQ (oskelmax_commonsymbols, common_symbols_gettable());
}

TEST (AtomTextTest, ItemsAreFollowedByOneBlankFloatsShowTheir32BitValueAndErrorCodesHaveNames)
{
    t_atom object;
    atom_setobj (&object, nullptr);
    for (const auto& [atoms, expected] : std::initializer_list<std::pair<std::vector<t_atom>, const char*>> {
             { { atomFloat (100.0) }, "100. " }, { { atomFloat (0.1) }, "0.1 " }, { { atomFloat (0.0) }, "0. " },
             { { atomFloat (16777217.0) }, "16777216. " }, { { atomFloat (3.4e38) }, "339999995214436424907732413799364296704. " },
             { { atomFloat (1e39), atomFloat (-2.5e300) }, "1e+39 -2.5e+300 " },
             { { atomLong (1), atomLong (-2), atomSym ("two words"), atomFloat (-0.5), object }, "1 -2 two words -0.5 " }, { {}, "" } })
    {
        std::string result = "stale";
        atomsToText (static_cast<long> (atoms.size()), atoms.data(), result);
        EXPECT_EQ (result, expected);
    }
    std::string result = "stale";
    atomsToText (3, nullptr, result);
    EXPECT_EQ (result, "");
    for (const auto& [code, name] : std::initializer_list<std::pair<t_max_err, const char*>> {
             { -4, "MAX_ERR_OUT_OF_MEM" }, { -1, "MAX_ERR_GENERIC" }, { 0, "MAX_ERR_NONE" }, { 1, "unknown MAX_ERR" }, { -5, "unknown MAX_ERR" } })
        EXPECT_STREQ (oskelmax::GetMaxErrorName (code), name) << code;
}

using MessageErrorTest = GlueTest;

// A symbol atom without its symbol is as bad an argument as a number.
TEST_F (MessageErrorTest, RefusedMessagesPostTheirNameAndArguments)
{
    makeProbe();
    t_atom none {};
    none.a_type = A_SYM;
    none.a_w.w_sym = nullptr;
    const struct
    {
        const char* message;
        std::vector<t_atom> args;
        const char* error;
    } cases[] = {
        { "postattributes", { atomSym ("gain"), atomSym ("mode") }, "invalid message : postattributes gain mode " },
        { "postattributes", { atomLong (3) }, "invalid message : postattributes 3 " },
        { "reset", { atomLong (1), atomLong (2) }, "invalid message : reset 1 2 " },
        { "dump", { atomLong (3) }, "invalid message : dump 3 " },
        { "dumpdict", { atomSym ("mode"), atomSym ("gain"), atomLong (3) }, "invalid message : dumpdict mode gain 3 " },
        { "reset", { none }, "invalid message : reset  " },
        { "postattributes", { none }, "invalid message : postattributes  " },
        { "dump", { none }, "invalid message : dump  " },
        { "dumpdict", { none }, "invalid message : dumpdict  " },
    };
    for (const auto& c : cases)
    {
        maxhost::clearRecordings();
        maxhost::send (x, c.message, c.args);
        EXPECT_EQ (errors(), Texts { c.error }) << c.message;
        EXPECT_TRUE (maxhost::outletEvents().empty()) << c.message;
    }

    maxhost::clearRecordings();
    maxhost::setDialogAnswer ("cancelled");
    maxhost::send (x, "exportdict", { none });
    EXPECT_EQ (maxhost::dialogsShown(), 1) << "no path given: the dialog asks for one";
    oskelmax_postinvalidmessage (x, 0, nullptr, "invalid message : fadeout");
    EXPECT_EQ (errors(), Texts { "invalid message : fadeout " });
}
