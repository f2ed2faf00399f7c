#include "EncodedAudio.h"
#include "TestFiles.h"

#include "audiofiles/MP3FileReader.h"
#include "common/Exception.h"
#include "containers/AudioBuffer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>

using namespace kul;

namespace audiofiletests
{
namespace
{
// JUCE's decoder and libmpg123 share the algorithm but not the arithmetic.
constexpr float tolerance = 2.0e-4f;

struct Encoding
{
    const char* name;
    const char* lameOptions;
    int channels;
    int sampleRate;
    int samplesPerFrame;
    bool hasFrameCount; // an "Info" or "Xing" header gives the length
};

const Encoding encodings[] = {
    { "Mpeg1CbrInfo44kStereo", "-b 128 --resample 44.1", 2, 44100, 1152, true },
    { "Mpeg1CbrNoInfo48kMono", "-b 96 -t -m m --resample 48", 1, 48000, 1152, false },
    { "Mpeg1VbrXing44kStereo", "-V 4 --resample 44.1", 2, 44100, 1152, true },
    { "Mpeg1CbrId3v2Tag44kStereo", "-b 160 --resample 44.1 --id3v2-only --tt Title --ta Artist", 2, 44100, 1152, true },
    { "Mpeg2CbrInfo22kStereo", "-b 64 --resample 22.05", 2, 22050, 576, true },
    { "Mpeg2CbrNoInfo24kMono", "-b 32 -t -m m --resample 24", 1, 24000, 576, false },
    { "Mpeg2VbrXing24kStereo", "-V 6 --resample 24", 2, 24000, 576, true },
};

class MpegFileTest : public AudioFileTest
{
protected:
    File Encode (const std::string& lameOptions, int channels, int sampleRate, long frames, const std::string& name = "test.mp3")
    {
        const auto file = PathFor (name);
        EXPECT_TRUE (EncodeWithLame (file, lameOptions, channels, frames, sampleRate)) << lameOptions;
        return file;
    }
};

class MpegEncodingTest : public MpegFileTest, public ::testing::WithParamInterface<Encoding>
{
};

TEST_P (MpegEncodingTest, ReadsWhatLibmpg123DecodesAndSeeksToTheSameSamples)
{
    const auto& encoding = GetParam();
    const long sourceFrames = encoding.sampleRate * 2 + 333;
    const auto file = Encode (encoding.lameOptions, encoding.channels, encoding.sampleRate, sourceFrames);
    const auto reference = DecodeWithMpg123 (file);
    ASSERT_GT (reference.Frames(), sourceFrames);

    MP3FileReader reader (file);
    EXPECT_EQ (reader.GetFormatName(), "MP3 File");
    EXPECT_EQ (reader.GetSampleRate(), encoding.sampleRate);
    EXPECT_EQ (reader.GetNumChannels(), static_cast<uint32_t> (encoding.channels));
    EXPECT_EQ (reader.GetBitsPerSample(), 32u);
    EXPECT_TRUE (reader.IsFloatingPoint());

    const auto length = reader.GetLengthInSamples();
    EXPECT_EQ (length % encoding.samplesPerFrame, 0);

    if (encoding.hasFrameCount)
        EXPECT_EQ (length, reference.Frames());
    else // estimated from the first frame's size without its 4 header bytes: a few percent long
        EXPECT_TRUE (length >= reference.Frames() && length <= reference.Frames() * 105 / 100) << length;

    // Read to the length, as a whole load does: past the stream's real end come zeros.
    AudioBuffer whole (static_cast<unsigned> (encoding.channels), static_cast<unsigned long> (length));
    ASSERT_TRUE (reader.Read (whole, 0, whole.GetNumSamples(), 0));
    ExpectSamplesNear (whole, reference, 0, length, tolerance, "whole");

    // Backwards, forwards, on frame and seek-table boundaries, and astride the end.
    const long spf = encoding.samplesPerFrame;
    const long starts[] = { 5000, 0, spf - 1, spf, 3000, 4 * spf + 7, 13 * spf - 2, reference.Frames() - 700, 1, -300 };
    AudioBuffer part (static_cast<unsigned> (encoding.channels), 1500);

    for (const long start : starts)
    {
        ASSERT_TRUE (reader.Read (part, 0, part.GetNumSamples(), start)) << start;
        ExpectSamplesNear (part, reference, start, 1500, tolerance, "from " + std::to_string (start));
    }
}

INSTANTIATE_TEST_SUITE_P (LameEncodings, MpegEncodingTest, ::testing::ValuesIn (encodings),
                          [] (const auto& info) { return std::string (info.param.name); });

// The ID3v2 header: "ID3", version, revision, flags, then four 7-bit size bytes.
std::vector<unsigned char> id3Header (unsigned char revision, const unsigned char (&size)[4])
{
    return { 'I', 'D', '3', 4, revision, 0, size[0], size[1], size[2], size[3] };
}

TEST_F (MpegFileTest, Id3v2TagsAreSkippedByTheirSizeAndMalformedOnesDecodedFromTheStart)
{
    const auto plain = ReadBytes (Encode ("-b 128 -t", 2, 44100, 20000, "plain.mp3"));
    const auto reference = DecodeWithMpg123 (PathFor ("plain.mp3"));

    struct Case
    {
        const char* what;
        std::vector<unsigned char> prefix;
    };

    std::vector<unsigned char> tagWithBody = id3Header (0, { 0, 0, 1, 4 }); // 132 bytes of body
    tagWithBody.resize (tagWithBody.size() + 132, 0xFF);                   // that look like frame syncs

    const Case cases[] = {
        { "size 0", id3Header (0, { 0, 0, 0, 0 }) },
        { "a body of 132 bytes", tagWithBody },
        { "a size byte with its top bit set", id3Header (0, { 0, 0, 0x80, 0 }) },
        { "revision 0xFF", id3Header (0xFF, { 0, 0, 0, 0 }) },
    };

    for (const auto& c : cases)
    {
        auto bytes = c.prefix;
        bytes.insert (bytes.end(), plain.begin(), plain.end());
        const auto file = PathFor ("tagged.mp3");
        WriteBytes (file, bytes);

        MP3FileReader reader (file);
        ASSERT_GE (reader.GetLengthInSamples(), reference.Frames()) << c.what;
        AudioBuffer buffer (2, static_cast<unsigned long> (reference.Frames()));
        ASSERT_TRUE (reader.Read (buffer, 0, buffer.GetNumSamples(), 0)) << c.what;
        ExpectSamplesNear (buffer, reference, 0, reference.Frames(), tolerance, c.what);
    }
}

TEST_F (MpegFileTest, RefusesATagThatRunsPastTheEndAndFilesWithoutFrames)
{
    const auto plain = ReadBytes (Encode ("-b 128", 2, 44100, 20000, "plain.mp3"));

    auto pastTheEnd = id3Header (0, { 0x7F, 0x7F, 0x7F, 0x7F });
    pastTheEnd.insert (pastTheEnd.end(), plain.begin(), plain.end());

    std::vector<unsigned char> noise (20000);
    for (size_t i = 0; i < noise.size(); ++i)
        noise[i] = static_cast<unsigned char> ((i * 7919u) >> 3); // never a frame sync

    for (const auto& bytes : { pastTheEnd, noise, std::vector<unsigned char> {} })
    {
        const auto file = PathFor ("refused.mp3");
        WriteBytes (file, bytes);

        try
        {
            MP3FileReader reader (file);
            FAIL() << "accepted " << bytes.size() << " bytes";
        }
        catch (const Exception& e)
        {
            EXPECT_EQ (e.GetMessage(), "file \"" + file.GetFullPathName() + "\" is not a valid MP3 file");
        }
    }
}

struct FrameInFile
{
    size_t offset;
    int size; // with the header
};

// The frames of an MPEG-1 layer III stream without a tag in front.
std::vector<FrameInFile> mpeg1LayerIIIFrames (const std::vector<unsigned char>& bytes)
{
    static const int bitrates[] = { 0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0 };
    static const int rates[] = { 44100, 48000, 32000, 0 };
    std::vector<FrameInFile> frames;

    for (size_t i = 0; i + 4 <= bytes.size();)
    {
        const bool sync = bytes[i] == 0xFF && (bytes[i + 1] & 0xFE) == 0xFA;
        const int bitrate = bitrates[bytes[i + 2] >> 4];
        const int rate = rates[(bytes[i + 2] >> 2) & 3];

        if (! sync || bitrate == 0 || rate == 0)
            break;

        frames.push_back ({ i, 144000 * bitrate / rate + ((bytes[i + 2] >> 1) & 1) });
        i += static_cast<size_t> (frames.back().size);
    }

    return frames;
}

// The "Xing" header of lame's VBR file: the tag, the flags, then the frame count.
size_t xingTagOffset (const std::vector<unsigned char>& bytes)
{
    const std::string tag = "Xing";
    return static_cast<size_t> (std::search (bytes.begin(), bytes.end(), tag.begin(), tag.end()) - bytes.begin());
}

TEST_F (MpegFileTest, VbrFrameCountIsUsedOnlyWhenFlaggedAndPossible)
{
    const auto file = Encode ("-V 2", 2, 44100, 44100);
    const auto original = ReadBytes (file);
    const auto reference = DecodeWithMpg123 (file);
    const size_t tag = xingTagOffset (original);
    ASSERT_LT (tag + 12, original.size());
    ASSERT_EQ (original[tag + 7] & 1, 1); // lame writes the count

    // Without a count, the length comes from the size of the first audio frame.
    const auto frames = mpeg1LayerIIIFrames (original);
    ASSERT_GT (frames.size(), 2u);
    const int64_t fromSize = int64_t (original.size()) / (frames[1].size - 4) * 1152;

    struct Case
    {
        const char* what;
        unsigned char flags;
        uint32_t count;
        int64_t expected;
    };

    const Case cases[] = {
        { "the count", 0x0F, static_cast<uint32_t> (reference.Frames() / 1152), reference.Frames() },
        { "a count of 500", 0x0F, 500, 500 * 1152 },
        { "no count flag", 0x0E, 0xBEBEBEBE, fromSize },
        { "more frames than the file could hold", 0x0F, 0x7FFFFFFF, fromSize },
        { "a count whose top bit is set", 0x0F, 0x80000001, fromSize },
    };

    for (const auto& c : cases)
    {
        auto bytes = original;
        bytes[tag + 7] = c.flags;
        for (int i = 0; i < 4; ++i)
            bytes[tag + 8 + static_cast<size_t> (i)] = static_cast<unsigned char> (c.count >> (24 - 8 * i));
        WriteBytes (file, bytes);

        MP3FileReader reader (file);
        EXPECT_EQ (reader.GetLengthInSamples(), c.expected) << c.what;
        AudioBuffer buffer (2, 4096);
        EXPECT_TRUE (reader.Read (buffer, 0, 4096, 0)) << c.what;
        ExpectSamplesNear (buffer, reference, 0, 4096, tolerance, c.what);
    }
}

TEST_F (MpegFileTest, ReadsPastTheEndGiveSilenceAndSucceed)
{
    const auto file = Encode ("-b 128 -t", 1, 44100, 30000);
    const auto reference = DecodeWithMpg123 (file);
    MP3FileReader reader (file);
    AudioBuffer buffer (1, 3000);

    for (const int64_t start : { reader.GetLengthInSamples() + 10, reference.Frames() - 1000, int64_t (0), reader.GetLengthInSamples() * 3 })
    {
        buffer.GetChannel (0)[2999] = 1.0f;
        ASSERT_TRUE (reader.Read (buffer, 0, 3000, start)) << start;
        ExpectSamplesNear (buffer, reference, static_cast<long> (start), 3000, tolerance, "from " + std::to_string (start));
    }
}

// Sets every frame of an MPEG-1 layer III stereo stream to joint stereo with intensity
// stereo on (and mid/side off): the right channel's spectrum then goes through the
// decoder's intensity-stereo code up to its top band.
void switchOnIntensityStereo (std::vector<unsigned char>& bytes)
{
    for (const auto& frame : mpeg1LayerIIIFrames (bytes))
        bytes[frame.offset + 3] = static_cast<unsigned char> ((bytes[frame.offset + 3] & 0x0F) | 0x50);
}

TEST_F (MpegFileTest, IntensityStereoStreamStillDecodes)
{
    const auto file = Encode ("-b 320 -m s -t", 2, 44100, 44100);
    auto bytes = ReadBytes (file);
    switchOnIntensityStereo (bytes);
    WriteBytes (file, bytes);

    MP3FileReader reader (file);
    AudioBuffer buffer (2, static_cast<unsigned long> (reader.GetLengthInSamples()));
    ASSERT_TRUE (reader.Read (buffer, 0, buffer.GetNumSamples(), 0));

    double energy = 0;
    for (const float sample : buffer.GetData())
    {
        ASSERT_TRUE (std::isfinite (sample));
        energy += double (sample) * sample;
    }
    EXPECT_GT (energy, 1.0);
}

} // namespace
} // namespace audiofiletests
