#pragma once

#include <gtest/gtest.h>
#include <juce_gui_basics/juce_gui_basics.h>

#include <functional>
#include <string>
#include <vector>

namespace guitest
{

/** JUCE assertions logged since the start of the run. */
int getJuceAssertionCount();

/** True when an X display is there for real windows. */
bool hasDisplay();

/** Runs the message loop until the condition holds or the loop has run for about maxMs. */
bool pumpMessagesUntil (const std::function<bool()>& condition, int maxMs = 2000);

/** Runs the message loop until every message posted before the call was delivered. */
void drainMessages();

/** The component painted into an image, as a window paints it. */
juce::Image snapshot (juce::Component& component);

/** Saves the image as a PNG in the build folder and returns its path. */
std::string savePng (const juce::Image& image, const std::string& name);

/** The ARGB value of a pixel. */
juce::uint32 pixelAt (const juce::Image& image, int x, int y);

/** Fails a test in which JUCE asserted more often than the test expects. */
class GuiTest : public ::testing::Test
{
protected:
    void SetUp() override { assertionsAtStart = getJuceAssertionCount(); }
    void TearDown() override { EXPECT_EQ (getJuceAssertionCount() - assertionsAtStart, expectedAssertions); }

    int expectedAssertions = 0;

private:
    int assertionsAtStart = 0;
};

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
