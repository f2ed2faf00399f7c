// The GUI tests' own main: X set up before JUCE opens the display, JUCE's GUI
// support alive for the whole run, and its assertions counted.
#include "GuiTestSupport.h"

int main (int argc, char** argv)
{
    testsupport::prepareX();
    ::testing::InitGoogleTest (&argc, argv);
    return testsupport::runAllTestsWithJuce();
}
