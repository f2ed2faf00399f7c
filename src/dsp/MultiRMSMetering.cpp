#include "dsp/MultiRMSMetering.h"

#include "dsp/GainKernels.h"
#include "dsp/MeanSquareKernels.h"
#include "dsp/SampleCount.h"
#include "math/VectorOperations.h"

#include <algorithm>
#include <bit>
#include <cmath>

namespace kul
{
namespace
{
// A sounding block nearly always sounds from its first sample on, which is looked
// at before the vector scan is called.
template <typename T>
bool isSilent (const T* block, unsigned int n) noexcept
{
    return ! (n > 0 && std::fabs (block[0]) > T (0)) && IsSilent (block, n);
}

// The recursion over the samples that are numbers. A NaN carries through the
// recursion to its end, so only a block holding one ends in NaN and is run again
// here, the channel alone, leaving its NaNs out.
template <typename T>
float meanSquareLeavingOutNaNs (float meanSquare, float feedback, float coefficient, const T* block, unsigned int n) noexcept
{
    for (unsigned int t = 0; t < n; ++t)
        if (! std::isnan (block[t]))
            meanSquare = meanSquare * feedback + SquareForMeanSquare (block[t]) * coefficient;

    return meanSquare;
}

/** Channels waiting to run their mean squares side by side. */
template <typename T>
class MeanSquareGroup
{
public:
    static constexpr int capacity = 32;

    void Add (RMSMetering& meter, const T* block, unsigned int n) noexcept
    {
        meters[count] = &meter;
        blocks[count] = block;

        if (++count == capacity)
            Run (n);
    }

    void Run (unsigned int n) noexcept
    {
        int first = 0;

        while (first < count)
        {
            const int left = count - first;

            if (left >= 8)
            {
                const int groups = left / 8;
                runSideBySide<capacity> (first, 8 * groups, n,
                                         [groups] (const T* const* x, float* ms, const float* fb, const float* c, size_t length)
                                         { RunMeanSquaresInGroupsOfEight (x, ms, fb, c, length, groups); });
                first += 8 * groups;
            }
            else
            {
                const int width = left >= 4 ? 4 : left >= 2 ? 2 : 1;
                runSideBySide<4> (first, width, n,
                                  [width] (const T* const* x, float* ms, const float* fb, const float* c, size_t length)
                                  {
                                      if (width == 4)
                                          RunMeanSquares<4> (x, ms, fb, c, length);
                                      else if (width == 2)
                                          RunMeanSquares<2> (x, ms, fb, c, length);
                                      else
                                          RunMeanSquares<1> (x, ms, fb, c, length);
                                  });
                first += width;
            }
        }

        count = 0;
    }

private:
    // Left unset: entries are written before they are read, and a group that a block
    // of peaks never uses costs nothing.
    RMSMetering* meters[capacity];
    const T* blocks[capacity];
    int count = 0;

