#pragma once

#include "audiotoolbox/OggPcmDecoder.h"

#include <ogg/ogg.h>

#include <cstdint>
#include <memory>
#include <vector>

/** The decoding under OggPcmDecoder, shared by the codecs: the file's pages are indexed
    once when it is opened, and the codec's packets are then decoded from the pages the
    index names, with libogg finding the pages (checksums checked) and the packets in them.

    Time is counted from the packets themselves: each page is indexed with the frames that
    its packets decode to, so every frame's place follows from the frames before it, as in
    a decode from the first frame. A granule position is believed only where the count
    cannot tell: where a link starts (a stream captured from mid-way starts past 0), where
    frames resume after pages lost to damage (and only as far as the lost bytes could have
    held), and at a link's last page, which trims its end; a granule position that goes
    back, jumps past what the packets hold or is -1 is not believed. So no granule position
    can lengthen a link beyond what its pages decode to and what its losses can have held,
    and none can misplace a frame.

    - A link begins at a beginning-of-stream page: a stream joined to itself (the same
      serial number twice) is two links. In a link of several streams, the first stream of
      the codec is read and the others are passed over; a link without one refuses the file.
    - A page repeated (the same serial and sequence number, or an older one) is dropped.
    - After a page lost or damaged (a gap in the sequence numbers), decoding restarts at the
      next page; the lost frames are silence, and the frames after them keep their places,
      the link's last page included.
    - A seek restarts decoding at the last page from which the codec gives the stream's own
      frames at the target, found in the index: a capture from mid-way seeks as fast as a
      stream from its start.
    - A codec whose state outlives a packet (GetStateBytes() above 0) cannot restart at a
      page and give the stream's own frames: its seeks restore a copy of the decoder's state
      taken at a page by an earlier decode (the snapshots, about every snapshotSeconds of a
      link) and decode on from that page; where none has been taken that far, they decode on
      from the last one taken, or from the link's start, taking them as they pass. Every
      decode so begins where the load's state is known (a link's start, or a copy of it), and
      passes damage as the load does, so a seek gives the load's very samples. */
class OggPageDecoder : public OggPcmDecoder
{
public:
    ~OggPageDecoder() override;

    /** About how far apart the snapshots of a link are; further in a file so long that they
        would take more than mostSnapshotBytes. */
    static constexpr int64_t snapshotSeconds = 5;
    static constexpr size_t mostSnapshotBytes = size_t (16) << 20;

    OggPageDecoder (const OggPageDecoder&) = delete;
    OggPageDecoder& operator= (const OggPageDecoder&) = delete;

    /** Indexes the file's pages and finds its links; false when a link holds no stream
        of the codec, a stream's headers do not decode, or memory runs out. */
    bool Open() noexcept;

protected:
    explicit OggPageDecoder (const ByteSource& bytes) noexcept;

    /** Whether a stream's first packet (the start of its first page's body) is the
        codec's identification header. */
    virtual bool IsCodecHeader (const unsigned char* packet, long bytes) const noexcept = 0;

    /** The header packets a stream of the codec begins with. */
    virtual int GetHeaderCount() const noexcept = 0;

    /** Reads a stream's header packet (index 0 begins a new stream); false when it is not one. */
    virtual bool ReadHeader (ogg_packet& packet, int index) noexcept = 0;

    /** The channels and the rate of the stream whose headers were read last. */
    virtual int GetStreamChannels() const noexcept = 0;
    virtual int GetStreamRate() const noexcept = 0;

    /** The frames decoded at the start of the stream whose headers were read last that
        are not part of it (Opus's pre-skip). */
    virtual int64_t GetLeadingFrames() const noexcept = 0;

    /** The most frames one packet of that stream decodes to. */
    virtual int64_t GetMostPacketFrames() const noexcept = 0;

    /** The frames a packet decodes to after the packets counted since the last
        RestartCount(); -1 for a packet that is not audio (decoded as nothing). */
    virtual int64_t CountFrames (ogg_packet& packet) noexcept = 0;
    virtual void RestartCount() noexcept = 0;

