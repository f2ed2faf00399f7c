#pragma once

#include "gui/Component.h"
#include "gui/MeterChannelComponent.h"
#include "gui/MeterLookAndFeel.h"
#include "math/Vector.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace oskelgui
{

/** The whole meter window content: the master column (gain slider, dB scale, master
    "M") and one channel strip per channel. Channel indices are 0-based; an index
    outside the strips is ignored. The widget changes (gain, mute, solo) belong to the
    message thread: callers on other threads hand them over. */
class MultiMeterComponent : public Component,
                            public juce::Button::Listener
{
public:
    /** The gain slider, showing its value with one decimal. */
    class dBSlider : public juce::Slider
    {
    public:
        /** Creates a slider with the given component name. */
        explicit dBSlider (const juce::String& componentName);

        /** Destructor. */
        ~dBSlider() override;

        /** The value with one decimal, followed by the slider's suffix. */
        juce::String getTextFromValue (double value) override;
    };

    /** Receives the strips' button clicks and the gain slider's changes. */
    class Listener : public MeterChannelComponent::Listener,
                     public juce::Slider::Listener
    {
    };

    /** Creates the master column and numChannels strips (at least one) side by side, each
        around a meter of numLeds LEDs and width pixels; the strips are named "1", "2", ...
        The gain slider starts at 0 dB. */
    MultiMeterComponent (unsigned numChannels, unsigned numLeds, unsigned width);

    /** Destructor. */
    ~MultiMeterComponent() override;

    /** Sets every meter's drawing mode (MeterComponent::setDrawingMode()); they repaint. */
    void setDrawingMode (const std::string& mode);

    /** Shows or hides every strip's dB readout, from each readout's next paint on. */
    void setShowRms (bool shouldShow);

    /** Returns the state of a strip's "M"; false for an index outside the strips. */
    bool getMute (unsigned channel) const;

    /** Returns the state of a strip's "S"; false for an index outside the strips. */
    bool getSolo (unsigned channel) const;

    /** Sets a strip's "M", which repaints when it changes; listeners are told as the
        notification says. Message thread only. */
    void setMute (unsigned channel, bool on, juce::NotificationType notification);

    /** Sets a strip's "S", which repaints when it changes; listeners are told as the
        notification says. Message thread only. */
    void setSolo (unsigned channel, bool on, juce::NotificationType notification);

    /** Turns every strip's "S" off, as setSolo() does. Message thread only. */
    void clearSolo (juce::NotificationType notification);

    /** Sets the master "M", which repaints when it changes; with a notification the strips'
        "M" follow it, as after a click (buttonClicked()). Message thread only. */
    void setMasterMute (bool on, juce::NotificationType notification);

    /** Returns the state of the master "M". */
    bool getMasterMute() const;

    /** Sets the slider, limited to -60 .. +6 dB and snapped to 0.25 dB; non-finite values are
        ignored. The slider repaints when its value changes; listeners are told as the
        notification says. Message thread only. */
    void setGain (float dB, juce::NotificationType notification);

    /** Returns the gain slider's value in dB. */
    float getGain() const;

    /** One level in dB per channel, read from levels[0] to levels[getNumChannels() - 1]; null
        is ignored. Each strip repaints its readout when due (MeterChannelComponent::setLevel()). */
    void setLevels (const float* levels);

    /** Sets every strip's sample rate (MeterChannelComponent::setSampleRate()). */
    void setSampleRate (float rate);

    /** numSamples more samples have elapsed, for every strip. Does not repaint. */
    void advance (unsigned numSamples);

    /** Sets every strip's refresh interval (MeterChannelComponent::setRefreshInterval()). */
    void setRefreshInterval (float ms);

    /** Shows or hides every meter's held peak; they repaint. */
    void setPeakHold (bool shouldHold);

    /** Sets every meter's peak hold time (MeterComponent::setPeakHoldTime()); they repaint. */
    void setPeakHoldTime (float ms);

    /** Drops every meter's held peak to its current level; they repaint. */
    void resetPeaks();

    /** Shows -60 dB on every strip and lights nothing, without repainting. */
    void resetLevels();

    /** Once per display tick: repaints each strip's meter and readout that are due
        (MeterChannelComponent::refresh()). */
    void refresh();

    /** Adds a listener to every strip's buttons and to the gain slider; null is ignored. */
    void addListener (Listener* listener);

    /** Removes a listener from every strip and the gain slider; null is ignored. */
    void removeListener (Listener* listener);

    /** Sets every meter's colour of unlit LEDs from components between 0 and 1
        (colourFromFloats()); the meters repaint. */
    void setInactiveColour (double red, double green, double blue, double alpha);

    /** Sets every meter's cold-zone colour, as setInactiveColour() does. */
    void setColdColour (double red, double green, double blue, double alpha);

    /** Sets every meter's tepid-zone colour, as setInactiveColour() does. */
    void setTepidColour (double red, double green, double blue, double alpha);

    /** Sets every meter's warm-zone colour, as setInactiveColour() does. */
    void setWarmColour (double red, double green, double blue, double alpha);

    /** Sets every meter's hot-zone colour, as setInactiveColour() does. */
    void setHotColour (double red, double green, double blue, double alpha);

    /** Returns the number of strips. */
    unsigned getNumChannels() const noexcept { return numChannels; }

    /** Returns a strip; the index must be below getNumChannels(). */
    MeterChannelComponent& getChannel (unsigned channel) { return *channels[channel]; }

    /** Returns the master column's gain slider. */
    dBSlider& getGainSlider() noexcept { return *gainSlider; }

    /** Returns the master "M" button. */
    juce::TextButton& getMasterMuteButton() noexcept { return *masterMuteButton; }

    /** The y of each scale line, from 0 dB down to -60 dB. */
    std::vector<float> getScaleLineYs() const;

    /** Draws the black background and the dB scale lines beside the gain slider. */
    void paint (juce::Graphics&) override;

    /** A click on the master "M" (or a notified change of it) sets every strip's "M" to its
        state, telling the listeners. */
    void buttonClicked (juce::Button*) override;

private:
    std::uint32_t numChannels;
    kul::Vector<std::unique_ptr<MeterChannelComponent>> channels;
    std::unique_ptr<dBSlider> gainSlider;
    std::unique_ptr<juce::TextButton> masterMuteButton;
    MeterLookAndFeel lookAndFeel;

    MeterChannelComponent* findChannel (unsigned channel) const noexcept;
    void setZoneColour (MeterComponent::Zone zone, double red, double green, double blue, double alpha);

    JUCE_DECLARE_NON_COPYABLE (MultiMeterComponent)
};

} // namespace oskelgui
