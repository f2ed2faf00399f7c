#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

struct mpg123_handle_struct;

namespace kul
{
class InputStream;

/** An MPEG audio stream (layers I, II and III of MPEG-1, 2 and 2.5, free format where
    libmpg123 reads it) decoded by libmpg123 to interleaved 32-bit floats, frame by frame,
    with the encoder's delay and padding kept (no gapless trimming).

    Opening parses every frame once, through the same synchronisation as a decode, and
    keeps where each one starts: the length is what a decode from the start delivers, and
    a seek decodes from a frame shortly before its target at which libmpg123's synthesis
    filter stands as in a decode from the start, so that every sample equals that of a
    decode from the start, to the bit. Damage that libmpg123 cannot decode (a frame it then
    leaves out of its synthesis) is the exception: after it, a seek's samples can differ
    from a decode from the start by rounding, at most 2.4e-7 measured (two units in the
    last place of a full-scale sample).

    A layer III frame whose main data lies before the stream's first frame (a stream cut
    inside its bit reservoir) decodes as silence, as libmpg123 means it to; libmpg123 alone
    keeps bits of its side information in MPEG-2 and 2.5, and behind a CRC clears two bytes
    of the main data of the frames after it.

    Damaged blocks up to resyncLimit bytes are crossed; a lone header that libmpg123 finds
    in junk is not audio. A stream whose sample rate changes is not read (its parts cannot
    be delivered at one rate exactly); one whose channel mode changes is delivered as
    stereo, a mono frame in both channels.

    libmpg123 reads the bytes through the input stream given, never from a path or a
    descriptor of its own. The stream must outlive the decoder. */
class MpegAudioDecoder
{
public:
    /** Opens the stream from its start: finds the first frame (past tags and junk as
        libmpg123 does) and indexes every frame the stream holds. IsValid() tells whether
        the stream can be read. */
    explicit MpegAudioDecoder (InputStream& source);
    ~MpegAudioDecoder();

    MpegAudioDecoder (const MpegAudioDecoder&) = delete;
    MpegAudioDecoder& operator= (const MpegAudioDecoder&) = delete;

    /** True when libmpg123 found a frame in the stream and every frame of audio has the
        first one's sample rate. */
    bool IsValid() const noexcept { return numChannels > 0; }

    /** The stream's sample rate, and its channel count: 2 when any frame has two channels. */
    double GetSampleRate() const noexcept { return sampleRate; }
    int GetNumChannels() const noexcept { return numChannels; }

    /** The samples per channel of all frames the stream holds: what a decode from the
        start delivers. */
    int64_t GetLengthInSamples() const noexcept { return frames.empty() ? 0 : frames.back().endSample; }

    /** The longest run of bytes without a frame that the decoder crosses, as in a
        damaged block of the file; libmpg123's own limit is 1024 bytes. */
    static constexpr long resyncLimit = 131072;

    /** Makes sample the next one DecodeNextFrame() delivers. False when the sample is
        not in the stream or libmpg123 cannot open it again. */
    bool SeekTo (int64_t sample);

    enum class Result
    {
        frame, // samples were decoded
        end,   // the stream has no further frame
        error  // the bytes could not be read or decoded as they were when opened
    };

    /** Decodes the next frame. On Result::frame, samples points at numFrames frames of
        GetNumChannels() interleaved samples, valid until the next call. */
    Result DecodeNextFrame (const float*& samples, size_t& numFrames);

private:
    struct Input;

    /** Where a layer III frame's main data lies, as far as a restart needs it. */
    struct MainData
    {
        uint16_t begin = 0;        // bytes of it in the frames before this one
        uint16_t bytes = 0;        // bytes after the side information, for this frame or later ones
        uint8_t sideInfoBytes = 0; // 0: not a layer III frame
        bool crc : 1 = false;      // two bytes of CRC come before the side information
        bool mpeg1 : 1 = false;    // begin takes 9 bits of the side information, not 8
        bool tagAfter : 1 = false; // "Xing" or "Info" follows the side information
    };

    /** Where a frame's header starts in the stream and the sample after its last: a
        header that libmpg123 found alone in junk delivers no samples. */
    struct Frame
    {
        int64_t offset;
        int64_t endSample;
        MainData mainData;
        uint8_t ringPhase;          // blocks a decode from the start synthesises before it, modulo 16
        bool followsItsPredecessor; // its header starts where the frame before it ends
    };

    std::unique_ptr<Input> input;
    ::mpg123_handle_struct* handle = nullptr;
    double sampleRate = 0;
    int numChannels = 0;
    std::vector<Frame> frames;

    size_t restartFrame = 0;  // the frame the decoder was last opened at
    size_t nextFrame = 0;     // the frame the next decode gives
    size_t targetFrame = 0;   // frames before it are decoded only to fill the decoder's state
    size_t targetSkip = 0;    // samples of the target frame not delivered
    bool decoderReady = false; // false after a failure, until a seek restarts the decoder

    bool Open();
    bool IndexFrames();
    bool RestartAt (size_t frame);
    bool RestartEarlier();
    size_t RingAlignedAtOrBefore (size_t frame) const noexcept;
    int64_t FrameStart (size_t frame) const noexcept { return frame == 0 ? 0 : frames[frame - 1].endSample; }
    size_t FrameLength (size_t frame) const noexcept { return static_cast<size_t> (frames[frame].endSample - FrameStart (frame)); }
};

} // namespace kul
