#include "TestFiles.h"

#include "audiofiles/AiffFileReader.h"

#include <bit>
#include <cmath>

using namespace kul;
using namespace audiofiletests;

namespace
{
Bytes bigEndian() { return Bytes (ByteOrder::big); }

/** Frames of 16-bit big-endian samples counting up from 1, channel by channel. */
Bytes samples16 (int frames, int channels)
{
    Bytes b = bigEndian();
    for (int i = 1; i <= frames * channels; ++i)
        b.U16 (static_cast<uint32_t> (i) * 256);
    return b;
}

Bytes aiff (const Bytes& comm, const Bytes& samples, uint32_t offset = 0)
{
    return Form ("AIFF", bigEndian().Chunk ("COMM", comm).Chunk ("SSND", AiffSoundData (offset, samples)));
}

class AiffReader : public AudioFileTest
{
protected:
    std::unique_ptr<AiffFileReader> Open (const Bytes& bytes) { return OpenWith<AiffFileReader> (bytes, "t.aiff"); }
};

TEST_F (AiffReader, RefusesMalformedHeadersWithItsErrorText)
{
    Bytes badRate = bigEndian(), tiny = bigEndian(), unnormalised = bigEndian(), huge = bigEndian(), negative = bigEndian();
    badRate.U16 (1).U32 (4).U16 (16);
    tiny = badRate, unnormalised = badRate, huge = badRate, negative = badRate;
    tiny.U16 (0x3FFF).U64 (0x8000000000000000);     // 1 Hz
    unnormalised.U16 (0x4000).U64 (0x4000000000000000); // 1 Hz again
    huge.U16 (0x401D).U64 (0x8000000000000000);     // 2^30 Hz
    negative.U16 (0xC00E).U64 (0xAC44000000000000); // -44100 Hz

    Bytes shortComm = AiffComm (1, 4, 16, 44100);
    shortComm.data.pop_back();

    const struct { const char* name; Bytes file; } cases[] = {
        { "not a FORM", Riff (Bytes()) },
        { "form type", Form ("AIFX", bigEndian().Chunk ("COMM", AiffComm (1, 4, 16, 44100))) },
        { "no COMM", Form ("AIFF", bigEndian().Chunk ("SSND", AiffSoundData (0, samples16 (4, 1)))) },
        { "COMM of 17 bytes", aiff (shortComm, samples16 (4, 1)) },
        { "no channels", aiff (AiffComm (0, 4, 16, 44100), samples16 (4, 1)) },
        { "negative channels", aiff (AiffComm (-2, 4, 16, 44100), samples16 (4, 1)) },
        { "0 bits", aiff (AiffComm (1, 4, 0, 44100), samples16 (4, 1)) },
        { "33 bits", aiff (AiffComm (1, 4, 33, 44100), samples16 (4, 1)) },
        { "rate below 2", aiff (tiny, samples16 (4, 1)) },
        { "unnormalised rate below 2", aiff (unnormalised, samples16 (4, 1)) },
        { "rate of 2^30", aiff (huge, samples16 (4, 1)) },
        { "negative rate", aiff (negative, samples16 (4, 1)) },
        { "mu-law", Form ("AIFC", bigEndian().Chunk ("COMM", AiffComm (1, 4, 16, 44100, "ulaw"))) },
        { "SSND offset past its chunk", Form ("AIFF", bigEndian().Chunk ("COMM", AiffComm (1, 4, 16, 44100))
                                                          .Chunk ("SSND", bigEndian().U32 (9).U32 (0).Zeros (8))) },
    };

    for (const auto& test : cases)
    {
        SCOPED_TRACE (test.name);
        ExpectRefused<AiffFileReader> (Write (test.file, "bad.aiff"), "AIFF");
    }
}

TEST_F (AiffReader, FrameCountIsWhatTheSoundDataInTheFileHolds)
{
    const Bytes comm = AiffComm (2, 0x80000000u, 16, 44100);
    const Bytes ssnd = AiffSoundData (3, samples16 (5, 2));
    const struct { const char* name; Bytes file; int64_t frames; } cases[] = {
        { "COMM first", aiff (comm, samples16 (5, 2), 3), 5 },
        { "SSND first", Form ("AIFF", bigEndian().Chunk ("SSND", ssnd).Chunk ("COMM", comm)), 5 },
        { "SSND size past the file", Form ("AIFF", bigEndian().Chunk ("COMM", comm).Chunk ("SSND", ssnd, 0xFFFFFFF0)), 5 },
        { "fewer frames in COMM", aiff (AiffComm (2, 3, 16, 44100), samples16 (5, 2)), 3 },
        { "no SSND", Form ("AIFF", bigEndian().Chunk ("COMM", comm)), 0 },
    };

    for (const auto& test : cases)
    {
        SCOPED_TRACE (test.name);
        const auto reader = Open (test.file);
        EXPECT_EQ (reader->GetLengthInSamples(), test.frames);
        const auto read = ReadAll (*reader, 6);
        EXPECT_EQ (read[0], test.frames > 0 ? 256.0f / 32768.0f : 0.0f);
        EXPECT_EQ (read[5], 0.0f); // past the end
    }
}

TEST_F (AiffReader, ReadsRatesAsTheirIntegerPart)
{
    for (const double rate : { 44100.0, 22050.5, 2.0, 1073741823.0 })
    {
        const auto reader = Open (aiff (AiffComm (1, 1, 16, rate), samples16 (1, 1)));
        EXPECT_EQ (reader->GetSampleRate(), std::floor (rate));
    }
}

TEST_F (AiffReader, ReadsEveryStoredLayoutAsItsBigEndianEquivalent)
{
    Bytes littleEndian = Bytes (ByteOrder::little), twelveBits = bigEndian(), floats = bigEndian();
    for (int i = 1; i <= 4; ++i)
    {
        littleEndian.U16 (static_cast<uint32_t> (i) * 256);
        twelveBits.U16 (static_cast<uint32_t> (i) * 256);
        floats.U32 (std::bit_cast<uint32_t> (static_cast<float> (i) / 128.0f));
    }

    const struct { const char* name; Bytes file; uint32_t bits; } cases[] = {
        { "big-endian", aiff (AiffComm (1, 4, 16, 8000), samples16 (4, 1)), 16 },
        { "AIFF-C of 18 bytes", Form ("AIFC", bigEndian().Chunk ("COMM", AiffComm (1, 4, 16, 8000))
                                                  .Chunk ("SSND", AiffSoundData (0, samples16 (4, 1)))), 16 },
        { "sowt", Form ("AIFC", bigEndian().Chunk ("COMM", AiffComm (1, 4, 16, 8000, "sowt"))
                                    .Chunk ("SSND", AiffSoundData (0, littleEndian))), 16 },
        { "fl32", Form ("AIFC", bigEndian().Chunk ("COMM", AiffComm (1, 4, 32, 8000, "fl32"))
                                    .Chunk ("SSND", AiffSoundData (0, floats))), 32 },
        { "12 bits in 2 bytes", aiff (AiffComm (1, 4, 12, 8000), twelveBits), 12 },
        { "odd NAME chunk first", Form ("AIFF", bigEndian().Chunk ("NAME", bigEndian().Text ("abcde"))
                                                    .Chunk ("COMM", AiffComm (1, 4, 16, 8000))
                                                    .Chunk ("SSND", AiffSoundData (0, samples16 (4, 1)))), 16 },
    };

    for (const auto& test : cases)
    {
        SCOPED_TRACE (test.name);
        const auto reader = Open (test.file);
        EXPECT_EQ (reader->GetBitsPerSample(), test.bits);
        EXPECT_EQ (ReadAll (*reader, 4), (std::vector<float> { 1 / 128.0f, 2 / 128.0f, 3 / 128.0f, 4 / 128.0f }));
    }
}

TEST_F (AiffReader, ParseStopsAtAnUnknownChunkOnlyOnceCommSsndAndFverWereSeen)
{
    const auto file = [] (bool withFver)
    {
        Bytes chunks = bigEndian();
        chunks.Chunk ("COMM", AiffComm (1, 4, 16, 8000)).Chunk ("SSND", AiffSoundData (0, samples16 (4, 1)));
        if (withFver)
            chunks.Chunk ("FVER", bigEndian().U32 (0xA2805140));
        return Form ("AIFC", chunks.Chunk ("ANNO", bigEndian().Text ("x")).Chunk ("COMM", AiffComm (2, 4, 16, 8000)));
    };

    EXPECT_EQ (Open (file (true))->GetNumChannels(), 1u);
    EXPECT_EQ (Open (file (false))->GetNumChannels(), 2u);
}

TEST_F (AiffReader, FramesWiderThanTheBlockAndOutsideTheFileRead)
{
    constexpr int channels = 1441; // 5764 bytes a frame
    Bytes frames = bigEndian();
    for (int i = 0; i < 2 * channels; ++i)
        frames.U32 (static_cast<uint32_t> (i) << 16);

    const auto reader = Open (aiff (AiffComm (channels, 2, 32, 8000), frames));
    AudioBuffer buffer (channels, 5);
    ASSERT_TRUE (reader->Read (buffer, 0, 5, -1));
    EXPECT_EQ (buffer.GetChannel (0)[0], 0.0f);
    EXPECT_EQ (buffer.GetChannel (1440)[1], 1440.0f / 32768.0f);
    EXPECT_EQ (buffer.GetChannel (1440)[2], (2 * channels - 1) / 32768.0f);
    EXPECT_EQ (buffer.GetChannel (1440)[3], 0.0f);
}
} // namespace
