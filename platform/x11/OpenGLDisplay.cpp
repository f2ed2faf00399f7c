// Asked on JUCE's own connection: the display its OpenGL context would start on, and
// the GL driver loaded once, for both.
#define JUCE_GUI_BASICS_INCLUDE_XHEADERS 1

#include "OpenGLDisplay.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <GL/glx.h>

bool X11DisplayOffersOpenGL (int colourBits, int alphaBits, int depthBits, int stencilBits) noexcept
{
    auto* display = juce::XWindowSystem::getInstance()->getDisplay();
    if (display == nullptr)
        return false;

    auto* x11 = juce::X11Symbols::getInstance();
    juce::XWindowSystemUtilities::ScopedXLock lock;

    // GLX's own calls are made only once the server has said it has the extension.
    int opcode = 0, eventBase = 0, errorBase = 0;
    if (! x11->xQueryExtension (display, "GLX", &opcode, &eventBase, &errorBase) || ! glXQueryExtension (display, &errorBase, &eventBase))
        return false;

    const int attributes[] = { GLX_RENDER_TYPE, GLX_RGBA_BIT, GLX_DOUBLEBUFFER, True,
                               GLX_RED_SIZE, colourBits, GLX_GREEN_SIZE, colourBits, GLX_BLUE_SIZE, colourBits,
                               GLX_ALPHA_SIZE, alphaBits, GLX_DEPTH_SIZE, depthBits, GLX_STENCIL_SIZE, stencilBits,
                               None };
    int count = 0;
    GLXFBConfig* configs = glXChooseFBConfig (display, x11->xDefaultScreen (display), attributes, &count);
    if (configs != nullptr)
        x11->xFree (configs);
    return configs != nullptr && count > 0;
}
