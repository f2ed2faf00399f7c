#include "dsp/Mixer.h"

#include "TestChannels.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <latch>
#include <random>
#include <thread>
#include <vector>

// The audio thread processes blocks while one thread drives every setter and
// another copies the levels, each for its own count of rounds. Every output sample
// must be silence or the input times a gain inside the commanded range, and the
// levels must stay readable.
TEST (MixerConcurrency, SettersAndLevelReadersNeverDisturbTheAudioThread)
{
    constexpr unsigned int numChannels = 8, numSamples = 64, settings = 3000;
    constexpr int blocks = 3000, copies = 3000;
    kul::Mixer mixer (numChannels);
    mixer.SetSampleRateAndBufferSize (numSamples, true, 44100.0f);

    std::atomic<long> badSamples { 0 }, nonFiniteLevels { 0 };

    std::thread audio ([&]
    {
        std::mt19937 random (1);
        std::uniform_real_distribution<double> noise (0.05, 1.0);
        TestChannels<double> in (numChannels, numSamples, 0.0), out (numChannels, numSamples, 0.0);
        const double highestGain = std::pow (10.0, 6.0 / 20.0) * (1.0 + 1e-6);
        // A ramp's gains are start + i x step, so one that closes on 0 may end a rounding
        // error below it (about -1e-19): silence, not a gain out of range.
        const double lowestGain = -1e-12;

        for (int block = 0; block < blocks; ++block)
        {
            for (auto& channel : in.data)
                for (auto& sample : channel)
                    sample = (random() & 1) != 0 ? noise (random) : -noise (random);

            mixer.Process (out.get(), in.get(), numSamples);

            for (unsigned int c = 0; c < numChannels; ++c)
                for (unsigned int t = 0; t < numSamples; ++t)
                {
                    const double ratio = out.data[c][t] / in.data[c][t];
                    if (! (out.data[c][t] == 0.0 || (ratio >= lowestGain && ratio <= highestGain)))
                        ++badSamples;
                }
        }
    });

    std::thread setter ([&]
    {
        std::mt19937 random (2);
        std::uniform_real_distribution<float> gains (-60.0f, 6.0f);
        const char* modes[] = { "peak", "rms", "PEAK", "other" };

        for (unsigned int i = 0; i < settings; ++i)
        {
            mixer.SetGain (gains (random), (i % 3) == 0);
            mixer.SetMute (i % numChannels, (i % 5) == 0);
            mixer.SetSolo ((i * 3) % numChannels, (i % 7) == 0);
            mixer.SetPostGainMetering ((i % 2) == 0);
            mixer.SetMeteringMode (modes[i % 4]);
            mixer.SetRefreshInterval (static_cast<float> (i % 100));
            std::this_thread::yield();
        }
    });

    std::thread reader ([&]
    {
        kul::Vector<float> levels;
        for (int i = 0; i < copies; ++i)
        {
            mixer.CopyLevels (levels);
            for (const float level : levels)
                if (! std::isfinite (level))
                    ++nonFiniteLevels;
            std::this_thread::yield();
        }
    });

    audio.join();
    setter.join();
    reader.join();
    EXPECT_EQ (badSamples.load(), 0);
    EXPECT_EQ (nonFiniteLevels.load(), 0);
}

// The only soloed channel is switched on and off while blocks run. A block sees
// the solo or not, but never half of it: some channel always sounds.
TEST (MixerConcurrency, ReleasingTheOnlySoloNeverSilencesEveryChannelForABlock)
{
    constexpr unsigned int numChannels = 64, numSamples = 512;
    constexpr int numBlocks = 400, numToggles = 2000000;
    kul::Mixer mixer (numChannels);
    mixer.SetSampleRateAndBufferSize (numSamples, true, 44100.0f);
    mixer.SetMeteringMode ("peak");

    std::latch start (2);
    long silentBlocks = 0;

    std::thread audio ([&]
    {
        TestChannels<double> in (numChannels, numSamples, 0.5), out (numChannels, numSamples, 0.0);
        const std::vector<double> silence (numSamples, 0.0);
        start.arrive_and_wait();

        for (int block = 0; block < numBlocks; ++block)
        {
            mixer.Process (out.get(), in.get(), numSamples);
            silentBlocks += std::all_of (out.data.begin(), out.data.end(), [&] (const auto& channel) { return channel == silence; });
        }
    });

    std::thread setter ([&]
    {
        start.arrive_and_wait();
        for (int i = 0; i < numToggles; ++i)
            mixer.SetSolo (numChannels - 1, (i & 1) == 0);
    });

    audio.join();
    setter.join();
    EXPECT_EQ (silentBlocks, 0);
}
