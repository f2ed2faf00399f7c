// How a box of "zelm.meter~" comes to be: its ports, sizes that stay within their
// limits whatever the box says, and no object at all where something it needs is missing.
#include "MeterTestSupport.h"

#include "dsp/Mixer.h"
#include "gui/MultiMeterComponent.h"

#include "ext_dictobj.h"

#include <algorithm>

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
    EXPECT_EQ (meter->mixer->GetNumInputs(), 4u);

    send (meter, "dumplevels");
    EXPECT_EQ (dumpLines (meter), std::vector<std::string> { "levels -60. -60. -60. -60." });
}

TEST_F (CreationTest, AssistTextsNameEachPortAndNeverNarrowAnIndexOntoAnother)
{
    auto* meter = create ("@numchannels 2");
    const std::vector<std::tuple<long, long, std::string>> cases {
        { 1, 0, "input #1" },       { 1, 1, "input #2" },      { 2, 0, "output #1" },       { 2, 1, "output #2" },
        { 2, 2, "dumpout" },        { 2, 3, "dumpout" },       { 3, 0, "" },                { 1, 4294967296L, "" },
        { 1, -4294967295L, "" },    { 2, 4294967297L, "dumpout" }, { 2, -4294967295L, "dumpout" },
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
    EXPECT_EQ (std::count (posts.begin(), posts.end(), "numchannels : 3 "), 1);
    EXPECT_EQ (std::count (posts.begin(), posts.end(), "numleds : 20 "), 1);
    EXPECT_TRUE (consoleLines (maxhost::Severity::error).empty());
}

TEST_F (CreationTest, SizesAreClippedOrKeepTheirDefaultAndTakeEffectAlthoughTheGuiIsBuiltFirst)
{
    // A value that is no number is refused, and the size keeps its default.
    const std::vector<std::tuple<std::string, long, long, long, std::vector<std::string>>> cases {
        { "@numchannels 8 @numleds 12 @width 30 @gain -6", 8, 12, 30, {} },
        { "@numchannels 300 @numleds 3 @width 99", 250, 10, 40, {} },
        { "@numchannels foo", 1, 40, 26, { "invalid value for attribute numchannels" } },
        { "@numchannels NaN", 1, 40, 26, { "invalid value for attribute numchannels" } },
        { "@numchannels 2 3", 2, 40, 26, {} },
        { "@numleds 20 x @width wide", 1, 20, 26, { "invalid value for attribute width" } },
    };
    for (const auto& [arguments, channels, leds, width, errors] : cases)
    {
        SCOPED_TRACE (arguments);
        maxhost::clearRecordings();
        auto* meter = create (arguments);
        ASSERT_NE (meter, nullptr);
        EXPECT_EQ ((std::vector<long> { (long) meter->numchannels, (long) meter->numleds, (long) meter->width }),
                   (std::vector<long> { channels, leds, width }));
        EXPECT_EQ (maxhost::signalInletCount (asObject (meter)), channels);
        EXPECT_EQ (meter->gui->getNumChannels(), (unsigned) channels);
        EXPECT_EQ (consoleLines (maxhost::Severity::error), errors);
    }
}

TEST_F (CreationTest, FailingHostCallsAndSizesThatCannotBeSetYieldNoObjectAndFreeNothingTwice)
{
    const std::vector<std::tuple<const char*, const char*, std::string>> cases {
        { "object_alloc", "zelm.meter~", "couldnt allocate memory" },
        { "qelem_new", "zelm.meter~", "couldnt create object" },
        { "clock_new", "zelm.meter~", "couldnt create object" },
        { "object_attr_setvalueof", "numleds", "error parsing dictionary" },
    };
    for (const auto& [call, name, message] : cases)
    {
        SCOPED_TRACE (call);
        maxhost::clearRecordings();
        maxhost::failCall (call, name, 1);
        EXPECT_EQ (create ("@numchannels 2"), nullptr);
        const auto errors = consoleLines (maxhost::Severity::error);
        EXPECT_NE (std::find (errors.begin(), errors.end(), message), errors.end());
        EXPECT_TRUE (consoleLines (maxhost::Severity::bug).empty());
        maxhost::clearFaults();
    }

    // A creation dictionary without an entry for every size.
    auto* d = dictionary_new();
    dictionary_appendlong (d, gensym ("numchannels"), 2);
    dictionary_appendlong (d, gensym ("width"), 20);
    t_atom atom;
    atom_setobj (&atom, d);
    maxhost::clearRecordings();
    EXPECT_EQ (meter_new (gensym ("zelm.meter~"), 1, &atom), nullptr);
    EXPECT_FALSE (consoleLines (maxhost::Severity::error).empty());
    EXPECT_TRUE (consoleLines (maxhost::Severity::bug).empty());
    object_free (d);

    EXPECT_NE (create ("@numchannels 2"), nullptr) << "the class still works";
}
