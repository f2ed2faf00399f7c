#include "dsp/AudioProcessorWithOscInAudioInterrupt.h"

namespace kul
{

AudioProcessorWithOscInAudioInterrupt::AudioProcessorWithOscInAudioInterrupt (unsigned int numInputsToUse,
                                                                              unsigned int numOutputsToUse)
    : AudioProcessorWithAutoMute (numInputsToUse, numOutputsToUse)
{
}

AudioProcessorWithOscInAudioInterrupt::~AudioProcessorWithOscInAudioInterrupt() = default;

bool AudioProcessorWithOscInAudioInterrupt::ProcessPendingOscMessages() noexcept
{
    try
    {
        return ProcessPendingBundle (true, false);
    }
    catch (...)
    {
        return false;
    }
}

OscDocumentation::List AudioProcessorWithOscInAudioInterrupt::GetOscDocumentation()
{
    OscDocumentation::List list;
    OscDocumentation::AddEntry (list, "/dsp/samplerate", "[number]", "sets the sampling rate (in Hz)");
    OscDocumentation::AddEntry (list, "/dsp/buffersize", "[number]", "sets the buffer size (in samples)");
    OscDocumentation::AddEntry (list, "/dsp/clear", "", "clears the internal state of the audio processor");
    OscDocumentation::AddEntry (list, "/dsp/mute", "[boolean]", "mutes the DSP rendering");
    OscDocumentation::AddEntry (list, "/dsp/bypass", "[boolean]", "bypass the DSP rendering");
    OscDocumentation::AddEntry (list, "/dsp/automute/active", "[boolean]", "enables/disables the auto-mute");
    OscDocumentation::AddEntry (list, "/dsp/automute/attack", "[number]", "sets the duration (in seconds) before auto-muting");
    OscDocumentation::Merge (list, OscInterface::GetOscDocumentation());
    OscDocumentation::Merge (list, GetSpecificOscDocumentation());
    return list;
}

OscDocumentation::List AudioProcessorWithOscInAudioInterrupt::GetSpecificOscDocumentation()
{
    return {};
}

} // namespace kul
