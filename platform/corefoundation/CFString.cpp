#include "corefoundation/CFString.h"

#include <new>
#include <string>
#include <vector>

struct __CFString
{
    std::vector<char32_t> codePoints;
};

namespace
{
// The upper half of the Mac OS Roman character set, 0x80 to 0xFF.
constexpr char32_t macRomanHigh[128] = {
    0x00C4, 0x00C5, 0x00C7, 0x00C9, 0x00D1, 0x00D6, 0x00DC, 0x00E1, 0x00E0, 0x00E2, 0x00E4, 0x00E3, 0x00E5, 0x00E7, 0x00E9, 0x00E8,
    0x00EA, 0x00EB, 0x00ED, 0x00EC, 0x00EE, 0x00EF, 0x00F1, 0x00F3, 0x00F2, 0x00F4, 0x00F6, 0x00F5, 0x00FA, 0x00F9, 0x00FB, 0x00FC,
    0x2020, 0x00B0, 0x00A2, 0x00A3, 0x00A7, 0x2022, 0x00B6, 0x00DF, 0x00AE, 0x00A9, 0x2122, 0x00B4, 0x00A8, 0x2260, 0x00C6, 0x00D8,
    0x221E, 0x00B1, 0x2264, 0x2265, 0x00A5, 0x00B5, 0x2202, 0x2211, 0x220F, 0x03C0, 0x222B, 0x00AA, 0x00BA, 0x03A9, 0x00E6, 0x00F8,
    0x00BF, 0x00A1, 0x00AC, 0x221A, 0x0192, 0x2248, 0x2206, 0x00AB, 0x00BB, 0x2026, 0x00A0, 0x00C0, 0x00C3, 0x00D5, 0x0152, 0x0153,
    0x2013, 0x2014, 0x201C, 0x201D, 0x2018, 0x2019, 0x00F7, 0x25CA, 0x00FF, 0x0178, 0x2044, 0x20AC, 0x2039, 0x203A, 0xFB01, 0xFB02,
    0x2021, 0x00B7, 0x201A, 0x201E, 0x2030, 0x00C2, 0x00CA, 0x00C1, 0x00CB, 0x00C8, 0x00CD, 0x00CE, 0x00CF, 0x00CC, 0x00D3, 0x00D4,
    0xF8FF, 0x00D2, 0x00DA, 0x00DB, 0x00D9, 0x0131, 0x02C6, 0x02DC, 0x00AF, 0x02D8, 0x02D9, 0x02DA, 0x00B8, 0x02DD, 0x02DB, 0x02C7
};

bool decodeUtf8 (const std::string& bytes, std::vector<char32_t>& out)
{
    for (size_t i = 0; i < bytes.size();)
    {
        const auto lead = static_cast<unsigned char> (bytes[i]);
        int extra = 0;
        char32_t cp = 0;
        char32_t minimum = 0;
        if (lead < 0x80)
            cp = lead;
        else if ((lead & 0xE0) == 0xC0)
            extra = 1, cp = lead & 0x1F, minimum = 0x80;
        else if ((lead & 0xF0) == 0xE0)
            extra = 2, cp = lead & 0x0F, minimum = 0x800;
        else if ((lead & 0xF8) == 0xF0)
            extra = 3, cp = lead & 0x07, minimum = 0x10000;
        else
            return false;

        if (i + static_cast<size_t> (extra) >= bytes.size())
            return false;

        for (int k = 1; k <= extra; ++k)
        {
            const auto next = static_cast<unsigned char> (bytes[i + static_cast<size_t> (k)]);
            if ((next & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (next & 0x3F);
        }

        // Overlong forms, surrogates and values past the last plane are not UTF-8.
        if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;

        out.push_back (cp);
        i += static_cast<size_t> (extra) + 1;
    }
    return true;
}

void encodeUtf8 (char32_t cp, std::string& out)
{
    if (cp < 0x80)
        out += static_cast<char> (cp);
    else if (cp < 0x800)
    {
        out += static_cast<char> (0xC0 | (cp >> 6));
        out += static_cast<char> (0x80 | (cp & 0x3F));
    }
    else if (cp < 0x10000)
    {
        out += static_cast<char> (0xE0 | (cp >> 12));
        out += static_cast<char> (0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char> (0x80 | (cp & 0x3F));
    }
    else
    {
        out += static_cast<char> (0xF0 | (cp >> 18));
        out += static_cast<char> (0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char> (0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char> (0x80 | (cp & 0x3F));
    }
}

bool encode (const std::vector<char32_t>& codePoints, CFStringEncoding encoding, std::string& out)
{
    for (auto cp : codePoints)
    {
        if (encoding == kCFStringEncodingUTF8)
            encodeUtf8 (cp, out);
        else if (cp < 0x80)
            out += static_cast<char> (cp);
        else if (encoding == kCFStringEncodingMacRoman)
        {
            int found = -1;
            for (int k = 0; k < 128 && found < 0; ++k)
                if (macRomanHigh[k] == cp)
                    found = k;
            if (found < 0)
                return false;
            out += static_cast<char> (0x80 + found);
        }
        else
            return false;
    }
    return true;
}
} // namespace

CFStringRef CFStringCreateWithCString (CFAllocatorRef, const char* text, CFStringEncoding encoding)
{
    if (text == nullptr)
        return nullptr;

    auto* string = new (std::nothrow) __CFString();
    if (string == nullptr)
        return nullptr;

    try
    {
        const std::string bytes (text);
        bool valid = true;

        if (encoding == kCFStringEncodingUTF8)
            valid = decodeUtf8 (bytes, string->codePoints);
        else
        {
            for (auto c : bytes)
            {
                const auto byte = static_cast<unsigned char> (c);
                if (byte < 0x80)
                    string->codePoints.push_back (byte);
                else if (encoding == kCFStringEncodingMacRoman)
                    string->codePoints.push_back (macRomanHigh[byte - 0x80]);
                else
                    valid = false;
            }
        }

        if (valid)
            return string;
    }
    catch (...)
    {
    }

    delete string;
    return nullptr;
}

CFIndex CFStringGetLength (CFStringRef string)
{
    return string != nullptr ? static_cast<CFIndex> (string->codePoints.size()) : 0;
}

CFIndex CFStringGetMaximumSizeForEncoding (CFIndex length, CFStringEncoding encoding)
{
    return encoding == kCFStringEncodingUTF8 ? length * 4 : length;
}

Boolean CFStringGetCString (CFStringRef string, char* buffer, CFIndex bufferSize, CFStringEncoding encoding)
{
    if (string == nullptr || buffer == nullptr || bufferSize <= 0)
        return 0;

    try
    {
        std::string bytes;
        if (! encode (string->codePoints, encoding, bytes) || static_cast<CFIndex> (bytes.size()) >= bufferSize)
        {
            buffer[0] = '\0';
            return 0;
        }
        bytes.copy (buffer, bytes.size());
        buffer[bytes.size()] = '\0';
        return 1;
    }
    catch (...)
    {
        buffer[0] = '\0';
        return 0;
    }
}

void CFRelease (CFTypeRef object)
{
    delete static_cast<const __CFString*> (object);
}
