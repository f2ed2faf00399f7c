#pragma once

#include "audiotoolbox/ByteSource.h"

#include <cstdint>
#include <memory>

/** Decodes an Ogg Vorbis or Opus stream to 32-bit float frames with seeks that land on
    the very samples a decode from the stream's start gives there, in place of
    libsndfile's Ogg seek, which does not: VorbisPcmDecoder over libvorbisfile,
    OpusPcmDecoder over libopusfile. */
class OggPcmDecoder
{
public:
    virtual ~OggPcmDecoder() = default;

    /** Moves to a frame from 0 to the length; false when the stream cannot get there. */
    virtual bool Seek (int64_t frame) noexcept = 0;

    /** Up to count frames into the channels' buffers (one per channel, each with room for
        count); the frames read, 0 at the end of the stream, -1 when decoding failed. The
        stream ends at its length, the last page's granule position, even where the last
        page holds more: a seek cannot reach past that point, so neither does a read. */
    virtual int64_t Read (float* const* channels, uint32_t count) noexcept = 0;

    /** The stream's length in frames, as its last granule position gives it. */
    int64_t GetLength() const noexcept { return length; }

    /** The frame read next; -1 after a failed seek or read, until the next seek. */
    int64_t GetPosition() const noexcept { return position; }

    /** How far before its target an Opus seek starts decoding: the decoder's state
        (energy prediction, filter memories) has converged to the sequential decode's,
        to the bit, within half a second in every stream measured; four times that. */
    static constexpr int64_t opusPreRollFrames = 2 * 48000;

protected:
    int64_t position = 0;
    int64_t length = 0;

    /** The frames of a read of count frames that lie before the end of the stream. */
    uint32_t FramesBeforeTheEnd (uint32_t count) const noexcept;
};

/** A decoder over the bytes for a single-stream Ogg Vorbis or Opus file whose layout is
    the one given (channels, rate and length as libsndfile reports them), starting at
    frame 0; null for any other file, or one whose layout differs (a chain of streams,
    a stream that starts past granule 0, an Opus header gain, another decoding rate). */
std::unique_ptr<OggPcmDecoder> OpenOggPcmDecoder (const ByteSource& bytes, bool isOpus, int channels,
                                                  int sampleRate, int64_t frames) noexcept;
