#pragma once

#include "audiotoolbox/OggPcmDecoder.h"

#include <opusfile.h>

#include <vector>

/** An Ogg Opus stream decoded by libopusfile. An Opus decoder carries state from packet to
    packet, so a seek starts decoding opusPreRollFrames before the target (the state is then
    the sequential decode's, to the bit) and discards up to it. */
class OpusPcmDecoder final : public OggPcmDecoder
{
public:
    explicit OpusPcmDecoder (const ByteSource& bytes) noexcept : source (bytes) {}
    ~OpusPcmDecoder() override;

    /** Opens the stream; false unless it is a single seekable stream without a header gain,
        with the channels and length given, decoded at 48 kHz (the rate given). */
    bool Open (int channels, int sampleRate, int64_t frames) noexcept;

    bool Seek (int64_t frame) noexcept override;
    int64_t Read (float* const* channels, uint32_t count) noexcept override;

private:
    ByteSource source;
    OggOpusFile* file = nullptr;
    int channelCount = 0;
    std::vector<float> interleaved;

    static constexpr int64_t interleavedSamples = 16384;

    int64_t framesPerBlock() const noexcept { return int64_t (interleaved.size()) / channelCount; }
    int decode (int frames) noexcept;

    static int readBytes (void* stream, unsigned char* destination, int count);
    static int seekBytes (void* stream, opus_int64 offset, int whence);
    static opus_int64 tellBytes (void* stream);
};
