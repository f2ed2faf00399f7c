#include "NSWindow.h"

#include "NSNotificationCenter.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <algorithm>
#include <vector>

namespace
{
std::vector<NSWindow*>& liveWindows()
{
    static std::vector<NSWindow*> windows;
    return windows;
}

int mainScreenHeight()
{
    if (auto* display = juce::Desktop::getInstance().getDisplays().getPrimaryDisplay())
        return display->totalArea.getHeight();
    return 0;
}

/** A coordinate or size that X can take (it keeps them in 16 bits). */
int toPixels (double value)
{
    return juce::roundToInt (juce::jlimit (-32767.0, 32767.0, value));
}

int buttonsFor (unsigned styleMask)
{
    int buttons = 0;
    if ((styleMask & NSWindowStyleMaskClosable) != 0)
        buttons |= juce::DocumentWindow::closeButton;
    if ((styleMask & NSWindowStyleMaskMiniaturizable) != 0)
        buttons |= juce::DocumentWindow::minimiseButton;
    return buttons;
}
} // namespace

class NSView : public juce::Component
{
public:
    /** Components added to the view; a component added to another view leaves this list. */
    std::vector<juce::Component::SafePointer<juce::Component>> subviews;

    void forget (juce::Component& component)
    {
        std::erase_if (subviews, [&component] (const auto& s) { return s.getComponent() == nullptr || s.getComponent() == &component; });
    }

    void detachSubviews()
    {
        for (auto& s : subviews)
            if (auto* c = s.getComponent(); c != nullptr && c->isOnDesktop())
                c->removeFromDesktop();
        subviews.clear();
    }
};

class NSWindow : public juce::DocumentWindow
{
public:
    explicit NSWindow (unsigned styleMask)
        : DocumentWindow ({}, juce::Colour (0xff2b2b2b), buttonsFor (styleMask), false)
    {
        setUsingNativeTitleBar (false);
        setResizable ((styleMask & NSWindowStyleMaskResizable) != 0, false);
        if ((styleMask & NSWindowStyleMaskTitled) == 0)
            setTitleBarHeight (0);
        setDraggable (true);
    }

    ~NSWindow() override
    {
        // The children's native windows go before the frame's; the other order makes X
        // destroy them under JUCE's feet.
        if (auto* view = contentView())
            view->detachSubviews();
        std::erase (liveWindows(), this);
    }

    NSView* contentView() const { return dynamic_cast<NSView*> (getContentComponent()); }

    int getDesktopWindowStyleFlags() const override
    {
        auto flags = DocumentWindow::getDesktopWindowStyleFlags();
        flags &= ~(juce::ComponentPeer::windowAppearsOnTaskbar | juce::ComponentPeer::windowHasDropShadow);
        if (! excludedFromWindowsMenu)
            flags |= juce::ComponentPeer::windowAppearsOnTaskbar;
        if (hasShadow)
            flags |= juce::ComponentPeer::windowHasDropShadow;
        return flags;
    }

    /** A change of style flags makes JUCE replace the native window, which would take the
        children with it: while components are attached, the change is only recorded. */
    void applyStyleFlags()
    {
        auto* view = contentView();
        if (isOnDesktop() && (view == nullptr || view->subviews.empty()))
            addToDesktop (getDesktopWindowStyleFlags());
    }

    void closeButtonPressed() override
    {
        NSWindowPerformClose (this);
    }

    /** JUCE disables the title bar's buttons while the frame is not the active window,
        which the frame seldom is: the focus goes to the attached component's own native
        window, or to the host's windows. The user must still be able to close it. */
    void activeWindowStatusChanged() override
    {
        DocumentWindow::activeWindowStatusChanged();
        for (auto* button : { getCloseButton(), getMinimiseButton() })
            if (button != nullptr)
                button->setEnabled (true);
    }

    void resized() override
    {
        DocumentWindow::resized();
        if (isOnDesktop())
            NSNotificationCenterPostNotification (NSWindowDidResizeNotification, this);
    }

    bool releasedWhenClosed = false;
    bool excludedFromWindowsMenu = true;
    bool hasShadow = true;
};

NSRect NSScreenGetMainFrame() noexcept
{
    if (auto* display = juce::Desktop::getInstance().getDisplays().getPrimaryDisplay())
        return { { 0.0, 0.0 }, { (double) display->totalArea.getWidth(), (double) display->totalArea.getHeight() } };
    return {};
}

NSWindow* NSWindowCreate (NSRect contentRect, unsigned styleMask) noexcept
{
    if (juce::Desktop::getInstance().getDisplays().getPrimaryDisplay() == nullptr)
        return nullptr;

    try
    {
        auto window = std::make_unique<NSWindow> (styleMask);
        window->addToDesktop();

        if (window->getWindowHandle() == nullptr)
            return nullptr;

        const int width = std::max (1, toPixels (contentRect.size.width));
        const int height = std::max (1, toPixels (contentRect.size.height));
        const auto border = window->getContentComponentBorder();
        window->setBounds (toPixels (contentRect.origin.x) - border.getLeft(),
                           mainScreenHeight() - toPixels (contentRect.origin.y) - height - border.getTop(),
                           width + border.getLeftAndRight(),
                           height + border.getTopAndBottom());

        liveWindows().push_back (window.get());
        return window.release();
    }
    catch (...)
    {
        return nullptr;
    }
}

