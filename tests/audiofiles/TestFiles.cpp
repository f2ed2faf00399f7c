#include "TestFiles.h"

#include <sndfile.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>

namespace audiofiletests
{
AudioFileTest::AudioFileTest()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "audiofiles-XXXXXX").string();
    folder = mkdtemp (pattern.data()) != nullptr ? pattern : std::string();
}

AudioFileTest::~AudioFileTest()
{
    if (! folder.empty())
        std::filesystem::remove_all (folder);
}

kul::File AudioFileTest::PathFor (const std::string& name) const
{
    return kul::File (folder + "/" + name);
}

kul::File AudioFileTest::Write (const Bytes& bytes, const std::string& name)
{
    const auto file = PathFor (name);
    std::ofstream out (file.GetFullPathName(), std::ios::binary);
    out.write (reinterpret_cast<const char*> (bytes.data.data()), static_cast<std::streamsize> (bytes.data.size()));
    return file;
}

std::string ErrorMessageOf (const std::function<void()>& operation)
{
    try
    {
        operation();
    }
    catch (const kul::Exception& e)
    {
        return e.GetMessage();
    }
    ADD_FAILURE() << "no exception";
    return {};
}

std::vector<float> ReadAll (kul::AudioFileReader& reader, uint64_t count, int64_t start)
{
    kul::AudioBuffer buffer (reader.GetNumChannels(), count);
    EXPECT_TRUE (reader.Read (buffer, 0, count, start));
    return { buffer.GetData().begin(), buffer.GetData().end() };
}

void WriteFramesWithSndfile (const kul::File& file, int format, int channels, int sampleRate, const std::vector<double>& interleaved)
{
    SF_INFO info {};
    info.samplerate = sampleRate;
    info.channels = channels;
    info.format = format;
    SNDFILE* sf = sf_open (file.GetFullPathName().c_str(), SFM_WRITE, &info);
    ASSERT_NE (sf, nullptr) << sf_strerror (nullptr);

    const auto frames = static_cast<sf_count_t> (interleaved.size() / static_cast<size_t> (channels));
    sf_command (sf, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    EXPECT_EQ (sf_writef_double (sf, interleaved.data(), frames), frames);
    sf_close (sf);
}

void WriteWithSndfile (const kul::File& file, int format, int channels, long frames, int sampleRate, unsigned seed)
{
    std::mt19937 random (seed);
    std::vector<double> audio (static_cast<size_t> (frames * channels));
    std::uniform_real_distribution<double> amplitude (-1.0, 1.0);
    for (auto& sample : audio)
        sample = amplitude (random);
    // Both ends of the range, where conversions clip or round differently.
    if (audio.size() >= 2)
        audio[0] = 1.0, audio[1] = -1.0;

    WriteFramesWithSndfile (file, format, channels, sampleRate, audio);
}

bool EncodeSilenceWithFlac (const kul::File& flac, int channels, long frames, const std::string& flacOptions)
{
    const std::string raw = flac.GetFullPathName() + ".raw";
    { std::ofstream (raw, std::ios::binary); }
    std::filesystem::resize_file (raw, static_cast<uintmax_t> (frames) * static_cast<uintmax_t> (channels) * 2); // reads as zeros

    const std::string command = "flac -s -f --no-padding --no-seektable --force-raw-format --endian=little --sign=signed --bps=16"
                                " --sample-rate=44100 --channels=" + std::to_string (channels) + " " + flacOptions + " '" + raw
                                + "' -o '" + flac.GetFullPathName() + "'";
    const bool encoded = std::system (command.c_str()) == 0;
    std::filesystem::remove (raw);
    return encoded;
}

SndfileAudio ReadWithSndfile (const kul::File& file, long start, long count)
{
    SF_INFO info {};
    SNDFILE* sf = sf_open (file.GetFullPathName().c_str(), SFM_READ, &info);
    SndfileAudio audio;
    if (sf == nullptr)
    {
        ADD_FAILURE() << "libsndfile cannot open " << file.GetFullPathName();
        return audio;
    }

    audio.channels = info.channels;
    audio.fileFrames = static_cast<long> (info.frames);
    audio.frames = std::max (0L, std::min<long> (count, static_cast<long> (info.frames) - start));
    sf_seek (sf, start, SEEK_SET);
    audio.samples.assign (static_cast<size_t> (info.channels), std::vector<float> (static_cast<size_t> (audio.frames)));
    const auto subtype = info.format & SF_FORMAT_SUBMASK;
    const size_t n = static_cast<size_t> (audio.frames * info.channels);

    if (subtype == SF_FORMAT_FLOAT || subtype == SF_FORMAT_DOUBLE)
    {
        std::vector<float> interleaved (n);
        sf_readf_float (sf, interleaved.data(), audio.frames);
        for (size_t i = 0; i < n; ++i)
            audio.samples[i % static_cast<size_t> (info.channels)][i / static_cast<size_t> (info.channels)] = interleaved[i];
    }
    else
    {
        std::vector<int> interleaved (n);
        sf_readf_int (sf, interleaved.data(), audio.frames);
        for (size_t i = 0; i < n; ++i)
            audio.samples[i % static_cast<size_t> (info.channels)][i / static_cast<size_t> (info.channels)]
                = static_cast<float> (interleaved[i]) * (1.0f / 2147483648.0f);
    }

    sf_close (sf);
    return audio;
}

void ExpectSameSamples (const kul::AudioBuffer& buffer, const SndfileAudio& reference)
{
    for (int c = 0; c < reference.channels; ++c)
    {
        const float* channel = buffer.GetChannel (static_cast<unsigned> (c));
        ASSERT_NE (channel, nullptr);
        for (long i = 0; i < reference.frames; ++i)
            if (channel[i] != reference.samples[static_cast<size_t> (c)][static_cast<size_t> (i)])
                FAIL() << "channel " << c << ", frame " << i << ": " << channel[i]
                       << " instead of " << reference.samples[static_cast<size_t> (c)][static_cast<size_t> (i)];
    }
}

} // namespace audiofiletests

// libvorbisfile 1.3.7 leaks the serial numbers it gathered for a chain whose later link is
// not Vorbis when it refuses to open it (as fuzz/lsan.supp tells); not ours to fix.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libvorbisfile.so\n";
}
