#include "dsp/AudioProcessorWithOscInAudioInterrupt.h"
#include "osc/OSCBundle.h"
#include "osc/OscDocumentation.h"
#include "osc/OscInterface.h"

#include "TestHelpers.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace
{
using Texts = std::vector<std::string>;

class TestProcessor : public kul::AudioProcessorWithOscInAudioInterrupt, public kul::MaxConsoleNotifier::Listener
{
public:
    TestProcessor() : AudioProcessorWithOscInAudioInterrupt (1, 1) {}
    void Process (float**, float**, unsigned int) override {}
    void MessageReceived (const int&, const std::string& text) override { reported.push_back (text); }

    bool ProcessOscMessage (const kul::OSCMessage& message, bool) override
    {
        if (message.address.GetText() == "/throw")
            throw std::runtime_error ("handler failed");
        handled.push_back (message.address.GetText());
        return message.address.GetText() == "/known";
    }

    kul::OSCBundle GetStateAsOscBundle() override { return state; }

    Texts handled, reported;
    kul::OSCBundle state;
};
} // namespace

TEST (OscAddress, NormalisesTextsIntoTextAndComponents)
{
    struct Case { std::string input, text; Texts components; bool wildcards; };
    const Case cases[] = {
        { "dsp/mute", "/dsp/mute", { "dsp", "mute" }, false }, { "/a//b/", "/a//b", { "a", "b" }, false },
        { "", "/", {}, false },                                { "//", "/", {}, false },
        { "/a*", "/a*", { "a*" }, true },                      { "/f/[1-3]/{x,y}", "/f/[1-3]/{x,y}", { "f", "[1-3]", "{x,y}" }, true },
        { "/a]", "/a]", { "a]" }, true },
    };
    for (const auto& c : cases)
    {
        const kul::OSCAddress address (c.input);
        EXPECT_EQ (address.GetText(), c.text) << c.input;
        EXPECT_EQ (Texts (address.GetComponents().begin(), address.GetComponents().end()), c.components) << c.input;
        EXPECT_EQ (address.HasWildcards(), c.wildcards) << c.input;
    }
}

TEST (OscAddress, RefusesCharactersAnAddressCannotCarryWithTheTextInTheMessage)
{
    // "\xC3" is a UTF-8 lead byte whose sequence is cut off by the end of the text.
    for (const std::string text : { "/a b", "/a#b", "a\tb", "/\x7f", "/caf\xC3\xA9", "/\xC3" })
        EXPECT_EQ (failureOf ([&] { kul::OSCAddress address (text); }),
                   "OSC format error: encountered characters not allowed in address string : " + std::string (text.front() == '/' ? "" : "/")
                       + text + " @OskelDspOscAddress:62");

    kul::OSCAddress kept ("/kept");
    EXPECT_THROW (kept.SetAddress ("/a b"), kul::Exception);
    EXPECT_EQ (kept.GetText(), "/kept");
}

TEST (OscMessage, TextShowsEachArgumentByItsTypeTag)
{
    kul::MemoryBlock blob;
    blob.SetSize (4, true);
    const kul::OSCMessage message ("/all",
                                   { kul::OSCArgument (true), kul::OSCArgument (false), kul::OSCArgument (int32_t (-7)),
                                     kul::OSCArgument (int64_t (123456789012)), kul::OSCArgument (0.5f),
                                     kul::OSCArgument (1.0 / 3.0), kul::OSCArgument ("left"), kul::OSCArgument::Impulse(),
                                     kul::OSCArgument::Nil(), kul::OSCArgument (blob), kul::OSCArgument ("") });

    EXPECT_EQ (message.ToString(), "/all 1 0 -7 123456789012 0.5 0.333333 'left'    ''");
    EXPECT_EQ (kul::OSCMessage ("/trailing", { kul::OSCArgument::Nil() }).GetArgumentsText(), "");
}

TEST (OscDocumentation, ProcessorListsItsSevenAddressesBeforeThePresetOnesAndNothingTwice)
{
    TestProcessor processor;
    auto list = processor.GetOscDocumentation();
    ASSERT_EQ (list.Size(), 9u);
    EXPECT_EQ (list[6].address.GetText(), "/dsp/automute/attack");
    EXPECT_EQ (list[8].address.GetText(), "/preset/export");

    // Entries already there, without a description or without an address are not added.
    kul::OscDocumentation::Merge (list, processor.GetOscDocumentation());
    kul::OscDocumentation::AddEntry (list, "/dsp/mute", "[boolean]", "mutes the DSP rendering");
    kul::OscDocumentation::AddEntry (list, "/b", "[number]", "");
    kul::OscDocumentation::AddEntry (list, "", "[number]", "nothing");
    EXPECT_EQ (list.Size(), 9u);

    kul::OscDocumentation::AddEntry (list, "/dsp/mute", "[number]", "mutes the DSP rendering");
    EXPECT_EQ (list.Size(), 10u);
}

