#include "audiofiles/AudioFileReader.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <vector>

using namespace kul;

namespace
{
/** A reader without a file: channel c of frame f holds the word wordFor (c, f). */
class PatternReader : public AudioFileReader
{
public:
    PatternReader (uint32_t channels, int64_t frames)
    {
        numChannels = channels;
        numFrames = frames;
        sampleRate = 48000;
        bitsPerSample = 16;
    }

    std::string GetFileExtension() const override { return ".test"; }

    static int32_t wordFor (uint32_t c, int64_t f) { return static_cast<int32_t> ((c + 1) * 1000 + f) << 8; }

    bool ReadSamples (int** dest, uint64_t n, int64_t start) override
    {
        readSizes.push_back (n);
        for (uint32_t c = 0; c < numChannels; ++c)
            for (uint64_t i = 0; i < n && dest[c] != nullptr; ++i)
            {
                const int32_t word = wordFor (c, start + static_cast<int64_t> (i));
                std::memcpy (reinterpret_cast<unsigned char*> (dest[c]) + i * 4, &word, 4);
            }
        return true;
    }

    std::vector<uint64_t> readSizes;
};

constexpr float scale = 1.0f / 2147483648.0f;

TEST (ReaderBase, ReadConvertsWordsToFloatsAndLeavesExtraBufferChannels)
{
    PatternReader reader (1, 100);
    AudioBuffer buffer (2, 10);
    buffer.GetChannel (1)[0] = 0.5f;

    ASSERT_TRUE (reader.Read (buffer, 2, 8, 5));
    EXPECT_EQ (buffer.GetChannel (0)[1], 0.0f);
    EXPECT_EQ (buffer.GetChannel (0)[2], static_cast<float> (PatternReader::wordFor (0, 5)) * scale);
    EXPECT_EQ (buffer.GetChannel (0)[9], static_cast<float> (PatternReader::wordFor (0, 12)) * scale);
    EXPECT_EQ (buffer.GetChannel (1)[0], 0.5f);
}

TEST (ReaderBase, FullScaleSixteenBitWordsMapToPlusMinusOne)
{
    struct FullScale : PatternReader
    {
        FullScale() : PatternReader (1, 2) {}
        bool ReadSamples (int** dest, uint64_t, int64_t) override
        {
            const int32_t words[2] = { 32767 * 65536, -32768 * 65536 };
            std::memcpy (dest[0], words, sizeof (words));
            return true;
        }
    } reader;
    AudioBuffer buffer (1, 2);

    ASSERT_TRUE (reader.Read (buffer, 0, 2, 0));
    EXPECT_EQ (buffer.GetChannel (0)[0], 0.999969482421875f);
    EXPECT_EQ (buffer.GetChannel (0)[1], -1.0f);
}

TEST (ReaderBase, RangesThatDoNotFitAreRefusedWithoutReading)
{
    PatternReader reader (3, 100);
    AudioBuffer stereo (2, 10), wide (3, 10);
    constexpr auto huge = std::numeric_limits<uint64_t>::max();

    EXPECT_TRUE (reader.Read (stereo, 0, 0, 0));
    EXPECT_FALSE (reader.Read (stereo, 0, 10, 0));
    EXPECT_FALSE (reader.Read (wide, 1, 10, 0));
    EXPECT_FALSE (reader.Read (wide, huge, 2, 0));
    EXPECT_FALSE (reader.Read (wide, 2, huge, 0));
    EXPECT_FALSE (reader.ReadChannel (wide, 3, 0, 1, 0, 0));
    EXPECT_FALSE (reader.ReadChannel (wide, 0, 0, 1, 3, 0));
    EXPECT_FALSE (reader.ReadChannel (wide, 0, huge, 2, 0, 0));
    EXPECT_TRUE (reader.readSizes.empty());
}

TEST (ReaderBase, ReadChannelGoesInChunksByChannelCount)
{
    struct Case { uint32_t channels; std::vector<uint64_t> sizes; };
    const Case cases[] = {
        { 2, { 65536, 34464 } },
        { 40, { 8192, 8192, 8192, 8192, 8192, 8192, 8192, 8192, 8192, 8192, 8192, 8192, 1696 } },
    };

    for (const auto& test : cases)
    {
        PatternReader reader (test.channels, 200000);
        AudioBuffer buffer (1, 100001);
        ASSERT_TRUE (reader.ReadChannel (buffer, 0, 1, 100000, 1, 7));
        EXPECT_EQ (reader.readSizes, test.sizes);
        EXPECT_EQ (buffer.GetChannel (0)[0], 0.0f);
        EXPECT_EQ (buffer.GetChannel (0)[1], static_cast<float> (PatternReader::wordFor (1, 7)) * scale);
        EXPECT_EQ (buffer.GetChannel (0)[100000], static_cast<float> (PatternReader::wordFor (1, 100006)) * scale);
    }
}
} // namespace
