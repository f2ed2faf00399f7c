#include "FailingAllocations.h"

#include <cstdint>
#include <cstdlib>
#include <new>

namespace
{
struct Failures
{
    bool armed = false;
    size_t largerThan = SIZE_MAX;
    long long countdown = -1;
    bool failed = false;
};

// Per thread, so that threads a test does not control allocate as usual.
thread_local Failures failures;

void* allocate (std::size_t size)
{
    auto& f = failures;
    if (f.armed && ((f.countdown >= 0 && f.countdown-- == 0) || size > f.largerThan))
        f.failed = true;
    else if (void* memory = std::malloc (size == 0 ? 1 : size))
        return memory;
    throw std::bad_alloc();
}

void* allocateOrNull (std::size_t size) noexcept
{
    try
    {
        return allocate (size);
    }
    catch (...)
    {
        return nullptr;
    }
}
} // namespace

FailingAllocations::FailingAllocations (size_t largerThan, long long countdown) noexcept { failures = Failures { true, largerThan, countdown, false }; }
FailingAllocations FailingAllocations::LargerThan (size_t bytes) noexcept { return FailingAllocations (bytes, -1); }
FailingAllocations FailingAllocations::Numbered (size_t number) noexcept { return FailingAllocations (SIZE_MAX, static_cast<long long> (number)); }
FailingAllocations::~FailingAllocations() { failures = Failures {}; }
bool FailingAllocations::HaveFailed() const noexcept { return failures.failed; }

// The replaceable forms that the aligned ones do not cover; all of them, so that
// every pointer that reaches these deletes came from these news.
void* operator new (std::size_t size) { return allocate (size); }
void* operator new[] (std::size_t size) { return allocate (size); }
void* operator new (std::size_t size, const std::nothrow_t&) noexcept { return allocateOrNull (size); }
void* operator new[] (std::size_t size, const std::nothrow_t&) noexcept { return allocateOrNull (size); }
void operator delete (void* memory) noexcept { std::free (memory); }
void operator delete[] (void* memory) noexcept { std::free (memory); }
void operator delete (void* memory, std::size_t) noexcept { std::free (memory); }
void operator delete[] (void* memory, std::size_t) noexcept { std::free (memory); }
void operator delete (void* memory, const std::nothrow_t&) noexcept { std::free (memory); }
void operator delete[] (void* memory, const std::nothrow_t&) noexcept { std::free (memory); }
