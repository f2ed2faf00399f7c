#include "GuiTestSupport.h"

#include "gui/MeterColours.h"
#include "gui/MeterComponent.h"

#include <algorithm>
#include <cmath>

using oskelgui::MeterComponent;

namespace
{
juce::Image paintOnBlack (juce::Component& component)
{
    juce::Image image (juce::Image::ARGB, component.getWidth(), component.getHeight(), true);
    juce::Graphics g (image);
    g.fillAll (juce::Colours::black);
    component.paintEntireComponent (g, false);
    return image;
}

// A pixel of a 1.5-pixel line, or of such lines drawn over each other, on black.
juce::uint32 linePixelOnBlack (std::initializer_list<juce::Colour> colours)
{
    juce::Image image (juce::Image::ARGB, 20, 20, true);
    juce::Graphics g (image);
    g.fillAll (juce::Colours::black);
    for (auto colour : colours)
    {
        g.setColour (colour);
        g.drawLine (2.0f, 10.0f, 18.0f, 10.0f, 1.5f);
    }
    return guitest::pixelAt (image, 10, 9);
}

// The pixel row that LED i covers three quarters (its line lies on the row's top edge).
int ledRow (const MeterComponent& meter, std::uint32_t led)
{
    return (int) meter.getLedLine (led).getStartY();
}

class MeterComponentTest : public guitest::GuiTest
{
};
} // namespace

TEST_F (MeterComponentTest, ClampsLedCountAndWidthAndTakesThreePixelsPerLed)
{
    struct Case { unsigned leds, width, expectedLeds; int expectedWidth, expectedHeight; };
    const Case cases[] = { { 5, 20, 10, 20, 33 }, { 100, 20, 80, 20, 243 }, { 24, 5, 24, 10, 75 },
                           { 24, 50, 24, 40, 75 }, { 10, 20, 10, 20, 33 } };

    for (const auto& c : cases)
    {
        MeterComponent meter (c.leds, c.width);
        SCOPED_TRACE (testing::Message() << c.leds << " LEDs, width " << c.width);
        EXPECT_EQ (meter.getNumLeds(), c.expectedLeds);
        EXPECT_EQ (meter.getWidth(), c.expectedWidth);
        EXPECT_EQ (meter.getHeight(), c.expectedHeight);
        EXPECT_EQ (meter.getLedLine (0), juce::Line<float> (2.0f, (float) (3 * c.expectedLeds), (float) c.expectedWidth - 2.0f, (float) (3 * c.expectedLeds)));
        EXPECT_EQ (meter.getLedLine (c.expectedLeds - 1).getStartY(), 3.0f);
    }
}

TEST_F (MeterComponentTest, ZoneEndsAndLitCountsFollowTheDecibelScale)
{
    struct Case { unsigned leds, cold, tepid, warm, litAtMinus60, litAt0, litAtPlus6; };
    const Case cases[] = { { 10, 5, 8, 9, 0, 9, 10 },   { 24, 12, 20, 22, 0, 22, 24 }, { 32, 16, 26, 30, 0, 29, 32 },
                           { 60, 31, 49, 55, 0, 55, 60 }, { 80, 41, 65, 74, 0, 73, 80 } };

    for (const auto& c : cases)
    {
        MeterComponent meter (c.leds, 20);
        SCOPED_TRACE (testing::Message() << c.leds << " LEDs");
        EXPECT_EQ (meter.getColdZoneEnd(), c.cold);
        EXPECT_EQ (meter.getTepidZoneEnd(), c.tepid);
        EXPECT_EQ (meter.getWarmZoneEnd(), c.warm);

        const std::pair<float, unsigned> levels[] = { { -60.0f, c.litAtMinus60 }, { 0.0f, c.litAt0 }, { 6.0f, c.litAtPlus6 },
                                                      { -100.0f, 0u }, { NAN, 0u }, { 40.0f, c.leds } };
        for (const auto& [dB, lit] : levels)
        {
            meter.setLevel (dB);
            EXPECT_EQ (meter.getNumLit(), lit) << dB << " dB";
        }
    }
}

TEST_F (MeterComponentTest, PeakHoldsThroughPaintsUntilTheHoldTimeHasPassed)
{
    MeterComponent meter (24, 20);
    meter.setVisible (true);

    meter.setLevel (0.0f); // 22 lit, peak on LED 21, the last warm LED, shown hot
    paintOnBlack (meter);
    meter.setLevel (-30.0f); // 11 lit
    EXPECT_EQ (meter.getPeakIndex(), 21u);

    meter.advance (88200);
    EXPECT_EQ (meter.getPeakIndex(), 21u);
    auto image = paintOnBlack (meter);
    EXPECT_EQ (guitest::pixelAt (image, 10, ledRow (meter, 21)), linePixelOnBlack ({ oskelgui::MeterColours::defaultInactive, oskelgui::MeterColours::defaultHot }));
    EXPECT_EQ (guitest::pixelAt (image, 10, ledRow (meter, 10)), linePixelOnBlack ({ oskelgui::MeterColours::defaultCold }));

    meter.advance (1);
    EXPECT_EQ (meter.getPeakIndex(), 10u);
    EXPECT_TRUE (meter.needsRepaint());
    image = paintOnBlack (meter);
    EXPECT_EQ (guitest::pixelAt (image, 10, ledRow (meter, 21)), linePixelOnBlack ({ oskelgui::MeterColours::defaultInactive }));
    EXPECT_EQ (meter.getSamplesSincePeak(), 0u);
    EXPECT_FALSE (meter.needsRepaint());
}

