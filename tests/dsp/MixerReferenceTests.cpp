// kul::Mixer against its per-block algorithm written the plain way: one channel
// and one sample at a time, with nothing chunked, grouped or measured in passing.
// 45 channels are enough for the mixer's chunks of 32 in rms mode and for every
// width of its side-by-side mean squares (32, 8, 4, 1). Halfway the mode changes,
// so that levels that stay put (silence, a held peak) are seen converted in both
// modes.
#include "dsp/Mixer.h"
#include "dsp/Ramp.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <type_traits>
#include <vector>

namespace
{
constexpr unsigned int numChannels = 45;
constexpr float sampleRate = 44100.0f;
constexpr float refreshIntervalMs = 30.0f;
constexpr int numBlocks = 24;
constexpr unsigned int blockSizes[] = { 64, 512, 1, 37, 256, 64, 2 };

/** What changes from one block to the next. */
struct BlockSettings
{
    unsigned int numSamples = 0;
    bool newGain = false;
    float gainDb = 0.0f;
    bool immediately = false;
    std::vector<bool> muted, soloed;
};

template <typename T>
using Channels = std::vector<std::vector<T>>;

template <typename T>
class ReferenceMixer
{
public:
    ReferenceMixer (bool peakMode, bool postGainMetering, std::vector<bool> connectedInlets)
        : peak (peakMode), post (postGainMetering), connected (std::move (connectedInlets)), meters (numChannels),
          levels (numChannels, -60.0f)
    {
        gain.SetRampTime (20.0f);
        gain.SetTarget (1.0f, true);
        gain.SetSampleRate (sampleRate);
    }

    // The meters start again from silence.
    void SetPeakMode (bool peakMode)
    {
        peak = peakMode;
        meters.assign (numChannels, Meter());
    }

    void Process (Channels<T>& out, const Channels<T>& in, const BlockSettings& block)
    {
        const unsigned int n = block.numSamples;

        if (block.newGain)
            gain.SetTarget (std::pow (10.0f, block.gainDb * 0.05f), block.immediately);

        if (! post)
            meterAll (in, n);

        float g0 = gain.current;
        gain.Advance (n);

        // A ramp that ended within the block ends on its target exactly, as the
        // ramp itself does, rather than an ulp beside it.
        float g1 = gain.current;
        if (gain.total != 0 && gain.remaining != 0)
            g1 = gain.start + (gain.target - gain.start)
                                  * (1.0f - static_cast<float> (gain.remaining) / static_cast<float> (gain.total));

        g0 = g0 > 0.0011f ? g0 : 0.0f;
        g1 = g1 > 0.0011f ? g1 : 0.0f;

        const bool anySolo = std::find (block.soloed.begin(), block.soloed.end(), true) != block.soloed.end();

        for (unsigned int i = 0; i < numChannels; ++i)
        {
            const bool passes = connected[i] && ! block.muted[i] && (! anySolo || block.soloed[i]);

            for (unsigned int t = 0; t < n; ++t)
                out[i][t] = passes ? in[i][t] * gainAt (t, n, g0, g1) : T (0);
        }

        if (post)
            meterAll (out, n);

        for (unsigned int i = 0; i < numChannels; ++i)
            levels[i] = (peak ? 20.0f : 10.0f) * std::log10 (meters[i].value + 0.000001f);
    }

    const std::vector<float>& GetLevels() const { return levels; }

private:
    struct Meter
    {
        float value = 0.0f;
        float meanSquare = 0.0f;
        uint32_t holdCounter = 0;
    };

    bool peak;
    const bool post;
    const std::vector<bool> connected;
    std::vector<Meter> meters;
    std::vector<float> levels;
    kul::Ramp gain;

    const float coefficient = static_cast<float> (1.0 - std::exp (-1.0 / (0.020 * sampleRate)));
    const float feedback = 1.0f - coefficient;
    const uint32_t holdSamples = static_cast<uint32_t> (sampleRate * ((refreshIntervalMs + 5.0f) * 0.001f));

    static T gainAt (unsigned int t, unsigned int n, float g0, float g1)
    {
        if (n == 1)
            return T (g1);

        const T step = (T (g1) - T (g0)) / T (n - 1);
        return T (g0) + T (t) * step;
    }

    // The mixer's own meters read every channel: only the mixer knows its connections.
    void meterAll (const Channels<T>& x, unsigned int n)
    {
        for (unsigned int i = 0; i < numChannels; ++i)
            meter (meters[i], x[i], n);
    }

