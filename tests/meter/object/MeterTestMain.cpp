// The meter tests' own main: X set up before JUCE opens the display, and JUCE's GUI
// support for the whole run on this thread, which each test's host then takes as
// its main thread, as the plug-in finds it.
#include "JuceTestSupport.h"

int main (int argc, char** argv)
{
    testsupport::prepareX();
    ::testing::InitGoogleTest (&argc, argv);
    return testsupport::runAllTestsWithJuce();
}
