#include "audiotoolbox/AudioToolbox.h"

#include <sndfile.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>
#include <new>
#include <vector>

// The file and the converting reader are plain records behind the opaque handles.
struct OpaqueAudioFileID
{
    void* clientData = nullptr;
    AudioFile_ReadProc read = nullptr;
    AudioFile_GetSizeProc getSize = nullptr;
    SInt64 position = 0; // the byte libsndfile reads next
    SNDFILE* sndfile = nullptr;
    SF_INFO info {};
    bool wrapped = false;
};

struct OpaqueExtAudioFile
{
    AudioFileID file = nullptr;
    bool clientFormatSet = false;
    SInt64 frame = 0; // the frame read next; may lie past the end
    std::vector<float> interleaved;
};

namespace
{
// libsndfile's virtual I/O, on the caller's callbacks. The caller's read takes at most
// a 32-bit count at a time.
sf_count_t fileLength (void* userData)
{
    auto* file = static_cast<AudioFileID> (userData);
    const SInt64 size = file->getSize (file->clientData);
    return size > 0 ? size : 0;
}

sf_count_t seekFile (sf_count_t offset, int whence, void* userData)
{
    auto* file = static_cast<AudioFileID> (userData);
    SInt64 base = 0;

    if (whence == SEEK_CUR)
        base = file->position;
    else if (whence == SEEK_END)
        base = fileLength (userData);
    else if (whence != SEEK_SET)
        return -1;

    if ((offset > 0 && base > std::numeric_limits<SInt64>::max() - offset) || base + offset < 0)
        return -1;

    file->position = base + offset;
    return file->position;
}

sf_count_t readFile (void* destination, sf_count_t count, void* userData)
{
    auto* file = static_cast<AudioFileID> (userData);
    auto* bytes = static_cast<unsigned char*> (destination);
    sf_count_t done = 0;

    while (done < count)
    {
        const auto request = static_cast<UInt32> (std::min<sf_count_t> (count - done, std::numeric_limits<UInt32>::max()));
        UInt32 got = 0;

        if (file->read (file->clientData, file->position, request, bytes + done, &got) != noErr || got == 0)
            break;

        got = std::min (got, request);
        file->position += got;
        done += got;
    }

    return done;
}

sf_count_t writeFile (const void*, sf_count_t, void*)
{
    return 0;
}

sf_count_t tellFile (void* userData)
{
    return static_cast<AudioFileID> (userData)->position;
}

bool isTheClientFormat (const AudioStreamBasicDescription& format, const SF_INFO& info)
{
    return format.mSampleRate == static_cast<Float64> (info.samplerate)
        && format.mFormatID == kAudioFormatLinearPCM
        && format.mFormatFlags == (kAudioFormatFlagIsFloat | kAudioFormatFlagIsNonInterleaved)
        && format.mBytesPerPacket == sizeof (float) && format.mFramesPerPacket == 1
        && format.mBytesPerFrame == sizeof (float) && format.mBitsPerChannel == 32
        && format.mChannelsPerFrame == static_cast<UInt32> (info.channels);
}

// Interleaved frames in blocks of this many samples pass through the reader's own buffer.
constexpr sf_count_t interleavedBlockSamples = 16384;
} // namespace

OSStatus AudioFileOpenWithCallbacks (void* inClientData, AudioFile_ReadProc inReadFunc,
                                     AudioFile_WriteProc inWriteFunc, AudioFile_GetSizeProc inGetSizeFunc,
                                     AudioFile_SetSizeProc inSetSizeFunc, AudioFileTypeID,
                                     AudioFileID* outAudioFile) noexcept
{
    if (outAudioFile == nullptr)
        return kAudio_ParamError;

    *outAudioFile = nullptr;

    if (inReadFunc == nullptr || inGetSizeFunc == nullptr)
        return kAudio_ParamError;

    if (inWriteFunc != nullptr || inSetSizeFunc != nullptr)
        return kAudioFileOperationNotSupportedError;

    auto* file = new (std::nothrow) OpaqueAudioFileID;

    if (file == nullptr)
        return kAudio_MemFullError;

    file->clientData = inClientData;
    file->read = inReadFunc;
    file->getSize = inGetSizeFunc;

    SF_VIRTUAL_IO io { fileLength, seekFile, readFile, writeFile, tellFile };
    file->sndfile = sf_open_virtual (&io, SFM_READ, &file->info, file);

    if (file->sndfile == nullptr || file->info.channels <= 0 || file->info.samplerate <= 0)
    {
        if (file->sndfile != nullptr)
            sf_close (file->sndfile);

        delete file;
        return kAudioFileUnsupportedFileTypeError;
    }

    *outAudioFile = file;
    return noErr;
}

