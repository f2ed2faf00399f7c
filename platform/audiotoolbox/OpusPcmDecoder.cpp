#include "audiotoolbox/OpusPcmDecoder.h"

#include <algorithm>
#include <new>

OpusPcmDecoder::~OpusPcmDecoder()
{
    if (file != nullptr)
        op_free (file);
}

bool OpusPcmDecoder::Open (int channels, int sampleRate, int64_t frames) noexcept
{
    const OpusFileCallbacks callbacks { readBytes, seekBytes, tellBytes, nullptr };
    file = op_open_callbacks (&source, &callbacks, nullptr, 0, nullptr);

    if (file == nullptr)
        return false;

    const OpusHead* head = op_head (file, -1);
    channelCount = channels;
    length = frames;

    if (! op_seekable (file) || op_link_count (file) != 1 || head == nullptr || head->output_gain != 0
        || op_channel_count (file, -1) != channels || sampleRate != 48000 || op_pcm_total (file, -1) != frames)
        return false;

    try
    {
        interleaved.resize (size_t (std::max<int64_t> (1, interleavedSamples / channels)) * size_t (channels));
    }
    catch (const std::bad_alloc&)
    {
        return false;
    }

    return true;
}

bool OpusPcmDecoder::Seek (int64_t frame) noexcept
{
    if (frame == position)
        return true;

    // A target a little ahead is decoded up to from where the stream stands.
    if (position < 0 || frame < position || frame - position > opusPreRollFrames)
    {
        const int64_t start = std::max<int64_t> (0, frame - opusPreRollFrames);
        position = -1;

        if (op_pcm_seek (file, start) != 0)
            return false;

        position = start;
    }

    while (position < frame)
    {
        const auto got = decode (static_cast<int> (std::min<int64_t> (frame - position, framesPerBlock())));

        if (got <= 0)
        {
            position = -1;
            return false;
        }

        position += got;
    }

    return true;
}

int64_t OpusPcmDecoder::Read (float* const* channels, uint32_t count) noexcept
{
    count = FramesBeforeTheEnd (count);
    int64_t done = 0;

    while (done < count)
    {
        const auto got = decode (static_cast<int> (std::min<int64_t> (count - done, framesPerBlock())));

        if (got < 0)
        {
            position = -1;
            return -1;
        }

        if (got == 0)
            break;

        for (int c = 0; c < channelCount; ++c)
        {
            const float* from = interleaved.data() + c;
            float* to = channels[c] + done;

            for (int i = 0; i < got; ++i)
                to[i] = from[i * channelCount];
        }

        done += got;
    }

    position += done;
    return done;
}

// Up to frames frames into the interleaved block: the frames decoded, 0 at the end, -1
// on an error. A damaged packet (a hole) is passed over as libopusfile's read does.
int OpusPcmDecoder::decode (int frames) noexcept
{
    for (;;)
    {
        const int got = op_read_float (file, interleaved.data(), frames * channelCount, nullptr);

        if (got != OP_HOLE)
            return got < 0 ? -1 : got;
    }
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
