#include "audiofiles/WavFileReader.h"

#include "audiofiles/BroadcastExtensionChunk.h"
#include "audiofiles/ChunkParsing.h"
#include "files/FileReader.h"
#include "memory/MemoryBlock.h"
#include "text/StringHelper.h"

#include <algorithm>
#include <cstring>

namespace kul
{
namespace
{
using audiofiles::ChunkId;

constexpr const char* sourceFile = "audiofiles/OskelDspWavFileReader";

constexpr uint32_t minimalFormatBytes = 16;
constexpr uint32_t extensibleFormatBytes = 40;
constexpr uint32_t minimalDs64Bytes = 28;
constexpr uint32_t sizeInDs64 = 0xFFFFFFFF;

constexpr uint16_t formatPcm = 1;
constexpr uint16_t formatIeeeFloat = 3;
constexpr uint16_t formatExtensible = 0xFFFE;

struct Guid
{
    uint32_t data1;
    uint16_t data2, data3;
    unsigned char data4[8];

    bool operator== (const Guid& other) const noexcept
    {
        return data1 == other.data1 && data2 == other.data2 && data3 == other.data3
            && std::memcmp (data4, other.data4, sizeof (data4)) == 0;
    }
};

constexpr Guid pcmSubFormat { 0x00000001, 0x0000, 0x0010, { 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71 } };
constexpr Guid floatSubFormat { 0x00000003, 0x0000, 0x0010, { 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71 } };
constexpr Guid ambisonicBFormatPcmSubFormat { 0x00000001, 0x0721, 0x11D3, { 0x86, 0x44, 0xC8, 0xC1, 0xCA, 0x00, 0x00, 0x00 } };

uint64_t readUnsigned64 (InputStream& input)
{
    return static_cast<uint64_t> (input.ReadInt64());
}
} // namespace

WavFileReader::WavFileReader (const File& file)
{
    OpenFile (file, FormatNameOf (AudioFileFormat::wav));
    ReadHeader (*fileReader);
    ThrowUnlessValid (file, "WAV", sourceFile, 231);
}

WavFileReader::~WavFileReader() = default;

void WavFileReader::ReadHeader (InputStream& input)
{
    const uint64_t fileLength = static_cast<uint64_t> (std::max<int64_t> (input.GetTotalLength(), 0));
    uint64_t parseEnd = 0;
    isRF64 = false;

    const auto magic = static_cast<uint32_t> (input.ReadInt());

    if (magic == ChunkId ("RIFF"))
    {
        parseEnd = 8 + static_cast<uint64_t> (input.ReadUnsignedInt());
    }
    else if (magic == ChunkId ("RF64") || magic == ChunkId ("BW64"))
    {
        input.SkipNextBytes (4);
        isRF64 = true;
    }
    else
    {
        return;
    }

    if (static_cast<uint32_t> (input.ReadInt()) != ChunkId ("WAVE"))
        return;

    if (isRF64)
    {
        if (static_cast<uint32_t> (input.ReadInt()) != ChunkId ("ds64"))
            return;

        const uint32_t size = input.ReadUnsignedInt();
        const auto contentStart = static_cast<uint64_t> (input.GetPosition());

        if (size < minimalDs64Bytes)
            return;

        parseEnd = audiofiles::SaturatingAdd (8, readUnsigned64 (input));
        dataSize = readUnsigned64 (input);
        input.SetPosition (static_cast<int64_t> (std::min (audiofiles::NextChunkPosition (contentStart, size), fileLength)));
    }

    parseEnd = std::min (parseEnd, fileLength);

    // Each step moves on by at least a chunk header, and positions stop at the file's end.
    while (static_cast<uint64_t> (input.GetPosition()) + 8 <= parseEnd && ! input.IsExhausted())
    {
        const auto id = static_cast<uint32_t> (input.ReadInt());
        const uint32_t size = input.ReadUnsignedInt();
        const auto contentStart = static_cast<uint64_t> (input.GetPosition());
        const uint64_t present = audiofiles::BytesPresent (contentStart, size, fileLength);
        uint64_t next = audiofiles::NextChunkPosition (contentStart, size);

        if (id == ChunkId ("fmt "))
        {
            ReadFormatChunk (input, size, present);
        }
        else if (id == ChunkId ("data"))
        {
            if (! isRF64)
                dataSize = size;
            else if (size == sizeInDs64)
                next = audiofiles::NextChunkPosition (contentStart, dataSize); // so that chunks after the audio are read

            seenData = true;
            dataOffset = contentStart;
        }
        else if (id == ChunkId ("chna"))
        {
            chna = ChnaChunk::read (input, present);
        }
        else if (id == ChunkId ("axml"))
        {
            MemoryBlock block;
            const auto got = input.ReadIntoMemoryBlock (block, static_cast<int64_t> (present));
            axmlText = got > 0 ? std::string (static_cast<const char*> (block.GetData()), static_cast<size_t> (got)) : std::string();
        }
        else if (id == ChunkId ("bext"))
        {
            // A chunk too short for the fixed part carries no usable metadata.
            if (size >= BroadcastExtensionChunk::fixedBytes)
            {
                broadcastMetadata = BroadcastExtensionToMetadata (ReadBroadcastExtensionChunk (input, present));
                hasBroadcastMetadata = broadcastMetadata.Size() > 0;
            }
        }
        else if (id == 0 && size == 0)
        {
            // Zero bytes where a chunk should start are padding (a recorder's preallocated
            // tail, say), not a chunk: the parse ends rather than stepping through them.
            break;
        }

        input.SetPosition (static_cast<int64_t> (std::min (next, fileLength)));
    }

    // Counted once every chunk is known, so that a "fmt " after "data" gives the frame size.
    numFrames = seenData && bytesPerFrame >= 1 ? static_cast<int64_t> (audiofiles::BytesPresent (dataOffset, dataSize, fileLength)
                                                                        / static_cast<uint64_t> (bytesPerFrame))
                                               : 0;
}

std::string WavFileReader::DescribeUnreadableAudio() const
{
    if (bytesPerFrame < 1)
        return "its sample format (tag " + StringHelper::ToString (formatTag) + ", " + StringHelper::ToString (bitsPerSample)
             + " bits) is not read";

    if (! seenData)
        return "no audio data was found";

    return {};
}

void WavFileReader::ReadFormatChunk (InputStream& input, uint32_t size, uint64_t present)
{
    bytesPerFrame = 0;
    formatTag = 0;
    isFloatingPoint = false;
    isAmbisonicBFormat = false;

    if (size < minimalFormatBytes || present < minimalFormatBytes)
    {
        sampleRate = 0;
        numChannels = 0;
        bitsPerSample = 0;
        return;
    }

    const auto tag = static_cast<uint16_t> (input.ReadShort());
    formatTag = tag;
    const int channels = input.ReadShort();
    const int32_t rate = input.ReadInt();
    const uint32_t byteRate = input.ReadUnsignedInt();
    input.SkipNextBytes (2);
    const auto bits = static_cast<uint16_t> (input.ReadShort());

    sampleRate = rate;
    numChannels = channels > 0 ? static_cast<uint32_t> (channels) : 0;

    if (numChannels == 0)
        return;

    uint64_t frameBytes = 0;

    if (bits < 65)
    {
        bitsPerSample = bits;
        frameBytes = audiofiles::ContainerBytes (bits) * static_cast<uint64_t> (numChannels);
    }
    else if (rate > 0)
    {
        // A width given as 0 or nonsense is taken from the byte rate.
        frameBytes = byteRate / static_cast<uint32_t> (rate);
        bitsPerSample = static_cast<uint32_t> (std::min<uint64_t> (frameBytes * 8 / numChannels, 0xFFFF));
    }
    else
    {
        bitsPerSample = 0;
        return;
    }

    bool readable = false;

    if (tag == formatPcm)
    {
        readable = true;
    }
    else if (tag == formatIeeeFloat)
    {
        isFloatingPoint = true;
        readable = true;
    }
    else if (tag == formatExtensible && size >= extensibleFormatBytes && present >= extensibleFormatBytes)
    {
        input.SkipNextBytes (4);
        input.ReadUnsignedInt(); // the channel mask

        Guid subFormat {};
        subFormat.data1 = input.ReadUnsignedInt();
        subFormat.data2 = static_cast<uint16_t> (input.ReadShort());
        subFormat.data3 = static_cast<uint16_t> (input.ReadShort());
        input.Read (subFormat.data4, sizeof (subFormat.data4));
        formatTag = subFormat.data1; // the tag of a plain "fmt " for the sub-formats of the WAVE family

        isFloatingPoint = subFormat == floatSubFormat;
        isAmbisonicBFormat = subFormat == ambisonicBFormatPcmSubFormat;
        readable = isFloatingPoint || isAmbisonicBFormat || subFormat == pcmSubFormat;
    }

    // Integers of 1 to 32 bits and floats of 32 or 64 bits, stored in whole bytes per sample.
    readable = readable
            && (isFloatingPoint ? (bitsPerSample == 32 || bitsPerSample == 64) : (bitsPerSample >= 1 && bitsPerSample <= 32))
            && frameBytes == audiofiles::ContainerBytes (bitsPerSample) * static_cast<uint64_t> (numChannels);

    bytesPerFrame = readable ? static_cast<int32_t> (frameBytes) : 0;
}

SampleConverter WavFileReader::ChooseConverter() const noexcept
{
    switch (audiofiles::ContainerBytes (bitsPerSample))
    {
        case 1:  return CopySampleDataUnsigned8;
        case 2:  return CopySampleData16LittleEndian;
        case 3:  return CopySampleData24LittleEndian;
        case 8:  return CopySampleDataFloat64LittleEndian;
        default: return isFloatingPoint ? CopySampleDataFloat32LittleEndian : CopySampleData32LittleEndian;
    }
}

bool WavFileReader::ReadSamples (int** destChannels, uint64_t numFramesToRead, int64_t startFrame)
{
    return ReadInterleavedFrames (destChannels, numFramesToRead, startFrame, dataOffset,
                                  static_cast<uint32_t> (bytesPerFrame), ChooseConverter(), blockBuffer);
}

} // namespace kul
