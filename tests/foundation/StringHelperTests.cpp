#include "common/Exception.h"
#include "text/StringArray.h"
#include "text/StringHelper.h"

#include <gtest/gtest.h>

#include <vector>

namespace
{

std::vector<std::string>& reports()
{
    static std::vector<std::string> texts;
    return texts;
}

void collectReport (const std::string& text)
{
    reports().push_back (text);
}

std::vector<std::string> toVector (const kul::StringArray& array)
{
    return std::vector<std::string> (array.begin(), array.end());
}

} // namespace

TEST (StringHelper, IndexOfFindsFirstAndLastOccurrences)
{
    EXPECT_EQ (StringHelper::IndexOf ("Hello", "LL", true), 2);
    EXPECT_EQ (StringHelper::IndexOf ("Hello", "LL", false), -1);
    EXPECT_EQ (StringHelper::IndexOf ("Hello", "", false), -1);

    EXPECT_EQ (StringHelper::LastIndexOf ("aaa", "aa"), 1);
    EXPECT_EQ (StringHelper::LastIndexOf ("abcABC", "abc", true), 3);
    EXPECT_EQ (StringHelper::LastIndexOf ("abcABC", "abc", false), 0);
    EXPECT_EQ (StringHelper::LastIndexOf ("", "a"), -1);
    EXPECT_EQ (StringHelper::LastIndexOf ("abc", ""), -1);

    EXPECT_EQ (StringHelper::IndexOfChar ("abCc", 'c', true), 2);
    EXPECT_EQ (StringHelper::LastIndexOfChar ("CabC", 'c', true), 3);
    EXPECT_EQ (StringHelper::LastIndexOfChar ("CabC", 'c', false), -1);

    EXPECT_FALSE (StringHelper::Contains ("abc", ""));
    EXPECT_TRUE (StringHelper::ContainsAnyOf ("a b", " \t"));
}

TEST (StringHelper, EndsWithAndCharacterAtStayInsideTheText)
{
    EXPECT_FALSE (StringHelper::EndsWith ("file.wav", ""));
    EXPECT_FALSE (StringHelper::EndsWith ("av", ".wav"));
    EXPECT_FALSE (StringHelper::EndsWithCharacter ("", '\0'));
    EXPECT_EQ (StringHelper::CharacterAt ("abc", 3), '\0');
    EXPECT_EQ (StringHelper::CharacterAt ("abc", -1), '\0');
}

TEST (StringHelper, SubstringsClampToTheText)
{
    struct Case
    {
        long start, end;
        const char* expected;
    };

    const Case cases[] = {
        { 3, 5, "" }, { 2, 2, "" }, { 1, 99, "bc" }, { 0, 3, "abc" }, { 2, 1, "" }, { -2, 2, "ab" }, { 0, -1, "" },
    };

    for (const auto& c : cases)
        EXPECT_EQ (StringHelper::Substring ("abc", c.start, c.end), c.expected) << c.start << ".." << c.end;

    EXPECT_EQ (StringHelper::SubstringFrom ("abc", 1), "bc");
    EXPECT_EQ (StringHelper::SubstringFrom ("abc", 5), "");

    EXPECT_EQ (StringHelper::UpToFirstOccurrenceOf ("key=value", "=", true, false), "key=");
    EXPECT_EQ (StringHelper::UpToFirstOccurrenceOf ("key", "=", false, false), "");
    EXPECT_EQ (StringHelper::UpToFirstOccurrenceOf ("aXb", "x", false, true), "a");
    EXPECT_EQ (StringHelper::FromFirstOccurrenceOf ("key=value", "=", false, false), "value");
    EXPECT_EQ (StringHelper::FromFirstOccurrenceOf ("key", "=", true, false), "");
}

