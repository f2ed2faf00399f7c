#pragma once

#include "JuceTestSupport.h"

#include <functional>
#include <string>
#include <vector>

namespace guitest
{
using namespace testsupport;

/** Records the areas that repaints of a component and its children reach it with. */
class RepaintRecorder : public juce::CachedComponentImage
{
public:
    void paint (juce::Graphics&) override {}
    bool invalidateAll() override { areas.push_back ({}); ++count; return true; }
    bool invalidate (const juce::Rectangle<int>& area) override { areas.push_back (area); ++count; return true; }
    void releaseResources() override {}

    int count = 0;
    std::vector<juce::Rectangle<int>> areas;

    /** Attaches a new recorder to the component, forgetting the repaint that attaching makes. */
    static RepaintRecorder& attachTo (juce::Component& component)
    {
        auto* recorder = new RepaintRecorder();
        component.setCachedComponentImage (recorder);
        recorder->count = 0;
        recorder->areas.clear();
        return *recorder;
    }
};

} // namespace guitest