    /** Whether the first audio packet after a restart only primes the decoder, giving no
        frames (a Vorbis packet's frames overlap the one before it). */
    virtual bool FirstPacketPrimes() const noexcept = 0;


    /** The bytes a copy of the decoder's state takes between packets, for the stream whose
        headers were read last; 0 for a codec that restarts at any page without a copy. */
    virtual size_t GetStateBytes() const noexcept { return 0; }

    /** Copies the decoder's state (GetStateBytes() of it) between packets to the bytes. */
    virtual void SaveState (unsigned char*) const noexcept {}

    /** Makes the decoder, started for the stream, decode on from a state SaveState copied. */
    virtual void RestoreState (const unsigned char*) noexcept {}

    /** Makes a decoder for the stream whose headers were read last; false when it cannot. */
    virtual bool StartDecoder() noexcept = 0;

    /** Decodes on from a packet that does not follow the last one decoded. */
    virtual void RestartDecoder() noexcept = 0;

    /** Decodes an audio packet; the frames it gave (held for CopyBlock until the next
        packet), 0 when it gave none or did not decode. */
    virtual int64_t DecodePacket (ogg_packet& packet) noexcept = 0;

private:
    /** A page of the codec's stream in a link, in the order read. */
    struct Page
    {
        int64_t offset = 0;   // in the file
        int64_t end = 0;      // the link's count of frames after the packets completed in the page
        int64_t restartAt = 0; // the count from which decoding restarted at the page gives the stream's own frames
        uint32_t bytes = 0;
        bool afterLoss = false; // pages of the stream were lost or damaged right before it
    };

    struct Link
    {
        size_t firstPage = 0;
        size_t endPage = 0;        // after its last page
        size_t headerEndPage = 0;  // the page in which its last header packet ends
        int64_t leadingFrames = 0; // the count of frames before its first
        size_t stateBytes = 0;     // of a copy of its decoder's state; 0: none is taken
        int rate = 0;              // of its frames
        uint32_t serial = 0;
    };

    /** A page at which decoding in order copies the decoder's state, and whether it has. */
    struct Snapshot
    {
        size_t page = 0;
        bool taken = false;
    };

    ByteSource source;
    ogg_stream_state stream {};
    std::vector<Page> pages;
    std::vector<Link> links;

    // The decoding: the link and its next page, the packets of the page fed last, with the
    // frames each one counts and the link's count at the next one.
    int decodingLink = -1;
    bool decoderStarted = false;
    int headersLeft = 0;
    size_t nextPage = 0;
    std::vector<ogg_packet> packets;
    std::vector<int64_t> packetFrames;
    size_t nextPacket = 0;
    int64_t packetCount = 0;
    std::vector<unsigned char> pageBytes;

    // The snapshots, in the order of their pages, each with room of snapshotStride bytes;
    // the one due in the page fed last, before its packet of that index.
    std::vector<Snapshot> snapshots;
    std::unique_ptr<unsigned char[]> snapshotMemory;
    size_t snapshotStride = 0;
    size_t snapshotDue = 0;
    size_t snapshotDuePacket = 0;
    bool decodingInOrder = false; // from a link's start or a snapshot, without a failure since

    struct Indexing;
    bool indexPage (Indexing& indexing, ogg_page& page, int64_t offset);
    bool finishLink (Indexing& indexing);
    bool placeSnapshots();
    size_t lastSnapshotTaken (int link, size_t page) const noexcept;
    size_t restartPage (int64_t target, int link) const noexcept;

    bool enterLink (int link) noexcept;
    bool readHeaders (int link) noexcept;
    bool feedPage() noexcept;

    int64_t DecodeBlock (Block& block) noexcept override;
    bool SeekLibraryBefore (int64_t target, int link) noexcept override;
    bool DecodesForwardTo (int64_t target) const noexcept override;
};
