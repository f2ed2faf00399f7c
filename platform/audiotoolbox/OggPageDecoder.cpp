#include "audiotoolbox/OggPageDecoder.h"

#include <algorithm>
#include <cstdio>
#include <limits>
#include <new>

namespace
{
constexpr int64_t most = std::numeric_limits<int64_t>::max();

// The file is read a block at a time while it is indexed.
constexpr long indexBlockBytes = 65536;

// The largest Ogg page: a header of 27 bytes and 255 lacing values, 255 segments of 255 bytes.
constexpr size_t mostPageBytes = 27 + 255 + 255 * 255;

// A page ends at most 255 packets, and each packet takes at least a lacing value and a byte.
constexpr int64_t mostPacketsPerPage = 255;
constexpr int64_t leastPacketBytes = 2;

// A target this near ahead is decoded up to, not sought: about as quick.
constexpr int64_t forwardDecodeFrames = 16384;

// The count of frames a granule position stands for, given the granule position at count
// 0; false for -1 (no packet ends in the page), any other negative one, and a difference
// past 64 bits.
bool countOfGranule (int64_t granule, int64_t origin, int64_t& count) noexcept
{
    if (granule < 0 || (origin < 0 && granule > most + origin) || granule - origin < 0)
        return false;

    count = granule - origin;
    return true;
}

// The stream's next whole packet; false when the pages fed so far hold no more. A hole
// (a packet that lost its start) is passed over: the index marks the loss on its own.
bool takePacket (ogg_stream_state& stream, ogg_packet& packet) noexcept
{
    for (;;)
        if (const int got = ogg_stream_packetout (&stream, &packet); got >= 0)
            return got > 0;
}

struct SyncState
{
    SyncState() noexcept { ogg_sync_init (&state); }
    ~SyncState() { ogg_sync_clear (&state); }
    SyncState (const SyncState&) = delete;
    SyncState& operator= (const SyncState&) = delete;

    ogg_sync_state state;
};
} // namespace

/** What the indexing knows about the link it reads. */
struct OggPageDecoder::Indexing
{
    bool beginning = false;      // only beginning-of-stream pages read in the link so far
    bool hasStream = false;      // the link holds a stream of the codec
    uint32_t lastSequence = 0;   // of the stream's last page kept
    int headersRead = 0;
    int64_t count = 0;           // the frames the link's packets decode to so far
    int64_t packetsCounted = 0;  // audio packets completed in the link
    int64_t skippedBytes = 0;    // damaged bytes passed over since the stream's last page

    bool originKnown = false;    // the granule position at count 0, from the link's first page that gives one
    int64_t origin = 0;
    size_t originPage = 0;

    bool lossPending = false;    // frames were lost, and no granule position has placed those after them yet
    size_t lossPage = 0;         // the first page after the loss
    size_t lossResolvedFrom = 0; // the first page whose restart point was found after the loss
    int64_t mostLost = 0;        // the frames the loss can have held
    int64_t packetBeforeLoss = 0; // the frames of the last packet before it
    int64_t lastPacket = 0;      // the frames of the last audio packet counted

    int64_t lastGranule = -1;    // of the link's last page, when a packet ends in it
    size_t waiting = 0;          // the first page whose restart point is not known yet
    std::vector<int64_t> firstStarting; // per page: the first audio packet that starts in it or after it
};

OggPageDecoder::OggPageDecoder (const ByteSource& bytes) noexcept : source (bytes)
{
    ogg_stream_init (&stream, 0);
}

OggPageDecoder::~OggPageDecoder()
{
    ogg_stream_clear (&stream);
}

bool OggPageDecoder::Open() noexcept
{
    try
    {
        pageBytes.resize (mostPageBytes);
        packets.reserve (size_t (mostPacketsPerPage) + 1);
        packetFrames.reserve (size_t (mostPacketsPerPage) + 1);

        SyncState sync;
        Indexing indexing;
        int64_t offset = 0;
        source.position = 0;

        for (;;)
        {
            ogg_page page;
            const long found = ogg_sync_pageseek (&sync.state, &page);

            if (found > 0)
            {
                if (! indexPage (indexing, page, offset))
                    return false;

                offset += found;
                continue;
            }

            // Bytes that are no page (junk, or a page whose checksum fails).
            if (found < 0)
            {
                indexing.skippedBytes += -found;
                offset += -found;
                continue;
            }

            char* buffer = ogg_sync_buffer (&sync.state, indexBlockBytes);
            const int64_t got = buffer != nullptr ? source.Read (buffer, indexBlockBytes) : 0;

            if (got <= 0 || ogg_sync_wrote (&sync.state, static_cast<long> (got)) != 0)
                break;
        }

        return ! links.empty() && finishLink (indexing) && placeSnapshots();
    }
    catch (const std::bad_alloc&)
    {
        return false;
    }
}