OSStatus AudioFileClose (AudioFileID inAudioFile) noexcept
{
    if (inAudioFile == nullptr)
        return kAudio_ParamError;

    sf_close (inAudioFile->sndfile);
    delete inAudioFile;
    return noErr;
}

OSStatus ExtAudioFileWrapAudioFileID (AudioFileID inFileID, Boolean inForWriting, ExtAudioFileRef* outExtAudioFile) noexcept
{
    if (outExtAudioFile == nullptr)
        return kAudio_ParamError;

    *outExtAudioFile = nullptr;

    if (inFileID == nullptr || inFileID->wrapped)
        return kAudio_ParamError;

    if (inForWriting)
        return kAudioFileOperationNotSupportedError;

    auto* ext = new (std::nothrow) OpaqueExtAudioFile;

    if (ext == nullptr)
        return kAudio_MemFullError;

    ext->file = inFileID;
    inFileID->wrapped = true;
    *outExtAudioFile = ext;
    return noErr;
}

OSStatus ExtAudioFileGetProperty (ExtAudioFileRef inExtAudioFile, ExtAudioFilePropertyID inPropertyID,
                                  UInt32* ioPropertyDataSize, void* outPropertyData) noexcept
{
    if (inExtAudioFile == nullptr || ioPropertyDataSize == nullptr || outPropertyData == nullptr)
        return kAudio_ParamError;

    const SF_INFO& info = inExtAudioFile->file->info;

    switch (inPropertyID)
    {
        case kExtAudioFileProperty_FileDataFormat:
        {
            if (*ioPropertyDataSize != sizeof (AudioStreamBasicDescription))
                return kExtAudioFileError_InvalidPropertySize;

            AudioStreamBasicDescription format {};
            format.mSampleRate = info.samplerate;
            format.mFramesPerPacket = 1;
            format.mChannelsPerFrame = static_cast<UInt32> (info.channels);
            std::memcpy (outPropertyData, &format, sizeof (format));
            return noErr;
        }

        case kExtAudioFileProperty_FileLengthFrames:
        {
            if (*ioPropertyDataSize != sizeof (SInt64))
                return kExtAudioFileError_InvalidPropertySize;

            const SInt64 frames = info.frames;
            std::memcpy (outPropertyData, &frames, sizeof (frames));
            return noErr;
        }

        default:
            return kExtAudioFileError_InvalidProperty;
    }
}

OSStatus ExtAudioFileSetProperty (ExtAudioFileRef inExtAudioFile, ExtAudioFilePropertyID inPropertyID,
                                  UInt32 inPropertyDataSize, const void* inPropertyData) noexcept
{
    if (inExtAudioFile == nullptr || inPropertyData == nullptr)
        return kAudio_ParamError;

    if (inPropertyID != kExtAudioFileProperty_ClientDataFormat)
        return kExtAudioFileError_InvalidProperty;

    if (inPropertyDataSize != sizeof (AudioStreamBasicDescription))
        return kExtAudioFileError_InvalidPropertySize;

    AudioStreamBasicDescription format;
    std::memcpy (&format, inPropertyData, sizeof (format));

    if (! isTheClientFormat (format, inExtAudioFile->file->info))
        return kExtAudioFileError_InvalidDataFormat;

    inExtAudioFile->clientFormatSet = true;
    return noErr;
}

