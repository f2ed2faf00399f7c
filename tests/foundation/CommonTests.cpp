#include "common/Colour.h"
#include "common/Exception.h"
#include "common/MaxConsoleNotifier.h"
#include "common/MillisecondCounter.h"
#include "common/StringMap.h"
#include "math/Vector.h"
#include "memory/MemoryBlock.h"
#include "corefoundation/Microseconds.h"

#include "TestHelpers.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace
{
kul::MemoryBlock blockHolding (const std::string& bytes)
{
    kul::MemoryBlock block;
    block.SetSize (bytes.size(), false);
    std::memcpy (block.GetData(), bytes.data(), bytes.size());
    return block;
}
} // namespace

TEST (Colour, HexTextGivesEachByteScaledToOneAndRefusesAnythingElse)
{
    using Rgba = std::vector<float>;
    const auto rgba = [] (const kul::Colour& c) { return Rgba { c.GetRed(), c.GetGreen(), c.GetBlue(), c.GetAlpha() }; };
    constexpr float byteScale = 0.003921569f;
    EXPECT_EQ (rgba (kul::Colour ("0xff8a2be2")), (Rgba { 138 * byteScale, 43 * byteScale, 226 * byteScale, 1.0f }));
    EXPECT_EQ (rgba (kul::Colour ("0x80FFFFFF")), (Rgba { 1.0f, 1.0f, 1.0f, 128 * byteScale }));
    EXPECT_EQ (rgba (kul::Colour ("000080")), (Rgba { 0.0f, 0.0f, 128 * byteScale, 1.0f }));
    EXPECT_EQ (kul::Colour (0.0f, 0.502f, 1.0f, 0.25f).ToString(), "0.000 0.502 1.000 0.250");
    // Texts of the wrong length are refused before their digits are read.
    const std::pair<std::string, int> refused[] = { { "", 28 }, { "0x", 28 }, { "0xfff", 28 }, { "0xff8a2be", 28 }, { "0xff8a2be2ff", 28 },
                                                    { "0xgg8a2be2", 35 }, { "0xff8a2b 2", 35 }, { "0Xff8a2be2", 28 } };
    for (const auto& [text, line] : refused)
        EXPECT_EQ (failureOf ([&] { kul::Colour colour (text); }), "invalid colour text \"" + text + "\" @Colour:" + std::to_string (line));
}

namespace
{
class RecordingListener : public kul::MaxConsoleNotifier::Listener
{
public:
    RecordingListener (std::string listenerName, Texts& receivedLog) : name (std::move (listenerName)), log (receivedLog) {}

    void MessageReceived (const int& type, const std::string& text) override
    {
        log.push_back (name + std::to_string (type) + text);
        if (onMessage)
            onMessage();
    }

    std::string name;
    Texts& log;
    std::function<void()> onMessage;
};
} // namespace

TEST (MaxConsoleNotifier, NotifiesEachListenerOnceInOrderWhileListenersAddAndRemoveListeners)
{
    Texts log;
    RecordingListener a ("a", log), b ("b", log), c ("c", log), d ("d", log), e ("e", log);
    kul::MaxConsoleNotifier notifier;
    for (auto* listener : { &a, static_cast<RecordingListener*> (nullptr), &b, &c, &a, &d })
        notifier.AddListener (listener);

    // One added from inside is called in the same round, after the others.
    a.onMessage = [&] { notifier.AddListener (&e); };
    b.onMessage = [&] { notifier.RemoveListener (&b); };
    c.onMessage = [&] { notifier.RemoveListener (&a); };
    notifier.Notify ("x");
    EXPECT_EQ (log, (Texts { "a2x", "b2x", "c2x", "d2x", "e2x" }));
    log.clear();
    notifier.RemoveListener (&d);
    notifier.RemoveListener (nullptr);
    notifier.Notify ("y");
    EXPECT_EQ (log, (Texts { "c2y", "e2y" }));
}

TEST (MillisecondCounter, ReturnsEveryReadingButKeepsTheHeldValueOverStepsBackOfAtMostOneSecond)
{
    const struct { std::uint64_t held, reading, heldAfter; } cases[] = {
        { 10000, 10001, 10001 }, { 10000, 9000, 10000 }, { 10000, 8999, 8999 }, { 500, 0, 500 }, { 1500, 0, 0 },
    };
    for (const auto& c : cases)
    {
        std::atomic<std::uint64_t> held { c.held };
        EXPECT_EQ (kul::detail::AdvanceMillisecondCounter (c.reading, held), c.reading) << c.held << " " << c.reading;
        EXPECT_EQ (held.load(), c.heldAfter) << c.held << " " << c.reading;
    }
    const auto before = Microseconds() / 1000, counter = GetMillisecondCounter(), after = Microseconds() / 1000;
    EXPECT_TRUE (before <= counter && counter <= after) << before << " " << counter << " " << after;
}

TEST (PresetElement, AttributeNamesAreExactChildTagsIgnoreCaseAndChildIndexesAreClamped)
{
    PresetElement element ("e");
    element.SetAttribute ("index", 1);
    element.SetAttribute ("Index", "other");
    element.SetAttribute ("index", -7);
    element.SetAttribute ("word", "abc");
    element.AddChildElement (new PresetElement ("Preset"));
    element.AddChildElement (nullptr);
    element.AddTextElement ("");
    EXPECT_EQ (describe (element), "<e index=-7 Index=other word=abc><Preset></>< text=></></>");
    EXPECT_EQ (element.GetIntAttribute ("word", 9), 0);
    EXPECT_EQ (element.GetIntAttribute ("missing", 9), 9);
    EXPECT_EQ (element.GetChildByName ("preset"), element.GetChildElement (0));
    EXPECT_EQ (element.GetChildByName ("pre"), nullptr);
    EXPECT_EQ (element.GetChildElement (-1), element.GetChildElement (0));
    EXPECT_EQ (element.GetChildElement (1)->GetStringAttribute ("text", "absent"), "");
    EXPECT_EQ (element.GetChildElement (2), nullptr);
}

