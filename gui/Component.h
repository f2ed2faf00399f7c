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
    explicit Component (const std::string& name);
    ~Component() override;

    /** Renders the top-level component through OpenGL, or detaches the context again.
        Returns false, changing nothing, when asked for OpenGL on a display that offers
        none: the window keeps drawing in software. */
    bool setUseOpenGL (bool shouldUseOpenGL);

    /** Whether the display can give this component's OpenGL context what it needs. */
    static bool isOpenGLAvailable();

    /** The native peer's rendering engines followed by the OpenGL renderer; empty without a peer. */
    kul::StringArray getAvailableRenderers() const;
    std::string getCurrentRendererName() const;

    void setShowFps (bool shouldShow);
    bool isShowingFps() const noexcept { return showFps; }

    virtual void setLookAndFeelVersion (const std::string& name);
    std::uint32_t getLookAndFeelVersionIndex() const noexcept { return lookAndFeelSelector.getVersionIndex(); }

    /** Called by a subclass's paint at its start and at its end. */
    void startPaintTiming();
    void endPaintTiming();

    /** The same, with the time of the high-resolution millisecond counter given. */
    void startPaintTiming (double nowMs) noexcept;
    void endPaintTiming (double nowMs) noexcept;

    double getRenderTimeMs() const noexcept { return renderTimeMs; }
    double getFramesPerSecond() const noexcept { return framesPerSecond; }

    /** The overlay box of the given size, in local coordinates. */
    static juce::Rectangle<int> getOverlayBounds (int width, int height) noexcept;

    void paintOverChildren (juce::Graphics&) override;

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
