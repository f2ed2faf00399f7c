// The real plug-in, loaded by the driver as the host loads plug-ins.
#include "MeterTestSupport.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sys/wait.h>

namespace
{
struct RunResult
{
    int status = -1;
    std::vector<std::string> lines;
};

RunResult runScript (const std::string& script)
{
    const std::string path = testsupport::outputPath ("plugin-run.maxhost");
    std::ofstream (path) << script;

    RunResult result;
    const std::string command = std::string (MAXHOST_RUN_PATH) + " --sr 48000 " + path + " 2>/dev/null";
    if (auto* pipe = popen (command.c_str(), "r"))
    {
        char line[4096];
        while (std::fgets (line, sizeof (line), pipe) != nullptr)
        {
            result.lines.emplace_back (line);
            if (result.lines.back().ends_with ('\n'))
                result.lines.back().pop_back();
        }
        const int status = pclose (pipe);
        result.status = WIFEXITED (status) ? WEXITSTATUS (status) : -1;
    }
    return result;
}
} // namespace

TEST (PluginRunTest, TheDriverLoadsThePluginWhichPassesMetersAndAnswers)
{
    const auto result = runScript (std::string ("load ") + METER_PLUGIN_PATH + "\n"
                                   "new m zelm.meter~ @numchannels 2\n"
                                   "send m version\n"
                                   "send m dumplevels\n"
                                   "signal m 1 dc 0.5\n"
                                   "signal m 2 dc 0.5\n"
                                   "dsp on\n"
                                   "send m channel 2 mute 1\n"
                                   "send m gain -6\n"
                                   "run 200ms\n"
                                   "measure m\n"
                                   "send m nonsense\n"
                                   "free m\n");

    EXPECT_EQ (result.status, 0);
    for (const char* line : { "m post: Version 4.9.2 (Build Aug 29 2016) (32 bits float)", "m out 3: levels -60. -60.", "m out 3: gain -6.",
                              "m measure 2: peak -inf rms -inf" })
        EXPECT_NE (std::find (result.lines.begin(), result.lines.end(), line), result.lines.end()) << line;

    const auto measured = std::find_if (result.lines.begin(), result.lines.end(), [] (const auto& l) { return l.rfind ("m measure 1:", 0) == 0; });
    ASSERT_NE (measured, result.lines.end());
    // 0.5 at first, then -6 dB on a 20 ms ramp: between the two levels, near the lower.
    EXPECT_EQ (measured->rfind ("m measure 1: peak -6.02 rms ", 0), 0u) << *measured;
    const double rms = std::stod (measured->substr (measured->rfind (' ') + 1));
    EXPECT_GT (rms, -12.05);
    EXPECT_LT (rms, -11.0);
}
