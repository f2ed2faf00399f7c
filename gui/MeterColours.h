#pragma once

#include <juce_graphics/juce_graphics.h>

#include <string>

namespace oskelgui
{

/** The meter's default colours, which every new meter copies. */
namespace MeterColours
{
extern const juce::Colour defaultInactive;
extern const juce::Colour defaultCold;
extern const juce::Colour defaultTepid;
extern const juce::Colour defaultWarm;
extern const juce::Colour defaultHot;
} // namespace MeterColours

/** The default colours as "r g b a" texts, each component with three decimals. */
std::string getDefaultInactiveColour();
std::string getDefaultColdColour();
std::string getDefaultTepidColour();
std::string getDefaultWarmColour();
std::string getDefaultHotColour();

} // namespace oskelgui
