#include "text/StringHelper.h"

#include <climits>
#include <ctime>

namespace
{

/** Days from 1970-01-01 to the given proleptic Gregorian date (month 1-12). */
long long daysFromCivil (long long year, int month, int day) noexcept
{
    year -= month <= 2 ? 1 : 0;
    const long long era = (year >= 0 ? year : year - 399) / 400;
    const long long yearOfEra = year - era * 400;
    const long long dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const long long dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

long long floorDivide (long long value, long long divisor) noexcept
{
    const long long quotient = value / divisor;
    return (value % divisor != 0 && (value < 0) != (divisor < 0)) ? quotient - 1 : quotient;
}

std::string twoDigits (int value)
{
    return StringHelper::FormatInt (value, "%02d");
}

} // namespace

namespace StringHelper
{

std::tm ProlepticGregorianUtcTime (long milliseconds)
{
    const long long seconds = milliseconds / 1000;
    const long long days = floorDivide (seconds, 86400);
    const long long secondOfDay = seconds - days * 86400;

    // Civil date from a day count, in 400-year eras starting on 0000-03-01.
    const long long z = days + 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const long long dayOfEra = z - era * 146097;
    const long long yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const long long dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const long long shiftedMonth = (5 * dayOfYear + 2) / 153;
    const int day = static_cast<int> (dayOfYear - (153 * shiftedMonth + 2) / 5 + 1);
    const int month = static_cast<int> (shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9);
    const long long year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);

    std::tm result {};
    result.tm_sec = static_cast<int> (secondOfDay % 60);
    result.tm_min = static_cast<int> (secondOfDay / 60 % 60);
    result.tm_hour = static_cast<int> (secondOfDay / 3600);
    result.tm_mday = day;
    result.tm_mon = month - 1;
    // The range of milliseconds in a long keeps the year well inside an int.
    result.tm_year = static_cast<int> (year - 1900);
    result.tm_wday = static_cast<int> (days + 4 - floorDivide (days + 4, 7) * 7); // 1970-01-01 was a Thursday
    result.tm_yday = static_cast<int> (days - daysFromCivil (year, 1, 1));
    result.tm_isdst = 0;
    return result;
}

std::tm MillisecondsToLocalTime (long milliseconds)
{
    const std::time_t seconds = static_cast<std::time_t> (milliseconds / 1000);
    std::tm result {};

    if (localtime_r (&seconds, &result) != nullptr)
        return result;

    return ProlepticGregorianUtcTime (milliseconds);
}

} // namespace StringHelper

std::string dateTimeToString (long milliseconds, bool includeDate, bool includeTime, bool useLetters,
                              bool includeDayName, bool useUnderscores)
{
    static const char* const dayNames[] = { "Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat" };

    std::string text;

    if (! includeDate && ! includeTime)
        return text;

    const std::tm time = StringHelper::MillisecondsToLocalTime (milliseconds);
    const char* const fieldSeparator = useUnderscores ? "_" : " - ";

    if (includeDate)
    {
        if (includeDayName && time.tm_wday >= 0 && time.tm_wday < 7)
            text << dayNames[time.tm_wday] << fieldSeparator;

        const char* const dateSeparator = useUnderscores ? "_" : "/";
        text << twoDigits (time.tm_mday) << dateSeparator
             << twoDigits (time.tm_mon + 1) << dateSeparator
             << StringHelper::ToString (static_cast<long> (time.tm_year) + 1900);

        if (! includeTime)
            return text;

        text << fieldSeparator;
    }

    text << twoDigits (time.tm_hour) << (useLetters ? "h" : ":") << twoDigits (time.tm_min);

    if (! useLetters)
        return text;

    // Whole seconds toward zero, as the broken-down time has them, then into 0..59.
    long secondOfMinute = milliseconds / 1000 % 60;

    if (secondOfMinute < 0)
        secondOfMinute += 60;

    text << "m" << twoDigits (static_cast<int> (secondOfMinute)) << "s";
    return text;
}
