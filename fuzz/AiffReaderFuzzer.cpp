#include "ReaderFuzzing.h"

#include "audiofiles/AiffFileReader.h"

extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size)
{
    return fuzzing::ReadWholeFile<kul::AiffFileReader> (data, size);
}
