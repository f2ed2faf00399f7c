#pragma once

#include "gui/MultiMeterComponent.h"

struct t_meter;

/** Carries the meter window's events to the object: a channel's "M" or "S"
    button sets that channel's mute and solo in the mixer, and the gain slider
    sets the "gain" attribute, the mixer's gain target and the dump outlet. */
class MultiMeterComponentListener : public oskelgui::MultiMeterComponent::Listener
{
public:
    /** Adds itself to the owner's GUI. */
    explicit MultiMeterComponentListener (t_meter* owner);

    /** Removes itself from the owner's GUI. */
    ~MultiMeterComponentListener() override;

    void channelButtonClicked (unsigned channelIndex) override;
    void sliderValueChanged (juce::Slider* slider) override;
    void sliderDragStarted (juce::Slider*) override {}
    void sliderDragEnded (juce::Slider*) override {}

private:
    t_meter* owner;

    JUCE_DECLARE_NON_COPYABLE (MultiMeterComponentListener)
};
