#pragma once

#include <cstdint>

/** A small string type shaped like the platform's immutable strings: text is
    held as Unicode code points and converted from and to a few 8-bit encodings. */
using Boolean = unsigned char;
using CFIndex = long;
using CFStringEncoding = std::uint32_t;

struct __CFString;
using CFStringRef = const __CFString*;
using CFAllocatorRef = const void*;
using CFTypeRef = const void*;

constexpr CFAllocatorRef kCFAllocatorDefault = nullptr;

enum : CFStringEncoding
{
    kCFStringEncodingMacRoman = 0,
    kCFStringEncodingASCII = 0x0600,
    kCFStringEncodingUTF8 = 0x08000100
};

/** Reads a zero-terminated text in the given encoding; null when the bytes are not valid in it. */
CFStringRef CFStringCreateWithCString (CFAllocatorRef allocator, const char* text, CFStringEncoding encoding);

/** The number of code points. */
CFIndex CFStringGetLength (CFStringRef string);

/** The most bytes that a text of `length` code points can take in the encoding. */
CFIndex CFStringGetMaximumSizeForEncoding (CFIndex length, CFStringEncoding encoding);

/** Writes the text, zero-terminated, into `buffer`; false when it does not fit
    or cannot be expressed in the encoding (the buffer then holds no text). */
Boolean CFStringGetCString (CFStringRef string, char* buffer, CFIndex bufferSize, CFStringEncoding encoding);

void CFRelease (CFTypeRef object);
