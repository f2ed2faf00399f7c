#include "dsp/AudioProcessorWithAutoMute.h"

#include <algorithm>

namespace kul
{

AudioProcessorWithAutoMute::AudioProcessorWithAutoMute (unsigned int numInputsToUse, unsigned int numOutputsToUse)
    : AudioProcessorBase (numInputsToUse, numOutputsToUse),
      analyzer (numInputsToUse, numOutputsToUse)
{
}

AudioProcessorWithAutoMute::~AudioProcessorWithAutoMute() = default;

bool AudioProcessorWithAutoMute::IsChannelConnected (int channel)
{
    return isSet (analyzer.inletConnected, channel) && isSet (analyzer.outletConnected, channel);
}

bool AudioProcessorWithAutoMute::IsOutletConnected (int outlet)
{
    return isSet (analyzer.outletConnected, outlet);
}

bool AudioProcessorWithAutoMute::IsInletActive (int inlet)
{
    return isSet (analyzer.inletActive, inlet);
}

bool AudioProcessorWithAutoMute::IsAnyOutletConnected()
{
    return std::any_of (analyzer.outletConnected.begin(), analyzer.outletConnected.end(),
                        [] (short flag) { return flag == 1; });
}

void AudioProcessorWithAutoMute::SetNumberOfInlets (unsigned int n)
{
    if (analyzer.inletConnected.Size() == n)
        return;

    analyzer.inletConnected.Resize (n);
    analyzer.Resize (n);
    std::fill (analyzer.inletConnected.begin(), analyzer.inletConnected.end(), short (1));
    analyzer.Reset();
}

void AudioProcessorWithAutoMute::SetNumberOfOutlets (unsigned int n)
{
    if (analyzer.outletConnected.Size() == n)
        return;

    analyzer.outletConnected.Resize (n);
    std::fill (analyzer.outletConnected.begin(), analyzer.outletConnected.end(), short (1));
}

void AudioProcessorWithAutoMute::AnalyzeInletsActivity (float** inputs, unsigned int numSamples)
{
    analyzer.Analyze (inputs, numSamples);
}

void AudioProcessorWithAutoMute::SampleRateChanged (float newRate)
{
    analyzer.SetSampleRate (newRate);
}

void AudioProcessorWithAutoMute::SetConnections (const short* counts)
{
    if (counts == nullptr)
        return;

    const auto numInlets = analyzer.inletConnected.Size();

    for (size_t i = 0; i < numInlets; ++i)
        analyzer.inletConnected[i] = counts[i] > 0 ? 1 : 0;

    for (size_t j = 0; j < analyzer.outletConnected.Size(); ++j)
        analyzer.outletConnected[j] = counts[numInlets + j] > 0 ? 1 : 0;
}

void AudioProcessorWithAutoMute::SetAutoMuteActive (bool on)
{
    analyzer.autoMuteOn = on;
}

void AudioProcessorWithAutoMute::SetAutoMuteTime (float seconds)
{
    if (! (seconds > 0.0f))
    {
        analyzer.autoMuteOn = false;
        return;
    }

    analyzer.autoMuteOn = true;
    analyzer.autoMuteTime = std::clamp (seconds, 1.0f, 500.0f);
    analyzer.UpdateThreshold();
}

} // namespace kul
