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
    Zelm4LookAndFeelCommon();
    ~Zelm4LookAndFeelCommon() override = default;

    void drawToggleButton (juce::Graphics&, juce::ToggleButton&,
                           bool shouldDrawButtonAsHighlighted, bool shouldDrawButtonAsDown) override;

    void drawTickBox (juce::Graphics&, juce::Component&, float x, float y, float w, float h,
                      bool ticked, bool isEnabled,
                      bool shouldDrawButtonAsHighlighted, bool shouldDrawButtonAsDown) override;

    void drawLinearSlider (juce::Graphics&, int x, int y, int width, int height,
                           float sliderPos, float minSliderPos, float maxSliderPos,
                           juce::Slider::SliderStyle, juce::Slider&) override;

    void drawLinearSliderBackground (juce::Graphics&, int x, int y, int width, int height,
                                     float sliderPos, float minSliderPos, float maxSliderPos,
                                     juce::Slider::SliderStyle, juce::Slider&) override;

    juce::Label* createSliderTextBox (juce::Slider&) override;

    juce::Rectangle<int> getTooltipBounds (const juce::String& tipText, juce::Point<int> screenPos,
                                           juce::Rectangle<int> parentArea) override;

    void drawGroupComponentOutline (juce::Graphics&, int width, int height, const juce::String& text,
                                    const juce::Justification&, juce::GroupComponent&) override;
};

extern template class Zelm4LookAndFeelCommon<juce::LookAndFeel_V2>;
extern template class Zelm4LookAndFeelCommon<juce::LookAndFeel_V3>;

/** The general look-and-feel on JUCE's V2 look. */
class Zelm4LookAndFeelV2 : public Zelm4LookAndFeelCommon<juce::LookAndFeel_V2>
{
public:
    Zelm4LookAndFeelV2() = default;
    ~Zelm4LookAndFeelV2() override = default;
};

/** The general look-and-feel on JUCE's V3 look, with its own fonts and rotary knobs. */
class Zelm4LookAndFeelV3 : public Zelm4LookAndFeelCommon<juce::LookAndFeel_V3>
{
public:
    Zelm4LookAndFeelV3() = default;
    ~Zelm4LookAndFeelV3() override = default;

    juce::Font getTextButtonFont (juce::TextButton&, int buttonHeight) override;
    juce::Font getPopupMenuFont() override;
    juce::Font getComboBoxFont (juce::ComboBox&) override;

    void drawRotarySlider (juce::Graphics&, int x, int y, int width, int height, float sliderPos,
                           float rotaryStartAngle, float rotaryEndAngle, juce::Slider&) override;
};

} // namespace oskelgui
