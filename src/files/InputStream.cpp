#include "files/InputStream.h"

#include "memory/MemoryBlock.h"
#include "text/TextExceptions.h"

#include <algorithm>
#include <cstddef>

namespace kul
{
namespace
{
constexpr const char* sourceFile = "files/OskelDspFileReader";

// A piece small enough for any stream's Read, whatever it takes its count as.
constexpr std::int64_t largestPiece = std::int64_t (1) << 30;

/** The value of the bytes, first byte lowest (or highest, for big-endian); 0 unless all
    of them were read. */
template <typename Value, bool bigEndian = false>
Value readValue (InputStream& stream)
{
    unsigned char bytes[sizeof (Value)];

    if (stream.Read (bytes, sizeof (Value)) != static_cast<std::int64_t> (sizeof (Value)))
        return 0;

    std::uint64_t bits = 0;

    for (size_t i = 0; i < sizeof (Value); ++i)
        bits |= std::uint64_t (bytes[bigEndian ? sizeof (Value) - 1 - i : i]) << (8 * i);

    return static_cast<Value> (bits);
}
} // namespace

std::int8_t InputStream::ReadByte() { return readValue<std::int8_t> (*this); }
std::int16_t InputStream::ReadShort() { return readValue<std::int16_t> (*this); }
std::int16_t InputStream::ReadShortBigEndian() { return readValue<std::int16_t, true> (*this); }
std::int32_t InputStream::ReadInt() { return readValue<std::int32_t> (*this); }
std::uint32_t InputStream::ReadUnsignedInt() { return readValue<std::uint32_t> (*this); }
std::int32_t InputStream::ReadIntBigEndian() { return readValue<std::int32_t, true> (*this); }
std::uint32_t InputStream::ReadUnsignedIntBigEndian() { return readValue<std::uint32_t, true> (*this); }
std::int64_t InputStream::ReadInt64() { return readValue<std::int64_t> (*this); }

// A seek in place of reading byte by byte: a size field of 2^28 in a crafted file would
// otherwise cost as many system calls, for the same position in the end.
void InputStream::SkipNextBytes (std::int64_t numBytes)
{
    if (numBytes <= 0)
        return;

    const std::int64_t position = GetPosition();
    const std::int64_t remaining = GetTotalLength() - position;

    if (remaining > 0)
        SetPosition (position + std::min (numBytes, remaining));
}

std::int64_t InputStream::ReadIntoMemoryBlock (MemoryBlock& block, std::int64_t maxBytes)
{
    try
    {
        const std::int64_t remaining = GetTotalLength() - GetPosition();
        std::int64_t count = maxBytes;

        if (remaining > 0 && (maxBytes < 0 || remaining < maxBytes))
            count = remaining;
        else if (maxBytes < 1)
            return 0;

        block.SetSize (static_cast<size_t> (count), false);

        // Counts of 2^31 bytes or more go in pieces, so that no Read sees a count it
        // would cut to 32 bits.
        auto* destination = static_cast<char*> (block.GetData());
        std::int64_t numRead = 0;

        while (numRead < count)
        {
            const std::int64_t piece = std::min (count - numRead, largestPiece);
            const std::int64_t pieceRead = Read (destination + numRead, piece);

            if (pieceRead > 0)
                numRead += pieceRead;

            if (pieceRead != piece)
                break;
        }

        return numRead;
    }
    catch (...)
    {
        text::RethrowAsLibraryException (sourceFile, 0);
    }
}

} // namespace kul
