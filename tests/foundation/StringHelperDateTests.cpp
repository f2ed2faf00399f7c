#include "text/StringHelper.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <limits>
#include <optional>

namespace
{

/** Runs a test in a fixed time zone and puts the previous one back afterwards. */
class ScopedTimeZone
{
public:
    explicit ScopedTimeZone (const char* zone)
    {
        if (const char* current = std::getenv ("TZ"))
            previous = current;

        setenv ("TZ", zone, 1);
        tzset();
    }

    ~ScopedTimeZone()
    {
        if (previous)
            setenv ("TZ", previous->c_str(), 1);
        else
            unsetenv ("TZ");

        tzset();
    }

private:
    std::optional<std::string> previous;
};

struct DateCase
{
    long milliseconds;
    const char* zone;
    const char* withSlashes;   // day name, date and time
    const char* withLetters;   // the same with letters and underscores
};

// 2026-12-06 14:05:09.250 UTC, a Sunday
constexpr long december2026 = 1796565909250L;

void expectSameCalendarFields (const std::tm& actual, const std::tm& expected, long milliseconds)
{
    EXPECT_EQ (actual.tm_year, expected.tm_year) << milliseconds;
    EXPECT_EQ (actual.tm_mon, expected.tm_mon) << milliseconds;
    EXPECT_EQ (actual.tm_mday, expected.tm_mday) << milliseconds;
    EXPECT_EQ (actual.tm_hour, expected.tm_hour) << milliseconds;
    EXPECT_EQ (actual.tm_min, expected.tm_min) << milliseconds;
    EXPECT_EQ (actual.tm_sec, expected.tm_sec) << milliseconds;
    EXPECT_EQ (actual.tm_wday, expected.tm_wday) << milliseconds;
    EXPECT_EQ (actual.tm_yday, expected.tm_yday) << milliseconds;
}

} // namespace

TEST (StringHelperDates, DateTimeTextInFixedZones)
{
    const DateCase cases[] = {
        { december2026, "UTC", "Sun - 06/12/2026 - 14:05", "Sun_06_12_2026_14h05m09s" },
        { december2026, "CET-1", "Sun - 06/12/2026 - 15:05", "Sun_06_12_2026_15h05m09s" },
        { 0, "UTC", "Thu - 01/01/1970 - 00:00", "Thu_01_01_1970_00h00m00s" },
        { -1500, "UTC", "Wed - 31/12/1969 - 23:59", "Wed_31_12_1969_23h59m59s" },
        { -2203845904000L, "CET-1", "Thu - 01/03/1900 - 13:34", "Thu_01_03_1900_13h34m56s" },
        { -11676096000000L, "UTC", "Sat - 01/01/1600 - 00:00", "Sat_01_01_1600_00h00m00s" },
        { 2145916800000L, "UTC", "Fri - 01/01/2038 - 00:00", "Fri_01_01_2038_00h00m00s" },
        { 253402300799000L, "UTC", "Fri - 31/12/9999 - 23:59", "Fri_31_12_9999_23h59m59s" },
        { 253402300800000L, "CET-1", "Sat - 01/01/10000 - 01:00", "Sat_01_01_10000_01h00m00s" },
    };

    for (const auto& c : cases)
    {
        const ScopedTimeZone zone (c.zone);
        EXPECT_EQ (dateTimeToString (c.milliseconds, true, true, false, true, false), c.withSlashes)
            << c.milliseconds << " in " << c.zone;
        EXPECT_EQ (dateTimeToString (c.milliseconds, true, true, true, true, true), c.withLetters)
            << c.milliseconds << " in " << c.zone;
    }
}

