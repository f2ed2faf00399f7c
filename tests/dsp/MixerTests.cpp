#include "dsp/Mixer.h"

#include "TestChannels.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace
{
struct MixerRun
{
    explicit MixerRun (unsigned int numChannels, size_t numSamples = 512, double input = 0.5)
        : mixer (numChannels),
          inputs (numChannels, numSamples, input),
          outputs (numChannels, numSamples, 7.0)
    {
        mixer.SetSampleRateAndBufferSize (static_cast<unsigned int> (numSamples), true, 44100.0f);
    }

    void process() { mixer.Process (outputs.get(), inputs.get(), static_cast<unsigned int> (inputs.data[0].size())); }

    std::vector<float> levels() const
    {
        kul::Vector<float> copy;
        mixer.CopyLevels (copy);
        return { copy.begin(), copy.end() };
    }

    bool isSilent (size_t channel) const
    {
        for (const auto sample : outputs.data[channel])
            if (sample != 0.0)
                return false;
        return true;
    }

    kul::Mixer mixer;
    TestChannels<double> inputs;
    TestChannels<double> outputs;
};
} // namespace

TEST (Mixer, FreshMixerPassesInputsAndReadsSilenceAsItsFloor)
{
    MixerRun run (2);
    EXPECT_EQ (run.levels(), (std::vector<float> { -60.0f, -60.0f }));

    run.inputs.data[1].assign (512, 0.0);
    run.process();
    EXPECT_EQ (run.outputs.data[0], run.inputs.data[0]);
    EXPECT_NEAR (run.levels()[0], 10.0f * std::log10 (0.5f * 0.5f * 0.440381f), 1e-3f);
    EXPECT_FLOAT_EQ (run.levels()[1], -60.0f);

    run.mixer.SetMeteringMode ("peak");
    run.process();
    EXPECT_NEAR (run.levels()[0], 20.0f * std::log10 (0.5f), 1e-4f);
    EXPECT_FLOAT_EQ (run.levels()[1], -120.0f);
}

TEST (Mixer, GainRampOf882SamplesSpansTwoBlocksAndEndsOnTarget)
{
    MixerRun run (1, 512, 1.0);
    run.mixer.SetGain (-6.0f, false);
    const double target = std::pow (10.0, -0.3);

    run.process();
    const auto first = run.outputs.data[0];
    EXPECT_EQ (first.front(), 1.0);
    EXPECT_NEAR (first.back(), 1.0 + (target - 1.0) * 512.0 / 882.0, 1e-5);
    EXPECT_EQ (run.mixer.GetGainRamp().remaining, 370u);

    run.process();
    EXPECT_NEAR (run.outputs.data[0].front(), first.back(), 1e-5);
    EXPECT_NEAR (run.outputs.data[0].back(), target, 1e-6);
    EXPECT_EQ (static_cast<float> (run.outputs.data[0].back()), run.mixer.GetGainRamp().target);

    // Once the ramp is done every sample gets the same gain.
    run.process();
    EXPECT_EQ (run.outputs.data[0].front(), run.outputs.data[0].back());

    // A rate change after the ramp leaves the gain where it is.
    run.mixer.SetSampleRateAndBufferSize (512, true, 48000.0f);
    run.process();
    EXPECT_EQ (static_cast<float> (run.outputs.data[0][100]), run.mixer.GetGainRamp().target);
}

TEST (Mixer, GainsAtTheSliderFloorGiveExactSilenceEvenForNaNInput)
{
    struct Case
    {
        float gainDb;
        bool silent;
    };

    for (const auto& c : { Case { -60.0f, true }, Case { -59.25f, true }, Case { -59.0f, false }, Case { -100.0f, true },
                           Case { -std::numeric_limits<float>::infinity(), true }, Case { 6.0f, false } })
    {
        MixerRun run (2, 64);
        run.inputs.data[1].assign (64, std::numeric_limits<double>::quiet_NaN());
        run.mixer.SetGain (c.gainDb, true);
        run.process();

        EXPECT_EQ (run.isSilent (0), c.silent) << c.gainDb;
        EXPECT_NEAR (run.outputs.data[0][0], c.silent ? 0.0 : 0.5 * std::pow (10.0, c.gainDb / 20.0), 1e-6) << c.gainDb;

        if (c.silent)
        {
            EXPECT_TRUE (run.isSilent (1)) << c.gainDb;
        }
    }
}

