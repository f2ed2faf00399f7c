#pragma once

/** Lets the host's main loop drive JUCE: every file descriptor that JUCE's event
    loop watches (its message queue, the X connection) is registered with the
    host, which calls back on its main thread when one is readable; and the host
    may ask for every pending paint to be drawn before it reads a window. */
namespace HostEventLoop
{
/** Registers JUCE's descriptors with the host, all of them again, and follows
    JUCE's later changes. Called on the main thread once JUCE is initialised;
    calling it again (after the host restarted) registers everything anew. */
void Attach();

/** Stops following JUCE and takes its descriptors out of the host's loop. */
void Detach();

/** The number of JUCE descriptors now registered with the host. */
int GetNumRegisteredDescriptors();
} // namespace HostEventLoop
