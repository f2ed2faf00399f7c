#include "memory/MemoryBlock.h"

#include "common/CallStack.h"
#include "common/Exception.h"
#include "memory/Memory.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace kul
{

MemoryBlock::MemoryBlock (const MemoryBlock& other)
{
    *this = other;
}

MemoryBlock::MemoryBlock (MemoryBlock&& other) noexcept
    : data (std::exchange (other.data, nullptr)),
      size (std::exchange (other.size, 0))
{
}

MemoryBlock::~MemoryBlock()
{
    Release();
}

MemoryBlock& MemoryBlock::operator= (const MemoryBlock& other)
{
    if (this != &other)
    {
        SetSize (other.size, false);

        if (size > 0)
            std::memcpy (data, other.data, size);
    }

    return *this;
}

MemoryBlock& MemoryBlock::operator= (MemoryBlock&& other) noexcept
{
    if (this != &other)
    {
        Release();
        data = std::exchange (other.data, nullptr);
        size = std::exchange (other.size, 0);
    }

    return *this;
}

void MemoryBlock::Release() noexcept
{
    Free (data);
    data = nullptr;
    size = 0;
}

namespace
{
// Put together where no exception may leave: should memory run out while the text is
// built, the process ends, as when building any library exception fails, rather than
// a std::bad_alloc leaving the library.
Exception outOfMemory (const std::string& callerName) noexcept
{
    return Exception ("out of memory occured in " + callerName, "", 0, false, false);
}
} // namespace

// The caller's name is taken here, inside the allocating member, so that it
// names the function that asked for the memory. The new data is made before
// the old is let go, so that a failure leaves the block untouched.
void MemoryBlock::Allocate (size_t count, bool zero)
{
    void* newData = zero ? std::calloc (count, 1) : Malloc (count);

    if (newData == nullptr && count > 0)
        throw outOfMemory (GetCallerName());

    Free (data);
    data = newData;
    size = std::min (size, count);
}

void MemoryBlock::Reallocate (size_t count, size_t elementSize)
{
    if (elementSize != 0 && count > static_cast<size_t> (-1) / elementSize)
        throw outOfMemory (GetCallerName());

    const size_t numBytes = count * elementSize;

    // realloc to 0 bytes may or may not free; say plainly what is meant.
    if (numBytes == 0)
    {
        Release();
        return;
    }

    void* newData = data == nullptr ? Malloc (numBytes) : Realloc (data, numBytes);

    if (newData == nullptr)
        throw outOfMemory (GetCallerName());

    data = newData;
    size = std::min (size, numBytes);
}

void MemoryBlock::SetSize (size_t n, bool zero)
{
    if (n == size)
        return;

    if (n == 0)
    {
        Release();
        return;
    }

    if (data == nullptr)
    {
        Allocate (n, zero);
    }
    else
    {
        const size_t oldSize = size;
        Reallocate (n, 1);

        if (zero && n > oldSize)
            std::memset (static_cast<char*> (data) + oldSize, 0, n - oldSize);
    }

    size = n;
}

void MemoryBlock::EnsureSize (size_t n, bool zero)
{
    if (size < n)
        SetSize (n, zero);
}

std::string MemoryBlock::ToString() const
{
    return size > 0 ? std::string (static_cast<const char*> (data), size) : std::string();
}

} // namespace kul
