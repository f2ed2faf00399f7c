#pragma once

/*  Whether the X display that JUCE's windows open on can render through OpenGL: the
    server offers the GLX extension. A display without it (an X server started with
    "-extension GLX", a remote display) cannot start an OpenGL context attached to a
    window, and JUCE's start-up fails there on a null frame-buffer configuration. False
    without a display. */
bool X11DisplayOffersOpenGL() noexcept;
