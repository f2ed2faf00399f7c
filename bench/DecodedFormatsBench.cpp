// Decoding a 60 s stereo 44.1 kHz file into memory, per iteration from opening to the last
// frame, through the library's readers and through the decoders they stand on:
// - MPEG (lame, 192 kbit/s): kul::MP3FileReader against libmpg123, the decoder under it,
//   decoding the same file to interleaved floats; each iteration times both, and the counter
//   "ratio" is the reader's CPU time over libmpg123's;
// - FLAC and Ogg Vorbis: kul::CoreAudioFileReader through the platform service (libsndfile
//   for FLAC, the Ogg decoder for Vorbis) against libsndfile's sf_readf_float on the same file.
// And reading 100 frames from a random start in 10-minute 48 kHz stereo files through
// kul::CoreAudioFileReader: Ogg Vorbis and Opus against FLAC, chains of two 5-minute Vorbis
// or Opus streams and captures from mid-way (the headers, then the pages from 40 % on)
// against the single stream, an Opus stream coded with the fewest bits libsndfile gives
// (about 12 kbit/s, the SILK layer) against the ordinary one, and the single streams against
// libsndfile's own seek (sf_seek and sf_readf_float on the same file), all side by side in
// each iteration; the counters "...Over..." are the CPU-time ratios, "...Milliseconds" the
// CPU time of one read, the first read of a fresh reader included (an Opus read past the
// copies of the decoder's state taken so far decodes on to it), "...FirstReadMilliseconds"
// that of the first read.
// Opening those files (the reader indexes an Ogg file's pages) against sf_open on them:
// "...OpenMilliseconds" per open, "...OpenOverSndfile" the ratios.
// The files are made once per run, in a folder that is removed at its end. The machines
// these run on are shared, so the ratios are read from CPU time.

#include "audiofiles/CoreAudioFileReader.h"
#include "audiofiles/MP3FileReader.h"
#include "containers/AudioBuffer.h"

#include <benchmark/benchmark.h>
#include <mpg123.h>
#include <sndfile.h>

#include <cmath>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace
{
constexpr int sampleRate = 44100;
constexpr long seconds = 60;

class TestFiles
{
public:
    TestFiles()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "kul-decode-bench-XXXXXX").string();

        if (::mkdtemp (pattern.data()) == nullptr)
            std::abort();

        folder = pattern;
        write (wav(), SF_FORMAT_WAV | SF_FORMAT_PCM_16);
        write (flac(), SF_FORMAT_FLAC | SF_FORMAT_PCM_16);
        write (ogg(), SF_FORMAT_OGG | SF_FORMAT_VORBIS);

        if (std::system (("lame --quiet -b 192 '" + wav() + "' '" + mp3() + "'").c_str()) != 0)
            std::abort();
    }

    ~TestFiles() { std::filesystem::remove_all (folder); }

    // The 10-minute files, made on first use: encoding them takes a while. A chain is two
    // 5-minute files joined; links 0 stands for the single file captured from mid-way, as
    // a recorder that joins a stream late writes it: its header pages (granule position 0),
    // then its pages from 40 % of its bytes on; links -1 for the single file coded with the
    // fewest bits.
    const std::string& longFile (int format, int links = 1) const
    {
        auto& path = longFiles[{ format, links }];

        if (path.empty() && links < 0)
        {
            path = folder + "/fewest-bits-" + std::to_string (format) + ".audio";
            write (path, format, longSeconds, 48000, 1.0);
        }

        if (path.empty() && links == 0)
        {
            path = folder + "/capture-" + std::to_string (format) + ".audio";
            std::ifstream in (longFile (format), std::ios::binary);
            const std::string bytes ((std::istreambuf_iterator<char> (in)), std::istreambuf_iterator<char>());
            std::ofstream (path, std::ios::binary) << capturedFromMidWay (bytes);
        }

        if (path.empty())
        {
            path = folder + "/long-" + std::to_string (format) + "-" + std::to_string (links) + ".audio";
            std::ofstream joined (path, std::ios::binary);

            for (int link = 0; link < links; ++link)
            {
                const auto part = path + "." + std::to_string (link);
                write (part, format, longSeconds / links, 48000);
                joined << std::ifstream (part, std::ios::binary).rdbuf();
            }
        }

        return path;
    }

    static constexpr long longSeconds = 600;

    std::string wav() const { return folder + "/source.wav"; }
    std::string mp3() const { return folder + "/music.mp3"; }
    std::string flac() const { return folder + "/music.flac"; }
    std::string ogg() const { return folder + "/music.ogg"; }

