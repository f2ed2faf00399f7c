#include "EncodedAudio.h"
#include "TestFiles.h"

#include "audiofiles/CoreAudioFileReader.h"
#include "containers/AudioBuffer.h"

#include <audiotoolbox/AudioToolbox.h>

#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <fstream>

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
