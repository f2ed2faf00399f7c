#include "gui/MultiMeterComponent.h"

#include "gui/GuiHelpers.h"

#include <algorithm>
#include <cmath>

namespace oskelgui
{
namespace
{
// Positions of the scale lines on the slider's -60 .. +6 dB travel: 0, -6, -9, -12, -18, -24 and -60 dB.
constexpr float scaleFractions[] = { 0.90909094f, 0.8181819f, 0.7727273f, 0.72727275f,
                                     0.6363636f, 0.54545456f, 0.0f };
} // namespace

MultiMeterComponent::dBSlider::dBSlider (const juce::String& componentName)
    : juce::Slider (componentName)
{
}

MultiMeterComponent::dBSlider::~dBSlider() = default;

juce::String MultiMeterComponent::dBSlider::getTextFromValue (double value)
{
    return juce::String (value, 1) + getTextValueSuffix();
}

//==============================================================================
MultiMeterComponent::MultiMeterComponent (unsigned numChannelsToUse, unsigned numLeds, unsigned width)
    : Component (std::string()),
      numChannels (std::max (numChannelsToUse, 1u))
{
    channels.Resize (numChannels);

    for (std::uint32_t i = 0; i < numChannels; ++i)
    {
        channels[i] = std::make_unique<MeterChannelComponent> (numLeds, width);
        channels[i]->setIndex (i);
        channels[i]->setChannelName (juce::String (i + 1));
        channels[i]->repaint();
    }

    const int sw = channels[0]->getWidth();
    const int sh = channels[0]->getHeight();
    setSize (sw * ((int) numChannels + 1), sh);

    for (std::uint32_t i = 0; i < numChannels; ++i)
    {
        channels[i]->setBounds (sw * ((int) i + 1), 0, sw, sh);
        addAndMakeVisible (*channels[i]);
    }

    const auto& meter = channels[0]->getMeter();
    const int mw = meter.getWidth();
    const int mh = meter.getHeight();
    const auto stripMute = channels[0]->getMuteButton().getBounds();

    masterMuteButton = std::make_unique<juce::TextButton> ("M");
    masterMuteButton->setBounds (stripMute.withX (1));
    masterMuteButton->setClickingTogglesState (true);
    masterMuteButton->addListener (this);
    lookAndFeel.setColour (juce::TextButton::buttonOnColourId, juce::Colour (0xff93bbffu));
    lookAndFeel.setColour (juce::TextButton::buttonColourId, juce::Colours::black);
    lookAndFeel.setColour (juce::TextButton::textColourOffId, juce::Colours::white);
    masterMuteButton->setLookAndFeel (&lookAndFeel);
    addAndMakeVisible (*masterMuteButton);

    gainSlider = std::make_unique<dBSlider> ("gain");
    gainSlider->setBounds (0, 12, mw, (int) ((float) (stripMute.getHeight() + mh + 2) + 3.5f));
    gainSlider->setRange (-60.0, 6.0, 0.25);
    gainSlider->setSliderStyle (juce::Slider::LinearVertical);
    gainSlider->setTextBoxStyle (juce::Slider::TextBoxBelow, false, stripMute.getWidth(), stripMute.getHeight());
    gainSlider->setTextBoxIsEditable (true);
    gainSlider->setMouseDragSensitivity ((int) ((float) gainSlider->getHeight() * 1.5f));
    gainSlider->setSliderSnapsToMousePosition (false);
    gainSlider->setLookAndFeel (&lookAndFeel);
    gainSlider->setDoubleClickReturnValue (true, 0.0);
    gainSlider->toFront (true);
    addAndMakeVisible (*gainSlider);

    setBufferedToImage (false);
    setPaintingIsUnclipped (true);
}

MultiMeterComponent::~MultiMeterComponent()
{
    masterMuteButton->removeListener (this);

    for (auto& channel : channels)
        channel.reset();

    masterMuteButton.reset();
    gainSlider.reset();
}

MeterChannelComponent* MultiMeterComponent::findChannel (unsigned channel) const noexcept
{
    return channel < numChannels ? channels[channel].get() : nullptr;
}

void MultiMeterComponent::setDrawingMode (const std::string& mode)
{
    for (auto& channel : channels)
        channel->getMeter().setDrawingMode (mode);
}

void MultiMeterComponent::setShowRms (bool shouldShow)
{
    for (auto& channel : channels)
        channel->setShowReadout (shouldShow);
}

bool MultiMeterComponent::getMute (unsigned channel) const
{
    auto* strip = findChannel (channel);
    return strip != nullptr && strip->getMuteButton().getToggleState();
}

bool MultiMeterComponent::getSolo (unsigned channel) const
{
    auto* strip = findChannel (channel);
    return strip != nullptr && strip->getSoloButton().getToggleState();
}

void MultiMeterComponent::setMute (unsigned channel, bool on, juce::NotificationType notification)
{
    JUCE_ASSERT_MESSAGE_THREAD

    if (auto* strip = findChannel (channel))
        strip->getMuteButton().setToggleState (on, notification);
}

void MultiMeterComponent::setSolo (unsigned channel, bool on, juce::NotificationType notification)
{
    JUCE_ASSERT_MESSAGE_THREAD

    if (auto* strip = findChannel (channel))
        strip->getSoloButton().setToggleState (on, notification);
}

void MultiMeterComponent::clearSolo (juce::NotificationType notification)
{
    JUCE_ASSERT_MESSAGE_THREAD

    for (auto& channel : channels)
        channel->getSoloButton().setToggleState (false, notification);
}

void MultiMeterComponent::setMasterMute (bool on, juce::NotificationType notification)
{
    JUCE_ASSERT_MESSAGE_THREAD

    masterMuteButton->setToggleState (on, notification);
}

bool MultiMeterComponent::getMasterMute() const
{
    return masterMuteButton->getToggleState();
}

void MultiMeterComponent::setGain (float dB, juce::NotificationType notification)
{
    JUCE_ASSERT_MESSAGE_THREAD

    if (std::isfinite (dB))
        gainSlider->setValue (dB, notification);
}

float MultiMeterComponent::getGain() const
{
    return (float) gainSlider->getValue();
}

void MultiMeterComponent::setLevels (const float* levels)
{
    if (levels == nullptr)
        return;

    for (std::uint32_t i = 0; i < numChannels; ++i)
        channels[i]->setLevel (levels[i]);
}

void MultiMeterComponent::setSampleRate (float rate)
{
    for (auto& channel : channels)
        channel->setSampleRate (rate);
}

void MultiMeterComponent::advance (unsigned numSamples)
{
    for (auto& channel : channels)
        channel->advance (numSamples);
}

void MultiMeterComponent::setRefreshInterval (float ms)
{
    for (auto& channel : channels)
        channel->setRefreshInterval (ms);
}

void MultiMeterComponent::setPeakHold (bool shouldHold)
{
    for (auto& channel : channels)
        channel->getMeter().setPeakHold (shouldHold);
}

void MultiMeterComponent::setPeakHoldTime (float ms)
{
    for (auto& channel : channels)
        channel->getMeter().setPeakHoldTime (ms);
}

void MultiMeterComponent::resetPeaks()
{
    for (auto& channel : channels)
        channel->getMeter().resetPeak();
}

void MultiMeterComponent::resetLevels()
{
    for (auto& channel : channels)
        channel->resetLevel();
}

void MultiMeterComponent::refresh()
{
    for (auto& channel : channels)
        channel->refresh();
}

void MultiMeterComponent::addListener (Listener* listener)
{
    for (auto& channel : channels)
        channel->addListener (listener);

    // JUCE's listener lists take no null entries.
    if (listener != nullptr)
        gainSlider->addListener (listener);
}

void MultiMeterComponent::removeListener (Listener* listener)
{
    if (listener == nullptr)
        return;

    for (auto& channel : channels)
        channel->removeListener (listener);

    gainSlider->removeListener (listener);
}

void MultiMeterComponent::setZoneColour (MeterComponent::Zone zone, double red, double green, double blue, double alpha)
{
    const auto colour = colourFromFloats (red, green, blue, alpha);

    for (auto& channel : channels)
    {
        channel->getMeter().setZoneColour (zone, colour);
        channel->getMeter().repaint();
    }
}

void MultiMeterComponent::setInactiveColour (double r, double g, double b, double a) { setZoneColour (MeterComponent::Zone::inactive, r, g, b, a); }
void MultiMeterComponent::setColdColour (double r, double g, double b, double a) { setZoneColour (MeterComponent::Zone::cold, r, g, b, a); }
void MultiMeterComponent::setTepidColour (double r, double g, double b, double a) { setZoneColour (MeterComponent::Zone::tepid, r, g, b, a); }
void MultiMeterComponent::setWarmColour (double r, double g, double b, double a) { setZoneColour (MeterComponent::Zone::warm, r, g, b, a); }
void MultiMeterComponent::setHotColour (double r, double g, double b, double a) { setZoneColour (MeterComponent::Zone::hot, r, g, b, a); }

std::vector<float> MultiMeterComponent::getScaleLineYs() const
{
    const int bottom = gainSlider->getHeight() + 16 - gainSlider->getTextBoxHeight() - 7;
    const int top = 23;

    std::vector<float> ys;
    ys.reserve (std::size (scaleFractions));

    for (const auto f : scaleFractions)
    {
        // Computed in single precision and truncated, so that 34.999996 gives 34.
        const float position = (float) bottom + f * (float) (top - bottom);
        ys.push_back ((float) (int) position - 3.5f);
    }

    return ys;
}

void MultiMeterComponent::paint (juce::Graphics& g)
{
    if (! isVisible())
        return;

    startPaintTiming();

    g.fillAll (juce::Colours::black);

    g.setColour (juce::Colour (0xff808080u));
    const auto sw = gainSlider->getWidth();

    for (const auto y : getScaleLineYs())
        g.drawLine ((float) (sw / 2 + 7), y, (float) sw, y, 1.0f);

    endPaintTiming();
}

void MultiMeterComponent::buttonClicked (juce::Button* button)
{
    if (button != masterMuteButton.get())
        return;

    const bool on = masterMuteButton->getToggleState();

    for (auto& channel : channels)
        channel->getMuteButton().setToggleState (on, juce::sendNotification);
}

} // namespace oskelgui
