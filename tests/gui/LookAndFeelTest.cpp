#include "GuiTestSupport.h"

#include "gui/MeterLookAndFeel.h"
#include "gui/MultiMeterComponent.h"
#include "gui/Zelm4LookAndFeel.h"

namespace
{
struct GrooveCountingLookAndFeel : public oskelgui::Zelm4LookAndFeelV2
{
    void drawLinearSliderBackground (juce::Graphics&, int, int, int, int, float, float, float,
                                     juce::Slider::SliderStyle, juce::Slider&) override { ++grooves; }
    int grooves = 0;
};

// The rotary knob of a square slider, drawn opaque on transparent.
juce::Image drawKnob (oskelgui::Zelm4LookAndFeelV3& lookAndFeel, int size)
{
    juce::Slider slider (juce::Slider::RotaryHorizontalVerticalDrag, juce::Slider::NoTextBox);
    slider.setColour (juce::Slider::rotarySliderFillColourId, juce::Colours::red);
    slider.setColour (juce::Slider::rotarySliderOutlineColourId, juce::Colours::blue);

    juce::Image image (juce::Image::ARGB, size, size, true);
    juce::Graphics g (image);
    const auto params = slider.getRotaryParameters();
    lookAndFeel.drawRotarySlider (g, 0, 0, size, size, 0.0f, params.startAngleRadians, params.endAngleRadians, slider);
    return image;
}

class LookAndFeelTest : public guitest::GuiTest
{
};
} // namespace

TEST_F (LookAndFeelTest, ToggleButtonTickBoxAndTextFollowTheButtonHeight)
{
    const auto tall = oskelgui::getToggleButtonLayout (100, 24);
    EXPECT_EQ (tall.tickBox, juce::Rectangle<int> (4, 2, 20, 20));
    EXPECT_EQ (tall.text, juce::Rectangle<int> (25, 4, 73, 16));

    const auto small = oskelgui::getToggleButtonLayout (100, 10);
    EXPECT_EQ (small.tickBox.getWidth(), 6);
    EXPECT_EQ (small.tickBox.getY(), 2);
}

TEST_F (LookAndFeelTest, TooltipAddsMarginsAndKeepsAwayFromTheMouse)
{
    const juce::Rectangle<int> screen (0, 0, 1000, 800);
    EXPECT_EQ (oskelgui::getTooltipBoundsForTextSize (100.0f, 15.0f, { 100, 100 }, screen), juce::Rectangle<int> (124, 106, 114, 25));
    EXPECT_EQ (oskelgui::getTooltipBoundsForTextSize (100.0f, 15.0f, { 900, 700 }, screen), juce::Rectangle<int> (774, 669, 114, 25));
    EXPECT_EQ (oskelgui::getTooltipBoundsForTextSize (100.0f, 15.0f, { 990, 10 }, { 0, 0, 100, 100 }).getRight(), 100);
}

TEST_F (LookAndFeelTest, OnlyTheHorizontalBarIsDrawnAsAShinyBar)
{
    GrooveCountingLookAndFeel lookAndFeel;
    juce::Image image (juce::Image::ARGB, 40, 100, true);
    juce::Graphics g (image);

    const std::pair<juce::Slider::SliderStyle, int> cases[] = { { juce::Slider::LinearBar, 0 }, { juce::Slider::LinearBarVertical, 1 },
                                                                { juce::Slider::LinearVertical, 1 }, { juce::Slider::LinearHorizontal, 1 } };
    for (const auto& [style, grooves] : cases)
    {
        juce::Slider slider (style, juce::Slider::NoTextBox);
        slider.setSize (40, 100);
        lookAndFeel.grooves = 0;
        lookAndFeel.drawLinearSlider (g, 0, 0, 40, 100, 50.0f, 0.0f, 100.0f, style, slider);
        EXPECT_EQ (lookAndFeel.grooves, grooves) << (int) style;
    }
}

TEST_F (LookAndFeelTest, RotaryKnobIsLargeFromRadius13)
{
    oskelgui::Zelm4LookAndFeelV3 lookAndFeel;

    // Large knob (radius 13, centre 15): its outline passes through the left end of the
    // horizontal diameter. Small knob (radius 12, centre 14): only the ring at 0.8 r.
    const auto large = drawKnob (lookAndFeel, 30);
    EXPECT_GT (large.getPixelAt (2, 15).getAlpha(), 0x40);

    const auto small = drawKnob (lookAndFeel, 28);
    EXPECT_EQ (small.getPixelAt (2, 14).getAlpha(), 0);
    EXPECT_GT (small.getPixelAt (4, 14).getAlpha(), 0x40);
}

TEST_F (LookAndFeelTest, GainSliderTextBoxIgnoresTheWheel)
{
    oskelgui::MultiMeterComponent meter (2, 24, 20);
    auto& slider = meter.getGainSlider();
    slider.setValue (-6.0, juce::dontSendNotification);

    oskelgui::MeterSliderLabelComp* textBox = nullptr;
    for (auto* child : slider.getChildren())
        if (auto* label = dynamic_cast<oskelgui::MeterSliderLabelComp*> (child))
            textBox = label;

    ASSERT_NE (textBox, nullptr);
    EXPECT_EQ (textBox->getText(), "-6.0");
    EXPECT_EQ (textBox->getFont().getHeight(), 9.0f);

    juce::MouseWheelDetails wheel { 0.0f, 1.0f, false, false, false };
    const juce::MouseEvent event (juce::Desktop::getInstance().getMainMouseSource(), {}, {}, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f,
                                  textBox, textBox, juce::Time(), {}, juce::Time(), 1, false);
    textBox->mouseWheelMove (event, wheel);
    EXPECT_EQ (slider.getValue(), -6.0);
}
