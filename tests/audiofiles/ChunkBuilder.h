#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace audiofiletests
{

enum class ByteOrder { little, big };

/** Bytes of a test file, written field by field. */
class Bytes
{
public:
    Bytes() = default;
    explicit Bytes (ByteOrder o) : order (o) {}

    Bytes& Id (const std::string& fourCharacters);
    Bytes& U8 (unsigned value);
    Bytes& U16 (uint32_t value);
    Bytes& U32 (uint32_t value);
    Bytes& U64 (uint64_t value);
    Bytes& Text (const std::string& text);
    Bytes& Zeros (size_t count);
    Bytes& Append (const Bytes& other);
    /** A rate as a 10-byte IEEE 754 extended number (big-endian, as AIFF stores it). */
    Bytes& Extended (double value);

    /** A chunk: identifier, size field (the contents' size unless given), contents and
        the pad byte after odd contents. */
    Bytes& Chunk (const std::string& id, const Bytes& contents, std::optional<uint32_t> sizeField = {});

    std::vector<unsigned char> data;
    ByteOrder order = ByteOrder::little;
};

/** "RIFF" (or "RF64"/"BW64"), its size (the true one unless given), "WAVE", the chunks. */
Bytes Riff (const Bytes& chunks, std::optional<uint32_t> sizeField = {}, const std::string& magic = "RIFF");

/** "FORM", its size (the true one unless given), the form type, the chunks. */
Bytes Form (const std::string& type, const Bytes& chunks, std::optional<uint32_t> sizeField = {});

/** The 16 bytes of a plain WAV "fmt ". */
Bytes WavFormat (uint16_t tag, int channels, int32_t rate, int bits);

/** The last eight bytes of the sub-format GUIDs of PCM and IEEE float, and of Ambisonic B-format. */
inline const std::vector<unsigned char> waveGuidTail { 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71 };
inline const std::vector<unsigned char> bFormatGuidTail { 0x86, 0x44, 0xC8, 0xC1, 0xCA, 0x00, 0x00, 0x00 };

/** The 40 bytes of a WAVE_FORMAT_EXTENSIBLE "fmt " with the sub-format GUID's first three fields and last eight bytes. */
Bytes ExtensibleFormat (int channels, int32_t rate, int bits, uint32_t guid1, uint16_t guid2, uint16_t guid3,
                        const std::vector<unsigned char>& guid4);

/** A "COMM": 18 bytes, and the compression type when given. */
Bytes AiffComm (int channels, uint32_t frames, int bits, double rate, const std::string& compressionType = "");

/** A "SSND"'s contents: offset, block size 0, offset bytes of padding, the samples. */
Bytes AiffSoundData (uint32_t offset, const Bytes& samples);

} // namespace audiofiletests
