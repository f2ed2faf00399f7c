#pragma once

#include "audiotoolbox/ByteSource.h"

#include <cstdint>
#include <memory>
#include <vector>

/** Decodes an Ogg Vorbis or Opus file to 32-bit float frames with seeks that land on the
    very samples a decode from the file's start gives there, in place of libsndfile's Ogg
    seek, which lands frames away. A file of several streams one after another (a chain of
    links) is read whole, link after link, where libsndfile reads only the first.

    This part keeps the position: it places the blocks of frames that the decoding below
    (OggPageDecoder) gives, each at the frame it belongs at, passes over frames before the
    position and beyond a link's end, and gives silence where no block covers a frame. */
class OggPcmDecoder
{
public:
    virtual ~OggPcmDecoder() = default;

    /** Moves to a frame from 0 to the length; false when the stream cannot get there. */
    bool Seek (int64_t frame) noexcept;

    /** Up to count frames into the channels' buffers (one per channel, each with room for
        count); the frames read, 0 at the end of the file, -1 when decoding failed. Frames
        that the decoding does not give (a packet that does not decode) are silence. */
    int64_t Read (float* const* channels, uint32_t count) noexcept;

    /** The frame read next; -1 after a failed seek or read, until the next seek. */
    int64_t GetPosition() const noexcept { return position; }

    /** The file's length in frames: every link's. */
    int64_t GetLength() const noexcept { return linkStarts.empty() ? 0 : linkStarts.back(); }

    /** The streams one after another in the file. */
    int GetLinkCount() const noexcept { return static_cast<int> (linkStarts.size()) - 1; }

    /** The channels of every link; 0 when the links differ in channels or rate. */
    int GetChannelCount() const noexcept { return channelCount; }

    /** The rate the frames are decoded at, that of every link; 0 when the links differ. */
    int GetSampleRate() const noexcept { return sampleRate; }

protected:
    /** The frames decoded last, held until they are read. */
    struct Block
    {
        int64_t frames = 0;
        int64_t used = 0; // the frames already read or passed over
        int64_t at = 0;   // the file frame the next unused one belongs at
        int link = 0;
    };

    /** Where each link begins, and after the last one the file's length; set by the opening. */
    std::vector<int64_t> linkStarts;

    /** Adds the next link, of the frames given, to linkStarts; false when that is not a
        length (negative, or past what 64 bits count) or memory runs out. */
    bool AppendLink (int64_t frames) noexcept;

    /** Decodes the next block of frames into block, passing over damaged data: the frames
        decoded, 0 at the end of the stream, -1 on an error. */
    virtual int64_t DecodeBlock (Block& block) noexcept = 0;

    /** Copies count frames of the block from its frame from into the channels at offset. */
    virtual void CopyBlock (float* const* channels, int64_t offset, int64_t from, int64_t count) noexcept = 0;

    /** Makes the decoding start where it gives the stream's own frames at the target (a
        frame of the link given) and sets position to the target, or to a frame before it
        that the decoding reaches first; false when it cannot. */
    virtual bool SeekLibraryBefore (int64_t target, int link) noexcept = 0;

    /** Whether a target ahead of the position is better decoded up to than sought. */
    virtual bool DecodesForwardTo (int64_t target) const noexcept = 0;

    /** The link a frame before the length lies in. */
    int LinkOf (int64_t frame) const noexcept;

    int64_t position = 0;
    int channelCount = 0;
    int sampleRate = 0;

private:
    Block block;

    int64_t deliver (float* const* channels, int64_t count) noexcept;
    void placeBlock() noexcept;
};

/** A decoder over the bytes of an Ogg Vorbis (isOpus false) or Opus file, starting at frame
    0; null when it cannot be read (a link without a stream of the codec, headers that do not
    decode) or memory runs out. */
std::unique_ptr<OggPcmDecoder> OpenOggPcmDecoder (const ByteSource& bytes, bool isOpus) noexcept;

/** Whether the first Ogg page at the start of the bytes (the first whose checksum holds)
    begins with a Vorbis identification header. */
bool BeginsWithOggVorbis (ByteSource bytes) noexcept;

/** Whether the bytes hold a stream that begins after another stream's pages: a chain of links. */
bool HoldsSeveralOggLinks (ByteSource bytes) noexcept;