std::size_t NSWindowCount() noexcept
{
    return liveWindows().size();
}

NSView* NSViewCreate (NSRect frame) noexcept
{
    try
    {
        auto* view = new NSView();
        view->setSize (std::max (1, toPixels (frame.size.width)), std::max (1, toPixels (frame.size.height)));
        return view;
    }
    catch (...)
    {
        return nullptr;
    }
}

void NSWindowSetContentView (NSWindow* window, NSView* view) noexcept
{
    if (window == nullptr || view == nullptr || view->getParentComponent() != nullptr)
        return;
    window->setContentOwned (view, true);
}

NSWindow* NSViewGetWindow (const NSView* view) noexcept
{
    return view != nullptr ? view->findParentComponentOfClass<NSWindow>() : nullptr;
}

NSRect NSViewGetFrameInWindow (const NSView* view) noexcept
{
    if (view == nullptr)
        return {};
    const auto b = view->getBounds();
    return { { (double) b.getX(), (double) b.getY() }, { (double) b.getWidth(), (double) b.getHeight() } };
}

void NSViewAddSubview (NSView* view, juce::Component& component) noexcept
{
    auto* window = NSViewGetWindow (view);
    if (window == nullptr || window->getWindowHandle() == nullptr)
        return;

    for (auto* w : liveWindows())
        if (auto* v = w->contentView())
            v->forget (component);

    if (component.isOnDesktop())
        component.removeFromDesktop();

    // A desktop component's position is its place in the parent's native window.
    component.setTopLeftPosition (view->getPosition());
    view->subviews.emplace_back (&component);
    component.addToDesktop (0, window->getWindowHandle());
}

void NSWindowOrderFront (NSWindow* window) noexcept
{
    if (window == nullptr)
        return;
    window->setVisible (true);
    window->toFront (false);
}

void NSWindowOrderOut (NSWindow* window) noexcept
{
    if (window != nullptr)
        window->setVisible (false);
}

bool NSWindowIsVisible (const NSWindow* window) noexcept
{
    return window != nullptr && window->isVisible() && ! window->isMinimised();
}

NSRect NSWindowGetFrame (const NSWindow* window) noexcept
{
    if (window == nullptr)
        return {};
    const auto b = window->getBounds();
    return { { (double) b.getX(), (double) (mainScreenHeight() - b.getBottom()) },
             { (double) b.getWidth(), (double) b.getHeight() } };
}

void NSWindowSetFrameTopLeftPoint (NSWindow* window, NSPoint point) noexcept
{
    if (window != nullptr)
        window->setTopLeftPosition (toPixels (point.x), toPixels (mainScreenHeight() - toPixels (point.y)));
}

void NSWindowSetMovable (NSWindow* window, bool movable) noexcept
{
    if (window != nullptr)
        window->setDraggable (movable);
}

bool NSWindowIsMovable (const NSWindow* window) noexcept
{
    return window != nullptr && window->isDraggable();
}

void NSWindowSetTitle (NSWindow* window, const std::string& title) noexcept
{
    if (window != nullptr)
        window->setName (juce::String::fromUTF8 (title.c_str()));
}

std::string NSWindowGetTitle (const NSWindow* window)
{
    return window != nullptr ? window->getName().toStdString() : std::string();
}

void NSWindowSetExcludedFromWindowsMenu (NSWindow* window, bool excluded) noexcept
{
    if (window == nullptr || window->excludedFromWindowsMenu == excluded)
        return;
    window->excludedFromWindowsMenu = excluded;
    window->applyStyleFlags();
}

void NSWindowSetHasShadow (NSWindow* window, bool hasShadow) noexcept
{
    if (window == nullptr || window->hasShadow == hasShadow)
        return;
    window->hasShadow = hasShadow;
    window->applyStyleFlags();
}

void NSWindowSetReleasedWhenClosed (NSWindow* window, bool released) noexcept
{
    if (window != nullptr)
        window->releasedWhenClosed = released;
}

void NSWindowClose (NSWindow* window) noexcept
{
    if (window == nullptr)
        return;

    NSNotificationCenterPostNotification (NSWindowWillCloseNotification, window);
    window->setVisible (false);

    if (window->releasedWhenClosed)
        delete window;
}

void NSWindowPerformClose (NSWindow* window) noexcept
{
    if (window == nullptr)
        return;

    if (! window->releasedWhenClosed)
    {
        NSWindowClose (window);
        return;
    }

    // The close button's own callback must not free the window it belongs to.
    NSNotificationCenterPostNotification (NSWindowWillCloseNotification, window);
    window->setVisible (false);
    juce::Component::SafePointer<NSWindow> safe (window);
    juce::MessageManager::callAsync ([safe]
    {
        if (auto* w = safe.getComponent())
            delete w;
    });
}

unsigned long NSWindowGetNativeHandle (const NSWindow* window) noexcept
{
    return window != nullptr ? (unsigned long) (juce::pointer_sized_uint) window->getWindowHandle() : 0ul;
}
