// maxhost-run [--sr RATE] [--block N] [--realtime] [SCRIPT]: loads plug-ins
// into the stand-in host and runs a script of commands against them.
#include "Script.h"

#include <cmath>
#include <cstring>
#include <fstream>
#include <iostream>

namespace
{
const char* const usage = "usage: maxhost-run [--sr RATE] [--block N] [--realtime] [SCRIPT]\n";

// Rates from 1 Hz, below which no whole sample falls in a second, to 768 kHz, the highest
// that audio interfaces offer. Above it nothing real is left to test, and time stops
// passing: at 1e12 Hz a millisecond holds 15 million blocks, more than the host runs in one
// go, and at an infinite rate a block lasts no time at all, so that "run 1ms" spun for minutes.
constexpr double lowestRate = 1.0;
constexpr double highestRate = 768000.0;

// Blocks up to 8192 samples, more than hosts offer; the host allocates every signal buffer
// at that size, and a block must fit its int.
constexpr long largestBlock = 8192;

bool parseRate (const char* text, double& rate)
{
    return parseNumber (text, rate) && rate >= lowestRate && rate <= highestRate;
}

bool parseBlockSize (const char* text, long& size)
{
    double value = 0;
    if (! parseNumber (text, value) || value < 1 || value > static_cast<double> (largestBlock) || value != std::floor (value))
        return false;
    size = static_cast<long> (value);
    return true;
}

void printHelp()
{
    std::printf ("%s", usage);
    std::printf ("Runs SCRIPT (or the standard input) against plug-ins loaded into the stand-in host.\n"
                 "  --sr RATE    sample rate in Hz, %g to %g (44100)\n"
                 "  --block N    block size in samples, 1 to %ld (64)\n"
                 "  --realtime   time passes as on a clock, not as fast as the work allows\n"
                 "  --help       this text\n\n"
                 "The meter's messages and attributes: README.md, \"The meter object: messages and attributes\".\n\n",
                 lowestRate, highestRate, largestBlock);
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
        {
            if (! parseRate (argv[++i], options.sampleRate))
            {
                std::fprintf (stderr, "%smaxhost-run: the sample rate must be from %g to %g Hz, not %s\n", usage, lowestRate, highestRate, argv[i]);
                return 1;
            }
        }
        else if (std::strcmp (argv[i], "--block") == 0 && i + 1 < argc)
        {
            if (! parseBlockSize (argv[++i], options.blockSize))
            {
                std::fprintf (stderr, "%smaxhost-run: the block size must be a whole number from 1 to %ld, not %s\n", usage, largestBlock, argv[i]);
                return 1;
            }
        }
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
