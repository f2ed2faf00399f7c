#include "gui/MeterComponent.h"

#include "dsp/SampleCount.h"
#include "gui/GuiHelpers.h"
#include "gui/MeterColours.h"
#include "text/StringHelper.h"

#include <algorithm>
#include <cmath>

namespace oskelgui
{
namespace
{
constexpr std::uint32_t minLeds = 10;
constexpr std::uint32_t maxLeds = 80;
constexpr float ledThickness = 1.5f;

/** The nearest integer to a non-negative product, ties to even, limited to the LED count. */
std::uint32_t roundedLedCount (float product, std::uint32_t limit) noexcept
{
    if (! (product > 0.0f))
        return 0;

    if (product >= (float) limit)
        return limit;

    return std::min (static_cast<std::uint32_t> (std::lrint (product)), limit);
}

// In double, where the product of the two floats is exact: a time that is a whole
// number of samples is counted whole.
std::uint64_t samplesForTime (float rate, float ms) noexcept
{
    return kul::TruncatedSampleCount (static_cast<double> (rate) * static_cast<double> (ms) / 1000.0);
}
} // namespace

MeterComponent::MeterComponent (unsigned numLedsToUse, unsigned width)
    : numLeds (std::clamp<std::uint32_t> (numLedsToUse, minLeds, maxLeds)),
      inactiveColour (MeterColours::defaultInactive),
      coldColour (MeterColours::defaultCold),
      tepidColour (MeterColours::defaultTepid),
      warmColour (MeterColours::defaultWarm),
      hotColour (MeterColours::defaultHot),
      peakColour (juce::Colour (0x00000000u))
{
    refreshSamples = toSampleCount<std::uint64_t> (refreshIntervalMs * 0.001f * sampleRate);
    peakHoldSamples = samplesForTime (sampleRate, peakHoldMs);

    const auto n = (float) numLeds;
    coldZoneEnd = roundedLedCount (n * 0.5151515f, numLeds);
    tepidZoneEnd = roundedLedCount (n * 0.8181819f, numLeds);
    warmZoneEnd = roundedLedCount (n * 0.92424244f, numLeds);

    const int w = (int) std::clamp (width, 10u, 40u);
    const int h = 3 * (int) numLeds + 3;
    setSize (w, h);

    ledLines.reserve (numLeds);
    for (std::uint32_t i = 0; i < numLeds; ++i)
    {
        const auto y = (float) (h - 3 * ((int) i + 1));
        ledLines.emplace_back (2.0f, y, (float) (w - 2), y);
    }

    setBufferedToImage (false);
    setPaintingIsUnclipped (true);
}

MeterComponent::~MeterComponent() = default;

void MeterComponent::updatePeak() noexcept
{
    peakIndex = numLit > 0 ? numLit - 1 : 0;

    // The last test is on the lit count, so a peak on the last warm LED shows hot.
    if (peakIndex == 0)
        peakColour = inactiveColour;
    else if (peakIndex < coldZoneEnd)
        peakColour = coldColour;
    else if (peakIndex < tepidZoneEnd)
        peakColour = tepidColour;
    else if (numLit < warmZoneEnd)
        peakColour = warmColour;
    else
        peakColour = hotColour;
}

void MeterComponent::setLevel (float dB)
{
    // Below the scale, and NaN, light nothing.
    numLit = dB >= -60.0f ? roundedLedCount ((dB + 60.0f) * 0.015151516f * (float) numLeds, numLeds) : 0;

    if (numLit > peakIndex)
        updatePeak();
}

void MeterComponent::advance (unsigned numSamples)
{
    samplesSincePaint += numSamples;
    samplesSincePeak += numSamples;

    if (samplesSincePeak > peakHoldSamples)
        updatePeak();
}

void MeterComponent::setPeakHold (bool shouldHold)
{
    peakHoldEnabled = shouldHold;
    samplesSincePeak = 0;
    updatePeak();
    repaint();
}

void MeterComponent::setPeakHoldTime (float ms)
{
    if (std::isnan (ms))
        return;

    peakHoldMs = std::clamp (ms, 100.0f, 36000000.0f);
    peakHoldSamples = samplesForTime (sampleRate, peakHoldMs);
    samplesSincePeak = 0;
    updatePeak();
    repaint();
}

void MeterComponent::resetPeak()
{
    samplesSincePeak = 0;
    updatePeak();
    repaint();
}

void MeterComponent::setDrawingMode (const std::string& mode)
{
    drawingMode = StringHelper::ToLowerCaseCopy (mode) == "gradient" ? 1 : 0;
    repaint();
}

void MeterComponent::setSampleRate (float rate)
{
    // Both times are counted afresh from milliseconds: rescaling the counts would round
    // the hold down again at every rate change.
    sampleRate = rate;
    refreshSamples = toSampleCount<std::uint64_t> (refreshIntervalMs * (0.001f * rate));
    peakHoldSamples = samplesForTime (rate, peakHoldMs);
}

void MeterComponent::setRefreshInterval (float ms)
{
    if (std::isnan (ms))
        return;

    refreshIntervalMs = std::clamp (ms, 5.0f, 3000.0f);
    refreshSamples = toSampleCount<std::uint64_t> (sampleRate * (0.001f * refreshIntervalMs));
}

void MeterComponent::resetLevel()
{
    numLit = 0;
    samplesSincePaint = 0;
}

bool MeterComponent::needsRepaint() const noexcept
{
    // A held peak that timed out but stays where it was painted changes nothing on screen.
    return (numLit != numLitAtPaint && samplesSincePaint > refreshSamples)
        || (peakHoldEnabled && samplesSincePeak > peakHoldSamples && peakIndex != paintedPeakIndex);
}

void MeterComponent::setZoneColour (Zone zone, juce::Colour colour) noexcept
{
    switch (zone)
    {
        case Zone::inactive: inactiveColour = colour; break;
        case Zone::cold:     coldColour = colour; break;
        case Zone::tepid:    tepidColour = colour; break;
        case Zone::warm:     warmColour = colour; break;
        case Zone::hot:      hotColour = colour; break;
    }
}

juce::Colour MeterComponent::getZoneColour (Zone zone) const noexcept
{
    switch (zone)
    {
        case Zone::inactive: return inactiveColour;
        case Zone::cold:     return coldColour;
        case Zone::tepid:    return tepidColour;
        case Zone::warm:     return warmColour;
        case Zone::hot:      return hotColour;
    }
    return inactiveColour;
}

void MeterComponent::paint (juce::Graphics& g)
{
    if (! isVisible())
        return;

    if (drawingMode == 1)
        paintGradient (g);
    else
        paintLeds (g);

    if (peakHoldEnabled)
    {
        g.setColour (peakColour);
        fillLed (g, peakIndex);

        if (paintedPeakIndex != peakIndex)
        {
            samplesSincePeak = 0;
            paintedPeakIndex = peakIndex;
        }
    }

    numLitAtPaint = numLit;
    samplesSincePaint = 0;
}

// A horizontal line 1.5 pixels thick covers a rectangle, which the renderer fills several
// times faster than the line's path. The two differ only in how the coverage of the edge
// pixels is rounded: by at most one level in a colour component.
void MeterComponent::fillLed (juce::Graphics& g, std::uint32_t index) const
{
    const auto& line = ledLines[index];
    g.fillRect (juce::Rectangle<float> (line.getStartX(), line.getStartY() - ledThickness * 0.5f,
                                        line.getEndX() - line.getStartX(), ledThickness));
}

void MeterComponent::fillLeds (juce::Graphics& g, std::uint32_t first, std::uint32_t end) const
{
    for (auto i = first; i < end; ++i)
        fillLed (g, i);
}

void MeterComponent::paintLeds (juce::Graphics& g) const
{
    g.setColour (inactiveColour);
    fillLeds (g, numLit, numLeds);

    const std::uint32_t zoneEnds[] = { coldZoneEnd, tepidZoneEnd, warmZoneEnd, numLeds };
    const juce::Colour zoneColours[] = { coldColour, tepidColour, warmColour, hotColour };
    std::uint32_t start = 0;

    for (size_t zone = 0; zone < 4 && start < numLit; ++zone)
    {
        const auto end = std::min (std::max (zoneEnds[zone], start), numLit);

        if (end > start)
        {
            g.setColour (zoneColours[zone]);
            fillLeds (g, start, end);
        }

        start = end;
    }
}

void MeterComponent::paintGradient (juce::Graphics& g) const
{
    const auto w = (float) getWidth();
    const auto h = (float) getHeight();
    const auto leds = (float) numLeds;

    juce::ColourGradient gradient (tepidColour, w / 2.0f, h, hotColour, w / 2.0f, 0.0f, false);
    gradient.addColour ((float) coldZoneEnd / leds, tepidColour);
    gradient.addColour ((float) tepidZoneEnd / leds, warmColour);

    if (numLit == 0)
    {
        g.setColour (juce::Colours::black);
        g.fillRect (1.0f, 0.0f, w - 2.0f, h);
        return;
    }

    const auto litFrac = (float) numLit / leds;
    const auto litH = litFrac * h;

    g.setColour (juce::Colours::black);
    g.fillRect (1.0f, 0.0f, w - 2.0f, h - litH);

    if (numLit > coldZoneEnd)
    {
        const auto coldFrac = (float) coldZoneEnd / leds;
        const auto coldH = coldFrac * h;

        g.setColour (coldColour);
        g.fillRect (1.0f, h - coldH, w - 2.0f, coldH);

        g.setGradientFill (gradient);
        g.fillRect (1.0f, h - litH, w - 2.0f, (litFrac - coldFrac) * h);
    }
    else
    {
        g.setColour (coldColour);
        g.fillRect (1.0f, h - litH, w - 2.0f, litH);
    }
}

} // namespace oskelgui
