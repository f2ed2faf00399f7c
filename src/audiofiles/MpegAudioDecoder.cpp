#include "audiofiles/MpegAudioDecoder.h"

#include "files/InputStream.h"

#include <mpg123.h>

#include <algorithm>
#include <array>
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
constexpr size_t seekPreframes = 32;

// libmpg123's synthesis filter keeps its last 16 blocks of 32 subband samples in a ring and
// starts each opened stream at the same place in it; the place sets the order in which each
// output sample is summed. A decoder opened at a frame before which a decode from the start
// synthesised a multiple of 16 blocks sums every later sample as that decode does.
constexpr int synthesisRingBlocks = 16;
constexpr int samplesPerBlock = 32;

// How far back a seek looks for such a frame: in a stream of one layer and rate every
// fourth frame (every eighth in MPEG-2 and 2.5 layer III) is one; only lone headers in
// junk can put them further apart.
constexpr size_t ringSearchFrames = 64;

// The layer III bit reservoir: main data of at most this many bytes before a frame
// (9 bits of the side info in MPEG-1; 8 bits, 255 bytes, in MPEG-2 and 2.5).
constexpr int64_t maxMainDataBegin = 511;
} // namespace

/** The file as libmpg123 reads it: a position of its own over a block of the stream.
    libmpg123 rewinds to the start when it opens a stream, so the stream it sees starts
    at origin: the frame to open at. */
struct MpegAudioDecoder::Input
{
    explicit Input (InputStream& sourceToUse) : source (sourceToUse) {}

    InputStream& source;
    std::vector<unsigned char> block = std::vector<unsigned char> (size_t (inputBlockSize));
    int64_t blockStart = 0;
    int64_t blockFill = 0;
    int64_t position = 0; // in the file
    int64_t origin = 0;

    // Side information that libmpg123 reads otherwise than the file holds it (see
    // RestartAt): from offset on, the bytes in start, then zeros up to end.
    struct Rewrite
    {
        int64_t offset;
        int64_t end;
        std::array<unsigned char, 2> start;
    };

    std::vector<Rewrite> rewrites;

    int64_t Read (unsigned char* destination, int64_t numBytes)
    {
        const int64_t first = position;
        const int64_t done = ReadBlocks (destination, numBytes);

        for (const auto& rewrite : rewrites)
            for (int64_t at = std::max (rewrite.offset, first); at < std::min (rewrite.end, first + done); ++at)
                destination[at - first] = at - rewrite.offset < 2 ? rewrite.start[size_t (at - rewrite.offset)] : 0;

        return done;
    }

    int64_t ReadBlocks (unsigned char* destination, int64_t numBytes)
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
        int64_t base = origin;

        if (whence == SEEK_CUR)
            base = position;
        else if (whence == SEEK_END)
            base = source.GetTotalLength();
        else if (whence != SEEK_SET)
            return -1;

        int64_t target = 0;

        if (__builtin_add_overflow (base, offset, &target) || target < origin)
            return -1;

        position = target;
        return position - origin;
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
        frames.clear();
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

    // Tags are skipped, not parsed: nothing in them is used. A damaged block in the
    // middle of a file is crossed, as long as it is shorter than the resync limit.
    mpg123_param (handle, MPG123_REMOVE_FLAGS, MPG123_GAPLESS, 0.0);
    mpg123_param (handle, MPG123_ADD_FLAGS, MPG123_FORCE_FLOAT | MPG123_QUIET | MPG123_SKIP_ID3V2, 0.0);
    mpg123_param (handle, MPG123_RESYNC_LIMIT, resyncLimit, 0.0);

    if (mpg123_replace_reader_handle (handle, Input::ReadCallback, Input::SeekCallback, nullptr) != MPG123_OK
        || ! IndexFrames())
        return false;

    // Mono frames of a stream that also holds stereo ones come out in both channels,
    // and stereo frames are never mixed down.
    if (numChannels == 2)
        mpg123_param (handle, MPG123_ADD_FLAGS, MPG123_FORCE_STEREO, 0.0);

