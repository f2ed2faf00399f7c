#include "ReaderFuzzing.h"

#include "audiofiles/MP3FileReader.h"

// The length estimate never exceeds 48 samples per byte: 1152 samples for the smallest
// frame of 24 bytes.
extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size)
{
    static const auto quiet = kul::SetReportSink ([] (const std::string&) {});
    (void) quiet;

    try
    {
        kul::MP3FileReader reader (fuzzing::InputAsFile (data, size));
        fuzzing::ReadDecodedFile (reader, size, 48);
    }
    catch (const kul::Exception&)
    {
    }

    return 0;
}