bool OggPageDecoder::indexPage (Indexing& indexing, ogg_page& page, int64_t offset)
{
    const auto serial = static_cast<uint32_t> (ogg_page_serialno (&page));
    const auto sequence = static_cast<uint32_t> (ogg_page_pageno (&page));

    if (ogg_page_bos (&page) != 0)
    {
        // The stream's first page again is a repeat, no new link.
        if (indexing.hasStream && serial == links.back().serial && sequence == indexing.lastSequence)
            return true;

        // Beginning-of-stream pages one after another start the streams of one link.
        if (! indexing.beginning)
        {
            if (! links.empty() && ! finishLink (indexing))
                return false;

            links.emplace_back();
            auto firstStarting = std::move (indexing.firstStarting);
            indexing = {};
            indexing.firstStarting = std::move (firstStarting);
            indexing.beginning = true;
            indexing.waiting = pages.size();
        }

        if (indexing.hasStream || ! IsCodecHeader (page.body, page.body_len))
            return true;

        indexing.hasStream = true;
        links.back().serial = serial;
        links.back().firstPage = pages.size();
        ogg_stream_reset_serialno (&stream, static_cast<int> (serial));
        indexing.lastSequence = sequence;
        RestartCount();
    }
    else
    {
        indexing.beginning = false;

        // Another stream's page, or a page of the stream read before (a repeat, or older).
        if (! indexing.hasStream || serial != links.back().serial || sequence <= indexing.lastSequence)
            return true;
    }

    const size_t index = pages.size();
    Page entry;
    entry.offset = offset;
    entry.bytes = static_cast<uint32_t> (page.header_len + page.body_len);
    entry.restartAt = most;
    entry.afterLoss = ogg_page_bos (&page) == 0 && sequence != indexing.lastSequence + 1;

    if (entry.afterLoss)
    {
        // The loss can have held as many packets as its damaged bytes, or as whole pages
        // hold where pages are missing, each of the most frames a packet gives.
        const int64_t missing = std::min<int64_t> (sequence - indexing.lastSequence - 1, int64_t (pages.size()) + 1);
        const int64_t packetsLost = indexing.skippedBytes > 0 ? indexing.skippedBytes / leastPacketBytes : missing * mostPacketsPerPage;
        indexing.lossPending = indexing.originKnown;
        indexing.lossPage = index;
        indexing.lossResolvedFrom = indexing.waiting;
        indexing.mostLost = (packetsLost + 2) * GetMostPacketFrames();
        indexing.packetBeforeLoss = indexing.lastPacket;
        ogg_stream_reset (&stream);
        RestartCount();
    }

    if (ogg_stream_pagein (&stream, &page) != 0)
        return true;

    const bool headersDone = indexing.headersRead == GetHeaderCount();
    const bool continued = ogg_page_continued (&page) != 0 && ! entry.afterLoss;
    pages.push_back (entry);
    indexing.firstStarting.push_back (headersDone ? indexing.packetsCounted + (continued ? 1 : 0) : most);
    indexing.lastSequence = sequence;
    indexing.skippedBytes = 0;

    // No restart among the header pages.
    if (! headersDone)
        indexing.waiting = index + 1;

    int audioPackets = 0;

    for (ogg_packet packet; takePacket (stream, packet);)
    {
        if (indexing.headersRead < GetHeaderCount())
        {
            if (! ReadHeader (packet, indexing.headersRead++))
                return false;

            if (indexing.headersRead == GetHeaderCount())
            {
                links.back().headerEndPage = index;
                links.back().leadingFrames = GetLeadingFrames();
                links.back().stateBytes = GetStateBytes();
                links.back().rate = GetStreamRate();

                if (links.size() == 1)
                {
                    channelCount = GetStreamChannels();
                    sampleRate = GetStreamRate();
                }
                else if (channelCount != GetStreamChannels() || sampleRate != GetStreamRate())
                {
                    channelCount = sampleRate = 0;
                }
            }

            continue;
        }

        const int64_t frames = CountFrames (packet);
        const int64_t start = indexing.count;
        const int64_t ordinal = indexing.packetsCounted++;
        ++audioPackets;

        if (frames < 0)
            continue;

        if (indexing.count > most - frames)
            return false;

        indexing.count += frames;
        indexing.lastPacket = frames;

        for (; indexing.waiting < pages.size() && indexing.firstStarting[indexing.waiting] <= ordinal; ++indexing.waiting)
            pages[indexing.waiting].restartAt = FirstPacketPrimes() ? indexing.count : start;
    }

    pages[index].end = indexing.count;
    const int64_t granule = ogg_page_granulepos (&page);
    indexing.lastGranule = audioPackets > 0 ? granule : -1;

    if (audioPackets == 0 || granule < 0)
        return true;

    if (! indexing.originKnown)
    {
        indexing.originKnown = true;
        indexing.origin = granule - indexing.count;
        indexing.originPage = index;
        return true;
    }

    // The first granule position after a loss places the frames after it, where it
    // neither goes back nor reaches further than the loss can have held. That of a
    // stream's last page also trims its end by what the page's packets hold beyond it, up
    // to a packet: where each packet has a duration of its own (none primes the decoder),
    // the frames lost are taken as whole packets of the duration of the one before them.
    int64_t at = 0;
    int64_t gap = -1;

    if (indexing.lossPending && countOfGranule (granule, indexing.origin, at))
    {
        gap = at - indexing.count;
        const int64_t unit = indexing.packetBeforeLoss;

        if (ogg_page_eos (&page) != 0 && ! FirstPacketPrimes() && unit > 0 && gap > -unit && gap <= indexing.mostLost)
            gap = (gap + unit - 1) / unit * unit;
    }

    if (gap >= 0 && gap <= indexing.mostLost)
    {
        for (size_t p = indexing.lossPage; p <= index; ++p)
            pages[p].end += gap;

        for (size_t p = indexing.lossResolvedFrom; p < indexing.waiting; ++p)
            pages[p].restartAt += gap;

        indexing.count += gap;
    }

    indexing.lossPending = false;
    return true;
}