TEST (StringHelper, RemovingAndReplacing)
{
    struct Case
    {
        const char* text;
        const char* find;
        const char* replacement;
        const char* expected;
    };

    const Case cases[] = {
        { "aaa", "a", "aa", "aaaaaa" },
        { "a.b.c", ".", "", "abc" },
        { "abc", "", "x", "abc" },
        { "abab", "ab", "b", "bb" },
        { "xyz", "q", "r", "xyz" },
    };

    for (const auto& c : cases)
    {
        std::string text (c.text);
        StringHelper::ReplaceAll (text, c.find, c.replacement);
        EXPECT_EQ (text, c.expected) << c.text;
    }

    std::string text ("abcabc");
    StringHelper::RemoveFirstOccurrence (text, "BC", true);
    EXPECT_EQ (text, "aabc");
    StringHelper::RemoveLastOccurrence (text, "a");
    EXPECT_EQ (text, "abc");
    StringHelper::RemoveLastOccurrence (text, "x");
    EXPECT_EQ (text, "abc");

    EXPECT_EQ (StringHelper::RemoveTrailingRepeats ("/a/b///", "/"), "/a/b");
    EXPECT_EQ (StringHelper::RemoveTrailingRepeats ("abab", "ab"), "");
    EXPECT_EQ (StringHelper::RemoveTrailingRepeats ("abc", ""), "abc");

    StringHelper::DropLastCharacters (text, 2);
    EXPECT_EQ (text, "a");
    StringHelper::DropLastCharacters (text, 5);
    EXPECT_EQ (text, "");
}

TEST (StringHelper, TrimAndCase)
{
    std::string text (" \t\r\n a b \v\f");
    StringHelper::Trim (text);
    EXPECT_EQ (text, "a b");

    std::string utf8 ("\xc3\x84" "Bc-1");
    StringHelper::ToLowerCase (utf8);
    EXPECT_EQ (utf8, "\xc3\x84" "bc-1");
    StringHelper::ToUpperCase (utf8);
    EXPECT_EQ (utf8, "\xc3\x84" "BC-1");

    EXPECT_TRUE (StringHelper::AreEqual ("Gain", "gAIN", true));
    EXPECT_FALSE (StringHelper::AreEqual ("Gain", "gAIN", false));
    EXPECT_FALSE (StringHelper::AreEqual ("Gain", "Gains", true));
    // Both texts end at their first zero byte.
    EXPECT_TRUE (StringHelper::AreEqual (std::string ("ab\0x", 4), "ab", false));
}

TEST (StringHelper, QuotingAndUnquoting)
{
    struct Case
    {
        const char* text;
        bool quoted;
        const char* afterQuote;
        const char* afterUnquote;
    };

    const Case cases[] = {
        { "name", false, "\"name\"", "name" },
        { "\"name\"", true, "\"name\"", "name" },
        { "'name'", true, "'name'", "name" },
        { "\"", true, "\"", "" },
        { "'", true, "'", "" },
        { "\"name'", false, "\"\"name'\"", "\"name'" },
        { "", false, "\"\"", "" },
        { "a\"b\"", false, "\"a\"b\"\"", "a\"b\"" },
    };

    for (const auto& c : cases)
    {
        EXPECT_EQ (StringHelper::IsQuoted (c.text), c.quoted) << c.text;
        EXPECT_EQ (StringHelper::Quoted (c.text), c.afterQuote) << c.text;

        std::string text (c.text);
        StringHelper::Unquote (text);
        EXPECT_EQ (text, c.afterUnquote) << c.text;
    }

    std::string text ("x");
    StringHelper::Quote (text, '\'');
    EXPECT_EQ (text, "'x'");
}

TEST (StringHelper, SplitKeepsOrDropsEmptyPieces)
{
    using Pieces = std::vector<std::string>;

    struct Case
    {
        const char* text;
        const char* delimiter;
        bool keepEmpty;
        Pieces expected;
    };

    const Case cases[] = {
        { "a,b,", ",", false, { "a", "b", "" } },
        { "a,,b", ",", false, { "a", "b" } },
        { ",a", ",", false, { "a" } },
        { "", ",", true, {} },
        { ",,", ",", true, { "", "", "" } },
        { ",,", ",", false, { "" } },
        { "a::b::c", "::", false, { "a", "b", "c" } },
        { "abc", ",", false, { "abc" } },
        { "a,b", "", false, { "a,b" } },
    };

    for (const auto& c : cases)
        EXPECT_EQ (toVector (StringHelper::Split (c.text, c.delimiter, c.keepEmpty)), c.expected)
            << "'" << c.text << "' at '" << c.delimiter << "'";
}

