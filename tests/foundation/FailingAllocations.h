#pragma once

#include <cstddef>

/** Makes operator new fail with std::bad_alloc on the calling thread for as long as
    it lives: every allocation larger than a size, or the one allocation with a
    given number, counted from construction (0 is the next). Test programs that
    use it link FailingAllocations.cpp, which replaces the global operator new. */
class FailingAllocations
{
public:
    static FailingAllocations LargerThan (size_t bytes) noexcept;
    static FailingAllocations Numbered (size_t number) noexcept;
    ~FailingAllocations();

    FailingAllocations (const FailingAllocations&) = delete;
    FailingAllocations& operator= (const FailingAllocations&) = delete;

    /** Whether an allocation was made to fail. */
    bool HaveFailed() const noexcept;

private:
    FailingAllocations (size_t largerThan, long long countdown) noexcept;
};
