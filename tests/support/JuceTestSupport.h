#pragma once

// What every test program that opens JUCE's GUI shares: X made thread-safe with
// non-fatal errors before JUCE opens the display, JUCE assertions counted so that
// a test can fail on them, the message loop pumped, and pictures saved for a
// person to look at.
#include <gtest/gtest.h>
#include <juce_gui_basics/juce_gui_basics.h>

#include <functional>
#include <string>

namespace testsupport
{

/** XInitThreads and an X error handler that shows only the first (harmless) error.
    Call before anything opens the display. */
void prepareX();

/** The X error handler that prepareX installs, for programs whose host installs its own. */
int ignoreXError (struct _XDisplay*, union _XEvent*);

/** Runs every test with JUCE's GUI support alive and its assertions counted. */
int runAllTestsWithJuce();

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

/** The ARGB value of a pixel. */
juce::uint32 pixelAt (const juce::Image& image, int x, int y);

/** The pixels of an area of an X window (the whole window when the area is empty),
    children included, as the server has them; an empty image when it isn't shown. */
juce::Image grabWindow (unsigned long window, juce::Rectangle<int> area = {});

/** Keeps the OpenGL driver modules loaded until the process ends, so that the leak
    checker can name the driver's own allocations and the suppressions match them. */
void keepGraphicsDriversLoaded();

/** The path of a file in the test program's build folder. */
std::string outputPath (const std::string& name);

/** Saves the image as NAME.png in the build folder and returns its path. */
std::string savePng (const juce::Image& image, const std::string& name);

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

} // namespace testsupport
