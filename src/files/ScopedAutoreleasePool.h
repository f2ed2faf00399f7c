#pragma once

/** Holds a Foundation autorelease pool for the lifetime of a scope; every operation
    that calls Foundation or AppKit keeps one for its duration. */
class ScopedAutoreleasePool
{
public:
    ScopedAutoreleasePool() noexcept;
    ~ScopedAutoreleasePool();

    ScopedAutoreleasePool (const ScopedAutoreleasePool&) = delete;
    ScopedAutoreleasePool& operator= (const ScopedAutoreleasePool&) = delete;

private:
    void* pool;
};
