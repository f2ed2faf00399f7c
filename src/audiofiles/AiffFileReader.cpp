#include "audiofiles/AiffFileReader.h"

#include "audiofiles/ChunkParsing.h"
#include "files/FileReader.h"

#include <algorithm>

namespace kul
{
namespace
{
using audiofiles::ChunkId;

constexpr const char* sourceFile = "audiofiles/OskelDspAiffFileReader";
constexpr uint32_t commFixedBytes = 18;
constexpr uint32_t fver1Timestamp = 0xA2805140;

/** The integer part of a rate stored as a 10-byte IEEE 754 extended number; 0 for
    rates outside 2 .. 2^30 (and for negative or unnormalised ones). */
double readExtendedRate (InputStream& input)
{
    unsigned char bytes[10] = {};
    if (input.Read (bytes, sizeof (bytes)) != static_cast<int64_t> (sizeof (bytes)))
        return 0;

    if (bytes[0] != 0x40 || bytes[1] > 0x1C)
        return 0;

    const uint32_t exponent = static_cast<uint32_t> (bytes[0]) << 8 | bytes[1];
    const uint32_t mantissa = static_cast<uint32_t> (bytes[2]) << 24 | static_cast<uint32_t> (bytes[3]) << 16
                            | static_cast<uint32_t> (bytes[4]) << 8 | bytes[5];
    // An unnormalised mantissa could still give 0 or 1.
    const uint32_t rate = mantissa >> (16414 - exponent);
    return rate < 2 ? 0 : static_cast<double> (rate);
}
} // namespace

AiffFileReader::AiffFileReader (const File& file)
{
    OpenFile (file, FormatNameOf (AudioFileFormat::aiff));
    ReadHeader (*fileReader);
    ThrowUnlessValid (file, "AIFF", sourceFile, 110);
}

AiffFileReader::~AiffFileReader() = default;

void AiffFileReader::ReadHeader (InputStream& input)
{
    const uint64_t fileLength = static_cast<uint64_t> (std::max<int64_t> (input.GetTotalLength(), 0));

    if (static_cast<uint32_t> (input.ReadInt()) != ChunkId ("FORM"))
        return;

    // Widened before the addition: sizes near 2^32 (0xFFFFFFFF stands for an unknown length)
    // would wrap to a few bytes in 32 bits.
    const uint64_t parseEnd = std::min (uint64_t { 8 } + input.ReadUnsignedIntBigEndian(), fileLength);
    const auto formType = static_cast<uint32_t> (input.ReadInt());

    if (formType != ChunkId ("AIFF") && formType != ChunkId ("AIFC"))
        return;

    bool seenComm = false, seenSsnd = false, seenFver = false, refused = false;
    uint64_t commFrames = 0, dataBytes = 0;

    // Each step moves on by at least a chunk header, and positions stop at the file's end.
    while (! refused && static_cast<uint64_t> (input.GetPosition()) + 8 <= parseEnd)
    {
        const auto id = static_cast<uint32_t> (input.ReadInt());
        const uint32_t size = input.ReadUnsignedIntBigEndian();
        const auto contentStart = static_cast<uint64_t> (input.GetPosition());
        const uint64_t present = audiofiles::BytesPresent (contentStart, size, fileLength);

        if (id == ChunkId ("COMM"))
        {
            seenComm = true;
            const int channels = input.ReadShortBigEndian();
            commFrames = input.ReadUnsignedIntBigEndian();
            const int bits = input.ReadShortBigEndian();
            sampleRate = readExtendedRate (input);

            isLittleEndian = false;
            isFloatingPoint = false;

            if (present >= commFixedBytes && size > commFixedBytes)
            {
                // The compression type must lie inside the chunk.
                const auto type = present >= commFixedBytes + 4 ? static_cast<uint32_t> (input.ReadInt()) : 0;

                if (type == ChunkId ("sowt"))
                    isLittleEndian = true;
                else if (type == ChunkId ("fl32") || type == ChunkId ("FL32"))
                    isFloatingPoint = true;
                else if (type != ChunkId ("NONE") && type != ChunkId ("twos"))
                    refused = true;
            }

            // The float type fixes the width, whatever the sample size says (some writers
            // put 16 there).
            const int width = isFloatingPoint ? 32 : bits;
            refused = refused || present < commFixedBytes || channels < 1 || width < 1 || width > 32 || sampleRate == 0;
            numChannels = refused ? 0 : static_cast<uint32_t> (channels);
            bitsPerSample = refused ? 0 : static_cast<uint32_t> (width);
            bytesPerFrame = static_cast<int32_t> (audiofiles::ContainerBytes (bitsPerSample) * numChannels);
        }
        else if (id == ChunkId ("SSND"))
        {
            seenSsnd = true;
            const uint32_t offset = input.ReadUnsignedIntBigEndian();

            // Offset and block size take 8 bytes; the offset must stay inside the chunk.
            if (size < 8 || offset > size - 8)
            {
                refused = true;
                break;
            }

            dataOffset = contentStart + 8 + offset;
            dataBytes = audiofiles::BytesPresent (dataOffset, size - 8 - offset, fileLength);
        }
        else if (id == ChunkId ("FVER"))
        {
            seenFver = true;
            const uint32_t version = present >= 4 ? input.ReadUnsignedIntBigEndian() : 0;

            if (version != fver1Timestamp && version != 0)
                break;
        }
        else if ((seenComm && seenSsnd && seenFver) || input.IsExhausted())
        {
            break;
        }

        input.SetPosition (static_cast<int64_t> (std::min (audiofiles::NextChunkPosition (contentStart, size), fileLength)));
    }

    if (refused || ! seenComm)
    {
        sampleRate = 0;
        numFrames = 0;
        return;
    }

    // The frame count is what both the header and the sample data in the file hold.
    numFrames = seenSsnd ? static_cast<int64_t> (std::min (commFrames, dataBytes / static_cast<uint64_t> (bytesPerFrame))) : 0;

    // A file of no frames may leave "SSND" out; one that announces frames has lost them.
    soundDataMissing = ! seenSsnd && commFrames > 0;
}

std::string AiffFileReader::DescribeUnreadableAudio() const
{
    return soundDataMissing ? "no audio data was found" : std::string();
}

SampleConverter AiffFileReader::ChooseConverter() const noexcept
{
    switch (audiofiles::ContainerBytes (bitsPerSample))
    {
        case 1:  return CopySampleDataSigned8;
        case 2:  return isLittleEndian ? CopySampleData16LittleEndian : CopySampleData16BigEndian;
        case 3:  return isLittleEndian ? CopySampleData24LittleEndian : CopySampleData24BigEndian;
        default: break;
    }

    if (isFloatingPoint)
        return isLittleEndian ? CopySampleDataFloat32LittleEndian : CopySampleDataFloat32BigEndian;

    return isLittleEndian ? CopySampleData32LittleEndian : CopySampleData32BigEndian;
}

bool AiffFileReader::ReadSamples (int** destChannels, uint64_t numFramesToRead, int64_t startFrame)
{
    return ReadInterleavedFrames (destChannels, numFramesToRead, startFrame, dataOffset,
                                  static_cast<uint32_t> (bytesPerFrame), ChooseConverter(), blockBuffer);
}

} // namespace kul
