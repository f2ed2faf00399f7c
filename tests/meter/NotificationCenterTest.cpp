// The notification centre that carries the windows' close and resize notifications.
#include "cocoa/window/NSNotificationCenter.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace
{
struct Recorder
{
    explicit Recorder (std::string name) : tag (std::move (name)) {}

    std::string tag;
    std::vector<std::string> calls;
    Recorder* toRemove = nullptr;   // taken off the centre when this one is called

    static void record (void* observer, const NSNotification& notification)
    {
        auto* self = static_cast<Recorder*> (observer);
        self->calls.push_back (self->tag + ":" + notification.name);
        if (self->toRemove != nullptr)
            NSNotificationCenterRemoveObserver (self->toRemove);
    }

    static void recordOther (void* observer, const NSNotification&) { static_cast<Recorder*> (observer)->calls.push_back ("other"); }
};
} // namespace

TEST (NotificationCenterTest, DeliversByNameAndPosterAndCountsRegistrations)
{
    const auto atStart = NSNotificationCenterObserverCount();
    Recorder first ("first"), second ("second");
    int windowA = 0, windowB = 0;

    NSNotificationCenterAddObserver (&first, Recorder::record, NSWindowWillCloseNotification, &windowA);
    NSNotificationCenterAddObserver (&second, Recorder::record, NSWindowWillCloseNotification, nullptr);
    NSNotificationCenterAddObserver (&first, Recorder::recordOther, NSWindowDidResizeNotification, &windowA);
    NSNotificationCenterAddObserver (&first, Recorder::record, NSWindowDidResizeNotification, &windowA);   // replaces
    NSNotificationCenterAddObserver (nullptr, Recorder::record, NSWindowWillCloseNotification, nullptr);
    NSNotificationCenterAddObserver (&first, nullptr, NSWindowWillCloseNotification, nullptr);
    EXPECT_EQ (NSNotificationCenterObserverCount(), atStart + 3);

    // A name is matched by its text, not by where the text lives.
    const std::string willClose = NSWindowWillCloseNotification;
    NSNotificationCenterPostNotification (willClose.c_str(), &windowA);
    NSNotificationCenterPostNotification (NSWindowWillCloseNotification, &windowB);
    NSNotificationCenterPostNotification (NSWindowDidResizeNotification, &windowA);

    EXPECT_EQ (first.calls, (std::vector<std::string> { "first:NSWindowWillCloseNotification", "first:NSWindowDidResizeNotification" }));
    EXPECT_EQ (second.calls, (std::vector<std::string> { "second:NSWindowWillCloseNotification", "second:NSWindowWillCloseNotification" }));

    NSNotificationCenterRemoveObserver (&first);
    NSNotificationCenterRemoveObserver (&second);
    EXPECT_EQ (NSNotificationCenterObserverCount(), atStart);
}

TEST (NotificationCenterTest, AnObserverRemovedDuringAPostIsNotCalled)
{
    Recorder first ("first"), second ("second");
    first.toRemove = &second;
    int window = 0;
    NSNotificationCenterAddObserver (&first, Recorder::record, NSWindowWillCloseNotification, &window);
    NSNotificationCenterAddObserver (&second, Recorder::record, NSWindowWillCloseNotification, &window);

    NSNotificationCenterPostNotification (NSWindowWillCloseNotification, &window);

    EXPECT_EQ (first.calls.size(), 1u);
    EXPECT_TRUE (second.calls.empty());
    NSNotificationCenterRemoveObserver (&first);
}
