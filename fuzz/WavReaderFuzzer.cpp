#include "ReaderFuzzing.h"

#include "audiofiles/WavFileReader.h"

extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size)
{
    return fuzzing::ReadWholeFile<kul::WavFileReader> (data, size);
}
