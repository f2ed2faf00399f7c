#pragma once

#include "audiofiles/AudioFileReader.h"

namespace kul
{
class File;
class InputStream;

/** Uncompressed AIFF and AIFF-C: big-endian integers ("NONE", "twos"), little-endian
    integers ("sowt") and 32-bit floats ("fl32", "FL32"), 1 to 32 bits per sample. */
class AiffFileReader : public AudioFileReader
{
public:
    /** Opens and parses the file; throws a kul::Exception when it is no valid AIFF file. */
    explicit AiffFileReader (const File& file);
    ~AiffFileReader() override;

    std::string GetFileExtension() const override { return ".aiff"; }

    bool ReadSamples (int** destChannels, uint64_t numFrames, int64_t startFrame) override;

    /** The parse of the chunks; leaves the reader invalid when the file is refused. */
    void ReadHeader (InputStream& input);

    /** "no audio data was found" when COMM announces frames but no "SSND" chunk holds them. */
    std::string DescribeUnreadableAudio() const override;

private:
    int32_t bytesPerFrame = 0;
    uint64_t dataOffset = 0;
    bool isLittleEndian = false;
    bool soundDataMissing = false;
    Vector<unsigned char> blockBuffer;

    SampleConverter ChooseConverter() const noexcept;
};

} // namespace kul
