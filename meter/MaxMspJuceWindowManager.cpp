#include "MaxMspJuceWindowManager.h"

#include "cocoa/window/NSNotificationCenter.h"
#include "cocoa/window/NSWindow.h"
#include "ext_mainloop.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <algorithm>
#include <cmath>

namespace
{
NSView* asView (void* view)
{
    return static_cast<NSView*> (view);
}

/** The manager of a deferred call's first atom; null (after the error post) when absent. */
MaxMspJuceWindowManager* managerOf (t_object* owner, long argc, t_atom* argv)
{
    MaxMspJuceWindowManager* manager = nullptr;
    if (argc >= 1 && argv != nullptr && atom_gettype (argv) == A_OBJ)
        manager = static_cast<MaxMspJuceWindowManager*> (atom_getobj (argv));

    if (manager == nullptr)
        object_error (owner, "No MaxMspJuceWindowManager");
    return manager;
}

bool atomIsTrue (const t_atom& atom)
{
    switch (atom.a_type)
    {
        case A_LONG:  return atom_getlong (&atom) != 0;
        case A_FLOAT: return atom_getfloat (&atom) != 0.0;
        default:      return false;
    }
}

/** A coordinate as the window system takes it: truncated toward zero, kept within a range
    where no later pixel arithmetic overflows; not a number keeps the current value. */
std::int32_t toCoordinate (double value, std::int32_t current)
{
    constexpr double limit = 16777216.0;
    if (! std::isfinite (value))
        return current;
    return static_cast<std::int32_t> (std::trunc (std::clamp (value, -limit, limit)));
}

t_atom objectAtom (MaxMspJuceWindowManager* manager)
{
    t_atom atom;
    atom_setobj (&atom, manager);
    return atom;
}

void saveWindowTopLeft (MaxMspJuceWindowManager& manager)
{
    if (! manager.HasWindow())
        return;

    std::int32_t left = manager.x.load(), top = manager.y.load();
    SaveWindowTopLeft (manager.nativeView.load(), &left, &top);
    manager.x = left;
    manager.y = top;
}

void willCloseSelector (void* observer, const NSNotification& notification)
{
    static_cast<ZelmMeterWindowNotificationListener*> (observer)->windowWillClose (notification);
}

void didResizeSelector (void* observer, const NSNotification& notification)
{
    static_cast<ZelmMeterWindowNotificationListener*> (observer)->windowDidResize (notification);
}

template <typename Function>
method asMethod (Function function)
{
    return reinterpret_cast<method> (reinterpret_cast<void (*)()> (function));
}

std::uint64_t packCorner (std::int32_t left, std::int32_t top)
{
    return (static_cast<std::uint64_t> (static_cast<std::uint32_t> (left)) << 32) | static_cast<std::uint32_t> (top);
}

/** The deferred call of a merged request: (manager, request kind). */
void applyPendingRequest_deferred (t_object* owner, t_symbol*, long argc, t_atom* argv)
{
    if (auto* manager = managerOf (owner, argc, argv); manager != nullptr && argc >= 2)
    {
        const auto kind = atom_getlong (&argv[1]);
        if (kind >= 0 && kind < MaxMspJuceWindowManager::numRequestKinds)
            manager->ApplyPendingRequest (static_cast<MaxMspJuceWindowManager::RequestKind> (kind));
    }
}
} // namespace

// Manager ---------------------------------------------------------------------------------

MaxMspJuceWindowManager::MaxMspJuceWindowManager (t_object* ownerObject, juce::Component* content, bool isResizable)
    : owner (ownerObject), component (content), title (gensym ("window")), resizable (isResizable)
{
}

MaxMspJuceWindowManager::~MaxMspJuceWindowManager()
{
    Release();
    component = nullptr;
    owner = nullptr;
}

bool MaxMspJuceWindowManager::IsWindowVisible() const noexcept
{
    return HasWindow() && IsNativeWindowVisible (nativeView.load());
}

void MaxMspJuceWindowManager::Open (bool visible)
{
    if (component == nullptr || owner == nullptr)
        return;

    // The corner is saved by the deferred routine: the window belongs to the main thread.
    Request (visibilityRequest, visible ? showWindow : showHidden);
}

void MaxMspJuceWindowManager::Close()
{
    Request (visibilityRequest, hideWindow);
}

