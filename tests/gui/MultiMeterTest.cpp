#include "GuiTestSupport.h"

#include "gui/GuiHelpers.h"
#include "gui/MeterLookAndFeel.h"

#include <thread>

using oskelgui::MultiMeterComponent;

namespace
{
class MultiMeterTest : public guitest::GuiTest
{
protected:
    MultiMeterTest()
    {
        meter.setVisible (true);
        meter.addListener (&listener);
    }

    ~MultiMeterTest() override { meter.removeListener (&listener); }

    MultiMeterComponent meter { 4, 24, 20 };
    guitest::RecordingListener listener;
};
} // namespace

TEST_F (MultiMeterTest, PlacesMasterColumnAndStripsSideBySide)
{
    EXPECT_EQ (meter.getBounds(), juce::Rectangle<int> (0, 0, 100, 135));
    EXPECT_EQ (meter.getChannel (0).getBounds(), juce::Rectangle<int> (20, 0, 20, 135));
    EXPECT_EQ (meter.getChannel (3).getBounds(), juce::Rectangle<int> (80, 0, 20, 135));
    EXPECT_EQ (meter.getGainSlider().getBounds(), juce::Rectangle<int> (0, 12, 20, 93));
    EXPECT_EQ (meter.getMasterMuteButton().getBounds(), juce::Rectangle<int> (1, 107, 18, 13));
    EXPECT_EQ (meter.getChannel (3).getIndex(), 3u);
    EXPECT_EQ (MultiMeterComponent (10, 24, 20).getChannel (9).getChannelName(), "10");

    MultiMeterComponent none (0, 24, 20);
    EXPECT_EQ (none.getNumChannels(), 1u);
    EXPECT_EQ (none.getWidth(), 40);
}

TEST_F (MultiMeterTest, GainSnapsToQuarterDecibelsWithinTheRangeAndRefusesNonFiniteValues)
{
    const std::pair<float, float> cases[] = { { 3.1f, 3.0f }, { 10.0f, 6.0f }, { -100.0f, -60.0f }, { -12.3f, -12.25f },
                                              { NAN, -12.25f }, { INFINITY, -12.25f } };
    for (const auto& [dB, expected] : cases)
    {
        meter.setGain (dB, juce::dontSendNotification);
        EXPECT_EQ (meter.getGain(), expected) << dB;
    }
    EXPECT_EQ (meter.getGainSlider().getTextFromValue (-12.25), "-12.2");
    EXPECT_TRUE (listener.gains.empty());

    meter.setGain (-12.0f, juce::sendNotification);
    EXPECT_TRUE (listener.gains.empty());
    guitest::drainMessages();
    EXPECT_EQ (listener.gains, (std::vector<double> { -12.0 }));
}

TEST_F (MultiMeterTest, MasterMuteSetsEveryStripWithOneCallPerChangedStrip)
{
    meter.setMute (1, true, juce::dontSendNotification);
    meter.getMasterMuteButton().triggerClick();
    guitest::drainMessages();
    EXPECT_EQ (listener.channels, (std::vector<unsigned> { 0, 2, 3 }));
    for (unsigned c = 0; c < 4; ++c)
        EXPECT_TRUE (meter.getMute (c)) << c;

    listener.channels.clear();
    meter.setMasterMute (false, juce::sendNotification);
    EXPECT_EQ (listener.channels, (std::vector<unsigned> { 0, 1, 2, 3 }));
    EXPECT_FALSE (meter.getMute (2));
}

TEST_F (MultiMeterTest, ButtonChangesNotifyOnlyWhenAStateChangesAndIsAskedTo)
{
    meter.setMute (2, false, juce::sendNotification);
    meter.setSolo (1, true, juce::sendNotification);
    meter.setSolo (3, true, juce::sendNotification);
    meter.clearSolo (juce::dontSendNotification);
    meter.setMute (99, true, juce::sendNotification); // past the strips: ignored
    EXPECT_EQ (listener.channels, (std::vector<unsigned> { 1, 3 }));
    EXPECT_FALSE (meter.getSolo (1) || meter.getSolo (3) || meter.getMute (99));
}

TEST_F (MultiMeterTest, WidgetChangesOffTheMessageThreadAreFlagged)
{
    expectedAssertions = 2;
    std::thread sender ([this]
    {
        meter.setGain (NAN, juce::sendNotification);
        meter.clearSolo (juce::sendNotification);
    });
    sender.join();
}

TEST_F (MultiMeterTest, ColourComponentsBecomeBytesAsTheFloatColourDoes)
{
    const std::pair<double, int> cases[] = { { 0.5, 127 }, { 0.502, 128 }, { 1.2, 255 }, { -0.1, 0 }, { NAN, 0 } };
    for (const auto& [component, byte] : cases)
        EXPECT_EQ (oskelgui::colourComponentToByte ((float) component), byte) << component;

    meter.setColdColour (0.0, 0.5, 0.0, 1.0);
    EXPECT_EQ (meter.getChannel (2).getMeter().getZoneColour (oskelgui::MeterComponent::Zone::cold).getARGB(), 0xff007f00u);
}

