#include "containers/AudioBufferBase.h"

#include "math/VectorOperations.h"

#include <algorithm>
#include <cstring>

namespace kul
{

AudioBufferBase::AudioBufferBase (unsigned int numChannelsToUse, unsigned long numSamplesToUse)
    : numChannels (numChannelsToUse),
      numSamples (numSamplesToUse),
      channels (numChannelsToUse)
{
    std::fill (channels.begin(), channels.end(), nullptr);
}

AudioBufferBase::~AudioBufferBase()
{
    std::fill (channels.begin(), channels.end(), nullptr);
}

void AudioBufferBase::SetSize (unsigned int newNumChannels, unsigned long newNumSamples)
{
    if (newNumChannels != numChannels)
    {
        const auto oldSize = channels.Size();
        channels.Resize (newNumChannels);

        for (size_t c = oldSize; c < channels.Size(); ++c)
            channels[c] = nullptr;

        numChannels = newNumChannels;
    }

    numSamples = newNumSamples;
}

void AudioBufferBase::SetNumChannels (unsigned int n)
{
    if (n != numChannels)
        SetSize (n, numSamples);
}

void AudioBufferBase::SetNumSamples (unsigned long n)
{
    if (n != numSamples)
        SetSize (numChannels, n);
}

bool AudioBufferBase::SaveToMatFile (const File&, const std::string&)
{
    return false;
}

bool AudioBufferBase::LoadFromAudioFile (const File&)
{
    return false;
}

bool AudioBufferBase::LoadChannelFromAudioFile (const File&, unsigned int)
{
    return false;
}

void AudioBufferBase::CopyFrom (unsigned int channel, unsigned long startSample, const float* source,
                                unsigned long count, float gain)
{
    float* channelData = GetChannel (channel);

    if (channelData == nullptr || source == nullptr || startSample >= numSamples)
        return;

    count = std::min (count, numSamples - startSample);

    if (count == 0)
        return;

    float* dest = channelData + startSample;

    if (gain == 1.0f)
    {
        if (dest != source)
            std::memmove (dest, source, count * sizeof (float));
        return;
    }

    // The vector primitives read and write forward, which is only safe on
    // identical or separate ranges; a partly overlapping source is moved into
    // place first and scaled there.
    const bool partlyOverlapping = dest != source && dest < source + count && source < dest + count;

    if (partlyOverlapping)
    {
        std::memmove (dest, source, count * sizeof (float));
        ScaleVector (dest, dest, count, gain);
    }
    else
    {
        ScaleVector (dest, source, count, gain);
    }
}

void AudioBufferBase::CopyFrom (unsigned int channel, unsigned long startSample, const AudioBufferBase& source,
                                unsigned int sourceChannel, unsigned long sourceStartSample, float gain)
{
    const float* sourceData = source.GetChannel (sourceChannel);

    if (sourceData == nullptr || sourceStartSample >= source.numSamples || startSample >= numSamples)
        return;

    const auto count = std::min (source.numSamples - sourceStartSample, numSamples - startSample);
    CopyFrom (channel, startSample, sourceData + sourceStartSample, count, gain);
}

} // namespace kul
