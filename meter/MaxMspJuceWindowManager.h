#pragma once

#include "ext.h"

#include <atomic>
#include <cstdint>

namespace juce
{
class Component;
}

struct NSNotification;

/** The floating native window that shows a JUCE component for a host object: created
    on the first "open", brought to front on later ones, hidden on "wclose" or when the
    user closes it, moved and retitled when the object's attributes change, and closed
    for good when the manager is released. It remembers the window's top-left corner
    (screen pixels, y growing upward) across hiding and showing.

    Open, Close, SetTopLeftPoint, SetTitle and SetMoveable may be called from any thread:
    the window work is handed to the main thread (which is JUCE's message thread) with
    the host's defer; on the main thread it runs at once. Requests of one kind (showing
    or hiding, moving, retitling, making moveable) that arrive while one of that kind
    still waits for the main thread replace it: the newest wins, and a flood of them
    costs the main thread one call per kind. Calls of one kind made one after another,
    from whichever threads, leave the window showing the last one's value; callers that
    keep the value elsewhere as well order their calls with their own stores (the meter
    makes them under its attribute lock). Release, and so the destructor, belong to
    the main thread. */
class MaxMspJuceWindowManager
{
public:
    MaxMspJuceWindowManager (t_object* owner, juce::Component* component, bool resizable);
    ~MaxMspJuceWindowManager();

    juce::Component* GetComponent() const noexcept { return component; }
    bool IsResizable() const noexcept { return resizable; }
    bool HasWindow() const noexcept { return nativeView.load() != nullptr; }

    /** False without a window; else whether the window is on screen (main thread). */
    bool IsWindowVisible() const noexcept;

    void Open (bool visible);
    void Close();

    /** Takes the listener off, saves the corner, hides the component and closes the window. */
    void Release();

    /** Truncates both toward zero and takes the point as the window's corner, moving
        the window, when it is moveable or not made yet. A window that exists and is not
        moveable keeps its corner: a point that differs from it is refused with the
        warning "this window is not moveable". True when the point was taken (or is
        the corner already). */
    bool SetTopLeftPoint (float x, float y);
    void SetMoveable (bool shouldBeMoveable);
    void SetTitle (const char* text);

    /** Makes the window and attaches the component (main thread, no window yet). */
    void CreateWindow (bool visible);

    std::atomic<void*> nativeView { nullptr };   // the window's content view
    std::atomic<std::int32_t> x { 50 };            // saved left edge of the frame
    std::atomic<std::int32_t> y { 800 };           // saved top edge of the frame (y upward)
    t_object* owner = nullptr;
    juce::Component* component = nullptr;          // not owned
    std::atomic<t_symbol*> title;
    std::atomic<bool> moveable { true };
    bool resizable = false;
    void* windowListener = nullptr;                // a ZelmMeterWindowNotificationListener

    /** The kinds of window work whose waiting requests merge. */
    enum RequestKind
    {
        visibilityRequest,   // value: hideWindow, or showWindow / showHidden for Open
        positionRequest,     // value: the corner, x in the high half and y in the low one
        titleRequest,        // value: the title symbol
        moveableRequest,     // value: 0 or 1
        numRequestKinds
    };

    enum VisibilityValue : std::uint64_t
    {
        hideWindow,
        showHidden,
        showWindow
    };

    /** Applies the newest request of the kind (main thread), and lets the next one queue again. */
    void ApplyPendingRequest (RequestKind kind);

private:
    struct PendingRequest
    {
        std::atomic<std::uint64_t> value { 0 };
        std::atomic<bool> queued { false };   // a call that applies the value waits for the main thread
    };

    /** Stores the request as the newest of its kind and applies it: at once on the main
        thread, else in the call that waits for the main thread, queued when none does. */
    void Request (RequestKind kind, std::uint64_t value);
    void Apply (RequestKind kind, std::uint64_t value);

    PendingRequest pending[numRequestKinds];

    MaxMspJuceWindowManager (const MaxMspJuceWindowManager&) = delete;
    MaxMspJuceWindowManager& operator= (const MaxMspJuceWindowManager&) = delete;
};

/** Observes the manager's window: the user's close only hides the component (the window
    stays for the next "open"); a resize of a resizable window resizes the component. */
class ZelmMeterWindowNotificationListener
{
public:
    ZelmMeterWindowNotificationListener& initWithComponent (MaxMspJuceWindowManager* windowManager) noexcept;

    void windowWillClose (const NSNotification& notification);
    void windowDidResize (const NSNotification& notification);

    MaxMspJuceWindowManager* manager = nullptr;   // not owned
};

// The routines the host's defer calls on the main thread; the first atom is the manager.
// openWindow_deferred takes (manager, visible); closeWindow_deferred (manager);
// changeWindowTopLeftPoint_deferred (manager) to apply the saved corner or (manager, x, y)
// to save and apply a new one; changeWindowTitle_deferred (manager, title symbol);
// changeWindowMoveable_deferred (manager, flag).
void openWindow_deferred (t_object* owner, t_symbol* s, long argc, t_atom* argv);
void closeWindow_deferred (t_object* owner, t_symbol* s, long argc, t_atom* argv);
void changeWindowTopLeftPoint_deferred (t_object* owner, t_symbol* s, long argc, t_atom* argv);
void changeWindowTitle_deferred (t_object* owner, t_symbol* s, long argc, t_atom* argv);
void changeWindowMoveable_deferred (t_object* owner, t_symbol* s, long argc, t_atom* argv);

// The native-window routines, on the content view (main thread). Each does nothing for a
// null view, or a view without a window.
void SaveWindowTopLeft (void* view, std::int32_t* x, std::int32_t* y);
void* CreateNativeWindow (std::int32_t x, std::int32_t y, int width, int height, const char* title, bool moveable, bool resizable);
void BringWindowToFront (void* view, MaxMspJuceWindowManager* manager);
void OrderWindowOut (void* view);
void SetNativeWindowTopLeft (void* view, std::int32_t x, std::int32_t y);
void SetNativeWindowMovable (void* view, bool flag);
void SetNativeWindowTitle (void* view, const char* text);
void CloseNativeWindow (void* view);
bool IsNativeWindowVisible (void* view);
void RegisterWindowListener (MaxMspJuceWindowManager* manager, void* view);
void UnregisterWindowListener (MaxMspJuceWindowManager* manager);