    return mpg123_format_none (handle) == MPG123_OK
        && mpg123_format (handle, static_cast<long> (sampleRate), numChannels, MPG123_ENC_FLOAT_32) == MPG123_OK
        && RestartAt (0);
}

bool MpegAudioDecoder::IndexFrames()
{
    // A "Xing"/"Info" count can be wrong (a cut or joined file, a tag before it), a
    // stream without one only has an estimate, and libmpg123's own scan index can
    // disagree with its decode after a resync. Parsing the frames without synthesis
    // meets exactly the frames a decode meets, at about the cost of a scan.
    input->position = input->origin = 0;

    if (mpg123_open_handle (handle, input.get()) != MPG123_OK)
        return false;

    struct Parsed
    {
        int64_t offset = 0;
        int64_t bytes = 0;
        long samples = 0;
        long rate = 0;
        int channels = 0;
        bool followsItsPredecessor = true;
        MainData mainData;
    };

    Parsed previous;
    bool hasPrevious = false;
    long rate = 0;
    int widest = 0;
    bool oneRate = true;
    int64_t audioEnd = 0; // where the last frame of audio ends
    int blocks = 0;       // synthesised before the frame kept next, modulo the ring's length

    // After a resync libmpg123 takes any header for a frame, and in junk it finds many
    // (of any rate and layer). A frame counts as audio when it follows its predecessor
    // without a gap or its successor follows it: a run of frames, not a lone header.
    const auto keep = [&] (const Parsed& frame, bool isAudio)
    {
        if (isAudio)
        {
            // libmpg123 would resample the later parts to the first one's rate, and its
            // resampler's state at a part's start depends on where the decode began.
            if (widest == 0)
                rate = frame.rate;
            else if (frame.rate != rate)
                oneRate = false;

            widest = std::max (widest, frame.channels);
            audioEnd = frame.offset + frame.bytes;
        }

        // A lone header is decoded too, and moves the synthesis ring on as far.
        frames.push_back ({ frame.offset, GetLengthInSamples() + (isAudio ? frame.samples : 0), frame.mainData,
                            static_cast<uint8_t> (blocks), frame.followsItsPredecessor });
        blocks = int ((blocks + frame.samples / samplesPerBlock) % synthesisRingBlocks);
    };

    while (oneRate)
    {
        const int result = mpg123_framebyframe_next (handle);

        // The stream ends where libmpg123 finds no further frame, whatever the reason:
        // a decode stops at the same place.
        if (result != MPG123_OK && result != MPG123_NEW_FORMAT)
            break;

        mpg123_frameinfo2 info {};
        unsigned long header = 0;
        unsigned char* body = nullptr;
        size_t bodyBytes = 0;
        Parsed frame;
        frame.offset = static_cast<int64_t> (mpg123_framepos (handle));
        frame.samples = mpg123_spf (handle);

        if (mpg123_info2 (handle, &info) != MPG123_OK || mpg123_framedata (handle, &header, &body, &bodyBytes) != MPG123_OK
            || frame.samples <= 0 || info.rate <= 0 || frame.offset < 0)
            break;

        frame.bytes = 4 + static_cast<int64_t> (bodyBytes);
        frame.rate = info.rate;
        frame.channels = info.mode == MPG123_M_MONO ? 1 : 2;

        // What a restart needs to know of the layer III bit reservoir (see RestartAt).
        const bool crc = (info.flags & MPG123_CRC) != 0;
        const bool mpeg1 = info.version == MPG123_1_0;
        const size_t sideInfoBytes = mpeg1 ? (frame.channels == 1 ? 17 : 32) : (frame.channels == 1 ? 9 : 17);
        const size_t sideInfoStart = crc ? 2 : 0;

        if (info.layer == 3 && bodyBytes >= sideInfoStart + sideInfoBytes)
        {
            const unsigned char* sideInfo = body + sideInfoStart;
            frame.mainData.begin = static_cast<uint16_t> (mpeg1 ? (sideInfo[0] << 1) | (sideInfo[1] >> 7) : sideInfo[0]);
            frame.mainData.bytes = static_cast<uint16_t> (std::min<size_t> (bodyBytes - sideInfoStart - sideInfoBytes, UINT16_MAX));
            frame.mainData.sideInfoBytes = static_cast<uint8_t> (sideInfoBytes);
            frame.mainData.crc = crc;
            frame.mainData.mpeg1 = mpeg1;

            const unsigned char* after = body + sideInfoBytes;
            frame.mainData.tagAfter = ! crc && bodyBytes >= sideInfoBytes + 8
                                   && (std::memcmp (after, "Xing", 4) == 0 || std::memcmp (after, "Info", 4) == 0);
        }

        if (hasPrevious)
        {
            frame.followsItsPredecessor = frame.offset == previous.offset + previous.bytes;
            keep (previous, previous.followsItsPredecessor || frame.followsItsPredecessor);
        }

        // Lone headers are junk too: after a damaged block longer than the limit, or in
        // the rest of a disk that holds nothing but false headers, the stream has ended.
        if (widest > 0 && frame.offset - audioEnd > resyncLimit)
        {
            hasPrevious = false;
            break;
        }

        previous = frame;
        hasPrevious = true;
    }

    if (hasPrevious && oneRate)
        keep (previous, previous.followsItsPredecessor);

    if (widest == 0 || ! oneRate)
        return false;

    // Lone headers after the last audio would only be decoded to be left out.
    while (frames.size() > 1 && FrameLength (frames.size() - 1) == 0)
        frames.pop_back();

    frames.shrink_to_fit();
    sampleRate = double (rate);
    numChannels = widest;
    return true;
}

