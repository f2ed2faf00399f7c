#include "files/FileHandle.h"
#include "files/FileReader.h"
#include "files/FileWriter.h"

#include "memory/MemoryBlock.h"

#include "TestHelpers.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;
using Bytes = std::vector<unsigned char>;

static_assert (! std::is_copy_assignable_v<kul::FileReader> && std::is_copy_constructible_v<kul::FileReader>);
static_assert (! std::is_copy_assignable_v<kul::FileWriter> && ! std::is_copy_constructible_v<kul::FileWriter>);

namespace
{
class StreamTest : public ::testing::Test
{
protected:
    std::string pathOf (const std::string& name) const { return folder.path + "/" + name; }

    std::string makeFile (const std::string& name, const Bytes& bytes) const
    {
        writeFile (pathOf (name), std::string (bytes.begin(), bytes.end()));
        return pathOf (name);
    }

    Bytes contentOf (const std::string& name) const
    {
        const std::string content = readFile (pathOf (name));
        return Bytes (content.begin(), content.end());
    }

    const TemporaryFolder folder;
};

/** Each typed reader, with its value widened so that one table holds them all. */
struct TypedReader
{
    const char* name;
    int size;
    std::function<std::int64_t (kul::InputStream&)> read;
};

const std::vector<TypedReader>& typedReaders()
{
    static const std::vector<TypedReader> readers {
        { "ReadByte", 1, [] (kul::InputStream& s) { return std::int64_t (s.ReadByte()); } },
        { "ReadShort", 2, [] (kul::InputStream& s) { return std::int64_t (s.ReadShort()); } },
        { "ReadShortBigEndian", 2, [] (kul::InputStream& s) { return std::int64_t (s.ReadShortBigEndian()); } },
        { "ReadInt", 4, [] (kul::InputStream& s) { return std::int64_t (s.ReadInt()); } },
        { "ReadUnsignedInt", 4, [] (kul::InputStream& s) { return std::int64_t (s.ReadUnsignedInt()); } },
        { "ReadIntBigEndian", 4, [] (kul::InputStream& s) { return std::int64_t (s.ReadIntBigEndian()); } },
        { "ReadUnsignedIntBigEndian", 4, [] (kul::InputStream& s) { return std::int64_t (s.ReadUnsignedIntBigEndian()); } },
        { "ReadInt64", 8, [] (kul::InputStream& s) { return s.ReadInt64(); } },
    };
    return readers;
}

/** A stream as long as asked, which reads nothing into memory and notes each count it is asked for. */
class CountingStream : public kul::InputStream
{
public:
    explicit CountingStream (std::int64_t totalLength) : length (totalLength) {}

    std::int64_t GetTotalLength() override { return length; }
    bool IsExhausted() override { return position >= length; }
    std::int64_t GetPosition() override { return position; }
    bool SetPosition (std::int64_t newPosition) override { return (position = newPosition), true; }

    std::int64_t Read (void*, std::int64_t numBytes) override
    {
        counts.push_back (numBytes);
        const std::int64_t n = std::min (numBytes, length - position);
        position += n;
        return n;
    }

    std::vector<std::int64_t> counts;

private:
    std::int64_t length, position = 0;
};
} // namespace

TEST_F (StreamTest, TypedReadersGiveValuesInBothByteOrdersOrZeroWhenTheFileEndsInsideTheirValue)
{
    const std::string path = makeFile ("known", { 0xFF, 0xFE, 0xFD, 0xFC, 0x01, 0x02, 0x03, 0x84 });
    const std::int64_t expected[] = {
        -1, -257, -2, 0xFCFDFEFF - 0x100000000, 0xFCFDFEFF, -0x00010204, 0xFFFEFDFC, std::int64_t (0x84030201FCFDFEFFull),
    };
    for (size_t i = 0; i < typedReaders().size(); ++i)
    {
        kul::FileReader reader { kul::File (path) };
        EXPECT_EQ (typedReaders()[i].read (reader), expected[i]) << typedReaders()[i].name;
        EXPECT_EQ (reader.GetPosition(), typedReaders()[i].size) << typedReaders()[i].name;
    }

    // A value the file ends inside reads as zero.
    for (const auto& reader : typedReaders())
    {
        for (int available = 0; available < reader.size; ++available)
        {
            const std::string path = makeFile ("short", Bytes (static_cast<size_t> (available), 0xAB));
            kul::FileReader stream { kul::File (path) };
            EXPECT_EQ (stream.IsExhausted(), available == 0);
            EXPECT_EQ (reader.read (stream), 0) << reader.name << " over " << available << " bytes";
            EXPECT_EQ (stream.GetPosition(), available);
            EXPECT_TRUE (stream.IsExhausted());
        }
    }
}

