#pragma once

#include "audiotoolbox/OggPcmDecoder.h"

#include <opusfile.h>

#include <vector>

/** An Ogg Opus stream decoded by libopusfile, which places every packet by granule
    position, also after a gap. An Opus decoder carries state from packet to packet, so a
    seek starts decoding opusPreRollFrames before the target (the state is then the
    sequential decode's, within the bound told there), or at the start of the target's link,
    where the decoder starts afresh, and discards up to it; where libopusfile cannot seek
    there (the frame lies in a page lost to damage), it starts earlier. */
class OpusPcmDecoder final : public OggPcmDecoder
{
public:
    explicit OpusPcmDecoder (const ByteSource& bytes) noexcept : source (bytes) {}
    ~OpusPcmDecoder() override;

    /** Opens the file and finds its links, decoded at 48 kHz; false when libopusfile does
        not open it. */
    bool Open() noexcept;

private:
    ByteSource source;
    OggOpusFile* file = nullptr;
    std::vector<float> interleaved; // the last block

    static constexpr int64_t interleavedSamples = 16384;

    int64_t DecodeBlock (Block& block) noexcept override;
    void CopyBlock (float* const* channels, int64_t offset, int64_t from, int64_t count) noexcept override;
    bool SeekLibraryBefore (int64_t target, int link) noexcept override;
    bool DecodesForwardTo (int64_t target) const noexcept override;

    static int readBytes (void* stream, unsigned char* destination, int count);
    static int seekBytes (void* stream, opus_int64 offset, int whence);
    static opus_int64 tellBytes (void* stream);
};
