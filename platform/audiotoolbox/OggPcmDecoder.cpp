#include "audiotoolbox/OggPcmDecoder.h"

#include "audiotoolbox/OpusPcmDecoder.h"
#include "audiotoolbox/VorbisPcmDecoder.h"

#include <algorithm>
#include <new>

namespace
{
template <typename Decoder>
std::unique_ptr<OggPcmDecoder> openDecoder (const ByteSource& bytes, int channels, int sampleRate, int64_t frames) noexcept
{
    std::unique_ptr<Decoder> decoder (new (std::nothrow) Decoder (bytes));

    if (decoder == nullptr || ! decoder->Open (channels, sampleRate, frames))
        return {};

    return decoder;
}
} // namespace

uint32_t OggPcmDecoder::FramesBeforeTheEnd (uint32_t count) const noexcept
{
    return static_cast<uint32_t> (std::clamp<int64_t> (length - position, 0, count));
}

std::unique_ptr<OggPcmDecoder> OpenOggPcmDecoder (const ByteSource& bytes, bool isOpus, int channels,
                                                  int sampleRate, int64_t frames) noexcept
{
    if (channels <= 0 || frames < 0)
        return {};

    return isOpus ? openDecoder<OpusPcmDecoder> (bytes, channels, sampleRate, frames)
                  : openDecoder<VorbisPcmDecoder> (bytes, channels, sampleRate, frames);
}
