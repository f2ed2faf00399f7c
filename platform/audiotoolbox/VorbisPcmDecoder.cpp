#include "audiotoolbox/VorbisPcmDecoder.h"

#include <algorithm>
#include <climits>

VorbisPcmDecoder::~VorbisPcmDecoder()
{
    if (isOpen)
        ov_clear (&file);
}

bool VorbisPcmDecoder::Open (int channels, int sampleRate, int64_t frames) noexcept
{
    const ov_callbacks callbacks { readBytes, seekBytes, nullptr, tellBytes };

    if (ov_open_callbacks (&source, &file, nullptr, 0, callbacks) != 0)
        return false;

    isOpen = true;
    channelCount = channels;
    length = frames;
    const vorbis_info* info = ov_info (&file, -1);
    return ov_seekable (&file) != 0 && ov_streams (&file) == 1 && info != nullptr
        && info->channels == channels && info->rate == sampleRate
        && file.pcmlengths != nullptr && file.pcmlengths[0] == 0 && ov_pcm_total (&file, -1) == frames;
}

bool VorbisPcmDecoder::Seek (int64_t frame) noexcept
{
    if (frame == position)
        return true;

    if (ov_pcm_seek (&file, frame) != 0)
    {
        position = -1;
        return false;
    }

    position = frame;
    return true;
}

int64_t VorbisPcmDecoder::Read (float* const* channels, uint32_t count) noexcept
{
    count = FramesBeforeTheEnd (count);
    int64_t done = 0;

    while (done < count)
    {
        float** pcm = nullptr;
        int link = 0;
        const long got = ov_read_float (&file, &pcm, static_cast<int> (std::min<int64_t> (count - done, INT_MAX)), &link);

        if (got == OV_HOLE)
            continue;

        if (got < 0)
        {
            position = -1;
            return -1;
        }

        if (got == 0)
            break;

        for (int c = 0; c < channelCount; ++c)
            std::copy_n (pcm[c], got, channels[c] + done);

        done += got;
    }

    position += done;
    return done;
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
