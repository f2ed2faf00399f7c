#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

namespace oskelgui
{

/** The look of the channel strips' "M" and "S" buttons and of the gain slider with its text box. */
class MeterLookAndFeel : public juce::LookAndFeel_V2
{
public:
    /** Creates the look with black buttons, white text, and a light blue when on. */
    MeterLookAndFeel();

    /** Destructor. */
    ~MeterLookAndFeel() override;

    /** Fills the button with this look's own on- or off-colour (not the button's), framed in
        white when on, else in frameColour; the frame is 2 pixels wide under the mouse. */
    void drawButtonBackground (juce::Graphics&, juce::Button&, const juce::Colour& backgroundColour,
                               bool shouldDrawButtonAsHighlighted, bool shouldDrawButtonAsDown) override;

    /** A MeterSliderLabelComp with centred 9-point text and almost no margins, so that a value
        such as -12.3 fits a box as narrow as a strip. */
    juce::Label* createSliderTextBox (juce::Slider&) override;

    /** Draws the label's text (hidden while it is edited) and its outline. */
    void drawLabel (juce::Graphics&, juce::Label&) override;

    /** Draws the slider's groove; on a vertical slider the part below the thumb is filled in
        valueColour. */
    void drawLinearSliderBackground (juce::Graphics&, int x, int y, int width, int height,
                                     float sliderPos, float minSliderPos, float maxSliderPos,
                                     juce::Slider::SliderStyle, juce::Slider&) override;

    /** 7 pixels, for every slider. */
    int getSliderThumbRadius (juce::Slider&) override;

    /** The frame of a button that is off. */
    static constexpr juce::uint32 frameColour = 0xff797979u;

    /** The filled part of a vertical slider's groove. */
    static constexpr juce::uint32 valueColour = 0xff4db5e9u;
};

/** The gain slider's text box: wheel movements over it are dropped, neither handled
    here nor passed on to the slider. */
class MeterSliderLabelComp : public juce::Label
{
public:
    /** Creates an empty, unnamed label. */
    MeterSliderLabelComp();

    /** Destructor. */
    ~MeterSliderLabelComp() override;

    /** Does nothing: the wheel does not move the slider through its text box. */
    void mouseWheelMove (const juce::MouseEvent&, const juce::MouseWheelDetails&) override;
};

} // namespace oskelgui
