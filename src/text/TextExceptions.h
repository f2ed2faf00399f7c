#pragma once

#include "common/Exception.h"

namespace kul::text
{

/** Rethrows the exception being handled so that only library exceptions leave the
    text operations: a kul::Exception passes through unchanged, a std::exception
    becomes a kul::Exception with its what() text, anything else a
    kul::UnknownException; each reported with the given file and line.
    Call only inside a catch block. */
[[noreturn]] inline void RethrowAsLibraryException (const char* sourceFile, long line)
{
    kul::RethrowAsLibraryException (sourceFile, line, false);
}

} // namespace kul::text