void MaxMspJuceWindowManager::Request (RequestKind kind, std::uint64_t value)
{
    auto& request = pending[kind];
    // Stored on every path, so that a call still queued applies this value, not an older one.
    request.value.store (value);

    if (systhread_ismainthread() != 0)
    {
        Apply (kind, value);
        return;
    }

    if (request.queued.exchange (true))
        return;

    t_atom atoms[2] = { objectAtom (this), {} };
    atom_setlong (&atoms[1], kind);
    defer (owner, asMethod (applyPendingRequest_deferred), nullptr, 2, atoms);
}

void MaxMspJuceWindowManager::ApplyPendingRequest (RequestKind kind)
{
    auto& request = pending[kind];
    // Cleared before the value is read: a request stored after the read queues a call of its own.
    request.queued.store (false);
    Apply (kind, request.value.load());
}

void MaxMspJuceWindowManager::Apply (RequestKind kind, std::uint64_t value)
{
    t_atom atoms[3] = { objectAtom (this), {}, {} };

    switch (kind)
    {
        case visibilityRequest:
            if (value == hideWindow)
            {
                closeWindow_deferred (owner, nullptr, 1, atoms);
                return;
            }
            atom_setlong (&atoms[1], value == showWindow ? 1 : 0);
            openWindow_deferred (owner, nullptr, 2, atoms);
            return;

        case positionRequest:
            // The point travels with the request, so that a corner saved on the main thread
            // before the move arrives cannot undo it.
            atom_setlong (&atoms[1], static_cast<std::int32_t> (value >> 32));
            atom_setlong (&atoms[2], static_cast<std::int32_t> (value & 0xffffffffu));
            changeWindowTopLeftPoint_deferred (owner, nullptr, 3, atoms);
            return;

        case titleRequest:
            atom_setsym (&atoms[1], reinterpret_cast<t_symbol*> (static_cast<std::uintptr_t> (value)));
            changeWindowTitle_deferred (owner, nullptr, 2, atoms);
            return;

        case moveableRequest:
            atom_setlong (&atoms[1], value != 0 ? 1 : 0);
            changeWindowMoveable_deferred (owner, nullptr, 2, atoms);
            return;

        case numRequestKinds:
            return;
    }
}

void MaxMspJuceWindowManager::Release()
{
    // Runs on the main thread, from the owner's destruction: the hide happens here and
    // now, as a queued one would find the manager gone.
    UnregisterWindowListener (this);
    saveWindowTopLeft (*this);

    t_atom atom = objectAtom (this);
    closeWindow_deferred (owner, nullptr, 1, &atom);

    if (void* view = nativeView.exchange (nullptr))
    {
        if (owner != nullptr)
            maxhost_setobjectwindow (owner, 0);
        CloseNativeWindow (view);
    }
}

bool MaxMspJuceWindowManager::SetTopLeftPoint (float newX, float newY)
{
    const auto left = toCoordinate (newX, x.load());
    const auto top = toCoordinate (newY, y.load());

    // Where a window not made yet will open is no move: a corner restored with the
    // moveable flag off (from the box, pattr or a dictionary) is where it opens.
    if (! moveable.load() && HasWindow())
    {
        if (left == x.load() && top == y.load())
            return true;

        object_warn (owner, "this window is not moveable");
        return false;
    }

    x = left;
    y = top;
    Request (positionRequest, packCorner (left, top));
    return true;
}

void MaxMspJuceWindowManager::SetMoveable (bool shouldBeMoveable)
{
    moveable = shouldBeMoveable;
    Request (moveableRequest, shouldBeMoveable ? 1 : 0);
}

void MaxMspJuceWindowManager::SetTitle (const char* text)
{
    auto* symbol = gensym (text != nullptr ? text : "");
    title = symbol;
    Request (titleRequest, static_cast<std::uint64_t> (reinterpret_cast<std::uintptr_t> (symbol)));
}