TEST_F (MeterComponentTest, RepaintIsDueForAChangedLevelOnlyAfterTheRefreshInterval)
{
    MeterComponent meter (24, 20);
    meter.setVisible (true);
    meter.setPeakHold (false);
    EXPECT_FALSE (meter.needsRepaint());

    meter.setLevel (0.0f);
    EXPECT_FALSE (meter.needsRepaint());
    meter.advance (2205);
    EXPECT_FALSE (meter.needsRepaint());
    meter.advance (1);
    EXPECT_TRUE (meter.needsRepaint());

    paintOnBlack (meter);
    meter.advance (5000);
    EXPECT_FALSE (meter.needsRepaint());

    meter.setVisible (false);
    meter.setLevel (-20.0f);
    paintOnBlack (meter);
    EXPECT_EQ (meter.getSamplesSincePaint(), 5000u);
    EXPECT_TRUE (meter.needsRepaint());
}

TEST_F (MeterComponentTest, TimesInMillisecondsBecomeSampleCountsAtTheSampleRate)
{
    MeterComponent meter (24, 20);
    EXPECT_EQ (meter.getRefreshSamples(), 2205u);
    EXPECT_EQ (meter.getPeakHoldSamples(), 88200u);

    meter.setPeakHoldTime (50.0f);
    EXPECT_EQ (meter.getPeakHoldSamples(), 4410u);
    meter.setRefreshInterval (1.0f);
    EXPECT_EQ (meter.getRefreshInterval(), 5.0f);
    meter.setRefreshInterval (10000.0f);
    EXPECT_EQ (meter.getRefreshInterval(), 3000.0f);
    EXPECT_EQ (meter.getRefreshSamples(), 132300u);

    MeterComponent rated (24, 20);
    rated.setSampleRate (48000.0f);
    EXPECT_EQ (rated.getPeakHoldSamples(), 96000u);
    EXPECT_EQ (rated.getRefreshSamples(), 2400u);
    rated.setPeakHoldTime (1000.0f);
    EXPECT_EQ (rated.getPeakHoldSamples(), 48000u);

    // A rate of zero is never divided by: the hold time falls back to 2 s.
    rated.setSampleRate (0.0f);
    EXPECT_EQ (rated.getPeakHoldSamples(), 0u);
    rated.setSampleRate (48000.0f);
    EXPECT_EQ (rated.getPeakHoldSamples(), 96000u);
}

TEST_F (MeterComponentTest, LedsLookLikeLinesOneAndAHalfPixelsThick)
{
    MeterComponent meter (24, 20);
    meter.setVisible (true);
    meter.setPeakHold (false);
    meter.setLevel (3.0f);
    const auto painted = paintOnBlack (meter);

    juce::Image expected (juce::Image::ARGB, meter.getWidth(), meter.getHeight(), true);
    {
        juce::Graphics g (expected);
        g.fillAll (juce::Colours::black);
        for (std::uint32_t i = 0; i < meter.getNumLeds(); ++i)
        {
            const auto zone = i >= meter.getNumLit() ? MeterComponent::Zone::inactive
                            : i < meter.getColdZoneEnd() ? MeterComponent::Zone::cold
                            : i < meter.getTepidZoneEnd() ? MeterComponent::Zone::tepid
                            : i < meter.getWarmZoneEnd() ? MeterComponent::Zone::warm
                                                          : MeterComponent::Zone::hot;
            g.setColour (meter.getZoneColour (zone));
            g.drawLine (meter.getLedLine (i), 1.5f);
        }
    }

    // The renderer rounds the edge coverage of rectangles and paths apart by one level at most.
    for (int y = 0; y < meter.getHeight(); ++y)
        for (int x = 0; x < meter.getWidth(); ++x)
        {
            const auto a = painted.getPixelAt (x, y), b = expected.getPixelAt (x, y);
            ASSERT_LE (std::max ({ std::abs (a.getRed() - b.getRed()), std::abs (a.getGreen() - b.getGreen()),
                                   std::abs (a.getBlue() - b.getBlue()) }), 1)
                << x << ", " << y << ": " << a.toDisplayString (true) << " against " << b.toDisplayString (true);
        }

    EXPECT_EQ (guitest::pixelAt (painted, 10, ledRow (meter, 0)), 0xff006000u);
}

TEST_F (MeterComponentTest, OnlyTheWordGradientSelectsTheBarWhichIsBlackAboveTheLitHeight)
{
    MeterComponent meter (24, 20);
    meter.setVisible (true);
    meter.setPeakHold (false);
    meter.setDrawingMode ("gradients");
    EXPECT_EQ (meter.getDrawingMode(), 0u);
    meter.setDrawingMode ("GRADIENT");
    EXPECT_EQ (meter.getDrawingMode(), 1u);
    meter.setLevel (-27.0f); // 12 of 24 lit: exactly the cold zone

    const auto image = paintOnBlack (meter);
    guitest::savePng (image, "meter_gradient");
    EXPECT_EQ (guitest::pixelAt (image, 10, 70), 0xff008000u);
    EXPECT_EQ (guitest::pixelAt (image, 10, 10), 0xff000000u);
    EXPECT_EQ (guitest::pixelAt (image, 0, 70), 0xff000000u); // the bar leaves a 1-pixel margin
}

TEST (MeterColourTexts, DefaultColoursReadAsFourComponentsWithThreeDecimals)
{
    EXPECT_EQ (oskelgui::getDefaultInactiveColour(), "0.310 0.161 0.063 1.000");
    EXPECT_EQ (oskelgui::getDefaultColdColour(), "0.000 0.502 0.000 1.000");
    EXPECT_EQ (oskelgui::getDefaultTepidColour(), "0.980 0.867 0.098 1.000");
    EXPECT_EQ (oskelgui::getDefaultWarmColour(), "0.976 0.580 0.102 1.000");
    EXPECT_EQ (oskelgui::getDefaultHotColour(), "0.973 0.141 0.102 1.000");
}
