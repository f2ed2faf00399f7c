#include "audiofiles/SampleConverters.h"

#include <algorithm>
#include <cstring>

// GCC vectorises at -O2 only loops that need no scalar remainder; these loops are
// worth one. (clang vectorises them as they are.)
#if defined(__GNUC__) && ! defined(__clang__)
 #define VECTORISED_LOOPS [[gnu::optimize ("vect-cost-model=dynamic")]]
#else
 #define VECTORISED_LOOPS
#endif

namespace kul
{
namespace
{
// One channel of interleaved frames. With the frame size known at compile time (mono
// and stereo, the common files), the loop is one the compiler vectorises.
template <uint32_t sampleBytes, uint32_t fixedChannels, typename Decode>
VECTORISED_LOOPS void copyChannel (unsigned char* out, const unsigned char* in, uint64_t stride, uint64_t numFrames, Decode decode)
{
    if constexpr (fixedChannels != 0)
        stride = fixedChannels * sampleBytes;

    for (uint64_t i = 0; i < numFrames; ++i)
    {
        const uint32_t word = decode (in + i * stride);
        std::memcpy (out + i * sizeof (uint32_t), &word, sizeof (word));
    }
}

template <uint32_t sampleBytes, typename Decode>
void copySamples (int* const* destChannels, uint64_t destOffset, uint32_t numDestChannels,
                  const unsigned char* source, uint32_t numSourceChannels, uint64_t numFrames, Decode decode)
{
    const uint64_t stride = static_cast<uint64_t> (numSourceChannels) * sampleBytes;
    const uint32_t numChannels = std::min (numDestChannels, numSourceChannels);

    // Byte access to the destination: it is float storage written as words.
    const auto destination = [destChannels, destOffset] (uint32_t c)
    { return reinterpret_cast<unsigned char*> (destChannels[c]) + destOffset * sizeof (uint32_t); };

    for (uint32_t c = 0; c < numChannels; ++c)
    {
        if (destChannels[c] == nullptr)
            continue;

        unsigned char* out = destination (c);
        const unsigned char* in = source + static_cast<uint64_t> (c) * sampleBytes;

        // Reads go block by block, so each channel moves on by a few cache lines per
        // call; with many channels the hardware cannot follow every stream, and the
        // lines of the next call are asked for now.
        // (Addresses as integers: the lines may lie past the buffer, where a prefetch is harmless.)
        const auto next = reinterpret_cast<uintptr_t> (out) + numFrames * sizeof (uint32_t);
        for (uint64_t ahead = 0; ahead < numFrames * sizeof (uint32_t); ahead += 64)
            __builtin_prefetch (reinterpret_cast<const void*> (next + ahead), 1);

        if (numSourceChannels == 1)
            copyChannel<sampleBytes, 1> (out, in, stride, numFrames, decode);
        else if (numSourceChannels == 2)
            copyChannel<sampleBytes, 2> (out, in, stride, numFrames, decode);
        else
            copyChannel<sampleBytes, 0> (out, in, stride, numFrames, decode);
    }

    for (uint32_t c = numChannels; c < numDestChannels; ++c)
        if (destChannels[c] != nullptr)
            std::memset (destination (c), 0, numFrames * sizeof (uint32_t));
}

inline uint32_t byteAt (const unsigned char* p, int i) noexcept { return p[i]; }
} // namespace

void CopySampleDataSigned8 (int* const* d, uint64_t o, uint32_t nd, const unsigned char* s, uint32_t ns, uint64_t n)
{
    copySamples<1> (d, o, nd, s, ns, n, [] (const unsigned char* p) { return byteAt (p, 0) << 24; });
}

void CopySampleDataUnsigned8 (int* const* d, uint64_t o, uint32_t nd, const unsigned char* s, uint32_t ns, uint64_t n)
{
    copySamples<1> (d, o, nd, s, ns, n, [] (const unsigned char* p) { return (byteAt (p, 0) ^ 0x80u) << 24; });
}

void CopySampleData16LittleEndian (int* const* d, uint64_t o, uint32_t nd, const unsigned char* s, uint32_t ns, uint64_t n)
{
    copySamples<2> (d, o, nd, s, ns, n, [] (const unsigned char* p) { return byteAt (p, 1) << 24 | byteAt (p, 0) << 16; });
}

void CopySampleData16BigEndian (int* const* d, uint64_t o, uint32_t nd, const unsigned char* s, uint32_t ns, uint64_t n)
{
    copySamples<2> (d, o, nd, s, ns, n, [] (const unsigned char* p) { return byteAt (p, 0) << 24 | byteAt (p, 1) << 16; });
}

void CopySampleData24LittleEndian (int* const* d, uint64_t o, uint32_t nd, const unsigned char* s, uint32_t ns, uint64_t n)
{
    copySamples<3> (d, o, nd, s, ns, n, [] (const unsigned char* p)
                    { return byteAt (p, 2) << 24 | byteAt (p, 1) << 16 | byteAt (p, 0) << 8; });
}

void CopySampleData24BigEndian (int* const* d, uint64_t o, uint32_t nd, const unsigned char* s, uint32_t ns, uint64_t n)
{
    copySamples<3> (d, o, nd, s, ns, n, [] (const unsigned char* p)
                    { return byteAt (p, 0) << 24 | byteAt (p, 1) << 16 | byteAt (p, 2) << 8; });
}

void CopySampleData32LittleEndian (int* const* d, uint64_t o, uint32_t nd, const unsigned char* s, uint32_t ns, uint64_t n)
{
    copySamples<4> (d, o, nd, s, ns, n, [] (const unsigned char* p)
                    { return byteAt (p, 3) << 24 | byteAt (p, 2) << 16 | byteAt (p, 1) << 8 | byteAt (p, 0); });
}

void CopySampleData32BigEndian (int* const* d, uint64_t o, uint32_t nd, const unsigned char* s, uint32_t ns, uint64_t n)
{
    copySamples<4> (d, o, nd, s, ns, n, [] (const unsigned char* p)
                    { return byteAt (p, 0) << 24 | byteAt (p, 1) << 16 | byteAt (p, 2) << 8 | byteAt (p, 3); });
}

void CopySampleDataFloat64LittleEndian (int* const* d, uint64_t o, uint32_t nd, const unsigned char* s, uint32_t ns, uint64_t n)
{
    copySamples<8> (d, o, nd, s, ns, n, [] (const unsigned char* p)
                    {
                        uint64_t bits = 0;
                        for (int i = 7; i >= 0; --i)
                            bits = bits << 8 | byteAt (p, i);
                        double value;
                        std::memcpy (&value, &bits, sizeof (value));
                        const auto single = static_cast<float> (value);
                        uint32_t word;
                        std::memcpy (&word, &single, sizeof (word));
                        return word;
                    });
}

VECTORISED_LOOPS void ConvertWordsToFloats (float* samples, uint64_t count) noexcept
{
    constexpr float scale = 1.0f / 2147483648.0f;

    for (uint64_t i = 0; i < count; ++i)
    {
        int32_t word;
        std::memcpy (&word, samples + i, sizeof (word));
        samples[i] = static_cast<float> (word) * scale;
    }
}

} // namespace kul
