#pragma once

#include "gui/MeterComponent.h"
#include "gui/MeterLookAndFeel.h"
#include "math/Vector.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <cstdint>
#include <memory>

namespace oskelgui
{

/** One column of the meter window: a dB readout, the LED meter, the channel's name
    and its mute "M" and solo "S" toggle buttons. */
class MeterChannelComponent : public juce::Component,
                              public juce::Button::Listener
{
public:
    /** Told when the strip's "M" or "S" was clicked; it reads both states itself. */
    class Listener
    {
    public:
        virtual ~Listener() = default;
        virtual void channelButtonClicked (unsigned channelIndex) = 0;
    };

    MeterChannelComponent (unsigned numLeds, unsigned width);
    ~MeterChannelComponent() override;

    /** Level from the mixer in dB, any value; shown clamped to -60 .. +6 dB to the nearest 0.1. */
    void setLevel (float dB);

    /** Appends a listener; null and one already present are ignored. Throws a
        kul::Exception, leaving the list as it was, when the list cannot grow. */
    void addListener (Listener* listener);
    void removeListener (Listener* listener);
    size_t getNumListeners() const noexcept { return listeners.Size(); }

    /** Once per display tick, after the level and the sample count were fed. */
    void refresh();

    void setSampleRate (float rate);
    void setRefreshInterval (float ms);
    void advance (unsigned numSamples);
    void resetLevel();
    void setShowReadout (bool shouldShow) noexcept { showReadout = shouldShow; }

    float getLevel() const noexcept { return level; }
    bool isShowingReadout() const noexcept { return showReadout; }
    std::uint32_t getReadoutSamples() const noexcept { return readoutSamples; }
    std::uint32_t getSamplesSinceReadout() const noexcept { return samplesSinceReadout; }
    float getSampleRate() const noexcept { return sampleRate; }

    /** The readout's box, which a change of its level or of its visibility repaints. */
    juce::Rectangle<int> getReadoutArea() const noexcept;

    MeterComponent& getMeter() noexcept { return *meter; }
    juce::TextButton& getMuteButton() noexcept { return *muteButton; }
    juce::TextButton& getSoloButton() noexcept { return *soloButton; }

    void setIndex (unsigned newIndex) noexcept { index = newIndex; }
    unsigned getIndex() const noexcept { return index; }
    void setChannelName (const juce::String& newName) { name = newName; }
    const juce::String& getChannelName() const noexcept { return name; }

    void paint (juce::Graphics&) override;
    void buttonClicked (juce::Button*) override;

private:
    std::unique_ptr<MeterComponent> meter;
    std::uint32_t index = 0;
    float level = -60.0f;
    bool showReadout = true;
    std::unique_ptr<juce::TextButton> muteButton;
    std::unique_ptr<juce::TextButton> soloButton;
    std::unique_ptr<MeterLookAndFeel> muteLookAndFeel;
    std::unique_ptr<MeterLookAndFeel> soloLookAndFeel;
    juce::String name;
    juce::Colour frameColour { 0xff797979u };
    juce::Font nameFont;
    juce::Font readoutFont;
    kul::Vector<Listener*> listeners;
    std::uint32_t samplesSinceReadout = 0;
    std::uint32_t readoutSamples = 2205;
    float sampleRate = 44100.0f;
    float levelAtReadoutPaint = -60.0f;
    bool readoutShownAtPaint = true;

    /** A line of text laid out once and drawn again while text, font and box stay the same:
        the window draws hundreds of names and readouts, more than JUCE's own layout cache keeps. */
    struct LaidOutText
    {
        void draw (juce::Graphics&, const juce::String& text, const juce::Font&, juce::Rectangle<int> area);

        juce::GlyphArrangement glyphs;
        juce::String text;
        juce::Font font;
        juce::Rectangle<int> area;
        bool isValid = false;
    };

    LaidOutText readoutText;
    LaidOutText nameText;

    bool isReadoutDue() const noexcept;

    JUCE_DECLARE_NON_COPYABLE (MeterChannelComponent)
};

} // namespace oskelgui