TEST (Mixer, MuteAndSoloDecideWhichOfFourChannelsPass)
{
    struct Case
    {
        std::vector<int> muted;
        std::vector<int> soloed;
        std::vector<bool> passing;
    };

    // Channel 3's inlet is unplugged: it never passes.
    const std::vector<Case> cases {
        { {}, {}, { true, true, true, false } },
        { { 0 }, {}, { false, true, true, false } },
        { {}, { 1 }, { false, true, false, false } },
        { { 1 }, { 1 }, { false, false, false, false } },
        { {}, { 0, 2 }, { true, false, true, false } },
        { { 2 }, { 0, 2 }, { true, false, false, false } },
        { {}, { 3 }, { false, false, false, false } },
        { { 0, 1, 2, 3 }, {}, { false, false, false, false } },
    };

    const short counts[] = { 1, 1, 1, 0, 1, 1, 1, 1 };

    for (size_t i = 0; i < cases.size(); ++i)
    {
        MixerRun run (4, 64);
        run.mixer.SetConnections (counts);

        for (const int channel : cases[i].muted)
            run.mixer.SetMute (static_cast<unsigned int> (channel), true);
        for (const int channel : cases[i].soloed)
            run.mixer.SetSolo (static_cast<unsigned int> (channel), true);

        run.process();

        for (size_t channel = 0; channel < 4; ++channel)
        {
            EXPECT_EQ (! run.isSilent (channel), cases[i].passing[channel]) << "case " << i << " channel " << channel;
            if (cases[i].passing[channel])
            {
                EXPECT_EQ (run.outputs.data[channel], run.inputs.data[channel]);
            }
        }
    }

    // Channels past the end are ignored rather than written.
    kul::Mixer mixer (2);
    mixer.SetMute (2, true);
    mixer.SetSolo (100, true);
    EXPECT_FALSE (mixer.IsMuted (2));
    EXPECT_FALSE (mixer.IsSoloed (100));
}

TEST (Mixer, PreGainLevelsShowAMutedChannelsInputAndPostGainLevelsItsSilence)
{
    MixerRun run (2);
    run.mixer.SetMeteringMode ("peak");
    run.mixer.SetMute (0, true);

    run.process();
    EXPECT_FLOAT_EQ (run.levels()[0], -120.0f);

    run.mixer.SetPostGainMetering (false);
    run.mixer.SetGain (-20.0f, true);
    run.process();
    EXPECT_NEAR (run.levels()[0], 20.0f * std::log10 (0.5f), 1e-4f);
    EXPECT_NEAR (run.levels()[1], 20.0f * std::log10 (0.5f), 1e-4f);

    run.mixer.SetPostGainMetering (true);
    run.process();
    EXPECT_NEAR (run.levels()[1], 20.0f * std::log10 (0.05f), 1e-3f);
}

TEST (Mixer, RefreshIntervalSetsThePeakWindowPlusFiveMilliseconds)
{
    struct Case
    {
        float ms;
        uint32_t window;
    };

    for (const auto& c : { Case { 30.0f, 1543 }, Case { 0.0f, 220 }, Case { -50.0f, 220 },
                           Case { std::numeric_limits<float>::quiet_NaN(), 220 } })
    {
        MixerRun run (1, 64);
        run.mixer.SetRefreshInterval (c.ms);
        run.process();
        EXPECT_EQ (run.mixer.GetMeters().GetMeter (0).holdSamples, c.window) << c.ms;
    }
}
