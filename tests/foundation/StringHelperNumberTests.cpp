#include "text/StringHelper.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <limits>
#include <locale>

namespace
{

struct DoubleCase
{
    double value;
    int numDecimals;
    const char* expected;
};

/** Decimal comma and grouping, as a continental locale would format. */
struct CommaNumpunct : std::numpunct<char>
{
    char do_decimal_point() const override { return ','; }
    char do_thousands_sep() const override { return '.'; }
    std::string do_grouping() const override { return "\3"; }
};

} // namespace

TEST (StringHelperNumbers, IntegersGiveTheirFullDecimalText)
{
    EXPECT_EQ (StringHelper::ToString (0), "0");
    EXPECT_EQ (StringHelper::ToString (20), "20");
    EXPECT_EQ (StringHelper::ToString (21), "21");
    EXPECT_EQ (StringHelper::ToString (-5), "-5");
    EXPECT_EQ (StringHelper::ToString (std::numeric_limits<int>::min()), "-2147483648");
    EXPECT_EQ (StringHelper::ToString (std::numeric_limits<int>::max()), "2147483647");
    EXPECT_EQ (StringHelper::ToString (std::numeric_limits<long>::min()), "-9223372036854775808");
    EXPECT_EQ (StringHelper::ToString (std::numeric_limits<long>::max()), "9223372036854775807");
    EXPECT_EQ (StringHelper::ToString (std::numeric_limits<unsigned int>::max()), "4294967295");
    EXPECT_EQ (StringHelper::ToString (static_cast<unsigned short> (65535)), "65535");
    EXPECT_EQ (StringHelper::ToString (std::numeric_limits<unsigned long>::max()), "18446744073709551615");
    EXPECT_EQ (StringHelper::ToString (true), "true");
    EXPECT_EQ (StringHelper::ToString (false), "false");
}

TEST (StringHelperNumbers, DoubleToStringUsesFixedDecimalsOrSignificantDigits)
{
    const double pi = 3.14159265358979323846;
    const double infinity = std::numeric_limits<double>::infinity();

    const DoubleCase cases[] = {
        { 0.05, 2, "0.05" },
        { 123.456, 2, "123.46" },
        { -0.001, 2, "-0.00" },
        { -0.0, 2, "0.00" },
        { 0.125, 2, "0.13" },          // halves round away from zero
        { -0.125, 2, "-0.13" },
        { 0.5, 6, "0.500000" },
        { 1.0e12, 6, "1000000000000.000000" },
        { 1.0e13, 6, "1e+13" },        // 1e19 is beyond a signed 64-bit integer: general path
        { 2.5, 0, "2.5" },
        { 1.0, 7, "1" },
        { pi, 0, "3.14159" },
        { pi, 8, "3.1415927" },
        { 1.0e20, 2, "1e+20" },
        { 1.0e300, 17, "1.0000000000000001e+300" },
        { std::numeric_limits<double>::quiet_NaN(), 2, "nan" },
        { infinity, 2, "inf" },
    };

    for (const auto& c : cases)
        EXPECT_EQ (StringHelper::DoubleToString (c.value, c.numDecimals), c.expected)
            << c.value << " with " << c.numDecimals;

    EXPECT_EQ (StringHelper::ToString (0.1f), "0.1");
    EXPECT_EQ (StringHelper::ToString (2.25f, 1), "2.3");
}

TEST (StringHelperNumbers, GeneralPathKeepsOnlyWhatFitsTheStackArray)
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

TEST (StringHelperNumbers, FormatReturnsTheWholeText)
{
    EXPECT_EQ (StringHelper::FormatInt (7, "%02d"), "07");
    EXPECT_EQ (StringHelper::FormatInt (-7, "%+04d|%%"), "-007|%");
    EXPECT_EQ (StringHelper::FormatInt (255, "0x%08X"), "0x000000FF");
    EXPECT_EQ (StringHelper::FormatFloat ("%.3f ", 0.5f), "0.500 ");
    EXPECT_EQ (StringHelper::FormatDouble ("no conversion", 1.0), "no conversion");

    const auto huge = StringHelper::FormatDouble ("%.3f", 1.0e300);
    EXPECT_EQ (huge.size(), 305u);
    EXPECT_EQ (huge.substr (huge.size() - 4), ".000");

    EXPECT_EQ (StringHelper::FormatInt (1, "%0100d").size(), 100u);
}

