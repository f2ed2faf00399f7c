#include "text/StringHelper.h"

#include <charconv>
#include <cmath>
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <limits>
#include <locale.h>
#include <optional>
#include <ostream>
#include <type_traits>

namespace
{

template <typename Integer>
std::string integerToString (Integer value)
{
    // std::to_chars writes plain decimal without any locale, and negates the
    // most negative value without overflowing.
    char buffer[std::numeric_limits<Integer>::digits10 + 3];
    const auto result = std::to_chars (buffer, buffer + sizeof (buffer), value);
    return std::string (buffer, result.ptr);
}

/** The process-wide "C" locale object for the printf and strtod families; null when
    the system cannot provide one (the calls then use the thread's own locale). */
locale_t getCLocale()
{
    static const locale_t cLocale = newlocale (LC_ALL_MASK, "C", static_cast<locale_t> (nullptr));
    return cLocale;
}

bool isDigit (char c) noexcept
{
    return c >= '0' && c <= '9';
}

bool isOneOf (char c, const char* set) noexcept
{
    return c != 0 && std::strchr (set, c) != nullptr;
}

enum class FormatKind
{
    integer,
    floatingPoint
};

/** A conversion's length modifier: it names the type that printf reads. */
enum class Length
{
    none,
    hh,
    h,
    l,
    ll,
    j,
    z,
    t,
    L
};

struct OneValueFormat
{
    Length length = Length::none;
    char conversion = 0; // 0: the format converts nothing
};

Length readLength (const std::string& format, size_t& i)
{
    const auto next = [&] (char c) { return i < format.size() && format[i] == c && (++i, true); };

    if (next ('h'))
        return next ('h') ? Length::hh : Length::h;
    if (next ('l'))
        return next ('l') ? Length::ll : Length::l;
    if (next ('j'))
        return Length::j;
    if (next ('z'))
        return Length::z;
    if (next ('t'))
        return Length::t;
    if (next ('L'))
        return Length::L;
    return Length::none;
}

bool takesLength (char conversion, Length length)
{
    if (isOneOf (conversion, "diouxX"))
        return length != Length::L;
    if (conversion == 'c')
        return length == Length::none || length == Length::l;
    if (isOneOf (conversion, "fFeEgGaA"))
        return length == Length::none || length == Length::l || length == Length::L;
    return false;
}

/** The format's conversion when it converts at most one argument, of the given kind
    and with a length modifier that its conversion takes, so that handing printf the
    one value, as the type the modifier names, is well defined; nothing otherwise.
    Flags, width and precision are any printf takes, except a width or precision
    read from an argument ('*'). */
std::optional<OneValueFormat> parseOneValueFormat (const std::string& format, FormatKind kind)
{
    OneValueFormat result;

    for (size_t i = 0; i < format.size(); ++i)
    {
        if (format[i] != '%')
            continue;

        if (++i >= format.size())
            return std::nullopt;

        if (format[i] == '%')
            continue;

        while (i < format.size() && isOneOf (format[i], "-+ #0'"))
            ++i;

        while (i < format.size() && isDigit (format[i]))
            ++i;

        if (i < format.size() && format[i] == '.')
        {
            ++i;
            while (i < format.size() && isDigit (format[i]))
                ++i;
        }

        const auto length = readLength (format, i);

        if (i >= format.size() || result.conversion != 0)
            return std::nullopt;

        const char conversion = format[i];

        if (! isOneOf (conversion, kind == FormatKind::integer ? "diouxXc" : "fFeEgGaA") || ! takesLength (conversion, length))
            return std::nullopt;

        result = { length, conversion };
    }

    return result;
}

/** Switches the calling thread to the "C" locale for as long as it lives. */
class ScopedCLocale
{
public:
    ScopedCLocale() noexcept
        : previous (getCLocale() != nullptr ? uselocale (getCLocale()) : nullptr)
    {
    }

