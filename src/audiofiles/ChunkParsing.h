#pragma once

#include <algorithm>
#include <cstdint>
#include <limits>

namespace kul::audiofiles
{

/** The value that InputStream::ReadInt gives for the four bytes of a chunk
    identifier, so that identifiers compare as bytes in file order. */
constexpr uint32_t ChunkId (const char (&id)[5]) noexcept
{
    return static_cast<uint32_t> (static_cast<unsigned char> (id[0]))
         | static_cast<uint32_t> (static_cast<unsigned char> (id[1])) << 8
         | static_cast<uint32_t> (static_cast<unsigned char> (id[2])) << 16
         | static_cast<uint32_t> (static_cast<unsigned char> (id[3])) << 24;
}

/** Sizes read from a file can be anything: their sums stop at the largest value
    instead of wrapping round to a small one. */
constexpr uint64_t SaturatingAdd (uint64_t a, uint64_t b) noexcept
{
    return a > std::numeric_limits<uint64_t>::max() - b ? std::numeric_limits<uint64_t>::max() : a + b;
}

/** Where the chunk after one of the given size starts: IFF and RIFF pad odd sizes to even. */
constexpr uint64_t NextChunkPosition (uint64_t contentStart, uint64_t size) noexcept
{
    return SaturatingAdd (SaturatingAdd (contentStart, size), size & 1);
}

/** The bytes of a chunk that the file really holds. */
constexpr uint64_t BytesPresent (uint64_t contentStart, uint64_t size, uint64_t fileLength) noexcept
{
    return contentStart >= fileLength ? 0 : std::min (size, fileLength - contentStart);
}

/** Bytes per stored sample: widths that are not whole bytes sit in the next whole
    number of bytes (12 bits in 2, 20 bits in 3). */
constexpr uint32_t ContainerBytes (uint32_t bitsPerSample) noexcept
{
    return (bitsPerSample + 7) / 8;
}

} // namespace kul::audiofiles
