#pragma once

#include "files/File.h"
#include "files/FileHandle.h"
#include "files/InputStream.h"

#include <cstdint>

namespace kul
{

/** An input stream on a file, open from construction to destruction.

    The length is the file's size at opening and does not follow a file that grows. A copy
    reads the same file through a descriptor (and a file offset) of its own, so each copy
    reads on by itself and each closes only its own descriptor. Assignment is not offered:
    it would leave two readers closing one descriptor. */
class FileReader : public InputStream
{
public:
    /** Throws kul::Exception: "File " + the quoted path + " does not exist", or the
        opening's own error. */
    explicit FileReader (const File& file);

    /** Opens the file again; throws kul::Exception when it can no longer be opened. */
    FileReader (const FileReader& other);
    FileReader& operator= (const FileReader&) = delete;
    ~FileReader() override;

    std::int64_t GetTotalLength() override { return totalLength; }
    bool IsExhausted() override { return position >= totalLength; }

    /** Reads until numBytes have arrived, the file ends or the system refuses; a refusal
        with nothing read counts as 0 bytes. */
    std::int64_t Read (void* destination, std::int64_t numBytes) override;

    std::int64_t GetPosition() override { return position; }

    /** Takes the position clamped to [0, total length]; always true. */
    bool SetPosition (std::int64_t newPosition) override;

    const File& GetFile() const noexcept { return file; }

private:
    File file;
    std::int64_t totalLength = 0;
    std::int64_t position = 0;
    int handle = noFileHandle;
    bool needsSeek = true;
};

} // namespace kul