TEST_F (StreamTest, ReaderPositionsAreClampedAndSkipsStopAtTheEnd)
{
    kul::FileReader reader { kul::File (makeFile ("ten", { 0, 1, 2, 3, 4, 5, 6, 7, 8, 9 })) };
    const struct { bool skip; std::int64_t count, expected; } cases[] = {
        { false, -5, 0 }, { false, 20, 10 }, { false, INT64_MIN, 0 }, { false, 7, 7 }, { false, 7, 7 },
        { true, -3, 7 }, { true, 0, 7 }, { false, 2, 2 }, { true, 5, 7 }, { true, INT64_MAX, 10 }, { true, 1, 10 },
        { false, INT64_MAX, 10 }, { false, 3, 3 },
    };
    for (const auto& c : cases)
    {
        if (c.skip)
            reader.SkipNextBytes (c.count);
        else
            EXPECT_TRUE (reader.SetPosition (c.count));
        EXPECT_EQ (reader.GetPosition(), c.expected) << (c.skip ? "skip " : "set ") << c.count;
    }
    EXPECT_EQ (reader.ReadByte(), 3);
    reader.SkipNextBytes (4);
    EXPECT_EQ (reader.ReadShort(), 0x0908);
    EXPECT_EQ (reader.ReadByte(), 0);
    unsigned char buffer[4] = {};
    EXPECT_EQ (reader.Read (buffer, -1) + reader.Read (nullptr, 4), 0);
}

TEST_F (StreamTest, ReadIntoMemoryBlockTakesWhatRemainsOrWhatWasAsked)
{
    Bytes hundred (100);
    for (size_t i = 0; i < hundred.size(); ++i)
        hundred[i] = static_cast<unsigned char> (i);
    kul::FileReader reader { kul::File (makeFile ("hundred", hundred)) };
    const struct { std::int64_t position, maxBytes, result; size_t blockSize; } cases[] = {
        { 10, -1, 90, 90 }, { 10, 5, 5, 5 }, { 95, 50, 5, 5 }, { 10, 0, 0, 3 }, { 100, -1, 0, 3 },
        { 0, INT64_MAX, 100, 100 }, { 100, 4, 0, 4 },
    };
    for (const auto& c : cases)
    {
        kul::MemoryBlock block;
        block.SetSize (3, true);
        reader.SetPosition (c.position);
        EXPECT_EQ (reader.ReadIntoMemoryBlock (block, c.maxBytes), c.result) << c.position << " " << c.maxBytes;
        EXPECT_EQ (block.GetSize(), c.blockSize) << c.position << " " << c.maxBytes;
        if (c.result > 0)
        {
            EXPECT_EQ (static_cast<const unsigned char*> (block.GetData())[c.result - 1], c.position + c.result - 1);
        }
        EXPECT_EQ (reader.GetPosition(), c.position + c.result);
    }
}

TEST_F (StreamTest, ReadIntoMemoryBlockAsksForCountsPast32BitsInPieces)
{
    const std::int64_t length = (std::int64_t (1) << 31) + 5;
    CountingStream stream (length);
    kul::MemoryBlock block;
    EXPECT_EQ (stream.ReadIntoMemoryBlock (block), length);
    EXPECT_EQ (block.GetSize(), static_cast<size_t> (length));
    EXPECT_EQ (stream.counts, (std::vector<std::int64_t> { 1 << 30, 1 << 30, 5 }));
}

TEST_F (StreamTest, CopyReadsThroughItsOwnDescriptorAfterTheOriginalIsGone)
{
    const std::string path = makeFile ("six", { 1, 2, 3, 4, 5, 6 });
    auto original = std::make_unique<kul::FileReader> (kul::File (path));
    original->SkipNextBytes (2);
    kul::FileReader copy (*original);
    EXPECT_EQ (copy.GetPosition(), 2);
    EXPECT_EQ (original->ReadShort(), 0x0403);
    EXPECT_EQ (copy.ReadByte(), 3);
    EXPECT_EQ (original->ReadByte(), 5);
    original.reset();
    EXPECT_EQ (copy.ReadByte(), 4);
    EXPECT_EQ (copy.ReadShort(), 0x0605);
    EXPECT_TRUE (copy.IsExhausted());
}

TEST_F (StreamTest, ReaderOnDescriptorZeroReadsAndClosesOnlyItsOwn)
{
    const int savedInput = ::dup (0);
    ASSERT_GE (savedInput, 0);
    ::close (0);
    {
        kul::FileReader reader { kul::File (makeFile ("two", { 7, 8 })) };
        EXPECT_EQ (::fcntl (0, F_GETFD), FD_CLOEXEC) << "the reader should have been given descriptor 0";
        EXPECT_EQ (reader.ReadShort(), 0x0807);
    }
    EXPECT_EQ (::fcntl (0, F_GETFD), -1);
    ::dup2 (savedInput, 0);
    ::close (savedInput);
}

