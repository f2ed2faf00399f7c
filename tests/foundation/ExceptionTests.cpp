#include "FailingAllocations.h"
#include "TestHelpers.h"

#include "common/CallStack.h"
#include "common/Exception.h"
#include "common/StringMap.h"
#include "math/Vector.h"
#include "memory/MemoryBlock.h"
#include "text/StringArray.h"
#include "text/StringHelper.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <pthread.h>
#include <stdexcept>
#include <string>
#include <syslog.h>
#include <thread>
#include <vector>

namespace kultest
{
// Not static, never inlined and never ending in a tail call, so that the call stack
// (through the dynamic symbol table) names these functions.
std::string lastCallerName;

[[gnu::noipa]] std::string askForCallerName()
{
    auto name = kul::GetCallerName();
    return name;
}

[[gnu::noipa]] int callerOfAsker()
{
    lastCallerName = askForCallerName();
    return static_cast<int> (lastCallerName.size());
}

[[gnu::noipa]] kul::StringArray takeCallStack (bool functionNamesOnly)
{
    auto entries = getCallStack (4, functionNamesOnly);
    return entries;
}

[[gnu::noipa]] void* callerNamesOfShallowThread (void* result)
{
    auto& names = *static_cast<std::vector<std::string>*> (result);
    names.push_back (kul::GetCallerName());
    const auto frames = getCallStack (64, true);
    names.push_back (frames.size() > 2 ? frames[2] : std::string());
    return nullptr;
}

/** Runs the armed failure, if any, when value-initialised or copied; moving never
    fails, so a vector that reallocates keeps its content. */
struct Fragile
{
    static inline void (*onCreate)() = nullptr;
    static inline void (*onCopy)() = nullptr;
    int value = 0;

    Fragile() { fail (onCreate); }
    explicit Fragile (int v) : value (v) {}
    Fragile (const Fragile& other) : value (other.value) { fail (onCopy); }
    Fragile (Fragile&& other) noexcept : value (other.value) {}
    Fragile& operator= (const Fragile&) = default;

    static void fail (void (*failure)())
    {
        if (failure != nullptr)
            failure();
    }
};

[[gnu::noipa]] size_t growOrAssign (kul::Vector<Fragile>& vector, size_t size, const kul::Vector<Fragile>* source)
{
    if (source != nullptr)
        vector = *source;
    else
        vector.Resize (size);
    return vector.Size();
}

[[gnu::noinline]] size_t reallocateMemoryBlock (kul::MemoryBlock& block, size_t count, size_t elementSize)
{
    block.Reallocate (count, elementSize);
    return block.GetSize();
}
} // namespace kultest

namespace
{
using kultest::Fragile;

kul::Vector<Fragile> fragileVector (std::initializer_list<int> values)
{
    kul::Vector<Fragile> vector;
    for (auto value : values)
        vector.PushBack (Fragile (value));
    return vector;
}

std::vector<int> valuesOf (const kul::Vector<Fragile>& vector)
{
    std::vector<int> values;
    for (const auto& element : vector)
        values.push_back (element.value);
    return values;
}

// The name failures of growOrAssign give as their caller.
const std::string caller = "kultest::growOrAssign(kul::Vector<kultest::Fragile>&, unsigned long, "
                           "kul::Vector<kultest::Fragile> const*)";
} // namespace

TEST (ExceptionReport, EveryConstructionWritesOneReportWithTheFileNameWithoutFolderOrQuotes)
{
    const struct { const char* sourceFile; bool withFileAndLine; const char* fileName, *report; } cases[] = {
        { "/a/b/c.txt", true, "c.txt", "Exception occured in file \"c.txt\" (line 12): \nabc\n\n\n" },
        { "/a/b/c.txt", false, "c.txt", "Exception occured : abc\n\n\n" },
        { "math/OskelDspVectorImplementation", true, "OskelDspVectorImplementation",
          "Exception occured in file \"OskelDspVectorImplementation\" (line 12): \nabc\n\n\n" },
        { "/a/\"q.txt\"", true, "\"q.txt\"", "Exception occured in file \"q.txt\" (line 12): \nabc\n\n\n" },
        { nullptr, false, "", "Exception occured : abc\n\n\n" },
    };
    for (const auto& c : cases)
    {
        const CaughtReports reports;
        const kul::Exception exception (std::string ("abc"), c.sourceFile, 12, c.withFileAndLine, false);
        EXPECT_STREQ (exception.what(), "abc");
        EXPECT_EQ (exception.GetFileName(), c.fileName);
        EXPECT_EQ (reports.texts(), std::vector<std::string> { c.report });
    }
}

