#pragma once

#include <ctime>
#include <locale>
#include <streambuf>
#include <string>

namespace kul
{
class StringArray;
}

/** Free functions on UTF-8 byte texts. Positions are byte indexes; -1 means absent. */
namespace StringHelper
{

/** A pointer to the first byte of UTF-8 text, walked code point by code point. */
struct CharPointer
{
    const char* data = nullptr;
};

/** A stream buffer whose put area is a caller's array of exactly 48 characters,
    in the classic locale; writing past the 48th character fails the stream. */
class StackArrayStream : public std::basic_streambuf<char>
{
public:
    static constexpr int size = 48;
    explicit StackArrayStream (char (&buffer)[size]);
    ~StackArrayStream() override = default;

    /** Number of characters written so far. */
    long GetNumWritten() const noexcept { return static_cast<long> (pptr() - pbase()); }

    /** The shared copy of the classic locale that every such stream is imbued with. */
    static const std::locale& GetClassicLocale();
};

// Number to text and text to number
std::string ToString (int value);
std::string ToString (long value);
std::string ToString (unsigned int value);
std::string ToString (unsigned short value);
std::string ToString (unsigned long value);
std::string ToString (bool value);
std::string ToString (float value);
std::string ToString (double value);
std::string ToString (float value, int numDecimals);
std::string ToString (double value, int numDecimals);
std::string DoubleToString (double value, int numDecimals);
std::string FormatFloat (const std::string& format, float value);
std::string FormatDouble (const std::string& format, double value);
std::string FormatInt (int value, const std::string& format);
int HexDigitsToInt (char high, char low);
int ToInt (const std::string& text);
bool IsNumber (const std::string& text);
bool IsUnsignedInteger (const std::string& text);

// Building and appending
void Append (std::string& text, const std::string& suffix);
void AppendCharacter (std::string& text, char character);
void PrependCharacter (std::string& text, char character);
void AppendCharPointer (std::string& text, const char* zeroTerminated);
void Resize (std::string& text, size_t newLength, char fill);
const std::string& GetEmptyString();
const std::string& GetNewLine();
CharPointer GetCharPointer (const std::string& text);
std::string FromCharPointer (CharPointer start);
std::string FromCharPointer (CharPointer start, size_t numBytes);
std::string FromCharPointerRange (CharPointer start, CharPointer end);

// Case and comparison
void ToLowerCase (std::string& text);
void ToUpperCase (std::string& text);
std::string ToLowerCaseCopy (const std::string& text);
bool AreEqual (const std::string& a, const std::string& b, bool ignoreCase);

// Search
bool Contains (const std::string& text, const std::string& sub);
bool ContainsCharacter (const std::string& text, char character);
bool ContainsAnyOf (const std::string& text, const std::string& set);
long IndexOf (const std::string& text, const std::string& sub, bool ignoreCase = false);
long LastIndexOf (const std::string& text, const std::string& sub, bool ignoreCase = false);
long IndexOfChar (const std::string& text, char character, bool ignoreCase = false);
long LastIndexOfChar (const std::string& text, char character, bool ignoreCase = false);
bool EndsWith (const std::string& text, const std::string& suffix);
bool EndsWithCharacter (const std::string& text, char character);
char CharacterAt (const std::string& text, long index);

// Substrings and removal
std::string Substring (const std::string& text, long start, long end);
std::string SubstringFrom (const std::string& text, long start);
std::string FromFirstOccurrenceOf (const std::string& text, const std::string& sub, bool includeSub, bool ignoreCase);
std::string UpToFirstOccurrenceOf (const std::string& text, const std::string& sub, bool includeSub, bool ignoreCase);
void RemoveFirstOccurrence (std::string& text, const std::string& sub, bool ignoreCase = false);
void RemoveLastOccurrence (std::string& text, const std::string& sub, bool ignoreCase = false);
std::string RemoveTrailingRepeats (const std::string& text, const std::string& suffix);
void DropLastCharacters (std::string& text, size_t n);
void ReplaceAll (std::string& text, const std::string& find, const std::string& replacement);
void RemoveAll (std::string& text, const std::string& sub);

// Trimming and quoting
void TrimLeft (std::string& text);
void TrimRight (std::string& text);
void Trim (std::string& text);
bool IsQuoted (const std::string& text);
void Quote (std::string& text, char quoteCharacter = '"');
std::string Quoted (const std::string& text);
void Unquote (std::string& text);

// Lists, dates and names
kul::StringArray Split (const std::string& text, const std::string& delimiter, bool keepEmpty);
/** Local time of the whole seconds (truncated toward zero) of milliseconds since 1970. */
std::tm MillisecondsToLocalTime (long milliseconds);
/** Broken-down UTC time, in the proleptic Gregorian calendar, of the whole seconds
    (truncated toward zero) of any milliseconds since 1970; the fallback when the
    platform cannot convert a time. */
std::tm ProlepticGregorianUtcTime (long milliseconds);
std::string GetCurrentDateAndTime (bool includeDate, bool includeTime, bool useLetters,
                                   bool includeDayName, bool useUnderscores);
/** The demangled form of a symbol; a text that does not demangle comes back unchanged. */
std::string Demangle (const std::string& mangled);

} // namespace StringHelper

std::string dateTimeToString (long milliseconds, bool includeDate, bool includeTime, bool useLetters,
                              bool includeDayName, bool useUnderscores);

/** Appends chain: text << "a" << name << 42ul. */
std::string& operator<< (std::string& text, const std::string& item);
std::string& operator<< (std::string& text, const char* item);
std::string& operator<< (std::string& text, unsigned long item);