TEST_F (StreamTest, OpeningFailuresNameTheQuotedPath)
{
    const std::string missing = pathOf ("missing");
    EXPECT_EQ (failureOf ([&] { kul::FileReader reader { kul::File (missing) }; }),
               "File \"" + missing + "\" does not exist @OskelDspFileReader:60");
    EXPECT_EQ (failureOf ([&] { kul::OpenFileForReading (kul::File (missing)); }),
               "Couldnt open file \"" + missing + "\" @OskelDspFileHandle:75");
    EXPECT_EQ (failureOf ([&] { kul::FileReader reader { kul::File (folder.path) }; }),
               "File \"" + folder.path + "\" does not exist @OskelDspFileReader:60");
    // A named pipe would make the opening wait for a writer.
    const std::string pipe = pathOf ("pipe");
    ASSERT_EQ (::mkfifo (pipe.c_str(), 0600), 0);
    EXPECT_EQ (failureOf ([&] { kul::FileReader reader { kul::File (pipe) }; }),
               "Couldnt open file \"" + pipe + "\" @OskelDspFileHandle:75");

    makeFile ("plain", { 1 });
    const std::string underAFile = pathOf ("plain/sub/out.bin");
    EXPECT_EQ (failureOf ([&] { kul::FileWriter writer { kul::File (underAFile) }; }),
               "Couldnt create or write in folder \"" + pathOf ("plain/sub") + "\" @OskelDspFileWriter:36");
    EXPECT_EQ (failureOf ([&] { kul::FileWriter writer { kul::File (folder.path) }; }),
               "Couldnt open file \"" + folder.path + "\" @OskelDspFileHandle:160");

    // Permissions bind everyone but the superuser.
    if (::geteuid() == 0)
        return;
    fs::permissions (pathOf ("plain"), fs::perms::owner_read);
    EXPECT_EQ (failureOf ([&] { kul::FileWriter writer { kul::File (pathOf ("plain")) }; }),
               "Couldnt open file \"" + pathOf ("plain") + "\" @OskelDspFileHandle:142");
    fs::create_directory (pathOf ("locked"));
    fs::permissions (pathOf ("locked"), fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_EQ (failureOf ([&] { kul::FileWriter writer { kul::File (pathOf ("locked/new")) }; }),
               "Couldnt open file \"" + pathOf ("locked/new") + "\" @OskelDspFileHandle:160");
}

TEST_F (StreamTest, WriterAppendsLittleEndianValuesToAnExistingFile)
{
    makeFile ("existing", Bytes (10, 0xEE));
    {
        kul::FileWriter writer { kul::File (pathOf ("existing")) };
        EXPECT_EQ (writer.GetPosition(), 10);
        EXPECT_TRUE (writer.WriteRepeatedByte (0x55, 0));
        EXPECT_FALSE (writer.WriteRepeatedByte (0x55, -1));
        EXPECT_TRUE (writer.WriteByte (-2) && writer.WriteShort (-2) && writer.WriteInt (0x01020304) && writer.WriteDouble (1.0));
        EXPECT_EQ (writer.GetPosition(), 25);
    }
    const Bytes content = contentOf ("existing");
    EXPECT_EQ (Bytes (content.begin(), content.begin() + 10), Bytes (10, 0xEE));
    EXPECT_EQ (Bytes (content.begin() + 10, content.end()),
               (Bytes { 0xFE, 0xFE, 0xFF, 0x04, 0x03, 0x02, 0x01, 0, 0, 0, 0, 0, 0, 0xF0, 0x3F }));

    kul::FileWriter writer { kul::File (pathOf ("new/folder/file")) };
    EXPECT_EQ (writer.GetPosition(), 0);
    EXPECT_TRUE (writer.WriteRepeatedByte (0xA5, 40000));
    EXPECT_EQ (writer.GetPosition(), 40000);
    EXPECT_EQ (contentOf ("new/folder/file"), Bytes (40000, 0xA5));
}

TEST_F (StreamTest, WriterSeeksBackToOverwriteAndKeepsAFailedSeekVisible)
{
    kul::FileWriter writer { kul::File (pathOf ("out")) };
    EXPECT_TRUE (writer.WriteInt (0) && writer.WriteInt (0x11111111));
    EXPECT_TRUE (writer.SetPosition (0));
    EXPECT_TRUE (writer.WriteShort (0x0A0B));
    EXPECT_TRUE (writer.SetPosition (2) && writer.GetPosition() == 2);
    EXPECT_FALSE (writer.SetPosition (-1));
    EXPECT_EQ (writer.GetPosition(), -1);
    EXPECT_FALSE (writer.SetPosition (-1));
    EXPECT_TRUE (writer.WriteByte (0x22));
    EXPECT_EQ (writer.GetPosition(), -1);
    EXPECT_TRUE (writer.SetPosition (8) && writer.Write ("xy", 2) && writer.GetPosition() == 10);
    EXPECT_TRUE (writer.Write (nullptr, 0));
    EXPECT_FALSE (writer.Write (nullptr, 1) || writer.Write ("x", -1));
    EXPECT_EQ (contentOf ("out"), (Bytes { 0x0B, 0x0A, 0x22, 0, 0x11, 0x11, 0x11, 0x11, 'x', 'y' }));
}
