#pragma once

#include <cstddef>

/*  The default notification centre, as far as window notifications need it: observers
    register a callback for a notification name and the object that posts it, and are
    called in registration order on the thread that posts (the message thread, for the
    windows). Registrations are counted so that a forgotten observer can be seen. */

using NSNotificationName = const char*;

extern const NSNotificationName NSWindowWillCloseNotification;
extern const NSNotificationName NSWindowDidResizeNotification;

struct NSNotification
{
    NSNotificationName name = nullptr;
    void* object = nullptr;   // the poster, e.g. the NSWindow
};

/** The selector an observer registers: called with the observer and the notification. */
using NSNotificationSelector = void (*) (void* observer, const NSNotification& notification);

/** addObserver:selector:name:object: a null object observes every poster of the name.
    Registering the same observer, name and object again replaces the selector. */
void NSNotificationCenterAddObserver (void* observer, NSNotificationSelector selector,
                                      NSNotificationName name, const void* object) noexcept;

/** removeObserver: every registration of the observer. Safe while a notification is being
    posted: a removed observer is not called any more. */
void NSNotificationCenterRemoveObserver (void* observer) noexcept;

/** postNotificationName:object: calls the matching observers. */
void NSNotificationCenterPostNotification (NSNotificationName name, void* object) noexcept;

/** The number of registrations (one per observer, name and object). */
std::size_t NSNotificationCenterObserverCount() noexcept;