private:
    std::string folder;

    static std::string capturedFromMidWay (const std::string& bytes)
    {
        std::string capture;
        bool headers = true;

        for (size_t at = 0; at + 27 <= bytes.size() && bytes.compare (at, 4, "OggS") == 0;)
        {
            const auto byte = [&] (size_t i) { return size_t (static_cast<unsigned char> (bytes[at + i])); };
            size_t size = 27 + byte (26);

            for (size_t i = 0; i < byte (26); ++i)
                size += byte (27 + i);

            int64_t granule = 0;

            for (size_t i = 0; i < 8; ++i)
                granule |= int64_t (byte (6 + i)) << (8 * i);

            headers = headers && granule == 0;

            if (headers || at >= bytes.size() * 2 / 5)
                capture.append (bytes, at, size);

            at += size;
        }

        return capture;
    }

    mutable std::map<std::pair<int, int>, std::string> longFiles;

    static void write (const std::string& path, int format, long seconds = ::seconds, int sampleRate = ::sampleRate, double compressionLevel = -1)
    {
        SF_INFO info {};
        info.samplerate = sampleRate;
        info.channels = 2;
        info.format = format;
        SNDFILE* file = sf_open (path.c_str(), SFM_WRITE, &info);

        if (file == nullptr || (compressionLevel >= 0 && ! sf_command (file, SFC_SET_COMPRESSION_LEVEL, &compressionLevel, sizeof (compressionLevel))))
            std::abort();

        // Two tones with a slow vibrato and some noise, so that the encoders have work to do.
        std::vector<float> block (2 * 4410);
        unsigned noise = 1;

        for (long frame = 0; frame < seconds * sampleRate; frame += 4410)
        {
            for (long i = 0; i < 4410; ++i)
            {
                const double t = double (frame + i) / sampleRate;
                noise = noise * 1664525u + 1013904223u;
                const float hiss = float (int (noise >> 16) - 32768) * (0.02f / 32768.0f);
                block[size_t (2 * i)] = float (0.4 * std::sin (2 * M_PI * 440 * t + 2 * std::sin (3 * t))) + hiss;
                block[size_t (2 * i + 1)] = float (0.3 * std::sin (2 * M_PI * 660 * t)) - hiss;
            }

            sf_writef_float (file, block.data(), 4410);
        }

        sf_close (file);
    }
};

const TestFiles& files()
{
    static const TestFiles testFiles;
    return testFiles;
}

template <typename Reader>
void ReadThroughReader (benchmark::State& state, const std::string& path)
{
    int64_t frames = 0;

    for (auto _ : state)
    {
        Reader reader ((kul::File (path)));
        frames = reader.GetLengthInSamples();
        kul::AudioBuffer buffer (reader.GetNumChannels(), static_cast<unsigned long> (frames));

        if (! reader.Read (buffer, 0, buffer.GetNumSamples(), 0))
            state.SkipWithError ("the read failed");

        benchmark::DoNotOptimize (buffer.GetChannel (1)[frames / 2]);
    }

    state.counters["frames"] = double (frames);
}

double cpuSeconds()
{
    timespec now {};
    ::clock_gettime (CLOCK_PROCESS_CPUTIME_ID, &now);
    return double (now.tv_sec) + double (now.tv_nsec) * 1e-9;
}

int64_t DecodeWithReader (const std::string& path)
{
    kul::MP3FileReader reader ((kul::File (path)));
    const int64_t frames = reader.GetLengthInSamples();
    kul::AudioBuffer buffer (reader.GetNumChannels(), static_cast<unsigned long> (frames));

    if (! reader.Read (buffer, 0, buffer.GetNumSamples(), 0))
        return -1;

    benchmark::DoNotOptimize (buffer.GetChannel (1)[frames / 2]);
    return frames;
}

int64_t DecodeWithLibmpg123 (const std::string& path, std::vector<float>& samples)
{
    mpg123_handle* handle = mpg123_new (nullptr, nullptr);
    mpg123_param (handle, MPG123_ADD_FLAGS, MPG123_FORCE_FLOAT | MPG123_QUIET, 0.0);
    mpg123_param (handle, MPG123_REMOVE_FLAGS, MPG123_GAPLESS, 0.0);
    mpg123_open (handle, path.c_str());
    size_t total = 0;

    for (int result = MPG123_OK; result == MPG123_OK || result == MPG123_NEW_FORMAT;)
    {
        size_t bytes = 0;
        result = mpg123_read (handle, reinterpret_cast<unsigned char*> (samples.data()) + total,
                              samples.size() * sizeof (float) - total, &bytes);
        total += bytes;
    }

    mpg123_close (handle);
    mpg123_delete (handle);
    const auto frames = int64_t (total / (2 * sizeof (float)));
    benchmark::DoNotOptimize (samples[size_t (frames)]);
    return frames;
}

