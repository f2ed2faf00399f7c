#include "OpenGLDisplay.h"

#include <GL/glx.h>
#include <X11/Xlib.h>

bool X11DisplayOffersOpenGL (int colourBits, int alphaBits, int depthBits, int stencilBits) noexcept
{
    Display* display = XOpenDisplay (nullptr);
    if (display == nullptr)
        return false;

    // GLX's own calls are asked only once the server has said it has the extension.
    int opcode = 0, eventBase = 0, errorBase = 0;
    bool offered = XQueryExtension (display, "GLX", &opcode, &eventBase, &errorBase) != False
                && glXQueryExtension (display, &errorBase, &eventBase) != False;

    if (offered)
    {
        const int attributes[] = { GLX_RENDER_TYPE, GLX_RGBA_BIT, GLX_DOUBLEBUFFER, True,
                                   GLX_RED_SIZE, colourBits, GLX_GREEN_SIZE, colourBits, GLX_BLUE_SIZE, colourBits,
                                   GLX_ALPHA_SIZE, alphaBits, GLX_DEPTH_SIZE, depthBits, GLX_STENCIL_SIZE, stencilBits,
                                   None };
        int count = 0;
        GLXFBConfig* configs = glXChooseFBConfig (display, DefaultScreen (display), attributes, &count);
        offered = configs != nullptr && count > 0;
        if (configs != nullptr)
            XFree (configs);
    }

    XCloseDisplay (display);
    return offered;
}
