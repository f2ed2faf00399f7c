// Whole-file reads into a pre-sized kul::AudioBuffer by the AIFF and WAV readers,
// against libsndfile's sf_readf_float into an interleaved buffer plus the
// de-interleaving into the same audio buffer, on the same file in the same run
// (10 s at 48 kHz, 2 and 64 channels, the file in the page cache). Each pair of
// entries with the same arguments is read as a ratio (baseline time / reader time).

#include "audiofiles/AiffFileReader.h"
#include "audiofiles/WavFileReader.h"
#include "containers/AudioBuffer.h"
#include "files/File.h"

#include <sndfile.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
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
    return true;
}();
} // namespace
