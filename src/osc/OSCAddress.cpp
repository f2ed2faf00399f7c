#include "osc/OSCAddress.h"

#include "common/Exception.h"
#include "text/StringHelper.h"

namespace kul
{
namespace
{
// Every byte of a multi-byte UTF-8 sequence is 0x80 or above, and every code point
// it encodes lies above 126, so judging byte by byte refuses exactly the code
// points an address may not hold, without decoding (and so without any risk of
// reading past the end of a truncated sequence).
bool isAllowedInAddress (unsigned char byte) noexcept
{
    return byte >= 32 && byte <= 126 && byte != ' ' && byte != '#' && byte != '/';
}
} // namespace

OSCAddress::OSCAddress() = default;

OSCAddress::OSCAddress (const char* addressText)
{
    SetAddress (addressText != nullptr ? std::string (addressText) : std::string());
}

OSCAddress::OSCAddress (const std::string& addressText)
{
    SetAddress (addressText);
}

void OSCAddress::SetAddress (const std::string& addressText)
{
    std::string full (addressText);

    if (full.empty() || full.front() != '/')
        full.insert (full.begin(), '/');

    if (full == "/")
    {
        components.Clear();
        text = full;
        hasWildcards = false;
        return;
    }

    StringArray pieces;

    for (auto& piece : StringHelper::Split (full, "/", false))
        if (! piece.empty())
            pieces.Add (piece);

    for (const auto& piece : pieces)
        for (const char c : piece)
            if (! isAllowedInAddress (static_cast<unsigned char> (c)))
                throw Exception ("OSC format error: encountered characters not allowed in address string : " + full,
                                 "osc/OskelDspOscAddress", 62, true, false);

    auto trimmed = full;
    while (trimmed.size() > 1 && trimmed.back() == '/')
        trimmed.pop_back();

    // A text of slashes alone ("//") would otherwise lose its leading "/" too.
    if (trimmed == "/")
        pieces.Clear();

    components = std::move (pieces);
    text = std::move (trimmed);
    hasWildcards = text.find_first_of ("*?{}[]") != std::string::npos;
}

} // namespace kul
