#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <cstdint>
#include <string>
#include <vector>

namespace oskelgui
{

/** One vertical level meter: LED lines 3 pixels apart, lit from the bottom in four
    colour zones, with an optional peak-hold LED, or a solid gradient bar. It keeps
    no time of its own: its owner feeds levels in dB and elapsed sample counts and
    decides when it repaints. */
class MeterComponent : public juce::Component
{
public:
    enum class Zone
    {
        inactive,
        cold,
        tepid,
        warm,
        hot
    };

    MeterComponent (unsigned numLeds, unsigned width);
    ~MeterComponent() override;

    /** The current level in dB, shown over -60 .. +6 dB; lower levels and NaN light nothing. */
    void setLevel (float dB);

    /** numSamples more samples have elapsed. */
    void advance (unsigned numSamples);

    void setPeakHold (bool shouldHold);
    void setPeakHoldTime (float ms);
    void resetPeak();

    /** "gradient" in any case selects the gradient bar, anything else the LEDs. */
    void setDrawingMode (const std::string& mode);

    void setSampleRate (float rate);
    void setRefreshInterval (float ms);
    void resetLevel();

    /** True when the display is due for a paint: the lit count changed and the refresh
        interval has passed, or the held peak timed out and fell to another LED. */
    bool needsRepaint() const noexcept;

    /** Sets a zone colour without repainting. */
    void setZoneColour (Zone zone, juce::Colour colour) noexcept;
    juce::Colour getZoneColour (Zone zone) const noexcept;

    void paint (juce::Graphics&) override;

    std::uint32_t getNumLeds() const noexcept { return numLeds; }
    std::uint32_t getNumLit() const noexcept { return numLit; }
    std::uint32_t getDrawingMode() const noexcept { return drawingMode; }
    std::uint32_t getColdZoneEnd() const noexcept { return coldZoneEnd; }
    std::uint32_t getTepidZoneEnd() const noexcept { return tepidZoneEnd; }
    std::uint32_t getWarmZoneEnd() const noexcept { return warmZoneEnd; }
    float getRefreshInterval() const noexcept { return refreshIntervalMs; }
    float getSampleRate() const noexcept { return sampleRate; }
    std::uint64_t getRefreshSamples() const noexcept { return refreshSamples; }
    std::uint64_t getPeakHoldSamples() const noexcept { return peakHoldSamples; }
    std::uint64_t getSamplesSincePaint() const noexcept { return samplesSincePaint; }
    std::uint64_t getSamplesSincePeak() const noexcept { return samplesSincePeak; }
    bool isPeakHoldEnabled() const noexcept { return peakHoldEnabled; }
    std::uint32_t getPeakIndex() const noexcept { return peakIndex; }
    juce::Colour getPeakColour() const noexcept { return peakColour; }
    const juce::Line<float>& getLedLine (std::uint32_t index) const { return ledLines[index]; }

private:
    std::uint32_t numLeds;
    std::uint32_t numLit = 0;
    std::uint32_t drawingMode = 0;
    juce::Colour inactiveColour;
    juce::Colour coldColour;
    juce::Colour tepidColour;
    juce::Colour warmColour;
    juce::Colour hotColour;
    juce::Colour peakColour;
    std::uint32_t coldZoneEnd = 0;
    std::uint32_t tepidZoneEnd = 0;
    std::uint32_t warmZoneEnd = 0;
    float refreshIntervalMs = 50.0f;
    float sampleRate = 44100.0f;
    std::uint64_t samplesSincePaint = 0;
    std::uint32_t numLitAtPaint = 0;
    std::uint64_t refreshSamples = 0;
    bool peakHoldEnabled = true;
    std::uint32_t peakIndex = 0;
    std::uint64_t samplesSincePeak = 0;
    std::uint64_t peakHoldSamples = 0;
    std::uint32_t paintedPeakIndex = 0;
    std::vector<juce::Line<float>> ledLines;

    void updatePeak() noexcept;
    void paintLeds (juce::Graphics&) const;
    void paintGradient (juce::Graphics&) const;
    void fillLed (juce::Graphics&, std::uint32_t index) const;
    void fillLeds (juce::Graphics&, std::uint32_t first, std::uint32_t end) const;

    JUCE_DECLARE_NON_COPYABLE (MeterComponent)
};

} // namespace oskelgui
