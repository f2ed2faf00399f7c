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

TEST_F (CreationTest, SizesGivenInTheBoxTakeEffectAlthoughTheGuiIsBuiltFirst)
{
    auto* meter = create ("@numchannels 8 @numleds 12 @width 30 @gain -6 @mode rms");
    ASSERT_NE (meter, nullptr);
    EXPECT_EQ (meter->numchannels, 8);
    EXPECT_EQ (meter->numleds, 12);
    EXPECT_EQ (meter->width, 30);
    EXPECT_EQ (meter->gui->getNumChannels(), 8u);
    EXPECT_EQ (meter->gui->getGain(), -6.0f);
    EXPECT_EQ (meter->mode, gensym ("rms"));
}

TEST_F (CreationTest, AttributesAreClippedAndResetKeepsTheDontResetOnes)
{
    auto* meter = create ("@numchannels 300 @numleds 3 @width 99");
    EXPECT_EQ (meter->numchannels, 250);
    EXPECT_EQ (meter->numleds, 10);
    EXPECT_EQ (meter->width, 40);

    sendText (meter, "rate 2");
    EXPECT_EQ (meter->rate, 5.0f);
    sendText (meter, "rate 5000");
    EXPECT_EQ (meter->rate, 3000.0f);

    sendText (meter, "gain -3");
    sendText (meter, "post 0");
    sendText (meter, "mode rms");
    sendText (meter, "windowtitle levels");
    settle();
    send (meter, "reset");
    settle();
    EXPECT_EQ (meter->gain, 0.0f);
    EXPECT_EQ (meter->mode, gensym ("peak"));
    EXPECT_EQ (meter->rate, 50.0f);
    EXPECT_EQ (meter->post, 0);
    EXPECT_EQ (meter->windowtitle, gensym ("levels"));
    EXPECT_EQ (meter->numchannels, 250);
}

TEST_F (CreationTest, TheClassCarriesItsMetaAttributes)
{
    auto* meter = create();
    const auto meta = [meter] (const char* attribute, const char* name)
    {
        long ac = 0;
        t_atom* av = nullptr;
        auto* attr = object_attr_get (asObject (meter), gensym (attribute));
        if (attr == nullptr || object_attr_getvalueof (attr, gensym (name), &ac, &av) != MAX_ERR_NONE)
            return std::string ("(none)");
        const auto text = maxhost::atomsToText (std::vector<t_atom> (av, av + ac));
        sysmem_freeptr (av);
        return text;
    };

    const std::vector<std::tuple<const char*, const char*, std::string>> cases {
        { "numchannels", "label", "number of channels" },
        { "peakholdrate", "maxvalue", "36000000." },
        { "windowtopleft", "default", "50. 800." },
        { "coldcolor", "default", "0. 0.502 0. 1." },
        { "mode", "enumvals", "peak rms" },
        { "style", "enumvals", "leds gradient" },
        { "windowtitle", "category", "window options" },
        { "useopengl", "label", "use openGL rendering" },
        { "externalversion", "label", "4.9.2 (Build Aug 29 2016) (32 bits float)" },
        { "classdigest", "invisible", "1" },
        { "gain", "order", "(none)" },
    };

    for (const auto& [attribute, name, text] : cases)
        EXPECT_EQ (meta (attribute, name), text) << attribute << " " << name;
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
