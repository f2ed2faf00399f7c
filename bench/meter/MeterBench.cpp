// The perform routine of a 250-channel "zelm.meter~" per block of 64 samples,
// next to kul::Mixer::Process on the same buffers (the goal: under 5% more); and
// the main thread's cost of one refresh of its open window with every level
// changing, painted by the software renderer (needs an X display). The per-block
// costs are close: compare them with --benchmark_enable_random_interleaving=true
// and a few repetitions, so that the machine's drift does not fall on one side.
//
// PerformAgainstMemcpy/<mode>/<channels>/<samples> times the perform routine of a
// meter and memcpy of the same buffers side by side in one run, batch by batch,
// and reports the ratio of the two as the counter "ratio": at the hosts' small
// blocks, what the routine costs beyond the bandwidth any copy of the signal needs.
#include "meter/MaxMspJuceWindowManager.h"
#include "meter/MeterObject.h"

#include "dsp/Mixer.h"
#include "gui/MultiMeterComponent.h"

#include "maxhost_test.h"

#include <X11/Xlib.h>
#include <benchmark/benchmark.h>
#include <juce_gui_basics/juce_gui_basics.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace
{
constexpr unsigned numChannels = 250;
constexpr unsigned blockSize = 64;

struct Buffers
{
    Buffers()
        : in (numChannels, std::vector<double> (blockSize)),
          out (numChannels, std::vector<double> (blockSize))
    {
        std::mt19937 random (42);
        std::uniform_real_distribution<double> sample (-1.0, 1.0);

        for (auto& channel : in)
            for (auto& value : channel)
                value = sample (random);

        for (unsigned i = 0; i < numChannels; ++i)
        {
            ins.push_back (in[i].data());
            outs.push_back (out[i].data());
        }
    }

    // Each channel at a new level, so that every meter has something to show.
    void rescale (double factor)
    {
        for (auto& channel : in)
            for (auto& value : channel)
                value *= factor;
    }

    std::vector<std::vector<double>> in, out;
    std::vector<double*> ins, outs;
};

t_meter* makeMeter()
{
    auto* object = maxhost::newObject ("zelm.meter~", "@numchannels 250 @numleds 40 @width 26");
    maxhost::pumpMainThread();
    return reinterpret_cast<t_meter*> (object);
}

// The baseline: the same instance's mixer, as configured by the object's attributes.
void BM_MixerProcess (benchmark::State& state)
{
    auto* meter = makeMeter();
    Buffers buffers;

    for (auto _ : state)
    {
        meter->mixer->Process (buffers.outs.data(), buffers.ins.data(), blockSize);
        benchmark::ClobberMemory();
    }

    state.SetItemsProcessed (state.iterations() * numChannels * blockSize);
    object_free (meter);
}
BENCHMARK (BM_MixerProcess);

void BM_Perform (benchmark::State& state)
{
    auto* meter = makeMeter();
    Buffers buffers;

    for (auto _ : state)
    {
        meter_perform64 (meter, nullptr, buffers.ins.data(), numChannels, buffers.outs.data(), numChannels, blockSize, 0, nullptr);
        benchmark::ClobberMemory();
    }

    state.SetItemsProcessed (state.iterations() * numChannels * blockSize);
    object_free (meter);
}
BENCHMARK (BM_Perform);

// While a fade runs: the ramp's step and the hand-over of its value every block.
void BM_PerformWhileFading (benchmark::State& state)
{
    auto* meter = makeMeter();
    Buffers buffers;

    for (auto _ : state)
    {
        if (! meter->fading.load())
        {
            state.PauseTiming();
            meter->fadeRequest.store (meter_packfaderequest (0.0f, 1.0e6f));
            state.ResumeTiming();
        }

        meter_perform64 (meter, nullptr, buffers.ins.data(), numChannels, buffers.outs.data(), numChannels, blockSize, 0, nullptr);
        benchmark::ClobberMemory();
    }

    state.SetItemsProcessed (state.iterations() * numChannels * blockSize);
    object_free (meter);
}
BENCHMARK (BM_PerformWhileFading);

void BM_RefreshOpenWindow (benchmark::State& state)
{
    const char* display = std::getenv ("DISPLAY");

    if (display == nullptr || *display == 0)
    {
        state.SkipWithError ("needs an X display");
        return;
    }

    auto* meter = makeMeter();
    meter->gui->setLevels (std::vector<float> (numChannels, -60.0f).data());
    maxhost::setDspState (1);
    meter_open (meter);
    maxhost::pumpMainThread();

    auto* peer = meter->gui->getPeer();

    if (peer == nullptr || ! meter->windowManager->IsWindowVisible())
    {
        state.SkipWithError ("the window did not open");
        object_free (meter);
        return;
    }

    Buffers buffers;
    double factor = 0.5;

    for (auto _ : state)
    {
        state.PauseTiming();
        factor = factor < 0.01 ? 1.9 : factor * 0.7;
        buffers.rescale (factor);
        meter_perform64 (meter, nullptr, buffers.ins.data(), numChannels, buffers.outs.data(), numChannels, blockSize, 0, nullptr);
        state.ResumeTiming();

        meter_refresh_task (meter);
        peer->performAnyPendingRepaintsNow();
    }

    maxhost::setDspState (0);
    object_free (meter);
    maxhost::pumpMainThread();
}
BENCHMARK (BM_RefreshOpenWindow)->Unit (benchmark::kMillisecond);

// Two sets of inputs, the second at half the level of the first, taken in turn, so
// that every rms level moves from block to block as a real signal's does (a block
// repeated for ever would settle the meters on one value).
struct AlternatingBuffers
{
    AlternatingBuffers (unsigned channels, unsigned samples)
    {
        std::mt19937 random (channels * 7919u + samples);
        std::uniform_real_distribution<double> sample (-1.0, 1.0);

        for (auto* set : { &loud, &quiet })
            set->assign (channels, std::vector<double> (samples));
        out.assign (channels, std::vector<double> (samples));

        for (unsigned i = 0; i < channels; ++i)
        {
            for (unsigned t = 0; t < samples; ++t)
            {
                loud[i][t] = sample (random);
                quiet[i][t] = 0.5 * loud[i][t];
            }

            ins[0].push_back (loud[i].data());
            ins[1].push_back (quiet[i].data());
            outs.push_back (out[i].data());
        }
    }

    std::vector<std::vector<double>> loud, quiet, out;
    std::vector<double*> ins[2], outs;
};

void performAgainstMemcpy (benchmark::State& state, unsigned channels, unsigned samples, const std::string& mode)
{
    auto* meter = reinterpret_cast<t_meter*> (
        maxhost::newObject ("zelm.meter~", "@numchannels " + std::to_string (channels) + " @mode " + mode));
    maxhost::pumpMainThread();
    AlternatingBuffers buffers (channels, samples);

    // Each batch (an iteration, timed as the perform routine's part of it) holds at
    // least 32768 samples, so that the clock's own cost and resolution stay far
    // below what it measures.
    const unsigned blocksPerBatch = std::max (2u, 32768u / (channels * samples)) & ~1u;
    using Clock = std::chrono::steady_clock;
    Clock::duration performTime {}, copyTime {};

    for (auto _ : state)
    {
        const auto start = Clock::now();

        for (unsigned block = 0; block < blocksPerBatch; ++block)
        {
            meter_perform64 (meter, nullptr, buffers.ins[block & 1].data(), channels, buffers.outs.data(), channels, samples,
                             0, nullptr);
            benchmark::ClobberMemory();
        }

        const auto performed = Clock::now();

        for (unsigned block = 0; block < blocksPerBatch; ++block)
        {
            for (unsigned i = 0; i < channels; ++i)
                std::memcpy (buffers.outs[i], buffers.ins[block & 1][i], samples * sizeof (double));
            benchmark::ClobberMemory();
        }

        const auto copied = Clock::now();
        performTime += performed - start;
        copyTime += copied - performed;
        state.SetIterationTime (std::chrono::duration<double> (performed - start).count());
    }

    state.counters["ratio"] = static_cast<double> (performTime.count())
                              / static_cast<double> (std::max<Clock::rep> (copyTime.count(), 1));
    state.SetItemsProcessed (state.iterations() * blocksPerBatch * int64_t (channels) * samples);
    object_free (meter);
}

void registerPerformAgainstMemcpy()
{
    for (const char* mode : { "peak", "rms" })
        for (const unsigned channels : { 1, 8, 64, 250 })
            for (const unsigned samples : { 16, 64, 512 })
            {
                const auto name = "PerformAgainstMemcpy/" + std::to_string (channels) + "/" + std::to_string (samples) + "/" + mode;
                benchmark::RegisterBenchmark (name.c_str(), performAgainstMemcpy, channels, samples, std::string (mode))
                    ->UseManualTime();
            }
}
} // namespace

int main (int argc, char** argv)
{
    XInitThreads();
    XSetErrorHandler ([] (Display*, XErrorEvent*) { return 0; });

    benchmark::Initialize (&argc, argv);
    registerPerformAgainstMemcpy();

    juce::ScopedJuceInitialiser_GUI juce;
    maxhost::initialise();
    meter_main();

    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    maxhost::shutdown();
    return 0;
}
