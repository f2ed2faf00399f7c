#include "gui/GuiHelpers.h"

#include "common/Colour.h"
#include "text/StringHelper.h"

#include <set>
#include <utility>

namespace oskelgui
{
namespace
{
// The installed families, read once: the font list does not change while we run.
bool isFamilyInstalled (const juce::String& family)
{
    static const std::set<juce::String> families = []
    {
        std::set<juce::String> names;
        for (const auto& name : juce::Font::findAllTypefaceNames())
            names.insert (name);
        return names;
    }();

    return families.count (family) > 0;
}

// A family that is missing, and an installed face with the same character widths: a
// text laid out for the one takes the same room in the other.
juce::String findMetricCompatibleFamily (const juce::String& family)
{
    static const std::pair<const char*, const char*> compatible[] = { { "Arial", "Liberation Sans" } };

    for (const auto& [missing, replacement] : compatible)
        if (family == missing && isFamilyInstalled (replacement))
            return replacement;

    return juce::Font::getDefaultSansSerifFontName();
}
} // namespace

int getFontStyleFlags (const std::string& style)
{
    const auto lowered = StringHelper::ToLowerCaseCopy (style);

    if (StringHelper::Contains (lowered, "bold"))
        return juce::Font::bold;
    if (StringHelper::Contains (lowered, "italic"))
        return juce::Font::italic;
    if (StringHelper::Contains (lowered, "underlined"))
        return juce::Font::underlined;
    return juce::Font::plain;
}

juce::Font makeFont (const std::string& typeface, const std::string& style, float height)
{
    auto family = juce::String::fromUTF8 (typeface.c_str());

    if (! isFamilyInstalled (family))
        family = findMetricCompatibleFamily (family);

    return juce::Font (family, height, getFontStyleFlags (style));
}

kul::StringArray toStringVector (const juce::StringArray& strings)
{
    kul::StringArray result;
    result.reserve (static_cast<size_t> (strings.size()));

    for (const auto& s : strings)
        result.Add (s.toStdString());

    return result;
}

std::string juceColourToString (juce::Colour colour)
{
    return kul::Colour (colour.getFloatRed(), colour.getFloatGreen(),
                        colour.getFloatBlue(), colour.getFloatAlpha()).ToString();
}

std::uint8_t colourComponentToByte (float component) noexcept
{
    if (! (component > 0.0f))
        return 0;
    if (component >= 1.0f)
        return 255;
    return static_cast<std::uint8_t> (component * 255.996f);
}

juce::Colour colourFromFloats (double red, double green, double blue, double alpha) noexcept
{
    return juce::Colour (colourComponentToByte (static_cast<float> (red)),
                         colourComponentToByte (static_cast<float> (green)),
                         colourComponentToByte (static_cast<float> (blue)),
                         colourComponentToByte (static_cast<float> (alpha)));
}

void setSliderTextBoxColours (juce::Label& label, const juce::Slider& slider)
{
    const bool isBar = slider.getSliderStyle() == juce::Slider::LinearBar;

    label.setColour (juce::Label::textColourId, slider.findColour (juce::Slider::textBoxTextColourId));
    label.setColour (juce::Label::backgroundColourId,
                     isBar ? juce::Colours::transparentBlack : slider.findColour (juce::Slider::textBoxBackgroundColourId));
    label.setColour (juce::Label::outlineColourId, slider.findColour (juce::Slider::textBoxOutlineColourId));
    label.setColour (juce::TextEditor::textColourId, slider.findColour (juce::Slider::textBoxTextColourId));
    label.setColour (juce::TextEditor::backgroundColourId,
                     slider.findColour (juce::Slider::textBoxBackgroundColourId).withAlpha (isBar ? 0.7f : 1.0f));
    label.setColour (juce::TextEditor::outlineColourId, slider.findColour (juce::Slider::textBoxOutlineColourId));
}

} // namespace oskelgui
