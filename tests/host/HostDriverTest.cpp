#include "HostTestClass.h"
#include "Script.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>
#include <zlib.h>

namespace
{
std::vector<std::string> readLines (std::FILE* file)
{
    std::vector<std::string> lines;
    char buffer[4096];
    while (std::fgets (buffer, sizeof (buffer), file) != nullptr)
        lines.emplace_back (buffer, std::strcspn (buffer, "\n"));
    return lines;
}

struct RunResult
{
    int status = -1;
    std::vector<std::string> lines;   // what it printed on its standard output
};

RunResult runDriverWith (const std::string& arguments)
{
    RunResult result;
    if (auto* pipe = popen ((std::string (MAXHOST_RUN_PATH) + " " + arguments + " 2>/dev/null").c_str(), "r"))
    {
        result.lines = readLines (pipe);
        const int status = pclose (pipe);
        result.status = WIFEXITED (status) ? WEXITSTATUS (status) : -1;
    }
    return result;
}

RunResult runDriver (const std::string& script, const std::string& options = {})
{
    char path[] = "/tmp/maxhost-script-XXXXXX";
    close (mkstemp (path));
    std::ofstream (path) << script;
    auto result = runDriverWith (options + " " + path);
    std::remove (path);
    return result;
}

// The driver's script reader run in-process, against the test's own host.
std::vector<std::string> runInProcess (const std::string& script)
{
    std::FILE* output = std::tmpfile();
    std::FILE* errors = std::tmpfile();
    std::istringstream input (script);
    int status = -1;
    {
        ScriptRunner runner (output, errors, false);
        status = runner.run (input);
    }
    std::rewind (output);
    const auto lines = readLines (output);
    std::fclose (output);
    std::fclose (errors);
    EXPECT_EQ (status, 0) << script;
    return lines;
}

const std::string loadPlugin = std::string ("load ") + MAXHOST_TEST_PLUGIN + "\n";
} // namespace

TEST (DriverTest, ScriptsPrintWhatTheRealPluginDoesAndFailOnErrors)
{
    struct Case { std::string options, script; int status; std::vector<std::string> lines; };
    const Case cases[] = {
        { "",
          loadPlugin
              + "new g test.gain~ @gain 0.5   # a box with one attribute\n"
                "send g bang\n"
                "send g gain 7\n"
                "send g bang\n"
                "send g gain 0.25\n"
                "send g hello world 1 2.5\n"
                "send g nosuch\n"
                "signal g 1 dc 0.5\n"
                "dsp on\n"
                "run 10b\n"
                "measure g\n"
                "signal g 1 off\n"
                "run 5ms\n"
                "measure g\n"
                "send g tick\n"
                "run 20ms\n"
                "send@sched g bang\n"
                "dsp off\n"
                "free g\n",
          0,
          { "g out 2: float 0.5", "g out 2: float 2.", "g post: hello world 1 2.5", "g error: doesn't understand \"nosuch\"",
            "g measure 1: peak -18.06 rms -18.06", "g measure 1: peak -inf rms -inf", "g out 2: ticked", "g out 2: float 0.25" } },
        { "--realtime --sr 48000 --block 32",
          loadPlugin
              + "new g test.gain~ @gain 2\n"
                "signal g 1 dc 0.25\n"
                "dsp on\n"
                "run 30ms\n"
                "send@sched g tick\n"
                "run 40ms\n"
                "dsp off\n"
                "measure g\n",
          0,
          { "g out 2: ticked", "g measure 1: peak -6.02 rms -6.02" } },
        { "", "dsp on\nrun 2b\n", 0, {} },
        { "", "frobnicate\n", 1, {} },
        { "", "new a no.such.class\n", 1, { "- error: no.such.class: no such object" } },
        // Posted while the box is made, under the name it is getting.
        { "", loadPlugin + "new g test.gain~ @nosuch 1\nsend g bang\n", 0, { "g warn: no attribute \"nosuch\"", "g out 2: float 1." } },
        { "", "load /nonexistent/plugin.so\n", 1, {} },
        { "", "send nobody bang\n", 1, {} },
        { "", "run 10 parsecs\n", 1, {} },
        // Rates, block sizes and runs that no host runs are refused, not spun through.
        { "--sr inf", "run 1ms\n", 1, {} }, { "--sr 1e12", "run 1ms\n", 1, {} }, { "--sr 0.5", "run 1ms\n", 1, {} },
        { "--sr 48k", "run 1ms\n", 1, {} }, { "--block 1e12", "run 1ms\n", 1, {} }, { "--block 2.5", "run 1ms\n", 1, {} },
        { "", "run 1e300ms\n", 1, {} }, { "", "run 1e300b\n", 1, {} }, { "", "run 1.5b\n", 1, {} }, { "", "run 86401s\n", 1, {} },
        { "--sr 768000 --block 8192", "run 86400s\nrun 3b\n", 0, {} },
        { "", "dialog two words\n", 1, {} },
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.script);
        const auto result = runDriver (c.script, c.options);
        EXPECT_EQ (result.status, c.status);
        EXPECT_EQ (result.lines, c.lines);
    }
}

