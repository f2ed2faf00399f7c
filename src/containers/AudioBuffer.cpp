#include "containers/AudioBuffer.h"

#include "common/Exception.h"
#include "text/StringHelper.h"

#include <algorithm>
#include <limits>

namespace kul
{
namespace
{
constexpr const char* sourceFile = "containers/OskelDspAudioBuffer";

[[noreturn]] void throwSizeFailure (unsigned int n, unsigned long m)
{
    throw Exception ("memory re-allocation failed (numChannels = " + StringHelper::ToString (n)
                         + ", numSamples = " + StringHelper::ToString (m) + ")",
                     sourceFile, 148, true, false);
}

// The product of the counts, refused before anything is allocated when it does
// not fit the address space.
size_t checkedSampleCount (unsigned int n, unsigned long m)
{
    constexpr size_t limit = std::numeric_limits<size_t>::max() / sizeof (float);

    if (n != 0 && m > limit / n)
        throwSizeFailure (n, m);

    return static_cast<size_t> (n) * m;
}
} // namespace

// Library exceptions are raised again with this file and line, so that the
// report names the buffer operation that failed.
AudioBuffer::AudioBuffer (unsigned int numChannelsToUse, unsigned long numSamplesToUse)
try : AudioBufferBase (numChannelsToUse, numSamplesToUse)
{
    data.Resize (checkedSampleCount (numChannelsToUse, numSamplesToUse));
    pointChannelsIntoData();
}
catch (...)
{
    RethrowAsLibraryException (sourceFile, 70, true);
}

AudioBuffer::~AudioBuffer() = default;

void AudioBuffer::SetSize (unsigned int newNumChannels, unsigned long newNumSamples)
{
    if (newNumChannels == numChannels && newNumSamples == numSamples)
        return;

    try
    {
        // Everything that can fail comes first, so that a failure leaves counts,
        // pointers and storage as they were.
        const auto total = checkedSampleCount (newNumChannels, newNumSamples);
        Vector<float*> newChannels (newNumChannels);
        data.Resize (total);

        channels = std::move (newChannels);
        numChannels = newNumChannels;
        numSamples = newNumSamples;
    }
    catch (...)
    {
        RethrowAsLibraryException (sourceFile, 156, true);
    }

    pointChannelsIntoData();
}

void AudioBuffer::SetSizeKeepingContent (unsigned int newNumChannels, unsigned long newNumSamples)
{
    if (newNumChannels == numChannels && newNumSamples == numSamples)
        return;

    AudioBuffer resized (newNumChannels, newNumSamples);
    const auto channelsToKeep = std::min (numChannels, newNumChannels);
    const auto samplesToKeep = std::min (numSamples, newNumSamples);

    for (unsigned int c = 0; c < channelsToKeep; ++c)
        std::copy_n (channels[c], samplesToKeep, resized.channels[c]);

    SetSize (newNumChannels, newNumSamples);
    data = resized.data;
    pointChannelsIntoData();
}

float AudioBuffer::GetMemorySizeMB() const
{
    return static_cast<float> (data.Capacity() * sizeof (float)) * (1.0f / 1048576.0f);
}

void AudioBuffer::pointChannelsIntoData() noexcept
{
    for (unsigned int c = 0; c < numChannels; ++c)
        channels[c] = numSamples == 0 ? nullptr : data.GetData() + static_cast<size_t> (c) * numSamples;
}

} // namespace kul
