#pragma once

#include "files/File.h"
#include "math/Vector.h"

#include <string>

namespace kul
{

/** A number of channels of float samples, reached through one sample pointer per
    channel. The base owns no sample memory: its pointers are null until a
    derived buffer attaches storage. */
class AudioBufferBase
{
public:
    AudioBufferBase (unsigned int numChannels, unsigned long numSamples);
    virtual ~AudioBufferBase();

    AudioBufferBase (const AudioBufferBase&) = delete;
    AudioBufferBase& operator= (const AudioBufferBase&) = delete;

    /** Resizes the pointer table (the first pointers stay, new ones are null) and
        stores the counts; no sample memory is touched. */
    virtual void SetSize (unsigned int newNumChannels, unsigned long newNumSamples);
    virtual void SetNumChannels (unsigned int n);
    virtual void SetNumSamples (unsigned long n);

    /** File operations of buffers that hold storage; a buffer that cannot do them answers false. */
    virtual bool SaveToMatFile (const File& file, const std::string& variableName);
    virtual bool LoadFromAudioFile (const File& file);
    virtual bool LoadChannelFromAudioFile (const File& file, unsigned int channel);

    virtual float GetMemorySizeMB() const { return 0.0f; }

    /** Writes count samples of source x gain into the channel from startSample.
        Gain 1 copies (nothing at all when the source is that very place), other
        gains scale. The source may overlap the destination. A channel without
        storage or a start past its end takes nothing; a count running past the
        end is cut there. */
    void CopyFrom (unsigned int channel, unsigned long startSample, const float* source, unsigned long count, float gain);

    /** The same from a channel of another (or this) buffer: as many samples as both
        channels hold from their start positions. */
    void CopyFrom (unsigned int channel, unsigned long startSample, const AudioBufferBase& source,
                   unsigned int sourceChannel, unsigned long sourceStartSample, float gain);

    unsigned int GetNumChannels() const noexcept { return numChannels; }
    unsigned long GetNumSamples() const noexcept { return numSamples; }

    /** The channel's samples; null for a channel without storage or past the end. */
    float* GetChannel (unsigned int channel) noexcept { return channel < numChannels ? channels[channel] : nullptr; }
    const float* GetChannel (unsigned int channel) const noexcept { return channel < numChannels ? channels[channel] : nullptr; }

    /** One pointer per channel, as the block operations of the processors take them. */
    float** GetChannels() noexcept { return channels.GetData(); }

protected:
    unsigned int numChannels;
    unsigned long numSamples;
    Vector<float*> channels;
};

} // namespace kul
