#pragma once

#include "audiofiles/AudioFileReader.h"
#include "audiofiles/MpegAudioDecoder.h"

#include <memory>

namespace kul
{
class File;

/** MPEG audio (MPEG-1, 2 and 2.5, layers I, II and III) decoded to 32-bit floats by
    libmpg123, with the encoder's delay and padding kept. The length is what a decode
    from the start delivers; reads at any start give the samples of that decode, to the
    bit but after damage libmpg123 cannot decode (see MpegAudioDecoder). A
    stream that mixes mono and stereo frames reads as stereo; one whose sample rate
    changes is refused. */
class MP3FileReader : public AudioFileReader
{
public:
    /** Opens the file and indexes its frames; throws a kul::Exception when it holds no
        frame libmpg123 can decode, or frames of more than one sample rate. */
    explicit MP3FileReader (const File& file);
    ~MP3FileReader() override;

    std::string GetFileExtension() const override { return ".mp3"; }

    /** Frames before the stream's start and from its length on are 0. Bytes that can no
        longer be read or decoded as when the file was opened zero-fill what is left and
        answer false; a later read seeks again. */
    bool ReadSamples (int** destChannels, uint64_t numFrames, int64_t startFrame) override;

private:
    std::unique_ptr<MpegAudioDecoder> decoder;
    const float* decodedData = nullptr; // the last decoded frame, interleaved, owned by the decoder
    size_t decodedStart = 0;            // the first frame of it not yet delivered
    size_t decodedEnd = 0;              // the frames in it
    int64_t currentPosition = 0;        // the file frame at decodedStart; -1 after a failure

    bool ReadFromDecoder (int** destChannels, uint64_t offset, uint64_t count, int64_t startFrame);
};

} // namespace kul
