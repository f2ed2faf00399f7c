#include "dsp/AudioProcessorBase.h"

#include "dsp/SampleCount.h"
#include "math/VectorOperations.h"
#include "text/StringHelper.h"

#include <algorithm>
#include <cstring>

namespace kul
{

AudioProcessorBase::AudioProcessorBase (unsigned int numInputsToUse, unsigned int numOutputsToUse)
    : numInputs (numInputsToUse),
      numOutputs (numOutputsToUse)
{
}

AudioProcessorBase::~AudioProcessorBase() = default;

template <typename T>
void AudioProcessorBase::processBypass (T** outputs, T** inputs, unsigned int numSamples)
{
    const auto numChannels = std::min (numInputs, numOutputs);

    for (unsigned int i = 0; i < numChannels; ++i)
    {
        const auto channel = static_cast<int> (i);

        if (IsChannelConnected (channel) && IsInletActive (channel))
        {
            if (outputs[i] != inputs[i] && numSamples > 0)
                std::memmove (outputs[i], inputs[i], numSamples * sizeof (T));
        }
        else if (IsOutletConnected (channel))
        {
            FillVector (outputs[i], numSamples, T (0));
        }
    }

    for (unsigned int i = numChannels; i < numOutputs; ++i)
        if (IsOutletConnected (static_cast<int> (i)))
            FillVector (outputs[i], numSamples, T (0));
}

template <typename T>
void AudioProcessorBase::processMute (T** outputs, unsigned int numSamples)
{
    for (unsigned int i = 0; i < numOutputs; ++i)
        if (IsOutletConnected (static_cast<int> (i)))
            FillVector (outputs[i], numSamples, T (0));
}

void AudioProcessorBase::ProcessBypass (float** outputs, float** inputs, unsigned int numSamples)
{
    processBypass (outputs, inputs, numSamples);
}

void AudioProcessorBase::ProcessBypass (double** outputs, double** inputs, unsigned int numSamples)
{
    processBypass (outputs, inputs, numSamples);
}

void AudioProcessorBase::ProcessMute (float** outputs, unsigned int numSamples)
{
    processMute (outputs, numSamples);
}

void AudioProcessorBase::ProcessMute (double** outputs, unsigned int numSamples)
{
    processMute (outputs, numSamples);
}

std::string AudioProcessorBase::GetInletDescription (int index)
{
    if (index >= 0 && static_cast<unsigned int> (index) < numInputs)
        return "input #" + StringHelper::ToString (index + 1);

    return {};
}

std::string AudioProcessorBase::GetOutletDescription (int index)
{
    if (index >= 0 && static_cast<unsigned int> (index) < numOutputs)
        return "output #" + StringHelper::ToString (index + 1);

    return "dumpout";
}

StringArray AudioProcessorBase::GetStringListHook()
{
    return StringArray::GetEmpty();
}

void AudioProcessorBase::SampleRateChanged (float) {}
void AudioProcessorBase::BufferSizeChanged (unsigned int) {}
void AudioProcessorBase::Clear() {}
bool AudioProcessorBase::GetBooleanHook() { return false; }
bool AudioProcessorBase::IsChannelConnected (int) { return true; }
bool AudioProcessorBase::IsOutletConnected (int) { return true; }
bool AudioProcessorBase::IsInletActive (int) { return true; }
bool AudioProcessorBase::IsAnyOutletConnected() { return true; }
void AudioProcessorBase::SetNumberOfInlets (unsigned int) {}
void AudioProcessorBase::SetNumberOfOutlets (unsigned int) {}
bool AudioProcessorBase::ProcessPendingOscMessages() { return false; }
void AudioProcessorBase::AnalyzeInletsActivity (float**, unsigned int) {}

void AudioProcessorBase::SetSampleRateAndBufferSize (unsigned int newBufferSize, bool force, float newSampleRate)
{
    constexpr float fallbackRate = 44100.0f;
    constexpr unsigned int fallbackBufferSize = 512;

    if (newSampleRate != sampleRate || newBufferSize != bufferSize || force)
    {
        sampleRate = IsUsableSampleRate (newSampleRate) ? newSampleRate : fallbackRate;
        SampleRateChanged (sampleRate);

        bufferSize = newBufferSize != 0 ? newBufferSize : fallbackBufferSize;
        BufferSizeChanged (bufferSize);

        Clear();
    }

    DisableDenormals();
}

void AudioProcessorBase::SetSampleRate (float rate)
{
    sampleRate = rate;
    SampleRateChanged (rate);
}

} // namespace kul
