#pragma once

#include "files/File.h"
#include "files/FileHandle.h"

#include <cstdint>

namespace kul
{

/** Writes bytes to a file, from its end when it exists (call File::PrepareForWriting first
    to replace a file). Multi-byte values are little-endian.

    Writing never throws; an operation tells by false that not all its bytes were written.
    A writer whose file could not be positioned at opening holds no descriptor and writes
    nothing. Not copyable: two writers would close one descriptor. */
class FileWriter
{
public:
    /** Creates the file's folder when missing. Throws kul::Exception: "Couldnt create or
        write in folder " + the quoted folder, or the opening's own error. */
    explicit FileWriter (const File& file);

    FileWriter (const FileWriter&) = delete;
    FileWriter& operator= (const FileWriter&) = delete;
    ~FileWriter();

    /** The offset of the next write; -1 after a seek that failed, until one succeeds. */
    std::int64_t GetPosition() const noexcept { return position; }

    /** Seeks to the offset from the start; true when the position is now that offset. A
        negative offset is refused with false. */
    bool SetPosition (std::int64_t newPosition);

    bool Write (const void* data, std::int64_t numBytes);

    /** Writes the byte count times; true for a count of 0, false for a negative one. */
    bool WriteRepeatedByte (std::uint8_t byte, std::int64_t count);

    bool WriteByte (std::int8_t value);
    bool WriteShort (std::int16_t value);
    bool WriteInt (std::int32_t value);
    bool WriteDouble (double value);

private:
    File file;
    std::int64_t position = 0;
    int handle = noFileHandle;

    template <typename Value>
    bool WriteLittleEndian (Value value);
};

} // namespace kul
