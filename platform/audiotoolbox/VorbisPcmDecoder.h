#pragma once

#include "audiotoolbox/OggPcmDecoder.h"

#define OV_EXCLUDE_STATIC_CALLBACKS
#include <vorbis/vorbisfile.h>

/** An Ogg Vorbis file decoded by libvorbisfile. A Vorbis packet depends only on the one
    before it, so decoding from any page gives the stream's own frames from that page's
    second packet on, and libvorbisfile places them by granule position once it starts
    afresh at a page. A seek therefore starts at the last page from which decoding reaches
    the target (found by bisection) and decodes up to it; a gap in the stream (a page lost
    to damage) and the start of the next link restart the decoding at the page. libvorbisfile's
    own seek is not used: a page lost before its target makes it land elsewhere. A link that
    starts past granule 0 (a capture that joined a stream late) is numbered otherwise by
    libvorbisfile in a seek than in a decode from its start, so it is decoded from its start
    up to a target. */
class VorbisPcmDecoder final : public OggPcmDecoder
{
public:
    explicit VorbisPcmDecoder (const ByteSource& bytes) noexcept : source (bytes) {}
    ~VorbisPcmDecoder() override;

    /** Opens the file and finds its links; false when libvorbisfile does not open it. */
    bool Open() noexcept;

private:
    ByteSource source;
    OggVorbis_File file {};
    bool isOpen = false;
    float** pcm = nullptr; // the last block, valid until the library decodes again
    int64_t gapResumedAt = -1; // the byte offset decoding last restarted at after a gap
    int decodedLink = 0; // the link of the last block

    int64_t DecodeBlock (Block& block) noexcept override;
    void CopyBlock (float* const* channels, int64_t offset, int64_t from, int64_t count) noexcept override;
    bool SeekLibraryBefore (int64_t target, int link) noexcept override;
    bool DecodesForwardTo (int64_t target) const noexcept override;

    bool startsAtGranuleZero (int link) const noexcept { return file.pcmlengths[2 * link] == 0; }

    static size_t readBytes (void* destination, size_t size, size_t count, void* stream);
    static int seekBytes (void* stream, ogg_int64_t offset, int whence);
    static long tellBytes (void* stream);
};
