#pragma once

#include "text/StringArray.h"

#include <string>

namespace kul
{

/** The interface through which the host glue drives every signal processor: block
    processing, bypass and mute, rate and block-size changes, inlet and outlet
    texts and per-channel connection questions.

    Block operations (Process, ProcessBypass, ProcessMute) run on the audio thread
    and never allocate or lock. Preparation runs while no block is processed. */
class AudioProcessorBase
{
public:
    AudioProcessorBase (unsigned int numInputs, unsigned int numOutputs);
    virtual ~AudioProcessorBase();

    AudioProcessorBase (const AudioProcessorBase&) = delete;
    AudioProcessorBase& operator= (const AudioProcessorBase&) = delete;

    /** One block, outputs before inputs. */
    virtual void Process (float** outputs, float** inputs, unsigned int numSamples) = 0;

    /** Copies each connected, active input to its output; every other connected output gets zeros. */
    virtual void ProcessBypass (float** outputs, float** inputs, unsigned int numSamples);
    virtual void ProcessBypass (double** outputs, double** inputs, unsigned int numSamples);

    /** Zeros on every connected output; unconnected ones are not touched. */
    virtual void ProcessMute (float** outputs, unsigned int numSamples);
    virtual void ProcessMute (double** outputs, unsigned int numSamples);

    /** "input #1" and so on; the empty text for an index that is no input. */
    virtual std::string GetInletDescription (int index);

    /** "output #1" and so on; "dumpout" for an index that is no signal output. */
    virtual std::string GetOutletDescription (int index);

    virtual StringArray GetStringListHook();
    virtual void SampleRateChanged (float newRate);
    virtual void BufferSizeChanged (unsigned int newSize);

    /** Clears the internal state. */
    virtual void Clear();

    virtual bool GetBooleanHook();
    virtual bool IsChannelConnected (int channel);
    virtual bool IsOutletConnected (int outlet);
    virtual bool IsInletActive (int inlet);
    virtual bool IsAnyOutletConnected();
    virtual void SetNumberOfInlets (unsigned int n);
    virtual void SetNumberOfOutlets (unsigned int n);
    virtual bool ProcessPendingOscMessages();
    virtual void AnalyzeInletsActivity (float** inputs, unsigned int numSamples);

    /** Prepares the processor: stores the rate and block size (0, or a rate that is
        not a positive finite number, means the defaults 44100 and 512), calls the
        change hooks and Clear when something changed or force is set, and in every
        case switches flush-to-zero and denormals-are-zero on for the calling thread. */
    void SetSampleRateAndBufferSize (unsigned int newBufferSize, bool force, float newSampleRate);

    /** Stores the rate as it is and calls SampleRateChanged. */
    void SetSampleRate (float rate);

    unsigned int GetNumInputs() const noexcept { return numInputs; }
    unsigned int GetNumOutputs() const noexcept { return numOutputs; }
    float GetSampleRate() const noexcept { return sampleRate; }
    unsigned int GetBufferSize() const noexcept { return bufferSize; }

protected:
    const unsigned int numInputs;
    const unsigned int numOutputs;
    float sampleRate = 44100.0f;
    unsigned int bufferSize = 512;

private:
    template <typename T>
    void processBypass (T** outputs, T** inputs, unsigned int numSamples);

    template <typename T>
    void processMute (T** outputs, unsigned int numSamples);
};

} // namespace kul
