#pragma once

#include "containers/AudioBufferBase.h"

#include <cstdint>

namespace kul
{
class AudioFileReader;

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

    /** Loads the whole file into this buffer, sized through SetSize to its channels by
        its length in frames (for a decoded format: the frames its stream really holds).
        False for an empty path (buffer untouched) or a failed read. The factory's and
        readers' exceptions pass through; a file refused before reading (missing, invalid,
        or claiming more audio than its bytes can hold) leaves the buffer untouched.
        Storage is reused when it is large enough, else given back before the file's is taken. */
    bool LoadFromAudioFile (const File& file) override;

    /** Loads one channel of the file (1 x its length), on the same terms. A channel the
        file does not have throws "Invalid channel index N for file " and the quoted path,
        leaving the buffer untouched. */
    bool LoadChannelFromAudioFile (const File& file, unsigned int channel) override;

    /** The storage held, in mebibytes: a buffer made smaller keeps its storage. */
    float GetMemorySizeMB() const override;

    const Vector<float>& GetData() const noexcept { return data; }

private:
    Vector<float> data;

    void pointChannelsIntoData() noexcept;
    void takeContentOf (AudioBuffer& other) noexcept;
    void makeRoomFor (unsigned int newNumChannels, unsigned long newNumSamples);
    bool loadDecodedFrames (AudioFileReader& reader, unsigned int newNumChannels, unsigned int fileChannel);

    static constexpr unsigned int allChannels = ~0u;

    /** A declared length is trusted for the first allocation up to this many samples
        per byte of the file, as much as ordinary encoded streams hold; beyond it the
        buffer grows with the frames really decoded. */
    static constexpr uint64_t hintSamplesPerFileByte = 64;
};

} // namespace kul
