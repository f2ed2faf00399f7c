#pragma once

#include "text/StringArray.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <cstdint>
#include <limits>
#include <string>

namespace oskelgui
{

/** A font of the typeface and height, bold, italic or underlined by the first of
    these words found in the style text (any case), else plain. A family that is
    not installed is replaced by an installed face of the same widths (Liberation
    Sans for Arial), else by the default sans-serif face, keeping the style, so
    that the style is never lost to the system's fallback face. */
juce::Font makeFont (const std::string& typeface, const std::string& style, float height);

/** The style flags that makeFont derives from a style text. */
int getFontStyleFlags (const std::string& style);

/** The strings in order. */
kul::StringArray toStringVector (const juce::StringArray& strings);

/** "r g b a", each component between 0 and 1 with three decimals. */
std::string juceColourToString (juce::Colour colour);

/** A colour component between 0 and 1 as a byte: 0 at or below 0, 255 at or above 1,
    otherwise the component times 255.996 truncated; a NaN gives 0. */
std::uint8_t colourComponentToByte (float component) noexcept;

/** A colour from four components between 0 and 1, each converted with colourComponentToByte. */
juce::Colour colourFromFloats (double red, double green, double blue, double alpha) noexcept;

/** Gives a slider's text box the slider's text-box colours, with a see-through
    background for a bar slider, whose bar shows behind its text. */
void setSliderTextBoxColours (juce::Label& label, const juce::Slider& slider);

/** A count of samples from a non-negative product; NaN and negative values give 0,
    values past the type's range its largest value. */
template <typename Integer>
Integer toSampleCount (float value) noexcept
{
    if (! (value > 0.0f))
        return 0;

    constexpr auto largest = static_cast<float> (std::numeric_limits<Integer>::max());

    if (value >= largest)
        return std::numeric_limits<Integer>::max();

    return static_cast<Integer> (value);
}

} // namespace oskelgui
