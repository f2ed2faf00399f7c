#pragma once

#include "audiofiles/AudioFileReader.h"
#include "audiofiles/ChnaChunk.h"
#include "text/StringArray.h"

namespace kul
{
class File;
class InputStream;

/** Uncompressed WAV in RIFF, RF64 and BW64 files: 8-bit unsigned and 16/24/32-bit
    integer PCM (narrower widths in their whole bytes), 32- and 64-bit IEEE float,
    WAVE_FORMAT_EXTENSIBLE with the PCM, float and Ambisonic B-format sub-formats,
    and the "bext", "axml" and "chna" metadata. */
class WavFileReader : public AudioFileReader
{
public:
    /** Opens and parses the file; throws a kul::Exception when it is no valid WAV file.
        A sample format it cannot read, or a file without a "data" chunk, leaves a valid
        reader of length 0, which loads refuse (DescribeUnreadableAudio). */
    explicit WavFileReader (const File& file);
    ~WavFileReader() override;

    std::string GetFileExtension() const override { return ".wav"; }

    bool ReadSamples (int** destChannels, uint64_t numFrames, int64_t startFrame) override;

    /** The parse of the chunks. */
    void ReadHeader (InputStream& input);

    /** "its sample format (tag N, B bits) is not read" for a format of length 0, or "no audio
        data was found" when the parse met no "data" chunk. */
    std::string DescribeUnreadableAudio() const override;

    const std::string& GetAxmlText() const noexcept { return axmlText; }
    const StringPairArray& GetBroadcastMetadata() const noexcept { return broadcastMetadata; }
    const ChnaChunk& GetChna() const noexcept { return chna; }
    bool IsAmbisonicBFormat() const noexcept { return isAmbisonicBFormat; }

private:
    int32_t bytesPerFrame = 0;
    uint32_t formatTag = 0; // for an extensible "fmt ", the first field of its sub-format
    bool seenData = false;
    uint64_t dataOffset = 0;
    uint64_t dataSize = 0;
    Vector<unsigned char> blockBuffer;
    std::string axmlText;
    StringPairArray broadcastMetadata { true };
    ChnaChunk chna;
    bool isAmbisonicBFormat = false;

    void ReadFormatChunk (InputStream& input, uint32_t size, uint64_t present);
    SampleConverter ChooseConverter() const noexcept;
};

} // namespace kul
