#pragma once

#include <X11/Xlib.h>

/** Interns the atoms of the window-manager properties that a GUI toolkit looks up.
    Without a window manager the server lacks them, and every query of them would
    end in an X error; a flood of those can stall a connection. The connection used
    here stays open: when its last client leaves, a bare X server resets and forgets
    every atom. Call once, after XInitThreads. */
inline void internWindowManagerAtoms()
{
    static Display* const atomKeeper = XOpenDisplay (nullptr);

    if (atomKeeper == nullptr)
        return;

    for (const char* name : { "WM_PROTOCOLS", "WM_TAKE_FOCUS", "WM_DELETE_WINDOW", "WM_CHANGE_STATE", "WM_STATE",
                              "_NET_WM_PING", "_NET_WM_STATE", "_NET_WM_STATE_HIDDEN", "_NET_WM_WINDOW_TYPE",
                              "_NET_WM_WINDOW_TYPE_NORMAL", "_NET_WM_ALLOWED_ACTIONS", "_NET_FRAME_EXTENTS",
                              "_MOTIF_WM_HINTS" })
        XInternAtom (atomKeeper, name, False);
}
