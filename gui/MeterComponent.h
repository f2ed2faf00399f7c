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
    /** The colours of the display: unlit LEDs, then the lit zones from the bottom up. */
    enum class Zone
    {
        inactive,
        cold,
        tepid,
        warm,
        hot
    };

    /** Creates a meter of numLeds LEDs (limited to 10 .. 80) and width pixels (limited
        to 10 .. 40), 3 pixels of height per LED and 3 more, with the default colours,
        a refresh interval of 50 ms and a peak hold of 2 s at 44100 Hz. */
    MeterComponent (unsigned numLeds, unsigned width);

    /** Destructor. */
    ~MeterComponent() override;

    /** The current level in dB, shown over -60 .. +6 dB; lower levels and NaN light nothing.
        A level above the held peak moves the peak up. Does not repaint: see needsRepaint(). */
    void setLevel (float dB);

    /** numSamples more samples have elapsed: the counts towards the next paint and towards
        the end of the peak hold move on, and a held peak whose time is up falls to the
        current level. Does not repaint. */
    void advance (unsigned numSamples);

    /** Shows or hides the held peak LED, restarts the hold from the current level and repaints. */
    void setPeakHold (bool shouldHold);

    /** How long a peak is held, limited to 100 ms .. 10 hours at the current sample rate;
        NaN is ignored. Restarts the hold from the current level and repaints. */
    void setPeakHoldTime (float ms);

    /** Drops the held peak to the current level, restarts its hold time and repaints. */
    void resetPeak();

    /** "gradient" in any case selects the gradient bar, anything else the LEDs. Repaints. */
    void setDrawingMode (const std::string& mode);

    /** The rate at which advance() counts samples. The refresh interval and the peak hold
        time keep their length in milliseconds. Does not repaint. */
    void setSampleRate (float rate);

    /** The shortest time between two paints for a new level, limited to 5 .. 3000 ms; NaN
        is ignored. Does not repaint. */
    void setRefreshInterval (float ms);

    /** Lights nothing and restarts the count towards the next paint; the held peak stays.
        Does not repaint. */
    void resetLevel();

    /** True when the display is due for a paint: the lit count changed and the refresh
        interval has passed, or the held peak timed out and fell to another LED. */
    bool needsRepaint() const noexcept;

    /** Sets a zone colour without repainting; a held peak takes the new colour when it
        next moves. */
    void setZoneColour (Zone zone, juce::Colour colour) noexcept;

    /** Returns the colour of a zone. */
    juce::Colour getZoneColour (Zone zone) const noexcept;

    /** Draws the lit LEDs (or the bar) and the held peak, and restarts the count towards
        the next paint. */
    void paint (juce::Graphics&) override;

    /** Returns the number of LEDs, as limited by the constructor. */
    std::uint32_t getNumLeds() const noexcept { return numLeds; }

    /** Returns how many LEDs the last level lit, counted from the bottom. */
    std::uint32_t getNumLit() const noexcept { return numLit; }

    /** Returns 1 when the gradient bar is drawn, 0 for the LEDs. */
    std::uint32_t getDrawingMode() const noexcept { return drawingMode; }

    /** Returns the index of the first LED above the cold zone (about -26 dB). */
    std::uint32_t getColdZoneEnd() const noexcept { return coldZoneEnd; }

    /** Returns the index of the first LED above the tepid zone (about -6 dB). */
    std::uint32_t getTepidZoneEnd() const noexcept { return tepidZoneEnd; }

    /** Returns the index of the first LED above the warm zone (about +1 dB); the hot zone
        runs from there to the top. */
    std::uint32_t getWarmZoneEnd() const noexcept { return warmZoneEnd; }

    /** Returns the refresh interval in milliseconds, as limited by setRefreshInterval(). */
    float getRefreshInterval() const noexcept { return refreshIntervalMs; }

    /** Returns the rate at which advance() counts samples. */
    float getSampleRate() const noexcept { return sampleRate; }

    /** Returns the refresh interval as a count of samples at the sample rate. */
    std::uint64_t getRefreshSamples() const noexcept { return refreshSamples; }

    /** Returns the peak hold time in milliseconds, as limited by setPeakHoldTime(). */
    float getPeakHoldTime() const noexcept { return peakHoldMs; }

    /** Returns the peak hold time as a count of samples at the sample rate. */
    std::uint64_t getPeakHoldSamples() const noexcept { return peakHoldSamples; }

    /** Returns the samples that advance() counted since the last paint or resetLevel(). */
    std::uint64_t getSamplesSincePaint() const noexcept { return samplesSincePaint; }

    /** Returns the samples that advance() counted since the held peak last moved on
        screen or was reset. */
    std::uint64_t getSamplesSincePeak() const noexcept { return samplesSincePeak; }

    /** Returns true when the held peak LED is shown. */
    bool isPeakHoldEnabled() const noexcept { return peakHoldEnabled; }

    /** Returns the index of the held peak's LED, 0 at the bottom. */
    std::uint32_t getPeakIndex() const noexcept { return peakIndex; }

    /** Returns the colour that the held peak's LED is drawn in: that of its zone when the
        peak last moved. */
    juce::Colour getPeakColour() const noexcept { return peakColour; }

    /** Returns the centre line of an LED, 0 at the bottom, in the meter's own coordinates.
        The index must be below getNumLeds(). */
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
    // The hold's length as set, which peakHoldSamples counts at the sample rate.
    float peakHoldMs = 2000.0f;
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
