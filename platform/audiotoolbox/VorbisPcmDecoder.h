#pragma once

#include "audiotoolbox/OggPageDecoder.h"

#include <vorbis/codec.h>

/** The Vorbis part of OggPageDecoder, on libvorbis's synthesis. A Vorbis packet's frames
    overlap only the packet before it, so decoding restarted at any page gives the stream's
    own frames from its second audio packet on, with no settling: a seek lands on the very
    samples a decode from the start gives. libvorbis is given no granule positions, so that
    the index alone places and trims the frames. */
class VorbisPcmDecoder final : public OggPageDecoder
{
public:
    explicit VorbisPcmDecoder (const ByteSource& bytes) noexcept : OggPageDecoder (bytes) {}
    ~VorbisPcmDecoder() override;

private:
    vorbis_info info {};
    vorbis_comment comment {};
    vorbis_dsp_state dsp {};
    vorbis_block block {};
    bool headersBegun = false;
    bool decoding = false;
    long previousBlockSize = 0; // of the last audio packet counted; 0: none since the count restarted
    float** pcm = nullptr;      // the last packet's frames, valid until the next one is decoded

    void clear() noexcept;

    bool IsCodecHeader (const unsigned char* packet, long bytes) const noexcept override;
    int GetHeaderCount() const noexcept override { return 3; }
    bool ReadHeader (ogg_packet& packet, int index) noexcept override;
    int GetStreamChannels() const noexcept override { return info.channels; }
    int GetStreamRate() const noexcept override;
    int64_t GetLeadingFrames() const noexcept override { return 0; }
    int64_t GetMostPacketFrames() const noexcept override;
    int64_t CountFrames (ogg_packet& packet) noexcept override;
    void RestartCount() noexcept override { previousBlockSize = 0; }
    bool FirstPacketPrimes() const noexcept override { return true; }
    bool StartDecoder() noexcept override;
    void RestartDecoder() noexcept override;
    int64_t DecodePacket (ogg_packet& packet) noexcept override;
    void CopyBlock (float* const* channels, int64_t offset, int64_t from, int64_t count) noexcept override;
};
