#include "text/StringHelper.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <limits>
#include <locale>
#include <optional>
#include <string>
#include <vector>

namespace
{
/** Decimal comma and grouping, as a continental locale would format. */
struct CommaNumpunct : std::numpunct<char>
{
    char do_decimal_point() const override { return ','; }
    char do_thousands_sep() const override { return '.'; }
    std::string do_grouping() const override { return "\3"; }
};

template <typename Value>
using Limits = std::numeric_limits<Value>;
} // namespace

TEST (StringHelperNumbers, IntegersGiveTheirFullDecimalTextUpToTheLimitsOfTheirType)
{
    using StringHelper::ToString;
    EXPECT_EQ ((std::vector<std::string> { ToString (0), ToString (-5), ToString (Limits<int>::min()), ToString (Limits<long>::min()),
                                           ToString (Limits<long>::max()), ToString (Limits<unsigned int>::max()),
                                           ToString (static_cast<unsigned short> (65535)), ToString (Limits<unsigned long>::max()), ToString (true) }),
               (std::vector<std::string> { "0", "-5", "-2147483648", "-9223372036854775808", "9223372036854775807", "4294967295", "65535",
                                           "18446744073709551615", "true" }));
}

TEST (StringHelperNumbers, DoubleToStringUsesFixedDecimalsOrSignificantDigits)
{
    const struct { double value; int numDecimals; const char* expected; } cases[] = {
        { 123.456, 2, "123.46" },    { -0.001, 2, "-0.00" }, { -0.0, 2, "0.00" },  { 0.125, 2, "0.13" },
        { -0.125, 2, "-0.13" },      { 1.0e12, 6, "1000000000000.000000" },         { 1.0e13, 6, "1e+13" },
        { 2.5, 0, "2.5" },           { 1.0, 7, "1" },        { 3.14159265358979, 8, "3.1415927" },
        { 1.0e300, 17, "1.0000000000000001e+300" },          { Limits<double>::quiet_NaN(), 2, "nan" },
        { Limits<double>::infinity(), 2, "inf" },
    };
    for (const auto& c : cases)
        EXPECT_EQ (StringHelper::DoubleToString (c.value, c.numDecimals), c.expected) << c.value << " with " << c.numDecimals;
    EXPECT_EQ (StringHelper::ToString (2.25f, 1), "2.3");
}

TEST (StringHelperNumbers, GeneralPathKeepsOnlyWhatFitsTheStackArrayAndWritesNoFurther)
{
    char full[128];
    std::snprintf (full, sizeof (full), "%.60g", 0.1);
    EXPECT_EQ (StringHelper::DoubleToString (0.1, 60), std::string (full, StringHelper::StackArrayStream::size));
    struct
    {
        char buffer[StringHelper::StackArrayStream::size];
        char guard[8];
    } memory {};
    StringHelper::StackArrayStream streamBuffer (memory.buffer);
    std::ostream stream (&streamBuffer);
    stream << std::string (60, 'x');
    EXPECT_TRUE (stream.bad());
    EXPECT_EQ (streamBuffer.GetNumWritten(), StringHelper::StackArrayStream::size);
    EXPECT_EQ (std::string (memory.guard, sizeof (memory.guard)), std::string (sizeof (memory.guard), '\0'));
}

TEST (StringHelperNumbers, NumberTextIgnoresTheProcessLocale)
{
    const std::locale previousCpp = std::locale::global (std::locale (std::locale::classic(), new CommaNumpunct));
    const std::string previousC (std::setlocale (LC_ALL, nullptr));
    // Where this locale is installed, the C library's formatting is covered as well.
    std::setlocale (LC_ALL, "de_DE.UTF-8");
    EXPECT_EQ (StringHelper::DoubleToString (1234.5, 0), "1234.5");
    EXPECT_EQ (StringHelper::DoubleToString (1.0e25, 3), "1e+25");
    EXPECT_EQ (StringHelper::FormatDouble ("%.3f", 1234.5), "1234.500");
    EXPECT_FALSE (StringHelper::IsUnsignedInteger ("2.5"));
    std::locale::global (previousCpp);
    std::setlocale (LC_ALL, previousC.c_str());
}

TEST (StringHelperNumbers, FormatReturnsTheWholeTextOrNothingForFormatsThatDoNotMatchOneValue)
{
    EXPECT_EQ (StringHelper::FormatInt (-7, "%+04d|%%"), "-007|%");
    EXPECT_EQ (StringHelper::FormatInt (255, "0x%08X"), "0x000000FF");
    EXPECT_EQ (StringHelper::FormatFloat ("%.3f ", 0.5f), "0.500 ");
    EXPECT_EQ (StringHelper::FormatDouble ("no conversion", 1.0), "no conversion");
    EXPECT_EQ (StringHelper::FormatDouble ("%.3f", 1.0e300).size(), 305u);
    EXPECT_EQ (StringHelper::FormatInt (1, "%0100d").size(), 100u);

    // Each of these would read an argument that was never passed, or of another kind.
    for (const char* format : { "%s", "%d %d", "%f", "%*d", "%Ld", "%hc", "%llc", "%n", "%1$d", "abc%", "%hhhd", "%lz" })
        EXPECT_EQ (StringHelper::FormatInt (1, format), "") << format;
    for (const char* format : { "%s", "%d", "%f %f", "%.*f", "%hf", "%llf", "%jf", "%LLf", "%" })
        EXPECT_EQ (StringHelper::FormatDouble (format, 1.0), "") << format;
}

