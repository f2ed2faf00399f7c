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

    /** Writes the buffer as a channels x samples matrix (row c = channel c) into a
        level-5 MAT-file under the name, replacing the file; the writer's result. */
    bool SaveToMatFile (const File& file, const std::string& variableName) override;

    /** Replaces the buffer by the whole file: its channels by its length in frames.
        False for an empty path or a failed read, and then the buffer is as it was; the
        factory's and readers' exceptions pass through, also leaving it as it was. */
    bool LoadFromAudioFile (const File& file) override;

    /** Replaces the buffer by one channel of the file (1 x its length), on the same terms.
        A channel the file does not have throws "Invalid channel index N for file " and
        the quoted path. */
    bool LoadChannelFromAudioFile (const File& file, unsigned int channel) override;

    /** The storage held, in mebibytes: a buffer made smaller keeps its storage. */
    float GetMemorySizeMB() const override;

    const Vector<float>& GetData() const noexcept { return data; }

private:
    Vector<float> data;

    void pointChannelsIntoData() noexcept;
    void takeContentOf (AudioBuffer& other) noexcept;
};

} // namespace kul
