#include "gui/MeterLookAndFeel.h"

#include "gui/GuiHelpers.h"

namespace oskelgui
{

MeterLookAndFeel::MeterLookAndFeel()
{
    setColour (juce::TextButton::buttonColourId, juce::Colours::black);
    setColour (juce::TextButton::buttonOnColourId, juce::Colour (0xff93bbffu));
    setColour (juce::TextButton::textColourOffId, juce::Colours::white);
    setColour (juce::TextButton::textColourOnId, juce::Colours::black);
}

MeterLookAndFeel::~MeterLookAndFeel() = default;

void MeterLookAndFeel::drawButtonBackground (juce::Graphics& g, juce::Button& button, const juce::Colour&,
                                             bool isHighlighted, bool isDown)
{
    const bool on = button.getToggleState();

    // This look-and-feel's own colours, so that each strip button keeps the on-colour of its look.
    g.setColour (findColour (on ? juce::TextButton::buttonOnColourId : juce::TextButton::buttonColourId));
    g.fillAll();

    g.setColour (on ? juce::Colours::white : juce::Colour (frameColour));
    g.drawRect (0, 0, button.getWidth(), button.getHeight(),
                button.isEnabled() && (isHighlighted || isDown) ? 2 : 1);
}

juce::Label* MeterLookAndFeel::createSliderTextBox (juce::Slider& slider)
{
    auto* label = new MeterSliderLabelComp();

    label->setJustificationType (juce::Justification::centred);
    // The box is as narrow as a strip: JUCE's side margins of 5 pixels would leave too
    // little room for a value such as -12.3, which would lose its last digits.
    label->setBorderSize ({ 1, 0, 1, 0 });
    setSliderTextBoxColours (*label, slider);
    label->setFont (juce::Font (9.0f));
    return label;
}

void MeterLookAndFeel::drawLabel (juce::Graphics& g, juce::Label& label)
{
    g.fillAll (label.findColour (juce::Label::backgroundColourId));

    if (! label.isBeingEdited())
    {
        const float alpha = label.isEnabled() ? 1.0f : 0.5f;

        g.setColour (label.findColour (juce::Label::textColourId).withMultipliedAlpha (alpha));
        g.setFont (label.getFont());
        g.drawText (label.getText(), label.getBorderSize().subtractedFrom (label.getLocalBounds()),
                    label.getJustificationType(), false);

        g.setColour (label.findColour (juce::Label::outlineColourId).withMultipliedAlpha (alpha));
    }
    else if (label.isEnabled())
    {
        g.setColour (label.findColour (juce::Label::outlineColourId));
    }

    g.drawRect (label.getLocalBounds());
}

int MeterLookAndFeel::getSliderThumbRadius (juce::Slider&)
{
    return 7;
}

void MeterLookAndFeel::drawLinearSliderBackground (juce::Graphics& g, int x, int y, int width, int height,
                                                   float sliderPos, float, float,
                                                   juce::Slider::SliderStyle, juce::Slider& slider)
{
    const auto r = (float) (getSliderThumbRadius (slider) - 2);
    const auto trackColour = slider.findColour (juce::Slider::trackColourId);
    const auto c1 = trackColour.overlaidWith (juce::Colours::black.withAlpha (slider.isEnabled() ? 0.25f : 0.13f));
    const auto c2 = trackColour.overlaidWith (juce::Colour (0x14000000u));
    const auto outline = juce::Colour (0x4c000000u);

    auto fillGroove = [&] (const juce::Path& groove)
    {
        g.fillPath (groove);
        g.setColour (outline);
        g.strokePath (groove, juce::PathStrokeType (0.5f));
    };

    if (slider.isHorizontal())
    {
        const auto iy = (float) y + (float) height * 0.5f - r * 0.5f;
        juce::Path groove;
        groove.addRoundedRectangle ((float) x - r * 0.5f, iy, (float) width + r, r, 5.0f);
        g.setGradientFill (juce::ColourGradient (c1, 0.0f, iy, c2, 0.0f, iy + r, false));
        fillGroove (groove);
        return;
    }

    const auto ix = (float) x + (float) width * 0.5f - r * 0.5f;

    juce::Path empty;
    empty.addRoundedRectangle (ix, (float) y - r * 0.5f, r, sliderPos - r * 0.5f, 5.0f);
    g.setGradientFill (juce::ColourGradient (c1, ix, 0.0f, c2, ix + r, 0.0f, false));
    fillGroove (empty);

    const auto value = juce::Colour (valueColour);
    juce::Path filled;
    filled.addRoundedRectangle (ix, (float) y + sliderPos - r, r, (float) height - sliderPos + 1.5f * r, 5.0f);
    g.setGradientFill (juce::ColourGradient (value, ix, 0.0f, value.overlaidWith (juce::Colours::black.withAlpha (0.25f)),
                                             ix + r, 0.0f, false));
    fillGroove (filled);
}

//==============================================================================
MeterSliderLabelComp::MeterSliderLabelComp()
    : juce::Label ({}, {})
{
}

MeterSliderLabelComp::~MeterSliderLabelComp() = default;

void MeterSliderLabelComp::mouseWheelMove (const juce::MouseEvent&, const juce::MouseWheelDetails&)
{
}

} // namespace oskelgui
