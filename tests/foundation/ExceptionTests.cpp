#include "common/CallStack.h"
#include "common/Exception.h"
#include "common/NumberToString.h"
#include "text/StringArray.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <pthread.h>
#include <sstream>
#include <stdexcept>
#include <string>
#include <syslog.h>
#include <thread>
#include <vector>

namespace kultest
{
// Not static and never inlined, so that the call stack can name them.
[[gnu::noipa]] std::string askForCallerName()
{
    auto name = kul::GetCallerName();
    return name;
}

std::string lastCallerName;

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
} // namespace kultest

namespace
{
std::vector<std::string> reports;

void captureReport (const std::string& text)
{
    reports.push_back (text);
}

void writeReportToStandardError (const std::string& text)
{
    std::fputs (text.c_str(), stderr);
}

class ExceptionReport : public ::testing::Test
{
protected:
    void SetUp() override
    {
        reports.clear();
        previousSink = kul::SetReportSink (captureReport);
    }

    void TearDown() override { kul::SetReportSink (previousSink); }

    kul::ReportSink previousSink = nullptr;
};
} // namespace

TEST_F (ExceptionReport, EveryConstructionWritesOneReportInTheFormatAsked)
{
    struct Case
    {
        const char* sourceFile;
        long line;
        bool withFileAndLine;
        const char* fileName;
        const char* report;
    };

    const Case cases[] = {
        { "/a/b/c.txt", 12, true, "c.txt", "Exception occured in file \"c.txt\" (line 12): \nabc\n\n\n" },
        { "/a/b/c.txt", 12, false, "c.txt", "Exception occured : abc\n\n\n" },
        { "math/OskelDspVectorImplementation", 1753, true, "OskelDspVectorImplementation",
          "Exception occured in file \"OskelDspVectorImplementation\" (line 1753): \nabc\n\n\n" },
        { "/a/\"q.txt\"", 3, true, "\"q.txt\"", "Exception occured in file \"q.txt\" (line 3): \nabc\n\n\n" },
        { "", 0, true, "", "Exception occured in file \"\" (line 0): \nabc\n\n\n" },
        { nullptr, 0, false, "", "Exception occured : abc\n\n\n" },
    };

    for (const auto& testCase : cases)
    {
        reports.clear();
        const kul::Exception exception (std::string ("abc"), testCase.sourceFile, testCase.line, testCase.withFileAndLine, false);

        EXPECT_STREQ (exception.what(), "abc");
        EXPECT_EQ (exception.GetFileName(), testCase.fileName);
        EXPECT_EQ (exception.GetLine(), testCase.line);
        EXPECT_EQ (reports, std::vector<std::string> { testCase.report });
    }
}

TEST_F (ExceptionReport, CaughtExceptionsAreReportedAgainWithTheCatchersFileAndLine)
{
    const kul::Exception fromStandard (std::runtime_error ("boom"), "/x/inner.cpp", 7, true, false);
    EXPECT_STREQ (fromStandard.what(), "boom");

    const kul::Exception rethrown (fromStandard, "/y/outer.cpp", 99, true, false);
    EXPECT_STREQ (rethrown.what(), "boom");
    EXPECT_EQ (rethrown.GetFileName(), "outer.cpp");
    EXPECT_EQ (rethrown.GetLine(), 99);

    const kul::UnknownException unknown ("/z/any.cpp", 5, false, false);
    EXPECT_STREQ (unknown.what(), "unknown exception");

    EXPECT_EQ (reports, (std::vector<std::string> {
                            "Exception occured in file \"inner.cpp\" (line 7): \nboom\n\n\n",
                            "Exception occured in file \"outer.cpp\" (line 99): \nboom\n\n\n",
                            "Exception occured : unknown exception\n\n\n",
                        }));

    // Throwing copies the exception; only building one writes a report.
    const kul::Exception copy (rethrown);
    PostLineToConsole ("line");
    EXPECT_EQ (reports.size(), 4u);
    EXPECT_EQ (reports.back(), "line\n");
}

TEST (ExceptionReportDeathTest, ExitAfterReportEndsTheProcessWithStatusOne)
{
    EXPECT_EXIT (
        {
            kul::SetReportSink (writeReportToStandardError);
            const kul::Exception exception (std::string ("bye"), "", 0, false, true);
        },
        ::testing::ExitedWithCode (1), "Exception occured : bye");
}

