#pragma once

#include <cstddef>

namespace kul
{
/** The system allocator, results passed through unchanged (null on failure). */
void* Malloc (size_t size) noexcept;
void* Realloc (void* pointer, size_t size) noexcept;
/** Does nothing for a null pointer. */
void Free (void* pointer) noexcept;
} // namespace kul
