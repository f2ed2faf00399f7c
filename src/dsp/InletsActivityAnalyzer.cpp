#include "dsp/InletsActivityAnalyzer.h"

#include "dsp/SampleCount.h"

#include <algorithm>

namespace kul
{

InletsActivityAnalyzer::InletsActivityAnalyzer (unsigned int numInlets, unsigned int numOutlets)
    : InletsOutletsConnectionsStatus (numInlets, numOutlets),
      inletActive (numInlets),
      silentSamples (numInlets)
{
    std::fill (inletActive.begin(), inletActive.end(), short (1));
    std::fill (silentSamples.begin(), silentSamples.end(), 0ul);
}

InletsActivityAnalyzer::~InletsActivityAnalyzer() = default;

void InletsActivityAnalyzer::Resize (unsigned int numInlets)
{
    // Both grow before either is committed, so that a failure leaves them the same size.
    Vector<short> active (inletActive);
    Vector<unsigned long> silent (silentSamples);
    const auto oldSize = std::min (active.Size(), static_cast<size_t> (numInlets));
    active.Resize (numInlets);
    silent.Resize (numInlets);
    std::fill (active.begin() + oldSize, active.end(), short (0));
    std::fill (silent.begin() + std::min (silentSamples.Size(), static_cast<size_t> (numInlets)), silent.end(), 0ul);

    inletActive = std::move (active);
    silentSamples = std::move (silent);
}

void InletsActivityAnalyzer::Reset()
{
    std::fill (silentSamples.begin(), silentSamples.end(), 0ul);
    std::fill (inletActive.begin(), inletActive.end(), short (1));
}

void InletsActivityAnalyzer::Analyze (float** inputs, unsigned int numSamples) noexcept
{
    const auto numInlets = std::min ({ inletConnected.Size(), inletActive.Size(), silentSamples.Size() });

    for (size_t i = 0; i < numInlets; ++i)
    {
        const bool connected = inletConnected[i] == 1;

        if (! autoMuteOn)
        {
            inletActive[i] = connected ? 1 : 0;
            continue;
        }

        if (! connected)
        {
            inletActive[i] = 0;
            continue;
        }

        const float* block = inputs[i];
        const bool anyNonZero = std::any_of (block, block + numSamples, [] (float x) { return x != 0.0f; });

        if (anyNonZero)
        {
            silentSamples[i] = 0;
            inletActive[i] = 1;
        }
        else
        {
            silentSamples[i] += numSamples;
        }

        if (silentSamples[i] >= autoMuteThreshold)
        {
            silentSamples[i] = autoMuteThreshold;
            inletActive[i] = 0;
        }
    }
}

void InletsActivityAnalyzer::SetSampleRate (float rate) noexcept
{
    if (! IsUsableSampleRate (rate))
        return;

    sampleRate = rate;
    UpdateThreshold();
}

void InletsActivityAnalyzer::UpdateThreshold() noexcept
{
    autoMuteThreshold = TruncatedSampleCount (autoMuteTime * sampleRate);
}

} // namespace kul
