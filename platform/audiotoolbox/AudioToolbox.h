#pragma once

#include <cstdint>

/*  The audio-file services the readers call, shaped like the platform's AudioFile and
    ExtAudioFile services: a file is opened over the caller's read and size callbacks,
    wrapped in a converting reader, and read as 32-bit float, non-interleaved frames at
    the file's own rate and channel count. Underneath, the file is parsed and decoded
    by libsndfile, so whatever it reads can be read here; Ogg Vorbis and Opus files are
    decoded by libvorbis and libopus over an index of their pages (OggPageDecoder), every
    link of a chain of streams (of which libsndfile reads only the first) included; an Ogg
    file whose first stream is Vorbis is not given to libsndfile at all. A chain that would lose
    links (they differ in channels or rate, or one is of another codec) is refused as
    kAudioFileInvalidFileError. Only reading is offered, and only that one client format is
    converted to; anything else answers an error code. None of the calls throws.
*/

using OSStatus = std::int32_t;
using UInt32 = std::uint32_t;
using SInt64 = std::int64_t;
using Float64 = double;
using Boolean = unsigned char;

using AudioFormatID = UInt32;
using AudioFormatFlags = UInt32;
using AudioFileTypeID = UInt32;
using ExtAudioFilePropertyID = UInt32;

struct OpaqueAudioFileID;
struct OpaqueExtAudioFile;
using AudioFileID = OpaqueAudioFileID*;
using ExtAudioFileRef = OpaqueExtAudioFile*;

/** The shape of a stream of audio: 40 bytes, as the property calls pass it. */
struct AudioStreamBasicDescription
{
    Float64 mSampleRate;
    AudioFormatID mFormatID;
    AudioFormatFlags mFormatFlags;
    UInt32 mBytesPerPacket;
    UInt32 mFramesPerPacket;
    UInt32 mBytesPerFrame;
    UInt32 mChannelsPerFrame;
    UInt32 mBitsPerChannel;
    UInt32 mReserved;
};

struct AudioBuffer
{
    UInt32 mNumberChannels;
    UInt32 mDataByteSize;
    void* mData;
};

/** A count followed by that many buffers; allocated by the caller with room for all of them. */
struct AudioBufferList
{
    UInt32 mNumberBuffers;
    AudioBuffer mBuffers[1];
};

constexpr OSStatus noErr = 0;

enum : OSStatus
{
    kAudio_ParamError = -50,
    kAudio_MemFullError = -108,
    kAudioFileUnsupportedFileTypeError = 0x7479703f,      // 'typ?'
    kAudioFileInvalidFileError = 0x6474613f,              // 'dta?'
    kAudioFileOperationNotSupportedError = 0x6f703f3f,    // 'op??'
    kExtAudioFileError_InvalidProperty = -66561,
    kExtAudioFileError_InvalidPropertySize = -66562,
    kExtAudioFileError_InvalidDataFormat = -66565,
    kExtAudioFileError_InvalidOperationOrder = -66567,
    kExtAudioFileError_InvalidSeek = -66568
};

enum : AudioFormatID
{
    kAudioFormatLinearPCM = 0x6c70636d // 'lpcm'
};

enum : AudioFormatFlags
{
    kAudioFormatFlagIsFloat = 1u << 0,
    kAudioFormatFlagIsNonInterleaved = 1u << 5
};

enum : ExtAudioFilePropertyID
{
    kExtAudioFileProperty_FileDataFormat = 0x66666d74,  // 'ffmt'
    kExtAudioFileProperty_FileLengthFrames = 0x2366726d, // '#frm'
    kExtAudioFileProperty_ClientDataFormat = 0x63666d74 // 'cfmt'
};

/** Reads up to requestCount bytes at inPosition into buffer and reports how many arrived. */
using AudioFile_ReadProc = OSStatus (*) (void* inClientData, SInt64 inPosition, UInt32 requestCount,
                                         void* buffer, UInt32* actualCount);
using AudioFile_WriteProc = OSStatus (*) (void* inClientData, SInt64 inPosition, UInt32 requestCount,
                                          const void* buffer, UInt32* actualCount);
/** The total length of the file in bytes. */
using AudioFile_GetSizeProc = SInt64 (*) (void* inClientData);
using AudioFile_SetSizeProc = OSStatus (*) (void* inClientData, SInt64 inSize);

/** Opens a file for reading over the callbacks; the read and size callbacks are needed,
    the writing ones must be null. The type hint is not needed: the bytes tell the format. */
OSStatus AudioFileOpenWithCallbacks (void* inClientData, AudioFile_ReadProc inReadFunc,
                                     AudioFile_WriteProc inWriteFunc, AudioFile_GetSizeProc inGetSizeFunc,
                                     AudioFile_SetSizeProc inSetSizeFunc, AudioFileTypeID inFileTypeHint,
                                     AudioFileID* outAudioFile) noexcept;

/** Closes the file; the converting reader wrapped around it must be disposed of first. */
OSStatus AudioFileClose (AudioFileID inAudioFile) noexcept;

/** Wraps a converting reader around an open file; writing is not offered. */
OSStatus ExtAudioFileWrapAudioFileID (AudioFileID inFileID, Boolean inForWriting, ExtAudioFileRef* outExtAudioFile) noexcept;

/** The file's data format (an AudioStreamBasicDescription: rate and channels) or its length
    in frames (SInt64), into a property of exactly that size. */
OSStatus ExtAudioFileGetProperty (ExtAudioFileRef inExtAudioFile, ExtAudioFilePropertyID inPropertyID,
                                  UInt32* ioPropertyDataSize, void* outPropertyData) noexcept;

/** Sets the client format. The one accepted: linear PCM, 32-bit float, non-interleaved
    (the flags IsFloat and IsNonInterleaved, no others), 4 bytes per packet and per frame,
    1 frame per packet, 32 bits, the file's own rate and channel count. */
OSStatus ExtAudioFileSetProperty (ExtAudioFileRef inExtAudioFile, ExtAudioFilePropertyID inPropertyID,
                                  UInt32 inPropertyDataSize, const void* inPropertyData) noexcept;

/** Moves to a frame; a frame at or past the end (the declared one, or an earlier one where
    the stream was found to end) is allowed and reads nothing. A failed seek spoils no later
    one, and a seek in an Ogg Vorbis or Opus stream lands on the very samples that a decode
    from its start gives there (see OggPageDecoder). */
OSStatus ExtAudioFileSeek (ExtAudioFileRef inExtAudioFile, SInt64 inFrameOffset) noexcept;

/** Reads up to *ioNumberFrames frames into the list's buffers (one per channel, each with room
    for them) and sets *ioNumberFrames and each buffer's byte size to what was delivered:
    fewer at the end of the file, 0 past it. Needs the client format set. */
OSStatus ExtAudioFileRead (ExtAudioFileRef inExtAudioFile, UInt32* ioNumberFrames, AudioBufferList* ioData) noexcept;

OSStatus ExtAudioFileDispose (ExtAudioFileRef inExtAudioFile) noexcept;
