#include "containers/AudioBuffer.h"

#include "audiofiles/AudioFileFactory.h"
#include "audiofiles/AudioFileReader.h"
#include "common/Exception.h"
#include "math/MatFile.h"
#include "math/Matrix.h"
#include "text/StringHelper.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>
#include <utility>

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

    // Taken over whole, without a second copy that could fail half-way.
    takeContentOf (resized);
}

float AudioBuffer::GetMemorySizeMB() const
{
    return static_cast<float> (data.Capacity() * sizeof (float)) * (1.0f / 1048576.0f);
}

bool AudioBuffer::SaveToMatFile (const File& file, const std::string& variableName)
{
    Matrix<float> matrix (numChannels, numSamples);

    for (unsigned int c = 0; c < numChannels; ++c)
        if (numSamples > 0)
            std::memcpy (&matrix (c, 0), channels[c], numSamples * sizeof (float));

    return WriteMatrixToMatFile (file, matrix, variableName, true);
}

// A file is read into a buffer of its own, which replaces this one's content only when
// the whole read succeeded, so a failure leaves the buffer as it was.
bool AudioBuffer::LoadFromAudioFile (const File& file)
{
    const std::unique_ptr<AudioFileReader> reader (AudioFileFactory (file));

    if (reader == nullptr)
        return false;

    AudioBuffer loaded (reader->GetNumChannels(), static_cast<unsigned long> (std::max<int64_t> (reader->GetLengthInSamples(), 0)));

    if (! reader->Read (loaded, 0, loaded.numSamples, 0))
        return false;

    takeContentOf (loaded);
    return true;
}

bool AudioBuffer::LoadChannelFromAudioFile (const File& file, unsigned int channel)
{
    const std::unique_ptr<AudioFileReader> reader (AudioFileFactory (file));

    if (reader == nullptr)
        return false;

    if (channel >= reader->GetNumChannels())
        throw Exception ("Invalid channel index " + StringHelper::ToString (channel) + " for file "
                             + StringHelper::Quoted (file.GetFullPathName()),
                         sourceFile, 402, true, false);

    AudioBuffer loaded (1, static_cast<unsigned long> (std::max<int64_t> (reader->GetLengthInSamples(), 0)));

    if (! reader->ReadChannel (loaded, 0, 0, loaded.numSamples, channel, 0))
        return false;

    takeContentOf (loaded);
    return true;
}

void AudioBuffer::takeContentOf (AudioBuffer& other) noexcept
{
    std::swap (numChannels, other.numChannels);
    std::swap (numSamples, other.numSamples);
    std::swap (channels, other.channels);
    std::swap (data, other.data);
}

void AudioBuffer::pointChannelsIntoData() noexcept
{
    for (unsigned int c = 0; c < numChannels; ++c)
        channels[c] = numSamples == 0 ? nullptr : data.GetData() + static_cast<size_t> (c) * numSamples;
}

} // namespace kul
