#include "MeterTestSupport.h"

#include "dsp/Mixer.h"
#include "gui/MultiMeterComponent.h"

#include "ext_dictobj.h"

using namespace metertest;

using CreationTest = MeterTest;

TEST_F (CreationTest, FourChannelsGiveFourSignalInletsAndOutletsThenTheDumpOutletAndAPlainOne)
{
    auto* meter = create ("@numchannels 4");
    ASSERT_NE (meter, nullptr);
    EXPECT_EQ (maxhost::signalInletCount (asObject (meter)), 4);
    ASSERT_EQ (maxhost::outletCount (asObject (meter)), 6);

    for (int outlet = 1; outlet <= 6; ++outlet)
        EXPECT_EQ (maxhost::outletIsSignal (asObject (meter), outlet), outlet <= 4) << outlet;
    EXPECT_EQ (meter->levels.Size(), 4u);
    EXPECT_EQ (meter->gui->getNumChannels(), 4u);
    EXPECT_EQ (meter->mixer->GetNumInputs(), 4u);

    send (meter, "dumplevels");
    EXPECT_EQ (dumpLines (meter), std::vector<std::string> { "levels -60. -60. -60. -60." });
}

TEST_F (CreationTest, AssistTextsNameEachInletAndOutlet)
{
    auto* meter = create ("@numchannels 2");
    const std::vector<std::tuple<long, long, std::string>> cases {
        { 1, 0, "input #1" }, { 1, 1, "input #2" }, { 2, 0, "output #1" }, { 2, 1, "output #2" },
        { 2, 2, "dumpout" },   { 2, 3, "dumpout" },   { 3, 0, "" },
    };

    for (const auto& [kind, index, text] : cases)
        EXPECT_EQ (maxhost::assist (asObject (meter), kind, index), text) << kind << " " << index;
}

TEST_F (CreationTest, VersionAndPostattributesPostToTheConsole)
{
    auto* meter = create ("@numchannels 3 @numleds 20");
    send (meter, "version");
    send (meter, "postattributes");
    const auto posts = consoleLines (maxhost::Severity::post);
    ASSERT_GE (posts.size(), 2u);
    EXPECT_EQ (posts[0], "Version 4.9.2 (Build Aug 29 2016) (32 bits float)");
    EXPECT_EQ (posts[1], "found 22 attributes");
    EXPECT_NE (std::find (posts.begin(), posts.end(), "numchannels : 3 "), posts.end());
    EXPECT_NE (std::find (posts.begin(), posts.end(), "numleds : 20 "), posts.end());
    EXPECT_TRUE (consoleLines (maxhost::Severity::error).empty());
}

TEST_F (CreationTest, SizesGivenInTheBoxAreClippedAndTakeEffectAlthoughTheGuiIsBuiltFirst)
{
    const std::vector<std::tuple<std::string, long, long, long>> cases {
        { "@numchannels 8 @numleds 12 @width 30 @gain -6", 8, 12, 30 },
        { "@numchannels 300 @numleds 3 @width 99", 250, 10, 40 },
    };

    for (const auto& [arguments, channels, leds, width] : cases)
    {
        auto* meter = create (arguments);
        ASSERT_NE (meter, nullptr) << arguments;
        EXPECT_EQ (meter->numchannels, channels) << arguments;
        EXPECT_EQ (meter->numleds, leds) << arguments;
        EXPECT_EQ (meter->width, width) << arguments;
        EXPECT_EQ (meter->gui->getNumChannels(), (unsigned) channels) << arguments;
    }
}

TEST_F (CreationTest, RateIsClippedAndResetKeepsTheDontResetAttributes)
{
    auto* meter = create ("@numchannels 3 @gain -6 @mode rms");
    EXPECT_EQ (meter->gui->getGain(), -6.0f);
    send (meter, "rate 2");
    EXPECT_EQ (meter->rate, 5.0f);
    send (meter, "rate 5000");
    EXPECT_EQ (meter->rate, 3000.0f);

    send (meter, "post 0");
    send (meter, "windowtitle levels");
    settle();
    send (meter, "reset");
    settle();
    EXPECT_EQ (meter->gain, 0.0f);
    EXPECT_EQ (meter->mode, gensym ("peak"));
    EXPECT_EQ (meter->rate, 50.0f);
    EXPECT_EQ (meter->post, 0);
    EXPECT_EQ (meter->windowtitle, gensym ("levels"));
    EXPECT_EQ (meter->numchannels, 3);
}

TEST_F (CreationTest, ADictionaryWithoutAnEntryForTheSizesYieldsNoObject)
{
    auto* d = dictionary_new();
    dictionary_appendlong (d, gensym ("numchannels"), 2);
    dictionary_appendlong (d, gensym ("width"), 20);
    t_atom atom;
    atom_setobj (&atom, d);

    EXPECT_EQ (meter_new (gensym ("zelm.meter~"), 1, &atom), nullptr);
    EXPECT_FALSE (consoleLines (maxhost::Severity::error).empty());
    object_free (d);
}

TEST_F (CreationTest, FailingHostCallsYieldNoObjectAndFreeNothingTwice)
{
    const std::vector<std::tuple<const char*, std::string>> cases {
        { "object_alloc", "couldnt allocate memory" },
        { "qelem_new", "couldnt create object" },
        { "clock_new", "couldnt create object" },
    };

    for (const auto& [call, message] : cases)
    {
        maxhost::clearRecordings();
        maxhost::failCall (call, "zelm.meter~", 1);
        EXPECT_EQ (maxhost::newObject ("zelm.meter~", "@numchannels 2"), nullptr) << call;
        const auto errors = consoleLines (maxhost::Severity::error);
        EXPECT_NE (std::find (errors.begin(), errors.end(), message), errors.end()) << call;
        EXPECT_TRUE (consoleLines (maxhost::Severity::bug).empty()) << call;
        maxhost::clearFaults();
    }

    EXPECT_NE (create ("@numchannels 2"), nullptr) << "the class still works";
}