TEST (StringHelperNumbers, FormatRefusesFormatsThatDoNotMatchOneValue)
{
    // Each of these would read an argument that was never passed, or the wrong type.
    for (const char* format : { "%s", "%d %d", "%f", "%*d", "%ld", "%n", "%1$d", "abc%" })
        EXPECT_EQ (StringHelper::FormatInt (1, format), "") << format;

    for (const char* format : { "%s", "%d", "%f %f", "%.*f", "%Lf", "%" })
        EXPECT_EQ (StringHelper::FormatDouble (format, 1.0), "") << format;
}

TEST (StringHelperNumbers, HexDigitsToInt)
{
    struct Case
    {
        char high, low;
        int expected;
    };

    const Case cases[] = {
        { '0', '0', 0 }, { 'f', 'f', 255 }, { 'F', 'F', 255 }, { '8', 'a', 138 }, { 'A', '0', 160 },
        { 'g', '0', -1 }, { '0', 'G', -1 }, { ' ', '1', -1 }, { '\0', '0', -1 },
    };

    for (const auto& c : cases)
        EXPECT_EQ (StringHelper::HexDigitsToInt (c.high, c.low), c.expected) << c.high << c.low;
}

TEST (StringHelperNumbers, ToIntSaturatesOutsideTheIntRange)
{
    EXPECT_EQ (StringHelper::ToInt ("  -7px"), -7);
    EXPECT_EQ (StringHelper::ToInt ("abc"), 0);
    EXPECT_EQ (StringHelper::ToInt ("99999999999"), std::numeric_limits<int>::max());
    EXPECT_EQ (StringHelper::ToInt ("-99999999999999999999999"), std::numeric_limits<int>::min());
}

TEST (StringHelperNumbers, IsNumber)
{
    struct Case
    {
        const char* text;
        bool expected;
    };

    const Case cases[] = {
        { "", false },     { "0x", true },      { "0x1F", true },   { "0xG", false },  { "+5", true },
        { "+-5", false },  { "1-2", true },     { "1.2.3", false }, { "1e5", true },   { "e5", false },
        { "1e", false },   { "1.5e-3", true },  { "1e2.5", true },  { ".", false },    { ".5", true },
        { "-", false },    { "12a", false },    { "1e5e5", false }, { "1E+5", true },  { " 1", false },
        { "0X1F", false }, { "1e-+5", false },  { "1.e5", true },   { "0x1g", false },
    };

    for (const auto& c : cases)
        EXPECT_EQ (StringHelper::IsNumber (c.text), c.expected) << "'" << c.text << "'";

    EXPECT_TRUE (StringHelper::IsNumber (std::string ("12\0abc", 6)));
}

TEST (StringHelperNumbers, IsUnsignedIntegerAcceptsWholeNumbersBelowTwoToThe64)
{
    struct Case
    {
        const char* text;
        bool expected;
    };

    const Case cases[] = {
        { "3", true },       { "3.0", true },     { "1e3", true },    { "0x10", true },   { "-0", true },
        { "4294967296", true },
        { "18446744073709549568", true },    // the largest double below 2^64
        { "3.5", false },    { "-3", false },     { "-1e30", false }, { "1e20", false },  { "1e-1", false },
        { "18446744073709551616", false },   // 2^64
        { "1e400", false },                  // infinity
        { "abc", false },
    };

    for (const auto& c : cases)
        EXPECT_EQ (StringHelper::IsUnsignedInteger (c.text), c.expected) << "'" << c.text << "'";
}
