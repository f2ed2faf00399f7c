#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

namespace oskelgui
{

/** Where drawToggleButton puts the tick box and the text of a toggle button of the size. */
struct ToggleButtonLayout
{
    juce::Rectangle<int> tickBox;
    juce::Rectangle<int> text;
};

/** The layout of a toggle button's tick box (4 pixels from the left, centred vertically, at
    most 20 pixels square) and of its text, to the right of the box. */
ToggleButtonLayout getToggleButtonLayout (int width, int height) noexcept;

/** Tooltip bounds for laid-out text of the size, placed away from the centre of the
    parent area as seen from the mouse and kept within the area. */
juce::Rectangle<int> getTooltipBoundsForTextSize (float textWidth, float textHeight,
                                                  juce::Point<int> screenPos,
                                                  juce::Rectangle<int> parentArea) noexcept;

/** The drawing shared by both general look-and-feels, on top of a JUCE look-and-feel. */
template <typename Base>
class Zelm4LookAndFeelCommon : public Base
{
public:
    /** Sets the family's colours of tooltips, buttons, text editors and combo boxes. */
    Zelm4LookAndFeelCommon();

    /** Destructor. */
    ~Zelm4LookAndFeelCommon() override = default;

    /** Draws the tick box and the text where getToggleButtonLayout() puts them. */
    void drawToggleButton (juce::Graphics&, juce::ToggleButton&,
                           bool shouldDrawButtonAsHighlighted, bool shouldDrawButtonAsDown) override;

    /** A glass sphere on a fixed light grey, whatever the button's colours, with a black tick
        when ticked; greyed when disabled. */
    void drawTickBox (juce::Graphics&, juce::Component&, float x, float y, float w, float h,
                      bool ticked, bool isEnabled,
                      bool shouldDrawButtonAsHighlighted, bool shouldDrawButtonAsDown) override;

    /** A bar slider as a shiny bar up to its value; any other linear slider as its groove
        and thumb. */
    void drawLinearSlider (juce::Graphics&, int x, int y, int width, int height,
                           float sliderPos, float minSliderPos, float maxSliderPos,
                           juce::Slider::SliderStyle, juce::Slider&) override;

    /** The slider's groove in its track colour: a rounded indent, or an ellipse for a bar slider. */
    void drawLinearSliderBackground (juce::Graphics&, int x, int y, int width, int height,
                                     float sliderPos, float minSliderPos, float maxSliderPos,
                                     juce::Slider::SliderStyle, juce::Slider&) override;

    /** A label with centred 12-point text in the slider's text-box colours. */
    juce::Label* createSliderTextBox (juce::Slider&) override;

    /** Room for the tip in bold 13-point lines of at most 400 pixels, placed as
        getTooltipBoundsForTextSize() says. */
    juce::Rectangle<int> getTooltipBounds (const juce::String& tipText, juce::Point<int> screenPos,
                                           juce::Rectangle<int> parentArea) override;

    /** JUCE's V2 outline, in both versions. */
    void drawGroupComponentOutline (juce::Graphics&, int width, int height, const juce::String& text,
                                    const juce::Justification&, juce::GroupComponent&) override;
};

extern template class Zelm4LookAndFeelCommon<juce::LookAndFeel_V2>;
extern template class Zelm4LookAndFeelCommon<juce::LookAndFeel_V3>;

/** The general look-and-feel on JUCE's V2 look. */
class Zelm4LookAndFeelV2 : public Zelm4LookAndFeelCommon<juce::LookAndFeel_V2>
{
public:
    /** Creates the look. */
    Zelm4LookAndFeelV2() = default;

    /** Destructor. */
    ~Zelm4LookAndFeelV2() override = default;
};

/** The general look-and-feel on JUCE's V3 look, with its own fonts and rotary knobs. */
class Zelm4LookAndFeelV3 : public Zelm4LookAndFeelCommon<juce::LookAndFeel_V3>
{
public:
    /** Creates the look. */
    Zelm4LookAndFeelV3() = default;

    /** Destructor. */
    ~Zelm4LookAndFeelV3() override = default;

    /** Arial, 12 points, whatever the button's height. */
    juce::Font getTextButtonFont (juce::TextButton&, int buttonHeight) override;

    /** Lucida Grande, 13 points, or the face that makeFont() puts in its place. */
    juce::Font getPopupMenuFont() override;

    /** Lucida Grande, 13 points, as getPopupMenuFont(). */
    juce::Font getComboBoxFont (juce::ComboBox&) override;

    /** An arc filled from the start to the value, a pointer and the outline of the whole
        travel; a small knob (radius 12 pixels or less) as a ring with a pointer. */
    void drawRotarySlider (juce::Graphics&, int x, int y, int width, int height, float sliderPos,
                           float rotaryStartAngle, float rotaryEndAngle, juce::Slider&) override;
};

} // namespace oskelgui
