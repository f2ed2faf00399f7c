#pragma once

#include "audiofiles/AudioFileReader.h"
#include "audiofiles/MpegAudioDecoder.h"

#include <memory>

namespace kul
{
class File;
class InputStream;

/** MPEG audio (MPEG-1, 2 and 2.5, layers I, II and III) decoded to 32-bit floats by
    JUCE's decoder, which reads the file through a stream of its own. */
class MP3FileReader : public AudioFileReader
{
public:
    /** Opens the file and decodes its first frame; throws a kul::Exception when no frame
        can be decoded within the first blocks. */
    explicit MP3FileReader (const File& file);
    ~MP3FileReader() override;

    std::string GetFileExtension() const override { return ".mp3"; }

    /** Frames before the stream's start and after its end are 0. A block that cannot be
        decoded zero-fills what is left and answers false; a later read seeks again. */
    bool ReadSamples (int** destChannels, uint64_t numFrames, int64_t startFrame) override;

private:
    std::unique_ptr<MpegAudioDecoder> decoder;
    float decodedData[2][MpegAudioDecoder::maxSamplesPerFrame] {};
    int decodedStart = 0;
    int decodedEnd = 0;
    int64_t currentPosition = 0;
    int samplesPerFrame = MpegAudioDecoder::maxSamplesPerFrame;
    int firstAudioFrameIndex = 0; // the decoder's index of the stream's first audio frame

    void Open (int64_t audioStart);
    bool ReadNextBlock (bool silenceAtEnd);
    bool SeekTo (int64_t frame);
    void MakeSilentBlock() noexcept;
};

} // namespace kul
