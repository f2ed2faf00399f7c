#pragma once

#include <string>

namespace kul
{
class StringArray;

/** The demangled name of the function that called the function asking for it,
    or the empty text when the stack is not that deep. */
std::string GetCallerName();
} // namespace kul

/** One text per frame of the current call stack, innermost first (this function is
    frame 0), less the two outermost frames; empty when fewer than 3 frames exist. */
kul::StringArray getCallStack (unsigned maxFrames, bool functionNamesOnly);

/** Turns one platform frame line ("number image address symbol + offset") into a
    call-stack entry; a line without exactly six pieces gives the empty text. */
std::string callStackEntryFromFrameText (const std::string& frameText, bool functionNamesOnly);

std::string getOperatingSystemName();
