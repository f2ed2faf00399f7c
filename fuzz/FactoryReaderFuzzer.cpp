#include "ReaderFuzzing.h"

#include "audiofiles/AudioFileFactory.h"

#include <unistd.h>

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
// bound), and everything it promises reads without a crash.
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
        fuzzing::ReadDecodedFile (*reader, size, 8192);

        // Small files also load whole into a buffer, the road the library offers.
        if (uint64_t (reader->GetLengthInSamples()) * reader->GetNumChannels() <= (1u << 18))
        {
            kul::AudioBuffer buffer (1, 1);
            buffer.LoadFromAudioFile (file);
        }
    }
    catch (const kul::Exception&)
    {
    }

    return 0;
}