void MpegReaderAgainstLibmpg123 (benchmark::State& state)
{
    int64_t frames = 0;
    double readerSeconds = 0;
    double libmpg123Seconds = 0;
    std::vector<float> samples (size_t (2 * (seconds + 1) * sampleRate));
    files();

    for (auto _ : state)
    {
        const double start = cpuSeconds();
        frames = DecodeWithReader (files().mp3());
        const double middle = cpuSeconds();

        if (DecodeWithLibmpg123 (files().mp3(), samples) != frames)
            state.SkipWithError ("the reader and libmpg123 decode different lengths");

        readerSeconds += middle - start;
        libmpg123Seconds += cpuSeconds() - middle;
    }

    state.counters["frames"] = double (frames);
    state.counters["ratio"] = libmpg123Seconds > 0 ? readerSeconds / libmpg123Seconds : 0.0;
}

void SndfileDirect (benchmark::State& state, const std::string& path)
{
    int64_t frames = 0;

    for (auto _ : state)
    {
        SF_INFO info {};
        SNDFILE* file = sf_open (path.c_str(), SFM_READ, &info);
        frames = info.frames;
        std::vector<float> samples (size_t (info.frames * info.channels));

        if (sf_readf_float (file, samples.data(), info.frames) != info.frames)
            state.SkipWithError ("the read failed");

        sf_close (file);
        benchmark::DoNotOptimize (samples[samples.size() / 2]);
    }

    state.counters["frames"] = double (frames);
}

void FlacPlatformReader (benchmark::State& state)
{
    ReadThroughReader<kul::CoreAudioFileReader> (state, files().flac());
}

void FlacSndfile (benchmark::State& state)
{
    SndfileDirect (state, files().flac());
}

void OggPlatformReader (benchmark::State& state)
{
    ReadThroughReader<kul::CoreAudioFileReader> (state, files().ogg());
}

void OggSndfile (benchmark::State& state)
{
    SndfileDirect (state, files().ogg());
}

// 100 frames from start through libsndfile's own seek.
void ReadWithSndfileSeek (SNDFILE* file, int64_t start, std::vector<float>& samples)
{
    if (sf_seek (file, start, SEEK_SET) < 0 || sf_readf_float (file, samples.data(), 100) != 100)
        std::abort();

    benchmark::DoNotOptimize (samples[50]);
}

