#include "audiotoolbox/AudioToolbox.h"

#include "audiotoolbox/ByteSource.h"
#include "audiotoolbox/OggPcmDecoder.h"

#include <sndfile.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <vector>

// The file and the converting reader are plain records behind the opaque handles.
struct OpaqueAudioFileID
{
    ByteSource bytes; // what libsndfile reads through
    SNDFILE* sndfile = nullptr;
    SF_INFO info {};
    std::unique_ptr<OggPcmDecoder> ogg; // decodes an Ogg Vorbis or Opus file in libsndfile's place
    SInt64 knownEnd = -1; // where the decoded stream was found to end, when it ended before its declared length
    bool wrapped = false;
};

struct OpaqueExtAudioFile
{
    AudioFileID file = nullptr;
    bool clientFormatSet = false;
    SInt64 frame = 0; // the frame read next; may lie past the end
    std::vector<float> interleaved;
    std::vector<float*> channels;
};

namespace
{
// libsndfile's virtual I/O, on the file's byte source.
sf_count_t fileLength (void* userData)
{
    return static_cast<AudioFileID> (userData)->bytes.Length();
}

sf_count_t seekFile (sf_count_t offset, int whence, void* userData)
{
    return static_cast<AudioFileID> (userData)->bytes.Seek (offset, whence);
}

sf_count_t readFile (void* destination, sf_count_t count, void* userData)
{
    return static_cast<AudioFileID> (userData)->bytes.Read (destination, count);
}

sf_count_t writeFile (const void*, sf_count_t, void*)
{
    return 0;
}

sf_count_t tellFile (void* userData)
{
    return static_cast<AudioFileID> (userData)->bytes.position;
}

SNDFILE* openSndfile (AudioFileID file, SF_INFO& info)
{
    SF_VIRTUAL_IO io { fileLength, seekFile, readFile, writeFile, tellFile };
    file->bytes.position = 0;
    info = {};
    return sf_open_virtual (&io, SFM_READ, &info, file);
}

// A fresh libsndfile handle at frame 0 in place of the file's own; false (with no handle
// left) when the bytes no longer open as the same stream.
bool reopenSndfile (AudioFileID file)
{
    if (file->sndfile != nullptr)
        sf_close (file->sndfile);

    SF_INFO info {};
    file->sndfile = openSndfile (file, info);

    if (file->sndfile != nullptr && info.format == file->info.format && info.channels == file->info.channels
        && info.samplerate == file->info.samplerate)
        return true;

    if (file->sndfile != nullptr)
        sf_close (file->sndfile);

    file->sndfile = nullptr;
    return false;
}

// Decodes the file's stream with libsndfile from where it stands, position, up to
// target, and answers where it stopped: target, or an earlier end of the stream.
sf_count_t decodeForward (AudioFileID file, std::vector<float>& block, sf_count_t position, sf_count_t target)
{
    const sf_count_t framesPerBlock = sf_count_t (block.size()) / file->info.channels;

    while (position < target)
    {
        const sf_count_t got = sf_readf_float (file->sndfile, block.data(), std::min (target - position, framesPerBlock));

        if (got <= 0)
            break;

        position += got;
    }

    return position;
}

// Frames in a block of interleaved samples that passes through the reader's own buffer.
constexpr sf_count_t interleavedBlockSamples = 16384;

bool makeRoomForBlock (std::vector<float>& block, int channels)
{
    try
    {
        block.resize (size_t (std::max<sf_count_t> (1, interleavedBlockSamples / channels)) * size_t (channels));
        return true;
    }
    catch (const std::bad_alloc&)
    {
        return false;
    }
}

// Ogg Vorbis and Opus files are decoded by our Ogg decoders, on the codecs' own libraries,
// wherever they open the file: they read every link of a chain, where libsndfile reads only
// the first, and their seeks are exact. A chain whose links differ in channels or rate is
// refused, as is a chain the decoders cannot open (another codec in a link): read by
// libsndfile, it would lose all but its first link. libsndfile keeps a single Opus stream
// coded from another rate than 48 kHz, which it decodes at that rate where ours give 48 kHz.
OSStatus openOggDecoder (AudioFileID file)
{
    SF_INFO& info = file->info;
    const int subtype = info.format & SF_FORMAT_SUBMASK;

    if ((info.format & SF_FORMAT_TYPEMASK) != SF_FORMAT_OGG || (subtype != SF_FORMAT_VORBIS && subtype != SF_FORMAT_OPUS))
        return noErr;

    ByteSource bytes = file->bytes;
    bytes.position = 0;
    auto decoder = OpenOggPcmDecoder (bytes, subtype == SF_FORMAT_OPUS);

    if (decoder == nullptr)
        return HoldsSeveralOggLinks (bytes) ? kAudioFileInvalidFileError : noErr;

    if (decoder->GetChannelCount() <= 0)
        return kAudioFileInvalidFileError;

    if (decoder->GetLinkCount() == 1 && decoder->GetSampleRate() != info.samplerate)
        return noErr;

    info.channels = decoder->GetChannelCount();
    info.samplerate = decoder->GetSampleRate();
    info.frames = decoder->GetLength();
    file->ogg = std::move (decoder);

    // libsndfile's own decoder is not needed any more.
    sf_close (file->sndfile);
    file->sndfile = nullptr;
    return noErr;
}

// An Ogg Vorbis file is opened by the Ogg decoder alone: libsndfile would parse the same
// headers with the same library, and leaks what it allocated when it gives up on damaged ones.
OSStatus openOggVorbis (AudioFileID file)
{
    auto decoder = OpenOggPcmDecoder (file->bytes, false);

    if (decoder == nullptr || decoder->GetChannelCount() <= 0)
        return kAudioFileInvalidFileError;

    file->info = {};
    file->info.format = SF_FORMAT_OGG | SF_FORMAT_VORBIS;
    file->info.channels = decoder->GetChannelCount();
    file->info.samplerate = decoder->GetSampleRate();
    file->info.frames = decoder->GetLength();
    file->ogg = std::move (decoder);
    return noErr;
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

    file->bytes.clientData = inClientData;
    file->bytes.read = inReadFunc;
    file->bytes.getSize = inGetSizeFunc;

    if (BeginsWithOggVorbis (file->bytes))
    {
        if (const OSStatus refusal = openOggVorbis (file); refusal != noErr)
        {
            AudioFileClose (file);
            return refusal;
        }

        *outAudioFile = file;
        return noErr;
    }

    file->sndfile = openSndfile (file, file->info);

    if (file->sndfile == nullptr || file->info.channels <= 0 || file->info.samplerate <= 0)
    {
        if (file->sndfile != nullptr)
            sf_close (file->sndfile);

        delete file;
        return kAudioFileUnsupportedFileTypeError;
    }

    if (const OSStatus refusal = openOggDecoder (file); refusal != noErr)
    {
        AudioFileClose (file);
        return refusal;
    }

    *outAudioFile = file;
    return noErr;
}

OSStatus AudioFileClose (AudioFileID inAudioFile) noexcept
{
    if (inAudioFile == nullptr)
        return kAudio_ParamError;

    if (inAudioFile->sndfile != nullptr)
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

            // libsndfile's largest count stands for a length the file does not declare
            // (a streamed FLAC); the service answers -1 for that.
            const SInt64 frames = info.frames == SF_COUNT_MAX ? -1 : info.frames;
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
    AudioFileID file = inExtAudioFile->file;
    const SF_INFO& info = file->info;
    sf_count_t target = info.frames >= 0 ? std::min<sf_count_t> (inFrameOffset, info.frames) : inFrameOffset;

    if (file->knownEnd >= 0)
        target = std::min (target, file->knownEnd);

    if (file->ogg != nullptr)
    {
        if (! file->ogg->Seek (target))
            return kExtAudioFileError_InvalidSeek;

        inExtAudioFile->frame = inFrameOffset;
        return noErr;
    }

    if (! makeRoomForBlock (inExtAudioFile->interleaved, info.channels))
        return kAudio_MemFullError;

    if (file->sndfile == nullptr && ! reopenSndfile (file))
        return kExtAudioFileError_InvalidSeek;

    if ((info.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_OGG)
    {
        // What libsndfile's seek in Ogg streams gives can lie some frames away from the
        // target, so the stream is decoded up to it: on from where it stands, or again from its start.
        sf_count_t position = sf_seek (file->sndfile, 0, SEEK_CUR);

        if (position < 0 || position > target)
        {
            if (sf_seek (file->sndfile, 0, SEEK_SET) != 0 && ! reopenSndfile (file))
                return kExtAudioFileError_InvalidSeek;

            position = 0;
        }

        decodeForward (file, inExtAudioFile->interleaved, position, target);
    }
    else if (sf_seek (file->sndfile, target, SEEK_SET) < 0)
    {
        // After one failed seek (past the real end of a FLAC file cut short, or one that
        // claims more frames than it holds) libsndfile refuses every later one, so a fresh
        // handle takes its place. Where that cannot seek either, the stream is decoded up to
        // the target, and an end met before it is remembered: the reader stays there.
        if (! reopenSndfile (file))
            return kExtAudioFileError_InvalidSeek;

        if (sf_seek (file->sndfile, target, SEEK_SET) < 0)
        {
            if (! reopenSndfile (file))
                return kExtAudioFileError_InvalidSeek;

            const sf_count_t reached = decodeForward (file, inExtAudioFile->interleaved, 0, target);

            if (reached < target)
                file->knownEnd = reached;
        }
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

    AudioFileID file = inExtAudioFile->file;
    SInt64 end = info.frames >= 0 ? info.frames : std::numeric_limits<SInt64>::max();

    if (file->knownEnd >= 0)
        end = std::min (end, file->knownEnd);

    UInt32 done = 0;

    if (inExtAudioFile->frame < end && file->ogg != nullptr)
    {
        try
        {
            inExtAudioFile->channels.resize (channels);
        }
        catch (const std::bad_alloc&)
        {
            return kAudio_MemFullError;
        }

        for (UInt32 c = 0; c < channels; ++c)
            inExtAudioFile->channels[c] = static_cast<float*> (ioData->mBuffers[c].mData);

        // After a failed read the decoder no longer knows where it stands.
        if (file->ogg->GetPosition() != inExtAudioFile->frame && ! file->ogg->Seek (inExtAudioFile->frame))
            return kExtAudioFileError_InvalidSeek;

        const int64_t got = file->ogg->Read (inExtAudioFile->channels.data(), frames);

        if (got < 0)
            return kExtAudioFileError_InvalidDataFormat;

        done = static_cast<UInt32> (got);
    }
    else if (inExtAudioFile->frame < end)
    {
        if (file->sndfile == nullptr)
            return kExtAudioFileError_InvalidOperationOrder;

        if (! makeRoomForBlock (inExtAudioFile->interleaved, info.channels))
            return kAudio_MemFullError;

        const sf_count_t framesPerBlock = sf_count_t (inExtAudioFile->interleaved.size()) / channels;
        float* interleaved = inExtAudioFile->interleaved.data();

        if (channels == 1)
            done = static_cast<UInt32> (std::max<sf_count_t> (0, sf_readf_float (file->sndfile, static_cast<float*> (ioData->mBuffers[0].mData), frames)));

        while (channels > 1 && done < frames)
        {
            const sf_count_t want = std::min<sf_count_t> (frames - done, framesPerBlock);
            const sf_count_t got = sf_readf_float (file->sndfile, interleaved, want);

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

        // A stream that ends before its declared length ends there for every later seek too.
        if (done < frames && info.frames >= 0 && inExtAudioFile->frame + done < info.frames)
            file->knownEnd = inExtAudioFile->frame + done;
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
