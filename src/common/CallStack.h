#pragma once

#include <string>

namespace kul
{
class StringArray;

/** The demangled name of the function that called the function asking for it,
    or the empty text when the stack is not that deep (or the name can't be taken).
    Counts frames, so it must stay a real call: never inlined. */
[[gnu::noinline]] std::string GetCallerName() noexcept;
} // namespace kul

/** One text per frame of the current call stack, innermost first (this function is
    frame 0), less the two outermost frames; empty when fewer than 3 frames exist.
    Each entry is the frame's function name alone, or with functionNamesOnly false
    the whole frame "number image address symbol + offset". */
[[gnu::noinline]] kul::StringArray getCallStack (unsigned maxFrames, bool functionNamesOnly);

/** Turns one frame text ("number image address symbol + offset") into a
    call-stack entry; a text without exactly six pieces gives the empty text. */
std::string callStackEntryFromFrameText (const std::string& frameText, bool functionNamesOnly);

std::string getOperatingSystemName();
