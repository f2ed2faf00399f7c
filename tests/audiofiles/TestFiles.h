#pragma once

#include "ChunkBuilder.h"

#include "audiofiles/AudioFileReader.h"
#include "common/Exception.h"
#include "containers/AudioBuffer.h"
#include "files/File.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace audiofiletests
{

/** A fresh folder for each test's files, removed with them afterwards. */
class AudioFileTest : public ::testing::Test
{
protected:
    AudioFileTest();
    ~AudioFileTest() override;

    kul::File Write (const Bytes& bytes, const std::string& name = "test.bin");
    kul::File PathFor (const std::string& name) const;

    template <typename Reader>
    std::unique_ptr<Reader> OpenWith (const Bytes& bytes, const std::string& name)
    {
        return std::make_unique<Reader> (Write (bytes, name));
    }

    std::string folder;
};

/** Count frames from the start frame, all channels one after the other. */
std::vector<float> ReadAll (kul::AudioFileReader& reader, uint64_t count, int64_t start = 0);

/** The message of the library exception the operation throws; a failure when it throws none. */
std::string ErrorMessageOf (const std::function<void()>& operation);

/** The reader refuses the file: "file " + the quoted path + " is not a valid " + kind + " file". */
template <typename Reader>
void ExpectRefused (const kul::File& file, const std::string& kind)
{
    EXPECT_EQ (ErrorMessageOf ([&] { Reader reader (file); }), "file \"" + file.GetFullPathName() + "\" is not a valid " + kind + " file");
}

/** What libsndfile makes and reads back: frames of channels x float per channel. */
struct SndfileAudio
{
    int channels = 0;
    long fileFrames = 0; // the length libsndfile gives the file
    long frames = 0;     // the frames read
    std::vector<std::vector<float>> samples; // [channel][frame], as floats in -1 .. +1
};

/** Writes the interleaved frames with libsndfile in the format (SF_FORMAT_... major |
    subtype | endianness), clipping what lies beyond full scale. */
void WriteFramesWithSndfile (const kul::File& file, int format, int channels, int sampleRate, const std::vector<double>& interleaved);

/** Writes frames of pseudo-random full-scale audio from the seed with libsndfile. */
void WriteWithSndfile (const kul::File& file, int format, int channels, long frames, int sampleRate, unsigned seed);

/** Encodes frames of 16-bit silence at 44.1 kHz with Debian's flac and the given options
    ("--lax -b 65535" makes the densest stream a valid file can hold); false when flac fails. */
bool EncodeSilenceWithFlac (const kul::File& flac, int channels, long frames, const std::string& flacOptions);

/** Reads frames [start, start + count) with sf_readf_int (integers, as floats x 2^-31, rounded
    the way the readers round) or sf_readf_float (float data), de-interleaved. */
SndfileAudio ReadWithSndfile (const kul::File& file, long start, long count);

/** Every sample of the buffer's channels from sample 0 equals the reference's. */
void ExpectSameSamples (const kul::AudioBuffer& buffer, const SndfileAudio& reference);

} // namespace audiofiletests
