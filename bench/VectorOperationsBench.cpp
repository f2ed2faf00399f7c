// The vector primitives against memcpy of the same buffers and against JUCE's
// equivalents, float blocks of 64, 512 and 4096 samples. Each pair of entries
// with the same size is read as a ratio (kul time / baseline time).

#include "math/VectorOperations.h"

#include <juce_audio_basics/juce_audio_basics.h>
#include <juce_core/juce_core.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace
{
struct Buffers
{
    explicit Buffers (size_t n)
        : source (n), dest (n), signs (n)
    {
        for (size_t i = 0; i < n; ++i)
        {
            source[i] = 0.8f * std::sin (0.05f * (float) i);
            signs[i] = i % 3 == 0 ? -1.0f : 1.0f;
        }
        dest = source;
    }

    std::vector<float> source, dest, signs;
};

size_t sizeOf (const benchmark::State& state)
{
    return static_cast<size_t> (state.range (0));
}

void finish (benchmark::State& state)
{
    state.SetItemsProcessed (state.iterations() * state.range (0));
}

void Memcpy (benchmark::State& state)
{
    Buffers b (sizeOf (state));
    for (auto _ : state)
    {
        std::memcpy (b.dest.data(), b.source.data(), b.source.size() * sizeof (float));
        benchmark::ClobberMemory();
    }
    finish (state);
}

void KulScale (benchmark::State& state)
{
    Buffers b (sizeOf (state));
    for (auto _ : state)
    {
        kul::ScaleVector (b.dest.data(), b.source.data(), b.source.size(), 0.7f);
        benchmark::ClobberMemory();
    }
    finish (state);
}

void JuceScale (benchmark::State& state)
{
    Buffers b (sizeOf (state));
    for (auto _ : state)
    {
        juce::FloatVectorOperations::multiply (b.dest.data(), b.source.data(), 0.7f, (int) b.source.size());
        benchmark::ClobberMemory();
    }
    finish (state);
}

void KulNegate (benchmark::State& state)
{
    Buffers b (sizeOf (state));
    for (auto _ : state)
    {
        kul::ScaleVector (b.dest.data(), b.source.data(), b.source.size(), -1.0f);
        benchmark::ClobberMemory();
    }
    finish (state);
}

void JuceNegate (benchmark::State& state)
{
    Buffers b (sizeOf (state));
    for (auto _ : state)
    {
        juce::FloatVectorOperations::negate (b.dest.data(), b.source.data(), (int) b.source.size());
        benchmark::ClobberMemory();
    }
    finish (state);
}

void KulFill (benchmark::State& state)
{
    Buffers b (sizeOf (state));
    for (auto _ : state)
    {
        kul::FillVector (b.dest.data(), b.dest.size(), 0.25f);
        benchmark::ClobberMemory();
    }
    finish (state);
}

void JuceFill (benchmark::State& state)
{
    Buffers b (sizeOf (state));
    for (auto _ : state)
    {
        juce::FloatVectorOperations::fill (b.dest.data(), 0.25f, (int) b.dest.size());
        benchmark::ClobberMemory();
    }
    finish (state);
}

void KulMaxMagnitude (benchmark::State& state)
{
    Buffers b (sizeOf (state));
    for (auto _ : state)
        benchmark::DoNotOptimize (kul::GetMaxMagnitude (b.source.data(), b.source.size()));
    finish (state);
}

// What the meters need from JUCE: the range, then the larger of its two ends.
void JuceFindMinAndMax (benchmark::State& state)
{
    Buffers b (sizeOf (state));
    for (auto _ : state)
    {
        const auto range = juce::FloatVectorOperations::findMinAndMax (b.source.data(), (int) b.source.size());
        benchmark::DoNotOptimize (std::max (-range.getStart(), range.getEnd()));
    }
    finish (state);
}

void KulGainRamp (benchmark::State& state)
{
    Buffers b (sizeOf (state));
    for (auto _ : state)
    {
        kul::ApplyGainRamp (b.dest.data(), b.source.data(), b.source.size(), 0.2f, 0.9f);
        benchmark::ClobberMemory();
    }
    finish (state);
}

// In place by factors of +1 and -1, so the values neither grow nor decay.
void KulMultiply (benchmark::State& state)
{
    Buffers b (sizeOf (state));
    for (auto _ : state)
    {
        kul::MultiplyVectors (b.dest.data(), b.signs.data(), b.dest.size());
        benchmark::ClobberMemory();
    }
    finish (state);
}

void JuceMultiply (benchmark::State& state)
{
    Buffers b (sizeOf (state));
    for (auto _ : state)
    {
        juce::FloatVectorOperations::multiply (b.dest.data(), b.signs.data(), (int) b.dest.size());
        benchmark::ClobberMemory();
    }
    finish (state);
}
} // namespace

#define ZELM_VECTOR_BENCHMARK(name) BENCHMARK (name)->Name ("VectorOperations/" #name)->Arg (64)->Arg (512)->Arg (4096)

ZELM_VECTOR_BENCHMARK (Memcpy);
ZELM_VECTOR_BENCHMARK (KulScale);
ZELM_VECTOR_BENCHMARK (JuceScale);
ZELM_VECTOR_BENCHMARK (KulNegate);
ZELM_VECTOR_BENCHMARK (JuceNegate);
ZELM_VECTOR_BENCHMARK (KulFill);
ZELM_VECTOR_BENCHMARK (JuceFill);
ZELM_VECTOR_BENCHMARK (KulMaxMagnitude);
ZELM_VECTOR_BENCHMARK (JuceFindMinAndMax);
ZELM_VECTOR_BENCHMARK (KulGainRamp);
ZELM_VECTOR_BENCHMARK (KulMultiply);
ZELM_VECTOR_BENCHMARK (JuceMultiply);
