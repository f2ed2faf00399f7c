// Whole-file reads into a pre-sized kul::AudioBuffer by the AIFF and WAV readers,
// against libsndfile's sf_readf_float into an interleaved buffer plus the
// de-interleaving into the same audio buffer, on the same file in the same run
// (10 s at 48 kHz, 2 and 64 channels, the file in the page cache). Each pair of
// entries with the same arguments is read as a ratio (baseline time / reader time).
//
// Opening 100 MB MPEG files with kul::MP3FileReader (which indexes every frame, or
// gives up on junk) against libmpg123's open and scan of the same file: a stream of
// lame frames, random junk, false frame headers (one every 4 bytes, never a frame that
// the next header follows), and 10 s of a stream followed by such headers. The reader
// refuses the junk and the headers alone; the counter "ratio" is the reader's time over
// libmpg123's.

#include "audiofiles/AiffFileReader.h"
#include "audiofiles/MP3FileReader.h"
#include "audiofiles/WavFileReader.h"
#include "common/Exception.h"
#include "containers/AudioBuffer.h"
#include "files/File.h"

#include <sndfile.h>

#include <benchmark/benchmark.h>
#include <mpg123.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <filesystem>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace
{
constexpr long numFrames = 10 * 48000;
constexpr long deinterleaveFrames = 256;

struct Format
{
    const char* name;
    int sndfileFormat;
    bool isWav;
};

const Format formats[] = {
    { "wav16", SF_FORMAT_WAV | SF_FORMAT_PCM_16, true },
    { "wav24", SF_FORMAT_WAV | SF_FORMAT_PCM_24, true },
    { "wavfloat", SF_FORMAT_WAV | SF_FORMAT_FLOAT, true },
    { "aiff16", SF_FORMAT_AIFF | SF_FORMAT_PCM_16, false },
    { "aiff24", SF_FORMAT_AIFF | SF_FORMAT_PCM_24, false },
    { "aifffloat", SF_FORMAT_AIFF | SF_FORMAT_FLOAT, false },
};

/** The file of the format and channel count; one at a time exists, so that the
    64-channel files (up to 123 MB) do not pile up. */
const std::string& fileFor (const Format& format, int channels)
{
    // The last file goes when the program ends.
    static struct CurrentFile
    {
        ~CurrentFile() { if (! path.empty()) std::remove (path.c_str()); }
        std::string path, key;
    } current;
    auto& [path, key] = current;

    const std::string wanted = std::string (format.name) + "-" + std::to_string (channels);
    if (wanted == key)
        return path;

    if (! path.empty())
        std::remove (path.c_str());
    key = wanted;
    path = (std::filesystem::temp_directory_path() / ("zelm-bench-" + wanted + (format.isWav ? ".wav" : ".aiff"))).string();

    SF_INFO info {};
    info.samplerate = 48000;
    info.channels = channels;
    info.format = format.sndfileFormat;
    SNDFILE* sf = sf_open (path.c_str(), SFM_WRITE, &info);
    std::vector<float> block (static_cast<size_t> (4800 * channels));
    std::mt19937 random (1);
    std::uniform_real_distribution<float> amplitude (-0.9f, 0.9f);
    for (long done = 0; done < numFrames; done += 4800)
    {
        for (auto& sample : block)
            sample = amplitude (random);
        sf_writef_float (sf, block.data(), 4800);
    }
    sf_close (sf);
    return path;
}

void readWithReader (benchmark::State& state)
{
    const auto& format = formats[state.range (0)];
    const int channels = static_cast<int> (state.range (1));
    const kul::File file (fileFor (format, channels));
    kul::AudioBuffer buffer (static_cast<unsigned> (channels), numFrames);

    for (auto _ : state)
    {
        std::unique_ptr<kul::AudioFileReader> reader;
        if (format.isWav)
            reader = std::make_unique<kul::WavFileReader> (file);
        else
            reader = std::make_unique<kul::AiffFileReader> (file);
        if (! reader->Read (buffer, 0, numFrames, 0))
            state.SkipWithError ("read failed");
        benchmark::DoNotOptimize (buffer.GetChannel (0)[numFrames - 1]);
    }

    state.SetLabel (std::string (format.name) + " reader");
    state.SetBytesProcessed (state.iterations() * numFrames * channels * static_cast<long> (sizeof (float)));
}

void readWithSndfile (benchmark::State& state)
{
    const auto& format = formats[state.range (0)];
    const int channels = static_cast<int> (state.range (1));
    const auto& path = fileFor (format, channels);
    kul::AudioBuffer buffer (static_cast<unsigned> (channels), numFrames);
    std::vector<float> interleaved (static_cast<size_t> (numFrames * channels));

    for (auto _ : state)
    {
        SF_INFO info {};
        SNDFILE* sf = sf_open (path.c_str(), SFM_READ, &info);
        if (sf_readf_float (sf, interleaved.data(), numFrames) != numFrames)
            state.SkipWithError ("read failed");
        sf_close (sf);

        // De-interleaved a block of frames at a time, so that the source stays in the cache.
        for (long first = 0; first < numFrames; first += deinterleaveFrames)
        {
            const long end = std::min (numFrames, first + deinterleaveFrames);
            for (int c = 0; c < channels; ++c)
            {
                float* dest = buffer.GetChannel (static_cast<unsigned> (c));
                const float* source = interleaved.data() + first * channels + c;
                for (long i = first; i < end; ++i, source += channels)
                    dest[i] = *source;
            }
        }
        benchmark::DoNotOptimize (buffer.GetChannel (0)[numFrames - 1]);
    }

    state.SetLabel (std::string (format.name) + " libsndfile");
    state.SetBytesProcessed (state.iterations() * numFrames * channels * static_cast<long> (sizeof (float)));
}

constexpr size_t mpegFileBytes = 100u << 20;

const char* const mpegContents[] = { "stream", "junk", "falseHeaders", "streamThenFalseHeaders" };

/** The 100 MB MPEG file of the content; one at a time exists. */
const std::string& mpegFileFor (int content)
{
    static struct CurrentFile
    {
        ~CurrentFile() { if (! path.empty()) std::remove (path.c_str()); }
        std::string path;
        int content = -1;
    } current;

    if (current.content == content)
        return current.path;

    if (! current.path.empty())
        std::remove (current.path.c_str());

    current.content = content;
    current.path = (std::filesystem::temp_directory_path() / ("zelm-bench-" + std::string (mpegContents[content]) + ".mp3")).string();
    std::vector<char> bytes;

    // 10 s of lame frames: repeated, a long recording of joined parts; once, a stream
    // that runs into a damaged rest of the disk.
    if (content == 0 || content == 3)
    {
        const auto wav = current.path + ".wav";
        SF_INFO info {};
        info.samplerate = 44100;
        info.channels = 2;
        info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
        SNDFILE* sf = sf_open (wav.c_str(), SFM_WRITE, &info);
        std::vector<float> block (2 * 44100);
        std::mt19937 random (2);
        std::uniform_real_distribution<float> amplitude (-0.5f, 0.5f);
        for (int second = 0; second < 10; ++second)
        {
            for (auto& sample : block)
                sample = amplitude (random);
            sf_writef_float (sf, block.data(), 44100);
        }
        sf_close (sf);

        if (std::system (("lame --quiet -b 128 '" + wav + "' '" + current.path + "'").c_str()) != 0)
            std::abort();

        std::remove (wav.c_str());
        std::ifstream in (current.path, std::ios::binary);
        const std::vector<char> part { std::istreambuf_iterator<char> (in), std::istreambuf_iterator<char>() };

        do
            bytes.insert (bytes.end(), part.begin(), part.end());
        while (content == 0 && bytes.size() < mpegFileBytes);
    }

    if (content != 0)
    {
        const size_t start = bytes.size();
        bytes.resize (mpegFileBytes);
        std::mt19937 random (3);

        for (size_t i = start; i + 4 <= bytes.size(); i += 4)
        {
            // MPEG-1 layer III, 128 kbit/s, 44.1 kHz: the next one never sits a frame later.
            const uint32_t word = content == 1 ? uint32_t (random()) : 0x0090FBFFu;
            std::memcpy (bytes.data() + i, &word, 4);
        }
    }

    std::ofstream out (current.path, std::ios::binary | std::ios::trunc);
    out.write (bytes.data(), std::streamsize (bytes.size()));
    return current.path;
}

// The machines these run on are shared: CPU time, not the clock on the wall.
double cpuSeconds()
{
    timespec now {};
    ::clock_gettime (CLOCK_PROCESS_CPUTIME_ID, &now);
    return double (now.tv_sec) + double (now.tv_nsec) * 1e-9;
}

void MpegOpenAgainstLibmpg123Scan (benchmark::State& state)
{
    const auto& path = mpegFileFor (static_cast<int> (state.range (0)));
    double readerSeconds = 0;
    double libmpg123Seconds = 0;
    int64_t frames = 0;

    for (auto _ : state)
    {
        const double start = cpuSeconds();

        try
        {
            kul::MP3FileReader reader ((kul::File (path)));
            frames = reader.GetLengthInSamples();
        }
        catch (const kul::Exception&)
        {
            frames = 0;
        }

        const double middle = cpuSeconds();
        mpg123_handle* handle = mpg123_new (nullptr, nullptr);
        mpg123_param (handle, MPG123_ADD_FLAGS, MPG123_QUIET, 0.0);
        if (mpg123_open (handle, path.c_str()) == MPG123_OK)
            mpg123_scan (handle);
        benchmark::DoNotOptimize (mpg123_length (handle));
        mpg123_delete (handle);
        const double end = cpuSeconds();

        readerSeconds += middle - start;
        libmpg123Seconds += end - middle;
    }

    state.SetLabel (mpegContents[state.range (0)]);
    state.counters["frames"] = double (frames);
    state.counters["ratio"] = libmpg123Seconds > 0 ? readerSeconds / libmpg123Seconds : 0.0;
}

// Each pair is registered side by side, so that its file is made once and stays in the cache.
[[maybe_unused]] const bool registered = []
{
    for (long f = 0; f < static_cast<long> (std::size (formats)); ++f)
        for (const long channels : { 2L, 64L })
        {
            benchmark::RegisterBenchmark ("AudioFileRead/libsndfile", readWithSndfile)->Args ({ f, channels })
                ->Unit (benchmark::kMillisecond);
            benchmark::RegisterBenchmark ("AudioFileRead/reader", readWithReader)->Args ({ f, channels })
                ->Unit (benchmark::kMillisecond);
        }

    for (const long content : { 0L, 1L, 2L, 3L })
        benchmark::RegisterBenchmark ("MpegOpenAgainstLibmpg123Scan", MpegOpenAgainstLibmpg123Scan)->Arg (content)
            ->Unit (benchmark::kMillisecond);
    return true;
}();
} // namespace
