#pragma once

/*  Whether the X display that JUCE's windows open on can render through OpenGL:
    it offers the GLX extension and a double-buffered RGBA frame-buffer configuration with
    at least the given bit depths. A display without GLX (an X server started with
    "-extension GLX", a remote display) has none, and an OpenGL context attached to a
    window there cannot start. False without a display. */
bool X11DisplayOffersOpenGL (int colourBits, int alphaBits, int depthBits, int stencilBits) noexcept;
