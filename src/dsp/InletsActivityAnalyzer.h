#pragma once

#include "dsp/InletsOutletsConnectionsStatus.h"

#include <cstdint>

namespace kul
{

/** Connection flags plus an activity flag per inlet: with auto-mute on, a connected
    inlet whose input has been all zeros for autoMuteThreshold samples counts as
    inactive until a block brings a non-zero sample. */
class InletsActivityAnalyzer : public InletsOutletsConnectionsStatus
{
public:
    InletsActivityAnalyzer (unsigned int numInlets, unsigned int numOutlets);
    ~InletsActivityAnalyzer() override;

    /** Resizes the activity flags and counters; new entries are 0. */
    void Resize (unsigned int numInlets) override;

    /** Every inlet active, every counter 0. */
    void Reset() override;

    /** Looks at one block of every inlet that has a flag. */
    void Analyze (float** inputs, unsigned int numSamples) noexcept;

    /** Follows the processor's rate, so that the threshold keeps its length in
        seconds. A rate that is not a positive finite number is ignored. */
    void SetSampleRate (float rate) noexcept;

    /** autoMuteThreshold from autoMuteTime and sampleRate. */
    void UpdateThreshold() noexcept;

    Vector<short> inletActive;
    Vector<unsigned long> silentSamples;
    float sampleRate = 44100.0f;
    bool autoMuteOn = false;
    float autoMuteTime = 20.0f;
    uint64_t autoMuteThreshold = 882000;
};

} // namespace kul
