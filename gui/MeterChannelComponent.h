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
        /** Destructor. */
        virtual ~Listener() = default;

        /** Called after the strip's "M" or "S" was clicked, or set with a notification;
            channelIndex is the strip's index. */
        virtual void channelButtonClicked (unsigned channelIndex) = 0;
    };

    /** Creates a strip around a meter of numLeds LEDs and width pixels (as limited by
        MeterComponent), 60 pixels taller than the meter, named "" and with index 0. */
    MeterChannelComponent (unsigned numLeds, unsigned width);

    /** Destructor. */
    ~MeterChannelComponent() override;

    /** Level from the mixer in dB, any value; shown clamped to -60 .. +6 dB to the nearest 0.1
        (NaN as -60). Repaints the readout when it changed and its interval has passed; the
        meter waits for refresh(). */
    void setLevel (float dB);

    /** Appends a listener; null and one already present are ignored. Throws a
        kul::Exception, leaving the list as it was, when the list cannot grow. */
    void addListener (Listener* listener);

    /** Removes a listener; one that is not in the list is ignored. */
    void removeListener (Listener* listener);

    /** Returns the number of listeners told of button clicks. */
    size_t getNumListeners() const noexcept { return listeners.Size(); }

    /** Once per display tick, after the level and the sample count were fed: repaints the
        meter when it is due (MeterComponent::needsRepaint()) and the readout when it changed
        and its interval has passed. */
    void refresh();

    /** The rate at which advance() counts samples, for the meter too; the readout's interval
        becomes 50 ms at that rate. Does not repaint. */
    void setSampleRate (float rate);

    /** The shortest time between two paints of a changed readout (not limited: a negative
        time gives no wait) and the meter's refresh interval; NaN is ignored. Does not repaint. */
    void setRefreshInterval (float ms);

    /** numSamples more samples have elapsed, for the readout and the meter. Does not repaint. */
    void advance (unsigned numSamples);

    /** Shows -60 dB and lights nothing, without repainting. */
    void resetLevel();

    /** Shows or hides the dB readout from the next readout paint on (see refresh()). */
    void setShowReadout (bool shouldShow) noexcept { showReadout = shouldShow; }

    /** Returns the level that the readout shows, in dB to the nearest 0.1. */
    float getLevel() const noexcept { return level; }

    /** Returns true when the dB readout is shown. */
    bool isShowingReadout() const noexcept { return showReadout; }

    /** Returns the shortest time between two readout paints, in samples. */
    std::uint32_t getReadoutSamples() const noexcept { return readoutSamples; }

    /** Returns the samples counted since the strip was last painted. */
    std::uint32_t getSamplesSinceReadout() const noexcept { return samplesSinceReadout; }

    /** Returns the rate at which advance() counts samples. */
    float getSampleRate() const noexcept { return sampleRate; }

    /** The readout's box, which a change of its level or of its visibility repaints. */
    juce::Rectangle<int> getReadoutArea() const noexcept;

    /** Returns the strip's LED meter. */
    MeterComponent& getMeter() noexcept { return *meter; }

    /** Returns the mute "M" toggle button; its state is the channel's mute. */
    juce::TextButton& getMuteButton() noexcept { return *muteButton; }

    /** Returns the solo "S" toggle button; its state is the channel's solo. */
    juce::TextButton& getSoloButton() noexcept { return *soloButton; }

    /** Sets the channel index that listeners are told of. */
    void setIndex (unsigned newIndex) noexcept { index = newIndex; }

    /** Returns the channel index that listeners are told of. */
    unsigned getIndex() const noexcept { return index; }

    /** Sets the name shown under the meter, from the next paint of the strip on. */
    void setChannelName (const juce::String& newName) { name = newName; }

    /** Returns the name shown under the meter. */
    const juce::String& getChannelName() const noexcept { return name; }

    /** Draws the readout, the name box and the name, and restarts the readout's interval. */
    void paint (juce::Graphics&) override;

    /** Tells every listener of a click on "M" or "S", in the order they were added. */
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
