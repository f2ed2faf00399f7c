#include "GuiTestSupport.h"

#include "gui/MeterChannelComponent.h"

using oskelgui::MeterChannelComponent;

namespace
{
struct RecordingListener : public MeterChannelComponent::Listener
{
    void channelButtonClicked (unsigned channelIndex) override { calls.push_back (channelIndex); }
    std::vector<unsigned> calls;
};

juce::Image paintOnBlack (juce::Component& component)
{
    juce::Image image (juce::Image::ARGB, component.getWidth(), component.getHeight(), true);
    juce::Graphics g (image);
    g.fillAll (juce::Colours::black);
    component.paintEntireComponent (g, false);
    return image;
}

class ChannelStripTest : public guitest::GuiTest
{
};
} // namespace

TEST_F (ChannelStripTest, StacksReadoutMeterNameBoxAndButtonsInTheirColours)
{
    MeterChannelComponent strip (24, 20);
    strip.setVisible (true);

    EXPECT_EQ (strip.getBounds(), juce::Rectangle<int> (0, 0, 20, 135));
    EXPECT_EQ (strip.getMeter().getBounds(), juce::Rectangle<int> (0, 16, 20, 75));
    EXPECT_EQ (strip.getMuteButton().getBounds(), juce::Rectangle<int> (1, 107, 18, 13));
    EXPECT_EQ (strip.getSoloButton().getBounds(), juce::Rectangle<int> (1, 121, 18, 13));

    strip.getSoloButton().setToggleState (true, juce::dontSendNotification);
    const auto image = paintOnBlack (strip);
    EXPECT_EQ (guitest::pixelAt (image, 1, 92), 0xff797979u);  // name box
    EXPECT_EQ (guitest::pixelAt (image, 1, 91), 0xff000000u);
    EXPECT_EQ (guitest::pixelAt (image, 1, 1), 0xff797979u);   // readout box
    EXPECT_EQ (guitest::pixelAt (image, 3, 109), 0xff000000u); // "M" off
    EXPECT_EQ (guitest::pixelAt (image, 3, 123), 0xffefff00u); // "S" on, outlined white
    EXPECT_EQ (guitest::pixelAt (image, 1, 121), 0xffffffffu);
}

TEST_F (ChannelStripTest, ReadoutShowsTheClampedLevelToATenthAndTurnsRedAboveZero)
{
    struct Case { float dB; const char* text; juce::uint32 frame; };
    const Case cases[] = { { 7.0f, "6.0", 0xffff0000u },    { -100.0f, "-60.0", 0xff797979u }, { -12.34f, "-12.3", 0xff797979u },
                           { 0.04f, "0.0", 0xff797979u },   { 0.06f, "0.1", 0xffff0000u },     { NAN, "-60.0", 0xff797979u } };

    for (const auto& c : cases)
    {
        MeterChannelComponent strip (24, 20);
        strip.setVisible (true);
        strip.setLevel (c.dB);
        EXPECT_EQ (juce::String (strip.getLevel(), 1), c.text) << c.dB;
        EXPECT_EQ (guitest::pixelAt (paintOnBlack (strip), 1, 1), c.frame) << c.dB;
    }
}

TEST_F (ChannelStripTest, ReadoutRepaintsAtMostOncePerIntervalAndOnlyWhenItChanged)
{
    MeterChannelComponent strip (24, 20);
    strip.setVisible (true);
    auto* recorder = &guitest::RepaintRecorder::attachTo (strip);

    strip.setLevel (-10.0f);
    strip.advance (2205);
    strip.setLevel (-12.0f);
    strip.refresh();
    EXPECT_EQ (recorder->count, 0);

    strip.advance (1);
    strip.setLevel (-14.0f);
    ASSERT_EQ (recorder->count, 1);
    EXPECT_EQ (recorder->areas[0], juce::Rectangle<int> (1, 1, 18, 14));

    strip.setCachedComponentImage (nullptr);
    paintOnBlack (strip);
    EXPECT_EQ (strip.getSamplesSinceReadout(), 0u);
    recorder = &guitest::RepaintRecorder::attachTo (strip);

    strip.advance (5000);
    strip.setLevel (-14.0f);
    strip.refresh();
    EXPECT_EQ (recorder->count, 0);
    strip.setCachedComponentImage (nullptr);
}

TEST_F (ChannelStripTest, ReadoutIntervalFollowsRateAndClampedRefreshInterval)
{
    MeterChannelComponent strip (24, 20);
    strip.setSampleRate (48000.0f);
    EXPECT_EQ (strip.getReadoutSamples(), 2400u);

    const std::pair<float, unsigned> intervals[] = { { 100.0f, 4800 }, { 1.0f, 240 }, { 10000.0f, 144000 }, { -5.0f, 240 } };
    for (const auto& [ms, samples] : intervals)
    {
        strip.setRefreshInterval (ms);
        EXPECT_EQ (strip.getReadoutSamples(), samples) << ms;
    }
}

TEST_F (ChannelStripTest, ListenersAreKeptOnceInOrderAndHearBothButtonsAlike)
{
    MeterChannelComponent strip (24, 20);
    strip.setIndex (7);
    RecordingListener a, b, c;

    strip.addListener (&a);
    strip.addListener (&a);
    strip.addListener (nullptr);
    strip.addListener (&b);
    strip.addListener (&c);
    EXPECT_EQ (strip.getNumListeners(), 3u);

    strip.removeListener (&b);
    strip.removeListener (&b);
    EXPECT_EQ (strip.getNumListeners(), 2u);

    strip.getMuteButton().triggerClick();
    strip.getSoloButton().triggerClick();
    guitest::drainMessages();

    EXPECT_EQ (a.calls, (std::vector<unsigned> { 7, 7 }));
    EXPECT_TRUE (b.calls.empty());
    EXPECT_EQ (c.calls, (std::vector<unsigned> { 7, 7 }));
    EXPECT_TRUE (strip.getMuteButton().getToggleState());
    EXPECT_TRUE (strip.getSoloButton().getToggleState());
}