TEST (ExceptionReport, CaughtExceptionsAreReportedAgainWithTheCatchersFileAndLineButCopiesAreNot)
{
    const CaughtReports reports;
    const kul::Exception fromStandard (std::runtime_error ("boom"), "/x/inner.cpp", 7, true, false);
    const kul::Exception rethrown (fromStandard, "/y/outer.cpp", 99, true, false);
    EXPECT_STREQ (rethrown.what(), "boom");
    EXPECT_EQ (rethrown.GetFileName(), "outer.cpp");
    EXPECT_EQ (rethrown.GetLine(), 99);
    const kul::UnknownException unknown ("/z/any.cpp", 5, false, false);
    const kul::Exception copy (rethrown);
    PostLineToConsole ("line");
    EXPECT_EQ (reports.texts(), (std::vector<std::string> { "Exception occured in file \"inner.cpp\" (line 7): \nboom\n\n\n",
                                                    "Exception occured in file \"outer.cpp\" (line 99): \nboom\n\n\n",
                                                    "Exception occured : unknown exception\n\n\n", "line\n" }));
}

TEST (ExceptionReportDeathTest, ExitAfterReportEndsTheProcessWithStatusOne)
{
    EXPECT_EXIT (
        {
            kul::SetReportSink ([] (const std::string& text) { std::fputs (text.c_str(), stderr); });
            const kul::Exception exception (std::string ("bye"), "", 0, false, true);
        },
        ::testing::ExitedWithCode (1), "Exception occured : bye");
}

TEST (SystemLogConcurrency, EntriesFromManyThreadsLeaveTheLogMaskAsItWas)
{
    const auto previousSink = kul::SetReportSink (nullptr);
    const int originalMask = setlogmask (LOG_UPTO (LOG_WARNING));
    const auto postEntries = [] (int t)
    {
        for (int i = 0; i < 5; ++i)
            PostToConsole ("concurrent log test entry " + std::to_string (t) + "\n");
    };
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back (postEntries, t);
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ (setlogmask (0), LOG_UPTO (LOG_WARNING));
    setlogmask (originalMask);
    kul::SetReportSink (previousSink);
}

TEST (CallStack, FrameTextsWithExactlySixPiecesBecomeEntriesWithDemangledNames)
{
    const struct { const char* frameText, *functionName, *entry; } cases[] = {
        { "3 libfoo 0x00007f0000001000 _ZN3kul4TestEv + 18", "kul::Test()", "3 libfoo 0x00007f0000001000 kul::Test() + 18" },
        { "0   prog   0x1   main + 4", "main()", "0 prog 0x1 main() + 4" },
        { "2 prog 0x1 plain_c_function + 4", "plain_c_function", "2 prog 0x1 plain_c_function + 4" },
        { "2 prog 0x1 0x2724a + 0", "0x2724a", "2 prog 0x1 0x2724a + 0" },
        { "3 libfoo 0x1 _ZN3kul4TestEv +", "", "" },
        { "3 libfoo 0x1 _ZN3kul4TestEv + 18 extra", "", "" },
        { "./prog(_ZN3kul4TestEv+0x12) [0x4011d6]", "", "" },
    };
    for (const auto& c : cases)
    {
        EXPECT_EQ (callStackEntryFromFrameText (c.frameText, true), c.functionName) << c.frameText;
        EXPECT_EQ (callStackEntryFromFrameText (c.frameText, false), c.entry) << c.frameText;
    }
}

TEST (CallStack, FramesAreCountedFromGetCallStackItself)
{
    EXPECT_TRUE (getCallStack (2, true).empty());
    EXPECT_EQ (static_cast<const std::vector<std::string>&> (kultest::takeCallStack (true)),
               (std::vector<std::string> { "getCallStack(unsigned int, bool)", "kultest::takeCallStack(bool)" }));
    const auto frames = kultest::takeCallStack (false);
    ASSERT_EQ (frames.size(), 2u);
    const std::string symbol = " kultest::takeCallStack(bool) + ";
    EXPECT_EQ (frames[1].substr (0, 21), "1 foundation_tests 0x");
    EXPECT_EQ (frames[1].find (symbol), 37u) << frames[1];
    EXPECT_GT (std::atol (frames[1].c_str() + 37 + symbol.size()), 0) << frames[1];
}

TEST (CallStack, CallerNameIsTheCallerOfTheAskingFunctionOrEmptyAtTheOutermostFrame)
{
    kultest::callerOfAsker();
    EXPECT_EQ (kultest::lastCallerName, "kultest::callerOfAsker()");

    // A thread's routine sits right above the thread's outermost frames, so its
    // caller is not in the stack (under a sanitizer, an interceptor may be).
    std::vector<std::string> names;
    pthread_t thread;
    ASSERT_EQ (pthread_create (&thread, nullptr, kultest::callerNamesOfShallowThread, &names), 0);
    pthread_join (thread, nullptr);
    ASSERT_EQ (names.size(), 2u);
    EXPECT_EQ (names[0], names[1]);
#ifndef __SANITIZE_ADDRESS__
    EXPECT_EQ (names[0], "");
#endif
}

