#include "audiofiles/SampleConverters.h"

#include <cstring>

namespace kul
{
namespace
{
template <uint32_t sampleBytes, typename Decode>
void copySamples (int* const* destChannels, uint64_t destOffset, uint32_t numDestChannels,
                  const unsigned char* source, uint32_t numSourceChannels, uint64_t numFrames, Decode decode)
{
    const uint64_t stride = static_cast<uint64_t> (numSourceChannels) * sampleBytes;

    for (uint32_t c = 0; c < numDestChannels; ++c)
    {
        if (destChannels[c] == nullptr)
            continue;

        // Byte access to the destination: it is float storage written as words.
        auto* out = reinterpret_cast<unsigned char*> (destChannels[c]) + destOffset * sizeof (uint32_t);

        if (c >= numSourceChannels)
        {
            std::memset (out, 0, numFrames * sizeof (uint32_t));
            continue;
        }

        const unsigned char* in = source + static_cast<uint64_t> (c) * sampleBytes;

        for (uint64_t i = 0; i < numFrames; ++i, in += stride, out += sizeof (uint32_t))
        {
            const uint32_t word = decode (in);
            std::memcpy (out, &word, sizeof (word));
        }
    }
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

} // namespace kul
