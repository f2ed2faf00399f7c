#pragma once

#include <cstdint>

/** Microseconds since the system started, from a clock that never steps back. */
std::uint64_t Microseconds();
