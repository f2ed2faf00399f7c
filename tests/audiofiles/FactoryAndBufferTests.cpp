#include "EncodedAudio.h"
#include "TestFiles.h"

#include "audiofiles/AudioFileFactory.h"
#include "audiofiles/AudioFileReader.h"
#include "common/Exception.h"
#include "containers/AudioBuffer.h"

#include <gtest/gtest.h>
#include <matio.h>
#include <sndfile.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>

using namespace kul;

namespace audiofiletests
{
namespace
{
std::string quoted (const File& file)
{
    return "\"" + file.GetFullPathName() + "\"";
}

using ByteVector = std::vector<unsigned char>;

// An Ogg page with its checksum.
ByteVector oggPage (unsigned char flags, uint64_t granule, const unsigned char* serial, uint32_t sequence,
                    const std::vector<ByteVector>& packets)
{
    ByteVector lacing, body;
    for (const auto& packet : packets)
    {
        lacing.insert (lacing.end(), packet.size() / 255, 255);
        lacing.push_back (static_cast<unsigned char> (packet.size() % 255));
        body.insert (body.end(), packet.begin(), packet.end());
    }

    ByteVector page { 'O', 'g', 'g', 'S', 0, flags };
    for (int i = 0; i < 8; ++i)
        page.push_back (static_cast<unsigned char> (granule >> (8 * i)));
    page.insert (page.end(), serial, serial + 4);
    for (int i = 0; i < 4; ++i)
        page.push_back (static_cast<unsigned char> (sequence >> (8 * i)));
    page.insert (page.end(), 4, 0);
    page.push_back (static_cast<unsigned char> (lacing.size()));
    page.insert (page.end(), lacing.begin(), lacing.end());
    page.insert (page.end(), body.begin(), body.end());
    SetOggChecksum (page.data(), page.size());
    return page;
}

// A mono Ogg Opus stream of silence made again with a head of 255 channels (each one the
// single decoded stream) and its packets on two pages, the last ending at frame 8.2 M.
ByteVector opusClaiming255ChannelsOf8MFrames (const File& monoOpus)
{
    const auto bytes = ReadBytes (monoOpus);
    std::vector<ByteVector> packets, audioPackets;

    for (size_t at = 0; at + 27 <= bytes.size();)
    {
        const size_t segments = bytes[at + 26];
        size_t body = at + 27 + segments;
        ByteVector packet;
        for (size_t i = 0; i < segments; ++i)
        {
            const size_t length = bytes[at + 27 + i];
            packet.insert (packet.end(), bytes.begin() + long (body), bytes.begin() + long (body + length));
            body += length;
            if (length < 255)
                packets.push_back (std::exchange (packet, {}));
        }
        at = body;
    }

    ByteVector head (packets.at (0).begin(), packets[0].begin() + 19);
    head[9] = 255;                    // channels
    head[18] = 255;                   // mapping family: one stream per listed channel
    head.insert (head.end(), { 1, 0 }); // one stream, none coupled
    head.insert (head.end(), 255, 0);   // every channel is stream 0

    const unsigned char* serial = bytes.data() + 14;
    const auto preSkip = uint64_t (head[10]) | uint64_t (head[11]) << 8;
    const std::vector<ByteVector> audio (packets.begin() + 2, packets.end());
    const auto half = audio.size() / 2;

    ByteVector file = oggPage (2, 0, serial, 0, { head });
    for (const auto& page : { oggPage (0, 0, serial, 1, { packets[1] }),
                              oggPage (0, preSkip + half * 960, serial, 2, { audio.begin(), audio.begin() + long (half) }),
                              oggPage (4, 8200000, serial, 3, { audio.begin() + long (half), audio.end() }) })
        file.insert (file.end(), page.begin(), page.end());
    return file;
}

// The total in a FLAC file's STREAMINFO: 36 bits from the low nibble of byte 21.
void setFlacTotalFrames (ByteVector& flac, uint64_t frames)
{
    flac[21] = static_cast<unsigned char> ((flac[21] & 0xF0) | ((frames >> 32) & 0x0F));
    for (int i = 0; i < 4; ++i)
        flac[22 + size_t (i)] = static_cast<unsigned char> (frames >> (24 - 8 * i));
}

// Every frame libsndfile decodes, whatever length the header gives.
long framesDecodedBySndfile (const File& file)
{
    SF_INFO info {};
    SNDFILE* sf = sf_open (file.GetFullPathName().c_str(), SFM_READ, &info);
    if (sf == nullptr)
    {
        ADD_FAILURE() << "libsndfile cannot open " << file.GetFullPathName();
        return 0;
    }
    std::vector<float> block (size_t (4096) * size_t (info.channels));
    long frames = 0;
    for (sf_count_t got; (got = sf_readf_float (sf, block.data(), 4096)) > 0;)
        frames += long (got);
    sf_close (sf);
    return frames;
}

class LoadingTest : public AudioFileTest
{
protected:
    // Writes what libsndfile makes of the format under the name.
    File WriteSndfile (const std::string& name, int format, int channels, long frames)
    {
        const auto file = PathFor (name);
        WriteSignalWithSndfile (file, format, channels, frames, 44100);
        return file;
    }
};

class FactoryTest : public LoadingTest
{
protected:
    // The file written as one format and renamed, so that magic and extension disagree.
    File Renamed (const File& file, const std::string& name)
    {
        const auto target = PathFor (name);
        std::filesystem::rename (file.GetFullPathName(), target.GetFullPathName());
        return target;
    }
};

TEST_F (FactoryTest, MagicDecidesBeforeTheExtensionWhichIsComparedIgnoringCase)
{
    struct Case
    {
        File file;
        const char* detected;
        const char* formatName;
    };

    const auto wavBytes = WriteSndfile ("w.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1, 100);
    const auto aiffBytes = WriteSndfile ("a.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_16, 1, 100);
    ASSERT_TRUE (EncodeWithLame (PathFor ("m.mp3"), "-b 128", 1, 5000, 44100));
    WriteSndfile ("f.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 1, 100);

    const Case cases[] = {
        { Renamed (aiffBytes, "aiff-named.wav"), "AIFF File", "AIFF File" },
        { Renamed (wavBytes, "wav-named.aif"), "WAV File", "WAV File" },
        { Renamed (PathFor ("m.mp3"), "SHOUTING.MP3"), "MP3 File", "MP3 File" },
        { Renamed (PathFor ("f.flac"), "lossless.FLAC"), "unknown", "FLAC File" },
    };

    for (const auto& c : cases)
    {
        EXPECT_EQ (DetectAudioFileFormat (c.file), c.detected) << c.file.GetFullPathName();
        const std::unique_ptr<AudioFileReader> reader (AudioFileFactory (c.file));
        ASSERT_NE (reader, nullptr);
        EXPECT_EQ (reader->GetFormatName(), c.formatName);
        EXPECT_EQ (reader->GetNumChannels(), 1u);
    }
}

TEST_F (FactoryTest, ShortFilesAreDetectedByTheirExtensionAlone)
{
    const std::pair<const char*, const char*> cases[] = {
        { "x.WAV", "WAV File" }, { "x.Bw64", "WAV File" }, { "x.amb", "WAV File" }, { "x.uhj", "WAV File" },
        { "x.bwf", "WAV File" }, { "x.AIF", "AIFF File" }, { "x.aiff", "AIFF File" }, { "x.mp3", "MP3 File" },
        { "x.ogg", "unknown" }, { "RIFF", "unknown" },
    };

    for (const auto& [name, detected] : cases)
    {
        const auto file = PathFor (name);
        WriteBytes (file, { 'R', 'I', 'F' });
        EXPECT_EQ (DetectAudioFileFormat (file), detected) << name;
    }
}

TEST_F (FactoryTest, FailuresNameTheQuotedPath)
{
    EXPECT_EQ (AudioFileFactory (File ("")), nullptr);

    const auto missing = PathFor ("missing.wav");
    const auto noReader = PathFor ("noise.xyz");
    WriteBytes (noReader, std::vector<unsigned char> (5000, 0x42));
    const auto folder = PathFor ("folder.wav");
    std::filesystem::create_directory (folder.GetFullPathName());

    const std::pair<File, std::string> cases[] = {
        { missing, "File " + quoted (missing) + " does not exist." },
        { folder, "File " + quoted (folder) + " does not exist." },
        { noReader, "File " + quoted (noReader) + " is not a valid audio file." },
    };

    for (const auto& [file, message] : cases)
        EXPECT_EQ (ErrorMessageOf ([&] { delete AudioFileFactory (file); }), message);
}

// Small crafted files whose headers promise more or less than they hold, and a minute of
// silence: each loads what it holds (the frames libsndfile decodes, where it reads the file)
// or is refused (a declared length past what the bytes can back is refused unread), whole and by channel (the last), and the buffer keeps no more storage than
// its samples and one decoding chunk.
TEST_F (LoadingTest, CraftedFilesLoadWhatTheyHoldOrAreRefusedWithSmallMemory)
{
    constexpr long refused = -2, heldOrRefused = -1;

    const auto monoOpus = PathFor ("mono.opus");
    WriteFramesWithSndfile (monoOpus, SF_FORMAT_OGG | SF_FORMAT_OPUS, 1, 48000, std::vector<double> (9600, 0.0));
    WriteBytes (PathFor ("bomb.opus"), opusClaiming255ChannelsOf8MFrames (monoOpus));

    const auto flac = WriteSndfile ("honest.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 1, 10000);
    const auto flacReference = ReadFloatsWithSndfile (flac);
    auto flacBytes = ReadBytes (flac);
    setFlacTotalFrames (flacBytes, 8192 * flacBytes.size());
    WriteBytes (PathFor ("dense.flac"), flacBytes);
    setFlacTotalFrames (flacBytes, 8192 * flacBytes.size() + 1); // refused by its header alone
    WriteBytes (PathFor ("past-the-cap.flac"), flacBytes);
    setFlacTotalFrames (flacBytes, 0); // as an encoder writing to a pipe leaves it
    WriteBytes (PathFor ("streamed.flac"), flacBytes);

    const auto stereo = WriteSndfile ("stereo.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 2, 10000);
    const auto stereoReference = ReadFloatsWithSndfile (stereo);
    auto stereoBytes = ReadBytes (stereo);
    setFlacTotalFrames (stereoBytes, 4000);
    WriteBytes (PathFor ("declared-short.flac"), stereoBytes);
    setFlacTotalFrames (stereoBytes, 30000);
    WriteBytes (PathFor ("declared-long.flac"), stereoBytes);

    constexpr long minute = 60 * 44100;
    ASSERT_TRUE (EncodeSilenceWithFlac (PathFor ("silence.flac"), 2, minute, ""));
    auto silenceBytes = ReadBytes (PathFor ("silence.flac"));
    setFlacTotalFrames (silenceBytes, 0);
    WriteBytes (PathFor ("silence-streamed.flac"), silenceBytes);

    ASSERT_TRUE (EncodeWithLame (PathFor ("xing.mp3"), "-V 5", 1, 20000, 44100));
    auto mp3 = ReadBytes (PathFor ("xing.mp3"));
    const auto tag = std::search (mp3.begin(), mp3.end(), std::begin ("Xing"), std::end ("Xing") - 1);
    ASSERT_NE (tag, mp3.end());
    ASSERT_TRUE (tag[7] & 1); // the frame count is there
    std::fill (tag + 8, tag + 12, 0xFF);
    WriteBytes (PathFor ("xing.mp3"), mp3);

    const Bytes pcm = Bytes (ByteOrder::big).Zeros (200);
    const auto aiffOf = [&] (const Bytes& comm, std::optional<uint32_t> formSize = {}) {
        return Form ("AIFF", Bytes (ByteOrder::big).Chunk ("COMM", comm).Chunk ("SSND", AiffSoundData (0, pcm)), formSize);
    };
    Bytes floats (ByteOrder::big);
    for (const uint32_t bits : { 0x3F000000u, 0xBF400000u, 0x3E800000u, 0x00000000u }) // 0.5, -0.75, 0.25, 0
        floats.U32 (bits);
    const auto fl32 = Form ("AIFC", Bytes (ByteOrder::big).Chunk ("FVER", Bytes (ByteOrder::big).U32 (0xA2805140))
                                        .Chunk ("COMM", AiffComm (1, 4, 16, 44100, "fl32")).Chunk ("SSND", AiffSoundData (0, floats)));
    const auto widthFromByteRate = Bytes().U16 (1).U16 (1).U32 (8000).U32 (0xFFFFFFFF).U16 (2).U16 (0xFFFF);
    ASSERT_EQ (::mkfifo (PathFor ("pipe.wav").GetFullPathName().c_str(), 0600), 0);

    struct Case
    {
        File file;
        long frames; // or refused, or heldOrRefused
        unsigned channels;
        std::optional<DecodedAudio> reference;
    };

    const Case cases[] = {
        { PathFor ("bomb.opus"), refused, 255, {} },
        { PathFor ("dense.flac"), 10000, 1, flacReference },
        { PathFor ("past-the-cap.flac"), refused, 1, {} },
        { PathFor ("streamed.flac"), 10000, 1, flacReference },
        { PathFor ("declared-short.flac"), framesDecodedBySndfile (PathFor ("declared-short.flac")), 2, stereoReference },
        { PathFor ("declared-long.flac"), 10000, 2, stereoReference },
        { PathFor ("silence.flac"), minute, 2, {} },
        { PathFor ("silence-streamed.flac"), minute, 2, {} },
        { PathFor ("xing.mp3"), heldOrRefused, 1, {} },
        { Write (aiffOf (AiffComm (1, 0xFFFFFFFF, 16, 44100)), "count.aiff"), 100, 1, {} },
        { Write (aiffOf (AiffComm (1, 100, 16, 44100), 0xFFFFFFFF), "unknown-size.aiff"), 100, 1,
          ReadFloatsWithSndfile (Write (aiffOf (AiffComm (1, 100, 16, 44100), 0xFFFFFFFF), "unknown-size.aiff")) },
        { Write (fl32, "fl32-16.aifc"), 4, 1, DecodedAudio { 1, 44100, { { 0.5f, -0.75f, 0.25f, 0.0f } } } },
        { Write (Riff (Bytes().Chunk ("fmt ", WavFormat (1, 1, 8000, 16)).Chunk ("data", Bytes().Zeros (200), 0xFFFFFFFF)), "data.wav"), 100, 1, {} },
        { Write (Riff (Bytes().Chunk ("fmt ", widthFromByteRate).Chunk ("data", Bytes().Zeros (200))), "width.wav"), heldOrRefused, 1, {} },
        { Write (Riff (Bytes().Chunk ("fmt ", WavFormat (1, 2, 8000, 16)).Chunk ("data", Bytes())), "empty.wav"), 0, 2, {} },
        { PathFor ("pipe.wav"), refused, 1, {} },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.file.GetFullPathName());

        for (const bool whole : { true, false })
        {
            AudioBuffer buffer (2, 5);
            std::optional<bool> loaded;
            try
            {
                loaded = whole ? buffer.LoadFromAudioFile (c.file) : buffer.LoadChannelFromAudioFile (c.file, c.channels - 1);
            }
            catch (const Exception&)
            {
            }

            const double storedSamples = buffer.GetMemorySizeMB() * 1048576.0 / sizeof (float);
            EXPECT_LE (storedSamples, double (buffer.GetNumChannels()) * double (buffer.GetNumSamples()) + 262144.0);

            if (c.frames == refused || (c.frames == heldOrRefused && ! loaded.has_value()))
            {
                EXPECT_FALSE (loaded.has_value());
                continue;
            }

            EXPECT_EQ (loaded, std::optional<bool> (true));
            EXPECT_EQ (buffer.GetNumChannels(), whole ? c.channels : 1u);
            if (c.frames == heldOrRefused || loaded != std::optional<bool> (true))
                continue;

            EXPECT_EQ (buffer.GetNumSamples(), static_cast<unsigned long> (c.frames));
            if (c.reference && buffer.GetNumSamples() == static_cast<unsigned long> (c.frames))
                ExpectSamplesNear (buffer, whole ? *c.reference : DecodedAudio { 1, 0, { c.reference->samples.at (c.channels - 1) } },
                                   0, c.frames, 0.0f, whole ? "samples" : "last channel");
        }
    }
}

// A load sizes the buffer itself through its SetSize and reads into it, so storage that is
// large enough is kept when the next file is smaller.
TEST_F (LoadingTest, LoadsIntoTheBufferThroughSetSizeKeepingStorageLargeEnough)
{
    struct CountingBuffer : AudioBuffer
    {
        using AudioBuffer::AudioBuffer;
        void SetSize (unsigned int n, unsigned long m) override { ++calls; AudioBuffer::SetSize (n, m); }
        int calls = 0;
    };

    const auto longer = WriteSndfile ("long.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 65536);
    const auto shorter = WriteSndfile ("short.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 2, 100);
    CountingBuffer buffer (1, 1);

    ASSERT_TRUE (buffer.LoadFromAudioFile (longer));
    EXPECT_EQ (buffer.calls, 1);
    EXPECT_EQ (buffer.GetMemorySizeMB(), 0.5f);

    ASSERT_TRUE (buffer.LoadFromAudioFile (shorter));
    EXPECT_GE (buffer.calls, 2);
    EXPECT_EQ (buffer.GetNumSamples(), 100ul);
    EXPECT_EQ (buffer.GetMemorySizeMB(), 0.5f);
    ExpectSamplesNear (buffer, ReadFloatsWithSndfile (shorter), 0, 100, 0.0f, "short");

    ASSERT_TRUE (buffer.LoadChannelFromAudioFile (longer, 1));
    EXPECT_EQ (buffer.GetNumSamples(), 65536ul);
    EXPECT_EQ (buffer.GetMemorySizeMB(), 0.5f);
}

// Every load below goes to this buffer, whose content must survive a failure.
class BufferLoadTest : public LoadingTest
{
protected:
    BufferLoadTest()
    {
        for (unsigned c = 0; c < buffer.GetNumChannels(); ++c)
            for (unsigned long i = 0; i < buffer.GetNumSamples(); ++i)
                buffer.GetChannel (c)[i] = float (c) + float (i) * 0.001f;
    }

    void ExpectUnchanged()
    {
        ASSERT_EQ (buffer.GetNumChannels(), 3u);
        ASSERT_EQ (buffer.GetNumSamples(), 7ul);
        for (unsigned c = 0; c < 3; ++c)
            for (unsigned long i = 0; i < 7; ++i)
                ASSERT_EQ (buffer.GetChannel (c)[i], float (c) + float (i) * 0.001f);
    }

    AudioBuffer buffer { 3, 7 };
};

TEST_F (BufferLoadTest, LoadsEveryFormatWholeOrOneChannel)
{
    struct Case
    {
        const char* name;
        int format; // 0: MPEG audio from lame
        float tolerance;
    };

    const Case cases[] = {
        { "wav.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_24, 0.0f },
        { "aiff.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_16, 0.0f },
        { "flac.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 0.0f },
        { "vorbis.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS, 0.02f },
        { "caf.caf", SF_FORMAT_CAF | SF_FORMAT_PCM_16, 0.0f },
        { "w64.w64", SF_FORMAT_W64 | SF_FORMAT_FLOAT, 0.0f },
        { "mpeg.mp3", 0, 2.0e-4f },
    };

    for (const auto& c : cases)
    {
        const auto file = PathFor (c.name);
        DecodedAudio reference;

        if (c.format == 0)
        {
            ASSERT_TRUE (EncodeWithLame (file, "-b 192", 2, 30000, 44100));
            reference = DecodeWithMpg123 (file);
        }
        else
        {
            WriteSignalWithSndfile (file, c.format, 2, 30000, 44100);
            reference = ReadFloatsWithSndfile (file);
        }

        ASSERT_TRUE (buffer.LoadFromAudioFile (file)) << c.name;
        ASSERT_EQ (buffer.GetNumChannels(), 2u);
        ASSERT_EQ (buffer.GetNumSamples(), static_cast<unsigned long> (reference.Frames())) << c.name;

        for (unsigned channel = 0; channel < 2; ++channel)
        {
            AudioBuffer one (4, 4);
            ASSERT_TRUE (one.LoadChannelFromAudioFile (file, channel)) << c.name;
            ASSERT_EQ (one.GetNumChannels(), 1u);
            ASSERT_EQ (one.GetNumSamples(), buffer.GetNumSamples());

            for (long i = 0; i < reference.Frames(); ++i)
            {
                const float want = reference.samples[channel][size_t (i)];
                ASSERT_NEAR (buffer.GetChannel (channel)[i], want, c.tolerance) << c.name << " frame " << i;
                ASSERT_EQ (one.GetChannel (0)[i], buffer.GetChannel (channel)[i]) << c.name << " frame " << i;
            }
        }
    }
}

TEST_F (BufferLoadTest, RefusedFilesLeaveTheBufferAsItWas)
{
    const auto stereo = WriteSndfile ("stereo.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 1000);
    const auto missing = PathFor ("missing.flac");
    const auto noise = PathFor ("noise.mp3");
    WriteBytes (noise, std::vector<unsigned char> (3000, 0x11));

    EXPECT_FALSE (buffer.LoadFromAudioFile (File ("")));
    ExpectUnchanged();
    EXPECT_FALSE (buffer.LoadChannelFromAudioFile (File (""), 0));
    ExpectUnchanged();

    // Eight channels of silence in FLAC's largest blocks hold more samples per byte than the
    // cap allows. Without a declared length the refusal comes part-way through the decode.
    const auto dense = PathFor ("dense.flac");
    ASSERT_TRUE (EncodeSilenceWithFlac (dense, 8, 20 * 44100, "--lax -b 65535"));
    const auto denseSize = std::filesystem::file_size (dense.GetFullPathName());
    ASSERT_GT (20 * 44100 * 8, denseSize * AudioFileReader::mostSamplesPerFileByte);
    auto denseBytes = ReadBytes (dense);
    setFlacTotalFrames (denseBytes, 0);
    const auto denseStreamed = PathFor ("dense-streamed.flac");
    WriteBytes (denseStreamed, denseBytes);
    const auto capRefusal = [&] (const File& file) {
        return "file " + quoted (file) + " claims more audio than its " + std::to_string (denseSize) + " bytes can hold";
    };

    // Sample formats that the WAV reader does not decode, as sox writes them, and a file
    // without audio data.
    for (const char* encoding : { "a-law", "u-law", "ima-adpcm", "ms-adpcm" })
        ASSERT_TRUE (EncodeWavWithSox (PathFor (std::string (encoding) + ".wav"), encoding, 2, 20000, 44100)) << encoding;
    const auto notRead = [&] (const std::string& encoding, const std::string& format) {
        return "file " + quoted (PathFor (encoding + ".wav")) + " cannot be loaded: its sample format (" + format + ") is not read";
    };
    const auto noData = Write (Riff (Bytes().Chunk ("fmt ", WavFormat (1, 2, 8000, 16))), "no-data.wav");
    const auto noSound = Write (Form ("AIFF", Bytes (ByteOrder::big).Chunk ("COMM", AiffComm (2, 1000, 16, 8000))), "no-sound.aiff");
    // Ogg streams joined one after another (a chain) whose second link would have to be
    // dropped: another channel count, another rate, another codec.
    const auto chain = [&] (const std::string& name, int firstFormat, int secondFormat, int secondChannels, int secondRate) {
        const auto file = PathFor (name);
        WriteSignalWithSndfile (PathFor ("first"), firstFormat, 2, 20000, 48000);
        WriteSignalWithSndfile (PathFor ("second"), secondFormat, secondChannels, 20000, secondRate);
        auto bytes = ReadBytes (PathFor ("first"));
        const auto second = ReadBytes (PathFor ("second"));
        bytes.insert (bytes.end(), second.begin(), second.end());
        WriteBytes (file, bytes);
        return file;
    };
    constexpr int vorbis = SF_FORMAT_OGG | SF_FORMAT_VORBIS, opus = SF_FORMAT_OGG | SF_FORMAT_OPUS;
    const auto invalid = [&] (const File& file) { return "File " + quoted (file) + " is not a valid audio file."; };
    const auto monoAfterStereo = chain ("mono-after-stereo.opus", opus, opus, 1, 48000);
    const auto vorbisMonoAfterStereo = chain ("mono-after-stereo.ogg", vorbis, vorbis, 1, 48000);
    const auto otherRate = chain ("other-rate.ogg", vorbis, vorbis, 2, 44100);
    const auto opusAfterVorbis = chain ("opus-after-vorbis.ogg", vorbis, opus, 2, 48000);

    const std::pair<std::function<void()>, std::string> failures[] = {
        { [&] { return buffer.LoadChannelFromAudioFile (stereo, 2); }, "Invalid channel index 2 for file " + quoted (stereo) },
        { [&] { return buffer.LoadFromAudioFile (missing); }, "File " + quoted (missing) + " does not exist." },
        { [&] { return buffer.LoadChannelFromAudioFile (missing, 0); }, "File " + quoted (missing) + " does not exist." },
        { [&] { return buffer.LoadFromAudioFile (noise); }, "file " + quoted (noise) + " is not a valid MP3 file" },
        { [&] { return buffer.LoadFromAudioFile (dense); }, capRefusal (dense) },
        { [&] { return buffer.LoadChannelFromAudioFile (dense, 7); }, capRefusal (dense) },
        { [&] { return buffer.LoadFromAudioFile (denseStreamed); }, capRefusal (denseStreamed) },
        { [&] { return buffer.LoadChannelFromAudioFile (denseStreamed, 0); }, capRefusal (denseStreamed) },
        { [&] { return buffer.LoadFromAudioFile (PathFor ("a-law.wav")); }, notRead ("a-law", "tag 6, 8 bits") },
        { [&] { return buffer.LoadFromAudioFile (PathFor ("u-law.wav")); }, notRead ("u-law", "tag 7, 8 bits") },
        { [&] { return buffer.LoadFromAudioFile (PathFor ("ima-adpcm.wav")); }, notRead ("ima-adpcm", "tag 17, 4 bits") },
        { [&] { return buffer.LoadChannelFromAudioFile (PathFor ("ms-adpcm.wav"), 1); }, notRead ("ms-adpcm", "tag 2, 4 bits") },
        { [&] { return buffer.LoadChannelFromAudioFile (noData, 1); }, "file " + quoted (noData) + " cannot be loaded: no audio data was found" },
        { [&] { return buffer.LoadFromAudioFile (noSound); }, "file " + quoted (noSound) + " cannot be loaded: no audio data was found" },
        { [&] { return buffer.LoadFromAudioFile (monoAfterStereo); }, invalid (monoAfterStereo) },
        { [&] { return buffer.LoadFromAudioFile (vorbisMonoAfterStereo); }, invalid (vorbisMonoAfterStereo) },
        { [&] { return buffer.LoadChannelFromAudioFile (otherRate, 0); }, invalid (otherRate) },
        { [&] { return buffer.LoadFromAudioFile (opusAfterVorbis); }, invalid (opusAfterVorbis) },
    };

    for (const auto& [load, message] : failures)
    {
        EXPECT_EQ (ErrorMessageOf (load), message);
        ExpectUnchanged();
    }
}

TEST_F (AudioFileTest, SavedBufferReadsBackWithMatioColumnByColumn)
{
    const auto path = PathFor ("buffer.mat").GetFullPathName();

    AudioBuffer buffer (2, 3);
    for (unsigned c = 0; c < 2; ++c)
        for (unsigned long i = 0; i < 3; ++i)
            buffer.GetChannel (c)[i] = float (c * 10 + i) + 0.25f;

    { std::ofstream (path) << "an older file that the save replaces"; }
    ASSERT_TRUE (buffer.SaveToMatFile (File (path), "levels"));

    mat_t* mat = Mat_Open (path.c_str(), MAT_ACC_RDONLY);
    ASSERT_NE (mat, nullptr);
    matvar_t* variable = Mat_VarRead (mat, "levels");
    ASSERT_NE (variable, nullptr);
    ASSERT_EQ (variable->rank, 2);
    EXPECT_EQ (variable->dims[0], 2u);
    EXPECT_EQ (variable->dims[1], 3u);
    ASSERT_EQ (variable->data_type, MAT_T_DOUBLE);

    // Column by column: element (row c, column i) at i x 2 + c.
    const auto* data = static_cast<const double*> (variable->data);
    for (unsigned c = 0; c < 2; ++c)
        for (unsigned i = 0; i < 3; ++i)
            EXPECT_EQ (data[i * 2 + c], double (c * 10 + i) + 0.25);

    Mat_VarFree (variable);
    Mat_Close (mat);
}

} // namespace
} // namespace audiofiletests
