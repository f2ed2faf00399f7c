#pragma once

#include "gui/LookAndFeelSelector.h"
#include "text/StringArray.h"

#include <juce_gui_basics/juce_gui_basics.h>
#include <juce_opengl/juce_opengl.h>

#include <memory>
#include <string>

namespace oskelgui
{

/** The base of the top-level meter window content: optional OpenGL rendering through a
    context attached to the top-level component, an optional overlay with size, paint
    time, frame rate and renderer, and the choice of the general look-and-feel. */
class Component : public juce::Component
{
public:
    /** Creates a component with the given name (UTF-8), drawn with the V2 look-and-feel and
        in software. */
    explicit Component (const std::string& name);

    /** Detaches the OpenGL context, if any, and releases the look-and-feel. */
    ~Component() override;

    /** Renders the top-level component through OpenGL, or detaches the context again.
        Returns false, changing nothing, when asked for OpenGL on a display that offers
        none: the window keeps drawing in software. */
    bool setUseOpenGL (bool shouldUseOpenGL);

    /** Whether the display can give this component's OpenGL context what it needs. */
    static bool isOpenGLAvailable();

    /** The native peer's rendering engines followed by the OpenGL renderer; empty without a peer. */
    kul::StringArray getAvailableRenderers() const;

    /** openGLRendererName while the OpenGL context is attached, else the peer's current
        rendering engine; empty without a peer. */
    std::string getCurrentRendererName() const;

    /** Shows or hides the overlay and starts or stops timing the paints; repaints when it
        changes. */
    void setShowFps (bool shouldShow);

    /** Returns true while the overlay is shown and paints are timed. */
    bool isShowingFps() const noexcept { return showFps; }

    /** Selects the general look-and-feel by name (LookAndFeelSelector::setVersion()) for this
        component and its children, which JUCE repaints. */
    virtual void setLookAndFeelVersion (const std::string& name);

    /** Returns the index of the general look-and-feel in use: 0 for V2, 1 for V3. */
    std::uint32_t getLookAndFeelVersionIndex() const noexcept { return lookAndFeelSelector.getVersionIndex(); }

    /** Called by a subclass's paint at its start; does nothing while the overlay is hidden. */
    void startPaintTiming();

    /** Called by a subclass's paint at its end; does nothing while the overlay is hidden. */
    void endPaintTiming();

    /** The same, with the time of the high-resolution millisecond counter given. */
    void startPaintTiming (double nowMs) noexcept;

    /** The same, with the time of the high-resolution millisecond counter given. */
    void endPaintTiming (double nowMs) noexcept;

    /** Returns the smoothed time that a paint took, in milliseconds, as the overlay shows it. */
    double getRenderTimeMs() const noexcept { return renderTimeMs; }

    /** Returns the smoothed rate of the timed paints, as the overlay shows it. */
    double getFramesPerSecond() const noexcept { return framesPerSecond; }

    /** The overlay box of the given size, in local coordinates. */
    static juce::Rectangle<int> getOverlayBounds (int width, int height) noexcept;

    /** Draws the overlay (size, paint time, frame rate and renderer) in the top right corner
        while it is shown, when the component has no parent or is a window's content. */
    void paintOverChildren (juce::Graphics&) override;

    /** The renderer's name while the OpenGL context is attached. */
    static constexpr const char* openGLRendererName = "OpenGL Renderer";

private:
    std::unique_ptr<juce::OpenGLContext> openGLContext;
    LookAndFeelSelector lookAndFeelSelector;
    bool showFps = false;
    double paintStartMs = 0.0;
    double renderTimeMs = 0.0;
    double framesPerSecond = 0.0;
    double lastPaintEndMs = 0.0;

    JUCE_DECLARE_NON_COPYABLE (Component)
};

} // namespace oskelgui
