// Drawing on demand, as displayIfNeeded does it, over JUCE's X11 windows. JUCE paints a
// window from a timer, into an image that it sends to the X server; what the server has
// exposed reaches JUCE only as events on its connection.
#define JUCE_GUI_BASICS_INCLUDE_XHEADERS 1

#include "NSWindow.h"

#include <juce_gui_basics/juce_gui_basics.h>
#include <juce_events/native/juce_linux_EventLoopInternal.h>

namespace
{
/** Waits until the server has handled every request sent so far; the events it sent
    meanwhile are then queued on the connection. */
void syncWithServer (::Display* display)
{
    juce::XWindowSystemUtilities::ScopedXLock lock;
    juce::X11Symbols::getInstance()->xSync (display, False);
}
} // namespace

void NSWindowDisplayAllIfNeeded() noexcept
{
    auto* windowSystem = juce::XWindowSystem::getInstanceWithoutCreating();
    if (windowSystem == nullptr || windowSystem->getDisplay() == nullptr)
        return;

    auto* display = windowSystem->getDisplay();
    const int connection = juce::X11Symbols::getInstance()->xConnectionNumber (display);

    // Each round takes in the server's events (exposed areas, new sizes, images it has
    // finished taking from shared memory, which JUCE waits for before it paints again)
    // and paints what is pending. A paint adds no new work, so the second round finds
    // the first one's images taken and paints whatever the first had to leave.
    for (int round = 0; round < 2; ++round)
    {
        syncWithServer (display);
        juce::LinuxEventLoopInternal::invokeEventLoopCallbackForFd (connection);

        for (int i = 0; i < juce::ComponentPeer::getNumPeers(); ++i)
            if (auto* peer = juce::ComponentPeer::getPeer (i))
                peer->performAnyPendingRepaintsNow();
    }

    syncWithServer (display);
}
