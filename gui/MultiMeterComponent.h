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
        explicit dBSlider (const juce::String& componentName);
        ~dBSlider() override;

        juce::String getTextFromValue (double value) override;
    };

    /** Receives the strips' button clicks and the gain slider's changes. */
    class Listener : public MeterChannelComponent::Listener,
                     public juce::Slider::Listener
    {
    };

    MultiMeterComponent (unsigned numChannels, unsigned numLeds, unsigned width);
    ~MultiMeterComponent() override;

    void setDrawingMode (const std::string& mode);
    void setShowRms (bool shouldShow);

    bool getMute (unsigned channel) const;
    bool getSolo (unsigned channel) const;
    void setMute (unsigned channel, bool on, juce::NotificationType notification);
    void setSolo (unsigned channel, bool on, juce::NotificationType notification);
    void clearSolo (juce::NotificationType notification);
    void setMasterMute (bool on, juce::NotificationType notification);
    bool getMasterMute() const;

    /** Sets the slider, limited to -60 .. +6 dB and snapped to 0.25 dB; non-finite values are ignored. */
    void setGain (float dB, juce::NotificationType notification);
    float getGain() const;

    /** One level in dB per channel. */
    void setLevels (const float* levels);
    void setSampleRate (float rate);
    void advance (unsigned numSamples);
    void setRefreshInterval (float ms);
    void setPeakHold (bool shouldHold);
    void setPeakHoldTime (float ms);
    void resetPeaks();
    void resetLevels();
    void refresh();

    void addListener (Listener* listener);
    void removeListener (Listener* listener);

    void setInactiveColour (double red, double green, double blue, double alpha);
    void setColdColour (double red, double green, double blue, double alpha);
    void setTepidColour (double red, double green, double blue, double alpha);
    void setWarmColour (double red, double green, double blue, double alpha);
    void setHotColour (double red, double green, double blue, double alpha);

    unsigned getNumChannels() const noexcept { return numChannels; }
    MeterChannelComponent& getChannel (unsigned channel) { return *channels[channel]; }
    dBSlider& getGainSlider() noexcept { return *gainSlider; }
    juce::TextButton& getMasterMuteButton() noexcept { return *masterMuteButton; }

    /** The y of each scale line, from 0 dB down to -60 dB. */
    std::vector<float> getScaleLineYs() const;

    void paint (juce::Graphics&) override;
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
