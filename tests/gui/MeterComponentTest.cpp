#include "GuiTestSupport.h"

#include "gui/MeterColours.h"
#include "gui/MeterComponent.h"

using oskelgui::MeterComponent;
namespace colours = oskelgui::MeterColours;

namespace
{
// A pixel of a 1.5-pixel line, or of such lines drawn over each other, on black.
juce::uint32 linePixelOnBlack (std::initializer_list<juce::Colour> lineColours)
{
    juce::Image image (juce::Image::ARGB, 20, 20, true);
    juce::Graphics g (image);
    g.fillAll (juce::Colours::black);
    for (auto colour : lineColours)
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
protected:
    MeterComponentTest() { meter.setVisible (true); }
    MeterComponent meter { 24, 20 };
};
} // namespace

TEST_F (MeterComponentTest, LedCountAndWidthAreClampedAndZonesAndLitCountsFollowTheDecibelScale)
{
    struct Case { unsigned leds, width, expectedLeds; int expectedWidth, expectedHeight; unsigned cold, tepid, warm, litAt0; };
    const Case cases[] = { { 5, 20, 10, 20, 33, 5, 8, 9, 9 },        { 100, 20, 80, 20, 243, 41, 65, 74, 73 }, { 24, 5, 24, 10, 75, 12, 20, 22, 22 },
                           { 24, 50, 24, 40, 75, 12, 20, 22, 22 },   { 32, 20, 32, 20, 99, 16, 26, 30, 29 },   { 60, 20, 60, 20, 183, 31, 49, 55, 55 } };

    for (const auto& c : cases)
    {
        MeterComponent sized (c.leds, c.width);
        SCOPED_TRACE (testing::Message() << c.leds << " LEDs, width " << c.width);
        EXPECT_EQ (sized.getNumLeds(), c.expectedLeds);
        EXPECT_EQ (sized.getBounds(), juce::Rectangle<int> (0, 0, c.expectedWidth, c.expectedHeight));
        const auto bottom = (float) (3 * c.expectedLeds);
        EXPECT_EQ (sized.getLedLine (0), juce::Line<float> (2.0f, bottom, (float) c.expectedWidth - 2.0f, bottom));
        EXPECT_EQ (sized.getLedLine (c.expectedLeds - 1).getStartY(), 3.0f);
        EXPECT_EQ ((std::vector<unsigned> { sized.getColdZoneEnd(), sized.getTepidZoneEnd(), sized.getWarmZoneEnd() }),
                   (std::vector<unsigned> { c.cold, c.tepid, c.warm }));

        const std::pair<float, unsigned> levels[] = { { -60.0f, 0u }, { 0.0f, c.litAt0 }, { 6.0f, c.expectedLeds },
                                                      { -100.0f, 0u }, { NAN, 0u },      { 40.0f, c.expectedLeds } };
        for (const auto& [dB, lit] : levels)
        {
            sized.setLevel (dB);
            EXPECT_EQ (sized.getNumLit(), lit) << dB << " dB";
        }
    }
}

TEST_F (MeterComponentTest, PeakHoldsThroughPaintsUntilTheHoldTimeAndRepaintsOnlyWhenItFalls)
{
    meter.setLevel (0.0f); // 22 lit, peak on LED 21, the last warm LED, shown hot
    guitest::paintOnBlack (meter);
    meter.setLevel (-30.0f); // 11 lit
    meter.advance (88200);
    EXPECT_EQ (meter.getPeakIndex(), 21u);
    auto image = guitest::paintOnBlack (meter);
    EXPECT_EQ (guitest::pixelAt (image, 10, ledRow (meter, 21)), linePixelOnBlack ({ colours::defaultInactive, colours::defaultHot }));
    EXPECT_EQ (guitest::pixelAt (image, 10, ledRow (meter, 10)), linePixelOnBlack ({ colours::defaultCold }));

    meter.advance (1);
    EXPECT_EQ (meter.getPeakIndex(), 10u);
    EXPECT_TRUE (meter.needsRepaint());
    image = guitest::paintOnBlack (meter);
    EXPECT_EQ (guitest::pixelAt (image, 10, ledRow (meter, 21)), linePixelOnBlack ({ colours::defaultInactive }));
    EXPECT_FALSE (meter.needsRepaint());

    // A peak that times out where the level still is doesn't move: nothing to paint.
    meter.advance (88201);
    EXPECT_EQ (meter.getPeakIndex(), 10u);
    EXPECT_FALSE (meter.needsRepaint());
}

