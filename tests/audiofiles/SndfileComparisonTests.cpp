#include "TestFiles.h"

#include "audiofiles/AiffFileReader.h"
#include "audiofiles/WavFileReader.h"

#include <sndfile.h>

#include <random>

using namespace kul;
using namespace audiofiletests;

namespace
{
struct Format
{
    const char* name;
    int sndfileFormat;
    bool isWav;
};

const Format formats[] = {
    { "WAV 8-bit", SF_FORMAT_WAV | SF_FORMAT_PCM_U8, true },
    { "WAV 16-bit", SF_FORMAT_WAV | SF_FORMAT_PCM_16, true },
    { "WAV 24-bit", SF_FORMAT_WAV | SF_FORMAT_PCM_24, true },
    { "WAV 32-bit", SF_FORMAT_WAV | SF_FORMAT_PCM_32, true },
    { "WAV float", SF_FORMAT_WAV | SF_FORMAT_FLOAT, true },
    { "WAV double", SF_FORMAT_WAV | SF_FORMAT_DOUBLE, true },
    { "WAVEX 24-bit", SF_FORMAT_WAVEX | SF_FORMAT_PCM_24, true },
    { "RF64 16-bit", SF_FORMAT_RF64 | SF_FORMAT_PCM_16, true },
    { "RF64 float", SF_FORMAT_RF64 | SF_FORMAT_FLOAT, true },
    { "AIFF 8-bit", SF_FORMAT_AIFF | SF_FORMAT_PCM_S8, false },
    { "AIFF 16-bit", SF_FORMAT_AIFF | SF_FORMAT_PCM_16, false },
    { "AIFF 24-bit", SF_FORMAT_AIFF | SF_FORMAT_PCM_24, false },
    { "AIFF 32-bit", SF_FORMAT_AIFF | SF_FORMAT_PCM_32, false },
    { "AIFF-C sowt 16-bit", SF_FORMAT_AIFF | SF_FORMAT_PCM_16 | SF_ENDIAN_LITTLE, false },
    { "AIFF-C fl32", SF_FORMAT_AIFF | SF_FORMAT_FLOAT, false },
};

std::unique_ptr<AudioFileReader> open (const File& file, bool isWav)
{
    if (isWav)
        return std::make_unique<WavFileReader> (file);
    return std::make_unique<AiffFileReader> (file);
}

class SndfileComparison : public AudioFileTest
{
protected:
    /** Writes the file with libsndfile and checks the reader against sf_readf_* from each start frame. */
    void Compare (const Format& format, int channels, long frames, std::initializer_list<long> starts, long count, unsigned seed)
    {
        SCOPED_TRACE (std::string (format.name) + ", " + std::to_string (channels) + " channels, " + std::to_string (frames) + " frames");
        const auto file = PathFor (format.isWav ? "s.wav" : "s.aiff");
        WriteWithSndfile (file, format.sndfileFormat, channels, frames, 44100, seed);
        std::unique_ptr<AudioFileReader> reader;
        ASSERT_NO_THROW (reader = open (file, format.isWav));
        ASSERT_EQ (reader->GetNumChannels(), static_cast<uint32_t> (channels));
        EXPECT_EQ (reader->GetSampleRate(), 44100);

        for (const long start : starts)
        {
            SCOPED_TRACE ("from " + std::to_string (start));
            AudioBuffer buffer (static_cast<unsigned> (channels), static_cast<unsigned long> (count));
            ASSERT_TRUE (reader->Read (buffer, 0, static_cast<uint64_t> (count), start));
            const auto reference = ReadWithSndfile (file, start, count);
            ASSERT_EQ (reader->GetLengthInSamples(), reference.fileFrames);
            ExpectSameSamples (buffer, reference);

            // What lies past the file's end is silence.
            for (unsigned c = 0; c < buffer.GetNumChannels(); ++c)
                for (long i = reference.frames; i < count; ++i)
                    ASSERT_EQ (buffer.GetChannel (c)[i], 0.0f);
        }
    }
};

TEST_F (SndfileComparison, EveryFormatReadsTheSameSamplesFromSeveralStartFrames)
{
    constexpr long frames = 3001;
    for (const auto& format : formats)
        for (const int channels : { 1, 2, 3, 8 })
            Compare (format, channels, frames, { 0L, 1L, 1439L, frames - 2 }, 1500, static_cast<unsigned> (channels));
}

TEST_F (SndfileComparison, RandomlyShapedFilesReadTheSameSamples)
{
    std::mt19937 random (20261207);
    const auto pick = [&random] (long low, long high) { return std::uniform_int_distribution<long> (low, high) (random); };

    for (int i = 0; i < 300; ++i)
    {
        const auto& format = formats[static_cast<size_t> (pick (0, std::size (formats) - 1))];
        const auto frames = pick (0, 3000);
        Compare (format, static_cast<int> (pick (1, 12)), frames, { pick (0, frames + 10) }, pick (1, 2000),
                 static_cast<unsigned> (i));
    }
}
} // namespace
