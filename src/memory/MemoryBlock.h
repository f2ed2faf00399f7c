#pragma once

#include <cstddef>
#include <string>

namespace kul
{

/** A resizable block of raw bytes, owned by the block and copied with it.

    An allocation that cannot be made throws a kul::Exception ("out of memory
    occured in " and the name of the function that asked for it) and leaves
    the block as it was. The block's size never exceeds what is allocated.
*/
class MemoryBlock
{
public:
    MemoryBlock() noexcept = default;
    MemoryBlock (const MemoryBlock& other);
    MemoryBlock (MemoryBlock&& other) noexcept;
    ~MemoryBlock();

    MemoryBlock& operator= (const MemoryBlock& other);
    MemoryBlock& operator= (MemoryBlock&& other) noexcept;

    /** Replaces the data by count fresh bytes, zero-filled when asked (the old
        content is not kept). The size stays, unless count is smaller. */
    [[gnu::noinline]] void Allocate (size_t count, bool zero);

    /** Resizes the data to count x elementSize bytes, keeping the content that
        fits. The size stays, unless the new data is smaller. */
    [[gnu::noinline]] void Reallocate (size_t count, size_t elementSize);

    /** Makes the size n; 0 frees the data. When zero is set, bytes added by
        growing are zero-filled. Setting the current size does nothing. */
    void SetSize (size_t n, bool zero);

    /** SetSize (n, zero) only when the block is smaller than n; never shrinks. */
    void EnsureSize (size_t n, bool zero);

    /** The size bytes as a text, zero bytes included. */
    std::string ToString() const;

    void* GetData() noexcept { return data; }
    const void* GetData() const noexcept { return data; }
    size_t GetSize() const noexcept { return size; }

private:
    void* data = nullptr;
    size_t size = 0;

    void Release() noexcept;
};

} // namespace kul
