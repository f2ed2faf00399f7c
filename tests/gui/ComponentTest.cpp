#include "GuiTestSupport.h"

#include "gui/Component.h"
#include "gui/GuiHelpers.h"
#include "gui/Zelm4LookAndFeel.h"

namespace
{
struct BlackComponent : public oskelgui::Component
{
    BlackComponent() : oskelgui::Component ("black") { setSize (100, 135); }
    void paint (juce::Graphics& g) override { g.fillAll (juce::Colours::black); }
};

bool isOverlayGrey (juce::Colour c)
{
    return c.getRed() >= 0x7f && c.getRed() <= 0x80 && c.getRed() == c.getGreen() && c.getGreen() == c.getBlue();
}

class ComponentTest : public guitest::GuiTest
{
protected:
    BlackComponent component;
};

struct GrooveCountingLookAndFeel : public oskelgui::Zelm4LookAndFeelV2
{
    void drawLinearSliderBackground (juce::Graphics&, int, int, int, int, float, float, float,
                                     juce::Slider::SliderStyle, juce::Slider&) override { ++grooves; }
    int grooves = 0;
};

// The rotary knob of a square slider, drawn opaque on transparent.
juce::Image drawKnob (int size)
{
    oskelgui::Zelm4LookAndFeelV3 lookAndFeel;
    juce::Slider slider (juce::Slider::RotaryHorizontalVerticalDrag, juce::Slider::NoTextBox);
    slider.setColour (juce::Slider::rotarySliderFillColourId, juce::Colours::red);
    slider.setColour (juce::Slider::rotarySliderOutlineColourId, juce::Colours::blue);
    juce::Image image (juce::Image::ARGB, size, size, true);
    juce::Graphics g (image);
    const auto params = slider.getRotaryParameters();
    lookAndFeel.drawRotarySlider (g, 0, 0, size, size, 0.0f, params.startAngleRadians, params.endAngleRadians, slider);
    return image;
}
} // namespace

TEST_F (ComponentTest, OverlayBoxTakesAQuarterOfTheSizeUpTo200By100AtTheTopOrInATopLevelWindow)
{
    EXPECT_EQ (oskelgui::Component::getOverlayBounds (1000, 600), juce::Rectangle<int> (800, 0, 200, 100));
    EXPECT_EQ (oskelgui::Component::getOverlayBounds (100, 135), juce::Rectangle<int> (75, 0, 25, 33));

    component.setVisible (true);
    EXPECT_EQ (guitest::pixelAt (guitest::snapshot (component), 75, 0), 0xff000000u);
    component.setShowFps (true);
    const auto image = guitest::snapshot (component);
    guitest::savePng (image, "overlay");
    EXPECT_TRUE (isOverlayGrey (image.getPixelAt (75, 0)));
    EXPECT_TRUE (isOverlayGrey (image.getPixelAt (99, 32)));
    EXPECT_EQ (guitest::pixelAt (image, 74, 0), 0xff000000u);
    EXPECT_EQ (guitest::pixelAt (image, 75, 33), 0xff000000u);

    juce::Component parent;
    juce::TopLevelWindow window ("window", false);
    for (juce::Component* holder : { &parent, static_cast<juce::Component*> (&window) })
    {
        holder->setSize (100, 135);
        holder->addAndMakeVisible (component);
        EXPECT_EQ (isOverlayGrey (guitest::snapshot (component).getPixelAt (75, 0)), holder == &window);
        holder->removeChildComponent (&component);
    }
}

TEST_F (ComponentTest, FrameRateAndPaintTimeMoveATenthOfTheWayEachPaint)
{
    component.startPaintTiming (0.0);
    component.endPaintTiming (20.0);
    EXPECT_EQ (component.getFramesPerSecond(), 0.0); // off: nothing measured

    component.setShowFps (true);
    double end = 1000.0;
    for (const double fps : { 0.1, 5.09, 9.581 })
    {
        component.startPaintTiming (end - 2.0);
        component.endPaintTiming (end);
        EXPECT_NEAR (component.getFramesPerSecond(), fps, 1e-9);
        end += 20.0;
    }
    EXPECT_NEAR (component.getRenderTimeMs(), 0.542, 1e-9);

    // A paint ending when the last one did leaves the rate as it was.
    component.endPaintTiming (end - 20.0);
    EXPECT_NEAR (component.getFramesPerSecond(), 9.581, 1e-9);
}

