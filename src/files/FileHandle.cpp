#include "files/FileHandle.h"

#include "common/Exception.h"
#include "files/File.h"
#include "text/StringHelper.h"

#include <algorithm>
#include <cerrno>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kul
{
namespace
{
constexpr const char* sourceFile = "files/OskelDspFileHandle";
constexpr mode_t fileMode = 0644;

// No single read or write moves more than this on Linux; asking for no more keeps each call whole.
constexpr std::int64_t largestTransfer = 0x7ffff000;

struct FailureLines
{
    long library, standard, unknown;
};

// The descriptors must not leak into processes the host starts.
int openRetrying (const std::string& path, int flags)
{
    int descriptor;

    do
        descriptor = ::open (path.c_str(), flags | O_CLOEXEC, fileMode);
    while (descriptor < 0 && errno == EINTR);

    return descriptor;
}

// Opening a named pipe for reading waits for a writer, and a device may wait too, so the
// opening does not block; only a regular file is kept, in blocking mode again.
int openRegularFile (const std::string& path)
{
    const int descriptor = openRetrying (path, O_RDONLY | O_NONBLOCK);

    if (descriptor < 0)
        return descriptor;

    struct stat info;
    const int flags = ::fcntl (descriptor, F_GETFL);

    if (::fstat (descriptor, &info) != 0 || ! S_ISREG (info.st_mode) || flags < 0
        || ::fcntl (descriptor, F_SETFL, flags & ~O_NONBLOCK) != 0)
    {
        ::close (descriptor);
        return -1;
    }

    return descriptor;
}

template <typename Byte, typename SystemCall>
std::int64_t transferWhole (int handle, Byte* bytes, std::int64_t numBytes, SystemCall&& call)
{
    std::int64_t numDone = 0;

    while (numDone < numBytes)
    {
        const auto request = static_cast<size_t> (std::min (numBytes - numDone, largestTransfer));
        const ssize_t n = call (handle, bytes + numDone, request);

        if (n > 0)
            numDone += n;
        else if (n == 0 || errno != EINTR)
            break;
    }

    return numDone;
}

/** Runs the opening; a failure to open throws at openFailureLine, and anything that
    escapes the opening itself leaves as a library exception with the catcher's line. */
template <typename Opening>
int openOrThrow (const File& file, long openFailureLine, FailureLines lines, Opening&& opening)
{
    std::string message;

    try
    {
        if (const int descriptor = opening(); descriptor >= 0)
            return descriptor;

        message = "Couldnt open file " + StringHelper::Quoted (file.GetFullPathName());
    }
    catch (const Exception& caught)
    {
        throw Exception (caught, sourceFile, lines.library, true, false);
    }
    catch (const std::exception& caught)
    {
        throw Exception (caught, sourceFile, lines.standard, true, false);
    }
    catch (...)
    {
        throw UnknownException (sourceFile, lines.unknown, true, false);
    }

    throw Exception (message, sourceFile, openFailureLine, true, false);
}
} // namespace

int OpenFileForReading (const File& file)
{
    return openOrThrow (file, 75, { 84, 90, 96 }, [&] { return openRegularFile (file.GetFullPathName()); });
}

int OpenFileForWriting (const File& file)
{
    const bool exists = file.ExistsAsFile();

    return openOrThrow (file, exists ? 142 : 160, { 169, 175, 181 }, [&]
    {
        if (! exists)
            return openRetrying (file.GetFullPathName(), O_RDWR | O_CREAT);

        const int descriptor = openRetrying (file.GetFullPathName(), O_RDWR);

        // Where the end cannot be sought (a pipe), the writer finds out by its own seek.
        if (descriptor >= 0)
            ::lseek (descriptor, 0, SEEK_END);

        return descriptor;
    });
}

std::int64_t ReadFromFileHandle (int handle, void* destination, std::int64_t numBytes)
{
    return transferWhole (handle, static_cast<char*> (destination), numBytes, ::read);
}

std::int64_t WriteToFileHandle (int handle, const void* data, std::int64_t numBytes)
{
    return transferWhole (handle, static_cast<const char*> (data), numBytes, ::write);
}

} // namespace kul