TEST (StringHelper, CharPointersKeepUtf8Bytes)
{
    const std::string twoByteThenOne ("\xc3\xa9" "1");
    EXPECT_EQ (StringHelper::FromCharPointer (StringHelper::GetCharPointer (twoByteThenOne)), twoByteThenOne);

    const char withZero[] = { 'a', 'b', '\0', 'c' };
    EXPECT_EQ (StringHelper::FromCharPointer ({ withZero }), "ab");
    EXPECT_EQ (StringHelper::FromCharPointer ({ withZero }, 4), std::string (withZero, 4));
    EXPECT_EQ (StringHelper::FromCharPointerRange ({ withZero }, { withZero + 4 }), "ab");
    EXPECT_EQ (StringHelper::FromCharPointerRange ({ withZero }, { withZero + 1 }), "a");

    // Nothing past end is read, even in the middle of a character.
    const char cut[] = { 'x', '\xc3', '\xa9' };
    EXPECT_EQ (StringHelper::FromCharPointerRange ({ cut }, { cut + 2 }), "x\xc3");
    EXPECT_EQ (StringHelper::FromCharPointerRange ({ cut + 2 }, { cut }), "");

    EXPECT_EQ (StringHelper::FromCharPointer ({ nullptr }), "");
    EXPECT_EQ (StringHelper::FromCharPointer ({ nullptr }, 3), "");

    std::string text ("a");
    StringHelper::AppendCharPointer (text, "\xc3\xa9");
    StringHelper::AppendCharPointer (text, nullptr);
    EXPECT_EQ (text, "a\xc3\xa9");
}

TEST (StringHelper, AppendsChain)
{
    std::string text;
    text << "gain " << std::string ("of ") << 42ul << static_cast<const char*> (nullptr);
    StringHelper::PrependCharacter (text, '>');
    EXPECT_EQ (text, ">gain of 42");
}

TEST (StringHelper, ResizeFailureBecomesALibraryException)
{
    reports().clear();
    const auto previousSink = kul::SetReportSink (collectReport);

    std::string text ("abc");
    bool thrown = false;

    try
    {
        StringHelper::Resize (text, text.max_size() + 1, 'x');
    }
    catch (const kul::Exception& e)
    {
        thrown = true;
        EXPECT_EQ (e.GetFileName(), "OskelDspString");
        EXPECT_EQ (e.GetLine(), 939);
        EXPECT_FALSE (e.GetMessage().empty());
    }

    kul::SetReportSink (previousSink);

    EXPECT_TRUE (thrown);
    EXPECT_EQ (text, "abc");
    ASSERT_EQ (reports().size(), 1u);
    EXPECT_EQ (reports()[0].rfind ("Exception occured in file \"OskelDspString\" (line 939): \n", 0), 0u) << reports()[0];
}

TEST (StringHelper, DemangleLeavesUnmangledNamesAlone)
{
    EXPECT_EQ (StringHelper::Demangle ("_ZN3kul4TestEv"), "kul::Test()");
    for (const char* notMangled : { "main", "", "_Z", "_ZN3kul" })
        EXPECT_EQ (StringHelper::Demangle (notMangled), notMangled);

    // f(A, A, ...) with a 100-character A repeated through substitutions: 10 303 characters,
    // more than a fixed buffer would have held.
    std::string repeated ("_Z1f100" + std::string (100, 'a'));
    for (int i = 0; i < 100; ++i)
        repeated += "S_";
    const auto demangled = StringHelper::Demangle (repeated);
    EXPECT_EQ (demangled.size(), 10303u);
    EXPECT_EQ (demangled.substr (0, 104), "f(" + std::string (100, 'a') + ", ");
    EXPECT_EQ (demangled.substr (demangled.size() - 103), ", " + std::string (100, 'a') + ")");
}
