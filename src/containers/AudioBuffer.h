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
        False for an empty path or a read that fails. The factory's and readers' exceptions
        pass through, and a file whose audio its reader cannot read (a WAV sample format it
        does not decode, no "data" chunk) is refused with "file " + the quoted path +
        " cannot be loaded: " and the reason. A refused file (missing, invalid, unreadable, or
        holding more audio than its bytes can back, found before or while decoding) leaves
        the buffer as it was, and so does a failed read: a decoded format is decoded into
        storage of its own before this buffer takes it. Storage that is large enough is
        reused; an AIFF or WAV file too large for it has it given back before the file's is
        taken. */
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
    bool loadDecodedFrames (const File& file, AudioFileReader& reader, unsigned int newNumChannels, unsigned int fileChannel);
    int64_t decodeStream (AudioFileReader& reader, unsigned int fileChannel);
    void keepFirstFrames (unsigned long frames);

    static constexpr unsigned int allChannels = ~0u;

    /** The samples of the chunks a decoded stream is read in, and the most storage a load
        keeps beyond the samples of the file. */
    static constexpr uint64_t decodeChunkSamples = 262144;
};

} // namespace kul