    void meter (Meter& m, const std::vector<T>& x, unsigned int n)
    {
        if (std::all_of (x.begin(), x.begin() + n, [] (T sample) { return sample == T (0); }))
        {
            m.meanSquare = 0.0f;
            m.value = 0.0f;
            return;
        }

        if (peak)
        {
            // The peak is held until a block would run past the hold window.
            const bool windowEnds = m.holdCounter + n > holdSamples;
            m.holdCounter = windowEnds ? 0 : m.holdCounter + n;
            T largest = 0;
            for (unsigned int t = 0; t < n; ++t)
                largest = std::max (largest, std::abs (x[t]));
            m.value = std::max (static_cast<float> (largest), windowEnds ? 0.0f : m.value);
        }
        else
        {
            for (unsigned int t = 0; t < n; ++t)
                m.meanSquare = m.meanSquare * feedback + static_cast<float> (x[t] * x[t]) * coefficient;

            m.value = m.meanSquare;
        }
    }
};

template <typename T>
void fillInputs (Channels<T>& in, unsigned int n, std::mt19937& random)
{
    std::uniform_real_distribution<double> amplitude (0.001, 1.5), sample (-1.0, 1.0);
    std::bernoulli_distribution silent (0.1);

    for (auto& channel : in)
    {
        const double a = silent (random) ? 0.0 : amplitude (random);
        for (unsigned int t = 0; t < n; ++t)
            channel[t] = static_cast<T> (a * sample (random));
    }
}

BlockSettings randomSettings (int block, std::mt19937& random)
{
    std::bernoulli_distribution often (0.4), sometimes (0.15);
    std::uniform_real_distribution<float> gainsDb (-70.0f, 8.0f);
    std::uniform_int_distribution<unsigned int> anyChannel (0, numChannels - 1);

    BlockSettings settings;
    settings.numSamples = blockSizes[static_cast<size_t> (block) % std::size (blockSizes)];
    settings.newGain = often (random);
    settings.gainDb = gainsDb (random);
    settings.immediately = sometimes (random);
    settings.muted.resize (numChannels);
    settings.soloed.assign (numChannels, false);

    for (unsigned int i = 0; i < numChannels; ++i)
        settings.muted[i] = sometimes (random);

    if (often (random))
        for (int k = 0; k < 3; ++k)
            settings.soloed[anyChannel (random)] = true;

    return settings;
}

template <typename T>
void compareWithReference (bool peak, bool post, bool inPlace)
{
    SCOPED_TRACE (sizeof (T) == sizeof (float) ? "float" : "double");
    std::mt19937 random (peak * 4 + post * 2 + inPlace + 17 * sizeof (T));
    std::bernoulli_distribution unplugged (0.1);

    std::vector<bool> connected (numChannels);
    std::vector<short> counts (2 * numChannels, 1);
    for (unsigned int i = 0; i < numChannels; ++i)
    {
        connected[i] = ! unplugged (random);
        counts[i] = connected[i] ? 1 : 0;
    }

    kul::Mixer mixer (numChannels);
    mixer.SetSampleRateAndBufferSize (512, true, sampleRate);
    mixer.SetConnections (counts.data());
    mixer.SetMeteringMode (peak ? "peak" : "rms");
    mixer.SetPostGainMetering (post);
    mixer.SetRefreshInterval (refreshIntervalMs);
    ReferenceMixer<T> reference (peak, post, connected);

    // Levels are equal to the bit, except the mean squares of float outputs: in rms
    // mode the mixer forms a ramp's per-sample gains in another order than start +
    // t x step, so a ramped output sample may differ in its last bit or two, and
    // with it its square. The one-pole averages about 900 such squares, so its mean
    // square stays within about 1e-5 of the reference's (1e-6 seen), which is
    // 4.3e-5 dB. In peak mode the gain pass that measures the peak forms the gains
    // as start + t x step, so there the samples are equal to the bit as well.
    const auto levelTolerance = [&] { return ! peak && post && std::is_same_v<T, float> ? 5e-5f : 0.0f; };
    const auto sampleTolerance = [&] { return peak ? 0.0 : 1e-6; };

    const unsigned int longest = *std::max_element (std::begin (blockSizes), std::end (blockSizes));
    Channels<T> in (numChannels, std::vector<T> (longest)), out = in, expected = in;

    for (int block = 0; block < numBlocks; ++block)
    {
        if (block == numBlocks / 2)
        {
            peak = ! peak;
            mixer.SetMeteringMode (peak ? "peak" : "rms");
            reference.SetPeakMode (peak);
        }

        const auto settings = randomSettings (block, random);
        const unsigned int n = settings.numSamples;
        fillInputs (in, n, random);

        if (settings.newGain)
            mixer.SetGain (settings.gainDb, settings.immediately);
        for (unsigned int i = 0; i < numChannels; ++i)
        {
            mixer.SetMute (i, settings.muted[i]);
            mixer.SetSolo (i, settings.soloed[i]);
        }

        reference.Process (expected, in, settings);

        // In place, as the host's buffers usually are, the outputs overwrite the inputs.
        Channels<T>& written = inPlace ? in : out;
        std::vector<T*> inPointers, outPointers;
        for (unsigned int i = 0; i < numChannels; ++i)
        {
            inPointers.push_back (in[i].data());
            outPointers.push_back (written[i].data());
        }
        mixer.Process (outPointers.data(), inPointers.data(), n);

        for (unsigned int i = 0; i < numChannels; ++i)
        {
            for (unsigned int t = 0; t < n; ++t)
                ASSERT_NEAR (written[i][t], expected[i][t], sampleTolerance()) << "block " << block << " channel " << i << " sample " << t;

            ASSERT_NEAR (mixer.GetLevels()[i].load(), reference.GetLevels()[i], levelTolerance())
                << "block " << block << " channel " << i;
        }
    }
}
} // namespace

TEST (MixerReference, EveryChannelFollowsThePlainBlockAlgorithm)
{
    for (const bool peak : { true, false })
        for (const bool post : { true, false })
            for (const bool inPlace : { false, true })
            {
                SCOPED_TRACE (testing::Message() << (peak ? "peak" : "rms") << (post ? " post" : " pre")
                                                 << (inPlace ? " in place" : " separate"));
                compareWithReference<float> (peak, post, inPlace);
                compareWithReference<double> (peak, post, inPlace);
            }
}
