#include "common/CallStack.h"

#include "text/StringArray.h"
#include "text/StringHelper.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>
#include <execinfo.h>
#include <memory>
#include <vector>

namespace
{
// Bounds the address buffer for callers that pass "as many as there are".
constexpr unsigned maxFramesTaken = 1024;

// Room for frames that a sanitizer's interceptor puts between backtrace and us.
constexpr unsigned extraFramesTaken = 8;

std::string hexText (uintptr_t value, bool padded)
{
    char text[32];
    std::snprintf (text, sizeof (text), padded ? "0x%016" PRIxPTR : "0x%" PRIxPTR, value);
    return text;
}

std::string imageNameOf (const char* path)
{
    std::string name (path);
    const auto lastSlash = name.find_last_of ('/');

    if (lastSlash != std::string::npos)
        name.erase (0, lastSlash + 1);

    // A blank in a folder or file name would split the frame into extra pieces.
    std::replace (name.begin(), name.end(), ' ', '_');
    return name.empty() ? "???" : name;
}

// glibc describes a frame as "./prog(_ZN3kul4TestEv+0x12) [0x4011d6]"; the parser
// wants "number image address symbol + offset", so the frame is described again
// from what the dynamic linker knows about the address.
std::string frameTextOf (int frameNumber, void* address, const char* systemText)
{
    const auto returnAddress = reinterpret_cast<uintptr_t> (address);

    // Outer frames hold return addresses, which point past the call; the call
    // itself lies in the function we want, even when it is that function's last
    // instruction.
    const auto lookupAddress = frameNumber > 0 ? returnAddress - 1 : returnAddress;

    Dl_info info {};

    if (dladdr (reinterpret_cast<void*> (lookupAddress), &info) == 0 || info.dli_fname == nullptr)
        return systemText != nullptr ? systemText : "";

    std::string symbol;
    uintptr_t offset = 0;

    if (info.dli_sname != nullptr && *info.dli_sname != '\0' && info.dli_saddr != nullptr)
    {
        symbol = info.dli_sname;
        offset = returnAddress - reinterpret_cast<uintptr_t> (info.dli_saddr);
    }
    else
    {
        // Without a dynamic symbol (a static function, a stripped library) the
        // address within its image is the most useful name there is.
        symbol = hexText (returnAddress - reinterpret_cast<uintptr_t> (info.dli_fbase), false);
    }

    return std::to_string (frameNumber) + " " + imageNameOf (info.dli_fname) + " "
           + hexText (returnAddress, true) + " " + symbol + " + " + std::to_string (offset);
}

struct FreeDeleter
{
    void operator() (char** texts) const noexcept { std::free (texts); }
};
} // namespace

std::string callStackEntryFromFrameText (const std::string& frameText, bool functionNamesOnly)
{
    kul::StringArray pieces;

    for (auto& piece : StringHelper::Split (frameText, " ", false))
        if (! piece.empty())
            pieces.Add (piece);

    if (pieces.size() != 6)
        return {};

    auto& symbol = pieces[3];

    if (symbol == "main")
        symbol = "main()";
    else if (symbol == "start")
        symbol = "start()";
    else
        symbol = StringHelper::Demangle (symbol);

    if (functionNamesOnly)
        return symbol;

    return pieces.JoinWithoutTrim (" ");
}

kul::StringArray getCallStack (unsigned maxFrames, bool functionNamesOnly)
{
    kul::StringArray entries;
    maxFrames = std::min (maxFrames, maxFramesTaken);

    if (maxFrames == 0)
        return entries;

    std::vector<void*> addresses (maxFrames + extraFramesTaken);
    const int numTaken = backtrace (addresses.data(), static_cast<int> (addresses.size()));

    // Frame 0 must be this function: under a sanitizer, backtrace's interceptor
    // comes first. The frame that returns to our caller is frame 1.
    const auto returnToCaller = __builtin_return_address (0);
    const auto* found = std::find (addresses.data(), addresses.data() + numTaken, returnToCaller);
    const int firstFrame = (found != addresses.data() && found != addresses.data() + numTaken)
                               ? static_cast<int> (found - addresses.data()) - 1
                               : 0;

    const int numFrames = std::min (numTaken - firstFrame, static_cast<int> (maxFrames));

    if (numFrames < 3)
        return entries;

    const std::unique_ptr<char*, FreeDeleter> systemTexts (backtrace_symbols (addresses.data() + firstFrame, numFrames));

    for (int frame = 0; frame < numFrames - 2; ++frame)
    {
        const char* systemText = systemTexts != nullptr ? systemTexts.get()[frame] : nullptr;
        entries.Add (callStackEntryFromFrameText (frameTextOf (frame, addresses[(size_t) (firstFrame + frame)], systemText),
                                                  functionNamesOnly));
    }

    return entries;
}

namespace kul
{

std::string GetCallerName() noexcept
{
    // getCallStack is frame 0, this function 1, the function that asks 2 and its
    // caller 3; the two outermost frames are dropped, so take two more.
    constexpr unsigned callerFrame = 3;

    try
    {
        const auto names = getCallStack (callerFrame + 3, true);

        if (names.size() > callerFrame)
            return names[callerFrame];
    }
    catch (...)
    {
        // Asked for on failure paths only: a report without the name is better
        // than a second failure.
    }

    return {};
}

} // namespace kul

std::string getOperatingSystemName()
{
    return "Mac OS";
}
