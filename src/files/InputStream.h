#pragma once

#include <cstdint>

namespace kul
{
class MemoryBlock;

/** A stream of bytes to read from, with a length and a position.

    Multi-byte values are little-endian unless the reader's name says big-endian. A typed
    reader that cannot read all of its bytes gives 0, never a value built from part of a read;
    reading never throws. */
class InputStream
{
public:
    InputStream() = default;
    InputStream (const InputStream&) = default;
    InputStream& operator= (const InputStream&) = default;
    virtual ~InputStream() = default;

    virtual std::int64_t GetTotalLength() = 0;

    /** True at or past the end. */
    virtual bool IsExhausted() = 0;

    /** Reads up to numBytes into destination; gives the number read, 0 at the end. */
    virtual std::int64_t Read (void* destination, std::int64_t numBytes) = 0;

    virtual std::int64_t GetPosition() = 0;
    virtual bool SetPosition (std::int64_t newPosition) = 0;

    std::int8_t ReadByte();
    std::int16_t ReadShort();
    std::int16_t ReadShortBigEndian();
    std::int32_t ReadInt();
    std::uint32_t ReadUnsignedInt();
    std::int32_t ReadIntBigEndian();
    std::uint32_t ReadUnsignedIntBigEndian();
    std::int64_t ReadInt64();

    /** Moves the position on by numBytes, stopping at the end; nothing for numBytes <= 0. */
    void SkipNextBytes (std::int64_t numBytes);

    /** Reads into the block: all that remains when maxBytes is negative, else maxBytes
        (never more than remains, when anything remains). The block is resized, without
        zeroing, to the count asked for and keeps that size even when fewer bytes arrive;
        gives the number of bytes read, or 0 with the block untouched when there is nothing
        to ask for. Throws only kul::Exception (a block that cannot be allocated). */
    std::int64_t ReadIntoMemoryBlock (MemoryBlock& block, std::int64_t maxBytes = -1);
};

} // namespace kul
