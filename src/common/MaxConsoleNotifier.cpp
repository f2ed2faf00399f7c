#include "common/MaxConsoleNotifier.h"

#include <algorithm>

namespace kul
{

void MaxConsoleNotifier::AddListener (Listener* listener)
{
    if (listener != nullptr && ! listeners.Contains (listener))
        listeners.PushBack (listener);
}

void MaxConsoleNotifier::RemoveListener (Listener* listener) noexcept
{
    auto* end = std::remove (listeners.begin(), listeners.end(), listener);
    // Shrinking never allocates, so it cannot throw.
    listeners.Resize (static_cast<size_t> (end - listeners.begin()));
}

void MaxConsoleNotifier::Notify (const std::string& text)
{
    // The list is read afresh after every call. When the listener just called is
    // no longer at its place (it removed itself or one before it), the one now
    // there has not been called yet, so the index stays.
    for (size_t i = 0; i < listeners.Size();)
    {
        Listener* listener = listeners[i];
        listener->MessageReceived (messageType, text);

        if (i < listeners.Size() && listeners[i] == listener)
            ++i;
    }
}

} // namespace kul
