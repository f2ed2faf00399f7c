#pragma once

#include "audiofiles/AudioFileFactory.h"
#include "audiofiles/AudioFilesManager.h"
#include "audiofiles/SampleConverters.h"
#include "containers/AudioBuffer.h"
#include "math/Vector.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>

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

    /** One channel of the file into one channel of the buffer, read in chunks of all the
        file's channels: 65536 frames (8192 from 33 channels on), fewer where their samples
        would take more than maxChunkBytes. Frames outside an exact length (see
        IsLengthOnlyDeclared) are written as 0 without being read. */
    bool ReadChannel (AudioBufferBase& buffer, uint32_t destChannel, uint64_t destStartSample,
                      uint64_t numSamples, uint32_t fileChannel, int64_t fileStartFrame);

    /** True when GetLengthInSamples() is only what the file declares: the frames are
        decoded as they are read, and the stream may end before or after that length.
        A whole load then reads until the stream ends instead of trusting the length.
        False when the length is exact: the file holds frames 0 .. length - 1, and reads
        of any other frame give 0. */
    virtual bool IsLengthOnlyDeclared() const noexcept { return false; }

    /** The length the file's header declares, kept even where it is more than the file's
        bytes can back and GetLengthInSamples() drops it, so that a load can refuse such a
        file before decoding; 0 when the file declares none. */
    virtual uint64_t GetDeclaredLength() const noexcept { return static_cast<uint64_t> (std::max<int64_t> (numFrames, 0)); }

    /** Like Read, answering how many of the frames the file held (fewer only where the
        stream ends; the rest are written as 0), or -1 when the read failed. */
    int64_t ReadFramesHeld (AudioBufferBase& buffer, uint64_t destStartSample, uint64_t numSamples, int64_t fileStartFrame);

    /** The most frames whose samples (frames x channels) this file's bytes can back:
        mostSamplesPerFileByte per byte. */
    uint64_t GetMostFramesBacked() const noexcept;

    /** Throws a kul::Exception ("file " + the quoted path + " claims more audio than its
        N bytes can hold") when the frames are more than GetMostFramesBacked(). */
    void CheckFramesAreBacked (uint64_t frames, const char* sourceFile, long line) const;

    /** The most bytes of samples that one chunk of ReadChannel takes, whatever the file's
        channel count. */
    static constexpr uint64_t maxChunkBytes = 16 * 1024 * 1024;

    /** Why the file's audio cannot be loaded though its header parsed, as the words after
        "cannot be loaded: " (its sample format is not read, say); empty when it can. The
        reader of such a file is valid and reads as a length of 0. */
    virtual std::string DescribeUnreadableAudio() const { return {}; }

    /** Throws a kul::Exception ("file " + the quoted path + " cannot be loaded: " + the
        description) when DescribeUnreadableAudio() gives one. */
    void CheckAudioIsReadable (const char* sourceFile, long line) const;

    /** No format packs audio more densely than this many samples per byte of the file,
        silence included, so a longer length is a lie that must not decide an allocation. */
    static constexpr uint64_t mostSamplesPerFileByte = 8192;

protected:
    /** The first step of a concrete reader's constructor: opens the file and names the format
        (FormatNameOf or FormatNameFromExtension, the names of the factory's format table). */
    void OpenFile (const File& file, const std::string& name);

    /** How many of the numFrames frames from startFrame that the last ReadSamples asked
        for the file held; by default those before the length. */
    virtual uint64_t CountFramesHeldByLastRead (uint64_t numFramesRead, int64_t startFrame) const noexcept;

    /** The last step: a reader that is not valid throws "file " + the quoted path +
        " is not a valid " + kind + " file", reported with the source file and line. */
    void ThrowUnlessValid (const File& file, const std::string& kind, const char* sourceFile, long line) const;

    /** The file's path in double quotes, as the refusals show it. */
    std::string QuotedPath() const;

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
