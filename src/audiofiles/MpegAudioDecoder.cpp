#include "audiofiles/MpegAudioDecoder.h"

#include "files/InputStream.h"

#include <mpg123.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace kul
{
namespace
{
// libmpg123 asks for a frame's header and body in small reads; a block of the file at a
// time keeps the system calls to one per block.
constexpr int64_t inputBlockSize = 65536;

// After a seek, layer III frames are decoded from this many frames before the target:
// enough to refill the bit reservoir, which reaches back up to 255 bytes in MPEG-2, where
// a frame at 8 kbit/s and 24 kHz carries 11 bytes of main data (24 frames), and to rebuild
// the overlap and the synthesis filter from whole frames. Layers I and II need two.
constexpr long seekPreframes = 32;
} // namespace

/** The file as libmpg123 reads it: a position of its own over a block of the stream. */
struct MpegAudioDecoder::Input
{
    explicit Input (InputStream& sourceToUse) : source (sourceToUse) {}

    InputStream& source;
    std::vector<unsigned char> block = std::vector<unsigned char> (size_t (inputBlockSize));
    int64_t blockStart = 0;
    int64_t blockFill = 0;
    int64_t position = 0;

    int64_t Read (unsigned char* destination, int64_t numBytes)
    {
        int64_t done = 0;

        while (done < numBytes)
        {
            if (position >= blockStart && position < blockStart + blockFill)
            {
                const int64_t count = std::min (numBytes - done, blockStart + blockFill - position);
                std::memcpy (destination + done, block.data() + (position - blockStart), size_t (count));
                done += count;
                position += count;
                continue;
            }

            source.SetPosition (position);

            // A read of a block or more needs no copy through the block.
            if (numBytes - done >= inputBlockSize)
            {
                const int64_t count = source.Read (destination + done, numBytes - done);

                if (count <= 0)
                    break;

                done += count;
                position += count;
                continue;
            }

            blockStart = position;
            blockFill = std::max<int64_t> (source.Read (block.data(), inputBlockSize), 0);

            if (blockFill == 0)
                break;
        }

        return done;
    }

    int64_t Seek (int64_t offset, int whence)
    {
        int64_t base = 0;

        if (whence == SEEK_CUR)
            base = position;
        else if (whence == SEEK_END)
            base = source.GetTotalLength();
        else if (whence != SEEK_SET)
            return -1;

        int64_t target = 0;

        if (__builtin_add_overflow (base, offset, &target) || target < 0)
            return -1;

        position = target;
        return position;
    }

    static mpg123_ssize_t ReadCallback (void* input, void* destination, size_t numBytes)
    {
        const auto count = static_cast<int64_t> (std::min<size_t> (numBytes, size_t (INT64_MAX)));
        return static_cast<mpg123_ssize_t> (static_cast<Input*> (input)->Read (static_cast<unsigned char*> (destination), count));
    }

    static off_t SeekCallback (void* input, off_t offset, int whence)
    {
        return static_cast<off_t> (static_cast<Input*> (input)->Seek (offset, whence));
    }
};

MpegAudioDecoder::MpegAudioDecoder (InputStream& source)
    : input (std::make_unique<Input> (source))
{
    if (! Open())
    {
        sampleRate = 0;
        numChannels = 0;
        lengthInSamples = 0;
    }
}

MpegAudioDecoder::~MpegAudioDecoder()
{
    if (handle != nullptr)
        mpg123_delete (handle);
}

bool MpegAudioDecoder::Open()
{
    int error = MPG123_OK;
    handle = mpg123_new (nullptr, &error);

    if (handle == nullptr)
        return false;

    // Tags are skipped, not parsed: nothing in them is used.
    mpg123_param (handle, MPG123_REMOVE_FLAGS, MPG123_GAPLESS, 0.0);
    mpg123_param (handle, MPG123_ADD_FLAGS, MPG123_FORCE_FLOAT | MPG123_QUIET | MPG123_SKIP_ID3V2, 0.0);
    mpg123_param (handle, MPG123_PREFRAMES, seekPreframes, 0.0);

    if (mpg123_replace_reader_handle (handle, Input::ReadCallback, Input::SeekCallback, nullptr) != MPG123_OK
        || mpg123_open_handle (handle, input.get()) != MPG123_OK)
        return false;

    long rate = 0;
    int channels = 0;
    int encoding = 0;

    if (mpg123_getformat (handle, &rate, &channels, &encoding) != MPG123_OK || rate <= 0
        || (channels != 1 && channels != 2) || encoding != MPG123_ENC_FLOAT_32)
        return false;

    // Every frame comes out in the first frame's shape; libmpg123 converts the frames of
    // a stream that changes its rate or channels on the way.
    if (mpg123_format_none (handle) != MPG123_OK || mpg123_format (handle, rate, channels, MPG123_ENC_FLOAT_32) != MPG123_OK)
        return false;

    // A "Xing"/"Info" count can be wrong (a cut or joined file, a tag before it) and a
    // stream without one only has an estimate: the scan reads every frame header, which
    // gives the exact length and fills libmpg123's seek index as well.
    if (mpg123_scan (handle) != MPG123_OK)
        return false;

    const off_t length = mpg123_length (handle);

    if (length < 0)
        return false;

    sampleRate = double (rate);
    numChannels = channels;
    lengthInSamples = static_cast<int64_t> (length);
    return true;
}

bool MpegAudioDecoder::SeekTo (int64_t sample)
{
    return IsValid() && sample >= 0 && mpg123_seek (handle, static_cast<off_t> (sample), SEEK_SET) == static_cast<off_t> (sample);
}

MpegAudioDecoder::Result MpegAudioDecoder::DecodeNextFrame (const float*& samples, size_t& numFrames)
{
    if (! IsValid())
        return Result::error;

    // Every call consumes a frame or ends, so this ends with the stream.
    for (;;)
    {
        off_t frameNumber = 0;
        unsigned char* audio = nullptr;
        size_t bytes = 0;
        const int result = mpg123_decode_frame (handle, &frameNumber, &audio, &bytes);

        if (result == MPG123_DONE)
            return Result::end;

        if (result == MPG123_NEW_FORMAT)
        {
            long rate = 0;
            int channels = 0;
            int encoding = 0;

            if (mpg123_getformat (handle, &rate, &channels, &encoding) != MPG123_OK || double (rate) != sampleRate
                || channels != numChannels || encoding != MPG123_ENC_FLOAT_32)
                return Result::error;
        }
        else if (result != MPG123_OK)
        {
            return Result::error;
        }

        const size_t frameBytes = sizeof (float) * size_t (numChannels);

        if (audio == nullptr || bytes < frameBytes)
            continue;

        samples = reinterpret_cast<const float*> (audio);
        numFrames = bytes / frameBytes;
        return Result::frame;
    }
}

} // namespace kul
