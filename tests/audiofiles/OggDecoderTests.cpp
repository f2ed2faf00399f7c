// The Ogg decoder's positioning over a stub decoding: the failure paths that files rarely
// reach. The stub's frames are their own frame numbers, in blocks of 100.

#include <audiotoolbox/OggPcmDecoder.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace audiofiletests
{
namespace
{
class StubOggDecoder final : public OggPcmDecoder
{
public:
    StubOggDecoder()
    {
        AppendLink (1000);
        AppendLink (1000);
        channelCount = 1;
        sampleRate = 48000;
    }

    bool failNextDecode = false;
    int blockLink = -1; // the link the next blocks claim; -1: their own
    int seeks = 0;

protected:
    int64_t DecodeBlock (Block& block) noexcept override
    {
        if (failNextDecode)
        {
            failNextDecode = false;
            return -1;
        }

        if (next >= GetLength())
            return 0;

        const int64_t frames = std::min<int64_t> (100, GetLength() - next);
        block = { frames, 0, next, blockLink >= 0 ? blockLink : LinkOf (next) };
        blockStart = next;
        next += frames;
        return frames;
    }

    void CopyBlock (float* const* channels, int64_t offset, int64_t from, int64_t count) noexcept override
    {
        for (int64_t i = 0; i < count; ++i)
            channels[0][offset + i] = float (blockStart + from + i);
    }

    bool SeekLibraryBefore (int64_t target, int) noexcept override
    {
        ++seeks;
        next = target - target % 100;
        position = next;
        return true;
    }

    bool DecodesForwardTo (int64_t target) const noexcept override { return target - position <= 1000; }

private:
    int64_t next = 0;
    int64_t blockStart = 0;
};

// Reads count frames and expects them to be the frames from start on.
void expectFramesFrom (StubOggDecoder& decoder, int64_t start, uint32_t count)
{
    std::vector<float> samples (count, -1.0f);
    float* channels[] = { samples.data() };
    ASSERT_EQ (decoder.Read (channels, count), int64_t (count));

    for (uint32_t i = 0; i < count; ++i)
        ASSERT_EQ (samples[i], float (start + i)) << "frame " << start + i;
}

TEST (OggDecoderTest, ASeekWhoseDecodeFailsAnswersFalse)
{
    StubOggDecoder decoder;
    decoder.failNextDecode = true;
    EXPECT_FALSE (decoder.Seek (500));
    EXPECT_EQ (decoder.GetPosition(), -1);

    EXPECT_TRUE (decoder.Seek (500));
    expectFramesFrom (decoder, 500, 250);
}

TEST (OggDecoderTest, ASeekNearTheStartAfterAFailureSeeksAgain)
{
    StubOggDecoder decoder;
    expectFramesFrom (decoder, 0, 200);
    decoder.failNextDecode = true;
    float sample = 0;
    float* channels[] = { &sample };
    EXPECT_EQ (decoder.Read (channels, 1), -1);

    const int seeksBefore = decoder.seeks;
    ASSERT_TRUE (decoder.Seek (50));
    EXPECT_EQ (decoder.seeks, seeksBefore + 1);
    expectFramesFrom (decoder, 50, 300);
}

TEST (OggDecoderTest, ABlockFromALinkPastTheLastIsRefused)
{
    StubOggDecoder decoder;
    decoder.blockLink = decoder.GetLinkCount();
    std::vector<float> samples (100);
    float* channels[] = { samples.data() };
    EXPECT_EQ (decoder.Read (channels, 100), -1);
    EXPECT_EQ (decoder.GetPosition(), -1);
}

} // namespace
} // namespace audiofiletests
