#pragma once

#include "math/Vector.h"

#include <string>

namespace kul
{

/** Hands texts to the listeners that asked for them (the OSC interface reports
    through it). Listeners are not owned. */
class MaxConsoleNotifier
{
public:
    class Listener
    {
    public:
        virtual ~Listener() = default;
        virtual void MessageReceived (const int& type, const std::string& text) = 0;
    };

    /** The message type of every notification. */
    static constexpr int messageType = 2;

    MaxConsoleNotifier() = default;

    /** A null listener, or one already in the list, is ignored. */
    void AddListener (Listener* listener);
    void RemoveListener (Listener* listener) noexcept;

    /** Calls MessageReceived (2, text) on every listener in list order. A listener
        may add or remove listeners (itself included) while it is called. */
    void Notify (const std::string& text);

private:
    Vector<Listener*> listeners;
};

} // namespace kul
