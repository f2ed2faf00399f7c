#include "audiotoolbox/VorbisPcmDecoder.h"

#include <algorithm>
#include <climits>
#include <cstring>

VorbisPcmDecoder::~VorbisPcmDecoder()
{
    clear();
}

void VorbisPcmDecoder::clear() noexcept
{
    if (decoding)
    {
        vorbis_block_clear (&block);
        vorbis_dsp_clear (&dsp);
        decoding = false;
    }

    if (headersBegun)
    {
        vorbis_comment_clear (&comment);
        vorbis_info_clear (&info);
        headersBegun = false;
    }
}

bool VorbisPcmDecoder::IsCodecHeader (const unsigned char* packet, long bytes) const noexcept
{
    return bytes >= 7 && std::memcmp (packet, "\x01vorbis", 7) == 0;
}

bool VorbisPcmDecoder::ReadHeader (ogg_packet& packet, int index) noexcept
{
    if (index == 0)
    {
        clear();
        vorbis_info_init (&info);
        vorbis_comment_init (&comment);
        headersBegun = true;
    }

    return vorbis_synthesis_headerin (&info, &comment, &packet) == 0;
}

int VorbisPcmDecoder::GetStreamRate() const noexcept
{
    return info.rate > 0 && info.rate <= INT_MAX ? static_cast<int> (info.rate) : 0;
}

int64_t VorbisPcmDecoder::GetMostPacketFrames() const noexcept
{
    return std::max (vorbis_info_blocksize (const_cast<vorbis_info*> (&info), 1), 0) / 2;
}

// A packet gives the second half of the block before it and the first half of its own,
// a quarter of each block's size; the first one after a restart only primes the decoder.
int64_t VorbisPcmDecoder::CountFrames (ogg_packet& packet) noexcept
{
    const long size = vorbis_packet_blocksize (&info, &packet);

    if (size <= 0)
        return -1;

    const int64_t frames = previousBlockSize > 0 ? previousBlockSize / 4 + size / 4 : 0;
    previousBlockSize = size;
    return frames;
}

bool VorbisPcmDecoder::StartDecoder() noexcept
{
    if (decoding)
    {
        vorbis_block_clear (&block);
        vorbis_dsp_clear (&dsp);
        decoding = false;
    }

    if (vorbis_synthesis_init (&dsp, &info) != 0)
        return false;

    if (vorbis_block_init (&dsp, &block) != 0)
    {
        vorbis_dsp_clear (&dsp);
        return false;
    }

    decoding = true;
    return true;
}

void VorbisPcmDecoder::RestartDecoder() noexcept
{
    if (decoding)
        vorbis_synthesis_restart (&dsp);
}

int64_t VorbisPcmDecoder::DecodePacket (ogg_packet& packet) noexcept
{
    // Without a granule position or the end-of-stream flag, libvorbis trims nothing.
    ogg_packet audio = packet;
    audio.granulepos = -1;
    audio.e_o_s = 0;

    // A packet that does not decode leaves the next one to prime the decoder afresh, as
    // after a restart, so that a seek decodes on past it as the load does.
    if (! decoding || vorbis_synthesis (&block, &audio) != 0 || vorbis_synthesis_blockin (&dsp, &block) != 0)
    {
        RestartDecoder();
        return 0;
    }

    const int frames = vorbis_synthesis_pcmout (&dsp, &pcm);
    vorbis_synthesis_read (&dsp, frames);
    return std::max (frames, 0);
}

void VorbisPcmDecoder::CopyBlock (float* const* channels, int64_t offset, int64_t from, int64_t count) noexcept
{
    for (int c = 0; c < info.channels; ++c)
        std::copy_n (pcm[c] + from, count, channels[c] + offset);
}