bool OggPageDecoder::finishLink (Indexing& indexing)
{
    Link& link = links.back();
    link.endPage = pages.size();
    indexing.waiting = pages.size();

    // A link without a stream of the codec, or whose headers do not decode, cannot be read.
    if (! indexing.hasStream || indexing.headersRead < GetHeaderCount())
        return false;

    int64_t end = indexing.count;
    int64_t origin = indexing.origin;

    if (indexing.originKnown)
    {
        // In a link whose first page that gives a granule position is its last, the
        // position trims the end, not the start.
        if (indexing.originPage + 1 == link.endPage)
            origin = std::max<int64_t> (origin, 0);

        // The last page's granule position trims the link's end, and only that.
        int64_t at = 0;

        if (countOfGranule (indexing.lastGranule, origin, at) && at <= end)
            end = at;
    }

    // A first granule position below the frames its page holds trims the start.
    link.leadingFrames = std::min (end, link.leadingFrames + std::max<int64_t> (0, -origin));
    return AppendLink (end - link.leadingFrames);
}

// The snapshots' pages: in each link whose decoder's state is copied, the first page from
// which decoding restarts at least the spacing after the link's start or the last one. The
// spacing widens with the frames the index counted (not the granule positions, which can lie)
// so that the snapshots of the whole file fit in mostSnapshotBytes.
bool OggPageDecoder::placeSnapshots()
{
    size_t stride = 0;
    int64_t counted = 0;

    for (const Link& link : links)
    {
        if (link.stateBytes == 0 || link.endPage == link.firstPage)
            continue;

        stride = std::max (stride, link.stateBytes);
        counted += std::min (pages[link.endPage - 1].end, most - counted);
    }

    if (stride == 0 || stride > mostSnapshotBytes)
        return true;

    const auto slots = int64_t (mostSnapshotBytes / stride);
    const int64_t widest = counted / slots + 1;

    for (const Link& link : links)
    {
        if (link.stateBytes == 0 || link.rate <= 0)
            continue;

        const int64_t spacing = std::max (snapshotSeconds * link.rate, widest);
        int64_t next = spacing;

        for (size_t p = link.headerEndPage + 1; p < link.endPage; ++p)
        {
            if (pages[p].restartAt == most || pages[p].restartAt < next)
                continue;

            snapshots.push_back ({ p, false });
            next = pages[p].restartAt > most - spacing ? most : pages[p].restartAt + spacing;
        }
    }

    if (snapshots.empty())
        return true;

    snapshotMemory.reset (new (std::nothrow) unsigned char[snapshots.size() * stride]);
    snapshotStride = stride;
    snapshotDue = snapshots.size();
    return snapshotMemory != nullptr;
}

