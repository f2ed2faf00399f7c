#include "audiofiles/SampleConverters.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

using namespace kul;

namespace
{
struct ConverterCase
{
    const char* name;
    SampleConverter converter;
    std::vector<unsigned char> sample;
    uint32_t word;
};

const ConverterCase converterCases[] = {
    { "signed 8", CopySampleDataSigned8, { 0x81 }, 0x81000000 },
    { "unsigned 8 below the middle", CopySampleDataUnsigned8, { 0x00 }, 0x80000000 },
    { "unsigned 8 at the top", CopySampleDataUnsigned8, { 0xFF }, 0x7F000000 },
    { "16 little-endian", CopySampleData16LittleEndian, { 0x01, 0x80 }, 0x80010000 },
    { "16 big-endian", CopySampleData16BigEndian, { 0x80, 0x01 }, 0x80010000 },
    { "24 little-endian", CopySampleData24LittleEndian, { 0x03, 0x02, 0xF1 }, 0xF1020300 },
    { "24 big-endian", CopySampleData24BigEndian, { 0xF1, 0x02, 0x03 }, 0xF1020300 },
    { "32 little-endian", CopySampleData32LittleEndian, { 0x04, 0x03, 0x02, 0x81 }, 0x81020304 },
    { "32 big-endian", CopySampleData32BigEndian, { 0x81, 0x02, 0x03, 0x04 }, 0x81020304 },
    { "float 32 little-endian", CopySampleDataFloat32LittleEndian, { 0x00, 0x00, 0x80, 0xBF }, 0xBF800000 },
    { "float 32 big-endian", CopySampleDataFloat32BigEndian, { 0xBF, 0x80, 0x00, 0x00 }, 0xBF800000 },
    { "float 64 little-endian", CopySampleDataFloat64LittleEndian, { 0, 0, 0, 0, 0, 0, 0xE0, 0x3F }, 0x3F000000 },
};

// Three source channels of two frames into four destination channels, one of them
// null: channel c of frame f holds the case's sample when (c, f) is (1, 1), else 0.
TEST (SampleConverters, WriteEachChannelsSamplesLeftAlignedSkipNullAndZeroExtraChannels)
{
    for (const auto& test : converterCases)
    {
        SCOPED_TRACE (test.name);
        const size_t width = test.sample.size();
        std::vector<unsigned char> source (2 * 3 * width, 0);
        // "Zero" in unsigned 8-bit is 0x80.
        if (test.converter == CopySampleDataUnsigned8)
            std::fill (source.begin(), source.end(), 0x80);
        std::memcpy (&source[(1 * 3 + 1) * width], test.sample.data(), width);

        std::vector<int> words (4 * 3, -1);
        int* dest[4] = { &words[0], &words[3], nullptr, &words[9] };
        test.converter (dest, 1, 4, source.data(), 3, 2);

        const std::vector<int> expected { -1, 0, 0, -1, 0, static_cast<int> (test.word), -1, -1, -1, -1, 0, 0 };
        EXPECT_EQ (words, expected);
    }
}
} // namespace
