#include "audiotoolbox/OggPcmDecoder.h"

#include "audiotoolbox/OpusPcmDecoder.h"
#include "audiotoolbox/VorbisPcmDecoder.h"

#include <ogg/ogg.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

bool OggPcmDecoder::Seek (int64_t frame) noexcept
{
    if (frame == position)
        return true;

    // The end reads nothing, wherever the decoding stands; any later seek goes back to it.
    if (frame >= GetLength())
    {
        block = {};
        position = GetLength();
        return true;
    }

    if (position < 0 || frame < position || ! DecodesForwardTo (frame))
    {
        block = {};

        if (! SeekLibraryBefore (frame, LinkOf (frame)))
        {
            position = -1;
            return false;
        }
    }

    if (deliver (nullptr, frame - position) < 0)
        return false;

    // A stream that ended before the target reads nothing from it.
    position = frame;
    return true;
}

int64_t OggPcmDecoder::Read (float* const* channels, uint32_t count) noexcept
{
    return deliver (channels, count);
}

int OggPcmDecoder::LinkOf (int64_t frame) const noexcept
{
    const auto next = std::upper_bound (linkStarts.begin(), linkStarts.end() - 1, frame);
    return static_cast<int> (next - linkStarts.begin()) - 1;
}

// Reads count frames from the position, or passes over them when channels is null: the
// decoded frames at their places, silence where no frames were decoded.
int64_t OggPcmDecoder::deliver (float* const* channels, int64_t count) noexcept
{
    int64_t done = 0;

    const auto silence = [&] (int64_t frames)
    {
        for (int c = 0; channels != nullptr && c < channelCount; ++c)
            std::fill_n (channels[c] + done, frames, 0.0f);

        done += frames;
        position += frames;
    };

    while (done < count && position < GetLength())
    {
        if (block.used == block.frames)
        {
            const int64_t got = DecodeBlock (block);

            if (got < 0 || block.link < 0 || block.link >= GetLinkCount())
            {
                position = -1;
                return -1;
            }

            // The stream ended short of its length: a last packet that did not decode.
            if (got == 0)
            {
                block = {};
                silence (std::min (count - done, GetLength() - position));
                break;
            }

            placeBlock();
            continue;
        }

        if (block.at > position)
        {
            silence (std::min (block.at - position, count - done));
            continue;
        }

        const int64_t linkEnd = linkStarts[size_t (block.link) + 1];
        const int64_t frames = std::min ({ block.frames - block.used, count - done, linkEnd - position });

        if (channels != nullptr)
            CopyBlock (channels, done, block.used, frames);

        block.used += frames;
        block.at += frames;
        done += frames;
        position += frames;

        // Frames past the link's end (trimmed by its last granule position) are not part of it.
        if (position == linkEnd)
            block.used = block.frames;
    }

    return done;
}

// Frames before the position (decoded only to fill the decoder's state after a seek) or
// before the link's start (trimmed) are passed over, as are frames past the link's end.
void OggPcmDecoder::placeBlock() noexcept
{
    const int64_t linkStart = linkStarts[size_t (block.link)];
    const int64_t linkEnd = linkStarts[size_t (block.link) + 1];
    const int64_t from = std::max (position, linkStart);

    if (block.at < from)
    {
        const int64_t passed = std::min (block.frames, from - block.at);
        block.used = passed;
        block.at += passed;
    }

    if (block.at >= linkEnd)
        block.used = block.frames;
}

bool OggPcmDecoder::AppendLink (int64_t frames) noexcept
{
    try
    {
        if (linkStarts.empty())
            linkStarts.push_back (0);

        if (frames < 0 || frames > std::numeric_limits<int64_t>::max() - linkStarts.back())
            return false;

        linkStarts.push_back (linkStarts.back() + frames);
        return true;
    }
    catch (const std::bad_alloc&)
    {
        return false;
    }
}

namespace
{
template <typename Decoder>
std::unique_ptr<OggPcmDecoder> openDecoder (const ByteSource& bytes) noexcept
{
    std::unique_ptr<Decoder> decoder (new (std::nothrow) Decoder (bytes));

    if (decoder == nullptr || ! decoder->Open())
        return {};

    return decoder;
}
} // namespace

std::unique_ptr<OggPcmDecoder> OpenOggPcmDecoder (const ByteSource& bytes, bool isOpus) noexcept
{
    return isOpus ? openDecoder<OpusPcmDecoder> (bytes) : openDecoder<VorbisPcmDecoder> (bytes);
}

bool BeginsWithOggVorbis (ByteSource bytes) noexcept
{
    constexpr long firstBlockBytes = 65536;
    ogg_sync_state sync;
    ogg_sync_init (&sync);
    char* buffer = ogg_sync_buffer (&sync, firstBlockBytes);
    bytes.position = 0;
    const int64_t got = buffer != nullptr ? bytes.Read (buffer, firstBlockBytes) : 0;
    bool vorbis = false;

    if (got >= 4 && std::memcmp (buffer, "OggS", 4) == 0 && ogg_sync_wrote (&sync, static_cast<long> (got)) == 0)
    {
        ogg_page page {};
        int found = 0;

        while ((found = ogg_sync_pageout (&sync, &page)) < 0)
        {
        }

        vorbis = found > 0 && page.body_len >= 7 && std::memcmp (page.body, "\x01vorbis", 7) == 0;
    }

    ogg_sync_clear (&sync);
    return vorbis;
}

bool HoldsSeveralOggLinks (ByteSource bytes) noexcept
{
    constexpr long blockBytes = 65536;
    ogg_sync_state sync;
    ogg_sync_init (&sync);
    bool pageSeen = false;
    bool several = false;
    bytes.position = 0;

    while (! several)
    {
        ogg_page page;
        const int found = ogg_sync_pageout (&sync, &page);

        if (found > 0)
        {
            several = ogg_page_bos (&page) != 0 && pageSeen;
            pageSeen = pageSeen || ogg_page_bos (&page) == 0;
            continue;
        }

        if (found < 0)
            continue;

        char* buffer = ogg_sync_buffer (&sync, blockBytes);
        const int64_t got = buffer != nullptr ? bytes.Read (buffer, blockBytes) : 0;

        if (got <= 0 || ogg_sync_wrote (&sync, static_cast<long> (got)) != 0)
            break;
    }

    ogg_sync_clear (&sync);
    return several;
}