// The last snapshot taken in the link at the page or before it; snapshots.size() for none.
size_t OggPageDecoder::lastSnapshotTaken (int link, size_t page) const noexcept
{
    const size_t first = links[size_t (link)].firstPage;
    auto at = std::upper_bound (snapshots.begin(), snapshots.end(), page, [] (size_t p, const Snapshot& s) { return p < s.page; });

    while (at != snapshots.begin() && (at - 1)->page >= first)
        if ((--at)->taken)
            return size_t (at - snapshots.begin());

    return snapshots.size();
}

bool OggPageDecoder::enterLink (int link) noexcept
{
    decodingLink = link;
    decoderStarted = false;
    headersLeft = GetHeaderCount();
    nextPage = links[size_t (link)].firstPage;
    snapshotDue = snapshots.size();
    decodingInOrder = true;
    packets.clear();
    packetFrames.clear();
    nextPacket = 0;
    ogg_stream_reset_serialno (&stream, static_cast<int> (links[size_t (link)].serial));
    RestartCount();
    return true;
}

bool OggPageDecoder::readHeaders (int link) noexcept
{
    if (decodingLink == link && decoderStarted)
        return true;

    enterLink (link);

    while (! decoderStarted)
        if (nextPage == links[size_t (link)].endPage || ! feedPage())
            return false;

    return true;
}

bool OggPageDecoder::feedPage() noexcept
{
    const size_t index = nextPage++;
    const Page& page = pages[index];
    unsigned char* bytes = pageBytes.data();

    if (source.Seek (page.offset, SEEK_SET) < 0 || source.Read (bytes, page.bytes) != page.bytes || page.bytes < 27)
        return false;

    ogg_page whole;
    whole.header = bytes;
    whole.header_len = 27 + bytes[26];
    whole.body = bytes + whole.header_len;
    whole.body_len = long (page.bytes) - whole.header_len;

    if (whole.body_len < 0)
        return false;

    if (page.afterLoss)
    {
        ogg_stream_reset (&stream);
        RestartCount();

        if (decoderStarted)
            RestartDecoder();
    }

    // A packet begun in the page before is finished here (libogg drops its end where the
    // stream restarted): the page's own packets come after it.
    const int last = stream.lacing_fill - 1;
    const bool finishesPacket = ogg_page_continued (&whole) != 0 && last >= 0 && (stream.lacing_vals[last] & 0xff) == 255
                                && stream.lacing_vals[last] != 0x400;

    if (ogg_stream_pagein (&stream, &whole) != 0)
        return false;

    // Decoding in order reaches the page's snapshot with the load's state, as it began where
    // that was known.
    const auto snapshot = std::lower_bound (snapshots.begin(), snapshots.end(), index, [] (const Snapshot& s, size_t p) { return s.page < p; });
    const bool due = decodingInOrder && snapshot != snapshots.end() && snapshot->page == index && ! snapshot->taken;
    snapshotDue = due ? size_t (snapshot - snapshots.begin()) : snapshots.size();
    snapshotDuePacket = finishesPacket ? 1 : 0;

    packets.clear();
    packetFrames.clear();
    nextPacket = 0;
    int64_t frames = 0;

    for (ogg_packet packet; takePacket (stream, packet);)
    {
        if (headersLeft > 0)
        {
            if (! ReadHeader (packet, GetHeaderCount() - headersLeft))
                return false;

            if (--headersLeft == 0 && ! (decoderStarted = StartDecoder()))
                return false;

            continue;
        }

        // Room for a page's packets was made when the file was opened.
        if (packets.size() == packets.capacity())
            return false;

        const int64_t count = CountFrames (packet);
        packets.push_back (packet);
        packetFrames.push_back (count);
        frames += std::max<int64_t> (count, 0);
    }

    // The page's last packet ends where the index counted it: the packets before it in
    // the page follow from theirs, also where decoding restarted at the page.
    packetCount = page.end - frames;
    return true;
}