TEST (ExceptionReport, MemoryBlockThatCannotGrowThrowsOutOfMemoryNamingTheCallerAndKeepsItsBytes)
{
    kul::MemoryBlock block;
    block.SetSize (4, false);
    std::memcpy (block.GetData(), "keep", 4);
    const void* data = block.GetData();
    EXPECT_EQ (failureOf ([&] { kultest::reallocateMemoryBlock (block, SIZE_MAX / 2, 4); }),
               "out of memory occured in kultest::reallocateMemoryBlock(kul::MemoryBlock&, unsigned long, unsigned long) @:0");

    // Under AddressSanitizer a huge malloc aborts instead of returning null.
#if ! defined(__SANITIZE_ADDRESS__)
    EXPECT_EQ (failureOf ([&] { block.EnsureSize (SIZE_MAX / 2, true); }).rfind ("out of memory occured in ", 0), 0u);
    kul::MemoryBlock empty;
    EXPECT_EQ (failureOf ([&] { empty.SetSize (SIZE_MAX / 2, false); }).rfind ("out of memory occured in ", 0), 0u);
    EXPECT_EQ (empty.GetData(), nullptr);
#endif
    EXPECT_EQ (block.GetData(), data);
    EXPECT_EQ (block.ToString(), "keep");
}

TEST (ExceptionReport, VectorGrowthFailuresAreTranslatedAndTheContentIsKept)
{
    const struct { void (*failure)(); std::string resizeMessage, pushBackMessage; long pushBackLine; } cases[] = {
        { [] { throw std::bad_alloc(); }, "out of memory occured in ", "out of memory occured", 1753 },
        { [] { throw std::runtime_error ("boom"); }, "exception boom occured in ", "exception boom occured", 1759 },
        { [] { throw 42; }, "unknown exception occured in ", "unknown exception", 1763 },
    };
    for (const auto& c : cases)
    {
        // Resize and assignment name their caller.
        auto grown = fragileVector ({ 1, 2 });
        Fragile::onCreate = c.failure;
        EXPECT_EQ (failureOf ([&] { kultest::growOrAssign (grown, 1000, nullptr); }), c.resizeMessage + caller + " @:0");
        Fragile::onCreate = nullptr;
        EXPECT_EQ (valuesOf (grown), (std::vector<int> { 1, 2 }));

        const auto source = fragileVector ({ 5, 6 });
        auto target = kul::Vector<Fragile>(), vector = fragileVector ({ 1, 2, 3 });
        Fragile::onCopy = c.failure;
        EXPECT_EQ (failureOf ([&] { kultest::growOrAssign (target, 0, &source); }), c.resizeMessage + caller + " @:0");
        EXPECT_TRUE (target.IsEmpty());

        // PushBack names its file and line instead.
        EXPECT_EQ (failureOf ([&] { vector.PushBack (Fragile (4)); }),
                   c.pushBackMessage + " @OskelDspVectorImplementation:" + std::to_string (c.pushBackLine));
        Fragile::onCopy = nullptr;
        EXPECT_EQ (valuesOf (vector), (std::vector<int> { 1, 2, 3 }));
    }
}

// A failure whose text cannot be put together (here a what() too long for the
// memory left) leaves as the out-of-memory failure it has become.
TEST (ExceptionReport, VectorFailureWhoseTextCannotBeBuiltLeavesAsOutOfMemory)
{
    struct LongError : std::exception
    {
        const char* what() const noexcept override
        {
            static const std::string text (1 << 20, 'x');
            return text.c_str();
        }
    };
    LongError().what();
    auto vector = fragileVector ({ 1, 2 });

    Fragile::onCreate = [] { throw LongError(); };
    {
        const auto failing = FailingAllocations::LargerThan (1 << 19);
        EXPECT_EQ (failureOf ([&] { kultest::growOrAssign (vector, 1000, nullptr); }), "out of memory occured in " + caller + " @:0");
        EXPECT_TRUE (failing.HaveFailed());
    }
    Fragile::onCreate = nullptr;

    Fragile::onCopy = [] { throw LongError(); };
    {
        const auto failing = FailingAllocations::LargerThan (1 << 19);
        EXPECT_EQ (failureOf ([&] { vector.PushBack (Fragile (4)); }), "out of memory occured @OskelDspVectorImplementation:1753");
    }
    Fragile::onCopy = nullptr;
    EXPECT_EQ (valuesOf (vector), (std::vector<int> { 1, 2 }));
}

TEST (ExceptionReport, StringMapFailedAdditionLeavesNamesAndValuesPaired)
{
    kul::StringMap<Fragile> map (false);
    map["first"].value = 1;
    Fragile::onCopy = [] { throw std::runtime_error ("copy failed"); };
    EXPECT_EQ (failureOf ([&] { map["second"]; }), "exception copy failed occured @OskelDspVectorImplementation:1759");
    Fragile::onCopy = nullptr;
    EXPECT_EQ (map.GetNames().size() + map.GetValues().Size(), 2u);
    map["second"].value = 2;
    EXPECT_EQ (map["first"].value + map["second"].value, 3);
}

TEST (ExceptionReport, StringResizeFailureBecomesALibraryExceptionAndKeepsTheText)
{
    std::string text ("abc");
    const auto failure = failureOf ([&] { StringHelper::Resize (text, text.max_size() + 1, 'x'); });
    EXPECT_EQ (failure.substr (failure.size() - 20), " @OskelDspString:939") << failure;
    EXPECT_EQ (text, "abc");
}
