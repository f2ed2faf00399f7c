#pragma once

#include "audiotoolbox/OggPageDecoder.h"

#include <opus_multistream.h>
#include <opusfile.h>

#include <vector>

/** The Opus part of OggPageDecoder, on libopus's multistream decoder at 48 kHz, set up as
    libopusfile sets it (the header's output gain applied by the decoder, the pre-skip left
    out), so that an ordinary stream decodes to libopusfile's very floats. An Opus decoder
    carries state from packet to packet that a fresh decoder does not regain (at low bit
    rates its fixed-point filter memories stay apart for minutes), so its seeks decode on
    from copies of the state: libopus makes the multistream decoder one block of memory
    that may be copied whole. A copy refers to libopus's constant tables, so it is good
    only inside this process. */
class OpusPcmDecoder final : public OggPageDecoder
{
public:
    explicit OpusPcmDecoder (const ByteSource& bytes) noexcept : OggPageDecoder (bytes) {}
    ~OpusPcmDecoder() override;

private:
    OpusHead head {};
    OpusMSDecoder* decoder = nullptr;
    std::vector<float> decoded; // the last packet's frames, interleaved

    // The longest Opus packet: 120 ms at 48 kHz.
    static constexpr int mostPacketFrames = 5760;

    bool IsCodecHeader (const unsigned char* packet, long bytes) const noexcept override;
    int GetHeaderCount() const noexcept override { return 2; }
    bool ReadHeader (ogg_packet& packet, int index) noexcept override;
    int GetStreamChannels() const noexcept override { return head.channel_count; }
    int GetStreamRate() const noexcept override { return 48000; }
    int64_t GetLeadingFrames() const noexcept override { return head.pre_skip; }
    int64_t GetMostPacketFrames() const noexcept override { return mostPacketFrames; }
    int64_t CountFrames (ogg_packet& packet) noexcept override;
    void RestartCount() noexcept override {}
    bool FirstPacketPrimes() const noexcept override { return false; }
    size_t GetStateBytes() const noexcept override;
    void SaveState (unsigned char* to) const noexcept override;
    void RestoreState (const unsigned char* from) noexcept override;
    bool StartDecoder() noexcept override;
    void RestartDecoder() noexcept override;
    int64_t DecodePacket (ogg_packet& packet) noexcept override;
    void CopyBlock (float* const* channels, int64_t offset, int64_t from, int64_t count) noexcept override;
};