    template <int maxWidth, typename Kernel>
    void runSideBySide (int first, int width, unsigned int n, Kernel kernel) noexcept
    {
        float meanSquares[maxWidth] {};
        float feedbacks[maxWidth] {};
        float coefficients[maxWidth] {};

        for (int k = 0; k < width; ++k)
        {
            meanSquares[k] = meters[first + k]->meanSquare;
            feedbacks[k] = meters[first + k]->feedback;
            coefficients[k] = meters[first + k]->coefficient;
        }

        kernel (blocks + first, meanSquares, feedbacks, coefficients, n);

        for (int k = 0; k < width; ++k)
        {
            auto& meter = *meters[first + k];

            if (std::isnan (meanSquares[k]))
                meanSquares[k] = meanSquareLeavingOutNaNs (meter.meanSquare, meter.feedback, meter.coefficient,
                                                           blocks[first + k], n);

            // An infinite sample would otherwise stay in the state for good.
            if (std::isfinite (meanSquares[k]))
            {
                meter.meanSquare = meanSquares[k];
                meter.value = meanSquares[k];
            }
            else
            {
                meter.meanSquare = 0.0f;
                meter.value = RMSMetering::overloadLevel;
            }
        }
    }
};

} // namespace

MultiRMSMetering::MultiRMSMetering (unsigned int numChannels)
    : AudioProcessorWithOscInAudioInterrupt (numChannels, 0)
{
    try
    {
        meters.Resize (numChannels);
        std::fill (meters.begin(), meters.end(), nullptr);

        for (auto& meter : meters)
            meter = new RMSMetering();
    }
    catch (const Exception&)
    {
        deleteMeters();
        throw;
    }
    catch (const std::bad_alloc&)
    {
        deleteMeters();
        throw Exception ("out of memory occured in MultiRMSMetering", "dsp/MultiRMSMetering", 143, true, false);
    }
}

MultiRMSMetering::~MultiRMSMetering()
{
    deleteMeters();
}

void MultiRMSMetering::deleteMeters() noexcept
{
    for (auto& meter : meters)
    {
        delete meter;
        meter = nullptr;
    }
}

void MultiRMSMetering::Process (float**, float** inputs, unsigned int numSamples)
{
    processBlock<float> (inputs, numSamples, nullptr);
}

void MultiRMSMetering::Process (const float* const* inputs, unsigned int numSamples,
                                const double* knownPeaks) noexcept
{
    processBlock (inputs, numSamples, knownPeaks);
}

void MultiRMSMetering::Process (const double* const* inputs, unsigned int numSamples,
                                const double* knownPeaks) noexcept
{
    processBlock (inputs, numSamples, knownPeaks);
}

template <typename T>
void MultiRMSMetering::processBlock (const T* const* inputs, unsigned int numSamples,
                                     const double* knownPeaks) noexcept
{
    AdoptPendingSettings();
    processChannels (inputs, 0, numInputs, numSamples, knownPeaks);
}

void MultiRMSMetering::ProcessChannels (const float* const* inputs, unsigned int firstChannel, unsigned int numChannels,
                                        unsigned int numSamples, const double* knownPeaks) noexcept
{
    processChannels (inputs, firstChannel, numChannels, numSamples, knownPeaks);
}

void MultiRMSMetering::ProcessChannels (const double* const* inputs, unsigned int firstChannel, unsigned int numChannels,
                                        unsigned int numSamples, const double* knownPeaks) noexcept
{
    processChannels (inputs, firstChannel, numChannels, numSamples, knownPeaks);
}

template <typename T>
void MultiRMSMetering::processChannels (const T* const* inputs, unsigned int firstChannel, unsigned int numChannels,
                                        unsigned int numSamples, const double* knownPeaks) noexcept
{
    MeanSquareGroup<T> group;
    const auto end = std::min ({ static_cast<size_t> (firstChannel) + numChannels, static_cast<size_t> (numInputs),
                                 meters.Size() });

    for (unsigned int i = firstChannel; i < end; ++i)
    {
        auto& meter = *meters[i];

        if (! IsInletConnected (i))
        {
            meter.ResetLevel();
            continue;
        }

        const T* block = inputs[i];
        const bool measured = knownPeaks != nullptr && ! (knownPeaks[i] < 0.0);

        if (meter.mode == RMSMetering::peak)
        {
            const double peak = measured ? knownPeaks[i] : static_cast<double> (GetMaxMagnitude (block, numSamples));
            meter.MeterPeak (peak, numSamples);
            continue;
        }

        if (measured ? ! (knownPeaks[i] > 0.0) : isSilent (block, numSamples))
            meter.SetSilent();
        else
            group.Add (meter, block, numSamples);
    }

    group.Run (numSamples);
}

RMSMetering::Mode MultiRMSMetering::GetMode() const noexcept
{
    return meters.IsEmpty() ? RMSMetering::rms : meters[0]->mode;
}

void MultiRMSMetering::SampleRateChanged (float rate)
{
    AudioProcessorWithOscInAudioInterrupt::SampleRateChanged (rate);

    if (! IsUsableSampleRate (rate))
        return;

    AdoptPendingSettings();

    for (auto* meter : meters)
        meter->SetSampleRate (rate);
}

void MultiRMSMetering::Clear()
{
    AdoptPendingSettings();

    for (auto* meter : meters)
        meter->ResetLevel();
}

void MultiRMSMetering::SetMode (const std::string& name)
{
    // Looked up without the table's index operator, which would add the name.
    const auto& table = RMSMetering::GetModeNames();
    const auto index = table.GetNames().IndexOf (name, table.IsIgnoringCase());
    const auto mode = index >= 0 ? table.GetValues()[static_cast<size_t> (index)] : RMSMetering::rms;

    if (requestedMode.exchange (mode, std::memory_order_acq_rel) != mode)
        modeChanges.fetch_add (1, std::memory_order_release);
}

void MultiRMSMetering::SetPeakWindowTime (float milliseconds) noexcept
{
    pendingWindow.store (windowPendingFlag | std::bit_cast<uint32_t> (milliseconds), std::memory_order_release);
}

void MultiRMSMetering::AdoptPendingSettings() noexcept
{
    // Plain loads first: the exchange that takes a window is needed only when one waits.
    if (modeChanges.load (std::memory_order_relaxed) == adoptedModeChanges
        && (pendingWindow.load (std::memory_order_relaxed) & windowPendingFlag) == 0)
        return;

    const auto changes = modeChanges.load (std::memory_order_acquire);

    if (changes != adoptedModeChanges)
    {
        adoptedModeChanges = changes;
        const auto mode = static_cast<RMSMetering::Mode> (requestedMode.load (std::memory_order_acquire));

        for (auto* meter : meters)
        {
            meter->mode = mode;
            meter->ResetLevel();
        }
    }

    const auto window = pendingWindow.exchange (0, std::memory_order_acquire);

    if ((window & windowPendingFlag) != 0)
        for (auto* meter : meters)
            meter->SetPeakWindowTime (std::bit_cast<float> (static_cast<uint32_t> (window)));
}

std::string MultiRMSMetering::GetMeterModeNames (const std::string& separator)
{
    return RMSMetering::GetModeNames().GetAllKeys (true).JoinIntoString (separator);
}

} // namespace kul