bool MpegAudioDecoder::RestartAt (size_t frame)
{
    // Opened at a frame's header, libmpg123 takes it for the stream's first; from the
    // start it skips the tags and the "Xing"/"Info" frame as at the first opening.
    input->position = input->origin = frame == 0 ? 0 : frames[frame].offset;
    input->rewrites.clear();

    // A layer III frame whose main data begins before the frames libmpg123 has read since
    // it was opened cannot be decoded. libmpg123 reads it as a silent frame whose main data
    // begins with what it has, but it leaves bits of the side information in MPEG-2 and
    // 2.5, and behind a CRC it clears two bytes of main data that later frames take from
    // the reservoir. Either can make a frame fail to decode, and a frame that fails is not
    // synthesised: the synthesis ring would stay behind a decode from the start. Such a
    // frame reaches libmpg123 as that silent frame already, synthesised as every other.
    int64_t available = 0;

    for (size_t j = frame; j < frames.size() && available < maxMainDataBegin; ++j)
    {
        const MainData& mainData = frames[j].mainData;

        // libmpg123 empties the reservoir where it resynchronises, in any decode.
        if (mainData.sideInfoBytes == 0 || (j > frame && ! frames[j].followsItsPredecessor))
            break;

        // libmpg123 takes the first frame it reads for a "Xing"/"Info" frame when its side
        // information is zero and a tag follows: that one stays as the index met it.
        if (mainData.begin > available && ! (j == frame && mainData.tagAfter))
        {
            const int64_t sideInfo = frames[j].offset + 4 + (mainData.crc ? 2 : 0);
            const auto begin = static_cast<unsigned char> (mainData.mpeg1 ? available >> 1 : available);
            const auto next = static_cast<unsigned char> (mainData.mpeg1 ? (available & 1) << 7 : 0);
            input->rewrites.push_back ({ sideInfo, sideInfo + mainData.sideInfoBytes, { begin, next } });
        }

        available += mainData.bytes;
    }

    restartFrame = nextFrame = frame;
    decoderReady = mpg123_open_handle (handle, input.get()) == MPG123_OK;
    return decoderReady;
}

