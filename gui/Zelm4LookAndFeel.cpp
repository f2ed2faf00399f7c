#include "gui/Zelm4LookAndFeel.h"

#include "gui/GuiHelpers.h"

namespace oskelgui
{
namespace
{
juce::Colour createBaseColour (juce::Colour buttonColour, bool hasKeyboardFocus,
                               bool isHighlighted, bool isDown) noexcept
{
    const auto base = buttonColour.withMultipliedSaturation (hasKeyboardFocus ? 1.3f : 0.9f);

    if (isDown)
        return base.contrasting (0.2f);
    if (isHighlighted)
        return base.contrasting (0.1f);
    return base;
}

void drawShinyButtonShape (juce::Graphics& g, float x, float y, float w, float h, float maxCornerSize,
                           juce::Colour baseColour, float strokeWidth,
                           bool flatOnLeft, bool flatOnRight, bool flatOnTop, bool flatOnBottom)
{
    if (w <= strokeWidth * 1.1f || h <= strokeWidth * 1.1f)
        return;

    const auto cs = juce::jmin (maxCornerSize, w * 0.5f, h * 0.5f);

    juce::Path outline;
    outline.addRoundedRectangle (x, y, w, h, cs, cs,
                                 ! (flatOnLeft || flatOnTop), ! (flatOnRight || flatOnTop),
                                 ! (flatOnLeft || flatOnBottom), ! (flatOnRight || flatOnBottom));

    juce::ColourGradient cg (baseColour, 0.0f, y,
                             baseColour.overlaidWith (juce::Colour (0x070000ffu)), 0.0f, y + h, false);
    cg.addColour (0.5, baseColour.overlaidWith (juce::Colour (0x33ffffffu)));
    cg.addColour (0.51, baseColour.overlaidWith (juce::Colour (0x110000ffu)));

    g.setGradientFill (cg);
    g.fillPath (outline);

    g.setColour (juce::Colour (0x80000000u));
    g.strokePath (outline, juce::PathStrokeType (strokeWidth));
}

void setGeneralColours (juce::LookAndFeel& lf)
{
    lf.setColour (juce::TooltipWindow::backgroundColourId, juce::Colour (0xffbdbdbdu));
    lf.setColour (juce::TextButton::buttonColourId, juce::Colour (0xff909090u));
    lf.setColour (juce::TextButton::buttonOnColourId, juce::Colour (0xffbdbdbdu));
    lf.setColour (juce::TextEditor::focusedOutlineColourId, juce::Colour (0xff545454u));
    lf.setColour (juce::ComboBox::backgroundColourId, juce::Colour (0xffdbdbdbu));
    lf.setColour (juce::ComboBox::buttonColourId, juce::Colour (0xffaaaaaau));
    lf.setColour (juce::ComboBox::arrowColourId, juce::Colour (0xff545454u));
    lf.setColour (juce::ComboBox::outlineColourId, juce::Colour (0xff000000u));
}
} // namespace

ToggleButtonLayout getToggleButtonLayout (int width, int height) noexcept
{
    const int tickWidth = juce::jmin (height - 4, 20);

    return { { 4, (height - tickWidth) / 2, tickWidth, tickWidth },
             { tickWidth + 5, 4, juce::jmax (1, width - tickWidth - 7), juce::jmax (1, height - 8) } };
}

juce::Rectangle<int> getTooltipBoundsForTextSize (float textWidth, float textHeight,
                                                  juce::Point<int> screenPos,
                                                  juce::Rectangle<int> parentArea) noexcept
{
    const auto w = (int) (textWidth + 14.0f);
    const auto h = (int) (textHeight + 10.0f);

    return juce::Rectangle<int> (screenPos.x > parentArea.getCentreX() ? screenPos.x - (w + 12) : screenPos.x + 24,
                                 screenPos.y > parentArea.getCentreY() ? screenPos.y - (h + 6) : screenPos.y + 6,
                                 w, h)
        .constrainedWithin (parentArea);
}

template <typename Base>
Zelm4LookAndFeelCommon<Base>::Zelm4LookAndFeelCommon()
{
    setGeneralColours (*this);
}

template <typename Base>
void Zelm4LookAndFeelCommon<Base>::drawToggleButton (juce::Graphics& g, juce::ToggleButton& button,
                                                     bool isHighlighted, bool isDown)
{
    const auto layout = getToggleButtonLayout (button.getWidth(), button.getHeight());

    drawTickBox (g, button, (float) layout.tickBox.getX(), (float) layout.tickBox.getY(),
                 (float) layout.tickBox.getWidth(), (float) layout.tickBox.getHeight(),
                 button.getToggleState(), button.isEnabled(), isHighlighted, isDown);

    g.setColour (button.findColour (juce::ToggleButton::textColourId));
    g.setFont (juce::jmin ((float) button.getHeight() * 0.6f, 15.0f));

    if (! button.isEnabled())
        g.setOpacity (0.5f);

    if (button.getButtonText().isNotEmpty())
        g.drawFittedText (button.getButtonText(), layout.text, juce::Justification::centredLeft, 10);
}

template <typename Base>
void Zelm4LookAndFeelCommon<Base>::drawTickBox (juce::Graphics& g, juce::Component&,
                                                float x, float y, float w, float h,
                                                bool ticked, bool isEnabled, bool isHighlighted, bool isDown)
{
    const float boxSize = w * 0.7f;

    // A fixed light base, whatever the button's own colours, so tick boxes look alike everywhere.
    const auto base = createBaseColour (juce::Colour (0xffdbdbdbu).withMultipliedAlpha (isEnabled ? 1.0f : 0.5f),
                                        true, isHighlighted, isDown);

    juce::LookAndFeel_V2::drawGlassSphere (g, x, y + (h - boxSize) * 0.5f, boxSize, base,
                                           isEnabled ? ((isDown || isHighlighted) ? 1.1f : 0.5f) : 0.3f);

    if (ticked)
    {
        juce::Path tick;
        tick.startNewSubPath (1.5f, 3.0f);
        tick.lineTo (3.0f, 6.0f);
        tick.lineTo (6.0f, 0.0f);

        g.setColour (isEnabled ? juce::Colours::black : juce::Colour (0xff808080u));
        g.strokePath (tick, juce::PathStrokeType (2.5f),
                      juce::AffineTransform::scale (w / 9.0f, h / 9.0f).translated (x, y));
    }
}

template <typename Base>
void Zelm4LookAndFeelCommon<Base>::drawLinearSlider (juce::Graphics& g, int x, int y, int width, int height,
                                                     float sliderPos, float minSliderPos, float maxSliderPos,
                                                     juce::Slider::SliderStyle style, juce::Slider& slider)
{
    g.fillAll (slider.findColour (juce::Slider::backgroundColourId));

    if (style == juce::Slider::LinearBar)
    {
        const bool isMouseOver = slider.isMouseOverOrDragging() && slider.isEnabled();
        const auto base = createBaseColour (slider.findColour (juce::Slider::thumbColourId)
                                                .withMultipliedSaturation (slider.isEnabled() ? 1.0f : 0.5f),
                                            false, isMouseOver, isMouseOver || slider.isMouseButtonDown());

        drawShinyButtonShape (g, (float) x, (float) y, sliderPos - (float) x, (float) height, 0.0f, base,
                              slider.isEnabled() ? 0.9f : 0.3f, true, true, true, true);
        return;
    }

    drawLinearSliderBackground (g, x, y, width, height, sliderPos, minSliderPos, maxSliderPos, style, slider);
    this->drawLinearSliderThumb (g, x, y, width, height, sliderPos, minSliderPos, maxSliderPos, style, slider);
}

template <typename Base>
void Zelm4LookAndFeelCommon<Base>::drawLinearSliderBackground (juce::Graphics& g, int x, int y, int width, int height,
                                                               float, float, float,
                                                               juce::Slider::SliderStyle style, juce::Slider& slider)
{
    const auto r = (float) (this->getSliderThumbRadius (slider) - 2);
    const auto trackColour = slider.findColour (juce::Slider::trackColourId);
    const auto c1 = trackColour.overlaidWith (juce::Colours::black.withAlpha (slider.isEnabled() ? 0.25f : 0.13f));
    const auto c2 = trackColour.overlaidWith (juce::Colour (0x14000000u));
    const auto fx = (float) x, fy = (float) y, fw = (float) width, fh = (float) height;

    if (style == juce::Slider::LinearBar)
    {
        juce::Path ellipse;

        if (width > height)
        {
            const auto cy = fy + fh * 0.5f;
            ellipse.addEllipse (fx, cy, fw, r);
            g.setGradientFill (juce::ColourGradient (c1, 0.0f, cy, c2, 0.0f, cy + r, false));
            g.fillPath (ellipse);

            g.setColour (juce::Colours::black.withAlpha (0.5f));
            g.drawRect (x, y, width, height, 1);
        }
        else
        {
            const auto cx = fx + fw * 0.5f;
            ellipse.addEllipse (cx, fy, r, fh);
            g.setGradientFill (juce::ColourGradient (c1, cx, 0.0f, c2, cx + r, 0.0f, false));
            g.fillPath (ellipse);
        }

        g.setColour (slider.findColour (juce::Slider::thumbColourId));
        g.strokePath (ellipse, juce::PathStrokeType (0.5f));
        return;
    }

    juce::Path indent;

    if (slider.isHorizontal())
    {
        const auto iy = fy + fh * 0.5f - r * 0.5f;
        g.setGradientFill (juce::ColourGradient::vertical (c1, iy, c2, iy + r));
        indent.addRoundedRectangle (fx - r * 0.5f, iy, fw + r, r, 5.0f);
    }
    else
    {
        const auto ix = fx + fw * 0.5f - r * 0.5f;
        g.setGradientFill (juce::ColourGradient::horizontal (c1, ix, c2, ix + r));
        indent.addRoundedRectangle (ix, fy - r * 0.5f, r, fh + r, 5.0f);
    }

    g.fillPath (indent);
    g.setColour (juce::Colour (0x4c000000u));
    g.strokePath (indent, juce::PathStrokeType (0.5f));
}

template <typename Base>
juce::Label* Zelm4LookAndFeelCommon<Base>::createSliderTextBox (juce::Slider& slider)
{
    auto* label = new juce::Label ("n", {});

    label->setFont (juce::Font (12.0f));
    label->setJustificationType (juce::Justification::centred);
    setSliderTextBoxColours (*label, slider);
    return label;
}

template <typename Base>
juce::Rectangle<int> Zelm4LookAndFeelCommon<Base>::getTooltipBounds (const juce::String& tipText,
                                                                     juce::Point<int> screenPos,
                                                                     juce::Rectangle<int> parentArea)
{
    juce::AttributedString text;
    text.setJustification (juce::Justification::centred);
    text.append (tipText, juce::Font (13.0f, juce::Font::bold), juce::Colours::black);

    juce::TextLayout layout;
    layout.createLayoutWithBalancedLineLengths (text, 400.0f);

    return getTooltipBoundsForTextSize (layout.getWidth(), layout.getHeight(), screenPos, parentArea);
}

template <typename Base>
void Zelm4LookAndFeelCommon<Base>::drawGroupComponentOutline (juce::Graphics& g, int width, int height,
                                                              const juce::String& text,
                                                              const juce::Justification& position,
                                                              juce::GroupComponent& group)
{
    juce::LookAndFeel_V2::drawGroupComponentOutline (g, width, height, text, position, group);
}

template class Zelm4LookAndFeelCommon<juce::LookAndFeel_V2>;
template class Zelm4LookAndFeelCommon<juce::LookAndFeel_V3>;

//==============================================================================
juce::Font Zelm4LookAndFeelV3::getTextButtonFont (juce::TextButton&, int)
{
    return makeFont ("Arial", "plain", 12.0f);
}

juce::Font Zelm4LookAndFeelV3::getPopupMenuFont()
{
    return makeFont ("Lucida Grande", "plain", 13.0f);
}

juce::Font Zelm4LookAndFeelV3::getComboBoxFont (juce::ComboBox&)
{
    return makeFont ("Lucida Grande", "plain", 13.0f);
}

void Zelm4LookAndFeelV3::drawRotarySlider (juce::Graphics& g, int x, int y, int width, int height, float sliderPos,
                                           float rotaryStartAngle, float rotaryEndAngle, juce::Slider& slider)
{
    const int radius = juce::jmin (width / 2, height / 2) - 2;
    const auto r = (float) radius;
    const auto centreX = (float) x + (float) width * 0.5f;
    const auto centreY = (float) y + (float) height * 0.5f;
    const auto angle = rotaryStartAngle + sliderPos * (rotaryEndAngle - rotaryStartAngle);
    const bool enabled = slider.isEnabled();
    const bool isMouseOver = slider.isMouseOverOrDragging() && enabled;
    const auto disabledColour = juce::Colour (0x80808080u);
    const auto placement = juce::AffineTransform::rotation (angle).translated (centreX, centreY);

    if (radius <= 12)
    {
        g.setColour (enabled ? slider.findColour (juce::Slider::rotarySliderFillColourId).withAlpha (isMouseOver ? 1.0f : 0.7f)
                             : disabledColour);

        juce::Path knob;
        knob.addEllipse (-0.8f * r, -0.8f * r, 1.6f * r, 1.6f * r);
        juce::PathStrokeType (0.2f * r).createStrokedPath (knob, knob);
        knob.addLineSegment (juce::Line<float> (0.0f, 0.0f, 0.0f, -r), 0.4f * r);
        g.fillPath (knob, placement);
        return;
    }

    const auto fillColour = enabled ? slider.findColour (juce::Slider::rotarySliderFillColourId).withAlpha (isMouseOver ? 1.0f : 0.6f)
                                    : disabledColour;
    g.setColour (fillColour);

    juce::Path filledArc;
    filledArc.addPieSegment (centreX - r, centreY - r, 2.0f * r, 2.0f * r, rotaryStartAngle, angle, 0.7f);
    g.fillPath (filledArc);

    juce::Path pointer;
    pointer.startNewSubPath (0.0f, 0.0f);
    pointer.lineTo (0.0f, -r);
    g.strokePath (pointer, juce::PathStrokeType (enabled ? 2.2f : 1.3f), placement);

    g.setColour (enabled ? slider.findColour (juce::Slider::rotarySliderOutlineColourId) : disabledColour);

    juce::Path outlineArc;
    outlineArc.addPieSegment (centreX - r, centreY - r, 2.0f * r, 2.0f * r, rotaryStartAngle, rotaryEndAngle, 0.7f);
    outlineArc.closeSubPath();
    g.strokePath (outlineArc, juce::PathStrokeType (enabled ? 1.2f : 0.3f));
}

} // namespace oskelgui
