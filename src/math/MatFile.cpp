#include "math/MatFile.h"

#include "common/CallStack.h"
#include "common/Exception.h"
#include "files/File.h"
#include "files/FileWriter.h"
#include "text/StringHelper.h"

#include <algorithm>
#include <limits>
#include <new>
#include <stdexcept>
#include <vector>

namespace kul
{
namespace
{
constexpr std::int32_t miINT8 = 1;
constexpr std::int32_t miINT32 = 5;
constexpr std::int32_t miUINT32 = 6;
constexpr std::int32_t miDOUBLE = 9;
constexpr std::int32_t miMATRIX = 14;
constexpr std::int32_t mxDOUBLE_CLASS = 6;

constexpr size_t headerTextLength = 116;

std::uint64_t paddedNameLength (const std::string& name) noexcept
{
    return (static_cast<std::uint64_t> (name.size()) + 7) / 8 * 8;
}

/** Bytes after the element's byte-count word: flags, dimensions, name and data sub-elements. */
std::uint64_t elementByteCount (std::uint64_t rows, std::uint64_t columns, const std::string& name) noexcept
{
    return 16 + 16 + 8 + paddedNameLength (name) + 8 + rows * columns * 8;
}

/** Little-endian fields gathered into one piece, so that the small fields of the header
    and of the element's start cost one write rather than one each. */
class Fields
{
public:
    Fields& Int (std::int32_t value) { return add (static_cast<std::uint32_t> (value), 4); }
    Fields& Short (std::int16_t value) { return add (static_cast<std::uint16_t> (value), 2); }
    Fields& Tag (std::int32_t type, std::uint32_t numBytes) { return Int (type).Int (static_cast<std::int32_t> (numBytes)); }

    Fields& Text (const std::string& text, size_t paddedLength)
    {
        bytes.insert (bytes.end(), text.begin(), text.end());
        bytes.insert (bytes.end(), paddedLength - text.size(), ' ');
        return *this;
    }

    bool WriteTo (FileWriter& writer) const
    {
        return writer.Write (bytes.data(), static_cast<std::int64_t> (bytes.size()));
    }

private:
    std::vector<char> bytes;

    Fields& add (std::uint32_t value, int numBytes)
    {
        for (int i = 0; i < numBytes; ++i)
            bytes.push_back (static_cast<char> (value >> (8 * i)));
        return *this;
    }
};

/** Collects doubles and writes them in large pieces: one write per value would cost a
    system call per element. */
class BlockWriter
{
public:
    /** Room for the values to come, up to 1 MiB: a small matrix takes no more than it needs. */
    BlockWriter (FileWriter& w, std::uint64_t numValues)
        : writer (w), block (static_cast<size_t> (std::clamp<std::uint64_t> (numValues, 1, 131072)))
    {
    }

    /** Room for n more values, writing out what is collected when there isn't. */
    double* Reserve (size_t n)
    {
        if (numInBlock + n > block.size() && ! Flush())
            return nullptr;
        return block.data() + numInBlock;
    }

    void Commit (size_t n) noexcept { numInBlock += n; }
    size_t GetCapacity() const noexcept { return block.size(); }

