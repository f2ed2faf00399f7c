#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

namespace oskelgui
{

/** The look of the channel strips' "M" and "S" buttons and of the gain slider with its text box. */
class MeterLookAndFeel : public juce::LookAndFeel_V2
{
public:
    MeterLookAndFeel();
    ~MeterLookAndFeel() override;

    void drawButtonBackground (juce::Graphics&, juce::Button&, const juce::Colour& backgroundColour,
                               bool shouldDrawButtonAsHighlighted, bool shouldDrawButtonAsDown) override;

    juce::Label* createSliderTextBox (juce::Slider&) override;
    void drawLabel (juce::Graphics&, juce::Label&) override;

    void drawLinearSliderBackground (juce::Graphics&, int x, int y, int width, int height,
                                     float sliderPos, float minSliderPos, float maxSliderPos,
                                     juce::Slider::SliderStyle, juce::Slider&) override;

    int getSliderThumbRadius (juce::Slider&) override;

    static constexpr juce::uint32 frameColour = 0xff797979u;
    static constexpr juce::uint32 valueColour = 0xff4db5e9u;
};

/** The gain slider's text box: wheel movements over it are dropped, neither handled
    here nor passed on to the slider. */
class MeterSliderLabelComp : public juce::Label
{
public:
    MeterSliderLabelComp();
    ~MeterSliderLabelComp() override;

    void mouseWheelMove (const juce::MouseEvent&, const juce::MouseWheelDetails&) override;
};

} // namespace oskelgui
