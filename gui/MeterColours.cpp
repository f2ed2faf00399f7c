#include "gui/MeterColours.h"

#include "gui/GuiHelpers.h"

namespace oskelgui
{
namespace MeterColours
{
const juce::Colour defaultInactive (0xff4f2910u);
const juce::Colour defaultCold (0xff008000u);
const juce::Colour defaultTepid (0xfffadd19u);
const juce::Colour defaultWarm (0xfff9941au);
const juce::Colour defaultHot (0xfff8241au);
} // namespace MeterColours

std::string getDefaultInactiveColour() { return juceColourToString (MeterColours::defaultInactive); }
std::string getDefaultColdColour() { return juceColourToString (MeterColours::defaultCold); }
std::string getDefaultTepidColour() { return juceColourToString (MeterColours::defaultTepid); }
std::string getDefaultWarmColour() { return juceColourToString (MeterColours::defaultWarm); }
std::string getDefaultHotColour() { return juceColourToString (MeterColours::defaultHot); }

} // namespace oskelgui