// Any flags, width, precision and length modifier that the conversion takes: the
// value is handed over as the type the modifier names.
TEST (StringHelperNumbers, FormatTakesEveryOneValueFormatOfItsKind)
{
    const std::pair<const char*, const char*> ints[] = {
        { "%hd", "4464" },          { "%hhx", "70" },          { "%hu", "4464" },    { "%ld", "70000" },
        { "%lld|", "70000|" },      { "%jd", "70000" },        { "%zu", "70000" },   { "%td", "70000" },
        { "%-8li|", "70000   |" },  { "%+.7lld", "+0070000" }, { "%#lo", "0210560" }, { "%'d", "70000" },
        { "% 6hhi", "   112" },     { "%lx", "11170" },
    };
    for (const auto& [format, expected] : ints)
        EXPECT_EQ (StringHelper::FormatInt (70000, format), expected) << format;

    // Unsigned conversions read the value as the unsigned type the modifier names.
    EXPECT_EQ (StringHelper::FormatInt (-1, "%lx"), "ffffffffffffffff");
    EXPECT_EQ (StringHelper::FormatInt (-1, "%x"), "ffffffff");
    EXPECT_EQ (StringHelper::FormatInt (-1, "%hhu"), "255");
    EXPECT_EQ (StringHelper::FormatInt (65, "%lc%c"), "");
    EXPECT_EQ (StringHelper::FormatInt (65, "[%lc]"), "[A]");

    const std::pair<const char*, const char*> doubles[] = {
        { "%lf", "1.500000" },      { "%Lf", "1.500000" },      { "%10.3le|", " 1.500e+00|" },
        { "%-+8.2LG|", "+1.5    |" }, { "%#.0lf", "2." },        { "%la", "0x1.8p+0" },
    };
    for (const auto& [format, expected] : doubles)
    {
        EXPECT_EQ (StringHelper::FormatDouble (format, 1.5), expected) << format;
        EXPECT_EQ (StringHelper::FormatFloat (format, 1.5f), expected) << format;
    }
}

TEST (StringHelperNumbers, TextToNumberConversions)
{
    EXPECT_EQ (StringHelper::HexDigitsToInt ('8', 'a'), 138);
    EXPECT_EQ (StringHelper::HexDigitsToInt ('F', 'F'), 255);
    for (const auto& [high, low] : { std::pair { 'g', '0' }, { '0', 'G' }, { ' ', '1' }, { '\0', '0' } })
        EXPECT_EQ (StringHelper::HexDigitsToInt (high, low), -1) << high << low;
    EXPECT_EQ ((std::vector<int> { StringHelper::ToInt ("  -7px"), StringHelper::ToInt ("abc"), StringHelper::ToInt ("99999999999"),
                                   StringHelper::ToInt ("-99999999999999999999999") }),
               (std::vector<int> { -7, 0, Limits<int>::max(), Limits<int>::min() }));
}

TEST (StringHelperNumbers, IsNumber)
{
    for (const char* number : { "0x", "0x1F", "+5", "1-2", "1e5", "1.5e-3", "1e2.5", ".5", "1E+5", "1.e5" })
        EXPECT_TRUE (StringHelper::IsNumber (number)) << number;
    for (const char* text : { "", "0xG", "+-5", "1.2.3", "e5", "1e", ".", "-", "12a", "1e5e5", " 1", "0X1F", "1e-+5" })
        EXPECT_FALSE (StringHelper::IsNumber (text)) << "'" << text << "'";
    EXPECT_TRUE (StringHelper::IsNumber (std::string ("12\0abc", 6)));
}

TEST (StringHelperNumbers, IsUnsignedIntegerAcceptsWholeNumbersBelowTwoToThe64)
{
    // 18446744073709549568 is the largest double below 2^64.
    for (const char* whole : { "3.0", "1e3", "0x10", "-0", "4294967296", "18446744073709549568" })
        EXPECT_TRUE (StringHelper::IsUnsignedInteger (whole)) << whole;
    for (const char* other : { "3.5", "-3", "-1e30", "1e20", "1e-1", "18446744073709551616", "1e400", "abc" })
        EXPECT_FALSE (StringHelper::IsUnsignedInteger (other)) << other;
}

