#pragma once

#include "audiofiles/AudioFilesManager.h"
#include "audiofiles/SampleConverters.h"
#include "containers/AudioBuffer.h"
#include "math/Vector.h"

#include <cstdint>
#include <memory>

namespace kul
{
class AudioBufferBase;
class File;
class FileReader;

/** An opened audio file whose frames are read into audio buffers as floats in -1 .. +1.
    The concrete reader parses the file in its constructor and implements ReadSamples. */
class AudioFileReader : public AudioFilesManager
{
public:
    AudioFileReader();
    ~AudioFileReader() override;

    /** Writes numFrames frames from file frame startFrame into the per-channel word
        arrays (one per file channel): integers left-aligned in the word, or the bits
        of 32-bit floats when IsFloatingPoint(). */
    virtual bool ReadSamples (int** destChannels, uint64_t numFrames, int64_t startFrame) = 0;

    /** All channels of the file into the buffer from destStartSample. False (with the
        buffer untouched) when the range or the file's channels do not fit the buffer.
        Buffer channels beyond the file's are left as they are. */
    bool Read (AudioBufferBase& buffer, uint64_t destStartSample, uint64_t numSamples, int64_t fileStartFrame);

    /** One channel of the file into one channel of the buffer, read in chunks. */
    bool ReadChannel (AudioBufferBase& buffer, uint32_t destChannel, uint64_t destStartSample,
                      uint64_t numSamples, uint32_t fileChannel, int64_t fileStartFrame);

protected:
    /** The first step of a concrete reader's constructor: opens the file and names the format. */
    void OpenFile (const File& file, const std::string& name);

    /** The last step: a reader that is not valid throws "file " + the quoted path +
        " is not a valid " + kind + " file", reported with the source file and line. */
    void ThrowUnlessValid (const File& file, const std::string& kind, const char* sourceFile, long line) const;

    std::unique_ptr<FileReader> fileReader;
    AudioBuffer workBuffer { 1, 512 };
    Vector<int*> channelPointers;

    /** The read of the uncompressed readers: frames of bytesPerFrame bytes from
        dataOffset, numFramesInFile of them, pass through blockBuffer (grown when
        one frame does not fit) and the converter. Frames outside the file (before
        its first or from its last) are written as 0. */
    bool ReadInterleavedFrames (int** destChannels, uint64_t numFramesToRead, int64_t startFrame,
                                uint64_t dataOffset, uint32_t bytesPerFrame, SampleConverter converter,
                                Vector<unsigned char>& blockBuffer);

    /** The bytes of one block of frames during a read. */
    static constexpr uint32_t blockSize = 5760;
};

} // namespace kul
