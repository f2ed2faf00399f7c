#include "gui/Component.h"

#include "gui/GuiHelpers.h"
#include "text/StringHelper.h"
#include "platform/x11/OpenGLDisplay.h"

namespace oskelgui
{

namespace
{
// JUCE's render thread makes a new context current to set it up and leaves it
// current when the frame then ends early (no paint pending, or the message
// thread took the list back to detach a context). Detaching makes that context
// current on the message thread too, shuts it down and destroys it; the render
// thread's next context switch then unbinds a destroyed context and crashes in
// the driver. Releasing the context as soon as it is set up leaves the render
// thread holding one only inside a frame, which JUCE releases at its end.
class ReleaseContextOnceSetUp final : public juce::OpenGLRenderer
{
public:
    void newOpenGLContextCreated() override { juce::OpenGLContext::deactivateCurrentContext(); }
    void renderOpenGL() override {}
    void openGLContextClosing() override {}
};

ReleaseContextOnceSetUp contextReleaser;
} // namespace

Component::Component (const std::string& name)
    : juce::Component (juce::String::fromUTF8 (name.c_str()))
{
    setLookAndFeel (&lookAndFeelSelector.getCurrent());
}

Component::~Component()
{
    if (openGLContext != nullptr)
        openGLContext->detach();

    // JUCE insists that no component refers to a look-and-feel when it is destroyed.
    setLookAndFeel (nullptr);
    openGLContext.reset();
}

bool Component::isOpenGLAvailable()
{
    return X11DisplayOffersOpenGL();
}

bool Component::setUseOpenGL (bool shouldUseOpenGL)
{
    if (! shouldUseOpenGL)
    {
        if (openGLContext != nullptr)
            openGLContext->detach();
        return true;
    }

    // JUCE's context starts on whatever display it finds; on one without OpenGL it
    // would fail inside its start-up, taking the process with it.
    if (! isOpenGLAvailable())
        return false;

    if (openGLContext == nullptr)
    {
        openGLContext = std::make_unique<juce::OpenGLContext>();
        openGLContext->setRenderer (&contextReleaser);
    }

    if (openGLContext->isAttached())
        openGLContext->detach();

    openGLContext->setComponentPaintingEnabled (true);
    openGLContext->attachTo (*getTopLevelComponent());
    return true;
}

kul::StringArray Component::getAvailableRenderers() const
{
    auto* peer = getPeer();

    if (peer == nullptr)
        return {};

    auto engines = peer->getAvailableRenderingEngines();
    engines.add (openGLRendererName);
    return toStringVector (engines);
}

std::string Component::getCurrentRendererName() const
{
    if (openGLContext != nullptr && openGLContext->isAttached())
        return openGLRendererName;

    if (auto* peer = getPeer())
    {
        const auto renderers = getAvailableRenderers();
        const auto index = peer->getCurrentRenderingEngine();

        if (index >= 0 && static_cast<size_t> (index) < renderers.size())
            return renderers[static_cast<size_t> (index)];
    }

    return {};
}

void Component::setShowFps (bool shouldShow)
{
    if (shouldShow == showFps)
        return;

    showFps = shouldShow;
    repaint();
}

void Component::setLookAndFeelVersion (const std::string& name)
{
    lookAndFeelSelector.setVersion (name);
    setLookAndFeel (&lookAndFeelSelector.getCurrent());
}

void Component::startPaintTiming()
{
    if (showFps)
        startPaintTiming (juce::Time::getMillisecondCounterHiRes());
}

void Component::endPaintTiming()
{
    if (showFps)
        endPaintTiming (juce::Time::getMillisecondCounterHiRes());
}

void Component::startPaintTiming (double nowMs) noexcept
{
    if (showFps)
        paintStartMs = nowMs;
}

void Component::endPaintTiming (double nowMs) noexcept
{
    if (! showFps)
        return;

    renderTimeMs += ((nowMs - paintStartMs) - renderTimeMs) * 0.1;

    // Two paints ending within the counter's resolution have no measurable rate.
    if (nowMs > lastPaintEndMs)
        framesPerSecond += (1000.0 / (nowMs - lastPaintEndMs) - framesPerSecond) * 0.1;

    lastPaintEndMs = nowMs;
}

juce::Rectangle<int> Component::getOverlayBounds (int width, int height) noexcept
{
    const int bw = juce::jmin (width / 4, 200);
    const int bh = juce::jmin (height / 4, 100);
    return { width - bw, 0, bw, bh };
}

void Component::paintOverChildren (juce::Graphics& g)
{
    if (! showFps)
        return;

    if (auto* parent = getParentComponent(); parent != nullptr && dynamic_cast<juce::TopLevelWindow*> (parent) == nullptr)
        return;

    std::string text = StringHelper::ToString (getWidth()) + " x " + StringHelper::ToString (getHeight());
    text += "\nrender time : " + StringHelper::ToString (renderTimeMs, 2) + " ms";
    text += "\n" + StringHelper::ToString (framesPerSecond, 1) + " fps";
    text += "\nrenderer : " + getCurrentRendererName();

    const auto box = getOverlayBounds (getWidth(), getHeight());
    g.setColour (juce::Colours::white.withAlpha (0.5f));
    g.fillRect (box);

    g.setFont (makeFont ("Arial", "plain", 11.0f));
    g.setColour (juce::Colours::black);
    g.drawFittedText (juce::String::fromUTF8 (text.c_str()),
                      box.getX() + 3, 3, juce::jmax (box.getWidth() - 6, 0), juce::jmax (box.getHeight() - 6, 0),
                      juce::Justification::centred, 4, 0.0f);
}

} // namespace oskelgui
