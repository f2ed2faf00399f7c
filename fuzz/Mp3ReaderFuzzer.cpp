#include "ReaderFuzzing.h"

#include "audiofiles/MP3FileReader.h"

#include <algorithm>

// A frame holds at most 1152 samples and is at least its 4 header bytes (a free-format
// frame can be barely more), so no file holds more than 288 samples per byte.
extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size)
{
    static const auto quiet = kul::SetReportSink ([] (const std::string&) {});
    (void) quiet;

    try
    {
        kul::MP3FileReader reader (fuzzing::InputAsFile (data, size));

        // The length is what a decode from the start delivers, so a read of it from the
        // start never fails.
        const auto channels = reader.GetNumChannels();
        const uint64_t count = std::min<uint64_t> (uint64_t (reader.GetLengthInSamples()), std::max<uint64_t> (1, (1u << 20) / std::max (channels, 1u)));
        kul::AudioBuffer whole (std::max (channels, 1u), count);
        fuzzing::Require (reader.Read (whole, 0, count, 0));

        fuzzing::ReadDecodedFile (reader, size, 288);
    }
    catch (const kul::Exception&)
    {
    }

    return 0;
}
