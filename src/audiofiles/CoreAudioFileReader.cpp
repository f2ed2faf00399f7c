#include "audiofiles/CoreAudioFileReader.h"

#include "files/File.h"
#include "files/FileReader.h"
#include "memory/Memory.h"
#include "text/StringHelper.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <limits>

namespace kul
{
CoreAudioFileReader::CoreAudioFileReader (const File& file)
{
    OpenFile (file, FormatNameFromExtension (file));
    isFloatingPoint = true;
    bitsPerSample = 32;
    Open();
}

CoreAudioFileReader::~CoreAudioFileReader()
{
    if (extAudioFile != nullptr)
        ExtAudioFileDispose (extAudioFile);

    if (audioFileID != nullptr)
        AudioFileClose (audioFileID);

    Free (bufferList);
}

void CoreAudioFileReader::Open()
{
    if (AudioFileOpenWithCallbacks (this, ReadCallback, nullptr, SizeCallback, nullptr, 0, &audioFileID) != noErr)
    {
        audioFileID = nullptr;
        return;
    }

    if (ExtAudioFileWrapAudioFileID (audioFileID, false, &extAudioFile) != noErr)
    {
        extAudioFile = nullptr;
        return;
    }

    AudioStreamBasicDescription fileFormat {};
    UInt32 size = sizeof (fileFormat);
    ExtAudioFileGetProperty (extAudioFile, kExtAudioFileProperty_FileDataFormat, &size, &fileFormat);
    numChannels = fileFormat.mChannelsPerFrame;
    sampleRate = fileFormat.mSampleRate;

    SInt64 fileFrames = 0;
    size = sizeof (fileFrames);
    ExtAudioFileGetProperty (extAudioFile, kExtAudioFileProperty_FileLengthFrames, &size, &fileFrames);

    // A length the service does not know (negative) is none. One more than the file's bytes
    // could hold in any format is no length to read by, but is kept as declared: a load
    // refuses the file for it before decoding anything.
    declaredFrames = fileFrames >= 0 ? static_cast<uint64_t> (fileFrames) : 0;
    numFrames = declaredFrames <= GetMostFramesBacked() ? static_cast<int64_t> (declaredFrames) : 0;

    clientFormat.mSampleRate = sampleRate;
    clientFormat.mFormatID = kAudioFormatLinearPCM;
    clientFormat.mFormatFlags = kAudioFormatFlagIsFloat | kAudioFormatFlagIsNonInterleaved;
    clientFormat.mBytesPerPacket = sizeof (float);
    clientFormat.mFramesPerPacket = 1;
    clientFormat.mBytesPerFrame = sizeof (float);
    clientFormat.mChannelsPerFrame = numChannels;
    clientFormat.mBitsPerChannel = 32;

    if (ExtAudioFileSetProperty (extAudioFile, kExtAudioFileProperty_ClientDataFormat, sizeof (clientFormat), &clientFormat) != noErr)
        return;

    if (numChannels == 0)
        return;

    // The list holds one buffer in its own size and the others after it.
    constexpr size_t most = std::numeric_limits<size_t>::max();
    const size_t extraBuffers = numChannels - 1;

    if (extraBuffers > (most - sizeof (AudioBufferList)) / sizeof (::AudioBuffer))
        return;

    bufferList = static_cast<AudioBufferList*> (Malloc (sizeof (AudioBufferList) + extraBuffers * sizeof (::AudioBuffer)));

    if (bufferList == nullptr)
        return;

    bufferList->mNumberBuffers = numChannels;
    isOpen = true;
}

bool CoreAudioFileReader::ReadSamples (int** destChannels, uint64_t numFramesToRead, int64_t startFrame)
{
    framesDeliveredByLastRead = 0;

    if (numFramesToRead == 0)
        return true;

    if (! isOpen)
        return false;

    if (startFrame != currentFrame)
    {
        if (ExtAudioFileSeek (extAudioFile, startFrame) != noErr)
            return false;

        currentFrame = startFrame;
    }

    // framesPerTransfer x 4 bytes x the channels, refused when that cannot be had.
    constexpr size_t bytesPerSample = sizeof (float);
    const size_t channels = numChannels;

    if (channels > std::numeric_limits<size_t>::max() / (size_t (framesPerTransfer) * bytesPerSample))
        return false;

    bool ended = false;

    for (uint64_t done = 0; done < numFramesToRead;)
    {
        const auto frames = static_cast<UInt32> (std::min<uint64_t> (numFramesToRead - done, framesPerTransfer));
        const size_t channelBytes = size_t (frames) * bytesPerSample;
        transferBlock.EnsureSize (channelBytes * channels, false);
        auto* transfer = static_cast<unsigned char*> (transferBlock.GetData());

        for (size_t c = 0; c < channels; ++c)
            bufferList->mBuffers[c] = { 1, static_cast<UInt32> (channelBytes), transfer + c * channelBytes };

        UInt32 delivered = 0;

        if (! ended)
        {
            delivered = frames;

            if (ExtAudioFileRead (extAudioFile, &delivered, bufferList) != noErr)
                return false;

            delivered = std::min (delivered, frames);
            ended = delivered < frames;
        }

        for (size_t c = 0; c < channels; ++c)
        {
            if (destChannels[c] == nullptr)
                continue;

            auto* destination = reinterpret_cast<unsigned char*> (destChannels[c] + done);
            std::memcpy (destination, transfer + c * channelBytes, size_t (delivered) * bytesPerSample);
            std::memset (destination + size_t (delivered) * bytesPerSample, 0, size_t (frames - delivered) * bytesPerSample);
        }

        currentFrame += delivered;
        framesDeliveredByLastRead += delivered;
        done += frames;
    }

    return true;
}

uint64_t CoreAudioFileReader::CountFramesHeldByLastRead (uint64_t, int64_t) const noexcept
{
    return framesDeliveredByLastRead;
}

OSStatus CoreAudioFileReader::ReadCallback (void* clientData, SInt64 position, UInt32 requestCount, void* buffer, UInt32* actualCount)
{
    auto& reader = *static_cast<CoreAudioFileReader*> (clientData)->fileReader;
    reader.SetPosition (position);
    const int64_t got = reader.Read (buffer, requestCount);
    *actualCount = static_cast<UInt32> (std::clamp<int64_t> (got, 0, requestCount));
    return noErr;
}

SInt64 CoreAudioFileReader::SizeCallback (void* clientData)
{
    return static_cast<CoreAudioFileReader*> (clientData)->fileReader->GetTotalLength();
}

} // namespace kul
