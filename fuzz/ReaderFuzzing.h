#pragma once

#include "audiofiles/AudioFileReader.h"
#include "audiofiles/ChunkParsing.h"
#include "common/Exception.h"
#include "containers/AudioBuffer.h"
#include "files/File.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>

namespace fuzzing
{

/** The input as a file: an in-memory file, which the reader opens by its /proc path. */
inline kul::File InputAsFile (const uint8_t* data, size_t size)
{
    static const int fd = memfd_create ("fuzz-input", 0);
    if (fd < 0 || ftruncate (fd, 0) != 0 || pwrite (fd, data, size, 0) != static_cast<ssize_t> (size))
        __builtin_trap();
    return kul::File ("/proc/self/fd/" + std::to_string (fd));
}

/** A check that must hold for any input; a failure is a finding. */
inline void Require (bool condition)
{
    if (! condition)
        __builtin_trap();
}

/** Opens the input with the reader and reads it through every path the library offers:
    a refused file must give a kul::Exception, an accepted one must promise no more
    frames than the file holds and read them, and a little before and after them. */
template <typename Reader>
int ReadWholeFile (const uint8_t* data, size_t size)
{
    // Refusals are expected by the thousand; their reports would only cost time.
    static const auto quiet = kul::SetReportSink ([] (const std::string&) {});
    (void) quiet;

    const auto file = InputAsFile (data, size);

    try
    {
        Reader reader (file);
        const auto channels = reader.GetNumChannels();
        const auto frames = reader.GetLengthInSamples();
        Require (reader.IsValid() && channels >= 1 && frames >= 0);
        const uint64_t bytesPerFrame = kul::audiofiles::ContainerBytes (reader.GetBitsPerSample()) * uint64_t (channels);
        Require (frames == 0 || uint64_t (frames) <= size / bytesPerFrame);

        // At most about a million samples per input, so that wide files stay quick.
        const uint64_t count = std::clamp<uint64_t> (uint64_t (frames) + 2, 1, std::max<uint64_t> (1, (1u << 20) / channels));
        kul::AudioBuffer buffer (channels, count);
        Require (reader.Read (buffer, 0, count, -1));

        if (! reader.IsFloatingPoint())
            for (const float sample : buffer.GetData())
                Require (sample >= -1.0f && sample <= 1.0f); // 32-bit words round to floats, up to +1 itself

        kul::AudioBuffer one (1, 3);
        Require (reader.ReadChannel (one, 0, 0, 3, channels - 1, std::max<int64_t> (frames - 1, 0)));
    }
    catch (const kul::Exception&)
    {
    }

    return 0;
}

/** Reads an opened reader of a decoded format (MPEG, the platform's formats), whose length
    is an estimate or the service's word: at most mostFramesPerByte frames per byte of the
    input may be promised. The frames are read from just before the start (at most about a
    million samples), then a few from the middle and astride the end; reads may fail on
    undecodable data, but must not crash or hang. */
inline void ReadDecodedFile (kul::AudioFileReader& reader, size_t size, uint64_t mostFramesPerByte)
{
    const auto channels = reader.GetNumChannels();
    const auto frames = reader.GetLengthInSamples();
    Require (reader.IsValid() && channels >= 1 && frames >= 0);
    Require (uint64_t (frames) <= uint64_t (size) * mostFramesPerByte);

    const uint64_t count = std::clamp<uint64_t> (uint64_t (frames) + 2, 1, std::max<uint64_t> (1, (1u << 20) / channels));
    kul::AudioBuffer buffer (channels, count);
    reader.Read (buffer, 0, count, -1);

    kul::AudioBuffer one (1, 700);
    reader.ReadChannel (one, 0, 0, 700, channels - 1, frames / 2);
    reader.ReadChannel (one, 0, 0, 700, 0, std::max<int64_t> (frames - 300, 0));
}

} // namespace fuzzing
