#include "GuiTestSupport.h"

#include "gui/Component.h"
#include "gui/GuiHelpers.h"

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
};
} // namespace

TEST_F (ComponentTest, OverlayBoxTakesAQuarterOfTheSizeUpTo200By100)
{
    EXPECT_EQ (oskelgui::Component::getOverlayBounds (100, 135), juce::Rectangle<int> (75, 0, 25, 33));
    EXPECT_EQ (oskelgui::Component::getOverlayBounds (1000, 600), juce::Rectangle<int> (800, 0, 200, 100));

    BlackComponent component;
    component.setVisible (true);
    component.setShowFps (true);
    const auto image = guitest::snapshot (component);
    guitest::savePng (image, "overlay");

    EXPECT_TRUE (isOverlayGrey (image.getPixelAt (75, 0)));
    EXPECT_TRUE (isOverlayGrey (image.getPixelAt (99, 32)));
    EXPECT_EQ (guitest::pixelAt (image, 74, 0), 0xff000000u);
    EXPECT_EQ (guitest::pixelAt (image, 75, 33), 0xff000000u);
}

TEST_F (ComponentTest, OverlayIsDrawnOnlyAtTheTopOrInATopLevelWindow)
{
    {
        juce::Component parent;
        parent.setSize (100, 135);
        BlackComponent nested;
        parent.addAndMakeVisible (nested);
        nested.setShowFps (true);
        EXPECT_EQ (guitest::pixelAt (guitest::snapshot (nested), 75, 0), 0xff000000u);
        parent.removeChildComponent (&nested);
    }
    {
        juce::TopLevelWindow window ("window", false);
        window.setSize (100, 135);
        BlackComponent content;
        window.addAndMakeVisible (content);
        content.setShowFps (true);
        EXPECT_TRUE (isOverlayGrey (guitest::snapshot (content).getPixelAt (75, 0)));
        window.removeChildComponent (&content);
    }

    BlackComponent hidden;
    hidden.setVisible (true);
    EXPECT_EQ (guitest::pixelAt (guitest::snapshot (hidden), 75, 0), 0xff000000u);
}

TEST_F (ComponentTest, FrameRateAndPaintTimeMoveATenthOfTheWayEachPaint)
{
    BlackComponent component;
    component.startPaintTiming (0.0);
    component.endPaintTiming (20.0);
    EXPECT_EQ (component.getFramesPerSecond(), 0.0); // off: nothing measured

    component.setShowFps (true);
    const double expectedFps[] = { 0.1, 5.09, 9.581 };
    for (int i = 0; i < 3; ++i)
    {
        component.startPaintTiming (998.0 + 20.0 * i);
        component.endPaintTiming (1000.0 + 20.0 * i);
        EXPECT_NEAR (component.getFramesPerSecond(), expectedFps[i], 1e-9) << i;
    }
    EXPECT_NEAR (component.getRenderTimeMs(), 0.542, 1e-9);

    for (int i = 3; i < 300; ++i)
    {
        component.startPaintTiming (998.0 + 20.0 * i);
        component.endPaintTiming (1000.0 + 20.0 * i);
    }
    EXPECT_NEAR (component.getFramesPerSecond(), 50.0, 1e-6);

    // Two paints ending at the same time leave the rate as it was.
    component.endPaintTiming (1000.0 + 20.0 * 299);
    EXPECT_NEAR (component.getFramesPerSecond(), 50.0, 1e-6);
}

TEST_F (ComponentTest, FontStyleIsTheFirstStyleWordFoundInAnyCase)
{
    const std::pair<const char*, int> cases[] = { { "Bold Italic", juce::Font::bold }, { "BOLD", juce::Font::bold },
                                                  { "italic underlined", juce::Font::italic }, { "Underlined", juce::Font::underlined },
                                                  { "", juce::Font::plain }, { "plain", juce::Font::plain } };
    for (const auto& [style, flags] : cases)
    {
        const auto font = oskelgui::makeFont ("Arial", style, 11.0f);
        EXPECT_EQ (font.getStyleFlags(), flags) << style;
        EXPECT_EQ (font.getHeight(), 11.0f);
    }
}

TEST_F (ComponentTest, MissingFontFamiliesFallBackToTheSansSerifFace)
{
    EXPECT_EQ (oskelgui::makeFont ("No Such Family", "bold", 12.0f).getTypefaceName(), juce::Font::getDefaultSansSerifFontName());

    const auto installed = juce::Font::findAllTypefaceNames();
    ASSERT_FALSE (installed.isEmpty());
    EXPECT_EQ (oskelgui::makeFont (installed[0].toStdString(), "plain", 12.0f).getTypefaceName(), installed[0]);
}

TEST_F (ComponentTest, LookAndFeelVersionNamesSelectV3OnlyForV3)
{
    const std::pair<const char*, unsigned> cases[] = { { "V3", 1 }, { "v3", 1 }, { "V2", 0 }, { "v4", 0 }, { "", 0 } };
    for (const auto& [name, index] : cases)
    {
        BlackComponent component;
        component.setLookAndFeelVersion ("V3");
        component.setLookAndFeelVersion (name);
        EXPECT_EQ (component.getLookAndFeelVersionIndex(), index) << name;
        EXPECT_EQ (dynamic_cast<oskelgui::Zelm4LookAndFeelV3*> (&component.getLookAndFeel()) != nullptr, index == 1) << name;
    }
}
