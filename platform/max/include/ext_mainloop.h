// Host calls of this host's own, for plug-ins that bring an event loop:
// the host's main loop watches their file descriptors and calls back on the
// main thread when one is readable.
#pragma once

#include "ext.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef void (*maxhost_fdcallback) (int fd, void* context);

// Registering a descriptor again replaces its callback.
MAXHOST_API t_max_err maxhost_mainloop_addfd (int fd, maxhost_fdcallback callback, void* context);
MAXHOST_API t_max_err maxhost_mainloop_removefd (int fd);

// A plug-in's routine that finishes its pending drawing: everything its windows
// are to show is drawn, and the display server has it, when the routine returns.
// The host calls it on its main thread before it reads a window's pixels.
// Registering a routine again replaces its context.
typedef void (*maxhost_drawcallback) (void* context);
MAXHOST_API t_max_err maxhost_mainloop_adddrawcallback (maxhost_drawcallback callback, void* context);
MAXHOST_API t_max_err maxhost_mainloop_removedrawcallback (maxhost_drawcallback callback);

// Tells the host which native (X11) window shows an object, 0 for none, so
// that it can take screenshots of it.
MAXHOST_API void maxhost_setobjectwindow (t_object* x, unsigned long window);

#ifdef __cplusplus
}
#endif
