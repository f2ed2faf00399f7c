#include "audiotoolbox/OpusPcmDecoder.h"

#include <climits>
#include <cstring>
#include <new>

OpusPcmDecoder::~OpusPcmDecoder()
{
    if (decoder != nullptr)
        opus_multistream_decoder_destroy (decoder);
}

bool OpusPcmDecoder::IsCodecHeader (const unsigned char* packet, long bytes) const noexcept
{
    return bytes >= 8 && std::memcmp (packet, "OpusHead", 8) == 0;
}

bool OpusPcmDecoder::ReadHeader (ogg_packet& packet, int index) noexcept
{
    if (packet.bytes < 8 || packet.bytes > INT_MAX)
        return false;

    if (index == 1)
        return std::memcmp (packet.packet, "OpusTags", 8) == 0;

    if (decoder != nullptr)
    {
        opus_multistream_decoder_destroy (decoder);
        decoder = nullptr;
    }

    return opus_head_parse (&head, packet.packet, size_t (packet.bytes)) == 0;
}

int64_t OpusPcmDecoder::CountFrames (ogg_packet& packet) noexcept
{
    if (packet.bytes <= 0 || packet.bytes > INT_MAX)
        return -1;

    const int frames = opus_packet_get_nb_samples (packet.packet, static_cast<opus_int32> (packet.bytes), 48000);
    return frames > 0 ? frames : -1;
}

bool OpusPcmDecoder::StartDecoder() noexcept
{
    if (decoder != nullptr)
        opus_multistream_decoder_destroy (decoder);

    int error = OPUS_OK;
    decoder = opus_multistream_decoder_create (48000, head.channel_count, head.stream_count, head.coupled_count, head.mapping, &error);

    if (decoder == nullptr || opus_multistream_decoder_ctl (decoder, OPUS_SET_GAIN (head.output_gain)) != OPUS_OK)
        return false;

    try
    {
        decoded.resize (size_t (mostPacketFrames) * size_t (head.channel_count));
    }
    catch (const std::bad_alloc&)
    {
        return false;
    }

    return true;
}

size_t OpusPcmDecoder::GetStateBytes() const noexcept
{
    const opus_int32 bytes = opus_multistream_decoder_get_size (head.stream_count, head.coupled_count);
    return bytes > 0 ? size_t (bytes) : 0;
}

void OpusPcmDecoder::SaveState (unsigned char* to) const noexcept
{
    if (decoder != nullptr)
        std::memcpy (to, decoder, GetStateBytes());
}

void OpusPcmDecoder::RestoreState (const unsigned char* from) noexcept
{
    if (decoder != nullptr)
        std::memcpy (decoder, from, GetStateBytes());
}

void OpusPcmDecoder::RestartDecoder() noexcept
{
    if (decoder != nullptr)
        opus_multistream_decoder_ctl (decoder, OPUS_RESET_STATE);
}

int64_t OpusPcmDecoder::DecodePacket (ogg_packet& packet) noexcept
{
    if (decoder == nullptr)
        return 0;

    const int frames = opus_multistream_decode_float (decoder, packet.packet, static_cast<opus_int32> (packet.bytes), decoded.data(), mostPacketFrames, 0);
    return frames > 0 ? frames : 0;
}

void OpusPcmDecoder::CopyBlock (float* const* channels, int64_t offset, int64_t from, int64_t count) noexcept
{
    const int streamChannels = head.channel_count;

    for (int c = 0; c < streamChannels; ++c)
    {
        const float* source = decoded.data() + from * streamChannels + c;
        float* destination = channels[c] + offset;

        for (int64_t i = 0; i < count; ++i)
            destination[i] = source[i * streamChannels];
    }
}
