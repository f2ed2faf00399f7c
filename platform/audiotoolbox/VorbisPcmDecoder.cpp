#include "audiotoolbox/VorbisPcmDecoder.h"

#include <algorithm>
#include <climits>
#include <new>

namespace
{
// The bisection stops within this many bytes of the page it looks for: a page or two,
// which the forward decode then crosses.
constexpr int64_t bisectionBytes = 8192;

// A target this near ahead is decoded up to: about as quick as a bisection.
constexpr int64_t forwardDecodeFrames = 16384;
}

VorbisPcmDecoder::~VorbisPcmDecoder()
{
    if (isOpen)
        ov_clear (&file);
}

bool VorbisPcmDecoder::Open() noexcept
{
    const ov_callbacks callbacks { readBytes, seekBytes, nullptr, tellBytes };

    if (ov_open_callbacks (&source, &file, nullptr, 0, callbacks) != 0)
        return false;

    isOpen = true;

    if (ov_seekable (&file) == 0 || file.pcmlengths == nullptr || file.offsets == nullptr)
        return false;

    const vorbis_info* first = ov_info (&file, 0);

    if (first == nullptr)
        return false;

    channelCount = first->channels;
    sampleRate = static_cast<int> (first->rate);

    for (int link = 0; link < file.links; ++link)
    {
        const vorbis_info* info = ov_info (&file, link);

        if (info == nullptr || ! AppendLink (ov_pcm_total (&file, link)))
            return false;

        if (info->channels != first->channels || info->rate != first->rate)
            channelCount = sampleRate = 0;
    }

    return true;
}

int64_t VorbisPcmDecoder::DecodeBlock (Block& block) noexcept
{
    for (;;)
    {
        const int64_t pageEnd = ov_raw_tell (&file);
        int link = 0;
        const long got = ov_read_float (&file, &pcm, INT_MAX, &link);

        // After a gap libvorbisfile places the next page's first packets as if nothing was
        // lost; started afresh at the page after the last good one, it places them right.
        if (got == OV_HOLE)
        {
            if (pageEnd > gapResumedAt && startsAtGranuleZero (file.current_link))
            {
                gapResumedAt = pageEnd;

                if (ov_raw_seek (&file, pageEnd) != 0)
                    return -1;
            }

            continue;
        }

        if (got <= 0)
            return got < 0 ? -1 : 0;

        // Decoding on into the next link, libvorbisfile places its first page's frames after
        // where the link before left off, which is elsewhere when that link started past
        // granule 0; started afresh at the link, it places them right.
        if (link != decodedLink)
        {
            decodedLink = link;

            if (startsAtGranuleZero (link))
            {
                if (ov_raw_seek (&file, file.offsets[link]) != 0)
                    return -1;

                continue;
            }
        }

        block = { got, 0, startsAtGranuleZero (link) ? ov_pcm_tell (&file) - got : -1, link };
        return got;
    }
}

void VorbisPcmDecoder::CopyBlock (float* const* channels, int64_t offset, int64_t from, int64_t count) noexcept
{
    for (int c = 0; c < channelCount; ++c)
        std::copy_n (pcm[c] + from, count, channels[c] + offset);
}

bool VorbisPcmDecoder::SeekLibraryBefore (int64_t target, int link) noexcept
{
    int64_t low = file.offsets[link];
    int64_t high = link + 1 < file.links ? file.offsets[link + 1] : ov_raw_total (&file, -1);
    int64_t best = low;
    int64_t bestFrame = linkStarts[size_t (link)];

    // Started afresh at a page, libvorbisfile knows where the page's frames belong. A page
    // placed before an earlier one (a last granule position that lies) is not one to start at.
    while (startsAtGranuleZero (link) && high - low > bisectionBytes)
    {
        const int64_t middle = low + (high - low) / 2;
        const int64_t frame = ov_raw_seek (&file, middle) == 0 ? ov_pcm_tell (&file) : -1;

        if (frame >= bestFrame && frame <= target)
        {
            low = best = middle;
            bestFrame = frame;
        }
        else
        {
            high = middle;
        }
    }

    if (ov_raw_seek (&file, best) != 0)
        return false;

    position = bestFrame;
    decodedLink = link;
    gapResumedAt = -1;
    return true;
}

bool VorbisPcmDecoder::DecodesForwardTo (int64_t target) const noexcept
{
    const int link = LinkOf (target);
    return ! startsAtGranuleZero (link) ? position >= linkStarts[size_t (link)] : target - position <= forwardDecodeFrames;
}

size_t VorbisPcmDecoder::readBytes (void* destination, size_t size, size_t count, void* stream)
{
    if (size == 0 || count > size_t (INT64_MAX) / size)
        return 0;

    return size_t (static_cast<ByteSource*> (stream)->Read (destination, int64_t (size * count))) / size;
}

int VorbisPcmDecoder::seekBytes (void* stream, ogg_int64_t offset, int whence)
{
    return static_cast<ByteSource*> (stream)->Seek (offset, whence) < 0 ? -1 : 0;
}

long VorbisPcmDecoder::tellBytes (void* stream)
{
    return static_cast<long> (static_cast<ByteSource*> (stream)->position);
}
