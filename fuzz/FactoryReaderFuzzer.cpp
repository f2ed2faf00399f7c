#include "ReaderFuzzing.h"

#include "audiofiles/AudioFileFactory.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <memory>

namespace
{
// The input is reached under names with every extension the factory tells apart, and some
// that go to the platform reader: links to the in-memory file in a folder of the run's own.
constexpr std::array<const char*, 8> extensions { "", ".wav", ".aif", ".mp3", ".flac", ".ogg", ".caf", ".W64" };

std::string LinkWithExtension (const kul::File& input, size_t which)
{
    static const std::string folder = [] {
        std::string pattern = "/tmp/factory-fuzz-XXXXXX";
        fuzzing::Require (mkdtemp (pattern.data()) != nullptr);
        return pattern;
    }();

    const std::string path = folder + "/input" + extensions[which];
    unlink (path.c_str());
    fuzzing::Require (symlink (input.GetFullPathName().c_str(), path.c_str()) == 0);
    return path;
}
} // namespace

// Any bytes under any name: the factory gives a valid reader or a kul::Exception. A reader
// promises no more frames per byte than any format can hold (the platform reader's own
// bound), and everything it promises reads without a crash. Every file also loads whole
// and by channel into a buffer, the road the library offers, which holds no more samples
// than the file's bytes can back and keeps no more storage than its samples and one
// decoding chunk; a file the load refuses leaves the buffer as it was.
extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size)
{
    static const auto quiet = kul::SetReportSink ([] (const std::string&) {});
    (void) quiet;

    if (size < 1)
        return 0;

    const kul::File file (LinkWithExtension (fuzzing::InputAsFile (data + 1, size - 1), data[0] % extensions.size()));

    try
    {
        kul::DetectAudioFileFormat (file);
        const std::unique_ptr<kul::AudioFileReader> reader (kul::AudioFileFactory (file));
        fuzzing::Require (reader != nullptr);
        fuzzing::ReadDecodedFile (*reader, size, kul::AudioFileReader::mostSamplesPerFileByte);
    }
    catch (const kul::Exception&)
    {
    }

    const auto mostSamples = uint64_t (size) * kul::AudioFileReader::mostSamplesPerFileByte;
    constexpr double decodingChunkSamples = 262144;
    constexpr float mark = 0.25f;

    for (const bool whole : { true, false })
    {
        kul::AudioBuffer buffer (1, 1);
        buffer.GetChannel (0)[0] = mark;

        try
        {
            if (whole ? buffer.LoadFromAudioFile (file) : buffer.LoadChannelFromAudioFile (file, 0))
                fuzzing::Require (uint64_t (buffer.GetNumSamples()) * buffer.GetNumChannels() <= mostSamples);

            const double samples = double (buffer.GetNumSamples()) * buffer.GetNumChannels();
            fuzzing::Require (buffer.GetMemorySizeMB() * 1048576.0 / sizeof (float) <= std::max (samples, 1.0) + decodingChunkSamples);
        }
        catch (const kul::Exception&)
        {
            fuzzing::Require (buffer.GetNumChannels() == 1 && buffer.GetNumSamples() == 1 && buffer.GetChannel (0)[0] == mark);
        }
    }

    return 0;
}
