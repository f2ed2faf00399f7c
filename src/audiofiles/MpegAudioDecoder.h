#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

struct mpg123_handle_struct;

namespace kul
{
class InputStream;

/** An MPEG audio stream (layers I, II and III of MPEG-1, 2 and 2.5, free format where
    libmpg123 reads it) decoded by libmpg123 to interleaved 32-bit floats, frame by frame,
    with the encoder's delay and padding kept (no gapless trimming).

    libmpg123 reads the bytes through the input stream given, never from a path or a
    descriptor of its own. The stream must outlive the decoder. */
class MpegAudioDecoder
{
public:
    /** Opens the stream from its start: finds the first frame (past tags and junk as
        libmpg123 does) and counts the frames the stream holds. IsValid() tells whether a
        frame was found. */
    explicit MpegAudioDecoder (InputStream& source);
    ~MpegAudioDecoder();

    MpegAudioDecoder (const MpegAudioDecoder&) = delete;
    MpegAudioDecoder& operator= (const MpegAudioDecoder&) = delete;

    /** True when libmpg123 found a frame in the stream. */
    bool IsValid() const noexcept { return numChannels > 0; }

    /** The first frame's sample rate and channel count; every decoded frame has them. */
    double GetSampleRate() const noexcept { return sampleRate; }
    int GetNumChannels() const noexcept { return numChannels; }

    /** The samples per channel of all frames the stream holds, counted by scanning every
        frame header. */
    int64_t GetLengthInSamples() const noexcept { return lengthInSamples; }

    /** Makes sample the next one decoded, decoding from far enough back that the samples
        equal those of a decode from the start. False when the stream cannot get there. */
    bool SeekTo (int64_t sample);

    enum class Result
    {
        frame, // samples were decoded
        end,   // the stream has no further frame
        error  // the bytes could not be read or decoded
    };

    /** Decodes the next frame. On Result::frame, samples points at numFrames frames of
        GetNumChannels() interleaved samples, valid until the next call. */
    Result DecodeNextFrame (const float*& samples, size_t& numFrames);

private:
    struct Input;
    std::unique_ptr<Input> input;
    ::mpg123_handle_struct* handle = nullptr;
    double sampleRate = 0;
    int numChannels = 0;
    int64_t lengthInSamples = 0;

    bool Open();
};

} // namespace kul
