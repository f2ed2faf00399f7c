#pragma once

#include <cstddef>

namespace kul
{

/** ApplyGainRamp (same gains, same rounding: a constant gain when both ends are
    equal, start + i x step otherwise, a single sample at endGain) that measures
    the block's largest magnitude in the same pass: of the source when
    measureSource is set, else of what was written. NaN samples are passed over
    (a block of NaNs measures 0). Works in place. */
float ApplyGainRampMeasuringPeak (float* dest, const float* source, size_t n, float startGain, float endGain,
                                  bool measureSource) noexcept;
double ApplyGainRampMeasuringPeak (double* dest, const double* source, size_t n, double startGain, double endGain,
                                   bool measureSource) noexcept;

/** ApplyGainRampMeasuringPeak over channels 0 .. numChannels - 1 of one block, one
    ramp for all, in channel order (so channels may work in place): channel i's
    peak goes to peaks[i]. A channel whose passes[i] is 0 is filled with zeros
    instead, its peak that of its source when measureSource is set, else 0. One
    call per block, so that the dispatch is paid once, not once per channel. */
void ApplyGainRampMeasuringPeaks (float* const* dest, const float* const* source, const unsigned char* passes,
                                  size_t numChannels, size_t n, float startGain, float endGain, bool measureSource,
                                  double* peaks) noexcept;
void ApplyGainRampMeasuringPeaks (double* const* dest, const double* const* source, const unsigned char* passes,
                                  size_t numChannels, size_t n, double startGain, double endGain, bool measureSource,
                                  double* peaks) noexcept;

/** The block's largest magnitude, by the same rule. */
float GetPeakMagnitude (const float* source, size_t n) noexcept;
double GetPeakMagnitude (const double* source, size_t n) noexcept;

/** Whether the block is silent by the same rule: no magnitude above 0, so a block
    of zeros and NaNs is silent. */
bool IsSilent (const float* source, size_t n) noexcept;
bool IsSilent (const double* source, size_t n) noexcept;

} // namespace kul
