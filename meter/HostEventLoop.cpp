#include "meter/HostEventLoop.h"

#include "cocoa/window/NSWindow.h"
#include "ext_mainloop.h"

#include <juce_events/juce_events.h>
#include <juce_events/native/juce_linux_EventLoopInternal.h>

#include <algorithm>
#include <mutex>
#include <set>
#include <vector>

namespace
{
void onReadable (int fd, void*)
{
    juce::LinuxEventLoopInternal::invokeEventLoopCallbackForFd (fd);
}

// JUCE paints from its own timer: a host that reads a window's pixels asks first.
void finishDrawing (void*)
{
    NSWindowDisplayAllIfNeeded();
}

class DescriptorForwarder : public juce::LinuxEventLoopInternal::Listener
{
public:
    void attach()
    {
        {
            std::lock_guard<std::mutex> lock (mutex);
            // A restarted host has forgotten every descriptor: all are registered anew.
            registered.clear();

            if (! listening)
            {
                juce::LinuxEventLoopInternal::registerLinuxEventLoopListener (*this);
                listening = true;
            }
        }
        fdCallbacksChanged();
    }

    void detach()
    {
        std::lock_guard<std::mutex> lock (mutex);

        if (listening)
        {
            juce::LinuxEventLoopInternal::deregisterLinuxEventLoopListener (*this);
            listening = false;
        }

        for (const int fd : registered)
            maxhost_mainloop_removefd (fd);

        registered.clear();
    }

    // JUCE calls this on the thread that changed its descriptors.
    void fdCallbacksChanged() override
    {
        const auto current = juce::LinuxEventLoopInternal::getRegisteredFds();
        std::lock_guard<std::mutex> lock (mutex);

        for (auto it = registered.begin(); it != registered.end();)
        {
            if (std::find (current.begin(), current.end(), *it) == current.end())
            {
                maxhost_mainloop_removefd (*it);
                it = registered.erase (it);
            }
            else
                ++it;
        }

        for (const int fd : current)
            if (registered.insert (fd).second)
                maxhost_mainloop_addfd (fd, onReadable, nullptr);
    }

    int count()
    {
        std::lock_guard<std::mutex> lock (mutex);
        return static_cast<int> (registered.size());
    }

private:
    std::mutex mutex;
    std::set<int> registered;
    bool listening = false;
};

DescriptorForwarder& forwarder()
{
    // Lives for the whole load: JUCE may report changes until it shuts down.
    static auto* instance = new DescriptorForwarder();
    return *instance;
}
} // namespace

namespace HostEventLoop
{
void Attach()
{
    forwarder().attach();
    maxhost_mainloop_adddrawcallback (finishDrawing, nullptr);
}

void Detach()
{
    maxhost_mainloop_removedrawcallback (finishDrawing);
    forwarder().detach();
}

int GetNumRegisteredDescriptors()
{
    return forwarder().count();
}
} // namespace HostEventLoop
