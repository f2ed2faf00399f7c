#include "text/StringArray.h"

#include <gtest/gtest.h>

namespace
{

kul::StringArray makeArray (std::initializer_list<const char*> texts)
{
    kul::StringArray array;

    for (const char* text : texts)
        array.Add (text);

    return array;
}

} // namespace

TEST (StringArray, ConstructionCopyAndMove)
{
    const kul::StringArray sized (3);
    ASSERT_EQ (sized.size(), 3u);
    EXPECT_EQ (sized[2], "");

    kul::StringArray source = makeArray ({ "a", "b" });
    kul::StringArray copy (source);
    EXPECT_EQ (copy, source);

    kul::StringArray moved (std::move (source));
    EXPECT_EQ (moved, copy);
    EXPECT_TRUE (source.empty());

    kul::StringArray target = makeArray ({ "x" });
    target = std::move (moved);
    EXPECT_EQ (target, copy);
    EXPECT_TRUE (moved.empty());

    auto& self = target;
    target = self;
    EXPECT_EQ (target, copy);
}

TEST (StringArray, ContainsAndIndexOfWithAndWithoutCase)
{
    const auto array = makeArray ({ "Peak", "RMS", "peak", "" });

    EXPECT_EQ (array.IndexOf ("peak", false), 2);
    EXPECT_EQ (array.IndexOf ("PEAK", true), 0);
    EXPECT_EQ (array.IndexOf ("PEAK", false), -1);
    EXPECT_EQ (array.IndexOf ("", false), 3);
    EXPECT_TRUE (array.Contains ("rms", true));
    EXPECT_FALSE (array.Contains ("rms", false));
    EXPECT_FALSE (kul::StringArray::GetEmpty().Contains ("", true));
}

TEST (StringArray, JoiningAndLowerCase)
{
    auto array = makeArray ({ " A", "B", "C " });

    EXPECT_EQ (array.JoinWithoutTrim (", "), " A, B, C ");
    EXPECT_EQ (array.JoinIntoString (", "), "A, B, C");
    EXPECT_EQ (kul::StringArray::GetEmpty().JoinIntoString ("-"), "");

    array.ToLowerCase();
    EXPECT_EQ (array, makeArray ({ " a", "b", "c " }));
}

TEST (StringPairArray, SetReplacesTheValueOfAnExistingKey)
{
    kul::StringPairArray ignoringCase (true);
    ignoringCase.Set ("Key", "1");
    ignoringCase.Set ("KEY", "2");
    ASSERT_EQ (ignoringCase.Size(), 1u);
    EXPECT_EQ (ignoringCase.GetKeys()[0], "Key");
    EXPECT_EQ (ignoringCase.GetValues()[0], "2");

    kul::StringPairArray caseSensitive (false);
    caseSensitive.Set ("Key", "1");
    caseSensitive.Set ("KEY", "2");
    caseSensitive.Set ("Key", "3");
    ASSERT_EQ (caseSensitive.Size(), 2u);
    EXPECT_EQ (caseSensitive.GetValues(), makeArray ({ "3", "2" }));

    caseSensitive = ignoringCase;
    EXPECT_EQ (caseSensitive.Size(), 1u);
    caseSensitive.Set ("key", "4");
    EXPECT_EQ (caseSensitive.Size(), 1u);
    EXPECT_EQ (caseSensitive.GetValues()[0], "4");

    auto& self = caseSensitive;
    caseSensitive = self;
    EXPECT_EQ (caseSensitive.GetKeys(), makeArray ({ "Key" }));
}