void MaxMspJuceWindowManager::CreateWindow (bool visible)
{
    if (HasWindow() || component == nullptr)
        return;

    const juce::MessageManagerLock lock;

    component->removeFromDesktop();
    component->setVisible (false);

    void* view = CreateNativeWindow (x.load(), y.load(), component->getWidth(), component->getHeight(),
                                     title.load()->s_name, moveable.load(), resizable);
    if (view == nullptr)
    {
        object_error (owner, "couldnt create native window !");
        return;
    }

    nativeView = view;
    NSViewAddSubview (asView (view), *component);
    component->setVisible (visible);

    // A new window starts ordered out: asked to be visible, it comes to front here
    // (and before the component takes the focus, which needs it on screen).
    if (visible)
    {
        NSWindowOrderFront (NSViewGetWindow (asView (view)));
        component->toFront (true);
    }

    SetNativeWindowTopLeft (view, x.load(), y.load());
    RegisterWindowListener (this, view);

    if (owner != nullptr)
        maxhost_setobjectwindow (owner, NSWindowGetNativeHandle (NSViewGetWindow (asView (view))));
}

// Listener --------------------------------------------------------------------------------

ZelmMeterWindowNotificationListener& ZelmMeterWindowNotificationListener::initWithComponent (MaxMspJuceWindowManager* windowManager) noexcept
{
    manager = windowManager;
    return *this;
}

void ZelmMeterWindowNotificationListener::windowWillClose (const NSNotification&)
{
    if (manager == nullptr)
        return;

    saveWindowTopLeft (*manager);
    if (manager->component != nullptr)
        manager->component->setVisible (false);
}

void ZelmMeterWindowNotificationListener::windowDidResize (const NSNotification&)
{
    if (manager == nullptr || ! manager->HasWindow() || ! manager->IsResizable() || manager->component == nullptr)
        return;

    const juce::MessageManagerLock lock;
    // The view is the window's content area, below the title bar.
    const auto area = NSViewGetFrameInWindow (asView (manager->nativeView.load()));
    manager->component->setBounds (juce::roundToInt (area.origin.x), juce::roundToInt (area.origin.y),
                                   juce::roundToInt (area.size.width), juce::roundToInt (area.size.height));
}

// Deferred routines -----------------------------------------------------------------------

void openWindow_deferred (t_object* owner, t_symbol*, long argc, t_atom* argv)
{
    auto* manager = managerOf (owner, argc, argv);
    if (manager == nullptr || manager->component == nullptr)
        return;

    const bool visible = argc >= 2 && atomIsTrue (argv[1]);
    auto* component = manager->component;
    saveWindowTopLeft (*manager);

    if (manager->HasWindow() && component->getPeer() != nullptr)
    {
        void* view = manager->nativeView.load();
        if (! component->isOnDesktop())
            NSViewAddSubview (asView (view), *component);

        BringWindowToFront (view, manager);
        component->setVisible (visible);

        // Bringing a hidden component's native window to front would show it.
        if (visible)
            component->toFront (true);
        return;
    }

    manager->CreateWindow (visible);
}

void closeWindow_deferred (t_object* owner, t_symbol*, long argc, t_atom* argv)
{
    auto* manager = managerOf (owner, argc, argv);
    if (manager == nullptr)
        return;

    saveWindowTopLeft (*manager);

    auto* component = manager->component;
    if (component == nullptr || component->getPeer() == nullptr)
        return;

    OrderWindowOut (manager->nativeView.load());
    component->setVisible (false);
}

void changeWindowTopLeftPoint_deferred (t_object* owner, t_symbol*, long argc, t_atom* argv)
{
    if (argc != 1 && argc != 3)
    {
        object_bug (owner, "invalid number of arguments in changeWindowTopLeftPoint_deferred : %ld", argc);
        return;
    }

    auto* manager = managerOf (owner, argc, argv);
    if (manager == nullptr)
        return;

    if (argc == 3)
    {
        manager->x = toCoordinate (atom_getfloat (&argv[1]), manager->x.load());
        manager->y = toCoordinate (atom_getfloat (&argv[2]), manager->y.load());
    }

    if (manager->HasWindow())
        SetNativeWindowTopLeft (manager->nativeView.load(), manager->x.load(), manager->y.load());
}

void changeWindowTitle_deferred (t_object* owner, t_symbol*, long argc, t_atom* argv)
{
    auto* manager = managerOf (owner, argc, argv);
    if (manager == nullptr)
        return;

    t_symbol* symbol = argc >= 2 && atom_gettype (&argv[1]) == A_SYM ? atom_getsym (&argv[1]) : manager->title.load();
    SetNativeWindowTitle (manager->nativeView.load(), symbol->s_name);
}

