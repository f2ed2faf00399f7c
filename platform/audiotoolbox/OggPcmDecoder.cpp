#include "audiotoolbox/OggPcmDecoder.h"

#define OV_EXCLUDE_STATIC_CALLBACKS
#include <opusfile.h>
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <climits>
#include <new>
#include <vector>

namespace
{
class VorbisStreamDecoder final : public OggPcmDecoder
{
public:
    explicit VorbisStreamDecoder (const ByteSource& bytes) : source (bytes) {}

    ~VorbisStreamDecoder() override
    {
        if (isOpen)
            ov_clear (&file);
    }

    bool Open (int channels, int sampleRate, int64_t frames) noexcept
    {
        const ov_callbacks callbacks { readBytes, seekBytes, nullptr, tellBytes };

        if (ov_open_callbacks (&source, &file, nullptr, 0, callbacks) != 0)
            return false;

        isOpen = true;
        channelCount = channels;
        const vorbis_info* info = ov_info (&file, -1);
        return ov_seekable (&file) != 0 && ov_streams (&file) == 1 && info != nullptr
            && info->channels == channels && info->rate == sampleRate
            && file.pcmlengths != nullptr && file.pcmlengths[0] == 0 && ov_pcm_total (&file, -1) == frames;
    }

    bool Seek (int64_t frame) noexcept override
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

    int64_t Read (float* const* channels, uint32_t count) noexcept override
    {
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

private:
    ByteSource source;
    OggVorbis_File file {};
    bool isOpen = false;
    int channelCount = 0;

    static size_t readBytes (void* destination, size_t size, size_t count, void* stream)
    {
        if (size == 0 || count > size_t (INT64_MAX) / size)
            return 0;

        return size_t (static_cast<ByteSource*> (stream)->Read (destination, int64_t (size * count))) / size;
    }

    static int seekBytes (void* stream, ogg_int64_t offset, int whence)
    {
        return static_cast<ByteSource*> (stream)->Seek (offset, whence) < 0 ? -1 : 0;
    }

    static long tellBytes (void* stream)
    {
        return static_cast<long> (static_cast<ByteSource*> (stream)->position);
    }
};

class OpusStreamDecoder final : public OggPcmDecoder
{
public:
    explicit OpusStreamDecoder (const ByteSource& bytes) : source (bytes) {}

    ~OpusStreamDecoder() override
    {
        if (file != nullptr)
            op_free (file);
    }

    bool Open (int channels, int sampleRate, int64_t frames) noexcept
    {
        const OpusFileCallbacks callbacks { readBytes, seekBytes, tellBytes, nullptr };
        file = op_open_callbacks (&source, &callbacks, nullptr, 0, nullptr);

        if (file == nullptr)
            return false;

        const OpusHead* head = op_head (file, -1);
        channelCount = channels;

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

    bool Seek (int64_t frame) noexcept override
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

    int64_t Read (float* const* channels, uint32_t count) noexcept override
    {
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

private:
    ByteSource source;
    OggOpusFile* file = nullptr;
    int channelCount = 0;
    std::vector<float> interleaved;

    static constexpr int64_t interleavedSamples = 16384;

    int64_t framesPerBlock() const noexcept { return int64_t (interleaved.size()) / channelCount; }

    // Up to frames frames into the interleaved block: the frames decoded, 0 at the end, -1
    // on an error. A damaged packet (a hole) is passed over as libopusfile's read does.
    int decode (int frames) noexcept
    {
        for (;;)
        {
            const int got = op_read_float (file, interleaved.data(), frames * channelCount, nullptr);

            if (got != OP_HOLE)
                return got < 0 ? -1 : got;
        }
    }

    static int readBytes (void* stream, unsigned char* destination, int count)
    {
        return count <= 0 ? 0 : static_cast<int> (static_cast<ByteSource*> (stream)->Read (destination, count));
    }

    static int seekBytes (void* stream, opus_int64 offset, int whence)
    {
        return static_cast<ByteSource*> (stream)->Seek (offset, whence) < 0 ? -1 : 0;
    }

    static opus_int64 tellBytes (void* stream)
    {
        return static_cast<ByteSource*> (stream)->position;
    }
};

template <typename Decoder>
std::unique_ptr<OggPcmDecoder> openDecoder (const ByteSource& bytes, int channels, int sampleRate, int64_t frames) noexcept
{
    std::unique_ptr<Decoder> decoder (new (std::nothrow) Decoder (bytes));

    if (decoder == nullptr || ! decoder->Open (channels, sampleRate, frames))
        return {};

    return decoder;
}
} // namespace

std::unique_ptr<OggPcmDecoder> OpenOggPcmDecoder (const ByteSource& bytes, bool isOpus, int channels,
                                                  int sampleRate, int64_t frames) noexcept
{
    if (channels <= 0 || frames < 0)
        return {};

    return isOpus ? openDecoder<OpusStreamDecoder> (bytes, channels, sampleRate, frames)
                  : openDecoder<VorbisStreamDecoder> (bytes, channels, sampleRate, frames);
}
