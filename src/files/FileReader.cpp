#include "files/FileReader.h"

#include "common/Exception.h"
#include "text/StringHelper.h"
#include "text/TextExceptions.h"

#include <algorithm>

#include <sys/stat.h>
#include <unistd.h>

namespace kul
{
namespace
{
constexpr const char* sourceFile = "files/OskelDspFileReader";

// The size of the file actually opened, not of whatever stands at its path by now.
std::int64_t sizeOf (int descriptor)
{
    struct stat info;
    return ::fstat (descriptor, &info) == 0 ? static_cast<std::int64_t> (info.st_size) : 0;
}
} // namespace

FileReader::FileReader (const File& fileToRead)
{
    try
    {
        file = fileToRead;

        if (! file.ExistsAsFile())
            throw Exception ("File " + StringHelper::Quoted (file.GetFullPathName()) + " does not exist", sourceFile, 60, true, false);

        handle = OpenFileForReading (file);

        if (handle < 0)
            throw Exception ("Could not open file " + StringHelper::Quoted (file.GetFullPathName()) + " for reading",
                             sourceFile, 69, true, false);

        totalLength = sizeOf (handle);
    }
    catch (...)
    {
        text::RethrowAsLibraryException (sourceFile, 0);
    }
}

FileReader::FileReader (const FileReader& other)
    : InputStream (other)
{
    try
    {
        file = other.file;
        handle = OpenFileForReading (file);
        totalLength = other.totalLength;
        position = other.position;
    }
    catch (...)
    {
        text::RethrowAsLibraryException (sourceFile, 0);
    }
}

FileReader::~FileReader()
{
    if (handle >= 0)
        ::close (handle);
}

std::int64_t FileReader::Read (void* destination, std::int64_t numBytes)
{
    if (numBytes < 1 || destination == nullptr || handle < 0)
        return 0;

    if (needsSeek)
    {
        if (position < 0 || ::lseek (handle, position, SEEK_SET) != position)
            return 0;

        needsSeek = false;
    }

    const std::int64_t numRead = ReadFromFileHandle (handle, destination, numBytes);
    position += numRead;
    return numRead;
}

bool FileReader::SetPosition (std::int64_t newPosition)
{
    const std::int64_t clamped = std::clamp (newPosition, std::int64_t (0), totalLength);

    if (clamped != position)
    {
        needsSeek = true;
        position = clamped;
    }

    return true;
}

} // namespace kul