TEST_F (ComponentTest, FontStyleIsTheFirstStyleWordFoundInAnyCaseAndMissingFamiliesFallBack)
{
    const std::pair<const char*, int> cases[] = { { "Bold Italic", juce::Font::bold }, { "BOLD", juce::Font::bold },
                                                  { "italic underlined", juce::Font::italic }, { "Underlined", juce::Font::underlined },
                                                  { "", juce::Font::plain } };
    for (const auto& [style, flags] : cases)
    {
        const auto font = oskelgui::makeFont ("Arial", style, 11.0f);
        EXPECT_EQ (font.getStyleFlags(), flags) << style;
        EXPECT_EQ (font.getHeight(), 11.0f);
    }

    EXPECT_EQ (oskelgui::makeFont ("No Such Family", "bold", 12.0f).getTypefaceName(), juce::Font::getDefaultSansSerifFontName());
    const auto installed = juce::Font::findAllTypefaceNames();
    ASSERT_FALSE (installed.isEmpty());
    EXPECT_EQ (oskelgui::makeFont (installed[0].toStdString(), "plain", 12.0f).getTypefaceName(), installed[0]);

    // Arial's widths, where Arial itself is missing.
    if (! installed.contains ("Arial") && installed.contains ("Liberation Sans"))
    {
        EXPECT_EQ (oskelgui::makeFont ("Arial", "bold", 12.0f).getTypefaceName(), "Liberation Sans");
    }
}

TEST_F (ComponentTest, LookAndFeelVersionNamesSelectV3OnlyForV3)
{
    const std::pair<const char*, unsigned> cases[] = { { "V3", 1 }, { "v3", 1 }, { "V2", 0 }, { "v4", 0 }, { "", 0 } };
    for (const auto& [name, index] : cases)
    {
        component.setLookAndFeelVersion ("V3");
        component.setLookAndFeelVersion (name);
        EXPECT_EQ (component.getLookAndFeelVersionIndex(), index) << name;
        EXPECT_EQ (dynamic_cast<oskelgui::Zelm4LookAndFeelV3*> (&component.getLookAndFeel()) != nullptr, index == 1) << name;
    }
}

TEST_F (ComponentTest, TooltipAddsMarginsAndKeepsAwayFromTheMouseInsideTheScreen)
{
    const juce::Rectangle<int> screen (0, 0, 1000, 800);
    EXPECT_EQ (oskelgui::getTooltipBoundsForTextSize (100.0f, 15.0f, { 100, 100 }, screen), juce::Rectangle<int> (124, 106, 114, 25));
    EXPECT_EQ (oskelgui::getTooltipBoundsForTextSize (100.0f, 15.0f, { 900, 700 }, screen), juce::Rectangle<int> (774, 669, 114, 25));
    EXPECT_EQ (oskelgui::getTooltipBoundsForTextSize (100.0f, 15.0f, { 990, 10 }, { 0, 0, 100, 100 }).getRight(), 100);
}

TEST_F (ComponentTest, OnlyTheHorizontalBarIsDrawnAsAShinyBar)
{
    GrooveCountingLookAndFeel lookAndFeel;
    juce::Image image (juce::Image::ARGB, 40, 100, true);
    juce::Graphics g (image);

    const std::pair<juce::Slider::SliderStyle, int> cases[] = { { juce::Slider::LinearBar, 0 }, { juce::Slider::LinearBarVertical, 1 },
                                                                { juce::Slider::LinearVertical, 1 } };
    for (const auto& [style, grooves] : cases)
    {
        juce::Slider slider (style, juce::Slider::NoTextBox);
        slider.setSize (40, 100);
        lookAndFeel.grooves = 0;
        lookAndFeel.drawLinearSlider (g, 0, 0, 40, 100, 50.0f, 0.0f, 100.0f, style, slider);
        EXPECT_EQ (lookAndFeel.grooves, grooves) << (int) style;
    }
}

TEST_F (ComponentTest, RotaryKnobIsLargeFromRadius13)
{
    // Large knob (radius 13, centre 15): its outline passes through the left end of the
    // horizontal diameter. Small knob (radius 12, centre 14): only the ring at 0.8 r.
    EXPECT_GT (drawKnob (30).getPixelAt (2, 15).getAlpha(), 0x40);

    const auto small = drawKnob (28);
    EXPECT_EQ (small.getPixelAt (2, 14).getAlpha(), 0);
    EXPECT_GT (small.getPixelAt (4, 14).getAlpha(), 0x40);
}
