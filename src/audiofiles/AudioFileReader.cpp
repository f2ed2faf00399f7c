#include "audiofiles/AudioFileReader.h"

#include "common/Exception.h"
#include "containers/AudioBufferBase.h"
#include "files/FileReader.h"
#include "math/VectorOperations.h"
#include "text/StringHelper.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace kul
{
namespace
{
// start + count <= limit, without wrapping.
bool rangeFits (uint64_t start, uint64_t count, uint64_t limit) noexcept
{
    return count <= limit && start <= limit - count;
}

// The file frame done frames after start; a sum past the largest frame number is
// beyond every file, so it stops there.
int64_t frameAfter (int64_t start, uint64_t done) noexcept
{
    constexpr auto largest = std::numeric_limits<int64_t>::max();
    if (start >= 0 && done > static_cast<uint64_t> (largest - start))
        return largest;
    return static_cast<int64_t> (static_cast<uint64_t> (start) + done);
}

void zeroFrames (int** destChannels, uint32_t numChannels, uint64_t from, uint64_t count) noexcept
{
    for (uint32_t c = 0; c < numChannels; ++c)
        if (destChannels[c] != nullptr && count > 0)
            std::memset (reinterpret_cast<unsigned char*> (destChannels[c]) + from * sizeof (int), 0, count * sizeof (int));
}
} // namespace

AudioFileReader::AudioFileReader() = default;

AudioFileReader::~AudioFileReader() = default;

void AudioFileReader::OpenFile (const File& file, const std::string& name)
{
    fileReader = std::make_unique<FileReader> (file);
    isFloatingPoint = false;
    formatName = name;
}

void AudioFileReader::ThrowUnlessValid (const File& file, const std::string& kind, const char* sourceFile, long line) const
{
    if (! IsValid())
        throw Exception ("file " + StringHelper::Quoted (file.GetFullPathName()) + " is not a valid " + kind + " file",
                         sourceFile, line, true, false);
}

bool AudioFileReader::Read (AudioBufferBase& buffer, uint64_t destStartSample, uint64_t numSamples, int64_t fileStartFrame)
{
    if (numSamples == 0)
        return true;

    if (! rangeFits (destStartSample, numSamples, buffer.GetNumSamples()) || numChannels > buffer.GetNumChannels())
        return false;

    channelPointers.Resize (numChannels);

    for (uint32_t c = 0; c < numChannels; ++c)
    {
        float* channel = buffer.GetChannel (c);
        // The converters store words as bytes, so pointing at float storage is safe.
        channelPointers[c] = channel == nullptr ? nullptr : reinterpret_cast<int*> (channel + destStartSample);
    }

    if (! ReadSamples (channelPointers.GetData(), numSamples, fileStartFrame))
        return false;

    if (! isFloatingPoint)
        for (uint32_t c = 0; c < numChannels; ++c)
            if (float* channel = buffer.GetChannel (c))
                ConvertWordsToFloats (channel + destStartSample, numSamples);

    return true;
}

bool AudioFileReader::ReadChannel (AudioBufferBase& buffer, uint32_t destChannel, uint64_t destStartSample,
                                   uint64_t numSamples, uint32_t fileChannel, int64_t fileStartFrame)
{
    if (destChannel >= buffer.GetNumChannels() || fileChannel >= numChannels
        || ! rangeFits (destStartSample, numSamples, buffer.GetNumSamples()))
        return false;

    // Where the length is exact, frames outside it are silence: they are written here, and
    // neither read nor given work memory, so that a header's channel count times a long
    // request cannot decide an allocation. A decoded stream may run past its declared length,
    // so all of its frames are read.
    uint64_t before = 0, held = numSamples;

    if (! IsLengthOnlyDeclared())
    {
        if (fileStartFrame < 0)
            before = std::min (numSamples, 0 - static_cast<uint64_t> (fileStartFrame));

        // Past the frames before the file's start, the next one is frame 0 or later.
        const int64_t first = frameAfter (fileStartFrame, before);
        held = 0;

        if (before < numSamples && first < numFrames)
            held = std::min (numSamples - before, static_cast<uint64_t> (numFrames - first));
    }

    if (float* destination = buffer.GetChannel (destChannel))
    {
        FillVector (destination + destStartSample, before, 0.0f);
        FillVector (destination + destStartSample + before + held, numSamples - before - held, 0.0f);
    }

    // Wide files take fewer frames per chunk, so that the chunk's bytes stay bounded.
    const uint64_t chunkSize = std::clamp<uint64_t> (maxChunkBytes / (sizeof (float) * numChannels), 1,
                                                     numChannels < 33 ? 65536 : 8192);

    for (uint64_t done = 0; done < held;)
    {
        const uint64_t n = std::min (held - done, chunkSize);
        workBuffer.SetSize (numChannels, n);

        if (! Read (workBuffer, 0, n, frameAfter (fileStartFrame, before + done)))
            return false;

        buffer.CopyFrom (destChannel, destStartSample + before + done, workBuffer.GetChannel (fileChannel), n, 1.0f);
        done += n;
    }

    return true;
}

int64_t AudioFileReader::ReadFramesHeld (AudioBufferBase& buffer, uint64_t destStartSample, uint64_t numSamples, int64_t fileStartFrame)
{
    if (! Read (buffer, destStartSample, numSamples, fileStartFrame))
        return -1;

    return numSamples == 0 ? 0 : static_cast<int64_t> (std::min (CountFramesHeldByLastRead (numSamples, fileStartFrame), numSamples));
}

uint64_t AudioFileReader::CountFramesHeldByLastRead (uint64_t numFramesRead, int64_t startFrame) const noexcept
{
    if (startFrame < 0 || startFrame >= numFrames)
        return 0;

    return std::min (numFramesRead, static_cast<uint64_t> (numFrames - startFrame));
}

uint64_t AudioFileReader::GetMostFramesBacked() const noexcept
{
    const int64_t bytes = fileReader != nullptr ? fileReader->GetTotalLength() : 0;

    if (bytes <= 0 || numChannels == 0)
        return 0;

    // A file's size is far below 2^50 bytes, so the product cannot wrap.
    return static_cast<uint64_t> (bytes) * mostSamplesPerFileByte / numChannels;
}

void AudioFileReader::CheckFramesAreBacked (uint64_t frames, const char* sourceFile, long line) const
{
    if (frames <= GetMostFramesBacked())
        return;

    const int64_t bytes = fileReader != nullptr ? fileReader->GetTotalLength() : 0;
    throw Exception ("file " + QuotedPath() + " claims more audio than its " + StringHelper::ToString (bytes) + " bytes can hold",
                     sourceFile, line, true, false);
}

void AudioFileReader::CheckAudioIsReadable (const char* sourceFile, long line) const
{
    const std::string reason = DescribeUnreadableAudio();

    if (! reason.empty())
        throw Exception ("file " + QuotedPath() + " cannot be loaded: " + reason, sourceFile, line, true, false);
}

std::string AudioFileReader::QuotedPath() const
{
    return StringHelper::Quoted (fileReader != nullptr ? fileReader->GetFile().GetFullPathName() : std::string());
}

bool AudioFileReader::ReadInterleavedFrames (int** destChannels, uint64_t numFramesToRead, int64_t startFrame,
                                             uint64_t dataOffset, uint32_t bytesPerFrame, SampleConverter converter,
                                             Vector<unsigned char>& blockBuffer)
{
    const uint64_t framesInFile = numFrames > 0 ? static_cast<uint64_t> (numFrames) : 0;
    uint64_t done = 0;

    // Frames before the first one of the file are silence.
    if (startFrame < 0)
    {
        const uint64_t before = std::min (numFramesToRead, 0 - static_cast<uint64_t> (startFrame));
        zeroFrames (destChannels, numChannels, 0, before);
        done = before;
        startFrame = 0;
    }

    const uint64_t first = static_cast<uint64_t> (startFrame);
    const uint64_t available = first < framesInFile ? std::min (framesInFile - first, numFramesToRead - done) : 0;

    if (available > 0 && bytesPerFrame > 0 && fileReader != nullptr)
    {
        // framesInFile x bytesPerFrame lies inside the file, so this cannot wrap.
        fileReader->SetPosition (static_cast<int64_t> (dataOffset + first * bytesPerFrame));

        const uint64_t blockBytes = std::max (blockSize, bytesPerFrame);
        blockBuffer.Resize (blockBytes);
        const uint64_t framesPerBlock = blockBytes / bytesPerFrame;

        for (uint64_t left = available; left > 0;)
        {
            const uint64_t frames = std::min (left, framesPerBlock);
            const uint64_t bytes = frames * bytesPerFrame;
            const auto got = fileReader->Read (blockBuffer.GetData(), static_cast<int64_t> (bytes));
            const uint64_t filled = got > 0 ? static_cast<uint64_t> (got) : 0;
            std::memset (blockBuffer.GetData() + filled, 0, bytes - filled);

            converter (destChannels, done, numChannels, blockBuffer.GetData(), numChannels, frames);
            done += frames;
            left -= frames;
        }
    }

    zeroFrames (destChannels, numChannels, done, numFramesToRead - done);
    return true;
}

} // namespace kul