void RandomReadsInTenMinuteFiles (benchmark::State& state)
{
    constexpr int flac = SF_FORMAT_FLAC | SF_FORMAT_PCM_16, vorbis = SF_FORMAT_OGG | SF_FORMAT_VORBIS, opus = SF_FORMAT_OGG | SF_FORMAT_OPUS;
    constexpr std::pair<int, int> kinds[] = { { flac, 1 }, { vorbis, 1 }, { opus, 1 }, { vorbis, 2 }, { opus, 2 }, { vorbis, 0 }, { opus, 0 }, { opus, -1 } };
    std::vector<std::unique_ptr<kul::CoreAudioFileReader>> readers;

    for (const auto& [format, links] : kinds)
        readers.push_back (std::make_unique<kul::CoreAudioFileReader> (kul::File (files().longFile (format, links))));

    SNDFILE* sndfiles[2] {};

    for (size_t i = 0; i < 2; ++i)
    {
        SF_INFO info {};
        sndfiles[i] = sf_open (files().longFile (kinds[i + 1].first).c_str(), SFM_READ, &info);

        if (sndfiles[i] == nullptr)
            std::abort();
    }

    std::mt19937 random (600);
    std::uniform_int_distribution<int64_t> starts (0, TestFiles::longSeconds * 48000 - 100);
    kul::AudioBuffer buffer (2, 100);
    std::vector<float> interleaved (200);
    double seconds[std::size (kinds) + 2] {};
    double firstSeconds[std::size (kinds)] {};
    bool first = true;

    for (auto _ : state)
    {
        const int64_t start = starts (random);

        for (size_t i = 0; i < readers.size(); ++i)
        {
            const double before = cpuSeconds();

            if (! readers[i]->Read (buffer, 0, 100, start % (readers[i]->GetLengthInSamples() - 100)))
                state.SkipWithError ("the read failed");

            seconds[i] += cpuSeconds() - before;
            firstSeconds[i] = first ? seconds[i] : firstSeconds[i];
            benchmark::DoNotOptimize (buffer.GetChannel (1)[50]);
        }

        first = false;

        for (size_t i = 0; i < 2; ++i)
        {
            const double before = cpuSeconds();
            ReadWithSndfileSeek (sndfiles[i], start, interleaved);
            seconds[std::size (kinds) + i] += cpuSeconds() - before;
        }
    }

    for (SNDFILE* file : sndfiles)
        sf_close (file);

    // seconds[sndfileSeek + i]: libsndfile's own seek in the file of kinds[i + 1].
    constexpr size_t sndfileSeek = std::size (kinds);
    const auto ratio = [&] (size_t i, size_t baseline) { return seconds[baseline] > 0 ? seconds[i] / seconds[baseline] : 0.0; };
    const auto milliseconds = [&] (size_t i) { return seconds[i] * 1e3 / double (state.iterations()); };
    state.counters["flacMicroseconds"] = milliseconds (0) * 1e3;
    state.counters["vorbisOverFlac"] = ratio (1, 0);
    state.counters["opusOverFlac"] = ratio (2, 0);
    state.counters["vorbisChainOverVorbis"] = ratio (3, 1);
    state.counters["opusChainOverOpus"] = ratio (4, 2);
    state.counters["vorbisCaptureOverVorbis"] = ratio (5, 1);
    state.counters["opusCaptureOverOpus"] = ratio (6, 2);
    state.counters["opusFewestBitsOverOpus"] = ratio (7, 2);
    state.counters["vorbisOverSndfileSeek"] = ratio (1, sndfileSeek);
    state.counters["opusOverSndfileSeek"] = ratio (2, sndfileSeek + 1);
    state.counters["vorbisMilliseconds"] = milliseconds (1);
    state.counters["opusMilliseconds"] = milliseconds (2);
    state.counters["vorbisChainMilliseconds"] = milliseconds (3);
    state.counters["opusChainMilliseconds"] = milliseconds (4);
    state.counters["vorbisCaptureMilliseconds"] = milliseconds (5);
    state.counters["opusCaptureMilliseconds"] = milliseconds (6);
    state.counters["opusFewestBitsMilliseconds"] = milliseconds (7);
    state.counters["vorbisSndfileSeekMilliseconds"] = milliseconds (sndfileSeek);
    state.counters["opusSndfileSeekMilliseconds"] = milliseconds (sndfileSeek + 1);
    state.counters["opusFirstReadMilliseconds"] = firstSeconds[2] * 1e3;
    state.counters["opusFewestBitsFirstReadMilliseconds"] = firstSeconds[7] * 1e3;
}

void OpenTenMinuteFiles (benchmark::State& state)
{
    constexpr int vorbis = SF_FORMAT_OGG | SF_FORMAT_VORBIS, opus = SF_FORMAT_OGG | SF_FORMAT_OPUS;
    const std::string paths[] = { files().longFile (vorbis), files().longFile (opus), files().longFile (vorbis, 0) };
    double readerSeconds[std::size (paths)] {};
    double sndfileSeconds[std::size (paths)] {};

    for (auto _ : state)
    {
        for (size_t i = 0; i < std::size (paths); ++i)
        {
            const double start = cpuSeconds();
            {
                const kul::CoreAudioFileReader reader ((kul::File (paths[i])));

                if (reader.GetLengthInSamples() <= 0)
                    state.SkipWithError ("the reader did not open the file");
            }
            const double middle = cpuSeconds();
            SF_INFO info {};

            if (SNDFILE* file = sf_open (paths[i].c_str(), SFM_READ, &info))
                sf_close (file);
            else
                state.SkipWithError ("libsndfile did not open the file");

            readerSeconds[i] += middle - start;
            sndfileSeconds[i] += cpuSeconds() - middle;
        }
    }

    const char* names[] = { "vorbis", "opus", "vorbisCapture" };

    for (size_t i = 0; i < std::size (paths); ++i)
    {
        state.counters[std::string (names[i]) + "OpenMilliseconds"] = readerSeconds[i] * 1e3 / double (state.iterations());
        state.counters[std::string (names[i]) + "OpenOverSndfile"] = sndfileSeconds[i] > 0 ? readerSeconds[i] / sndfileSeconds[i] : 0.0;
    }
}
} // namespace

BENCHMARK (MpegReaderAgainstLibmpg123)->Unit (benchmark::kMillisecond)->MinTime (2.0);
BENCHMARK (FlacSndfile)->Unit (benchmark::kMillisecond);
BENCHMARK (FlacPlatformReader)->Unit (benchmark::kMillisecond);
BENCHMARK (OggSndfile)->Unit (benchmark::kMillisecond);
BENCHMARK (OggPlatformReader)->Unit (benchmark::kMillisecond);
BENCHMARK (RandomReadsInTenMinuteFiles)->Unit (benchmark::kMillisecond)->Iterations (200);
BENCHMARK (OpenTenMinuteFiles)->Unit (benchmark::kMillisecond);
