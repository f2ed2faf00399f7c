#include "common/MillisecondCounter.h"

#include "corefoundation/Microseconds.h"

namespace kul::detail
{

std::uint64_t AdvanceMillisecondCounter (std::uint64_t reading, std::atomic<std::uint64_t>& held) noexcept
{
    const std::uint64_t last = held.load (std::memory_order_relaxed);
    const bool smallStepBack = reading < last && last - reading <= 1000;

    if (! smallStepBack)
        held.store (reading, std::memory_order_relaxed);

    return reading;
}

} // namespace kul::detail

std::uint64_t GetMillisecondCounter()
{
    static std::atomic<std::uint64_t> lastReturned { 0 };
    return kul::detail::AdvanceMillisecondCounter (Microseconds() / 1000, lastReturned);
}