void changeWindowMoveable_deferred (t_object* owner, t_symbol*, long argc, t_atom* argv)
{
    auto* manager = managerOf (owner, argc, argv);
    if (manager == nullptr)
        return;

    const bool flag = argc >= 2 ? atomIsTrue (argv[1]) : manager->moveable.load();
    SetNativeWindowMovable (manager->nativeView.load(), flag);
}

// Native-window routines ------------------------------------------------------------------

void SaveWindowTopLeft (void* view, std::int32_t* x, std::int32_t* y)
{
    auto* window = NSViewGetWindow (asView (view));
    if (window == nullptr || x == nullptr || y == nullptr)
        return;

    const auto frame = NSWindowGetFrame (window);
    *x = static_cast<std::int32_t> (frame.origin.x);
    *y = static_cast<std::int32_t> (frame.origin.y) + static_cast<std::int32_t> (frame.size.height);
}

void* CreateNativeWindow (std::int32_t x, std::int32_t y, int width, int height, const char* title, bool moveable, bool resizable)
{
    const NSRect rect { { (double) x, (double) y }, { (double) width, (double) height } };
    unsigned style = NSWindowStyleMaskTitled | NSWindowStyleMaskClosable | NSWindowStyleMaskMiniaturizable;
    if (resizable)
        style |= NSWindowStyleMaskResizable;

    auto* window = NSWindowCreate (rect, style);
    if (window == nullptr)
        return nullptr;

    auto* view = NSViewCreate (rect);
    if (view == nullptr)
    {
        NSWindowSetReleasedWhenClosed (window, true);
        NSWindowClose (window);
        return nullptr;
    }

    // The window starts ordered out; JUCE's frames always take mouse moves, draw
    // themselves and take clicks, so those settings have no counterpart here.
    NSWindowSetContentView (window, view);
    NSWindowSetReleasedWhenClosed (window, false);
    NSWindowSetExcludedFromWindowsMenu (window, true);
    NSWindowSetMovable (window, moveable);
    NSWindowSetHasShadow (window, true);
    NSWindowSetTitle (window, title != nullptr ? title : "");
    return view;
}

void BringWindowToFront (void* view, MaxMspJuceWindowManager* manager)
{
    auto* window = NSViewGetWindow (asView (view));
    if (window == nullptr)
        return;

    NSWindowOrderFront (window);
    if (manager != nullptr)
        NSWindowSetFrameTopLeftPoint (window, { (double) manager->x.load(), (double) manager->y.load() });
}

void OrderWindowOut (void* view)
{
    NSWindowOrderOut (NSViewGetWindow (asView (view)));
}

void SetNativeWindowTopLeft (void* view, std::int32_t x, std::int32_t y)
{
    NSWindowSetFrameTopLeftPoint (NSViewGetWindow (asView (view)), { (double) x, (double) y });
}

void SetNativeWindowMovable (void* view, bool flag)
{
    NSWindowSetMovable (NSViewGetWindow (asView (view)), flag);
}

void SetNativeWindowTitle (void* view, const char* text)
{
    NSWindowSetTitle (NSViewGetWindow (asView (view)), text != nullptr ? text : "");
}

void CloseNativeWindow (void* view)
{
    auto* window = NSViewGetWindow (asView (view));
    if (window == nullptr)
        return;

    NSWindowSetReleasedWhenClosed (window, true);
    NSWindowClose (window);
}

bool IsNativeWindowVisible (void* view)
{
    return NSWindowIsVisible (NSViewGetWindow (asView (view)));
}

void RegisterWindowListener (MaxMspJuceWindowManager* manager, void* view)
{
    if (manager == nullptr || manager->windowListener != nullptr)
        return;

    auto* window = NSViewGetWindow (asView (view));
    if (window == nullptr)
        return;

    auto* listener = &(new ZelmMeterWindowNotificationListener())->initWithComponent (manager);
    manager->windowListener = listener;
    NSNotificationCenterAddObserver (listener, willCloseSelector, NSWindowWillCloseNotification, window);
    NSNotificationCenterAddObserver (listener, didResizeSelector, NSWindowDidResizeNotification, window);
}

void UnregisterWindowListener (MaxMspJuceWindowManager* manager)
{
    if (manager == nullptr || manager->windowListener == nullptr)
        return;

    auto* listener = static_cast<ZelmMeterWindowNotificationListener*> (manager->windowListener);
    NSNotificationCenterRemoveObserver (listener);
    delete listener;
    manager->windowListener = nullptr;
}