    bool Flush()
    {
        const bool ok = numInBlock == 0 || writer.Write (block.data(), static_cast<std::int64_t> (numInBlock * sizeof (double)));
        numInBlock = 0;
        return ok;
    }

private:
    FileWriter& writer;
    std::vector<double> block;
    size_t numInBlock = 0;
};

template <typename T>
bool writeColumnMajor (FileWriter& writer, const Matrix<T>& matrix)
{
    const auto rows = matrix.GetNumRows();
    const auto columns = matrix.GetNumColumns();
    BlockWriter out (writer, rows * columns);

    // A tile of as many columns as the block holds (in whole cache lines) is moved at a
    // time, each row of it read in order: reading the stored matrix one column at a time
    // across all its rows would defeat the cache.
    constexpr std::uint64_t valuesPerLine = 64 / sizeof (T);
    const std::uint64_t columnsPerTile = rows == 0 ? 0 : out.GetCapacity() / rows / valuesPerLine * valuesPerLine;

    if (columnsPerTile != 0)
    {
        for (std::uint64_t tile = 0; tile < columns; tile += columnsPerTile)
        {
            const auto tileColumns = std::min (columnsPerTile, columns - tile);
            double* dest = out.Reserve (static_cast<size_t> (tileColumns * rows));
            if (dest == nullptr)
                return false;

            // In squares of 8 x 8, so that the lines read and the lines written both
            // stay in the cache while a square is moved.
            const T* source = matrix.GetData() + tile;
            for (std::uint64_t r0 = 0; r0 < rows; r0 += 8)
            {
                const auto rowEnd = std::min (rows, r0 + 8);
                for (std::uint64_t c0 = 0; c0 < tileColumns; c0 += 8)
                {
                    const auto columnEnd = std::min (tileColumns, c0 + 8);
                    for (std::uint64_t r = r0; r < rowEnd; ++r)
                        for (std::uint64_t c = c0; c < columnEnd; ++c)
                            dest[c * rows + r] = static_cast<double> (source[r * columns + c]);
                }
            }

            out.Commit (static_cast<size_t> (tileColumns * rows));
        }

        return out.Flush();
    }

    for (std::uint64_t c = 0; c < columns; ++c)
    {
        for (std::uint64_t r = 0; r < rows; ++r)
        {
            double* dest = out.Reserve (1);
            if (dest == nullptr)
                return false;
            *dest = static_cast<double> (matrix (r, c));
            out.Commit (1);
        }
    }

    return out.Flush();
}

template <typename T>
bool writeMatrixElement (FileWriter& writer, const Matrix<T>& matrix, const std::string& name)
{
    const auto rows = matrix.GetNumRows();
    const auto columns = matrix.GetNumColumns();

    // The byte count is patched at a position known before anything is written.
    if (! FitsInMatFile (rows, columns, name) || writer.GetPosition() < 0)
        return false;

    const auto countPosition = writer.GetPosition() + 4;

    bool ok = Fields()
                  .Tag (miMATRIX, 0)
                  .Tag (miUINT32, 8).Int (mxDOUBLE_CLASS).Int (0)
                  .Tag (miINT32, 8).Int (static_cast<std::int32_t> (rows)).Int (static_cast<std::int32_t> (columns))
                  .Tag (miINT8, static_cast<std::uint32_t> (name.size())).Text (name, static_cast<size_t> (paddedNameLength (name)))
                  .Tag (miDOUBLE, static_cast<std::uint32_t> (rows * columns * 8))
                  .WriteTo (writer)
              && writeColumnMajor (writer, matrix);

    if (! ok)
        return false;

    const auto endPosition = writer.GetPosition();
    return writer.SetPosition (countPosition)
           && writer.WriteInt (static_cast<std::int32_t> (static_cast<std::uint32_t> (endPosition - countPosition - 4)))
           && writer.SetPosition (endPosition);
}

template <typename T>
bool writeMatFile (const File& file, const Matrix<T>& matrix, const std::string& name, bool overwrite)
{
    // Checked before the file is touched, so that a refused matrix leaves an existing file alone.
    if (! FitsInMatFile (matrix.GetNumRows(), matrix.GetNumColumns(), name))
        return false;

    if (! file.PrepareForWriting (overwrite))
        return false;

    FileWriter writer (file);
    return WriteMatFileHeader (writer) && writeMatrixElement (writer, matrix, name);
}

// Only library exceptions leave the writer: a failure of its own allocations (texts,
// fields, the block) is reported as container growth reports one, with the name of the
// function that called the writer. Call only inside a catch block.
[[noreturn]] void rethrowTranslated (const std::string& callerName)
{
    const auto make = [] (const auto& describe) noexcept { return Exception (describe(), "", 0, false, false); };

    try
    {
        throw;
    }
    catch (const Exception&)
    {
        throw;
    }
    catch (const std::bad_alloc&)
    {
        throw make ([&] { return "out of memory occured in " + callerName; });
    }
    catch (const std::exception& e)
    {
        throw make ([&] { return "exception " + std::string (e.what()) + " occured in " + callerName; });
    }
    catch (...)
    {
        throw make ([&] { return "unknown exception occured in " + callerName; });
    }
}
} // namespace

bool FitsInMatFile (std::uint64_t rows, std::uint64_t columns, const std::string& name) noexcept
{
    constexpr std::uint64_t maxDimension = std::numeric_limits<std::int32_t>::max();
    constexpr std::uint64_t maxBytes = std::numeric_limits<std::uint32_t>::max();

    // With both dimensions below 2^31 the products below cannot wrap.
    return rows <= maxDimension && columns <= maxDimension && name.size() <= maxBytes
           && rows * columns <= maxBytes / 8 && elementByteCount (rows, columns, name) <= maxBytes;
}

bool WriteMatFileHeader (FileWriter& writer)
try
{
    auto text = "Created by Oskel - " + getOperatingSystemName() + " - "
                + StringHelper::GetCurrentDateAndTime (true, true, true, false, false);
    StringHelper::Resize (text, headerTextLength, ' ');

    // The subsystem-data offset is 8 blanks (none), then the version and the byte-order
    // mark, which reads "IM" in a file of this byte order.
    return Fields().Text (text + std::string (8, ' '), headerTextLength + 8).Short (0x0100).Short (0x4D49).WriteTo (writer);
}
catch (...)
{
    rethrowTranslated (GetCallerName());
}

bool WriteMatFileMatrixElement (FileWriter& writer, const Matrix<double>& matrix, const std::string& name)
try
{
    return writeMatrixElement (writer, matrix, name);
}
catch (...)
{
    rethrowTranslated (GetCallerName());
}

bool WriteMatFileMatrixElement (FileWriter& writer, const Matrix<float>& matrix, const std::string& name)
try
{
    return writeMatrixElement (writer, matrix, name);
}
catch (...)
{
    rethrowTranslated (GetCallerName());
}

bool WriteMatrixToMatFile (const File& file, const Matrix<double>& matrix, const std::string& name, bool overwrite)
try
{
    return writeMatFile (file, matrix, name, overwrite);
}
catch (...)
{
    rethrowTranslated (GetCallerName());
}

bool WriteMatrixToMatFile (const File& file, const Matrix<float>& matrix, const std::string& name, bool overwrite)
try
{
    return writeMatFile (file, matrix, name, overwrite);
}
catch (...)
{
    rethrowTranslated (GetCallerName());
}

} // namespace kul
