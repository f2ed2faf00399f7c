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

// A load reads into this buffer itself, sized through SetSize. Everything that can refuse the
// file (the factory, the channel index, a length the file's bytes cannot back) comes
// before the first resize, so a refused file leaves the buffer as it was.
bool AudioBuffer::LoadFromAudioFile (const File& file)
{
    const std::unique_ptr<AudioFileReader> reader (AudioFileFactory (file));

    if (reader == nullptr)
        return false;

    if (reader->IsLengthOnlyDeclared())
        return loadDecodedFrames (*reader, reader->GetNumChannels(), allChannels);

    const auto frames = static_cast<unsigned long> (std::max<int64_t> (reader->GetLengthInSamples(), 0));
    reader->CheckFramesAreBacked (frames, sourceFile, 380);
    makeRoomFor (reader->GetNumChannels(), frames);
    SetSize (reader->GetNumChannels(), frames);
    return reader->Read (*this, 0, numSamples, 0);
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

    if (reader->IsLengthOnlyDeclared())
        return loadDecodedFrames (*reader, 1, channel);

    const auto frames = static_cast<unsigned long> (std::max<int64_t> (reader->GetLengthInSamples(), 0));
    reader->CheckFramesAreBacked (frames, sourceFile, 405);
    makeRoomFor (1, frames);
    SetSize (1, frames);
    return reader->ReadChannel (*this, 0, 0, numSamples, channel, 0);
}

// The declared length is only a hint, taken up to what an ordinary stream of the file's
// size holds: the buffer grows as frames are really decoded, stops at the stream's end and
// never reaches past what the file's bytes can back. Frames a header promised but the
// stream does not hold are not made up.
bool AudioBuffer::loadDecodedFrames (AudioFileReader& reader, unsigned int newNumChannels, unsigned int fileChannel)
{
    const uint32_t fileChannels = reader.GetNumChannels();
    const uint64_t mostFrames = reader.GetMostFramesBacked();
    const uint64_t declared = static_cast<uint64_t> (std::max<int64_t> (reader.GetLengthInSamples(), 0));
    const uint64_t hint = std::min ({ declared, mostFrames, mostFrames / (AudioFileReader::mostSamplesPerFileByte / hintSamplesPerFileByte) });

    const uint64_t chunkFrames = std::max<uint64_t> (64, 262144 / fileChannels);
    AudioBuffer chunk (fileChannels, static_cast<unsigned long> (chunkFrames));

    makeRoomFor (newNumChannels, static_cast<unsigned long> (hint));
    SetSize (newNumChannels, static_cast<unsigned long> (hint));
    uint64_t done = 0;

    for (;;)
    {
        const int64_t held = reader.ReadFramesHeld (chunk, 0, chunkFrames, static_cast<int64_t> (done));

        if (held < 0)
            return false;

        const auto got = static_cast<uint64_t> (held);

        if (done + got > numSamples)
        {
            reader.CheckFramesAreBacked (done + got, sourceFile, 420);
            const auto grown = std::min (std::max (done + got, uint64_t (numSamples) * 2), mostFrames);

            // Taken at exactly that size, which a growing flat storage would round up.
            SetSizeKeepingContent (newNumChannels, static_cast<unsigned long> (grown));
        }

        for (unsigned int c = 0; c < newNumChannels; ++c)
            std::copy_n (chunk.channels[fileChannel == allChannels ? c : fileChannel], got, channels[c] + done);

        done += got;

        if (got < chunkFrames)
            break;
    }

    // The channels move down to their places for the real length; the storage stays.
    for (unsigned int c = 1; c < newNumChannels && done < numSamples; ++c)
        std::memmove (data.GetData() + c * done, channels[c], done * sizeof (float));

    SetSize (newNumChannels, static_cast<unsigned long> (done));
    return true;
}

// A load overwrites every sample, so storage too small for the file is given back before
// the larger one is taken: old and new content are never held at once.
void AudioBuffer::makeRoomFor (unsigned int newNumChannels, unsigned long newNumSamples)
{
    if (checkedSampleCount (newNumChannels, newNumSamples) <= data.Capacity())
        return;

    data = Vector<float>();
    numSamples = 0;
    pointChannelsIntoData();
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
