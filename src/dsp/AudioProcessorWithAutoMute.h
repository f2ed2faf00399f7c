#pragma once

#include "dsp/AudioProcessorBase.h"
#include "dsp/InletsActivityAnalyzer.h"

namespace kul
{

/** A processor that knows which of its inlets and outlets the host has connected
    and can silence an inlet after a long stretch of zero input (auto-mute).
    A channel past the end of the flags counts as not connected and not active. */
class AudioProcessorWithAutoMute : public AudioProcessorBase
{
public:
    AudioProcessorWithAutoMute (unsigned int numInputs, unsigned int numOutputs);
    ~AudioProcessorWithAutoMute() override;

    using AudioProcessorBase::IsInletActive;

    bool IsChannelConnected (int channel) override;
    bool IsOutletConnected (int outlet) override;
    bool IsInletActive (int inlet) override;
    bool IsAnyOutletConnected() override;
    void SetNumberOfInlets (unsigned int n) override;
    void SetNumberOfOutlets (unsigned int n) override;
    void AnalyzeInletsActivity (float** inputs, unsigned int numSamples) override;

    /** Keeps the auto-mute threshold at the same length in seconds. */
    void SampleRateChanged (float newRate) override;

    /** The host's connection counts: one per inlet, then one per outlet; a count
        above 0 means connected. Activity flags and counters stay. */
    virtual void SetConnections (const short* counts);

    virtual void SetAutoMuteActive (bool on);

    /** A time not above 0 (or NaN) switches auto-mute off; any other switches it
        on with the time clamped to 1 .. 500 s. */
    virtual void SetAutoMuteTime (float seconds);

    bool IsInletConnected (unsigned int inlet) const noexcept
    {
        return inlet < analyzer.inletConnected.Size() && analyzer.inletConnected[inlet] == 1;
    }

    // Not const: a const overload would make calls from non-const code ambiguous
    // with the virtual form.
    bool IsInletActive (unsigned int inlet) noexcept
    {
        return inlet < analyzer.inletActive.Size() && analyzer.inletActive[inlet] == 1;
    }

    const InletsActivityAnalyzer& GetAnalyzer() const noexcept { return analyzer; }

protected:
    InletsActivityAnalyzer analyzer;

private:
    static bool isSet (const Vector<short>& flags, int index) noexcept
    {
        return index >= 0 && static_cast<size_t> (index) < flags.Size() && flags[static_cast<size_t> (index)] == 1;
    }
};

} // namespace kul
