#pragma once

#include "dsp/AudioProcessorWithAutoMute.h"
#include "osc/OscInterface.h"

namespace kul
{

/** A processor controlled through OSC messages, whose pending messages are taken
    on the audio thread without waiting. */
class AudioProcessorWithOscInAudioInterrupt : public AudioProcessorWithAutoMute,
                                              public OscInterface
{
public:
    AudioProcessorWithOscInAudioInterrupt (unsigned int numInputs, unsigned int numOutputs);
    ~AudioProcessorWithOscInAudioInterrupt() override;

    /** Drains the pending bundle without waiting for its lock. Nothing thrown by a
        handler (or by an element that carries nothing) gets out: such a drain
        answers false. */
    bool ProcessPendingOscMessages() noexcept override;

    /** The processor's addresses, then the interface's, then the concrete processor's own. */
    OscDocumentation::List GetOscDocumentation() override;

    /** The concrete processor's own entries; none by default. */
    virtual OscDocumentation::List GetSpecificOscDocumentation();
};

} // namespace kul