int64_t OggPageDecoder::DecodeBlock (Block& block) noexcept
{
    if (decodingLink < 0)
        enterLink (0);

    for (;;)
    {
        if (snapshotDue < snapshots.size() && nextPacket == snapshotDuePacket)
        {
            SaveState (snapshotMemory.get() + snapshotDue * snapshotStride);
            snapshots[snapshotDue].taken = true;
            snapshotDue = snapshots.size();
        }

        if (nextPacket < packets.size())
        {
            const size_t packet = nextPacket++;
            const int64_t frames = packetFrames[packet];
            const int64_t at = packetCount;

            if (frames < 0)
                continue;

            packetCount += frames;
            const int64_t got = std::min (DecodePacket (packets[packet]), frames);

            if (got <= 0)
                continue;

            const size_t link = size_t (decodingLink);
            block = { got, 0, linkStarts[link] + at - links[link].leadingFrames, decodingLink };
            return got;
        }

        if (nextPage == links[size_t (decodingLink)].endPage)
        {
            if (decodingLink + 1 >= GetLinkCount())
                return 0;

            enterLink (decodingLink + 1);
            continue;
        }

        if (! feedPage())
        {
            decodingInOrder = false;
            snapshotDue = snapshots.size();
            return -1;
        }
    }
}

bool OggPageDecoder::SeekLibraryBefore (int64_t target, int link) noexcept
{
    position = target;
    const size_t page = restartPage (target, link);
    const bool copied = links[size_t (link)].stateBytes > 0;
    const size_t snapshot = copied && page < pages.size() ? lastSnapshotTaken (link, page) : snapshots.size();

    if (page == pages.size() || (copied && snapshot == snapshots.size()))
        return enterLink (link);

    if (! readHeaders (link))
    {
        decodingInOrder = false;
        return false;
    }

    ogg_stream_reset (&stream);
    RestartCount();

    if (copied)
        RestoreState (snapshotMemory.get() + snapshot * snapshotStride);
    else
        RestartDecoder();

    nextPage = copied ? snapshots[snapshot].page : page;
    snapshotDue = snapshots.size();
    decodingInOrder = copied;
    packets.clear();
    packetFrames.clear();
    nextPacket = 0;
    return true;
}

// The last page after the link's headers from which decoding gives the stream's own frames
// at the target; pages.size() for none: the link's start.
size_t OggPageDecoder::restartPage (int64_t target, int link) const noexcept
{
    const Link& seekLink = links[size_t (link)];
    const int64_t from = target - linkStarts[size_t (link)] + seekLink.leadingFrames;
    const auto first = pages.begin() + long (std::min (seekLink.headerEndPage + 1, seekLink.endPage));
    const auto last = pages.begin() + long (seekLink.endPage);
    const auto after = std::upper_bound (first, last, from, [] (int64_t count, const Page& page) { return count < page.restartAt; });
    return after == first ? pages.size() : size_t (after - pages.begin()) - 1;
}

// Decoding on is quicker than a seek that would restore a snapshot (or restart the link)
// no later than the frames decoded so far.
bool OggPageDecoder::DecodesForwardTo (int64_t target) const noexcept
{
    if (decodingLink < 0)
        return false;

    if (target - position <= forwardDecodeFrames)
        return true;

    const int link = LinkOf (target);

    if (link != decodingLink || links[size_t (link)].stateBytes == 0 || ! decodingInOrder)
        return false;

    const size_t page = restartPage (target, link);
    const size_t snapshot = page < pages.size() ? lastSnapshotTaken (link, page) : snapshots.size();
    return snapshot == snapshots.size() || pages[snapshots[snapshot].page].restartAt <= position - linkStarts[size_t (link)] + links[size_t (link)].leadingFrames;
}
