#pragma once

#include <juce_graphics/juce_graphics.h>

#include <string>

namespace oskelgui
{

/** The meter's default colours, which every new meter copies. */
namespace MeterColours
{
/** Unlit LEDs: 0xFF4F2910. */
extern const juce::Colour defaultInactive;
/** The cold zone, up to about -26 dB: 0xFF008000. */
extern const juce::Colour defaultCold;
/** The tepid zone, up to about -6 dB: 0xFFFADD19. */
extern const juce::Colour defaultTepid;
/** The warm zone, up to about +1 dB: 0xFFF9941A. */
extern const juce::Colour defaultWarm;
/** The hot zone, to the top: 0xFFF8241A. */
extern const juce::Colour defaultHot;
} // namespace MeterColours

/** The default colours as "r g b a" texts, each component with three decimals. */
std::string getDefaultInactiveColour();
std::string getDefaultColdColour();
std::string getDefaultTepidColour();
std::string getDefaultWarmColour();
std::string getDefaultHotColour();

} // namespace oskelgui
