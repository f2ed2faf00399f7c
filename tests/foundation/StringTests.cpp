#include "text/StringArray.h"
#include "text/StringHelper.h"

#include "TestHelpers.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

TEST (StringHelper, SearchesAndCharacterAccessStayInsideTheTextAndNeverMatchTheEmptyText)
{
    using namespace StringHelper;
    EXPECT_EQ ((std::vector<long> { IndexOf ("Hello", "LL", true), IndexOf ("Hello", "LL", false), IndexOf ("Hello", "", false),
                                    LastIndexOf ("aaa", "aa"), LastIndexOf ("abcABC", "abc", true), LastIndexOf ("abc", ""),
                                    LastIndexOfChar ("CabC", 'c', true), LastIndexOfChar ("Cab", 'c', true) }),
               (std::vector<long> { 2, -1, -1, 1, 3, -1, 3, 0 }));
    EXPECT_EQ ((std::vector<bool> { Contains ("abc", ""), EndsWith ("file.wav", ""), EndsWith ("av", ".wav"), EndsWithCharacter ("", '\0') }),
               std::vector<bool> (4, false));
    EXPECT_EQ (std::string ({ CharacterAt ("abc", 3), CharacterAt ("abc", -1) }), std::string (2, '\0'));
}

TEST (StringHelper, SubstringsClampToTheText)
{
    const struct { long start, end; const char* expected; } cases[] = {
        { 3, 5, "" }, { 1, 99, "bc" }, { 0, 3, "abc" }, { 2, 1, "" }, { -2, 2, "ab" }, { 0, -1, "" },
    };
    for (const auto& c : cases)
        EXPECT_EQ (StringHelper::Substring ("abc", c.start, c.end), c.expected) << c.start << ".." << c.end;
    EXPECT_EQ (StringHelper::SubstringFrom ("abc", 5), "");
    EXPECT_EQ (StringHelper::UpToFirstOccurrenceOf ("key=value", "=", true, false), "key=");
    EXPECT_EQ (StringHelper::UpToFirstOccurrenceOf ("key", "=", false, false), "");
    EXPECT_EQ (StringHelper::UpToFirstOccurrenceOf ("aXb", "x", false, true), "a");
    EXPECT_EQ (StringHelper::FromFirstOccurrenceOf ("key=value", "=", false, false), "value");
    EXPECT_EQ (StringHelper::FromFirstOccurrenceOf ("key", "=", true, false), "");
}

TEST (StringHelper, ReplacingAndRemovingNeverRescanWhatWasInserted)
{
    const struct { const char* text, *find, *replacement, *expected; } cases[] = {
        { "aaa", "a", "aa", "aaaaaa" }, { "a.b.c", ".", "", "abc" }, { "abc", "", "x", "abc" }, { "abab", "ab", "b", "bb" },
    };
    for (const auto& c : cases)
    {
        std::string text (c.text);
        StringHelper::ReplaceAll (text, c.find, c.replacement);
        EXPECT_EQ (text, c.expected) << c.text;
    }
    std::string text ("abcabc");
    StringHelper::RemoveFirstOccurrence (text, "BC", true);
    StringHelper::RemoveLastOccurrence (text, "a");
    StringHelper::RemoveLastOccurrence (text, "x");
    EXPECT_EQ (text, "abc");
    StringHelper::DropLastCharacters (text, 5);
    EXPECT_EQ (text, "");
    EXPECT_EQ (StringHelper::RemoveTrailingRepeats ("/a/b///", "/"), "/a/b");
    EXPECT_EQ (StringHelper::RemoveTrailingRepeats ("abab", "ab"), "");
    EXPECT_EQ (StringHelper::RemoveTrailingRepeats ("abc", ""), "abc");
}

TEST (StringHelper, TrimCaseAndComparisonLeaveOtherBytesAlone)
{
    std::string text (" \t\r\n \xc3\x84" "Bc-1 \v\f");
    StringHelper::Trim (text);
    StringHelper::ToLowerCase (text);
    EXPECT_EQ (text, "\xc3\x84" "bc-1");
    StringHelper::ToUpperCase (text);
    EXPECT_EQ (text, "\xc3\x84" "BC-1");
    EXPECT_TRUE (StringHelper::AreEqual ("Gain", "gAIN", true));
    EXPECT_FALSE (StringHelper::AreEqual ("Gain", "gAIN", false));
    EXPECT_FALSE (StringHelper::AreEqual ("Gain", "Gains", true));
    // Both texts end at their first zero byte.
    EXPECT_TRUE (StringHelper::AreEqual (std::string ("ab\0x", 4), "ab", false));
}

TEST (StringHelper, QuotingAndUnquoting)
{
    const struct { const char* text; bool quoted; const char* afterQuote, *afterUnquote; } cases[] = {
        { "name", false, "\"name\"", "name" }, { "'name'", true, "'name'", "name" }, { "\"", true, "\"", "" },
        { "\"name'", false, "\"\"name'\"", "\"name'" }, { "", false, "\"\"", "" },
    };
    for (const auto& c : cases)
    {
        EXPECT_EQ (StringHelper::IsQuoted (c.text), c.quoted) << c.text;
        EXPECT_EQ (StringHelper::Quoted (c.text), c.afterQuote) << c.text;
        std::string text (c.text);
        StringHelper::Unquote (text);
        EXPECT_EQ (text, c.afterUnquote) << c.text;
    }
}

