#pragma once

#include <cstdint>

namespace kul
{

/** The sample converters of the AIFF and WAV readers (the CopySampleData family).

    Each takes interleaved frames of numSourceChannels samples and writes numFrames
    of them into the 32-bit words of each destination channel, from destOffset on.
    Integer samples are written left-aligned in the word (an 8-bit sample in the
    top byte, a 16-bit one in the top two bytes ...); float samples as the bits of
    a 32-bit float. A null destination pointer is skipped, a destination channel
    beyond the source channels is filled with 0.

    The words are stored as bytes, so the destination may be float storage that
    is converted afterwards. */
using SampleConverter = void (*) (int* const* destChannels, uint64_t destOffset, uint32_t numDestChannels,
                                  const unsigned char* source, uint32_t numSourceChannels, uint64_t numFrames);

/** Signed 8-bit, either byte order. */
void CopySampleDataSigned8 (int* const*, uint64_t, uint32_t, const unsigned char*, uint32_t, uint64_t);
/** Unsigned 8-bit (WAV): the byte with its top bit inverted. */
void CopySampleDataUnsigned8 (int* const*, uint64_t, uint32_t, const unsigned char*, uint32_t, uint64_t);
void CopySampleData16LittleEndian (int* const*, uint64_t, uint32_t, const unsigned char*, uint32_t, uint64_t);
void CopySampleData16BigEndian (int* const*, uint64_t, uint32_t, const unsigned char*, uint32_t, uint64_t);
void CopySampleData24LittleEndian (int* const*, uint64_t, uint32_t, const unsigned char*, uint32_t, uint64_t);
void CopySampleData24BigEndian (int* const*, uint64_t, uint32_t, const unsigned char*, uint32_t, uint64_t);
void CopySampleData32LittleEndian (int* const*, uint64_t, uint32_t, const unsigned char*, uint32_t, uint64_t);
void CopySampleData32BigEndian (int* const*, uint64_t, uint32_t, const unsigned char*, uint32_t, uint64_t);

/** A 32-bit float passes as its bits, exactly like a 32-bit integer. */
inline constexpr SampleConverter CopySampleDataFloat32LittleEndian = CopySampleData32LittleEndian;
inline constexpr SampleConverter CopySampleDataFloat32BigEndian = CopySampleData32BigEndian;

/** 64-bit little-endian floats, rounded to 32-bit floats. */
void CopySampleDataFloat64LittleEndian (int* const*, uint64_t, uint32_t, const unsigned char*, uint32_t, uint64_t);

/** Left-aligned words, written by the integer converters into float storage, to the
    floats they stand for in -1 .. +1 (word x 2^-31), in place. */
void ConvertWordsToFloats (float* samples, uint64_t count) noexcept;

} // namespace kul
