#pragma once

#include "containers/AudioBufferBase.h"

namespace kul
{

/** An audio buffer holding its samples in one allocation, channel after channel:
    channel c starts c x numSamples samples into the storage. */
class AudioBuffer : public AudioBufferBase
{
public:
    /** Every sample 0. Throws a kul::Exception when the storage cannot be had. */
    AudioBuffer (unsigned int numChannels, unsigned long numSamples);
    ~AudioBuffer() override;

    /** Resizes the flat storage: stored values keep their flat positions, new ones
        are 0, so channels keep their samples only when the length stays. A size
        that cannot be had throws a kul::Exception and leaves the buffer as it was. */
    void SetSize (unsigned int newNumChannels, unsigned long newNumSamples) override;

    /** Resizes keeping every sample of the channels and positions that exist in both sizes. */
    void SetSizeKeepingContent (unsigned int newNumChannels, unsigned long newNumSamples);

    /** The storage held, in mebibytes: a buffer made smaller keeps its storage. */
    float GetMemorySizeMB() const override;

    const Vector<float>& GetData() const noexcept { return data; }

private:
    Vector<float> data;

    void pointChannelsIntoData() noexcept;
};

} // namespace kul
