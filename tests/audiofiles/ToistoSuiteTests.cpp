#include "audiofiles/AiffFileReader.h"
#include "common/Exception.h"

#include <juce_core/juce_core.h>

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <map>
#include <set>

using namespace kul;

namespace
{
const std::set<std::string> pcmCodecs { "pcm_bei", "pcm_lei", "pcm_bef" };

// Uncompressed files that the reader's rules refuse: compression types outside its
// five (64-bit floats too, by codec), rates below 2 Hz.
const std::set<std::string> refusedByRule { "aifc-type-23ni", "aifc-type-in24", "aifc-type-in32", "aifc-type-raw-u8",
                                            "aiff-samplerate-0.01", "aiff-samplerate-1" };

// Where the sound data holds more frames than "COMM" counts, the count stands.
const std::map<std::string, int64_t> framesCountedByComm { { "aiff-chunk-ssnd-before-comm", 4410 },
                                                           { "aifc-chunk-ssnd-before-comm-fver", 4410 },
                                                           { "aiff-chunk-ssnd-vs-sampleframes", 4411 } };

enum class Expectation { read, refused, refusedOrReadCleanly };

Expectation expectationFor (const std::filesystem::path& json, const juce::var& expected)
{
    if (json.parent_path().filename() == "invalid")
        return Expectation::refusedOrReadCleanly;

    const auto codec = expected["codec"].toString().toStdString();
    const bool isFloat64 = codec == "pcm_bef" && static_cast<int> (expected["sampleSize"]) == 64;

    if (pcmCodecs.count (codec) == 0 || isFloat64 || refusedByRule.count (json.stem().string()) != 0)
        return Expectation::refused;

    return Expectation::read;
}

float expectedSample (const juce::var& value, bool isFloat, uint32_t bits)
{
    if (value.isString())
    {
        const auto text = value.toString();
        return text == "nan" ? NAN : (text.startsWith ("-") ? -INFINITY : INFINITY);
    }

    if (isFloat)
        return static_cast<float> (static_cast<double> (value));

    // The suite gives integers as stored in their whole bytes.
    return static_cast<float> (std::ldexp (static_cast<double> (value), 1 - 8 * static_cast<int> ((bits + 7) / 8)));
}

void expectSamples (const float* channel, int64_t first, int64_t frames, const juce::var& values, bool isFloat, uint32_t bits,
                    double tolerance)
{
    for (int i = 0; i < values.size() && first + i < frames; ++i)
    {
        const float expected = expectedSample (values[i], isFloat, bits);
        const float actual = channel[first + i];
        if (std::isnan (expected))
            EXPECT_TRUE (std::isnan (actual)) << "frame " << first + i;
        else if (std::isinf (expected) || ! isFloat)
            EXPECT_EQ (actual, expected) << "frame " << first + i;
        else
            EXPECT_NEAR (actual, expected, tolerance) << "frame " << first + i;
    }
}

void expectValues (AiffFileReader& reader, const std::string& name, const juce::var& expected)
{
    EXPECT_EQ (reader.GetFormatName(), "AIFF File");
    EXPECT_EQ (reader.GetSampleRate(), std::floor (static_cast<double> (expected["sampleRate"]))); // rates are truncated
    EXPECT_EQ (reader.GetNumChannels(), static_cast<uint32_t> (static_cast<int> (expected["channels"])));
    EXPECT_EQ (reader.GetBitsPerSample(), static_cast<uint32_t> (static_cast<int> (expected["sampleSize"])));
    const auto expectedFrames = static_cast<int64_t> (static_cast<juce::int64> (expected["samplesPerChannel"]));
    const auto counted = framesCountedByComm.find (name);
    const auto frames = reader.GetLengthInSamples();
    ASSERT_EQ (frames, counted == framesCountedByComm.end() ? expectedFrames : counted->second);

    AudioBuffer buffer (reader.GetNumChannels(), static_cast<unsigned long> (frames));
    ASSERT_TRUE (reader.Read (buffer, 0, static_cast<uint64_t> (frames), 0));

    const bool isFloat = reader.IsFloatingPoint();
    const double tolerance = expected.hasProperty ("tolerance") ? static_cast<double> (expected["tolerance"]) : 1e-6;
    for (unsigned c = 0; c < reader.GetNumChannels(); ++c)
    {
        SCOPED_TRACE ("channel " + std::to_string (c));
        const auto& last = expected["endSamples"][static_cast<int> (c)];
        expectSamples (buffer.GetChannel (c), 0, frames, expected["startSamples"][static_cast<int> (c)], isFloat,
                       reader.GetBitsPerSample(), tolerance);
        expectSamples (buffer.GetChannel (c), expectedFrames - last.size(), frames, last, isFloat, reader.GetBitsPerSample(), tolerance);
    }
}

TEST (ToistoAiffSuite, ValidFilesReadAsExpectedAndOthersAreRefusedSafely)
{
    const std::filesystem::path root = ZELM_TOISTO_AIFF_DIR;
    if (root.empty() || ! std::filesystem::is_directory (root / "tests"))
        GTEST_SKIP() << "the AIFF test suite is not there (ZELM_TOISTO_AIFF_DIR)";

    std::set<std::filesystem::path> jsonFiles;
    for (const auto& entry : std::filesystem::recursive_directory_iterator (root / "tests"))
        if (entry.path().extension() == ".json")
            jsonFiles.insert (entry.path());

    int read = 0, compressedRefused = 0, refused = 0, invalidRefused = 0, invalidRead = 0;

    for (const auto& json : jsonFiles)
    {
        SCOPED_TRACE (json.string());
        auto audio = json;
        audio.replace_extension (".aiff");
        if (! std::filesystem::exists (audio))
            audio.replace_extension (".aifc");
        ASSERT_TRUE (std::filesystem::exists (audio));

        const auto expected = juce::JSON::parse (juce::File (juce::String (json.string())));
        const auto expectation = expectationFor (json, expected);
        const File file (audio.string());

        std::unique_ptr<AiffFileReader> reader;
        try
        {
            reader = std::make_unique<AiffFileReader> (file);
        }
        catch (const Exception& e)
        {
            EXPECT_EQ (e.GetMessage(), "file \"" + file.GetFullPathName() + "\" is not a valid AIFF file");
            EXPECT_NE (expectation, Expectation::read);
            ++(expectation != Expectation::refused ? invalidRefused
               : expected["codec"].toString().startsWith ("pcm_") ? refused : compressedRefused);
            continue;
        }

        if (expectation == Expectation::read)
        {
            expectValues (*reader, json.stem().string(), expected);
            ++read;
        }
        else
        {
            EXPECT_EQ (expectation, Expectation::refusedOrReadCleanly);
            AudioBuffer buffer (reader->GetNumChannels(), static_cast<unsigned long> (reader->GetLengthInSamples()) + 1);
            EXPECT_TRUE (reader->Read (buffer, 0, buffer.GetNumSamples(), 0));
            ++invalidRead;
        }
    }

    std::cout << "AIFF suite: " << read << " read as expected, " << compressedRefused << " compressed refused, " << refused
              << " uncompressed refused by rule, " << invalidRefused << " invalid refused, " << invalidRead << " invalid read" << std::endl;
    EXPECT_EQ (read + compressedRefused + refused + invalidRefused + invalidRead, static_cast<int> (jsonFiles.size()));
}
} // namespace
