#include "common/MillisecondCounter.h"
#include "corefoundation/Microseconds.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

TEST (MillisecondCounter, ReturnsEveryReadingButKeepsTheHeldValueOverSmallStepsBack)
{
    struct Case
    {
        std::uint64_t held, reading, heldAfter;
    };

    const Case cases[] = {
        { 10000, 10001, 10001 },   // forward
        { 10000, 10000, 10000 },
        { 10000, 9500, 10000 },    // 500 ms back: kept
        { 10000, 9000, 10000 },    // 1000 ms back: still kept
        { 10000, 8999, 8999 },     // 1001 ms back: replaced
        { 10000, 8500, 8500 },     // 1500 ms back: replaced
        { 500, 0, 500 },
        { 1500, 0, 0 },
    };

    for (const auto& c : cases)
    {
        std::atomic<std::uint64_t> held { c.held };
        EXPECT_EQ (kul::detail::AdvanceMillisecondCounter (c.reading, held), c.reading) << c.held << " " << c.reading;
        EXPECT_EQ (held.load(), c.heldAfter) << c.held << " " << c.reading;
    }
}

TEST (MillisecondCounter, IsTheMicrosecondClockInMilliseconds)
{
    const auto before = Microseconds() / 1000;
    const auto counter = GetMillisecondCounter();
    const auto after = Microseconds() / 1000;
    EXPECT_LE (before, counter);
    EXPECT_LE (counter, after);
}

TEST (MillisecondCounterConcurrency, ConcurrentCallersReadAndReplaceTheHeldValueSafely)
{
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back ([]
        {
            std::uint64_t previous = 0;
            for (int i = 0; i < 2000; ++i)
            {
                const auto now = GetMillisecondCounter();
                EXPECT_GE (now, previous);
                previous = now;
            }
        });

    for (auto& thread : threads)
        thread.join();
}
