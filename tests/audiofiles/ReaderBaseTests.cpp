#include "audiofiles/AudioFileReader.h"
#include "math/VectorOperations.h"

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

// Chunks of 65536 frames, 8192 from 33 channels on, fewer where they would pass 16 MiB;
// frames outside the file are written as 0 without a read.
TEST (ReaderBase, ReadChannelGoesInChunksBoundedByChannelsAndTheFramesHeld)
{
    struct Case { uint32_t channels; int64_t fileFrames; int64_t start; uint64_t count; std::vector<uint64_t> sizes; };
    const Case cases[] = {
        { 2, 200000, 7, 100000, { 65536, 34464 } },
        { 40, 200000, 7, 100000, { 8192, 8192, 8192, 8192, 8192, 8192, 8192, 8192, 8192, 8192, 8192, 8192, 1696 } },
        { 2000, 200000, 7, 5000, { 2097, 2097, 806 } },
        { 24000, 10, 7, 8192, { 3 } },
        { 2, 10, -3, 20, { 10 } },
    };

    for (const auto& test : cases)
    {
        SCOPED_TRACE (test.channels);
        PatternReader reader (test.channels, test.fileFrames);
        AudioBuffer buffer (1, test.count + 1);
        FillVector (buffer.GetChannel (0), test.count + 1, 0.5f);
        ASSERT_TRUE (reader.ReadChannel (buffer, 0, 1, test.count, 1, test.start));
        EXPECT_EQ (reader.readSizes, test.sizes);
        EXPECT_EQ (buffer.GetChannel (0)[0], 0.5f);

        const auto expected = [&] (int64_t frame) {
            return frame >= 0 && frame < test.fileFrames ? static_cast<float> (PatternReader::wordFor (1, frame)) * scale : 0.0f;
        };
        uint64_t right = 0;
        while (right < test.count && buffer.GetChannel (0)[right + 1] == expected (test.start + static_cast<int64_t> (right)))
            ++right;
        EXPECT_EQ (right, test.count) << "frames read as the file holds them";
    }
}

} // namespace
