// maxhost-run [--sr RATE] [--block N] [--realtime] [SCRIPT]: loads plug-ins
// into the stand-in host and runs a script of commands against them.
#include "Script.h"

#include <cstring>
#include <fstream>
#include <iostream>

namespace
{
const char* const usage = "usage: maxhost-run [--sr RATE] [--block N] [--realtime] [SCRIPT]\n";

void printHelp()
{
    std::printf ("%s", usage);
    std::printf ("Runs SCRIPT (or the standard input) against plug-ins loaded into the stand-in host.\n"
                 "  --sr RATE    sample rate in Hz (44100)\n"
                 "  --block N    block size in samples (64)\n"
                 "  --realtime   time passes as on a clock, not as fast as the work allows\n"
                 "  --help       this text\n\n"
                 "The meter's messages and attributes: README.md, \"The meter object: messages and attributes\".\n\n");
    std::printf ("%s", ScriptRunner::commandHelp().c_str());
}
} // namespace

int main (int argc, char** argv)
{
    maxhost::Options options;
    const char* scriptPath = nullptr;
    for (int i = 1; i < argc; ++i)
    {
        if (std::strcmp (argv[i], "--sr") == 0 && i + 1 < argc)
            options.sampleRate = std::atof (argv[++i]);
        else if (std::strcmp (argv[i], "--block") == 0 && i + 1 < argc)
            options.blockSize = std::atol (argv[++i]);
        else if (std::strcmp (argv[i], "--realtime") == 0)
            options.realtime = true;
        else if (std::strcmp (argv[i], "--help") == 0 || std::strcmp (argv[i], "-h") == 0)
        {
            printHelp();
            return 0;
        }
        else if (argv[i][0] != '-' && scriptPath == nullptr)
            scriptPath = argv[i];
        else
        {
            std::fprintf (stderr, "%smaxhost-run --help lists the script's commands\n", usage);
            return 1;
        }
    }
    if (! (options.sampleRate > 0.0) || options.blockSize < 1)
    {
        std::fprintf (stderr, "maxhost-run: the sample rate and the block size must be positive\n");
        return 1;
    }

    std::ifstream file;
    if (scriptPath != nullptr)
    {
        file.open (scriptPath);
        if (! file)
        {
            std::fprintf (stderr, "maxhost-run: cannot read %s\n", scriptPath);
            return 1;
        }
    }

    maxhost::initialise (options);
    int status = 0;
    {
        ScriptRunner runner (stdout, stderr, options.realtime);
        status = runner.run (scriptPath != nullptr ? static_cast<std::istream&> (file) : std::cin);
        maxhost::stopDsp();
        maxhost::shutdown();
    }
    return status;
}