TEST (OscInterface, DrainReportsEveryUnhandledMessageLetsNoExceptionOutAndEmptiesThePendingBundle)
{
    TestProcessor processor;
    processor.AddListener (&processor);

    kul::OSCBundle nested;
    nested.AddElement (kul::OSCMessage ("/known"));
    nested.AddElement (kul::OSCMessage ("/dsp/mute", { kul::OSCArgument (true) }));
    processor.AddPendingMessage (kul::OSCMessage ("/a", { kul::OSCArgument (int32_t (1)) }));
    processor.AddPendingBundle (nested);
    processor.AddPendingMessage (kul::OSCMessage ("/b"));

    EXPECT_FALSE (processor.ProcessPendingOscMessages());
    EXPECT_EQ (processor.handled, (Texts { "/a", "/known", "/dsp/mute", "/b" }));
    EXPECT_EQ (processor.reported, (Texts { "/a 1", "/dsp/mute 1", "/b " }));
    EXPECT_TRUE (processor.ProcessPendingOscMessages());

    processor.AddPendingMessage (kul::OSCMessage ("/throw"));
    EXPECT_FALSE (processor.ProcessPendingOscMessages());

    // An element that carries nothing cannot be read; the drain takes it all the same.
    kul::OSCBundle withEmptyElement;
    withEmptyElement.elements.PushBack (kul::OSCBundle::Element());
    processor.AddPendingBundle (withEmptyElement);
    EXPECT_FALSE (processor.ProcessPendingOscMessages());
    EXPECT_TRUE (processor.ProcessPendingOscMessages());

    // The blocking drain, off the audio thread, takes the lock and the messages all the same.
    processor.AddPendingMessage (kul::OSCMessage ("/known"));
    EXPECT_TRUE (processor.ProcessPendingBundle (true, true));
    EXPECT_EQ (processor.handled.back(), "/known");
    processor.RemoveListener (&processor);
}

TEST (OscInterfaceConcurrency, DrainGivesUpWhileAnotherThreadHoldsTheLock)
{
    TestProcessor processor;
    processor.AddPendingMessage (kul::OSCMessage ("/known"));

    // Each side waits for the other at most a few seconds: a drain that waited for the
    // lock fails the test instead of holding it up for ever.
    std::atomic<bool> locked { false }, release { false };
    const auto waitFor = [] (const std::atomic<bool>& flag)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds (5);
        while (! flag && std::chrono::steady_clock::now() < deadline)
            std::this_thread::yield();
        return flag.load();
    };
    std::thread holder ([&]
    {
        const std::lock_guard<std::recursive_mutex> lock (processor.GetPendingLock());
        locked = true;
        waitFor (release);
    });
    EXPECT_TRUE (waitFor (locked)) << "the holder never took the lock";

    EXPECT_TRUE (processor.ProcessPendingOscMessages());
    EXPECT_TRUE (processor.handled.empty());
    release = true;
    holder.join();

    EXPECT_TRUE (processor.ProcessPendingOscMessages());
    EXPECT_EQ (processor.handled, (Texts { "/known" }));
}

TEST (OscInterface, StateBecomesAPresetTreeWithIndexedChildren)
{
    TestProcessor processor;
    kul::OSCBundle nested;
    nested.AddElement (kul::OSCMessage ("/source/1/mute", { kul::OSCArgument (false) }));
    processor.state.AddElement (kul::OSCMessage ("/source/1/gain", { kul::OSCArgument (0.5f) }));
    processor.state.AddElement (nested);
    processor.state.AddElement (kul::OSCMessage ("/source/2/gain", { kul::OSCArgument (0.25f) }));
    processor.state.AddElement (kul::OSCMessage ("/lone", { kul::OSCArgument (int32_t (1)) }));
    // A message without arguments still leaves its (empty) text where its address leads.
    processor.state.AddElement (kul::OSCMessage ("/lone"));

    const auto tree = processor.GetStateAsPresetTree();
    ASSERT_NE (tree, nullptr);
    EXPECT_EQ (describe (*tree), "<preset><source index=1><gain>< text=0.5></></><mute>< text=0></></></>"
                                 "<source index=2><gain>< text=0.25></></></><lone>< text=1></>< text=></></></>");
}
