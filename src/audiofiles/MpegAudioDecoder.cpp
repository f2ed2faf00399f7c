// The one source of the library built against JUCE. JUCE keeps its MPEG decoder inside
// its codec source, compiled only when the MP3 format is switched on; the JUCE modules
// library is built with it off, and this file compiles that codec source once more with it
// on (the build sets JUCE_USE_MP3AUDIOFORMAT for this file alone), so that the decoder
// exists exactly once per program and JUCE's own files stay as they are.
#include "audiofiles/MpegAudioDecoder.h"

#include "files/InputStream.h"

#include <juce_audio_formats/juce_audio_formats.h>

#if ! JUCE_USE_MP3AUDIOFORMAT
 #error "This file needs JUCE_USE_MP3AUDIOFORMAT=1"
#endif

#include <juce_audio_formats/codecs/juce_MP3AudioFormat.cpp>

namespace
{
using juce::MP3Decoder::MP3Stream;

// The seek table and the reset of the decoder are private to it. An explicit template
// instantiation may name private members, which gives the reader pointers to these two
// without touching JUCE's source.
template <typename Tag, typename Tag::type member>
struct PrivateMember
{
    friend typename Tag::type get (Tag) { return member; }
};

struct SeekTable
{
    using type = juce::Array<juce::int64> MP3Stream::*;
    friend type get (SeekTable);
};

struct Reset
{
    using type = void (MP3Stream::*)() noexcept;
    friend type get (Reset);
};

template struct PrivateMember<SeekTable, &MP3Stream::frameStreamPositions>;
template struct PrivateMember<Reset, &MP3Stream::reset>;

// JUCE's stream over ours: the decoder reads through its own byte stream.
class SourceStream final : public juce::InputStream
{
public:
    explicit SourceStream (std::unique_ptr<kul::InputStream> sourceToUse) : source (std::move (sourceToUse)) {}

    juce::int64 getTotalLength() override { return source->GetTotalLength(); }
    bool isExhausted() override { return source->IsExhausted(); }
    juce::int64 getPosition() override { return source->GetPosition(); }
    bool setPosition (juce::int64 newPosition) override { return source->SetPosition (newPosition); }

    int read (void* destination, int maxBytesToRead) override
    {
        if (maxBytesToRead <= 0)
            return 0;

        return static_cast<int> (source->Read (destination, maxBytesToRead));
    }

private:
    std::unique_ptr<kul::InputStream> source;
};

// How far the decoder looks for the next frame header before it gives up (its own limit).
constexpr juce::int64 headerSearchBytes = 32768;
} // namespace

namespace kul
{

struct MpegAudioDecoder::Impl
{
    explicit Impl (std::unique_ptr<InputStream> source) : sourceStream (std::move (source)), stream (sourceStream) {}

    SourceStream sourceStream;
    MP3Stream stream;
    uint32_t vbrFrameCount = 0;
};

MpegAudioDecoder::MpegAudioDecoder (std::unique_ptr<InputStream> source)
    : impl (std::make_unique<Impl> (std::move (source)))
{
}

MpegAudioDecoder::~MpegAudioDecoder() = default;

int MpegAudioDecoder::DecodeNextBlock (float* left, float* right, int& samplesDone)
{
    samplesDone = 0;
    auto& stream = impl->stream;
    const int result = stream.decodeNextBlock (left, right, samplesDone);

    // The decoder looks for a VBR header again at the next frame and forgets the one it
    // found, so the count is taken as soon as it is there. It is there only when the
    // header's flag says so; otherwise the field was never written.
    if (stream.vbrHeaderFound && (stream.vbrTagData.flags & 1) != 0)
        impl->vbrFrameCount = stream.vbrTagData.frames;

    return result;
}

MpegAudioDecoder::FrameHeader MpegAudioDecoder::GetFrameHeader() const noexcept
{
    const auto& frame = impl->stream.frame;
    FrameHeader header;
    header.sampleRateIndex = frame.sampleRateIndex;
    header.numChannels = frame.numChannels;
    header.frameSize = frame.frameSize;

    if (frame.layer == 1)
        header.samplesPerFrame = 384;
    else if (frame.layer == 3 && frame.lsf != 0)
        header.samplesPerFrame = 576;
    else
        header.samplesPerFrame = 1152;

    return header;
}

uint32_t MpegAudioDecoder::GetVbrFrameCount() const noexcept
{
    return impl->vbrFrameCount;
}

int64_t MpegAudioDecoder::GetStreamPosition() const
{
    return impl->stream.stream.getPosition();
}

int64_t MpegAudioDecoder::GetTotalLength() const
{
    return impl->stream.stream.getTotalLength();
}

bool MpegAudioDecoder::IsExhausted() const
{
    return impl->stream.stream.isExhausted();
}

bool MpegAudioDecoder::HasReachedEndOfStream() const
{
    const auto total = GetTotalLength();
    return IsExhausted() || (total >= 0 && total - GetStreamPosition() <= headerSearchBytes);
}

int MpegAudioDecoder::GetNumSeekTableEntries() const noexcept
{
    return (impl->stream.*get (SeekTable {})).size();
}

int MpegAudioDecoder::GetCurrentFrameIndex() const noexcept
{
    return impl->stream.currentFrameIndex;
}

bool MpegAudioDecoder::JumpToFrame (int frameIndex)
{
    auto& stream = impl->stream;
    const auto& table = stream.*get (SeekTable {});
    const int entry = frameIndex / framesPerSeekTableEntry;

    if (frameIndex < 0 || frameIndex % framesPerSeekTableEntry != 0 || entry >= table.size())
        return false;

    stream.stream.setPosition (table.getUnchecked (entry));
    stream.currentFrameIndex = frameIndex;
    (stream.*get (Reset {}))();
    return true;
}

} // namespace kul
