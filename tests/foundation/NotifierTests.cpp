#include "common/MaxConsoleNotifier.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace
{
struct Received
{
    std::string listener;
    int type;
    std::string text;

    bool operator== (const Received&) const = default;
};

class RecordingListener : public kul::MaxConsoleNotifier::Listener
{
public:
    RecordingListener (std::string listenerName, std::vector<Received>& receivedLog)
        : name (std::move (listenerName)), log (receivedLog) {}

    void MessageReceived (const int& type, const std::string& text) override
    {
        log.push_back ({ name, type, text });
        if (onMessage)
            onMessage();
    }

    std::string name;
    std::vector<Received>& log;
    std::function<void()> onMessage;
};
} // namespace

TEST (MaxConsoleNotifier, NotifiesEveryListenerOnceInOrderWithType2)
{
    std::vector<Received> log;
    RecordingListener a ("a", log), b ("b", log);
    kul::MaxConsoleNotifier notifier;

    notifier.Notify ("nobody listens");
    EXPECT_TRUE (log.empty());

    notifier.AddListener (&a);
    notifier.AddListener (nullptr);
    notifier.AddListener (&b);
    notifier.AddListener (&a);
    notifier.Notify ("hello");
    EXPECT_EQ (log, (std::vector<Received> { { "a", 2, "hello" }, { "b", 2, "hello" } }));

    log.clear();
    notifier.RemoveListener (&a);
    notifier.RemoveListener (&a);
    notifier.RemoveListener (nullptr);
    notifier.Notify ("again");
    EXPECT_EQ (log, (std::vector<Received> { { "b", 2, "again" } }));
}

TEST (MaxConsoleNotifier, ListenersMayRemoveThemselvesOrOthersWhileNotified)
{
    std::vector<Received> log;
    RecordingListener a ("a", log), b ("b", log), c ("c", log), d ("d", log);
    kul::MaxConsoleNotifier notifier;
    for (auto* listener : { &a, &b, &c, &d })
        notifier.AddListener (listener);

    b.onMessage = [&] { notifier.RemoveListener (&b); };
    c.onMessage = [&] { notifier.RemoveListener (&a); };
    notifier.Notify ("x");

    std::vector<std::string> called;
    for (const auto& entry : log)
        called.push_back (entry.listener);
    EXPECT_EQ (called, (std::vector<std::string> { "a", "b", "c", "d" }));

    log.clear();
    notifier.Notify ("y");
    EXPECT_EQ (log, (std::vector<Received> { { "c", 2, "y" }, { "d", 2, "y" } }));
}
