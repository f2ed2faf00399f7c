#include "EncodedAudio.h"
#include "TestFiles.h"

#include "audiofiles/CoreAudioFileReader.h"
#include "containers/AudioBuffer.h"

#include <audiotoolbox/AudioToolbox.h>

#include <gtest/gtest.h>
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <random>

namespace audiofiletests
{
namespace
{
struct PlatformFormat
{
    const char* name;
    const char* extension;
    int format;
    int channels;
    int sampleRate;
    float tolerance; // 0: the very samples libsndfile reads
};

const PlatformFormat platformFormats[] = {
    { "Flac16Stereo", ".flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 2, 44100, 0.0f },
    { "Flac24Mono", ".flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_24, 1, 96000, 0.0f },
    { "OggVorbisStereo", ".ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS, 2, 48000, 0.02f },
    { "OggOpusStereo", ".opus", SF_FORMAT_OGG | SF_FORMAT_OPUS, 2, 48000, 0.02f },
    { "CafFloatThreeChannels", ".caf", SF_FORMAT_CAF | SF_FORMAT_FLOAT, 3, 32000, 0.0f },
    { "W64Pcm16Stereo", ".w64", SF_FORMAT_W64 | SF_FORMAT_PCM_16, 2, 22050, 0.0f },
};

class PlatformReaderTest : public AudioFileTest, public ::testing::WithParamInterface<PlatformFormat>
{
};

TEST_P (PlatformReaderTest, ReadsWhatLibsndfileReadsInBlocksAndPastTheEnd)
{
    const auto& format = GetParam();
    const long frames = 20000;
    const auto file = PathFor (std::string ("test") + format.extension);
    WriteSignalWithSndfile (file, format.format, format.channels, frames, format.sampleRate);
    const auto reference = ReadFloatsWithSndfile (file);
    ASSERT_EQ (reference.Frames(), frames);

    kul::CoreAudioFileReader reader (file);
    ASSERT_TRUE (reader.IsOpen());
    EXPECT_TRUE (reader.IsValid());
    std::string suffix = format.extension + 1;
    for (auto& ch : suffix)
        ch = static_cast<char> (std::toupper (static_cast<unsigned char> (ch)));
    EXPECT_EQ (reader.GetFormatName(), suffix + " File");
    EXPECT_EQ (reader.GetFileExtension(), "");
    EXPECT_EQ (reader.GetNumChannels(), static_cast<uint32_t> (format.channels));
    EXPECT_EQ (reader.GetSampleRate(), format.sampleRate);
    EXPECT_EQ (reader.GetLengthInSamples(), frames);
    EXPECT_TRUE (reader.IsFloatingPoint());
    EXPECT_EQ (reader.GetBitsPerSample(), 32u);

    // 20000 frames: transfers of 8192, 8192 and 3616.
    kul::AudioBuffer whole (static_cast<unsigned> (format.channels), frames);
    ASSERT_TRUE (reader.Read (whole, 0, frames, 0));
    ExpectSamplesNear (whole, reference, 0, frames, format.tolerance, "whole");

    // Consecutive reads need no seek, a read elsewhere seeks, and frames past the end
    // (also a read that starts there) are silence.
    kul::AudioBuffer part (static_cast<unsigned> (format.channels), 1000);
    for (const long start : { 0L, 1000L, 2000L, 12345L, frames - 300, frames + 50, 1000L })
    {
        for (int c = 0; c < format.channels; ++c)
            part.GetChannel (unsigned (c))[999] = 5.0f;
        ASSERT_TRUE (reader.Read (part, 0, 1000, start)) << start;
        ExpectSamplesNear (part, reference, start, 1000, format.tolerance, "from " + std::to_string (start));
    }
}

INSTANTIATE_TEST_SUITE_P (SndfileFormats, PlatformReaderTest, ::testing::ValuesIn (platformFormats),
                          [] (const auto& info) { return std::string (info.param.name); });

// Every frame libsndfile decodes reading on from the start, as floats, whatever length
// the header declares.
DecodedAudio DecodeSequentiallyWithSndfile (const kul::File& file)
{
    SF_INFO info {};
    SNDFILE* sf = sf_open (file.GetFullPathName().c_str(), SFM_READ, &info);
    DecodedAudio audio;
    if (sf == nullptr)
    {
        ADD_FAILURE() << "libsndfile cannot open " << file.GetFullPathName();
        return audio;
    }
    audio.channels = info.channels;
    audio.sampleRate = info.samplerate;
    audio.samples.resize (size_t (info.channels));
    std::vector<float> block (size_t (4096) * size_t (info.channels));
    for (sf_count_t got; (got = sf_readf_float (sf, block.data(), 4096)) > 0;)
        for (sf_count_t i = 0; i < got * info.channels; ++i)
            audio.samples[size_t (i % info.channels)].push_back (block[size_t (i)]);
    sf_close (sf);
    return audio;
}

// Long Ogg streams: the reader seeks in them instead of decoding from the first page. The
// whole load must be the reference decode (libsndfile's from the start; libvorbisfile's or
// libopusfile's for a chain of streams, of which libsndfile reads only the first), as far as
// the file is undamaged, and every read must give the very floats of the load. A damaged page
// costs its frames, no more: they are silence, and every later frame keeps its place.
struct LongOggFile
{
    const char* name;
    const char* extension;
    int format;
    int channels;
    int sampleRate;
    bool fullScaleNoise; // else tones over quiet noise
    long seconds;
    long lastGranuleLowerBy = 0; // the last page declares this many frames fewer than the stream holds
    size_t damagedPage = 0;      // a page whose body is damaged (0: none)
    long secondLinkSeconds = 0;  // a stream of noise joined after the first: a chain
    bool capturedMidStream = false; // the first stream lacks its first pages of audio, as a capture that joined it late
};

const LongOggFile longOggFiles[] = {
    { "VorbisStereoTones", ".ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS, 2, 44100, false, 25 },
    { "VorbisSixChannelsNoise", ".ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS, 6, 22050, true, 25 },
    { "OpusStereoTones", ".opus", SF_FORMAT_OGG | SF_FORMAT_OPUS, 2, 48000, false, 25 },
    { "OpusMonoNoise", ".opus", SF_FORMAT_OGG | SF_FORMAT_OPUS, 1, 48000, true, 25 },
    { "OpusStereoAt16k", ".opus", SF_FORMAT_OGG | SF_FORMAT_OPUS, 2, 16000, false, 25 }, // libsndfile decodes at 16 kHz
    { "VorbisLastGranuleLies", ".ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS, 2, 44100, false, 8, 90000 },
    { "OpusLastGranuleLies", ".opus", SF_FORMAT_OGG | SF_FORMAT_OPUS, 2, 48000, true, 8, 90000 },
    { "VorbisDamagedPage", ".ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS, 2, 44100, false, 10, 0, 10 },
    { "OpusDamagedPage", ".opus", SF_FORMAT_OGG | SF_FORMAT_OPUS, 2, 48000, false, 10, 0, 5 },
    { "VorbisChainCapturedMidStream", ".ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS, 2, 44100, false, 10, 0, 0, 6, true },
    { "OpusChainCapturedMidStream", ".opus", SF_FORMAT_OGG | SF_FORMAT_OPUS, 2, 48000, false, 10, 0, 0, 6, true },
};

class PlatformLongOggTest : public AudioFileTest, public ::testing::WithParamInterface<LongOggFile>
{
};

TEST_P (PlatformLongOggTest, TheLoadIsTheReferenceDecodeAndEveryReadEqualsTheLoad)
{
    const auto& format = GetParam();
    const auto file = PathFor (std::string ("long") + format.extension);
    const long written = format.seconds * format.sampleRate;
    if (format.fullScaleNoise)
        WriteWithSndfile (file, format.format, format.channels, written, format.sampleRate, 7);
    else
        WriteSignalWithSndfile (file, format.format, format.channels, written, format.sampleRate);

    auto bytes = ReadBytes (file);
    if (format.capturedMidStream)
    {
        const auto first = OggPages (bytes);
        bytes.erase (bytes.begin() + long (first.at (2).offset), bytes.begin() + long (first.at (5).offset));
    }
    const long secondLink = format.secondLinkSeconds * format.sampleRate;
    if (secondLink > 0)
    {
        const auto second = PathFor (std::string ("second") + format.extension);
        WriteWithSndfile (second, format.format, format.channels, secondLink, format.sampleRate, 11);
        const auto secondBytes = ReadBytes (second);
        bytes.insert (bytes.end(), secondBytes.begin(), secondBytes.end());
    }
    const auto pages = OggPages (bytes);
    if (format.lastGranuleLowerBy > 0)
    {
        const auto& last = pages.back();
        const auto granule = uint64_t (last.granule - format.lastGranuleLowerBy);
        for (size_t i = 0; i < 8; ++i)
            bytes[last.offset + 6 + i] = static_cast<unsigned char> (granule >> (8 * i));
        SetOggChecksum (bytes.data() + last.offset, last.size);
    }
    // The damaged page's frames, from the granule positions around it less Opus's pre-skip.
    const bool opus = (format.format & SF_FORMAT_SUBMASK) == SF_FORMAT_OPUS;
    const size_t head = pages[0].offset + 27 + bytes[pages[0].offset + 26];
    const long preSkip = opus ? long (bytes[head + 10] | bytes[head + 11] << 8) : 0;
    const long damageStart = format.damagedPage > 0 ? long (pages.at (format.damagedPage - 1).granule) - preSkip : 0;
    const long damageEnd = format.damagedPage > 0 ? long (pages[format.damagedPage].granule) - preSkip : 0;
    if (format.damagedPage > 0)
    {
        const auto& page = pages[format.damagedPage];
        for (size_t i = 0; i < 16; ++i)
            bytes[page.offset + page.size / 2 + i] ^= 0x5A;
    }
    WriteBytes (file, bytes);

    const auto reference = secondLink > 0 ? DecodeWithOggLibrary (file) : DecodeSequentiallyWithSndfile (file);
    const long frames = secondLink > 0 ? reference.Frames() : written - format.lastGranuleLowerBy;
    if (format.damagedPage == 0)
    {
        ASSERT_EQ (reference.Frames(), frames);
    }

    kul::CoreAudioFileReader reader (file);
    ASSERT_TRUE (reader.IsOpen());
    kul::AudioBuffer whole (1, 1);
    ASSERT_TRUE (whole.LoadFromAudioFile (file));
    ASSERT_EQ (whole.GetNumSamples(), static_cast<unsigned long> (frames));
    ASSERT_EQ (reader.GetLengthInSamples(), frames);
    ExpectSamplesNear (whole, reference, 0, format.damagedPage > 0 ? damageStart : frames, 0.0f, "the load");
    DecodedAudio load { format.channels, format.sampleRate, {} };
    for (int c = 0; c < format.channels; ++c)
        load.samples.emplace_back (whole.GetChannel (unsigned (c)), whole.GetChannel (unsigned (c)) + frames);

    std::mt19937 random (format.channels);
    std::vector<std::pair<long, long>> reads (24); // start, count
    for (auto& [start, count] : reads)
    {
        start = std::uniform_int_distribution<long> (0, frames + 100) (random);
        count = 100 + start % 2000;
    }
    std::sort (reads.begin(), reads.end());
    auto backwards = reads;
    std::reverse (backwards.begin(), backwards.end());
    reads.insert (reads.end(), backwards.begin(), backwards.end());
    // Just ahead of where the last read stopped, a step back, astride the end and the links'
    // meeting, and before, across, inside and after the damaged page.
    reads.insert (reads.end(), { { 1000, 100 }, { 3000 + format.sampleRate / 2, 100 }, { 3000, 100 }, { frames - 1000, 2000 }, { frames - 50, 100 } });
    if (secondLink > 0)
        reads.insert (reads.end(), { { frames - secondLink - 1500, 3000 }, { frames - secondLink + 10, 100 } });
    if (format.damagedPage > 0)
        reads.insert (reads.end(), { { damageStart - 3000, damageEnd - damageStart + 6000 }, { damageStart - 500, 400 }, { damageStart + 100, 200 },
                                     { damageEnd - 100, 300 }, { damageEnd + 2000, 500 }, { damageEnd + format.sampleRate * 3, 500 } });

    for (const auto& [start, count] : reads)
    {
        kul::AudioBuffer part (unsigned (format.channels), static_cast<unsigned long> (count));
        ASSERT_TRUE (reader.Read (part, 0, static_cast<uint64_t> (count), start)) << start;
        ExpectSamplesNear (part, load, start, count, 0.0f, "from " + std::to_string (start));
    }
}

INSTANTIATE_TEST_SUITE_P (SndfileOgg, PlatformLongOggTest, ::testing::ValuesIn (longOggFiles),
                          [] (const auto& info) { return std::string (info.param.name); });

// FLAC files whose STREAMINFO promises frames the file does not hold (a copy cut short,
// a length of 0 for "unknown", the 36-bit field's largest value). A read from past the
// real end gives silence; it must not spoil the reads after it, which libsndfile's FLAC
// seek does once one seek has failed.
struct DamagedFlac
{
    const char* name;
    bool cutInHalf;
    uint64_t declaredFrames; // written to STREAMINFO unless cut
    int64_t length;          // the reader's: none where the bytes cannot back the declared one
};

const DamagedFlac damagedFlacs[] = {
    { "CutInHalf", true, 0, 100000 },
    { "DeclaresNoLength", false, 0, 0 },
    { "DeclaresTheLargestLength", false, (uint64_t (1) << 36) - 1, 0 },
};

class PlatformDamagedFlacTest : public AudioFileTest, public ::testing::WithParamInterface<DamagedFlac>
{
};

TEST_P (PlatformDamagedFlacTest, AReadPastTheRealEndGivesSilenceAndSpoilsNoLaterRead)
{
    const auto& damage = GetParam();
    const long written = 100000;
    const auto file = PathFor ("damaged.flac");
    WriteSignalWithSndfile (file, SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 2, written, 44100);
    auto bytes = ReadBytes (file);
    if (damage.cutInHalf)
        bytes.resize (bytes.size() / 2);
    else
    {
        // The total: 36 bits from the low nibble of byte 21 (STREAMINFO's 14th byte).
        bytes[21] = static_cast<unsigned char> ((bytes[21] & 0xF0) | ((damage.declaredFrames >> 32) & 0x0F));
        for (int i = 0; i < 4; ++i)
            bytes[22 + size_t (i)] = static_cast<unsigned char> (damage.declaredFrames >> (24 - 8 * i));
    }
    WriteBytes (file, bytes);
    const auto reference = DecodeSequentiallyWithSndfile (file);
    const long held = reference.Frames();
    ASSERT_GT (held, 1000);

    kul::CoreAudioFileReader reader (file);
    ASSERT_TRUE (reader.IsOpen());
    EXPECT_EQ (reader.GetLengthInSamples(), damage.length);
    EXPECT_EQ (reader.GetDeclaredLength(), damage.cutInHalf ? uint64_t (written) : damage.declaredFrames);
    // One channel is read as far as the stream holds it too, not as far as the header says.
    const DecodedAudio right { 1, reference.sampleRate, { reference.samples.at (1) } };
    kul::AudioBuffer part (2, 1000), channel (1, 1000);
    for (const long start : { held + 20000, 0L, held / 2, held - 300, held + 5, 1000L, held + 50000, held - 1000, 0L })
    {
        part.GetChannel (0)[999] = part.GetChannel (1)[999] = channel.GetChannel (0)[999] = 5.0f;
        ASSERT_EQ (reader.ReadFramesHeld (part, 0, 1000, start), std::clamp (held - start, 0L, 1000L)) << start;
        ExpectSamplesNear (part, reference, start, 1000, 0.0f, "from " + std::to_string (start));
        ASSERT_TRUE (reader.ReadChannel (channel, 0, 0, 1000, 1, start)) << start;
        ExpectSamplesNear (channel, right, start, 1000, 0.0f, "channel 1 from " + std::to_string (start));
    }
}

INSTANTIATE_TEST_SUITE_P (SndfileFlac, PlatformDamagedFlacTest, ::testing::ValuesIn (damagedFlacs),
                          [] (const auto& info) { return std::string (info.param.name); });

TEST_F (AudioFileTest, PlatformReaderStaysClosedForWhatTheServiceCannotRead)
{
    struct Case
    {
        const char* name;
        std::vector<unsigned char> bytes;
    };

    const Case cases[] = {
        { "empty.m4a", {} },
        { "text.xyz", { 'n', 'o', 't', ' ', 'a', 'u', 'd', 'i', 'o' } },
        { "noextension", std::vector<unsigned char> (4096, 0x55) },
    };

    for (const auto& c : cases)
    {
        const auto file = PathFor (c.name);
        WriteBytes (file, c.bytes);
        kul::CoreAudioFileReader reader (file);
        EXPECT_FALSE (reader.IsOpen()) << c.name;
        kul::AudioBuffer buffer (1, 10);
        EXPECT_FALSE (reader.Read (buffer, 0, 10, 0)) << c.name;
    }

    EXPECT_EQ (kul::CoreAudioFileReader (PathFor ("noextension")).GetFormatName(), " File");
}

// The service itself: only the client format the reader asks for is converted to.
TEST_F (AudioFileTest, AudioServiceAcceptsOnlyFloatNonInterleavedAtTheFilesOwnShape)
{
    const auto file = PathFor ("shape.flac");
    WriteSignalWithSndfile (file, SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 2, 1000, 44100);
    std::ifstream stream (file.GetFullPathName(), std::ios::binary);
    std::vector<char> bytes ((std::istreambuf_iterator<char> (stream)), std::istreambuf_iterator<char>());

    const auto read = [] (void* data, SInt64 position, UInt32 count, void* buffer, UInt32* actual) -> OSStatus {
        const auto& source = *static_cast<std::vector<char>*> (data);
        const auto at = static_cast<size_t> (std::min<SInt64> (position, SInt64 (source.size())));
        *actual = static_cast<UInt32> (std::min<size_t> (count, source.size() - at));
        std::copy_n (source.data() + at, *actual, static_cast<char*> (buffer));
        return noErr;
    };
    const auto size = [] (void* data) -> SInt64 { return SInt64 (static_cast<std::vector<char>*> (data)->size()); };

    AudioFileID audioFile = nullptr;
    ASSERT_EQ (AudioFileOpenWithCallbacks (&bytes, read, nullptr, size, nullptr, 0, &audioFile), noErr);
    ExtAudioFileRef ext = nullptr;
    EXPECT_NE (ExtAudioFileWrapAudioFileID (audioFile, true, &ext), noErr);
    ASSERT_EQ (ExtAudioFileWrapAudioFileID (audioFile, false, &ext), noErr);

    const AudioStreamBasicDescription wanted { 44100, kAudioFormatLinearPCM, kAudioFormatFlagIsFloat | kAudioFormatFlagIsNonInterleaved, 4, 1, 4, 2, 32, 0 };
    const auto with = [&] (auto change) {
        auto format = wanted;
        change (format);
        return ExtAudioFileSetProperty (ext, kExtAudioFileProperty_ClientDataFormat, sizeof (format), &format);
    };

    UInt32 frames = 10;
    AudioBufferList list {};
    EXPECT_NE (ExtAudioFileRead (ext, &frames, &list), noErr); // no client format yet

    EXPECT_NE (with ([] (auto& f) { f.mSampleRate = 48000; }), noErr);
    EXPECT_NE (with ([] (auto& f) { f.mChannelsPerFrame = 1; }), noErr);
    EXPECT_NE (with ([] (auto& f) { f.mFormatFlags = kAudioFormatFlagIsFloat; }), noErr);
    EXPECT_NE (with ([] (auto& f) { f.mBitsPerChannel = 16; f.mBytesPerFrame = f.mBytesPerPacket = 2; f.mFormatFlags = kAudioFormatFlagIsNonInterleaved; }), noErr);
    EXPECT_NE (ExtAudioFileSetProperty (ext, kExtAudioFileProperty_ClientDataFormat, 20, &wanted), noErr);
    EXPECT_EQ (with ([] (auto&) {}), noErr);

    SInt64 length = 0;
    UInt32 propertySize = sizeof (length);
    EXPECT_EQ (ExtAudioFileGetProperty (ext, kExtAudioFileProperty_FileLengthFrames, &propertySize, &length), noErr);
    EXPECT_EQ (length, 1000);
    EXPECT_NE (ExtAudioFileSeek (ext, -1), noErr);

    // A list with one buffer for a stereo file, and a buffer too small for the frames asked for.
    float samples[2][10];
    EXPECT_NE (ExtAudioFileRead (ext, &frames, &list), noErr);
    struct { UInt32 count; ::AudioBuffer buffers[2]; } two { 2, { { 1, sizeof (samples[0]), samples[0] }, { 1, 8, samples[1] } } };
    EXPECT_NE (ExtAudioFileRead (ext, &frames, reinterpret_cast<AudioBufferList*> (&two)), noErr);
    two.buffers[1].mDataByteSize = sizeof (samples[1]);
    EXPECT_EQ (ExtAudioFileRead (ext, &frames, reinterpret_cast<AudioBufferList*> (&two)), noErr);
    EXPECT_EQ (frames, 10u);

    EXPECT_EQ (ExtAudioFileDispose (ext), noErr);
    EXPECT_EQ (AudioFileClose (audioFile), noErr);
}

} // namespace
} // namespace audiofiletests
