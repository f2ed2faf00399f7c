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
#include <optional>
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

// A file whose length is exact and whose reads cannot fail (AIFF, WAV) is read into this
// buffer itself, sized through SetSize: everything that can refuse it (the factory, the
// channel index, audio the reader cannot read, a length the file's bytes cannot back) comes
// before the first resize, so a refused file leaves the buffer as it was, and storage that
// is large enough is reused without costing more. A decoded stream can still fail or be
// refused part-way, so it is decoded into storage of its own first (loadDecodedFrames).
bool AudioBuffer::LoadFromAudioFile (const File& file)
{
    const std::unique_ptr<AudioFileReader> reader (AudioFileFactory (file));

    if (reader == nullptr)
        return false;

    reader->CheckAudioIsReadable (sourceFile, 378);

    if (reader->IsLengthOnlyDeclared() || ! ReadsCannotFail (reader->GetFormatName()))
        return loadDecodedFrames (file, *reader, reader->GetNumChannels(), allChannels);

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

    reader->CheckAudioIsReadable (sourceFile, 404);

    if (reader->IsLengthOnlyDeclared() || ! ReadsCannotFail (reader->GetFormatName()))
        return loadDecodedFrames (file, *reader, 1, channel);

    const auto frames = static_cast<unsigned long> (std::max<int64_t> (reader->GetLengthInSamples(), 0));
    reader->CheckFramesAreBacked (frames, sourceFile, 405);
    makeRoomFor (1, frames);
    SetSize (1, frames);
    return reader->ReadChannel (*this, 0, 0, numSamples, channel, 0);
}

// The declared length (the scanned one for MPEG audio) sizes the storage once, as it is
// right for nearly every file. A stream that ends before it keeps only the frames it held;
// one that runs past it is counted to its end and decoded again into storage of its real
// length, since growing would hold old and new storage at once. The frames are taken into
// this buffer only when the whole stream has been decoded, so a read that fails or a stream
// the file's bytes cannot back (refused with the cap's text, before decoding when the
// declared length says so) leaves it as it was.
bool AudioBuffer::loadDecodedFrames (const File& file, AudioFileReader& reader, unsigned int newNumChannels, unsigned int fileChannel)
{
    reader.CheckFramesAreBacked (reader.GetDeclaredLength(), sourceFile, 414);
    const uint64_t declared = static_cast<uint64_t> (std::max<int64_t> (reader.GetLengthInSamples(), 0));

    std::optional<AudioBuffer> decoded (std::in_place, newNumChannels, static_cast<unsigned long> (declared));
    int64_t frames = decoded->decodeStream (reader, fileChannel);

    // The storage for the declared length is given back before that for the real one is
    // taken. The second decode reads from a reader opened afresh, as the first one did: a
    // seek back to the start is not exact in every stream.
    if (frames > static_cast<int64_t> (decoded->numSamples))
    {
        decoded.reset();
        decoded.emplace (newNumChannels, static_cast<unsigned long> (frames));
        const std::unique_ptr<AudioFileReader> again (AudioFileFactory (file));

        if (again == nullptr || again->GetNumChannels() != reader.GetNumChannels())
            return false;

        frames = std::min (decoded->decodeStream (*again, fileChannel), frames);
    }

    if (frames < 0)
        return false;

    decoded->keepFirstFrames (static_cast<unsigned long> (frames));

    // Storage that is large enough is kept, as for every load; otherwise the decoded
    // storage is taken over whole, without a copy.
    if (checkedSampleCount (newNumChannels, decoded->numSamples) <= data.Capacity())
    {
        SetSize (newNumChannels, decoded->numSamples);

        for (unsigned int c = 0; c < numChannels && numSamples > 0; ++c)
            std::copy_n (decoded->channels[c], numSamples, channels[c]);
    }
    else
    {
        takeContentOf (*decoded);

        // Nothing is left to size, but a buffer that follows its SetSize sees the load's size.
        SetSize (numChannels, numSamples);
    }

    return true;
}

// Decodes the stream from its first frame into this buffer, as many frames as it holds room
// for, and answers how many the stream holds (-1 when a read fails). Frames past the room
// are only counted, up to what the file's bytes can back.
int64_t AudioBuffer::decodeStream (AudioFileReader& reader, unsigned int fileChannel)
{
    const uint32_t fileChannels = reader.GetNumChannels();
    const uint64_t chunkFrames = std::max<uint64_t> (64, decodeChunkSamples / fileChannels);
    AudioBuffer chunk (fileChannels, static_cast<unsigned long> (chunkFrames));

    for (uint64_t done = 0;;)
    {
        const int64_t held = reader.ReadFramesHeld (chunk, 0, chunkFrames, static_cast<int64_t> (done));

        if (held < 0)
            return -1;

        const auto got = static_cast<uint64_t> (held);
        reader.CheckFramesAreBacked (done + got, sourceFile, 420);
        const uint64_t room = done < numSamples ? std::min<uint64_t> (got, numSamples - done) : 0;

        for (unsigned int c = 0; c < numChannels && room > 0; ++c)
            std::copy_n (chunk.channels[fileChannel == allChannels ? c : fileChannel], room, channels[c] + done);

        done += got;

        if (got < chunkFrames)
            return static_cast<int64_t> (done);
    }
}

// Shortens every channel to its first frames. The channels move down to their new places;
// storage left over by more than one decoding chunk is given back through a copy.
void AudioBuffer::keepFirstFrames (unsigned long frames)
{
    if (frames == numSamples)
        return;

    if (data.Capacity() - checkedSampleCount (numChannels, frames) > decodeChunkSamples)
    {
        AudioBuffer kept (numChannels, frames);

        for (unsigned int c = 0; c < numChannels && frames > 0; ++c)
            std::copy_n (channels[c], frames, kept.channels[c]);

        takeContentOf (kept);
        return;
    }

    for (unsigned int c = 1; c < numChannels; ++c)
        std::memmove (data.GetData() + static_cast<size_t> (c) * frames, channels[c], frames * sizeof (float));

    SetSize (numChannels, frames);
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
