#include "audiotoolbox/OpusPcmDecoder.h"

#include <algorithm>
#include <limits>
#include <new>

OpusPcmDecoder::~OpusPcmDecoder()
{
    if (file != nullptr)
        op_free (file);
}

bool OpusPcmDecoder::Open() noexcept
{
    const OpusFileCallbacks callbacks { readBytes, seekBytes, tellBytes, nullptr };
    file = op_open_callbacks (&source, &callbacks, nullptr, 0, nullptr);

    if (file == nullptr || ! op_seekable (file))
        return false;

    channelCount = op_channel_count (file, 0);
    sampleRate = 48000;

    for (int link = 0; link < op_link_count (file); ++link)
    {
        if (! AppendLink (op_pcm_total (file, link)))
            return false;

        if (op_channel_count (file, link) != channelCount)
            channelCount = sampleRate = 0;
    }

    if (channelCount <= 0)
        return true;

    try
    {
        interleaved.resize (size_t (std::max<int64_t> (1, interleavedSamples / channelCount)) * size_t (channelCount));
    }
    catch (const std::bad_alloc&)
    {
        return false;
    }

    return true;
}

int64_t OpusPcmDecoder::DecodeBlock (Block& block) noexcept
{
    for (;;)
    {
        int link = 0;
        const int got = op_read_float (file, interleaved.data(), static_cast<int> (interleaved.size()), &link);

        if (got == OP_HOLE)
            continue;

        if (got <= 0)
            return got < 0 ? -1 : 0;

        block = { got, 0, op_pcm_tell (file) - got, link };
        return got;
    }
}

void OpusPcmDecoder::CopyBlock (float* const* channels, int64_t offset, int64_t from, int64_t count) noexcept
{
    for (int c = 0; c < channelCount; ++c)
    {
        const float* source = interleaved.data() + from * channelCount + c;
        float* destination = channels[c] + offset;

        for (int64_t i = 0; i < count; ++i)
            destination[i] = source[i * channelCount];
    }
}

bool OpusPcmDecoder::SeekLibraryBefore (int64_t target, int link) noexcept
{
    // Each failed try starts twice as far back, so that damage spread far costs few tries.
    constexpr int64_t most = std::numeric_limits<int64_t>::max();
    const int64_t linkStart = linkStarts[size_t (link)];

    for (int64_t lead = opusPreRollFrames;; lead = lead > most / 2 ? most : lead * 2)
    {
        const int64_t start = target - linkStart > lead ? target - lead : linkStart;

        if (op_pcm_seek (file, start) == 0)
        {
            position = start;
            return true;
        }

        if (start == linkStart)
            return false;
    }
}

bool OpusPcmDecoder::DecodesForwardTo (int64_t target) const noexcept
{
    return target - position <= opusPreRollFrames;
}

int OpusPcmDecoder::readBytes (void* stream, unsigned char* destination, int count)
{
    return count <= 0 ? 0 : static_cast<int> (static_cast<ByteSource*> (stream)->Read (destination, count));
}

int OpusPcmDecoder::seekBytes (void* stream, opus_int64 offset, int whence)
{
    return static_cast<ByteSource*> (stream)->Seek (offset, whence) < 0 ? -1 : 0;
}

opus_int64 OpusPcmDecoder::tellBytes (void* stream)
{
    return static_cast<ByteSource*> (stream)->position;
}
