#include "gui/MeterChannelComponent.h"

#include "gui/GuiHelpers.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace oskelgui
{

MeterChannelComponent::MeterChannelComponent (unsigned numLeds, unsigned width)
    : nameFont (makeFont ("Arial", "bold", 12.0f)),
      readoutFont (makeFont ("Arial", "plain", 9.0f))
{
    muteLookAndFeel = std::make_unique<MeterLookAndFeel>();
    soloLookAndFeel = std::make_unique<MeterLookAndFeel>();
    meter = std::make_unique<MeterComponent> (numLeds, width);
    muteButton = std::make_unique<juce::TextButton> ("M");
    soloButton = std::make_unique<juce::TextButton> ("S");

    const int mw = meter->getWidth();
    const int mh = meter->getHeight();
    setSize (mw, mh + 60);
    meter->setBounds (0, 16, mw, mh);
    muteButton->setBounds (1, mh + 32, mw - 2, 13);
    soloButton->setBounds (1, mh + 46, mw - 2, 13);

    muteButton->setClickingTogglesState (true);
    soloButton->setClickingTogglesState (true);

    muteLookAndFeel->setColour (juce::TextButton::buttonOnColourId, juce::Colour (0xff93bbffu));
    soloLookAndFeel->setColour (juce::TextButton::buttonOnColourId, juce::Colour (0xffefff00u));
    for (auto* lf : { muteLookAndFeel.get(), soloLookAndFeel.get() })
    {
        lf->setColour (juce::TextButton::buttonColourId, juce::Colours::black);
        lf->setColour (juce::TextButton::textColourOffId, juce::Colours::white);
    }

    soloButton->setLookAndFeel (soloLookAndFeel.get());
    muteButton->setLookAndFeel (muteLookAndFeel.get());
    muteButton->addListener (this);
    soloButton->addListener (this);

    addAndMakeVisible (*meter);
    addAndMakeVisible (*muteButton);
    addAndMakeVisible (*soloButton);

    setBufferedToImage (false);
    setPaintingIsUnclipped (true);
    setBroughtToFrontOnMouseClick (true);
    setWantsKeyboardFocus (false);
    toFront (true);
    setAlwaysOnTop (true);
}

MeterChannelComponent::~MeterChannelComponent()
{
    muteButton->removeListener (this);
    soloButton->removeListener (this);

    // Each button goes before the look-and-feel it refers to.
    meter.reset();
    muteButton.reset();
    soloButton.reset();
    soloLookAndFeel.reset();
    muteLookAndFeel.reset();
}

juce::Rectangle<int> MeterChannelComponent::getReadoutArea() const noexcept
{
    return { 1, 1, getWidth() - 2, 14 };
}

bool MeterChannelComponent::isReadoutDue() const noexcept
{
    // An unchanged readout is not repainted, so that an idle display paints nothing; a
    // readout shown or hidden since its last paint has changed, whatever its level.
    return samplesSinceReadout > readoutSamples
        && (level != levelAtReadoutPaint || showReadout != readoutShownAtPaint);
}

void MeterChannelComponent::setLevel (float dB)
{
    const float clamped = std::isnan (dB) ? -60.0f : std::clamp (dB, -60.0f, 6.0f);
    meter->setLevel (clamped);

    level = (float) std::lrint (clamped * 10.0f) * 0.1f;

    if (isReadoutDue())
        repaint (getReadoutArea());
}

void MeterChannelComponent::addListener (Listener* listener)
{
    if (listener == nullptr || listeners.Contains (listener))
        return;

    listeners.PushBack (listener);
}

void MeterChannelComponent::removeListener (Listener* listener)
{
    auto* found = std::find (listeners.begin(), listeners.end(), listener);

    if (found == listeners.end())
        return;

    std::move (found + 1, listeners.end(), found);
    listeners.Resize (listeners.Size() - 1);
}

void MeterChannelComponent::refresh()
{
    if (meter->needsRepaint())
        meter->repaint();

    if (isReadoutDue())
        repaint (getReadoutArea());
}

void MeterChannelComponent::setSampleRate (float rate)
{
    sampleRate = rate;
    readoutSamples = toSampleCount<std::uint32_t> (0.05f * rate);
    meter->setSampleRate (rate);
}

void MeterChannelComponent::setRefreshInterval (float ms)
{
    if (std::isnan (ms))
        return;

    // Unlike the meter's, this interval is not clamped: a negative one gives 0 samples
    // and a huge one the largest count.
    readoutSamples = toSampleCount<std::uint32_t> (sampleRate * (ms * 0.001f));
    meter->setRefreshInterval (ms);
}

void MeterChannelComponent::advance (unsigned numSamples)
{
    const auto room = std::numeric_limits<std::uint32_t>::max() - samplesSinceReadout;
    samplesSinceReadout += std::min<std::uint32_t> (numSamples, room);
    meter->advance (numSamples);
}

void MeterChannelComponent::resetLevel()
{
    level = -60.0f;
    meter->resetLevel();
}

void MeterChannelComponent::paint (juce::Graphics& g)
{
    const int w = getWidth();
    const int mh = meter->getHeight();

    if (showReadout)
    {
        g.setColour (level > 0.0f ? juce::Colour (0xffff0000u) : frameColour);
        g.drawRect (1, 1, w - 2, 14, 1);
    }

    g.setColour (frameColour);
    g.drawRect (1, mh + 17, w - 2, 14, 1);

    g.setColour (juce::Colours::white);

    if (showReadout)
    {
        readoutText.draw (g, juce::String (level, 1), readoutFont, { 1, 1, w - 2, 13 });
    }

    nameText.draw (g, name, nameFont, { 1, mh + 17, w - 2, 13 });

    samplesSinceReadout = 0;

    // A paint for the meter alone leaves the readout on screen as it was.
    if (g.clipRegionIntersects (getReadoutArea()))
    {
        levelAtReadoutPaint = level;
        readoutShownAtPaint = showReadout;
    }
}

// Laid out as Graphics::drawText does: one line, centred, without ellipsis.
void MeterChannelComponent::LaidOutText::draw (juce::Graphics& g, const juce::String& newText,
                                               const juce::Font& newFont, juce::Rectangle<int> newArea)
{
    if (newText.isEmpty() || ! g.clipRegionIntersects (newArea))
        return;

    if (! isValid || newText != text || newFont != font || newArea != area)
    {
        text = newText;
        font = newFont;
        area = newArea;
        isValid = true;

        const auto box = area.toFloat();
        glyphs.clear();
        glyphs.addCurtailedLineOfText (font, text, 0.0f, 0.0f, box.getWidth(), false);
        glyphs.justifyGlyphs (0, glyphs.getNumGlyphs(), box.getX(), box.getY(), box.getWidth(), box.getHeight(),
                              juce::Justification::centred);
    }

    glyphs.draw (g);
}

void MeterChannelComponent::buttonClicked (juce::Button* button)
{
    if (button != muteButton.get() && button != soloButton.get())
        return;

    // By index, so that a listener that removes itself cannot invalidate the walk.
    for (size_t i = 0; i < listeners.Size(); ++i)
        listeners[i]->channelButtonClicked (index);
}

} // namespace oskelgui