namespace
{
/** Puts the time zone of the process back after each test, which may choose one. */
class StringHelperDates : public ::testing::Test
{
protected:
    void TearDown() override
    {
        previous ? setenv ("TZ", previous->c_str(), 1) : unsetenv ("TZ");
        tzset();
    }

    static void useZone (const char* zone)
    {
        setenv ("TZ", zone, 1);
        tzset();
    }

private:
    const std::optional<std::string> previous = std::getenv ("TZ") != nullptr ? std::optional<std::string> (std::getenv ("TZ"))
                                                                              : std::nullopt;
};

// 2026-12-06 14:05:09.250 UTC, a Sunday
constexpr long december2026 = 1796565909250L;

std::string withLetters (long milliseconds) { return dateTimeToString (milliseconds, true, true, true, true, true); }

void expectSameCalendarFields (const std::tm& actual, const std::tm& expected, long milliseconds)
{
    const auto fields = [] (const std::tm& t)
    { return std::vector<long> { t.tm_year, t.tm_mon, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec, t.tm_wday, t.tm_yday }; };
    EXPECT_EQ (fields (actual), fields (expected)) << milliseconds;
}
} // namespace

TEST_F (StringHelperDates, DateTimeTextInFixedZonesBeforeAndAfter1970)
{
    const struct { long milliseconds; const char* zone, *withSlashes, *letters; } cases[] = {
        { december2026, "CET-1", "Sun - 06/12/2026 - 15:05", "Sun_06_12_2026_15h05m09s" },
        { -1500, "UTC", "Wed - 31/12/1969 - 23:59", "Wed_31_12_1969_23h59m59s" },
        { -2203845904000L, "CET-1", "Thu - 01/03/1900 - 13:34", "Thu_01_03_1900_13h34m56s" },
        { -11676096000000L, "UTC", "Sat - 01/01/1600 - 00:00", "Sat_01_01_1600_00h00m00s" },
        { 2145916800000L, "UTC", "Fri - 01/01/2038 - 00:00", "Fri_01_01_2038_00h00m00s" },
        { 253402300800000L, "CET-1", "Sat - 01/01/10000 - 01:00", "Sat_01_01_10000_01h00m00s" },
    };
    for (const auto& c : cases)
    {
        useZone (c.zone);
        EXPECT_EQ (dateTimeToString (c.milliseconds, true, true, false, true, false), c.withSlashes) << c.milliseconds;
        EXPECT_EQ (withLetters (c.milliseconds), c.letters) << c.milliseconds;
    }
}

TEST_F (StringHelperDates, DateTimeTextPiecesAndSecondsOfNegativeTimesTakenTowardZero)
{
    useZone ("UTC");
    const struct { long milliseconds; bool date, time, letters, dayName, underscores; const char* expected; } cases[] = {
        { december2026, false, false, true, true, true, "" },
        { december2026, true, false, true, true, true, "Sun_06_12_2026" },
        { december2026, true, true, false, false, true, "06_12_2026_14:05" },
        { december2026, true, true, true, false, false, "06/12/2026 - 14h05m09s" },
        { -500, false, true, true, false, false, "00h00m00s" },
        { -61000, false, true, true, false, false, "23h58m59s" },
        { -86400000L * 365 * 3000 - 1000, false, true, true, false, false, "23h59m59s" },
    };
    for (const auto& c : cases)
        EXPECT_EQ (dateTimeToString (c.milliseconds, c.date, c.time, c.letters, c.dayName, c.underscores), c.expected);
}

TEST (StringHelperProlepticCalendar, MatchesTheSystemCalendarInUtc)
{
    std::vector<long> samples = { 0, -1, -999, -1000, -1001, 86399999, -86400001, 951782400000L, -62135596801000L };

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

TEST_F (StringHelperDates, LocalTimeCoversTheWholeRangeOfMilliseconds)
{
    useZone ("UTC");
    for (const long milliseconds : { Limits<long>::min(), Limits<long>::max(), -86400000L * 365 * 5000 })
    {
        expectSameCalendarFields (StringHelper::MillisecondsToLocalTime (milliseconds),
                                  StringHelper::ProlepticGregorianUtcTime (milliseconds), milliseconds);
        EXPECT_FALSE (withLetters (milliseconds).empty());
    }
    EXPECT_LT (StringHelper::MillisecondsToLocalTime (Limits<long>::min()).tm_year, -290000000);
}

TEST_F (StringHelperDates, CurrentDateAndTimeFollowsTheWallClockInTheLocalZone)
{
    useZone ("CET-1");
    const long before = static_cast<long> (std::time (nullptr)) * 1000;
    const auto now = StringHelper::GetCurrentDateAndTime (true, true, true, true, true);
    bool found = false;
    // The counter is tied to the wall clock with millisecond rounding on both sides.
    for (long millis = before - 1000; millis <= static_cast<long> (std::time (nullptr)) * 1000 + 1000; millis += 1000)
        found = found || withLetters (millis) == now;
    EXPECT_TRUE (found) << now;
}
