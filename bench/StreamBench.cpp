// kul::FileReader::Read of a 64 MiB file in requests of 5760 bytes (a block of 1440
// stereo float frames, as the audio-file readers ask for) against fread of the same
// file with the same request size. Both read the whole file per iteration from the
// page cache; the pair is read as a ratio (FileReader time / fread time).

#include "files/FileReader.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

namespace
{
constexpr std::int64_t fileSize = std::int64_t (64) << 20;
constexpr std::int64_t requestSize = 5760;

/** The file, written once for the whole run and removed at its end. */
class TestFile
{
public:
    TestFile()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "kul-stream-bench-XXXXXX").string();
        const int descriptor = ::mkstemp (pattern.data());

        if (descriptor < 0)
            std::abort();

        ::close (descriptor);
        path = pattern;

        std::vector<char> block (1 << 20);
        for (size_t i = 0; i < block.size(); ++i)
            block[i] = static_cast<char> (i * 31 + 7);

        std::ofstream out (path, std::ios::binary);
        for (std::int64_t written = 0; written < fileSize; written += static_cast<std::int64_t> (block.size()))
            out.write (block.data(), static_cast<std::streamsize> (block.size()));
    }

    ~TestFile() { std::filesystem::remove (path); }

    std::string path;
};

const std::string& testFilePath()
{
    static const TestFile file;
    return file.path;
}

void finish (benchmark::State& state, std::int64_t total)
{
    if (total != fileSize)
        state.SkipWithError ("the file was not read whole");

    state.SetBytesProcessed (state.iterations() * fileSize);
}

void StreamFread (benchmark::State& state)
{
    std::vector<char> buffer (requestSize);
    std::int64_t total = 0;

    for (auto _ : state)
    {
        const std::unique_ptr<std::FILE, decltype (&std::fclose)> file (std::fopen (testFilePath().c_str(), "rb"), &std::fclose);
        total = 0;

        while (const size_t n = std::fread (buffer.data(), 1, buffer.size(), file.get()))
            total += static_cast<std::int64_t> (n);

        benchmark::DoNotOptimize (buffer.data());
    }

    finish (state, total);
}

void StreamFileReaderRead (benchmark::State& state)
{
    std::vector<char> buffer (requestSize);
    std::int64_t total = 0;

    for (auto _ : state)
    {
        kul::FileReader reader { kul::File (testFilePath()) };
        total = 0;

        while (const std::int64_t n = reader.Read (buffer.data(), requestSize))
            total += n;

        benchmark::DoNotOptimize (buffer.data());
    }

    finish (state, total);
}
} // namespace

BENCHMARK (StreamFread)->Name ("Stream/fread")->Unit (benchmark::kMillisecond);
BENCHMARK (StreamFileReaderRead)->Name ("Stream/FileReaderRead")->Unit (benchmark::kMillisecond);
