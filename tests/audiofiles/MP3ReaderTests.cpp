#include "EncodedAudio.h"
#include "TestFiles.h"

#include "audiofiles/MP3FileReader.h"
#include "common/Exception.h"
#include "containers/AudioBuffer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <random>

using namespace kul;

namespace audiofiletests
{
namespace
{
// What is done to the encoder's file before it is read.
enum class Edit
{
    none,
    junkAfter,    // 40 KB of random bytes after the stream
    brokenOff,    // the stream cut in half and followed by 40000 zero bytes
    cutShort,     // the last 40% cut off, so a "Xing" count is more than the file holds
    byteBefore,   // one byte before the first frame
    infoAudio,    // side information in the "Info" frame, which makes it audio to libmpg123
    twoId3v2Tags, // a small tag, then one of 40 KB of random bytes
    apeTagAfter,  // an APEv2 tag of one item after the stream
    junkInside,   // 500 random bytes without a frame sync inserted in the middle
    zerosCrossed, // 100 KB of zeros inserted in the middle: less than the resync limit
    zerosEndIt,   // 140 KB of zeros inserted in the middle: more than the resync limit
    junkBlock,    // 5000 random bytes without a frame sync inserted in the middle
    junkInFrame,  // 500 random bytes inserted into a frame, leaving its rest as a lone header
    stereoAfter,  // a stereo stream of the same rate joined after it
    monoAfter,    // a mono stream of the same rate joined after it
    cutWhileOpen, // the second half cut off while the reader is open, then put back
    loneHeaderInJunk,      // 3000 random bytes without a frame sync but for one copy of the first header, between two frames
    undecodableFrame,      // the side information of a frame in the middle all ones, which libmpg123 cannot decode
    cutInReservoir,        // the first half cut off, at a frame whose main data lies before the cut
    cutInReservoirMisread, // the same where libmpg123's own decode misreads the frames after the cut
};

// Damage that libmpg123 decodes, junk and lone headers included, leaves every read equal to
// the load. A frame it cannot decode it leaves out of its synthesis, which no restart after
// it can know of: reads after it can differ by the rounding of a synthesis filter at another
// place in its ring, as far as the reader allows.
constexpr float synthesisRounding = 2.4e-7f;

struct Encoding
{
    const char* name;
    const char* options; // lame's; sox's output options for layer II
    int channels;
    int sampleRate;
    Edit edit = Edit::none;
    Signal signal = Signal::tones;
    bool layerII = false;
    int mainDataBeginAbove = -1; // bytes: some frame's main data reaches further back than this
};

const Encoding encodings[] = {
    { "Mpeg1CbrInfo44kStereo", "-b 128 --resample 44.1", 2, 44100 },
    { "Mpeg1CbrNoInfo48kMono", "-b 96 -t -m m --resample 48", 1, 48000 },
    { "Mpeg1CbrNoInfo32kStereo", "-b 64 -t --resample 32", 2, 32000 },
    { "Mpeg1Cbr32kbit32kMono", "-b 32 -m m --resample 32", 1, 32000, Edit::none, Signal::tones, false, 256 },
    { "Mpeg1CbrCrc32kbit48kMono", "-b 32 -p -m m --resample 48", 1, 48000, Edit::none, Signal::tones, false, 256 },
    { "Mpeg1CbrCrc44kStereo", "-b 32 -p --resample 44.1", 2, 44100 },
    { "Mpeg1VbrXing44kStereo", "-V 4 --resample 44.1", 2, 44100 },
    { "Mpeg1VbrNoXing44kStereo", "-V 0 -t --resample 44.1", 2, 44100 },
    { "Mpeg1AbrNoXing44kStereo", "--abr 96 -t --resample 44.1", 2, 44100 },
    { "ClickTrainShortBlocks44kMono", "-b 96 -m m --resample 44.1", 1, 44100, Edit::none, Signal::clicks },
    { "Id3v2Tag44kStereo", "-b 160 --resample 44.1 --id3v2-only --tt Title --ta Artist", 2, 44100 },
    { "Id3v1Tag44kStereo", "-b 128 --resample 44.1 --id3v1-only --tt Title --ta Artist", 2, 44100 },
    { "ApeTag44kStereo", "-b 128 -t --resample 44.1", 2, 44100, Edit::apeTagAfter },
    { "TwoId3v2Tags44kStereo", "-b 128 --resample 44.1", 2, 44100, Edit::twoId3v2Tags },
    { "OneByteBeforeXing44kStereo", "-V 2 --resample 44.1", 2, 44100, Edit::byteBefore },
    { "InfoFrameWithSideInfo44kStereo", "-b 128 --resample 44.1", 2, 44100, Edit::infoAudio },
    { "VbrXingCutShort44kStereo", "-V 2 --resample 44.1", 2, 44100, Edit::cutShort },
    { "JunkAfterStream44kMono", "-b 128 -t -m m --resample 44.1", 1, 44100, Edit::junkAfter },
    { "StreamBrokenOffIntoZeros44kMono", "-b 128 -t -m m --resample 44.1", 1, 44100, Edit::brokenOff },
    { "Mpeg2CbrInfo22kStereo", "-b 64 --resample 22.05", 2, 22050 },
    { "Mpeg2CbrNoInfo24kMono", "-b 32 -t -m m --resample 24", 1, 24000 },
    { "Mpeg2VbrXing24kStereo", "-V 6 --resample 24", 2, 24000 },
    { "Mpeg2Cbr16kMono", "-b 24 -m m --resample 16", 1, 16000 },
    { "Mpeg25Cbr11kStereo", "-b 32 --resample 11.025", 2, 11025 },
    { "Mpeg25Cbr12kMono", "-b 16 -m m --resample 12", 1, 12000 },
    { "Mpeg25Cbr8kbit8kMono", "-b 8 -m m --resample 8", 1, 8000 },
    { "LayerII44kStereo", "-C 192", 2, 44100, Edit::none, Signal::tones, true },
    { "LayerII24kMono", "-C 48", 1, 24000, Edit::none, Signal::tones, true },
    { "JunkInsideCbr44kStereo", "-b 128 -t --resample 44.1", 2, 44100, Edit::junkInside },
    { "ZerosBelowTheResyncLimitInsideCbr44kMono", "-b 128 -t -m m --resample 44.1", 1, 44100, Edit::zerosCrossed },
    { "ZerosAboveTheResyncLimitInsideCbr44kMono", "-b 128 -t -m m --resample 44.1", 1, 44100, Edit::zerosEndIt },
    { "JunkBlockInsideCbr44kMono", "-b 128 -t -m m --resample 44.1", 1, 44100, Edit::junkBlock },
    { "JunkInAFrameCbr44kStereo", "-b 128 -t --resample 44.1", 2, 44100, Edit::junkInFrame },
    { "LoneHeaderInJunkCbr44kMono", "-b 128 -t -m m --resample 44.1", 1, 44100, Edit::loneHeaderInJunk },
    { "MonoThenStereoJoined44k", "-b 128 -m m --resample 44.1", 1, 44100, Edit::stereoAfter },
    { "StereoThenMonoJoined44k", "-b 128 --resample 44.1", 2, 44100, Edit::monoAfter },
    { "UndecodableFrameInsideCbr44kMono", "-b 128 -t -m m --resample 44.1", 1, 44100, Edit::undecodableFrame },
    { "UndecodableFrameInsideMpeg2Cbr24kMono", "-b 32 -t -m m --resample 24", 1, 24000, Edit::undecodableFrame },
    { "CutInItsReservoirMpeg1Cbr32kbit32kMono", "-b 32 -t -m m --resample 32", 1, 32000, Edit::cutInReservoir, Signal::tones, false, 256 },
    { "CutInItsReservoirMpeg1Crc32kbit48kMono", "-b 32 -p -t -m m --resample 48", 1, 48000, Edit::cutInReservoirMisread, Signal::tones, false, 256 },
    { "CutInItsReservoirMpeg2Crc24kMono", "-b 32 -p -t -m m --resample 24", 1, 24000, Edit::cutInReservoirMisread },
    { "CutInItsReservoirMpeg25Cbr8kMono", "-b 8 -t -m m --resample 8", 1, 8000, Edit::cutInReservoirMisread },
    { "CutWhileOpen320k44kStereo", "-b 320 --resample 44.1", 2, 44100, Edit::cutWhileOpen },
};

void PrintTo (const Encoding& encoding, std::ostream* out)
{
    *out << encoding.name;
}

std::vector<unsigned char> randomBytes (size_t count)
{
    std::mt19937 random (99);
    std::vector<unsigned char> bytes (count);
    for (auto& byte : bytes)
        byte = static_cast<unsigned char> (random());
    return bytes;
}

// Junk in which libmpg123 can find no header: a sync needs an 0xFF byte.
std::vector<unsigned char> junkWithoutSync (size_t count)
{
    auto bytes = randomBytes (count);
    std::replace (bytes.begin(), bytes.end(), static_cast<unsigned char> (0xFF), static_cast<unsigned char> (0x7F));
    return bytes;
}

// An ID3v2.4 tag around the body: "ID3", version, revision, flags, four 7-bit size bytes.
std::vector<unsigned char> id3v2Tag (const std::vector<unsigned char>& body)
{
    const size_t n = body.size();
    std::vector<unsigned char> tag { 'I', 'D', '3', 4, 0, 0, static_cast<unsigned char> ((n >> 21) & 0x7F),
                                     static_cast<unsigned char> ((n >> 14) & 0x7F), static_cast<unsigned char> ((n >> 7) & 0x7F),
                                     static_cast<unsigned char> (n & 0x7F) };
    tag.insert (tag.end(), body.begin(), body.end());
    return tag;
}

// An APEv2 tag without header: the item "Title" = "x", then the 32-byte footer ("APETAGEX",
// version 2000, the size of items and footer, the item count, flags, 8 reserved bytes).
std::vector<unsigned char> apeTag()
{
    std::vector<unsigned char> tag { 1, 0, 0, 0, 0, 0, 0, 0, 'T', 'i', 't', 'l', 'e', 0, 'x' };
    const auto size = static_cast<unsigned char> (tag.size() + 32);
    const std::vector<unsigned char> footer { 'A', 'P', 'E', 'T', 'A', 'G', 'E', 'X', 0xD0, 0x07, 0, 0, size, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0 };
    tag.insert (tag.end(), footer.begin(), footer.end());
    return tag;
}

std::vector<unsigned char> edited (std::vector<unsigned char> bytes, Edit edit)
{
    const auto prepend = [&] (const std::vector<unsigned char>& prefix) { bytes.insert (bytes.begin(), prefix.begin(), prefix.end()); };
    const auto insertAt = [&] (size_t at, const std::vector<unsigned char>& damage) { bytes.insert (bytes.begin() + std::ptrdiff_t (at), damage.begin(), damage.end()); };
    const auto insertInside = [&] (const std::vector<unsigned char>& damage) { insertAt (bytes.size() / 2, damage); };

    // The first frame header from a byte on: in a stream of one bit rate without tags, the
    // first frame's bar the padding bit.
    const auto frameFrom = [&] (size_t at)
    {
        while (at + 4 < bytes.size() && ! (bytes[at] == bytes[0] && bytes[at + 1] == bytes[1] && (bytes[at + 2] | 2) == (bytes[2] | 2)))
            ++at;
        return at;
    };

    switch (edit)
    {
        case Edit::none: break;
        case Edit::junkAfter: { const auto junk = randomBytes (40000); bytes.insert (bytes.end(), junk.begin(), junk.end()); break; }
        case Edit::brokenOff: bytes.resize (bytes.size() / 2); bytes.resize (bytes.size() + 40000, 0); break;
        case Edit::cutShort: bytes.resize (bytes.size() * 6 / 10); break;
        case Edit::byteBefore: prepend ({ 0 }); break;
        case Edit::infoAudio: { const unsigned char sideInfo[] { 0xFE, 0xFF, 0xFF, 0xF4 }; std::copy (std::begin (sideInfo), std::end (sideInfo), bytes.begin() + 4); break; }
        case Edit::apeTagAfter: { const auto tag = apeTag(); bytes.insert (bytes.end(), tag.begin(), tag.end()); break; }
        case Edit::twoId3v2Tags: prepend (id3v2Tag (randomBytes (40000))); prepend (id3v2Tag (std::vector<unsigned char> (100, 0))); break;
        case Edit::junkInside: insertInside (junkWithoutSync (500)); break;
        case Edit::zerosCrossed: insertInside (std::vector<unsigned char> (100000, 0)); break;
        case Edit::zerosEndIt: insertInside (std::vector<unsigned char> (140000, 0)); break;
        case Edit::junkBlock: insertInside (junkWithoutSync (5000)); break;
        case Edit::junkInFrame: insertAt (bytes.size() / 2 + 37, randomBytes (500)); break;
        case Edit::stereoAfter:
        case Edit::monoAfter: break; // joined by the test, which encodes the second stream
        case Edit::cutWhileOpen: break; // cut by the test, after opening
        case Edit::loneHeaderInJunk:
        {
            auto junk = junkWithoutSync (3000);
            std::copy_n (bytes.begin(), 4, junk.begin() + 1000);
            insertAt (frameFrom (bytes.size() / 2), junk);
            break;
        }
        case Edit::undecodableFrame: std::fill_n (bytes.begin() + std::ptrdiff_t (frameFrom (bytes.size() / 2) + 4), 17, 0xFF); break;
        case Edit::cutInReservoir:
        case Edit::cutInReservoirMisread: bytes.erase (bytes.begin(), bytes.begin() + std::ptrdiff_t (frameFrom (bytes.size() / 2))); break;
    }

    return bytes;
}

DecodedAudio asDecoded (const AudioBuffer& buffer)
{
    DecodedAudio audio;
    audio.channels = static_cast<int> (buffer.GetNumChannels());
    for (unsigned c = 0; c < buffer.GetNumChannels(); ++c)
        audio.samples.emplace_back (buffer.GetChannel (c), buffer.GetChannel (c) + buffer.GetNumSamples());
    return audio;
}

class MpegEncodingTest : public AudioFileTest, public ::testing::WithParamInterface<Encoding>
{
};

TEST_P (MpegEncodingTest, ReadsEveryFrameLibmpg123DecodesAndEveryReadEqualsTheWholeRead)
{
    const auto& encoding = GetParam();
    const long sourceFrames = encoding.sampleRate * 2 + 333;
    const auto file = PathFor ("test.mp3");
    ASSERT_TRUE (encoding.layerII ? EncodeWithSox (file, encoding.options, encoding.channels, sourceFrames, encoding.sampleRate)
                                  : EncodeWithLame (file, encoding.options, encoding.channels, sourceFrames, encoding.sampleRate, encoding.signal));
    if (encoding.mainDataBeginAbove >= 0)
    {
        ASSERT_GT (LargestMainDataBegin (file), encoding.mainDataBeginAbove);
    }

    const bool cut = encoding.edit == Edit::cutInReservoir || encoding.edit == Edit::cutInReservoirMisread;
    const auto uncut = cut ? DecodeWithMpg123 (file, { encoding.channels == 2, MpegAudioDecoder::resyncLimit, true }) : DecodedAudio {};
    auto bytes = edited (ReadBytes (file), encoding.edit);

    if (encoding.edit == Edit::stereoAfter || encoding.edit == Edit::monoAfter)
    {
        const auto second = PathFor ("second.mp3");
        const bool stereo = encoding.edit == Edit::stereoAfter;
        ASSERT_TRUE (EncodeWithLame (second, stereo ? "-b 128 -m j" : "-b 128 -m m", stereo ? 2 : 1, sourceFrames, encoding.sampleRate));
        const auto secondBytes = ReadBytes (second);
        bytes.insert (bytes.end(), secondBytes.begin(), secondBytes.end());
    }

    WriteBytes (file, bytes);

    // The reader keeps every channel of a stream whose mode changes, and crosses damage as
    // libmpg123 does with the same resync limit, except that the lone headers libmpg123
    // then finds in junk are not audio.
    const int channels = encoding.edit == Edit::stereoAfter ? 2 : encoding.channels;
    const auto reference = DecodeWithMpg123 (file, { channels == 2, MpegAudioDecoder::resyncLimit, true });
    const bool losesAudio = encoding.edit == Edit::brokenOff || encoding.edit == Edit::cutShort || encoding.edit == Edit::zerosEndIt || cut;
    ASSERT_GT (reference.Frames(), losesAudio ? sourceFrames / 3 : sourceFrames);
    ASSERT_TRUE (! losesAudio || reference.Frames() < sourceFrames) << reference.Frames();

    MP3FileReader reader (file);
    EXPECT_EQ (reader.GetFormatName(), "MP3 File");
    EXPECT_EQ (reader.GetSampleRate(), encoding.sampleRate);
    EXPECT_EQ (reader.GetNumChannels(), static_cast<uint32_t> (channels));
    EXPECT_EQ (reader.GetBitsPerSample(), 32u);
    EXPECT_TRUE (reader.IsFloatingPoint());
    ASSERT_EQ (reader.GetLengthInSamples(), reference.Frames());

    AudioBuffer whole (static_cast<unsigned> (channels), static_cast<unsigned long> (reference.Frames()));
    ASSERT_TRUE (reader.Read (whole, 0, whole.GetNumSamples(), 0));
    const auto wholeRead = asDecoded (whole);

    // Behind a CRC libmpg123 clears two bytes of main data that later frames take from the
    // reservoir, and in MPEG-2 and 2.5 keeps bits of the side information of the frames it
    // cannot decode: its own decode of such a cut is not the stream's audio.
    if (encoding.edit != Edit::cutInReservoirMisread)
        ExpectSamplesNear (whole, reference, 0, reference.Frames(), 0.0f, "whole");

    if (cut)
    {
        // The frames whose main data lay before the cut are silence. A granule after the
        // first frame with sound the overlap and the synthesis filter are whole again: the
        // frames are those of the uncut stream, which ends where the cut one does, to the
        // rounding of a synthesis filter that started elsewhere.
        const long frameLength = encoding.sampleRate >= 32000 ? 1152 : 576;
        const auto& left = wholeRead.samples[0];
        const long silent = std::find_if (left.begin(), left.end(), [] (float x) { return x != 0.0f; }) - left.begin();
        ASSERT_GE (silent, frameLength);
        const long settled = (silent / frameLength + 1) * frameLength + 576;
        AudioBuffer rest (static_cast<unsigned> (channels), static_cast<unsigned long> (reference.Frames() - settled));
        ASSERT_TRUE (reader.Read (rest, 0, rest.GetNumSamples(), settled));
        ExpectSamplesNear (rest, uncut, uncut.Frames() - reference.Frames() + settled, rest.GetNumSamples(), synthesisRounding, "after the cut");
    }

    // On frame boundaries, before the start, astride and past the end, then at random,
    // forwards and backwards.
    const long length = reference.Frames();
    std::vector<long> starts { 5000, 0, 1151, 1152, 575, 3000, 13 * 1152 - 2, length - 700, 1, -300, length + 10, length * 3 };
    std::mt19937 random (7);

    // A seek decodes from 32 frames before its target: these open the stream at the frames
    // around the middle, where the damage is.
    for (long frame = 28; frame < 37; ++frame)
        starts.push_back (length / 2 + frame * 1152);

    for (int i = 0; i < 24; ++i)
        starts.push_back (static_cast<long> (random() % static_cast<unsigned long> (length)));

    AudioBuffer part (static_cast<unsigned> (channels), 1500);
    const float tolerance = encoding.edit == Edit::undecodableFrame ? synthesisRounding : 0.0f;

    for (const long start : starts)
    {
        ASSERT_TRUE (reader.Read (part, 0, part.GetNumSamples(), start)) << start;
        ExpectSamplesNear (part, wholeRead, start, 1500, tolerance, "from " + std::to_string (start));
    }

    if (encoding.edit == Edit::cutWhileOpen)
    {
        // A read on from a quarter delivers what the bytes still there hold, then zeros,
        // and answers false; with the bytes back the same read gives the load.
        AudioBuffer rest (static_cast<unsigned> (channels), static_cast<unsigned long> (length - length / 4));
        ASSERT_TRUE (reader.Read (part, 0, part.GetNumSamples(), length / 4 - 1500));
        WriteBytes (file, std::vector<unsigned char> (bytes.begin(), bytes.begin() + std::ptrdiff_t (bytes.size() / 2)));
        std::fill (rest.GetChannel (0), rest.GetChannel (0) + rest.GetNumSamples(), 1.0f);
        EXPECT_FALSE (reader.Read (rest, 0, rest.GetNumSamples(), length / 4));

        const float* left = rest.GetChannel (0);
        const long delivered = std::mismatch (left, left + rest.GetNumSamples(), wholeRead.samples[0].begin() + length / 4).first - left;
        EXPECT_GT (delivered, 0);
        EXPECT_TRUE (std::all_of (left + delivered, left + rest.GetNumSamples(), [] (float x) { return x == 0.0f; })) << delivered;

        WriteBytes (file, bytes);
        ASSERT_TRUE (reader.Read (rest, 0, rest.GetNumSamples(), length / 4));
        ExpectSamplesNear (rest, wholeRead, length / 4, rest.GetNumSamples(), 0.0f, "with the bytes back");
    }
}

INSTANTIATE_TEST_SUITE_P (Encodings, MpegEncodingTest, ::testing::ValuesIn (encodings),
                          [] (const auto& info) { return std::string (info.param.name); });

class MpegFileTest : public AudioFileTest
{
};

TEST_F (MpegFileTest, RefusesATagThatRunsPastTheEndAndFilesWithoutFrames)
{
    const auto file = PathFor ("refused.mp3");
    ASSERT_TRUE (EncodeWithLame (file, "-b 128", 2, 20000, 44100));
    const auto pastTheEnd = edited (ReadBytes (file), Edit::none);
    auto tagPastTheEnd = id3v2Tag ({});
    std::fill (tagPastTheEnd.begin() + 6, tagPastTheEnd.end(), 0x7F);
    tagPastTheEnd.insert (tagPastTheEnd.end(), pastTheEnd.begin(), pastTheEnd.end());

    std::vector<unsigned char> noise (20000);
    for (size_t i = 0; i < noise.size(); ++i)
        noise[i] = static_cast<unsigned char> ((i * 7919u) >> 3); // never a frame sync

    for (const auto& bytes : { tagPastTheEnd, noise, std::vector<unsigned char> {} })
    {
        WriteBytes (file, bytes);
        ExpectRefused<MP3FileReader> (file, "MP3");
    }
}

// libmpg123 would resample the later part, and no seek could restart its resampler where a
// decode from the start has it: such a file is refused rather than read inexactly.
TEST_F (MpegFileTest, RefusesStreamsJoinedAtAnotherSampleRate)
{
    struct Part
    {
        const char* options;
        int channels;
        int sampleRate;
    };
    const Part stereo44 { "-b 128", 2, 44100 }, stereo22 { "-b 64", 2, 22050 }, mono44 { "-b 96 -m m", 1, 44100 }, stereo48 { "-b 128", 2, 48000 };
    const auto file = PathFor ("joined.mp3");
    const auto part = PathFor ("part.mp3");

    for (const auto& [first, second] : { std::pair { stereo44, stereo22 }, std::pair { stereo22, stereo44 }, std::pair { mono44, stereo48 } })
    {
        std::vector<unsigned char> bytes;

        for (const auto& p : { first, second })
        {
            ASSERT_TRUE (EncodeWithLame (part, p.options, p.channels, p.sampleRate / 2, p.sampleRate));
            const auto partBytes = ReadBytes (part);
            bytes.insert (bytes.end(), partBytes.begin(), partBytes.end());
        }

        WriteBytes (file, bytes);
        ExpectRefused<MP3FileReader> (file, "MP3");
    }
}

} // namespace
} // namespace audiofiletests
