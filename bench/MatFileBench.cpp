// Writing a 64 x 48000 double matrix (a second of 64 channels) as a MAT-file, against
// the baseline of writing the same number of bytes with one fwrite. Both create,
// write and close a file in the same folder; bytes per second of the two give the ratio.

#include "files/File.h"
#include "math/MatFile.h"
#include "math/Matrix.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace
{
constexpr std::uint64_t numRows = 64;
constexpr std::uint64_t numColumns = 48000;

/** 128 header bytes, the element's tag, flags, dimensions, a 8-byte name and the data tag. */
constexpr size_t matFileBytes = 128 + 8 + 16 + 16 + 16 + 8 + numRows * numColumns * 8;

std::string benchmarkPath (const char* name)
{
    return (std::filesystem::temp_directory_path() / name).string();
}

void MatFileWrite (benchmark::State& state)
{
    kul::Matrix<double> matrix (numRows, numColumns, 0.0);
    for (std::uint64_t i = 0; i < matrix.GetSize(); ++i)
        matrix.GetData()[i] = static_cast<double> (i % 977) * 0.001;

    const kul::File file (benchmarkPath ("kul-bench-matrix.mat"));

    for (auto _ : state)
    {
        std::remove (file.GetFullPathName().c_str());
        if (! kul::WriteMatrixToMatFile (file, matrix, "matrix", false))
            state.SkipWithError ("the MAT-file could not be written");
    }

    std::remove (file.GetFullPathName().c_str());
    state.SetBytesProcessed (static_cast<std::int64_t> (state.iterations() * matFileBytes));
}

void MatFileFwriteBaseline (benchmark::State& state)
{
    const std::vector<char> bytes (matFileBytes, 1);
    const auto path = benchmarkPath ("kul-bench-fwrite.mat");

    for (auto _ : state)
    {
        std::remove (path.c_str());
        FILE* file = std::fopen (path.c_str(), "wb");
        if (file == nullptr || std::fwrite (bytes.data(), 1, bytes.size(), file) != bytes.size())
            state.SkipWithError ("the baseline file could not be written");
        if (file != nullptr)
            std::fclose (file);
    }

    std::remove (path.c_str());
    state.SetBytesProcessed (static_cast<std::int64_t> (state.iterations() * matFileBytes));
}
} // namespace

BENCHMARK (MatFileWrite)->Unit (benchmark::kMillisecond);
BENCHMARK (MatFileFwriteBaseline)->Unit (benchmark::kMillisecond);
