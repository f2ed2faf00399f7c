#pragma once

#include <cstdint>

namespace kul
{
class File;

/** The descriptor a FileReader or FileWriter holds when it has no open file. Descriptor 0
    is a valid one (standard input closed and the number reused), so it cannot mean "none". */
constexpr int noFileHandle = -1;

/** Opens the file read-only and returns its descriptor; throws kul::Exception
    ("Couldnt open file " and the quoted path) when it cannot be opened or is not a
    regular file (a named pipe or a device is refused at once, without waiting on it). */
int OpenFileForReading (const File& file);

/** Opens the file for writing and returns its descriptor. An existing file is opened at its
    end, so that writes append; a missing one is created. Throws kul::Exception ("Couldnt open
    file " and the quoted path) when it cannot be opened. */
int OpenFileForWriting (const File& file);

/** Reads until numBytes have arrived, the file ends or the system refuses, going on after
    signals and short reads; gives the number of bytes read. */
std::int64_t ReadFromFileHandle (int handle, void* destination, std::int64_t numBytes);

/** Writes until all numBytes are written or the system refuses, going on after signals and
    short writes; gives the number of bytes written. */
std::int64_t WriteToFileHandle (int handle, const void* data, std::int64_t numBytes);

} // namespace kul
