#include "text/StringHelper.h"

#include "common/MillisecondCounter.h"

#include <atomic>
#include <cstdint>
#include <sys/time.h>

namespace StringHelper
{

std::string GetCurrentDateAndTime (bool includeDate, bool includeTime, bool useLetters,
                                   bool includeDayName, bool useUnderscores)
{
    // The counter, cut to 32 bits, wraps every 49.7 days; it is tied to the wall clock
    // on the first call and again whenever it steps back by more than 10 ms.
    static std::atomic<std::uint32_t> lastReading { 0xffffffffu };
    static std::atomic<std::int64_t> correction { 0 };
    static std::atomic<bool> calibrated { false };

    const auto reading = static_cast<std::uint32_t> (GetMillisecondCounter());
    const std::uint32_t previous = lastReading.exchange (reading, std::memory_order_relaxed);

    if (! calibrated.load (std::memory_order_relaxed) || (reading < previous && previous - reading > 10))
    {
        timeval now {};
        gettimeofday (&now, nullptr);
        correction.store (static_cast<std::int64_t> (now.tv_sec) * 1000 + now.tv_usec / 1000 - reading,
                          std::memory_order_relaxed);
        calibrated.store (true, std::memory_order_relaxed);
    }

    const std::int64_t millis = static_cast<std::int64_t> (reading) + correction.load (std::memory_order_relaxed);
    return dateTimeToString (static_cast<long> (millis), includeDate, includeTime, useLetters,
                             includeDayName, useUnderscores);
}

} // namespace StringHelper
