#pragma once

#include "audiofiles/AudioFileReader.h"
#include "memory/MemoryBlock.h"

#include <audiotoolbox/AudioToolbox.h>

namespace kul
{
class File;

/** Every format without a reader of its own, read through the platform's audio-file
    service as 32-bit float, non-interleaved frames at the file's own rate and channel
    count. The service reads the file's bytes through this reader's FileReader. */
class CoreAudioFileReader : public AudioFileReader
{
public:
    /** Never throws for a file the service cannot read: the reader is left closed
        (IsOpen() false), and the factory discards it. */
    explicit CoreAudioFileReader (const File& file);
    ~CoreAudioFileReader() override;

    std::string GetFileExtension() const override { return {}; }

    /** Frames the service does not deliver (past the end of the stream) are written as 0;
        once a transfer comes back short the stream has ended and no more are asked for.
        A failed seek or read answers false, with the frames copied before it kept. */
    bool ReadSamples (int** destChannels, uint64_t numFrames, int64_t startFrame) override;

    /** The length is what the file's header declares (0 when it declares none, or more
        than the file's bytes could hold): the decoded stream decides. */
    bool IsLengthOnlyDeclared() const noexcept override { return true; }

    uint64_t GetDeclaredLength() const noexcept override { return declaredFrames; }

    bool IsOpen() const noexcept { return isOpen; }

    /** The frames of one transfer from the service. */
    static constexpr uint32_t framesPerTransfer = 8192;

private:
    bool isOpen = false;
    AudioFileID audioFileID = nullptr;
    ExtAudioFileRef extAudioFile = nullptr;
    AudioStreamBasicDescription clientFormat {};
    MemoryBlock transferBlock;
    AudioBufferList* bufferList = nullptr;
    uint64_t declaredFrames = 0;
    int64_t currentFrame = 0;
    uint64_t framesDeliveredByLastRead = 0;

    void Open();
    uint64_t CountFramesHeldByLastRead (uint64_t numFramesRead, int64_t startFrame) const noexcept override;

    static OSStatus ReadCallback (void* clientData, SInt64 position, UInt32 requestCount, void* buffer, UInt32* actualCount);
    static SInt64 SizeCallback (void* clientData);
};

} // namespace kul
