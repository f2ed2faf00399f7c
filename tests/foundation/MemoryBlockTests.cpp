#include "common/Exception.h"
#include "memory/MemoryBlock.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace kultest
{
// Not static, never inlined and not ending in a tail call: the out-of-memory
// message names this caller through the dynamic symbol table.
[[gnu::noinline]] size_t reallocateMemoryBlock (kul::MemoryBlock& block, size_t count, size_t elementSize)
{
    block.Reallocate (count, elementSize);
    return block.GetSize();
}
} // namespace kultest

namespace
{
std::vector<std::string> blockReports;

void captureBlockReport (const std::string& text)
{
    blockReports.push_back (text);
}

kul::MemoryBlock blockHolding (const std::string& bytes)
{
    kul::MemoryBlock block;
    block.SetSize (bytes.size(), false);
    std::memcpy (block.GetData(), bytes.data(), bytes.size());
    return block;
}

class MemoryBlockFailure : public ::testing::Test
{
protected:
    void SetUp() override
    {
        blockReports.clear();
        previousSink = kul::SetReportSink (captureBlockReport);
    }

    void TearDown() override { kul::SetReportSink (previousSink); }

    kul::ReportSink previousSink = nullptr;
};
} // namespace

TEST (MemoryBlock, SizingZeroesOnlyWhenAskedAndFreesAtZero)
{
    kul::MemoryBlock block;
    EXPECT_EQ (block.GetData(), nullptr);
    EXPECT_EQ (block.GetSize(), 0u);

    block.SetSize (8, true);
    ASSERT_EQ (block.GetSize(), 8u);
    EXPECT_EQ (block.ToString(), std::string (8, '\0'));

    block = blockHolding ("abcd");
    block.SetSize (8, true);
    EXPECT_EQ (block.ToString(), std::string ("abcd\0\0\0\0", 8));

    block.SetSize (2, true);
    EXPECT_EQ (block.ToString(), "ab");

    block.SetSize (0, false);
    EXPECT_EQ (block.GetData(), nullptr);
    EXPECT_EQ (block.GetSize(), 0u);
}

TEST (MemoryBlock, EnsureSizeOnlyGrows)
{
    auto block = blockHolding ("12345678");
    const void* data = block.GetData();

    block.EnsureSize (2, false);
    EXPECT_EQ (block.GetSize(), 8u);
    EXPECT_EQ (block.GetData(), data);

    block.EnsureSize (12, true);
    EXPECT_EQ (block.ToString(), std::string ("12345678\0\0\0\0", 12));
}

TEST (MemoryBlock, TextHoldsEveryByteIncludingZeros)
{
    EXPECT_EQ (blockHolding (std::string ("a\0b", 3)).ToString().size(), 3u);
    EXPECT_EQ (kul::MemoryBlock().ToString(), "");
}

TEST (MemoryBlock, CopiesAreDeepAndMovesHandTheBytesOver)
{
    auto original = blockHolding ("bytes");

    kul::MemoryBlock copy (original);
    ASSERT_NE (copy.GetData(), original.GetData());
    static_cast<char*> (copy.GetData())[0] = 'B';
    EXPECT_EQ (original.ToString(), "bytes");
    EXPECT_EQ (copy.ToString(), "Bytes");

    kul::MemoryBlock assigned = blockHolding ("longer than the original");
    assigned = original;
    EXPECT_EQ (assigned.ToString(), "bytes");
    EXPECT_NE (assigned.GetData(), original.GetData());

    auto& same = assigned;
    assigned = same;
    EXPECT_EQ (assigned.ToString(), "bytes");

    assigned = kul::MemoryBlock();
    EXPECT_EQ (assigned.GetSize(), 0u);
    EXPECT_EQ (assigned.GetData(), nullptr);

    const void* data = original.GetData();
    kul::MemoryBlock moved (std::move (original));
    EXPECT_EQ (moved.GetData(), data);
    EXPECT_EQ (moved.ToString(), "bytes");
    EXPECT_EQ (original.GetData(), nullptr);
    EXPECT_EQ (original.GetSize(), 0u);

    copy = std::move (moved);
    EXPECT_EQ (copy.GetData(), data);
    EXPECT_EQ (moved.GetSize(), 0u);
}

TEST (MemoryBlock, SizeNeverExceedsWhatIsAllocated)
{
    auto block = blockHolding ("12345678");

    block.Reallocate (3, 1);
    EXPECT_EQ (block.ToString(), "123");

    block.Allocate (2, true);
    EXPECT_EQ (block.ToString(), std::string (2, '\0'));

    block.Reallocate (0, 4);
    EXPECT_EQ (block.GetData(), nullptr);
    EXPECT_EQ (block.GetSize(), 0u);
}

TEST_F (MemoryBlockFailure, OverflowingSizeIsRefusedAsOutOfMemoryAndLeavesTheBlock)
{
    auto block = blockHolding ("keep");
    const void* data = block.GetData();

    try
    {
        kultest::reallocateMemoryBlock (block, SIZE_MAX / 2, 4);
        FAIL() << "no exception";
    }
    catch (const kul::Exception& e)
    {
        EXPECT_STREQ (e.what(), "out of memory occured in kultest::reallocateMemoryBlock(kul::MemoryBlock&, unsigned long, unsigned long)");
        EXPECT_EQ (e.GetLine(), 0);
    }

    EXPECT_EQ (block.GetData(), data);
    EXPECT_EQ (block.ToString(), "keep");
    ASSERT_EQ (blockReports.size(), 1u);
    EXPECT_EQ (blockReports[0].rfind ("Exception occured : out of memory occured in ", 0), 0u) << blockReports[0];
}

// Under AddressSanitizer a huge malloc aborts instead of returning null.
#if ! defined(__SANITIZE_ADDRESS__)
TEST_F (MemoryBlockFailure, AllocationThatTheSystemRefusesThrowsAndLeavesTheBlock)
{
    const size_t huge = SIZE_MAX / 2;

    kul::MemoryBlock empty;
    EXPECT_THROW (empty.SetSize (huge, false), kul::Exception);
    EXPECT_THROW (empty.SetSize (huge, true), kul::Exception);
    EXPECT_EQ (empty.GetData(), nullptr);
    EXPECT_EQ (empty.GetSize(), 0u);

    auto filled = blockHolding ("keep");
    const void* data = filled.GetData();
    try
    {
        filled.EnsureSize (huge, true);
        FAIL() << "no exception";
    }
    catch (const kul::Exception& e)
    {
        EXPECT_EQ (std::string (e.what()).rfind ("out of memory occured in ", 0), 0u) << e.what();
    }
    EXPECT_EQ (filled.GetData(), data);
    EXPECT_EQ (filled.ToString(), "keep");
    EXPECT_EQ (blockReports.size(), 3u);
}
#endif