TEST (PresetElement, CopiesAndAssignmentsAreDeepStandAloneAndKeepThePlaceAmongSiblings)
{
    auto tree = std::make_unique<PresetElement> ("preset");
    auto* source = new PresetElement ("source");
    source->SetAttribute ("name", "left");
    source->AddChildElement (new PresetElement ("level"));
    source->GetChildElement (0)->AddTextElement ("0.5");
    tree->AddChildElement (source);
    tree->AddChildElement (new PresetElement ("gain"));
    const std::string expected = "<preset><source name=left><level>< text=0.5></></></><gain></></>";
    const PresetElement copy (*tree);
    const PresetElement child (*copy.GetChildElement (0));
    *source = *tree->GetChildElement (1);
    source->SetAttribute ("k", "v");
    EXPECT_EQ (describe (*tree), "<preset><gain k=v></><gain></></>");
    tree.reset();
    EXPECT_EQ (describe (copy), expected);
    EXPECT_EQ (describe (child), "<source name=left><level>< text=0.5></></></>");
    EXPECT_EQ (child.GetNextElement(), nullptr);

    // From its own descendant, and onto itself.
    PresetElement nested (copy);
    nested = *nested.GetChildElement (0);
    auto& alias = nested;
    nested = alias;
    EXPECT_EQ (describe (nested), describe (child));
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
    for (; walk->GetNumChildElements() == 2; walk = walk->GetFirstChildElement())
        ++levels;
    EXPECT_EQ (levels, depth);
    EXPECT_EQ (walk->GetIntAttribute ("index", 0), depth);
}

TEST (StringMap, LookupsFollowTheCaseFlagAndKeysAreTheFirstNamesOfDistinctValues)
{
    for (const bool ignoreCase : { true, false })
    {
        kul::StringMap<int> modes (ignoreCase);
        modes["Peak"] = 1;
        EXPECT_EQ (modes["PEAK"], ignoreCase ? 1 : 0);
        EXPECT_EQ (modes.GetValues().Size(), modes.Size());
        EXPECT_EQ (textsOf (modes.GetNames()), ignoreCase ? Texts { "Peak" } : (Texts { "Peak", "PEAK" }));
    }
    kul::StringMap<int> modes (true);
    modes["Peak"] = 1;
    modes["RMS"] = 2;
    modes["rmsAlias"] = 2;
    EXPECT_EQ (modes.GetKeyOf (2), "RMS");
    EXPECT_EQ (modes.GetKeyOf (0), "");
    EXPECT_EQ (textsOf (modes.GetAllKeys (false)), (Texts { "Peak", "RMS" }));
    EXPECT_EQ (textsOf (modes.GetAllKeys (true)), (Texts { "peak", "rms" }));
}

TEST (MemoryBlock, SizingZeroesOnlyNewBytesWhenAskedEnsureNeverShrinksAndZeroFrees)
{
    auto block = blockHolding ("abcd");
    block.SetSize (8, true);
    EXPECT_EQ (block.ToString(), std::string ("abcd\0\0\0\0", 8));
    block.EnsureSize (2, false);
    EXPECT_EQ (block.GetSize(), 8u);
    block.Reallocate (3, 1);
    EXPECT_EQ (block.ToString(), "abc");
    block.Reallocate (0, 4);
    EXPECT_EQ (block.GetData(), nullptr);
    EXPECT_EQ (block.GetSize(), 0u);
}

TEST (MemoryBlock, CopiesAreDeepAndMovesHandTheBytesOver)
{
    auto original = blockHolding ("bytes");
    kul::MemoryBlock copy (original);
    static_cast<char*> (copy.GetData())[0] = 'B';
    kul::MemoryBlock assigned = blockHolding ("longer than the original");
    assigned = original;
    auto& same = assigned;
    assigned = same;
    EXPECT_EQ (original.ToString() + copy.ToString() + assigned.ToString(), "bytesBytesbytes");
    EXPECT_NE (assigned.GetData(), original.GetData());
    const void* data = original.GetData();
    kul::MemoryBlock moved (std::move (original));
    copy = std::move (moved);
    EXPECT_EQ (copy.GetData(), data);
    EXPECT_EQ (original.GetData(), nullptr);
    EXPECT_EQ (original.GetSize() + moved.GetSize(), 0u);
}

TEST (Vector, CopiesAreElementByElementAndIndependent)
{
    const std::string longText = "a text too long for the small-string buffer of the library";
    kul::Vector<std::string> original;
    original.PushBack (longText);
    original.PushBack ("b");
    kul::Vector<std::string> copy (original);
    copy[0] = "changed";
    kul::Vector<std::string> assigned (7);
    assigned = original;
    auto& sameObject = assigned;
    assigned = sameObject;
    EXPECT_EQ (original[0], longText);
    ASSERT_EQ (assigned.Size(), 2u);
    EXPECT_EQ (assigned[0] + assigned[1], longText + "b");
}

TEST (Vector, DistinctValuesKeepTheOrderOfFirstAppearance)
{
    kul::Vector<int> values;
    for (int value : { 3, 1, 3, 2, 1, 2 })
        values.PushBack (value);
    const auto distinct = kul::GetDistinctValues (values);
    EXPECT_EQ (std::vector<int> (distinct.begin(), distinct.end()), (std::vector<int> { 3, 1, 2 }));
}
