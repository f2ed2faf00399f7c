#include "GuiTestSupport.h"

#include "gui/MeterChannelComponent.h"

#include <functional>

using oskelgui::MeterChannelComponent;

namespace
{
class ChannelStripTest : public guitest::GuiTest
{
protected:
    ChannelStripTest() { strip.setVisible (true); }

    /** The areas repainted while the action runs (attaching the recorder repaints: that one is forgotten). */
    std::vector<juce::Rectangle<int>> repaintsDuring (const std::function<void()>& action)
    {
        auto* recorder = new guitest::RepaintRecorder();
        strip.setCachedComponentImage (recorder);
        recorder->areas.clear();
        action();
        auto areas = recorder->areas;
        strip.setCachedComponentImage (nullptr);
        return areas;
    }

    MeterChannelComponent strip { 24, 20 };
    const std::vector<juce::Rectangle<int>> readoutArea { { 1, 1, 18, 14 } };
};
} // namespace

TEST_F (ChannelStripTest, StacksItsPartsAndItsReadoutShowsTheClampedLevelToATenthInRedAboveZero)
{
    EXPECT_EQ (strip.getBounds(), juce::Rectangle<int> (0, 0, 20, 135));
    EXPECT_EQ (strip.getMeter().getBounds(), juce::Rectangle<int> (0, 16, 20, 75));
    EXPECT_EQ (strip.getMuteButton().getBounds(), juce::Rectangle<int> (1, 107, 18, 13));
    EXPECT_EQ (strip.getSoloButton().getBounds(), juce::Rectangle<int> (1, 121, 18, 13));
    const auto image = guitest::paintOnBlack (strip);
    EXPECT_EQ (guitest::pixelAt (image, 1, 92), 0xff797979u); // name box
    EXPECT_EQ (guitest::pixelAt (image, 1, 91), 0xff000000u);

    struct Case { float dB; const char* text; juce::uint32 frame; };
    const Case cases[] = { { 7.0f, "6.0", 0xffff0000u },  { -100.0f, "-60.0", 0xff797979u }, { -12.34f, "-12.3", 0xff797979u },
                           { 0.04f, "0.0", 0xff797979u }, { 0.06f, "0.1", 0xffff0000u },     { NAN, "-60.0", 0xff797979u } };
    for (const auto& c : cases)
    {
        strip.setLevel (c.dB);
        EXPECT_EQ (juce::String (strip.getLevel(), 1), c.text) << c.dB;
        EXPECT_EQ (guitest::pixelAt (guitest::paintOnBlack (strip), 1, 1), c.frame) << c.dB; // readout box
    }
}

TEST_F (ChannelStripTest, ReadoutRepaintsAtMostOncePerIntervalAndOnlyWhenItChanged)
{
    EXPECT_TRUE (repaintsDuring ([this] { strip.setLevel (-10.0f); strip.advance (2205); strip.setLevel (-12.0f); strip.refresh(); }).empty());
    EXPECT_EQ (repaintsDuring ([this] { strip.advance (1); strip.setLevel (-14.0f); }), readoutArea);
    guitest::paintOnBlack (strip);
    EXPECT_EQ (strip.getSamplesSinceReadout(), 0u);
    EXPECT_TRUE (repaintsDuring ([this] { strip.advance (5000); strip.setLevel (-14.0f); strip.refresh(); }).empty());

    // The interval follows the rate and the refresh interval, which is not clamped here.
    strip.setSampleRate (48000.0f);
    EXPECT_EQ (strip.getReadoutSamples(), 2400u);
    const std::pair<float, unsigned> intervals[] = { { 100.0f, 4800 }, { 1.0f, 48 }, { 10000.0f, 480000 }, { -5.0f, 0 },
                                                     { 1.0e12f, 0xffffffffu } };
    for (const auto& [ms, samples] : intervals)
    {
        strip.setRefreshInterval (ms);
        EXPECT_EQ (strip.getReadoutSamples(), samples) << ms;
    }
}

TEST_F (ChannelStripTest, ShowingOrHidingTheReadoutRepaintsItAtTheNextDueTickWithSteadyLevels)
{
    strip.setLevel (-20.0f);

    for (const bool shown : { false, true })
    {
        guitest::paintOnBlack (strip);
        EXPECT_TRUE (repaintsDuring ([&] { strip.setShowReadout (shown); strip.refresh(); }).empty()) << shown; // not due yet
        EXPECT_EQ (repaintsDuring ([this] { strip.advance (2206); strip.refresh(); }), readoutArea) << shown;
        EXPECT_EQ (guitest::pixelAt (guitest::paintOnBlack (strip), 1, 1), shown ? 0xff797979u : 0xff000000u);
        // Painted as it stands: nothing more to do.
        EXPECT_TRUE (repaintsDuring ([this] { strip.advance (2206); strip.refresh(); }).empty()) << shown;
    }
}

TEST_F (ChannelStripTest, ListenersAreKeptOnceInOrderAndHearBothButtonsAlike)
{
    strip.setIndex (7);
    guitest::RecordingListener a, b, c;
    for (auto* listener : { &a, &a, static_cast<guitest::RecordingListener*> (nullptr), &b, &c })
        strip.addListener (listener);
    EXPECT_EQ (strip.getNumListeners(), 3u);
    strip.removeListener (&b);
    strip.removeListener (&b);

    strip.getMuteButton().triggerClick();
    strip.getSoloButton().triggerClick();
    guitest::drainMessages();
    EXPECT_EQ (a.channels, (std::vector<unsigned> { 7, 7 }));
    EXPECT_TRUE (b.channels.empty());
    EXPECT_EQ (c.channels, (std::vector<unsigned> { 7, 7 }));
    EXPECT_TRUE (strip.getMuteButton().getToggleState() && strip.getSoloButton().getToggleState());
}
