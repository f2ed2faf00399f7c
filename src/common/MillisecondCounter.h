#pragma once

#include <atomic>
#include <cstdint>

/** Milliseconds since the system started (the microsecond clock / 1000). */
std::uint64_t GetMillisecondCounter();

namespace kul::detail
{
/** One step of the counter: returns the reading and records it as the held value,
    unless it lies at most 1000 ms below the held value (a small step back, which
    keeps the held value). Callers may race; each replacement is atomic. */
std::uint64_t AdvanceMillisecondCounter (std::uint64_t reading, std::atomic<std::uint64_t>& held) noexcept;
} // namespace kul::detail
