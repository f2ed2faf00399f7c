#include "files/ScopedAutoreleasePool.h"

#include "cocoa/Foundation.h"

ScopedAutoreleasePool::ScopedAutoreleasePool() noexcept
    : pool (NSAutoreleasePoolCreate())
{
}

ScopedAutoreleasePool::~ScopedAutoreleasePool()
{
    NSAutoreleasePoolRelease (pool);
}
