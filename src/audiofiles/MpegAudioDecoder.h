#pragma once

#include <cstdint>
#include <memory>

namespace kul
{
class InputStream;

/** The MPEG audio decoder of JUCE's audio-formats module (layers I, II and III of
    MPEG-1, 2 and 2.5, with "Xing"/"Info" VBR headers), driven block by block.
    It lives in a library of its own, the one place where the library meets JUCE, so
    that JUCE is linked only into programs that load audio files. */
class MpegAudioDecoder
{
public:
    /** Decodes from the stream's current position; the stream is the decoder's own. */
    explicit MpegAudioDecoder (std::unique_ptr<InputStream> source);
    ~MpegAudioDecoder();

    MpegAudioDecoder (const MpegAudioDecoder&) = delete;
    MpegAudioDecoder& operator= (const MpegAudioDecoder&) = delete;

    /** The most samples per channel that one block delivers. */
    static constexpr int maxSamplesPerFrame = 1152;

    /** Decodes the next block into left and right (both null: the frame is skipped).
        0: a frame was decoded and samplesDone samples per channel were written; above 0:
        input was consumed without a frame (a VBR header frame, the first header after a
        jump); below 0: no frame header was found. */
    int DecodeNextBlock (float* left, float* right, int& samplesDone);

    /** What the header of the last frame decoded says. */
    struct FrameHeader
    {
        int sampleRateIndex = 0; // 0 .. 8: MPEG-1, 2, 2.5, three rates each
        int numChannels = 0;
        int frameSize = 0;       // bytes, without the 4 header bytes
        int samplesPerFrame = 0; // 384 for layer I, 576 for MPEG-2/2.5 layer III, else 1152
    };

    FrameHeader GetFrameHeader() const noexcept;

    /** The frame count of the last "Xing"/"Info" header decoded that carries one, else 0. */
    uint32_t GetVbrFrameCount() const noexcept;

    int64_t GetStreamPosition() const;
    int64_t GetTotalLength() const;
    bool IsExhausted() const;

    /** True when no frame header can follow: the decoder's search for the next header
        reaches the end of the stream from where it stands. */
    bool HasReachedEndOfStream() const;

    /** The seek table holds the stream position of every fourth frame decoded so far;
        frames are counted from the first frame header, a VBR header frame included. */
    static constexpr int framesPerSeekTableEntry = 4;
    int GetNumSeekTableEntries() const noexcept;
    int GetCurrentFrameIndex() const noexcept;

    /** Moves the stream to the stored position of entry frameIndex / 4, makes frameIndex
        (a multiple of 4) the current frame and forgets the bit reservoir and partial-frame
        state. False, with nothing changed, when there is no such entry. */
    bool JumpToFrame (int frameIndex);

private:
    struct Impl;
    std::unique_ptr<Impl> impl;
};

} // namespace kul
