#pragma once

#include "audiotoolbox/OggPcmDecoder.h"

#define OV_EXCLUDE_STATIC_CALLBACKS
#include <vorbis/vorbisfile.h>

/** An Ogg Vorbis stream decoded by libvorbisfile, whose seek decodes the packet before the
    target as well: a Vorbis packet depends on nothing older, so a seek lands on the very
    samples a decode from the start gives there. */
class VorbisPcmDecoder final : public OggPcmDecoder
{
public:
    explicit VorbisPcmDecoder (const ByteSource& bytes) noexcept : source (bytes) {}
    ~VorbisPcmDecoder() override;

    /** Opens the stream; false unless it is a single seekable stream starting at granule 0
        with the channels, rate and length given. */
    bool Open (int channels, int sampleRate, int64_t frames) noexcept;

    bool Seek (int64_t frame) noexcept override;
    int64_t Read (float* const* channels, uint32_t count) noexcept override;

private:
    ByteSource source;
    OggVorbis_File file {};
    bool isOpen = false;
    int channelCount = 0;

    static size_t readBytes (void* destination, size_t size, size_t count, void* stream);
    static int seekBytes (void* stream, ogg_int64_t offset, int whence);
    static long tellBytes (void* stream);
};