TEST_F (MeterComponentTest, RepaintIsDueForAChangedLevelOnlyAfterTheRefreshInterval)
{
    meter.setPeakHold (false);
    meter.setLevel (0.0f);
    meter.advance (2205);
    EXPECT_FALSE (meter.needsRepaint());
    meter.advance (1);
    EXPECT_TRUE (meter.needsRepaint());

    guitest::paintOnBlack (meter);
    meter.advance (5000);
    EXPECT_FALSE (meter.needsRepaint());

    // A paint while hidden shows nothing, so it doesn't count as one.
    meter.setVisible (false);
    meter.setLevel (-20.0f);
    guitest::paintOnBlack (meter);
    EXPECT_EQ (meter.getSamplesSincePaint(), 5000u);
    EXPECT_TRUE (meter.needsRepaint());
}

TEST_F (MeterComponentTest, TimesAreClampedAndCountedAtTheSampleRateWhichIsNeverZero)
{
    meter.setRefreshInterval (1.0f);
    EXPECT_EQ (meter.getRefreshInterval(), 5.0f);
    meter.setRefreshInterval (10000.0f);
    EXPECT_EQ (meter.getRefreshSamples(), 132300u);

    meter.setSampleRate (48000.0f);
    EXPECT_EQ (meter.getRefreshSamples(), 144000u);
    meter.setPeakHoldTime (1000.0f);
    EXPECT_EQ (meter.getPeakHoldSamples(), 48000u);

    // However often the rate changes, the hold keeps its time, even where it is not a whole
    // number of samples; a rate of zero counts none of it and is never divided by.
    struct Case { float holdMs; std::vector<float> rates; int repeats; std::uint64_t samples; };
    const Case cases[] = { { 1000.0f, { 0.0f }, 1, 0 },          { 1000.0f, { 0.0f, 44100.0f }, 1, 44100 },
                           { 100.0f, { 11025.0f }, 30, 1102 },   { 100.0f, { 22050.0f, 11025.0f }, 30, 1102 },
                           { 150.0f, { 48000.0f, 11025.0f }, 40, 1653 } };
    for (const auto& c : cases)
    {
        meter.setPeakHoldTime (c.holdMs);
        for (int i = 0; i < c.repeats; ++i)
            for (auto rate : c.rates)
                meter.setSampleRate (rate);
        EXPECT_EQ (meter.getPeakHoldSamples(), c.samples) << c.holdMs << " ms, last rate " << c.rates.back();
        EXPECT_EQ (meter.getPeakHoldTime(), c.holdMs);
    }
}

TEST_F (MeterComponentTest, LedsAreLinesOneAndAHalfPixelsThickInTheirZoneColours)
{
    meter.setPeakHold (false);
    meter.setLevel (3.0f); // 23 of 24 lit
    const auto image = guitest::paintOnBlack (meter);

    for (std::uint32_t i = 0; i < 24; ++i)
    {
        const auto colour = i < 12 ? colours::defaultCold : i < 20 ? colours::defaultTepid : i < 22 ? colours::defaultWarm
                          : i < 23 ? colours::defaultHot : colours::defaultInactive;
        EXPECT_EQ (guitest::pixelAt (image, 10, ledRow (meter, i)), linePixelOnBlack ({ colour })) << i;
        EXPECT_EQ (guitest::pixelAt (image, 10, ledRow (meter, i) + 1), 0xff000000u) << i;
        EXPECT_EQ (guitest::pixelAt (image, 1, ledRow (meter, i)), 0xff000000u) << i;
    }
}

TEST_F (MeterComponentTest, OnlyTheWordGradientSelectsTheBarWhichIsBlackAboveTheLitHeight)
{
    meter.setPeakHold (false);
    meter.setDrawingMode ("gradients");
    EXPECT_EQ (meter.getDrawingMode(), 0u);
    meter.setDrawingMode ("GRADIENT");
    EXPECT_EQ (meter.getDrawingMode(), 1u);
    meter.setLevel (-27.0f); // 12 of 24 lit: exactly the cold zone

    const auto image = guitest::paintOnBlack (meter);
    guitest::savePng (image, "meter_gradient");
    EXPECT_EQ (guitest::pixelAt (image, 10, 70), 0xff008000u);
    EXPECT_EQ (guitest::pixelAt (image, 10, 10), 0xff000000u);
    EXPECT_EQ (guitest::pixelAt (image, 0, 70), 0xff000000u); // the bar leaves a 1-pixel margin
}