TEST (StringHelper, SplitKeepsOrDropsEmptyPieces)
{
    const struct { const char* text, *delimiter; bool keepEmpty; Texts expected; } cases[] = {
        { "a,b,", ",", false, { "a", "b", "" } }, { "a,,b", ",", false, { "a", "b" } }, { ",a", ",", false, { "a" } },
        { "", ",", true, {} }, { ",,", ",", true, { "", "", "" } }, { ",,", ",", false, { "" } },
        { "a::b::c", "::", false, { "a", "b", "c" } }, { "a,b", "", false, { "a,b" } },
    };
    for (const auto& c : cases)
        EXPECT_EQ (textsOf (StringHelper::Split (c.text, c.delimiter, c.keepEmpty)), c.expected)
            << "'" << c.text << "' at '" << c.delimiter << "'";
}

TEST (StringHelper, CharPointersKeepUtf8BytesReadNothingPastTheEndAndNullAddsNothing)
{
    const std::string twoByteThenOne ("\xc3\xa9" "1");
    EXPECT_EQ (StringHelper::FromCharPointer (StringHelper::GetCharPointer (twoByteThenOne)), twoByteThenOne);
    const char withZero[] = { 'a', 'b', '\0', 'c' };
    EXPECT_EQ (StringHelper::FromCharPointer ({ withZero }, 4), std::string (withZero, 4));
    EXPECT_EQ (StringHelper::FromCharPointerRange ({ withZero }, { withZero + 4 }), "ab");
    const char cut[] = { 'x', '\xc3', '\xa9' };
    EXPECT_EQ (StringHelper::FromCharPointerRange ({ cut }, { cut + 2 }), "x\xc3");
    EXPECT_EQ (StringHelper::FromCharPointerRange ({ cut + 2 }, { cut }), "");
    EXPECT_EQ (StringHelper::FromCharPointer ({ nullptr }, 3), "");
    std::string text ("a");
    StringHelper::AppendCharPointer (text, nullptr);
    text << " of " << 42ul << static_cast<const char*> (nullptr);
    EXPECT_EQ (text, "a of 42");
}

TEST (StringHelper, DemangleLeavesUnmangledNamesAloneAndHasNoLengthLimit)
{
    EXPECT_EQ (StringHelper::Demangle ("_ZN3kul4TestEv"), "kul::Test()");
    for (const char* notMangled : { "main", "", "_Z", "_ZN3kul" })
        EXPECT_EQ (StringHelper::Demangle (notMangled), notMangled);

    // f(A, A, ...) with a 100-character A repeated through substitutions: 10 303 characters.
    std::string repeated ("_Z1f100" + std::string (100, 'a'));
    for (int i = 0; i < 100; ++i)
        repeated += "S_";
    const auto demangled = StringHelper::Demangle (repeated);
    EXPECT_EQ (demangled.size(), 10303u);
    EXPECT_EQ (demangled.substr (demangled.size() - 103), ", " + std::string (100, 'a') + ")");
}

TEST (StringArray, SearchJoinAndLowerCase)
{
    kul::StringArray array;
    for (const char* text : { " Peak", "RMS", "peak", "" })
        array.Add (text);
    EXPECT_EQ (array.IndexOf ("peak", false), 2);
    EXPECT_EQ (array.IndexOf (" PEAK", true), 0);
    EXPECT_EQ (array.IndexOf ("", false), 3);
    EXPECT_FALSE (array.Contains ("rms", false));
    EXPECT_FALSE (kul::StringArray::GetEmpty().Contains ("", true));
    EXPECT_EQ (array.JoinWithoutTrim (","), " Peak,RMS,peak,");
    EXPECT_EQ (array.JoinIntoString (","), "Peak,RMS,peak,");
    array.ToLowerCase();
    EXPECT_EQ (textsOf (array), (Texts { " peak", "rms", "peak", "" }));
}

TEST (StringPairArray, SetReplacesTheValueOfAnExistingKeyFollowingTheCaseFlag)
{
    kul::StringPairArray ignoringCase (true), caseSensitive (false);
    for (auto* pairs : { &ignoringCase, &caseSensitive })
    {
        pairs->Set ("Key", "1");
        pairs->Set ("KEY", "2");
        pairs->Set ("Key", "3");
    }
    EXPECT_EQ (textsOf (ignoringCase.GetKeys()), Texts { "Key" });
    EXPECT_EQ (textsOf (ignoringCase.GetValues()), Texts { "3" });
    EXPECT_EQ (textsOf (caseSensitive.GetValues()), (Texts { "3", "2" }));

    // Assignment takes the case flag along.
    caseSensitive = ignoringCase;
    caseSensitive.Set ("key", "4");
    EXPECT_EQ (textsOf (caseSensitive.GetValues()), Texts { "4" });
}
