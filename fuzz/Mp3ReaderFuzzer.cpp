#include "ReaderFuzzing.h"

#include "audiofiles/MP3FileReader.h"

// A frame holds at most 1152 samples and is at least its 4 header bytes (a free-format
// frame can be barely more), so no file holds more than 288 samples per byte.
extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size)
{
    static const auto quiet = kul::SetReportSink ([] (const std::string&) {});
    (void) quiet;

    try
    {
        kul::MP3FileReader reader (fuzzing::InputAsFile (data, size));
        fuzzing::ReadDecodedFile (reader, size, 288);
    }
    catch (const kul::Exception&)
    {
    }

    return 0;
}
