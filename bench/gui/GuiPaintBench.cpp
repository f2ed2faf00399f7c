// The largest meter window (250 strips of 80 LEDs, 10040 pixels wide) painted by the
// software renderer, next to drawing the same LEDs line by line; and the cost of a
// display refresh in which no level changed, with the repaints it asks for counted.
#include "gui/MultiMeterComponent.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace
{
constexpr unsigned numChannels = 250;
constexpr unsigned numLeds = 80;
constexpr unsigned stripWidth = 40;

struct RepaintCounter : public juce::CachedComponentImage
{
    void paint (juce::Graphics&) override {}
    bool invalidateAll() override { ++count; return true; }
    bool invalidate (const juce::Rectangle<int>&) override { ++count; return true; }
    void releaseResources() override {}
    long count = 0;
};

std::unique_ptr<oskelgui::MultiMeterComponent> makeLargestMeter()
{
    auto meter = std::make_unique<oskelgui::MultiMeterComponent> (numChannels, numLeds, stripWidth);
    meter->setVisible (true);

    std::vector<float> levels (numChannels);
    for (size_t i = 0; i < levels.size(); ++i)
        levels[i] = -60.0f + 66.0f * (float) (i % 23) / 22.0f;

    meter->setLevels (levels.data());
    return meter;
}

void BM_FullPaint (benchmark::State& state)
{
    auto meter = makeLargestMeter();
    juce::Image image (juce::Image::RGB, meter->getWidth(), meter->getHeight(), true, juce::SoftwareImageType());

    for (auto _ : state)
    {
        juce::Graphics g (image);
        meter->paintEntireComponent (g, false);
        benchmark::ClobberMemory();
    }
}
BENCHMARK (BM_FullPaint)->Unit (benchmark::kMillisecond);

// Baseline for the full paint: the same window with every LED drawn as its own
// 1.5-pixel line (the meters themselves hidden), peak LED included.
void BM_FullPaint_DrawLineBaseline (benchmark::State& state)
{
    auto meter = makeLargestMeter();
    juce::Image image (juce::Image::RGB, meter->getWidth(), meter->getHeight(), true, juce::SoftwareImageType());

    for (unsigned c = 0; c < numChannels; ++c)
        meter->getChannel (c).getMeter().setVisible (false);

    using Zone = oskelgui::MeterComponent::Zone;

    for (auto _ : state)
    {
        juce::Graphics g (image);
        meter->paintEntireComponent (g, false);

        for (unsigned c = 0; c < numChannels; ++c)
        {
            auto& strip = meter->getChannel (c);
            auto& leds = strip.getMeter();
            juce::Graphics::ScopedSaveState save (g);
            g.setOrigin (strip.getPosition() + leds.getPosition());

            for (std::uint32_t i = 0; i < leds.getNumLeds(); ++i)
            {
                const auto zone = i >= leds.getNumLit() ? Zone::inactive
                                : i < leds.getColdZoneEnd() ? Zone::cold
                                : i < leds.getTepidZoneEnd() ? Zone::tepid
                                : i < leds.getWarmZoneEnd() ? Zone::warm : Zone::hot;
                g.setColour (leds.getZoneColour (zone));
                g.drawLine (leds.getLedLine (i), 1.5f);
            }

            g.setColour (leds.getPeakColour());
            g.drawLine (leds.getLedLine (leds.getPeakIndex()), 1.5f);
        }
        benchmark::ClobberMemory();
    }
}
BENCHMARK (BM_FullPaint_DrawLineBaseline)->Unit (benchmark::kMillisecond);

// The LEDs alone, through the meters' own paint.
void BM_LedsOnly_MeterPaint (benchmark::State& state)
{
    auto meter = makeLargestMeter();
    juce::Image image (juce::Image::RGB, meter->getWidth(), meter->getHeight(), true, juce::SoftwareImageType());

    for (auto _ : state)
    {
        juce::Graphics g (image);
        for (unsigned c = 0; c < numChannels; ++c)
        {
            auto& strip = meter->getChannel (c);
            auto& leds = strip.getMeter();
            juce::Graphics::ScopedSaveState save (g);
            g.setOrigin (strip.getPosition() + leds.getPosition());
            leds.paint (g);
        }
        benchmark::ClobberMemory();
    }
}
BENCHMARK (BM_LedsOnly_MeterPaint)->Unit (benchmark::kMillisecond);

// Baseline: the same LEDs, each drawn as its own 1.5-pixel line.
void BM_LedsOnly_DrawLineBaseline (benchmark::State& state)
{
    auto meter = makeLargestMeter();
    juce::Image image (juce::Image::RGB, meter->getWidth(), meter->getHeight(), true, juce::SoftwareImageType());

    for (auto _ : state)
    {
        juce::Graphics g (image);
        for (unsigned c = 0; c < numChannels; ++c)
        {
            auto& strip = meter->getChannel (c);
            auto& leds = strip.getMeter();
            juce::Graphics::ScopedSaveState save (g);
            g.setOrigin (strip.getPosition() + leds.getPosition());

            for (std::uint32_t i = 0; i < leds.getNumLeds(); ++i)
            {
                g.setColour (i < leds.getNumLit() ? leds.getZoneColour (oskelgui::MeterComponent::Zone::cold)
                                                  : leds.getZoneColour (oskelgui::MeterComponent::Zone::inactive));
                g.drawLine (leds.getLedLine (i), 1.5f);
            }
        }
        benchmark::ClobberMemory();
    }
}
BENCHMARK (BM_LedsOnly_DrawLineBaseline)->Unit (benchmark::kMillisecond);

// A display tick with unchanged levels after everything was painted: no repaint at all.
void BM_RefreshWithoutChange (benchmark::State& state)
{
    auto meter = makeLargestMeter();
    juce::Image image (juce::Image::RGB, meter->getWidth(), meter->getHeight(), true, juce::SoftwareImageType());
    {
        juce::Graphics g (image);
        meter->paintEntireComponent (g, false);
    }

    auto* counter = new RepaintCounter();
    meter->setCachedComponentImage (counter);
    counter->count = 0; // attaching repaints once

    std::vector<float> levels (numChannels);
    for (size_t i = 0; i < levels.size(); ++i)
        levels[i] = -60.0f + 66.0f * (float) (i % 23) / 22.0f;

    for (auto _ : state)
    {
        meter->setLevels (levels.data());
        meter->advance (2205);
        meter->refresh();
    }

    state.counters["repaints"] = (double) counter->count;
    meter->setCachedComponentImage (nullptr);
}
BENCHMARK (BM_RefreshWithoutChange)->Unit (benchmark::kMicrosecond);

// The same tick when every level moved: every meter asks for one repaint.
void BM_RefreshWithChange (benchmark::State& state)
{
    auto meter = makeLargestMeter();
    auto* counter = new RepaintCounter();
    meter->setCachedComponentImage (counter);
    counter->count = 0; // attaching repaints once

    std::vector<float> levels (numChannels, -10.0f);
    float offset = 0.0f;

    for (auto _ : state)
    {
        offset = offset > 0.0f ? -20.0f : 20.0f;
        for (auto& level : levels)
            level = -30.0f + offset;

        meter->setLevels (levels.data());
        meter->advance (2206);
        meter->refresh();
    }

    state.counters["repaintsPerTick"] = benchmark::Counter ((double) counter->count, benchmark::Counter::kAvgIterations);
    meter->setCachedComponentImage (nullptr);
}
BENCHMARK (BM_RefreshWithChange)->Unit (benchmark::kMicrosecond);
} // namespace

int main (int argc, char** argv)
{
    juce::ScopedJuceInitialiser_GUI juce;
    benchmark::Initialize (&argc, argv);

    if (benchmark::ReportUnrecognizedArguments (argc, argv))
        return 1;

    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
