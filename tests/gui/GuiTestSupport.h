#pragma once

#include "JuceTestSupport.h"

#include "gui/MultiMeterComponent.h"

#include <vector>

namespace guitest
{
using namespace testsupport;

/** Records the areas that repaints of a component and its children reach it with. */
struct RepaintRecorder : public juce::CachedComponentImage
{
    void paint (juce::Graphics&) override {}
    bool invalidateAll() override { return invalidate ({}); }
    bool invalidate (const juce::Rectangle<int>& area) override { areas.push_back (area); return true; }
    void releaseResources() override {}
    std::vector<juce::Rectangle<int>> areas;
};

/** Hears the buttons of strips and meters, and the gain slider. */
struct RecordingListener : public oskelgui::MultiMeterComponent::Listener
{
    void channelButtonClicked (unsigned channelIndex) override { channels.push_back (channelIndex); }
    void sliderValueChanged (juce::Slider* slider) override { gains.push_back (slider->getValue()); }
    std::vector<unsigned> channels;
    std::vector<double> gains;
};

/** The component painted over black, so that its own colours show as they are. */
inline juce::Image paintOnBlack (juce::Component& component)
{
    juce::Image image (juce::Image::ARGB, component.getWidth(), component.getHeight(), true);
    juce::Graphics g (image);
    g.fillAll (juce::Colours::black);
    component.paintEntireComponent (g, false);
    return image;
}

} // namespace guitest
