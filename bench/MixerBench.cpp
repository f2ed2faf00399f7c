// The mixer's double-precision block, as the host's perform routine runs it, for
// 1, 8, 64 and 250 channels and blocks of 64, 512 and 4096 samples, in every gain,
// mute/solo, metering-mode and pre/post case. Two baselines run on the same
// buffers: memcpy of every channel ("MixerMemcpy") and a straightforward scalar
// implementation of the same block ("MixerScalar/<case>"). Items are samples
// (channels x block); divide items per second by the baseline's to get the ratio.

#include "dsp/Mixer.h"
#include "dsp/Ramp.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace
{
enum class GainCase
{
    unity,
    constant,
    ramping,
    gated,
    allMuted,
    oneSoloed
};

const char* nameOf (GainCase c)
{
    switch (c)
    {
        case GainCase::unity: return "unity";
        case GainCase::constant: return "constant";
        case GainCase::ramping: return "ramping";
        case GainCase::gated: return "gated";
        case GainCase::allMuted: return "muted";
        case GainCase::oneSoloed: return "soloed";
    }
    return "";
}

struct Setup
{
    GainCase gainCase;
    bool peak;
    bool post;
};

struct Buffers
{
    Buffers (unsigned int numChannels, unsigned int numSamples)
        : in (numChannels, std::vector<double> (numSamples)),
          out (numChannels, std::vector<double> (numSamples))
    {
        std::mt19937 random (numChannels * 7919u + numSamples);
        std::uniform_real_distribution<double> noise (0.01, 0.9);

        for (auto& channel : in)
            for (auto& sample : channel)
                sample = (random() & 1) != 0 ? noise (random) : -noise (random);

        for (unsigned int c = 0; c < numChannels; ++c)
        {
            inPointers.push_back (in[c].data());
            outPointers.push_back (out[c].data());
        }
    }

    std::vector<std::vector<double>> in, out;
    std::vector<double*> inPointers, outPointers;
};

float gainDbOf (GainCase c)
{
    return c == GainCase::gated ? -60.0f : c == GainCase::unity ? 0.0f : -3.0f;
}

// The ramping case gives a new target every block, so every block ramps.
float rampingTargetDb (int64_t iteration)
{
    return (iteration & 1) != 0 ? -6.0f : 0.0f;
}

void finish (benchmark::State& state, unsigned int numChannels, unsigned int numSamples)
{
    state.SetItemsProcessed (state.iterations() * int64_t (numChannels) * numSamples);
}

void runMemcpy (benchmark::State& state, unsigned int numChannels, unsigned int numSamples)
{
    Buffers b (numChannels, numSamples);

    for (auto _ : state)
    {
        for (unsigned int c = 0; c < numChannels; ++c)
            std::memcpy (b.outPointers[c], b.inPointers[c], numSamples * sizeof (double));
        benchmark::ClobberMemory();
    }

    finish (state, numChannels, numSamples);
}

void runMixer (benchmark::State& state, unsigned int numChannels, unsigned int numSamples, Setup setup)
{
    Buffers b (numChannels, numSamples);
    kul::Mixer mixer (numChannels);
    mixer.SetSampleRateAndBufferSize (numSamples, true, 44100.0f);
    mixer.SetMeteringMode (setup.peak ? "peak" : "rms");
    mixer.SetPostGainMetering (setup.post);
    mixer.SetGain (gainDbOf (setup.gainCase), true);

    for (unsigned int c = 0; c < numChannels; ++c)
        mixer.SetMute (c, setup.gainCase == GainCase::allMuted);

    mixer.SetSolo (0, setup.gainCase == GainCase::oneSoloed);

    int64_t iteration = 0;

    for (auto _ : state)
    {
        if (setup.gainCase == GainCase::ramping)
            mixer.SetGain (rampingTargetDb (iteration++), false);

        mixer.Process (b.outPointers.data(), b.inPointers.data(), numSamples);
        benchmark::ClobberMemory();
    }

    finish (state, numChannels, numSamples);
}

/** The same block written the plain way: one channel at a time, one sample at a time. */
class ScalarMixer
{
public:
    ScalarMixer (unsigned int numChannels, Setup s)
        : setup (s), meanSquare (numChannels), value (numChannels), holdCounter (numChannels),
          levels (numChannels), passes (numChannels)
    {
        for (unsigned int c = 0; c < numChannels; ++c)
            passes[c] = setup.gainCase == GainCase::oneSoloed ? c == 0 : setup.gainCase != GainCase::allMuted;

        gain.SetRampTime (20.0f);
        gain.SetTarget (std::pow (10.0f, gainDbOf (setup.gainCase) * 0.05f), true);
    }

    void Process (double** out, double** in, unsigned int n, int64_t iteration)
    {
        if (setup.gainCase == GainCase::ramping)
            gain.SetTarget (std::pow (10.0f, rampingTargetDb (iteration) * 0.05f), false);

        float g0 = gain.Advance (n);
        float g1 = gain.remaining > 0
                       ? gain.start + (gain.target - gain.start) * (1.0f - float (gain.remaining) / float (gain.total))
                       : gain.current;
        g0 = g0 > 0.0011f ? g0 : 0.0f;
        g1 = g1 > 0.0011f ? g1 : 0.0f;

        for (size_t c = 0; c < passes.size(); ++c)
        {
            if (! setup.post)
                meter (c, in[c], n);

            for (unsigned int t = 0; t < n; ++t)
            {
                const double g = n > 1 ? g0 + (g1 - g0) * double (t) / double (n - 1) : g1;
                out[c][t] = passes[c] ? in[c][t] * g : 0.0;
            }

            if (setup.post)
                meter (c, out[c], n);

            const float x = value[c] + 0.000001f;
            levels[c] = (setup.peak ? 20.0f : 10.0f) * std::log10 (x);
        }
    }

private:
    Setup setup;
    kul::Ramp gain;
    std::vector<float> meanSquare, value;
    std::vector<uint32_t> holdCounter;
    std::vector<float> levels;
    std::vector<bool> passes;
    const float coefficient = 0.0011331f;
    const uint32_t holdSamples = 441;

    void meter (size_t c, const double* x, unsigned int n)
    {
        bool allZero = true;
        for (unsigned int t = 0; t < n; ++t)
            allZero = allZero && x[t] == 0.0;

        if (allZero)
        {
            meanSquare[c] = value[c] = 0.0f;
            return;
        }

        if (setup.peak)
        {
            double peak = 0.0;
            for (unsigned int t = 0; t < n; ++t)
                peak = std::max (peak, std::abs (x[t]));

            float held = value[c];
            if (holdCounter[c] + n > holdSamples)
            {
                holdCounter[c] = 0;
                held = 0.0f;
            }
            else
            {
                holdCounter[c] += n;
            }
            value[c] = std::max (float (peak), held);
        }
        else
        {
            float ms = meanSquare[c];
            for (unsigned int t = 0; t < n; ++t)
                ms = ms * (1.0f - coefficient) + float (x[t] * x[t]) * coefficient;
            meanSquare[c] = value[c] = ms;
        }
    }
};

void runScalar (benchmark::State& state, unsigned int numChannels, unsigned int numSamples, Setup setup)
{
    Buffers b (numChannels, numSamples);
    ScalarMixer mixer (numChannels, setup);
    int64_t iteration = 0;

    for (auto _ : state)
    {
        mixer.Process (b.outPointers.data(), b.inPointers.data(), numSamples, iteration++);
        benchmark::ClobberMemory();
    }

    finish (state, numChannels, numSamples);
}

// Names are formatted into a fixed buffer: concatenating std::strings here trips
// a false -Wrestrict report of GCC 12 at -O3.
std::string benchmarkName (const char* prefix, const Setup* s, unsigned int numChannels, unsigned int numSamples)
{
    char name[128];

    if (s == nullptr)
        std::snprintf (name, sizeof (name), "%s/%ux%u", prefix, numChannels, numSamples);
    else
        std::snprintf (name, sizeof (name), "%s/%s/%s/%s/%ux%u", prefix, nameOf (s->gainCase), s->peak ? "peak" : "rms",
                       s->post ? "post" : "pre", numChannels, numSamples);

    return name;
}

const bool registered = []
{
    for (const unsigned int numChannels : { 1u, 8u, 64u, 250u })
    {
        for (const unsigned int numSamples : { 64u, 512u, 4096u })
        {
            benchmark::RegisterBenchmark (benchmarkName ("MixerMemcpy", nullptr, numChannels, numSamples).c_str(),
                                          runMemcpy, numChannels, numSamples);

            for (const auto gainCase : { GainCase::unity, GainCase::constant, GainCase::ramping, GainCase::gated,
                                         GainCase::allMuted, GainCase::oneSoloed })
            {
                for (const bool peak : { true, false })
                {
                    for (const bool post : { true, false })
                    {
                        const Setup setup { gainCase, peak, post };
                        benchmark::RegisterBenchmark (benchmarkName ("Mixer", &setup, numChannels, numSamples).c_str(),
                                                      runMixer, numChannels, numSamples, setup);
                        benchmark::RegisterBenchmark (benchmarkName ("MixerScalar", &setup, numChannels, numSamples).c_str(),
                                                      runScalar, numChannels, numSamples, setup);
                    }
                }
            }
        }
    }

    return true;
}();
} // namespace