OSStatus ExtAudioFileSeek (ExtAudioFileRef inExtAudioFile, SInt64 inFrameOffset) noexcept
{
    if (inExtAudioFile == nullptr)
        return kAudio_ParamError;

    if (inFrameOffset < 0)
        return kExtAudioFileError_InvalidSeek;

    // libsndfile refuses positions past the end; those read nothing, so the reader
    // stays at the end and remembers where it was asked to be.
    const SF_INFO& info = inExtAudioFile->file->info;
    SNDFILE* sndfile = inExtAudioFile->file->sndfile;
    const sf_count_t target = info.frames >= 0 ? std::min<sf_count_t> (inFrameOffset, info.frames) : inFrameOffset;

    if ((info.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_OGG)
    {
        // libsndfile's seek in Ogg streams can land some frames away from the target, so
        // the stream is decoded up to it: on from where it stands, or again from its start.
        sf_count_t position = sf_seek (sndfile, 0, SEEK_CUR);

        if (position < 0 || position > target)
        {
            if (sf_seek (sndfile, 0, SEEK_SET) != 0)
                return kExtAudioFileError_InvalidSeek;

            position = 0;
        }

        const sf_count_t framesPerBlock = std::max<sf_count_t> (1, interleavedBlockSamples / info.channels);

        try
        {
            inExtAudioFile->interleaved.resize (static_cast<size_t> (framesPerBlock) * static_cast<size_t> (info.channels));
        }
        catch (const std::bad_alloc&)
        {
            return kAudio_MemFullError;
        }

        while (position < target)
        {
            const sf_count_t got = sf_readf_float (sndfile, inExtAudioFile->interleaved.data(), std::min (target - position, framesPerBlock));

            if (got <= 0)
                break;

            position += got;
        }
    }
    else if (sf_seek (sndfile, target, SEEK_SET) < 0)
    {
        return kExtAudioFileError_InvalidSeek;
    }

    inExtAudioFile->frame = inFrameOffset;
    return noErr;
}

OSStatus ExtAudioFileRead (ExtAudioFileRef inExtAudioFile, UInt32* ioNumberFrames, AudioBufferList* ioData) noexcept
{
    if (inExtAudioFile == nullptr || ioNumberFrames == nullptr || ioData == nullptr)
        return kAudio_ParamError;

    if (! inExtAudioFile->clientFormatSet)
        return kExtAudioFileError_InvalidOperationOrder;

    const SF_INFO& info = inExtAudioFile->file->info;
    const auto channels = static_cast<UInt32> (info.channels);
    const UInt32 frames = *ioNumberFrames;

    if (ioData->mNumberBuffers != channels)
        return kAudio_ParamError;

    for (UInt32 c = 0; c < channels; ++c)
    {
        const ::AudioBuffer& buffer = ioData->mBuffers[c];

        if (buffer.mData == nullptr || buffer.mNumberChannels != 1
            || buffer.mDataByteSize / sizeof (float) < frames)
            return kAudio_ParamError;
    }

    UInt32 done = 0;

    if (info.frames < 0 || inExtAudioFile->frame < info.frames)
    {
        SNDFILE* sndfile = inExtAudioFile->file->sndfile;

        if (channels == 1)
        {
            done = static_cast<UInt32> (std::max<sf_count_t> (0, sf_readf_float (sndfile, static_cast<float*> (ioData->mBuffers[0].mData), frames)));
        }
        else
        {
            const sf_count_t framesPerBlock = std::max<sf_count_t> (1, interleavedBlockSamples / channels);

            try
            {
                inExtAudioFile->interleaved.resize (static_cast<size_t> (framesPerBlock) * channels);
            }
            catch (const std::bad_alloc&)
            {
                return kAudio_MemFullError;
            }

            float* interleaved = inExtAudioFile->interleaved.data();

            while (done < frames)
            {
                const sf_count_t want = std::min<sf_count_t> (frames - done, framesPerBlock);
                const sf_count_t got = sf_readf_float (sndfile, interleaved, want);

                if (got <= 0)
                    break;

                for (UInt32 c = 0; c < channels; ++c)
                {
                    float* destination = static_cast<float*> (ioData->mBuffers[c].mData) + done;
                    const float* source = interleaved + c;

                    for (sf_count_t i = 0; i < got; ++i)
                        destination[i] = source[i * channels];
                }

                done += static_cast<UInt32> (got);

                if (got < want)
                    break;
            }
        }
    }

    inExtAudioFile->frame += done;
    *ioNumberFrames = done;

    for (UInt32 c = 0; c < channels; ++c)
        ioData->mBuffers[c].mDataByteSize = done * static_cast<UInt32> (sizeof (float));

    return noErr;
}

OSStatus ExtAudioFileDispose (ExtAudioFileRef inExtAudioFile) noexcept
{
    if (inExtAudioFile == nullptr)
        return kAudio_ParamError;

    inExtAudioFile->file->wrapped = false;
    delete inExtAudioFile;
    return noErr;
}