bool MpegAudioDecoder::RestartEarlier()
{
    // The decoder met other frames than the index holds: opened just before a damaged
    // block, libmpg123 can take the frame for a false sync. Each retry starts twice as
    // far back; from the start the frames are the indexed ones by construction.
    if (restartFrame == 0)
        return false;

    if (nextFrame > targetFrame)
    {
        targetFrame = nextFrame;
        targetSkip = 0;
    }

    const size_t distance = std::max (2 * (targetFrame - restartFrame), seekPreframes);
    return RestartAt (RingAlignedAtOrBefore (targetFrame > distance ? targetFrame - distance : 0));
}

size_t MpegAudioDecoder::RingAlignedAtOrBefore (size_t frame) const noexcept
{
    // A lone header in junk is no place to open the stream at either. Where no frame near
    // is one, the start is: slower, but every sample still equals a decode from it.
    for (size_t j = frame; j > 0 && frame - j < ringSearchFrames; --j)
        if (frames[j].ringPhase == 0 && FrameLength (j) > 0)
            return j;

    return 0;
}

bool MpegAudioDecoder::SeekTo (int64_t sample)
{
    if (! IsValid() || sample < 0 || sample >= GetLengthInSamples())
        return false;

    const auto found = std::upper_bound (frames.begin(), frames.end(), sample,
                                         [] (int64_t s, const Frame& frame) { return s < frame.endSample; });
    const auto frame = static_cast<size_t> (found - frames.begin());
    const size_t start = RingAlignedAtOrBefore (frame > seekPreframes ? frame - seekPreframes : 0);

    targetFrame = frame;
    targetSkip = static_cast<size_t> (sample - FrameStart (frame));

    // A target a few frames ahead is reached sooner by decoding on to it, once the
    // frames since the last restart have filled the decoder's state.
    const bool settled = restartFrame == 0 || nextFrame >= restartFrame + seekPreframes;

    if (decoderReady && settled && nextFrame >= start && nextFrame <= frame)
        return true;

    return RestartAt (start);
}

MpegAudioDecoder::Result MpegAudioDecoder::DecodeNextFrame (const float*& samples, size_t& numFrames)
{
    if (! IsValid())
        return Result::error;

    const size_t frameBytes = sizeof (float) * size_t (numChannels);

    // Every call consumes a frame, ends, or restarts from further back (a bounded
    // number of times), so this ends.
    while (decoderReady)
    {
        if (nextFrame >= frames.size())
            return Result::end;

        off_t frameNumber = 0;
        unsigned char* audio = nullptr;
        size_t bytes = 0;
        const int result = mpg123_decode_frame (handle, &frameNumber, &audio, &bytes);

        if (result == MPG123_NEW_FORMAT)
        {
            long rate = 0;
            int channels = 0;
            int encoding = 0;

            if (mpg123_getformat (handle, &rate, &channels, &encoding) == MPG123_OK && double (rate) == sampleRate
                && channels == numChannels && encoding == MPG123_ENC_FLOAT_32)
                continue;
        }

        const size_t frame = nextFrame;
        const size_t frameLength = FrameLength (frame);

        // A lone header in junk decodes to whatever libmpg123 makes of it; only where it
        // was matters.
        if (result != MPG123_OK || audio == nullptr || (frameLength > 0 && bytes != frameLength * frameBytes)
            || input->origin + static_cast<int64_t> (mpg123_framepos (handle)) != frames[frame].offset)
        {
            if (! RestartEarlier())
                break;

            continue;
        }

        ++nextFrame;

        if (frame < targetFrame || frameLength == 0)
            continue;

        const size_t skip = frame == targetFrame ? targetSkip : 0;
        samples = reinterpret_cast<const float*> (audio) + skip * size_t (numChannels);
        numFrames = frameLength - skip;
        return Result::frame;
    }

    decoderReady = false;
    return Result::error;
}

} // namespace kul
