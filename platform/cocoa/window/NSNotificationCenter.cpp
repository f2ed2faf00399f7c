#include "NSNotificationCenter.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <vector>

const NSNotificationName NSWindowWillCloseNotification = "NSWindowWillCloseNotification";
const NSNotificationName NSWindowDidResizeNotification = "NSWindowDidResizeNotification";

namespace
{
struct Registration
{
    void* observer;
    NSNotificationSelector selector;
    NSNotificationName name;
    const void* object;
    unsigned long serial;
};

struct Centre
{
    std::mutex mutex;
    std::vector<Registration> registrations;
    unsigned long nextSerial = 1;
};

Centre& centre()
{
    static Centre instance;
    return instance;
}

bool sameName (NSNotificationName a, NSNotificationName b)
{
    return a == b || (a != nullptr && b != nullptr && std::strcmp (a, b) == 0);
}
} // namespace

void NSNotificationCenterAddObserver (void* observer, NSNotificationSelector selector,
                                      NSNotificationName name, const void* object) noexcept
{
    if (observer == nullptr || selector == nullptr || name == nullptr)
        return;

    auto& c = centre();
    const std::lock_guard<std::mutex> lock (c.mutex);

    for (auto& r : c.registrations)
    {
        if (r.observer == observer && r.object == object && sameName (r.name, name))
        {
            r.selector = selector;
            return;
        }
    }

    c.registrations.push_back ({ observer, selector, name, object, c.nextSerial++ });
}

void NSNotificationCenterRemoveObserver (void* observer) noexcept
{
    auto& c = centre();
    const std::lock_guard<std::mutex> lock (c.mutex);
    std::erase_if (c.registrations, [observer] (const Registration& r) { return r.observer == observer; });
}

void NSNotificationCenterPostNotification (NSNotificationName name, void* object) noexcept
{
    auto& c = centre();
    std::vector<unsigned long> matching;
    {
        const std::lock_guard<std::mutex> lock (c.mutex);
        for (const auto& r : c.registrations)
            if (sameName (r.name, name) && (r.object == nullptr || r.object == object))
                matching.push_back (r.serial);
    }

    const NSNotification notification { name, object };

    // An observer may remove itself or others while being called: each one is looked up again.
    for (const auto serial : matching)
    {
        void* observer = nullptr;
        NSNotificationSelector selector = nullptr;
        {
            const std::lock_guard<std::mutex> lock (c.mutex);
            const auto it = std::find_if (c.registrations.begin(), c.registrations.end(),
                                          [serial] (const Registration& r) { return r.serial == serial; });
            if (it == c.registrations.end())
                continue;
            observer = it->observer;
            selector = it->selector;
        }
        selector (observer, notification);
    }
}

std::size_t NSNotificationCenterObserverCount() noexcept
{
    auto& c = centre();
    const std::lock_guard<std::mutex> lock (c.mutex);
    return c.registrations.size();
}
