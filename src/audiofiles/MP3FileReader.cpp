#include "audiofiles/MP3FileReader.h"

#include "files/FileReader.h"

#include <algorithm>
#include <cstring>

namespace kul
{
namespace
{
constexpr const char* sourceFile = "audiofiles/OskelDspMP3FileReader";

void ZeroFrames (int** destChannels, uint32_t numChannels, uint64_t from, uint64_t count) noexcept
{
    for (uint32_t c = 0; c < numChannels; ++c)
        if (destChannels[c] != nullptr && count > 0)
            std::memset (destChannels[c] + from, 0, count * sizeof (int));
}

// Channel c of count interleaved frames into a channel of words holding float bits.
void Deinterleave (const float* source, uint32_t numChannels, uint32_t c, int* destination, size_t count) noexcept
{
    if (numChannels == 1)
    {
        std::memcpy (destination, source, count * sizeof (float));
        return;
    }

    auto* out = reinterpret_cast<float*> (destination);

    for (size_t i = 0; i < count; ++i)
        out[i] = source[i * numChannels + c];
}
} // namespace

MP3FileReader::MP3FileReader (const File& file)
{
    OpenFile (file, FormatNameOf (AudioFileFormat::mp3));
    decoder = std::make_unique<MpegAudioDecoder> (*fileReader);

    if (decoder->IsValid())
    {
        bitsPerSample = 32;
        isFloatingPoint = true;
        sampleRate = decoder->GetSampleRate();
        numChannels = static_cast<uint32_t> (decoder->GetNumChannels());
        numFrames = decoder->GetLengthInSamples();
    }

    ThrowUnlessValid (file, "MP3", sourceFile, 260);
}

MP3FileReader::~MP3FileReader() = default;

bool MP3FileReader::ReadSamples (int** destChannels, uint64_t numFramesToRead, int64_t startFrame)
{
    if (decoder == nullptr || ! decoder->IsValid())
        return false;

    uint64_t done = 0;

    // Frames before the stream's start are silence.
    if (startFrame < 0)
    {
        done = std::min (numFramesToRead, 0 - static_cast<uint64_t> (startFrame));
        ZeroFrames (destChannels, numChannels, 0, done);
        startFrame = 0;
    }

    // So are frames from the length on: the decoder is not asked for them.
    const uint64_t available = startFrame < numFrames ? uint64_t (numFrames - startFrame) : 0;
    const uint64_t fromStream = std::min (numFramesToRead - done, available);
    bool ok = true;

    if (fromStream > 0)
        ok = ReadFromDecoder (destChannels, done, fromStream, startFrame);

    ZeroFrames (destChannels, numChannels, done + fromStream, numFramesToRead - done - fromStream);
    return ok;
}

bool MP3FileReader::ReadFromDecoder (int** destChannels, uint64_t offset, uint64_t count, int64_t startFrame)
{
    if (startFrame != currentPosition)
    {
        decodedStart = decodedEnd = 0;

        if (! decoder->SeekTo (startFrame))
        {
            currentPosition = -1;
            ZeroFrames (destChannels, numChannels, offset, count);
            return false;
        }

        currentPosition = startFrame;
    }

    for (uint64_t done = 0; done < count;)
    {
        if (decodedStart >= decodedEnd)
        {
            const auto result = decoder->DecodeNextFrame (decodedData, decodedEnd);
            decodedStart = 0;

            // The length is what the decoder delivers, so even its end here means the
            // bytes changed since the file was opened.
            if (result != MpegAudioDecoder::Result::frame)
            {
                decodedEnd = 0;
                ZeroFrames (destChannels, numChannels, offset + done, count - done);
                currentPosition = -1;
                return false;
            }
        }

        const size_t n = static_cast<size_t> (std::min<uint64_t> (decodedEnd - decodedStart, count - done));

        for (uint32_t c = 0; c < numChannels; ++c)
            if (destChannels[c] != nullptr)
                Deinterleave (decodedData + decodedStart * numChannels, numChannels, c, destChannels[c] + offset + done, n);

        done += n;
        decodedStart += n;
        currentPosition += int64_t (n);
    }

    return true;
}

} // namespace kul
