#pragma once

#include <cstddef>
#include <string>

namespace juce
{
class Component;
}

/*  The AppKit window services that a floating plug-in window uses, as plain functions
    over handles. A window is a frame drawn by JUCE itself (title bar, close and minimise
    buttons), so that it works without a window manager and never shows on the taskbar;
    its content view is an empty area of the frame. A component added to a view becomes
    a desktop component of its own, a child of the frame's native window placed over the
    view, so it stays top-level for JUCE (and OpenGL can attach to it).

    Points and frames are in AppKit's screen coordinates: pixels, the origin at the
    bottom-left of the main screen, y growing upward. Every function belongs to the
    message thread; a null handle is ignored (or answers nothing). */

class NSWindow;
class NSView;

struct NSPoint
{
    double x = 0.0, y = 0.0;
};

struct NSSize
{
    double width = 0.0, height = 0.0;
};

struct NSRect
{
    NSPoint origin;
    NSSize size;
};

enum NSWindowStyleMask : unsigned
{
    NSWindowStyleMaskBorderless = 0,
    NSWindowStyleMaskTitled = 1,
    NSWindowStyleMaskClosable = 2,
    NSWindowStyleMaskMiniaturizable = 4,
    NSWindowStyleMaskResizable = 8
};

/** The main screen's frame; empty without a display. */
NSRect NSScreenGetMainFrame() noexcept;

/** initWithContentRect:styleMask: a hidden window whose content area has the given frame;
    null when no window can be made (no display). */
NSWindow* NSWindowCreate (NSRect contentRect, unsigned styleMask) noexcept;

/** The windows that exist (made and not yet released). */
std::size_t NSWindowCount() noexcept;

/** initWithFrame: an empty view of the frame's size, not yet in a window. */
NSView* NSViewCreate (NSRect frame) noexcept;

/** setContentView: the window takes the view (and frees it with itself); the window's
    content area takes the view's size. A view already in a window is refused. */
void NSWindowSetContentView (NSWindow* window, NSView* view) noexcept;
NSWindow* NSViewGetWindow (const NSView* view) noexcept;

/** The view's area in the window's native window, in its pixels from the top-left (as a
    flipped view has it): where an added component is placed. */
NSRect NSViewGetFrameInWindow (const NSView* view) noexcept;

/** addSubview: for a JUCE component, as JUCE attaches a component to a host's view: the
    component keeps its size, moves over the view and becomes a desktop component of its
    own inside the window. It is taken off the desktop again before the window is freed. */
void NSViewAddSubview (NSView* view, juce::Component& component) noexcept;

void NSWindowOrderFront (NSWindow* window) noexcept;
void NSWindowOrderOut (NSWindow* window) noexcept;

/** Visible on screen: shown and not miniaturised. */
bool NSWindowIsVisible (const NSWindow* window) noexcept;

NSRect NSWindowGetFrame (const NSWindow* window) noexcept;
void NSWindowSetFrameTopLeftPoint (NSWindow* window, NSPoint point) noexcept;

/** Whether the user may drag the window by its title bar. */
void NSWindowSetMovable (NSWindow* window, bool movable) noexcept;
bool NSWindowIsMovable (const NSWindow* window) noexcept;

void NSWindowSetTitle (NSWindow* window, const std::string& title) noexcept;
std::string NSWindowGetTitle (const NSWindow* window);

/** Kept out of the taskbar (the stand-in for the Windows menu) when true, the default. */
void NSWindowSetExcludedFromWindowsMenu (NSWindow* window, bool excluded) noexcept;
void NSWindowSetHasShadow (NSWindow* window, bool hasShadow) noexcept;

/** Whether close frees the window; false at creation. */
void NSWindowSetReleasedWhenClosed (NSWindow* window, bool released) noexcept;

/** close: posts NSWindowWillCloseNotification, takes the window off the screen and,
    when it is released when closed, frees it (its components taken off the desktop
    first). A freed handle must not be used again. */
void NSWindowClose (NSWindow* window) noexcept;

/** performClose: what the close button does. */
void NSWindowPerformClose (NSWindow* window) noexcept;

/** displayIfNeeded, for every window and every component on the desktop: what they
    are to show (areas asked to repaint, areas the display server exposed) is drawn now,
    and the display server has it when this returns. */
void NSWindowDisplayAllIfNeeded() noexcept;

/** The native (X11) window of the frame, 0 for none: for screenshots. */
unsigned long NSWindowGetNativeHandle (const NSWindow* window) noexcept;
