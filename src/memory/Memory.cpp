#include "memory/Memory.h"

#include <cstdlib>

namespace kul
{

void* Malloc (size_t size) noexcept
{
    return std::malloc (size);
}

void* Realloc (void* pointer, size_t size) noexcept
{
    return std::realloc (pointer, size);
}

void Free (void* pointer) noexcept
{
    if (pointer != nullptr)
        std::free (pointer);
}

} // namespace kul
