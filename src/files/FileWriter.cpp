#include "files/FileWriter.h"

#include "common/Exception.h"
#include "text/StringHelper.h"
#include "text/TextExceptions.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <type_traits>

#include <unistd.h>

namespace kul
{
namespace
{
constexpr const char* sourceFile = "files/OskelDspFileWriter";
constexpr std::int64_t repeatedBlockSize = 16384;
} // namespace

FileWriter::FileWriter (const File& fileToWrite)
{
    try
    {
        file = fileToWrite;

        if (! file.CreateParentDirectory())
            throw Exception ("Couldnt create or write in folder " + StringHelper::Quoted (file.GetParentDirectoryPath()),
                             sourceFile, 36, true, false);

        handle = OpenFileForWriting (file);
        const off_t offset = ::lseek (handle, 0, SEEK_CUR);

        if (offset < 0)
        {
            ::close (handle);
            handle = noFileHandle;
        }
        else
        {
            position = offset;
        }
    }
    catch (...)
    {
        text::RethrowAsLibraryException (sourceFile, 0);
    }
}

FileWriter::~FileWriter()
{
    if (handle >= 0)
        ::close (handle);
}

bool FileWriter::SetPosition (std::int64_t newPosition)
{
    if (newPosition >= 0 && newPosition == position)
        return true;

    const bool reached = newPosition >= 0 && handle >= 0 && ::lseek (handle, newPosition, SEEK_SET) == newPosition;
    position = reached ? newPosition : -1;
    return reached;
}

bool FileWriter::Write (const void* data, std::int64_t numBytes)
{
    if (numBytes == 0)
        return true;

    if (numBytes < 0 || data == nullptr || handle < 0)
        return false;

    const std::int64_t numWritten = WriteToFileHandle (handle, data, numBytes);

    // An unknown position stays unknown until a seek succeeds.
    if (position >= 0)
        position += numWritten;

    return numWritten == numBytes;
}

bool FileWriter::WriteRepeatedByte (std::uint8_t byte, std::int64_t count)
{
    if (count <= 0)
        return count == 0;

    char block[repeatedBlockSize];
    std::memset (block, byte, static_cast<size_t> (std::min (count, repeatedBlockSize)));

    for (std::int64_t left = count; left > 0; left -= repeatedBlockSize)
        if (! Write (block, std::min (left, repeatedBlockSize)))
            return false;

    return true;
}

template <typename Value>
bool FileWriter::WriteLittleEndian (Value value)
{
    using Bits = std::conditional_t<sizeof (Value) == 1, std::uint8_t,
                 std::conditional_t<sizeof (Value) == 2, std::uint16_t,
                 std::conditional_t<sizeof (Value) == 4, std::uint32_t, std::uint64_t>>>;
    const auto bits = std::bit_cast<Bits> (value);
    unsigned char bytes[sizeof (Value)];

    for (size_t i = 0; i < sizeof (Value); ++i)
        bytes[i] = static_cast<unsigned char> (bits >> (8 * i));

    return Write (bytes, sizeof (Value));
}

bool FileWriter::WriteByte (std::int8_t value) { return WriteLittleEndian (value); }
bool FileWriter::WriteShort (std::int16_t value) { return WriteLittleEndian (value); }
bool FileWriter::WriteInt (std::int32_t value) { return WriteLittleEndian (value); }
bool FileWriter::WriteDouble (double value) { return WriteLittleEndian (value); }

} // namespace kul
