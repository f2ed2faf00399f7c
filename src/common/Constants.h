#pragma once

#include <cstddef>

namespace kul
{
/** Samples per block where nothing else is known (e.g. the audio-file manager's work buffer). */
inline constexpr size_t defaultBlockSize = 512;

/** Sample rate in Hz where nothing else is known (e.g. a new ramp). */
inline constexpr float defaultSampleRate = 44100.0f;
} // namespace kul
