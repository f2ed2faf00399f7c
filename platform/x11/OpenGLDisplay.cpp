// Asked on JUCE's own connection: the display its OpenGL context would start on, and
// the GL driver loaded once, for both.
#define JUCE_GUI_BASICS_INCLUDE_XHEADERS 1

#include "OpenGLDisplay.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <GL/glx.h>

bool X11DisplayOffersOpenGL() noexcept
{
    auto* display = juce::XWindowSystem::getInstance()->getDisplay();
    if (display == nullptr)
        return false;

    auto* x11 = juce::X11Symbols::getInstance();
    juce::XWindowSystemUtilities::ScopedXLock lock;

    // Only the extension is asked about: choosing a frame-buffer configuration here starts
    // the GL driver outside JUCE's own start-up, and that start leaves an allocation of the
    // driver's that the leak checker reports. A server with GLX offers the RGBA
    // configurations JUCE asks for.
    int opcode = 0, eventBase = 0, errorBase = 0;
    return x11->xQueryExtension (display, "GLX", &opcode, &eventBase, &errorBase)
           && glXQueryExtension (display, &errorBase, &eventBase);
}