TEST (DriverTest, HelpListsEveryScriptCommandWithAnExample)
{
    const auto help = runDriverWith ("--help");
    EXPECT_EQ (help.status, 0);
    const auto has = [&] (const std::string& start) {
        return std::any_of (help.lines.begin(), help.lines.end(), [&] (const auto& l) { return l.rfind (start, 0) == 0; });
    };
    for (const std::string command : { "load", "new", "send", "send@sched", "signal", "dsp", "run", "measure", "screenshot", "free", "dialog" })
    {
        EXPECT_TRUE (has ("  " + command + " ")) << command;
        EXPECT_TRUE (has ("      e.g. " + command + " ")) << command;
    }
}

TEST (DriverTest, ScreenshotWritesTheObjectsWindowAsPng)
{
    if (std::getenv ("DISPLAY") == nullptr)
        GTEST_SKIP() << "needs an X display";
    char png[] = "/tmp/maxhost-shot-XXXXXX.png";
    close (mkstemps (png, 4));
    const auto shoot = [&] (const std::string& position)
    {
        std::remove (png);
        const int status = runDriver (loadPlugin + "new g test.gain~\nsend g window " + position + "\nscreenshot g " + png + "\n").status;
        std::ifstream file (png, std::ios::binary);
        return std::pair { status, std::vector<unsigned char> ((std::istreambuf_iterator<char> (file)), std::istreambuf_iterator<char>()) };
    };
    const auto [status, bytes] = shoot ("");
    EXPECT_EQ (status, 0);
    ASSERT_GT (bytes.size(), 33u);
    EXPECT_EQ (std::string (bytes.begin() + 1, bytes.begin() + 4), "PNG");
    auto be32 = [] (const std::vector<unsigned char>& b, size_t at) -> uLong { return uLong (b[at]) << 24 | b[at + 1] << 16 | b[at + 2] << 8 | b[at + 3]; };
    EXPECT_EQ (be32 (bytes, 16), 40u);
    EXPECT_EQ (be32 (bytes, 20), 30u);
    size_t at = 8;   // each chunk: its length, its type and data, their CRC
    for (; at + 12 <= bytes.size(); at += 12 + be32 (bytes, at))
    {
        ASSERT_LE (at + 12 + be32 (bytes, at), bytes.size());
        EXPECT_EQ (be32 (bytes, at + 8 + be32 (bytes, at)), crc32 (0, bytes.data() + at + 4, static_cast<uInt> (4 + be32 (bytes, at)))) << "the chunk at " << at;
    }
    EXPECT_EQ (at, bytes.size());

    const size_t idat = 33;   // right after the header chunk
    ASSERT_EQ (std::string (bytes.begin() + idat + 4, bytes.begin() + idat + 8), "IDAT");
    std::vector<unsigned char> raw (30 * (40 * 3 + 1));
    uLongf size = raw.size();
    ASSERT_EQ (uncompress (raw.data(), &size, bytes.data() + idat + 8, be32 (bytes, idat)), Z_OK) << "the stream and its checksum";
    EXPECT_EQ (size, raw.size());
    EXPECT_EQ (std::vector<int> (raw.begin(), raw.begin() + 4), (std::vector<int> { 0, 255, 0, 0 })) << "no filter, then a red pixel";

    // A window partly off the screen gives its part on the screen; one wholly off it, no picture.
    const auto [partStatus, part] = shoot ("-10 -20");
    EXPECT_EQ (partStatus, 0);
    ASSERT_GT (part.size(), 24u);
    EXPECT_EQ (be32 (part, 16), 30u);
    EXPECT_EQ (be32 (part, 20), 10u);
    const auto [offStatus, off] = shoot ("-100 -100");
    EXPECT_EQ (offStatus, 1);
    EXPECT_TRUE (off.empty());
    std::remove (png);
}

using DriverSessionTest = hosttest::HostTest;

TEST_F (DriverSessionTest, OnlyAWordThatBeginsWithAHashOutsideQuotesStartsAComment)
{
    EXPECT_EQ (runInProcess ("new p probe~\n"
                             "# a whole line of comment: send p echo never\n"
                             "send p echo a#b c# #d   # the rest is comment\n"
                             "send p echo\t#tab\n"
                             "send p echo \"two #words\" x # not this\n"),
               (std::vector<std::string> { "p out 3: echo a#b c#", "p out 3: echo", "p out 3: echo two #words x" }));
}

TEST_F (DriverSessionTest, DialogTakesOnePathQuotedWhenItHoldsBlanks)
{
    runInProcess ("dialog \"/tmp/two words/levels.json\"\n");
    char name[MAX_FILENAME_CHARS] = "file.json";
    short path = 0;
    t_fourcc type = 0;
    ASSERT_EQ (saveasdialog_extended (name, &path, &type, nullptr, 0), 0);
    char full[MAX_PATH_CHARS] = {};
    ASSERT_EQ (path_topotentialname (path, name, full, 0), 0);
    EXPECT_STREQ (full, "/tmp/two words/levels.json");
}

TEST_F (DriverSessionTest, RecordingsAreDroppedOncePrinted)
{
    constexpr int rounds = 500;
    std::string script = "new p probe~\n";
    for (int i = 0; i < rounds; ++i)
        script += "send p bang\nsend p nosuch\n";
    EXPECT_EQ (runInProcess (script).size(), 2u * rounds);
    EXPECT_TRUE (maxhost::console().empty());
    EXPECT_TRUE (maxhost::outletEvents().empty());
}
