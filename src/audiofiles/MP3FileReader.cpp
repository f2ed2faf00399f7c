#include "audiofiles/MP3FileReader.h"

#include "files/FileReader.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace kul
{
namespace
{
constexpr const char* sourceFile = "audiofiles/OskelDspMP3FileReader";

constexpr double sampleRates[] = { 44100, 48000, 32000, 22050, 24000, 16000, 11025, 12000, 8000 };

// Blocks that deliver no frame (a VBR header, the header after a jump) are passed over
// this many times in a row before reading gives up.
constexpr int maxBlockAttempts = 10;

// No MPEG audio frame is shorter (MPEG-2 layer III at 8 kbit/s and 24 kHz), so a VBR
// header that counts more frames than the file could hold is not believed.
constexpr int64_t smallestFrameBytes = 24;

// The decoder rebuilds its state (the layer III bit reservoir, the overlap of the
// transform and the synthesis filter's history) over about two MPEG-1 frames; a seek
// starts decoding this many samples before the frame that holds the target.
constexpr int64_t seekLeadInSamples = 2 * 1152;

/** Skips an ID3v2 tag at the stream's position: gives the position after it, the
    position itself when there is no well-formed tag, or -1 when the tag's size runs past
    the end of the file. */
int64_t SkipId3v2Tag (InputStream& input)
{
    const int64_t start = input.GetPosition();
    unsigned char id[4] {};
    unsigned char header[6] {};

    if (input.Read (id, 4) == 4 && id[0] == 'I' && id[1] == 'D' && id[2] == '3'
        && input.Read (header, 6) == 6 && header[0] != 0xFF
        && ((header[2] | header[3] | header[4] | header[5]) & 0x80) == 0)
    {
        const int64_t size = (int64_t (header[2]) << 21) | (int64_t (header[3]) << 14)
                           | (int64_t (header[4]) << 7) | int64_t (header[5]);
        const int64_t end = input.GetPosition() + size;

        if (end > input.GetTotalLength())
            return -1;

        input.SetPosition (end);
        return end;
    }

    input.SetPosition (start);
    return start;
}

void ZeroFrames (int** destChannels, uint32_t numChannels, uint64_t from, uint64_t count) noexcept
{
    for (uint32_t c = 0; c < numChannels; ++c)
        if (destChannels[c] != nullptr && count > 0)
            std::memset (destChannels[c] + from, 0, count * sizeof (int));
}
} // namespace

MP3FileReader::MP3FileReader (const File& file)
{
    OpenFile (file, "MP3 File");

    auto source = std::make_unique<FileReader> (*fileReader);
    const int64_t audioStart = SkipId3v2Tag (*source);

    if (audioStart >= 0)
    {
        decoder = std::make_unique<MpegAudioDecoder> (std::move (source));
        Open (audioStart);
    }

    ThrowUnlessValid (file, "MP3", sourceFile, 260);
}

MP3FileReader::~MP3FileReader() = default;

void MP3FileReader::Open (int64_t audioStart)
{
    if (! ReadNextBlock (false))
        return;

    const auto header = decoder->GetFrameHeader();

    if (header.sampleRateIndex < 0 || header.sampleRateIndex >= int (std::size (sampleRates)))
        return;

    bitsPerSample = 32;
    isFloatingPoint = true;
    sampleRate = sampleRates[header.sampleRateIndex];
    numChannels = static_cast<uint32_t> (std::max (header.numChannels, 0));
    samplesPerFrame = header.samplesPerFrame;
    // The decoder counts a VBR header frame as a frame of the stream.
    firstAudioFrameIndex = std::max (decoder->GetCurrentFrameIndex() - 1, 0);

    const int64_t totalLength = decoder->GetTotalLength();
    const int64_t audioBytes = std::max<int64_t> (totalLength - audioStart, 0);
    const int64_t vbrFrames = decoder->GetVbrFrameCount();
    int64_t frames = 0;

    if (vbrFrames > 0 && vbrFrames <= audioBytes / smallestFrameBytes)
        frames = vbrFrames;
    else if (totalLength > 0 && header.frameSize > 0)
        frames = audioBytes / header.frameSize;

    numFrames = frames * samplesPerFrame;
}

void MP3FileReader::MakeSilentBlock() noexcept
{
    std::memset (decodedData, 0, sizeof (decodedData));
    decodedStart = 0;
    decodedEnd = MpegAudioDecoder::maxSamplesPerFrame;
}

bool MP3FileReader::ReadNextBlock (bool silenceAtEnd)
{
    for (int attempt = 0; attempt < maxBlockAttempts; ++attempt)
    {
        int done = 0;
        const int result = decoder->DecodeNextBlock (decodedData[0], decodedData[1], done);

        if (result > 0 && decoder->IsExhausted())
        {
            MakeSilentBlock();
            return true;
        }

        if (result == 0)
        {
            // Every frame stands for its full length, also one whose samples the decoder
            // could not make (its bit reservoir lay before a jump): positions stay on the
            // stream's frame grid.
            done = std::clamp (done, 0, MpegAudioDecoder::maxSamplesPerFrame);
            const int frameEnd = std::max (done, decoder->GetFrameHeader().samplesPerFrame);

            for (auto& channel : decodedData)
                std::fill (channel + done, channel + frameEnd, 0.0f);

            decodedStart = 0;
            decodedEnd = frameEnd;
            return true;
        }

        if (result < 0)
        {
            // No further frame before the end of the file: the stream is over, and what
            // follows it is silence.
            if (silenceAtEnd && decoder->HasReachedEndOfStream())
            {
                MakeSilentBlock();
                return true;
            }

            decodedStart = decodedEnd = 0;
            return false;
        }
    }

    return false;
}

bool MP3FileReader::SeekTo (int64_t frame)
{
    constexpr int perEntry = MpegAudioDecoder::framesPerSeekTableEntry;
    const int64_t target = std::max<int64_t> ((frame - seekLeadInSamples) / samplesPerFrame, 0) + firstAudioFrameIndex;

    if (target > std::numeric_limits<int>::max() - perEntry)
        return false;

    while (int64_t (decoder->GetNumSeekTableEntries()) * perEntry < target + 1)
    {
        int done = 0;
        const int result = decoder->DecodeNextBlock (nullptr, nullptr, done);

        if (result < 0)
            return false;

        if (result > 0)
            break;
    }

    const int entries = decoder->GetNumSeekTableEntries();

    if (entries == 0)
        return false;

    const int jumpFrame = std::min (static_cast<int> (target) / perEntry, entries - 1) * perEntry;

    if (! decoder->JumpToFrame (jumpFrame))
        return false;

    decodedStart = decodedEnd = 0;
    const int64_t jumpAudioFrame = std::max (jumpFrame - firstAudioFrameIndex, 0);

    for (int64_t toSkip = frame - jumpAudioFrame * samplesPerFrame; toSkip > 0;)
    {
        if (! ReadNextBlock (true))
        {
            MakeSilentBlock();
            break;
        }

        const int ready = decodedEnd - decodedStart;

        if (ready > toSkip)
        {
            decodedStart += static_cast<int> (toSkip);
            break;
        }

        // A block skipped whole is used up, not delivered again.
        decodedStart = decodedEnd;
        toSkip -= ready;
    }

    return true;
}

bool MP3FileReader::ReadSamples (int** destChannels, uint64_t numFramesToRead, int64_t startFrame)
{
    if (decoder == nullptr)
        return false;

    uint64_t done = 0;

    // Frames before the stream's start are silence.
    if (startFrame < 0)
    {
        done = std::min (numFramesToRead, 0 - static_cast<uint64_t> (startFrame));
        ZeroFrames (destChannels, numChannels, 0, done);
        startFrame = 0;
    }

    if (startFrame != currentPosition)
    {
        if (! SeekTo (startFrame))
        {
            currentPosition = -1;
            MakeSilentBlock();

            // A seek fails at the end of the stream (the frames asked for are past it and
            // silent) or at data that cannot be decoded.
            if (! decoder->HasReachedEndOfStream())
            {
                ZeroFrames (destChannels, numChannels, done, numFramesToRead - done);
                return false;
            }
        }
        else
        {
            currentPosition = startFrame;
        }
    }

    while (done < numFramesToRead)
    {
        if (decodedStart >= decodedEnd && ! ReadNextBlock (true))
        {
            ZeroFrames (destChannels, numChannels, done, numFramesToRead - done);
            return false;
        }

        const auto count = static_cast<int> (std::min<uint64_t> (uint64_t (decodedEnd - decodedStart), numFramesToRead - done));
        if (destChannels[0] != nullptr)
            std::memcpy (destChannels[0] + done, decodedData[0] + decodedStart, size_t (count) * sizeof (float));

        if (numChannels >= 2 && destChannels[1] != nullptr)
            std::memcpy (destChannels[1] + done, decodedData[1] + decodedStart, size_t (count) * sizeof (float));

        done += uint64_t (count);
        decodedStart += count;

        if (currentPosition >= 0)
            currentPosition += count;
    }

    return true;
}

} // namespace kul