    ~ScopedCLocale()
    {
        if (previous != nullptr)
            uselocale (previous);
    }

    ScopedCLocale (const ScopedCLocale&) = delete;
    ScopedCLocale& operator= (const ScopedCLocale&) = delete;

private:
    locale_t previous;
};

/** printf-style text in the "C" locale, however long it is. */
std::string formatInCLocale (const char* format, ...)
{
    const ScopedCLocale cLocale;

    va_list args;
    va_start (args, format);
    va_list argsForSize;
    va_copy (argsForSize, args);
    const int length = std::vsnprintf (nullptr, 0, format, argsForSize);
    va_end (argsForSize);

    std::string text;

    try
    {
        if (length > 0)
        {
            text.resize (static_cast<size_t> (length));
            std::vsnprintf (text.data(), text.size() + 1, format, args);
        }
    }
    catch (...)
    {
        va_end (args);
        throw;
    }

    va_end (args);
    return text;
}

/** The value as the type a length modifier names, signed or unsigned as the conversion reads it. */
template <typename SignedType>
std::string formatAs (const char* format, int value, bool isSigned)
{
    if (isSigned)
        return formatInCLocale (format, static_cast<SignedType> (value));

    return formatInCLocale (format, static_cast<std::make_unsigned_t<SignedType>> (value));
}

int hexDigitValue (char c) noexcept
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

namespace StringHelper
{

//==============================================================================
StackArrayStream::StackArrayStream (char (&buffer)[size])
{
    setp (buffer, buffer + size);
    pubimbue (GetClassicLocale());
}

const std::locale& StackArrayStream::GetClassicLocale()
{
    static const std::locale classic (std::locale::classic());
    return classic;
}

//==============================================================================
std::string ToString (int value)            { return integerToString (value); }
std::string ToString (long value)           { return integerToString (value); }
std::string ToString (unsigned int value)   { return integerToString (value); }
std::string ToString (unsigned short value) { return integerToString (value); }
std::string ToString (unsigned long value)  { return integerToString (value); }

std::string ToString (bool value)
{
    return value ? "true" : "false";
}

std::string ToString (float value)                  { return DoubleToString (static_cast<double> (value), 0); }
std::string ToString (double value)                 { return DoubleToString (value, 0); }
std::string ToString (float value, int numDecimals) { return DoubleToString (static_cast<double> (value), numDecimals); }
std::string ToString (double value, int numDecimals) { return DoubleToString (value, numDecimals); }

std::string DoubleToString (double value, int numDecimals)
{
    static constexpr double powersOfTen[] = { 1.0, 10.0, 100.0, 1000.0, 10000.0, 100000.0, 1000000.0 };
    static constexpr double twoToThe63 = 9223372036854775808.0;

    if (value > -1.0e20 && value < 1.0e20 && numDecimals >= 1 && numDecimals <= 6)
    {
        const double scaled = std::abs (value) * powersOfTen[numDecimals] + 0.5;

        if (scaled < twoToThe63)
        {
            auto k = static_cast<long long> (scaled);

            // sign, up to 19 digits, the point
            char buffer[32];
            char* end = buffer + sizeof (buffer);
            char* p = end;

            for (int i = 0; i < numDecimals; ++i)
            {
                *--p = static_cast<char> ('0' + k % 10);
                k /= 10;
            }

            *--p = '.';

            do
            {
                *--p = static_cast<char> ('0' + k % 10);
                k /= 10;
            }
            while (k > 0);

            if (! (value >= 0.0))
                *--p = '-';

            return std::string (p, end);
        }
    }

    char buffer[StackArrayStream::size];
    StackArrayStream streamBuffer (buffer);
    std::ostream stream (&streamBuffer);
    // The stream formats with its own locale, not its buffer's.
    stream.imbue (StackArrayStream::GetClassicLocale());

    if (numDecimals > 0)
        stream.precision (numDecimals);

    stream << value;
    return std::string (buffer, static_cast<size_t> (streamBuffer.GetNumWritten()));
}

std::string FormatFloat (const std::string& format, float value)
{
    return FormatDouble (format, static_cast<double> (value));
}

std::string FormatDouble (const std::string& format, double value)
{
    const auto oneValue = parseOneValueFormat (format, FormatKind::floatingPoint);

    if (! oneValue)
        return {};

    if (oneValue->length == Length::L)
        return formatInCLocale (format.c_str(), static_cast<long double> (value));

    return formatInCLocale (format.c_str(), value);
}

std::string FormatInt (int value, const std::string& format)
{
    const auto oneValue = parseOneValueFormat (format, FormatKind::integer);

    if (! oneValue)
        return {};

    const char* text = format.c_str();
    const bool isSigned = oneValue->conversion == 'd' || oneValue->conversion == 'i';

    switch (oneValue->length)
    {
        case Length::l:
            if (oneValue->conversion == 'c')
                return formatInCLocale (text, static_cast<wint_t> (value));
            return formatAs<long> (text, value, isSigned);
        case Length::ll: return formatAs<long long> (text, value, isSigned);
        case Length::j: return formatAs<intmax_t> (text, value, isSigned);
        case Length::z: return formatAs<std::make_signed_t<size_t>> (text, value, isSigned);
        case Length::t: return formatAs<ptrdiff_t> (text, value, isSigned);
        // printf reads an int for these, and narrows it itself for hh and h.
        case Length::none:
        case Length::hh:
        case Length::h:
        case Length::L: break;
    }

    return formatInCLocale (text, value);
}

int HexDigitsToInt (char high, char low)
{
    const int h = hexDigitValue (high);
    const int l = hexDigitValue (low);
    return h < 0 || l < 0 ? -1 : h * 16 + l;
}

int ToInt (const std::string& text)
{
    // atoi's result is undefined outside the int range; saturate instead.
    const long value = std::strtol (text.c_str(), nullptr, 10);

    if (value < std::numeric_limits<int>::min())
        return std::numeric_limits<int>::min();
    if (value > std::numeric_limits<int>::max())
        return std::numeric_limits<int>::max();

    return static_cast<int> (value);
}

bool IsNumber (const std::string& text)
{
    if (text.empty())
        return false;

    if (text.size() >= 2 && text[0] == '0' && text[1] == 'x')
    {
        bool allHex = true;

        for (size_t i = 2; i < text.size() && allHex; ++i)
            allHex = hexDigitValue (text[i]) >= 0;

        if (allHex)
            return true;
    }

    int numSigns = 0, numPoints = 0, numDigits = 0, numExponents = 0;

    for (const char c : text)
    {
        if (c == 0)
            break;

        if (isDigit (c))
        {
            ++numDigits;
        }
        else if (c == '+' || c == '-')
        {
            if (++numSigns > 1)
                return false;
        }
        else if (c == '.')
        {
            if (++numPoints > 1)
                return false;
        }
        else if (c == 'e' || c == 'E')
        {
            if (numExponents > 0 || numDigits == 0)
                return false;

            ++numExponents;
            numSigns = numPoints = numDigits = 0;
        }
        else
        {
            return false;
        }
    }

    return numDigits > 0;
}

bool IsUnsignedInteger (const std::string& text)
{
    if (! IsNumber (text))
        return false;

    const locale_t cLocale = getCLocale();
    const double value = cLocale != nullptr ? strtod_l (text.c_str(), nullptr, cLocale)
                                            : std::strtod (text.c_str(), nullptr);

    // Range first: converting a negative, huge or NaN double to an unsigned type is undefined.
    static constexpr double twoToThe64 = 18446744073709551616.0;

    if (! (value >= 0.0 && value < twoToThe64))
        return false;

    return std::floor (value) == value;
}

} // namespace StringHelper