TEST (SystemLogConcurrency, EntriesFromManyThreadsLeaveTheLogMaskAsItWas)
{
    const auto previousSink = kul::SetReportSink (nullptr);
    const int originalMask = setlogmask (LOG_UPTO (LOG_WARNING));

    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back ([t]
                              {
                                  for (int i = 0; i < 5; ++i)
                                      PostToConsole ("concurrent log test entry " + std::to_string (t) + "\n");
                              });
    for (auto& thread : threads)
        thread.join();

    EXPECT_EQ (setlogmask (0), LOG_UPTO (LOG_WARNING));
    setlogmask (originalMask);
    kul::SetReportSink (previousSink);
}

TEST (CallStack, FrameTextsBecomeEntries)
{
    struct Case
    {
        const char* frameText;
        const char* functionName;
        const char* entry;
    };

    const Case cases[] = {
        { "3 libfoo 0x00007f0000001000 _ZN3kul4TestEv + 18", "kul::Test()", "3 libfoo 0x00007f0000001000 kul::Test() + 18" },
        { "0   prog   0x1   main + 4", "main()", "0 prog 0x1 main() + 4" },
        { "1 prog 0x1 start + 4 ", "start()", "1 prog 0x1 start() + 4" },
        { "2 prog 0x1 plain_c_function + 4", "plain_c_function", "2 prog 0x1 plain_c_function + 4" },
        { "2 prog 0x1 0x2724a + 0", "0x2724a", "2 prog 0x1 0x2724a + 0" },
        { "2 prog 0x1 _Z + 4", "_Z", "2 prog 0x1 _Z + 4" },
        { "3 libfoo 0x1 _ZN3kul4TestEv +", "", "" },
        { "3 libfoo 0x1 _ZN3kul4TestEv + 18 extra", "", "" },
        { "./prog(_ZN3kul4TestEv+0x12) [0x4011d6]", "", "" },
        { "", "", "" },
    };

    for (const auto& testCase : cases)
    {
        SCOPED_TRACE (testCase.frameText);
        EXPECT_EQ (callStackEntryFromFrameText (testCase.frameText, true), testCase.functionName);
        EXPECT_EQ (callStackEntryFromFrameText (testCase.frameText, false), testCase.entry);
    }
}

TEST (CallStack, FramesAreCountedFromGetCallStackItself)
{
    EXPECT_TRUE (getCallStack (0, true).empty());
    EXPECT_TRUE (getCallStack (2, true).empty());

    const auto names = kultest::takeCallStack (true);
    EXPECT_EQ (static_cast<const std::vector<std::string>&> (names),
               (std::vector<std::string> { "getCallStack(unsigned int, bool)", "kultest::takeCallStack(bool)" }));

    const auto frames = kultest::takeCallStack (false);
    ASSERT_EQ (frames.size(), 2u);
    std::istringstream pieces (frames[1]);
    std::string number, image, address, symbol, plus, rest;
    long offset = 0;
    pieces >> number >> image >> address >> symbol >> plus >> offset >> rest;
    EXPECT_EQ (number + " " + image + " " + symbol + " " + plus, "1 foundation_tests kultest::takeCallStack(bool) +");
    EXPECT_EQ (address.size(), 18u);
    EXPECT_GT (offset, 0);
    EXPECT_EQ (rest, "");
}

TEST (CallStack, CallerNameIsTheCallerOfTheAskingFunction)
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

TEST (SmallFunctions, NumbersAreWrittenAsADefaultStreamWritesThem)
{
    EXPECT_EQ (NumberToString (0u), "0");
    EXPECT_EQ (NumberToString (4294967295u), "4294967295");
    EXPECT_EQ (NumberToString (-5), "-5");
    EXPECT_EQ (NumberToString (9000000000L), "9000000000");
    EXPECT_EQ (NumberToString (3.0f), "3");
    EXPECT_EQ (NumberToString (0.1f), "0.1");
    EXPECT_EQ (NumberToString (1234567.0f), "1.23457e+06");
    EXPECT_EQ (NumberToString (-0.5f), "-0.5");

    EXPECT_EQ (GetFloatBitWidth(), 32);
    EXPECT_EQ (getOperatingSystemName(), "Mac OS");
}
