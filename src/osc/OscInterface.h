#pragma once

#include "common/MaxConsoleNotifier.h"
#include "common/PresetElement.h"
#include "osc/OSCBundle.h"
#include "osc/OscDocumentation.h"

#include <memory>
#include <mutex>

namespace kul
{

/** OSC control of a processor: a pending bundle that other threads fill and that
    the audio thread drains without ever waiting, handlers for the messages, and
    the processor's state as a bundle or a preset tree. Messages that no handler
    takes are reported as text to the notifier's listeners. */
class OscInterface : public MaxConsoleNotifier
{
public:
    OscInterface();
    virtual ~OscInterface();

    OscInterface (const OscInterface&) = delete;
    OscInterface& operator= (const OscInterface&) = delete;

    /** True when the message was handled; the default handles nothing. */
    virtual bool ProcessOscMessage (const OSCMessage& message, bool flag);

    /** The object's state; the default is an empty bundle. */
    virtual OSCBundle GetStateAsOscBundle();

    /** The state bundle as an element tree under a "preset" root. Address components
        followed by an unsigned integer select (or create) the child with that
        "index" attribute; the arguments text of each message becomes a text element. */
    virtual std::unique_ptr<PresetElement> GetStateAsPresetTree();

    virtual OscDocumentation::List GetOscDocumentation();

    virtual void ReservedOscHookA() {}
    virtual void ReservedOscHookB() {}

    /** Takes the pending bundle and processes it. Blocking waits for the lock;
        non-blocking (the audio thread) gives up at once, returning true, when
        another thread holds it, and moves the elements out instead of copying. */
    bool ProcessPendingBundle (bool flag, bool blocking);

    /** Every element in order, nested bundles recursively; false when any message was not handled. */
    bool ProcessBundle (const OSCBundle& bundle, bool flag);

    /** Appends to the pending bundle under the lock (waits for it). */
    void AddPendingMessage (const OSCMessage& message);
    void AddPendingBundle (const OSCBundle& bundle);

    /** The lock of the pending bundle; recursive, so a holder may fill the bundle. */
    std::recursive_mutex& GetPendingLock() noexcept { return pendingLock; }

protected:
    std::recursive_mutex pendingLock;
    OSCBundle pendingBundle;
};

} // namespace kul
