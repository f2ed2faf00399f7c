#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>
#include <zlib.h>

namespace
{
struct RunResult
{
    int status;
    std::vector<std::string> lines;
};

// Runs the driver on a script, in a folder of its own.
RunResult runDriver (const std::string& script, const std::string& options = {})
{
    char folder[] = "/tmp/maxhost-driver-XXXXXX";
    EXPECT_NE (mkdtemp (folder), nullptr);
    const std::string path = std::string (folder) + "/script.txt";
    std::ofstream (path) << script;
    const std::string command = std::string (MAXHOST_RUN_PATH) + " " + options + " " + path + " 2>" + folder + "/stderr.txt";
    RunResult result { -1, {} };
    if (auto* pipe = popen (command.c_str(), "r"))
    {
        char buffer[4096];
        while (std::fgets (buffer, sizeof (buffer), pipe) != nullptr)
        {
            std::string line = buffer;
            if (! line.empty() && line.back() == '\n')
                line.pop_back();
            result.lines.push_back (line);
        }
        const int status = pclose (pipe);
        result.status = WIFEXITED (status) ? WEXITSTATUS (status) : -1;
    }
    std::remove ((std::string (folder) + "/stderr.txt").c_str());
    std::remove (path.c_str());
    rmdir (folder);
    return result;
}
} // namespace

TEST (DriverTest, RunsAScriptAgainstARealPlugin)
{
    const std::string script = std::string ("load ") + MAXHOST_TEST_PLUGIN + "\n"
                               "new g test.gain~ @gain 0.5   # a box with one attribute\n"
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
                               "free g\n";
    const auto result = runDriver (script);
    EXPECT_EQ (result.status, 0);
    const std::vector<std::string> expected = {
        "g out 2: float 0.5",
        "g out 2: float 2.",
        "g post: hello world 1 2.5",
        "g error: doesn't understand \"nosuch\"",
        "g measure 1: peak -18.06 rms -18.06",
        "g measure 1: peak -inf rms -inf",
        "g out 2: ticked",
        "g out 2: float 0.25",
    };
    EXPECT_EQ (result.lines, expected);
}

TEST (DriverTest, FailsOnUnknownCommandsAndFailedCreation)
{
    struct Case
    {
        const char* script;
        int status;
    };
    const Case cases[] = {
        { "dsp on\nrun 2b\n", 0 },
        { "frobnicate\n", 1 },
        { "new a no.such.class\n", 1 },
        { "load /nonexistent/plugin.so\n", 1 },
        { "send nobody bang\n", 1 },
        { "run 10 parsecs\n", 1 },
    };
    for (const auto& c : cases)
        EXPECT_EQ (runDriver (c.script).status, c.status) << c.script;
}

TEST (DriverTest, RealtimeModeRunsTheSameScriptFreely)
{
    const std::string script = std::string ("load ") + MAXHOST_TEST_PLUGIN + "\n"
                               "new g test.gain~ @gain 2\n"
                               "signal g 1 dc 0.25\n"
                               "dsp on\n"
                               "run 30ms\n"
                               "send@sched g tick\n"
                               "run 40ms\n"
                               "dsp off\n"
                               "measure g\n";
    const auto result = runDriver (script, "--realtime --sr 48000 --block 32");
    EXPECT_EQ (result.status, 0);
    EXPECT_EQ (result.lines, (std::vector<std::string> { "g out 2: ticked", "g measure 1: peak -6.02 rms -6.02" }));
}

TEST (DriverTest, ScreenshotWritesTheObjectsWindowAsPng)
{
    if (std::getenv ("DISPLAY") == nullptr)
        GTEST_SKIP() << "needs an X display";
    char folder[] = "/tmp/maxhost-shot-XXXXXX";
    ASSERT_NE (mkdtemp (folder), nullptr);
    const std::string png = std::string (folder) + "/window.png";
    const auto result = runDriver (std::string ("load ") + MAXHOST_TEST_PLUGIN + "\nnew g test.gain~\nsend g window\nscreenshot g " + png + "\n");
    EXPECT_EQ (result.status, 0);

    std::ifstream file (png, std::ios::binary);
    std::vector<unsigned char> bytes ((std::istreambuf_iterator<char> (file)), std::istreambuf_iterator<char>());
    std::remove (png.c_str());
    rmdir (folder);
    ASSERT_GT (bytes.size(), 33u);
    EXPECT_EQ (std::string (bytes.begin() + 1, bytes.begin() + 4), "PNG");
    auto be32 = [&] (size_t at) { return (bytes[at] << 24) | (bytes[at + 1] << 16) | (bytes[at + 2] << 8) | bytes[at + 3]; };
    EXPECT_EQ (be32 (16), 40);
    EXPECT_EQ (be32 (20), 30);

    const size_t idat = 33;   // right after the header chunk
    ASSERT_EQ (std::string (bytes.begin() + idat + 4, bytes.begin() + idat + 8), "IDAT");
    std::vector<unsigned char> raw (30 * (40 * 3 + 1));
    uLongf size = raw.size();
    ASSERT_EQ (uncompress (raw.data(), &size, bytes.data() + idat + 8, static_cast<uLong> (be32 (idat))), Z_OK);
    EXPECT_EQ (size, raw.size());
    EXPECT_EQ (raw[0], 0);
    EXPECT_EQ (raw[1], 255);
    EXPECT_EQ (raw[2], 0);
    EXPECT_EQ (raw[3], 0);
}
