#include "common/PresetElement.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace
{
/** Tags, attributes and children of a subtree written out, to compare whole trees. */
std::string describe (const PresetElement& element)
{
    std::string text = "<" + element.GetTagName();

    for (const auto* attribute = element.GetFirstAttribute(); attribute != nullptr; attribute = attribute->next)
        text += " " + attribute->name + "=" + attribute->value;

    text += ">";

    for (const auto* child = element.GetFirstChildElement(); child != nullptr; child = child->GetNextElement())
        text += describe (*child);

    return text + "</>";
}

/** preset(index=1) > source(index=3), gain > level with a text element. */
std::unique_ptr<PresetElement> makeThreeLevelTree()
{
    auto root = std::make_unique<PresetElement> ("preset");
    root->SetAttribute ("index", 1);
    auto* source = new PresetElement ("source");
    source->SetAttribute ("index", 3);
    source->SetAttribute ("name", "left");
    auto* level = new PresetElement ("level");
    level->AddTextElement ("0.5");
    source->AddChildElement (level);
    root->AddChildElement (source);
    root->AddChildElement (new PresetElement ("gain"));
    return root;
}
} // namespace

TEST (PresetElement, ChildIndexesBelowOneGiveTheFirstAndPastTheEndNull)
{
    PresetElement parent ("p");
    EXPECT_EQ (parent.GetChildElement (0), nullptr);
    EXPECT_EQ (parent.GetChildElement (5), nullptr);

    parent.AddChildElement (new PresetElement ("a"));
    parent.AddChildElement (nullptr);
    parent.AddChildElement (new PresetElement ("b"));
    ASSERT_EQ (parent.GetNumChildElements(), 2);

    const struct { long index; std::string tag; } cases[] = { { -1, "a" }, { 0, "a" }, { 1, "b" }, { 2, "" }, { 100, "" } };

    for (const auto& c : cases)
    {
        const auto* child = parent.GetChildElement (c.index);
        EXPECT_EQ (child != nullptr ? child->GetTagName() : "", c.tag) << c.index;
    }
}

TEST (PresetElement, AttributesAreExactNamesWithUniqueValues)
{
    PresetElement element ("e");
    element.SetAttribute ("index", 1);
    element.SetAttribute ("Index", "other");
    element.SetAttribute ("index", -7);
    element.SetAttribute ("word", "abc");

    EXPECT_EQ (describe (element), "<e index=-7 Index=other word=abc></>");
    EXPECT_TRUE (element.HasAttribute ("Index"));
    EXPECT_FALSE (element.HasAttribute ("INDEX"));
    EXPECT_EQ (element.GetIntAttribute ("index", 9), -7);
    EXPECT_EQ (element.GetIntAttribute ("word", 9), 0);
    EXPECT_EQ (element.GetIntAttribute ("missing", 9), 9);
    EXPECT_EQ (element.GetStringAttribute ("missing", "d"), "d");
}

TEST (PresetElement, ChildrenAreFoundByTagIgnoringCaseAndTextElementsHoldTheirText)
{
    PresetElement root ("root");
    root.AddChildElement (new PresetElement ("Preset"));
    root.AddTextElement ("");
    root.AddTextElement ("'left'");

    EXPECT_EQ (root.GetChildByName ("preset"), root.GetChildElement (0));
    EXPECT_EQ (root.GetChildByName ("pre"), nullptr);

    ASSERT_EQ (root.GetNumChildElements(), 3);
    const auto* empty = root.GetChildElement (1);
    EXPECT_EQ (empty->GetTagName(), "");
    EXPECT_TRUE (empty->HasAttribute (PresetElement::textAttributeName));
    EXPECT_EQ (empty->GetStringAttribute ("text", "absent"), "");
    EXPECT_EQ (root.GetChildElement (2)->GetStringAttribute ("text"), "'left'");
}

TEST (PresetElement, CopiesAreDeepAndOutliveTheirSource)
{
    auto source = makeThreeLevelTree();
    const std::string expected = describe (*source);
    ASSERT_EQ (expected, "<preset index=1><source index=3 name=left><level>< text=0.5></></></><gain></></>");

    const PresetElement copy (*source);
    source->GetChildElement (0)->SetAttribute ("name", "changed");
    source.reset();
    EXPECT_EQ (describe (copy), expected);

    // A copied child stands alone, without its former sibling.
    const PresetElement child (*copy.GetChildElement (0));
    EXPECT_EQ (child.GetNextElement(), nullptr);
    EXPECT_EQ (describe (child), "<source index=3 name=left><level>< text=0.5></></></>");
}

TEST (PresetElement, AssignmentCopiesDeeplyAndKeepsThePlaceAmongSiblings)
{
    auto tree = makeThreeLevelTree();
    auto* first = tree->GetChildElement (0);
    const std::string gainBefore = describe (*tree->GetChildElement (1));

    PresetElement replacement ("replacement");
    replacement.SetAttribute ("k", "v");
    replacement.AddTextElement ("t");
    *first = replacement;
    replacement.SetAttribute ("k", "changed");

    EXPECT_EQ (tree->GetChildElement (0), first);
    EXPECT_EQ (describe (*first), "<replacement k=v>< text=t></></>");
    EXPECT_EQ (describe (*first->GetNextElement()), gainBefore);

    // From its own descendant, and onto itself.
    PresetElement nested ("outer");
    nested.AddChildElement (new PresetElement ("inner"));
    nested.GetChildElement (0)->AddTextElement ("x");
    nested = *nested.GetChildElement (0);
    EXPECT_EQ (describe (nested), "<inner>< text=x></></>");

    auto& alias = nested;
    nested = alias;
    EXPECT_EQ (describe (nested), "<inner>< text=x></></>");
}

TEST (PresetElement, DeepTreesAreCopiedAndDeletedWithoutRecursion)
{
    constexpr int depth = 200000;
    auto root = std::make_unique<PresetElement> ("level");
    PresetElement* last = root.get();

    for (int i = 1; i < depth; ++i)
    {
        auto* child = new PresetElement ("level");
        last->AddChildElement (child);
        last->AddTextElement ("sibling");
        last = child;
    }

    last->SetAttribute ("index", depth);

    const PresetElement copy (*root);
    root.reset();

    const PresetElement* walk = &copy;
    int levels = 1;

    while (walk->GetFirstChildElement() != nullptr && walk->GetFirstChildElement()->GetTagName() == "level")
    {
        EXPECT_EQ (walk->GetNumChildElements(), 2);
        walk = walk->GetFirstChildElement();
        ++levels;
    }

    EXPECT_EQ (levels, depth);
    EXPECT_EQ (walk->GetIntAttribute ("index", 0), depth);
}