namespace
{
/** The first and the last column of an area of the image with a pixel nearer the text's
    colour than the background's (grey levels), or -1s. */
std::pair<int, int> textColumns (const juce::Image& image, juce::Rectangle<int> area, juce::Colour text, juce::Colour background)
{
    std::pair<int, int> columns { -1, -1 };
    for (int x = area.getX(); x < area.getRight(); ++x)
        for (int y = area.getY(); y < area.getBottom(); ++y)
            if (const auto c = image.getPixelAt (x, y).getBrightness();
                std::abs (c - text.getBrightness()) < std::abs (c - background.getBrightness()))
            {
                columns = { columns.first < 0 ? x : columns.first, x };
                break;
            }
    return columns;
}
} // namespace

TEST_F (MultiMeterTest, SnapshotShowsLitLedsScaleLinesButtonStatesAndWholeTexts)
{
    const float levels[] = { -50.0f, -12.3f, 0.0f, 6.0f };
    meter.setLevels (levels);
    meter.setMute (1, true, juce::dontSendNotification);
    meter.setSolo (2, true, juce::dontSendNotification);
    meter.setGain (-6.0f, juce::dontSendNotification);

    const auto image = guitest::snapshot (meter);
    guitest::savePng (image, "multimeter_4_channels");
    guitest::savePng (meter.createComponentSnapshot (meter.getLocalBounds(), true, 4.0f), "multimeter_4_channels_x4");

    // The scale lines mark the slider's decibels beside it.
    EXPECT_EQ (meter.getScaleLineYs(), (std::vector<float> { 25.5f, 30.5f, 33.5f, 37.5f, 43.5f, 49.5f, 85.5f }));
    for (const int y : { 25, 30, 33, 37, 43, 49, 85 })
    {
        EXPECT_EQ (guitest::pixelAt (image, 19, y), 0xff808080u) << y;
        EXPECT_EQ (guitest::pixelAt (image, 19, y + 1), 0xff000000u) << y;
    }

    // LED 0 of every strip is lit cold; LED 23 only on the strip at +6 dB.
    for (int strip = 0; strip < 4; ++strip)
        EXPECT_EQ (guitest::pixelAt (image, 20 * (strip + 1) + 10, 88), 0xff006000u) << strip;
    EXPECT_GT (image.getPixelAt (90, 19).getRed(), 0xe0);
    EXPECT_LT (image.getPixelAt (70, 19).getRed(), 0x40);

    EXPECT_EQ (guitest::pixelAt (image, 43, 109), 0xff93bbffu); // "M" on
    EXPECT_EQ (guitest::pixelAt (image, 23, 109), 0xff000000u); // "M" off
    EXPECT_EQ (guitest::pixelAt (image, 63, 123), 0xffefff00u); // "S" on, outlined white
    EXPECT_EQ (guitest::pixelAt (image, 61, 121), 0xffffffffu);

    // The gain's text box is the slider's only child.
    auto* label = dynamic_cast<oskelgui::MeterSliderLabelComp*> (meter.getGainSlider().findChildWithID ({}));
    ASSERT_NE (label, nullptr);
    EXPECT_EQ (label->getText(), "-6.0");
    const auto readoutFont = oskelgui::makeFont ("Arial", "plain", 9.0f);
    EXPECT_EQ (label->getFont().getHeight(), 9.0f);
    const auto labelArea = label->getBoundsInParent() + meter.getGainSlider().getPosition();
    struct Case { juce::String text; juce::Font font; juce::Rectangle<int> area, textArea; juce::Colour colour, background; };
    const Case cases[] = { { "-50.0", readoutFont, { 21, 1, 18, 13 }, { 22, 2, 16, 11 }, juce::Colours::white, juce::Colours::black },
                           { "-12.3", readoutFont, { 41, 1, 18, 13 }, { 42, 2, 16, 11 }, juce::Colours::white, juce::Colours::black },
                           { "-6.0", label->getFont(), label->getBorderSize().subtractedFrom (labelArea), labelArea.reduced (1),
                             label->findColour (juce::Label::textColourId), label->findColour (juce::Label::backgroundColourId) } };
    for (const auto& c : cases)
    {
        // A line of text is cut after the last character that ends within a pixel of its
        // box: a text too wide loses a digit in the picture.
        const auto width = c.font.getStringWidthFloat (c.text);
        EXPECT_LE (width, (float) c.area.getWidth() + 1.0f) << c.text;
        const auto [left, right] = textColumns (image, c.textArea, c.colour, c.background);
        EXPECT_GT ((float) (right - left + 1), width - c.font.getStringWidthFloat ("0")) << c.text << " from " << left << " to " << right;
    }

    // The wheel over the text box leaves the gain alone.
    const juce::MouseEvent event (juce::Desktop::getInstance().getMainMouseSource(), {}, {}, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f, label, label,
                                  juce::Time(), {}, juce::Time(), 1, false);
    label->mouseWheelMove (event, juce::MouseWheelDetails { 0.0f, 1.0f, false, false, false });
    EXPECT_EQ (meter.getGainSlider().getValue(), -6.0);
}