TEST (StringHelperDates, DateTimeTextPieces)
{
    const ScopedTimeZone zone ("UTC");

    struct Case
    {
        bool includeDate, includeTime, useLetters, includeDayName, useUnderscores;
        const char* expected;
    };

    const Case cases[] = {
        { false, false, true, true, true, "" },
        { true, false, true, true, true, "Sun_06_12_2026" },
        { false, true, true, false, false, "14h05m09s" },
        { true, true, false, false, true, "06_12_2026_14:05" },
        { true, true, true, false, false, "06/12/2026 - 14h05m09s" },
    };

    for (const auto& c : cases)
        EXPECT_EQ (dateTimeToString (december2026, c.includeDate, c.includeTime, c.useLetters, c.includeDayName,
                                     c.useUnderscores),
                   c.expected);
}

TEST (StringHelperDates, SecondsOfNegativeTimesStayWithinAMinute)
{
    const ScopedTimeZone zone ("UTC");

    // Whole seconds are taken toward zero, for the date and the seconds alike.
    EXPECT_EQ (dateTimeToString (-500, false, true, true, false, false), "00h00m00s");
    EXPECT_EQ (dateTimeToString (-1000, false, true, true, false, false), "23h59m59s");
    EXPECT_EQ (dateTimeToString (-61000, false, true, true, false, false), "23h58m59s");
    EXPECT_EQ (dateTimeToString (-86400000L * 365 * 3000 - 1000, false, true, true, false, false), "23h59m59s");
}

TEST (StringHelperDates, ProlepticFallbackMatchesTheSystemCalendarInUtc)
{
    std::vector<long> samples = { 0, -1, -999, -1000, -1001, 86399999, 86400000, -86400000, -86400001,
                                  951782400000L, 4107542400000L, -62135596800000L, -62135596801000L };

    // Instants spread over 12 000 years, and over 12 million years, either side of 1970.
    for (long step = -2000; step <= 2000; ++step)
    {
        samples.push_back (step * 190000000123L);
        samples.push_back (step * 190000000000123L);
    }

    for (const long milliseconds : samples)
    {
        const std::time_t seconds = milliseconds / 1000;
        std::tm expected {};
        ASSERT_NE (gmtime_r (&seconds, &expected), nullptr);
        expectSameCalendarFields (StringHelper::ProlepticGregorianUtcTime (milliseconds), expected, milliseconds);
    }
}

TEST (StringHelperDates, LocalTimeCoversTheWholeRangeOfMilliseconds)
{
    const ScopedTimeZone zone ("UTC");

    for (const long milliseconds : { std::numeric_limits<long>::min(), std::numeric_limits<long>::max(),
                                     -86400000L * 365 * 5000, 86400000L * 365 * 30000 })
    {
        expectSameCalendarFields (StringHelper::MillisecondsToLocalTime (milliseconds),
                                  StringHelper::ProlepticGregorianUtcTime (milliseconds), milliseconds);
        EXPECT_FALSE (dateTimeToString (milliseconds, true, true, true, true, true).empty());
    }

    const auto earliest = StringHelper::MillisecondsToLocalTime (std::numeric_limits<long>::min());
    EXPECT_LT (earliest.tm_year, -290000000);
}

TEST (StringHelperDates, CurrentDateAndTimeFollowsTheWallClock)
{
    const ScopedTimeZone zone ("CET-1");

    const long before = static_cast<long> (std::time (nullptr)) * 1000;
    const auto first = StringHelper::GetCurrentDateAndTime (true, true, true, true, true);
    const auto second = StringHelper::GetCurrentDateAndTime (true, true, true, true, true);
    const long after = static_cast<long> (std::time (nullptr)) * 1000;

    // The counter is tied to the wall clock with millisecond rounding on both sides.
    const auto isBetween = [&] (const std::string& text)
    {
        for (long millis = before - 1000; millis <= after + 1000; millis += 1000)
            if (dateTimeToString (millis, true, true, true, true, true) == text)
                return true;

        return false;
    };

    EXPECT_TRUE (isBetween (first)) << first;
    EXPECT_TRUE (isBetween (second)) << second;
    EXPECT_EQ (StringHelper::GetCurrentDateAndTime (false, false, true, true, true), "");
}
