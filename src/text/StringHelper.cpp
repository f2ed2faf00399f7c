#include "text/StringHelper.h"

#include "text/StringArray.h"
#include "text/TextExceptions.h"

#include <cxxabi.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace
{

constexpr const char* originalSource = "text/OskelDspString";

/** Case mapping of single bytes: only ASCII letters change, so UTF-8 sequences stay
    intact whatever the process locale is. */
char toLowerByte (char c) noexcept
{
    return c >= 'A' && c <= 'Z' ? static_cast<char> (c - 'A' + 'a') : c;
}

char toUpperByte (char c) noexcept
{
    return c >= 'a' && c <= 'z' ? static_cast<char> (c - 'a' + 'A') : c;
}

bool isSpaceByte (char c) noexcept
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}


long toPosition (size_t index) noexcept
{
    return index == std::string::npos ? -1 : static_cast<long> (index);
}

} // namespace

namespace StringHelper
{

//==============================================================================
void Append (std::string& text, const std::string& suffix)
{
    text += suffix;
}

void AppendCharacter (std::string& text, char character)
{
    text += character;
}

void PrependCharacter (std::string& text, char character)
{
    try
    {
        text.insert (text.begin(), character);
    }
    catch (...)
    {
        kul::text::RethrowAsLibraryException (originalSource, 1099);
    }
}

void AppendCharPointer (std::string& text, const char* zeroTerminated)
{
    if (zeroTerminated != nullptr)
        text += FromCharPointerRange (CharPointer { zeroTerminated },
                                      CharPointer { zeroTerminated + std::strlen (zeroTerminated) });
}

void Resize (std::string& text, size_t newLength, char fill)
{
    try
    {
        text.resize (newLength, fill);
    }
    catch (...)
    {
        kul::text::RethrowAsLibraryException (originalSource, 939);
    }
}

const std::string& GetEmptyString()
{
    static const std::string empty;
    return empty;
}

const std::string& GetNewLine()
{
    static const std::string newLine ("\n");
    return newLine;
}

CharPointer GetCharPointer (const std::string& text)
{
    return CharPointer { text.c_str() };
}

std::string FromCharPointer (CharPointer start)
{
    if (start.data == nullptr)
        return {};

    // Continuation bytes are never zero, so walking whole UTF-8 characters up to the
    // first zero byte takes exactly the bytes before it.
    return std::string (start.data);
}

std::string FromCharPointer (CharPointer start, size_t numBytes)
{
    if (start.data == nullptr)
        return {};

    return std::string (start.data, numBytes);
}

std::string FromCharPointerRange (CharPointer start, CharPointer end)
{
    if (start.data == nullptr || end.data == nullptr || end.data <= start.data)
        return {};

    // A character cut by end is cut there too: nothing past end is read.
    const auto maxBytes = static_cast<size_t> (end.data - start.data);
    const auto* zero = static_cast<const char*> (std::memchr (start.data, 0, maxBytes));
    return std::string (start.data, zero != nullptr ? zero : end.data);
}

//==============================================================================
void ToLowerCase (std::string& text)
{
    std::transform (text.begin(), text.end(), text.begin(), toLowerByte);
}

void ToUpperCase (std::string& text)
{
    std::transform (text.begin(), text.end(), text.begin(), toUpperByte);
}

std::string ToLowerCaseCopy (const std::string& text)
{
    std::string copy (text);
    ToLowerCase (copy);
    return copy;
}

bool AreEqual (const std::string& a, const std::string& b, bool ignoreCase)
{
    // Like strcmp and strcasecmp, both texts end at their first zero byte.
    for (const char *p = a.c_str(), *q = b.c_str();; ++p, ++q)
    {
        const char x = ignoreCase ? toLowerByte (*p) : *p;
        const char y = ignoreCase ? toLowerByte (*q) : *q;

        if (x != y)
            return false;

        if (x == 0)
            return true;
    }
}

//==============================================================================
bool Contains (const std::string& text, const std::string& sub)
{
    return ! sub.empty() && text.find (sub) != std::string::npos;
}

bool ContainsCharacter (const std::string& text, char character)
{
    return text.find (character) != std::string::npos;
}

bool ContainsAnyOf (const std::string& text, const std::string& set)
{
    return text.find_first_of (set) != std::string::npos;
}

long IndexOf (const std::string& text, const std::string& sub, bool ignoreCase)
{
    if (sub.empty())
        return -1;

    if (ignoreCase)
        return toPosition (ToLowerCaseCopy (text).find (ToLowerCaseCopy (sub)));

    return toPosition (text.find (sub));
}

long LastIndexOf (const std::string& text, const std::string& sub, bool ignoreCase)
{
    if (sub.empty() || text.empty())
        return -1;

    if (ignoreCase)
        return toPosition (ToLowerCaseCopy (text).rfind (ToLowerCaseCopy (sub)));

    return toPosition (text.rfind (sub));
}

long IndexOfChar (const std::string& text, char character, bool ignoreCase)
{
    if (! ignoreCase)
        return toPosition (text.find (character));

    const char wanted = toLowerByte (character);
    const auto found = std::find_if (text.begin(), text.end(), [wanted] (char c) { return toLowerByte (c) == wanted; });
    return found == text.end() ? -1 : static_cast<long> (found - text.begin());
}

long LastIndexOfChar (const std::string& text, char character, bool ignoreCase)
{
    if (! ignoreCase)
        return toPosition (text.rfind (character));

    const char wanted = toLowerByte (character);

    for (size_t i = text.size(); i > 0; --i)
        if (toLowerByte (text[i - 1]) == wanted)
            return static_cast<long> (i - 1);

    return -1;
}

bool EndsWith (const std::string& text, const std::string& suffix)
{
    return ! suffix.empty() && text.ends_with (suffix);
}

bool EndsWithCharacter (const std::string& text, char character)
{
    return ! text.empty() && text.back() == character;
}

char CharacterAt (const std::string& text, long index)
{
    if (index < 0 || static_cast<size_t> (index) >= text.size())
        return 0;

    return text[static_cast<size_t> (index)];
}

//==============================================================================
std::string Substring (const std::string& text, long start, long end)
{
    start = std::max (start, 0L);
    const auto length = static_cast<long> (text.size());

    if (end <= start || start >= length)
        return {};

    return text.substr (static_cast<size_t> (start), static_cast<size_t> (std::min (end, length) - start));
}

std::string SubstringFrom (const std::string& text, long start)
{
    return Substring (text, start, static_cast<long> (text.size()));
}

std::string FromFirstOccurrenceOf (const std::string& text, const std::string& sub, bool includeSub, bool ignoreCase)
{
    const long i = IndexOf (text, sub, ignoreCase);

    if (i < 0)
        return {};

    return text.substr (static_cast<size_t> (i) + (includeSub ? 0 : sub.size()));
}

std::string UpToFirstOccurrenceOf (const std::string& text, const std::string& sub, bool includeSub, bool ignoreCase)
{
    const long i = IndexOf (text, sub, ignoreCase);

    if (i < 0)
        return {};

    return text.substr (0, static_cast<size_t> (i) + (includeSub ? sub.size() : 0));
}

void RemoveFirstOccurrence (std::string& text, const std::string& sub, bool ignoreCase)
{
    const long i = IndexOf (text, sub, ignoreCase);

    if (i >= 0)
        text.erase (static_cast<size_t> (i), sub.size());
}

void RemoveLastOccurrence (std::string& text, const std::string& sub, bool ignoreCase)
{
    const long i = LastIndexOf (text, sub, ignoreCase);

    if (i >= 0)
        text.erase (static_cast<size_t> (i), sub.size());
}

std::string RemoveTrailingRepeats (const std::string& text, const std::string& suffix)
{
    std::string copy (text);

    while (! suffix.empty() && suffix.size() <= copy.size() && copy.ends_with (suffix))
        RemoveLastOccurrence (copy, suffix, false);

    return copy;
}

void DropLastCharacters (std::string& text, size_t n)
{
    text.resize (text.size() - std::min (n, text.size()));
}

void ReplaceAll (std::string& text, const std::string& find, const std::string& replacement)
{
    if (find.empty())
        return;

    for (size_t position = text.find (find); position != std::string::npos;
         position = text.find (find, position + replacement.size()))
    {
        text.replace (position, find.size(), replacement);
    }
}

void RemoveAll (std::string& text, const std::string& sub)
{
    ReplaceAll (text, sub, GetEmptyString());
}

//==============================================================================
void TrimLeft (std::string& text)
{
    text.erase (text.begin(), std::find_if_not (text.begin(), text.end(), isSpaceByte));
}

void TrimRight (std::string& text)
{
    text.erase (std::find_if_not (text.rbegin(), text.rend(), isSpaceByte).base(), text.end());
}

void Trim (std::string& text)
{
    TrimLeft (text);
    TrimRight (text);
}

bool IsQuoted (const std::string& text)
{
    if (text.empty())
        return false;

    return (text.front() == '"' && text.back() == '"') || (text.front() == '\'' && text.back() == '\'');
}

void Quote (std::string& text, char quoteCharacter)
{
    if (IsQuoted (text))
        return;

    PrependCharacter (text, quoteCharacter);
    text += quoteCharacter;
}

std::string Quoted (const std::string& text)
{
    std::string copy (text);
    Quote (copy, '"');
    return copy;
}

void Unquote (std::string& text)
{
    if (! IsQuoted (text))
        return;

    text.erase (0, 1);

    // A lone quote character is both the first and the last byte.
    if (! text.empty())
        text.pop_back();
}

//==============================================================================
kul::StringArray Split (const std::string& text, const std::string& delimiter, bool keepEmpty)
{
    try
    {
        kul::StringArray pieces;

        if (text.empty())
            return pieces;

        if (delimiter.empty())
        {
            pieces.Add (text);
            return pieces;
        }

        for (size_t start = 0;;)
        {
            const size_t found = text.find (delimiter, start);

            if (found == std::string::npos)
            {
                pieces.Add (text.substr (start));
                return pieces;
            }

            if (keepEmpty || found > start)
                pieces.Add (text.substr (start, found - start));

            start = found + delimiter.size();
        }
    }
    catch (...)
    {
        kul::text::RethrowAsLibraryException (__FILE__, __LINE__);
    }
}

std::string Demangle (const std::string& mangled)
{
    int status = 0;
    std::unique_ptr<char, decltype (&std::free)> demangled (
        abi::__cxa_demangle (mangled.c_str(), nullptr, nullptr, &status), &std::free);

    if (status != 0 || demangled == nullptr)
        return mangled;

    return std::string (demangled.get());
}

} // namespace StringHelper

//==============================================================================
std::string& operator<< (std::string& text, const std::string& item)
{
    text += item;
    return text;
}

std::string& operator<< (std::string& text, const char* item)
{
    if (item != nullptr)
        text += item;

    return text;
}

std::string& operator<< (std::string& text, unsigned long item)
{
    text += StringHelper::ToString (item);
    return text;
}
