#pragma once

#include "text/StringArray.h"

#include <string>

namespace kul
{

/** An OSC address such as "/dsp/mute": its text, always starting with "/" and
    without a trailing "/", and its non-empty components. */
class OSCAddress
{
public:
    /** The root address "/". */
    OSCAddress();

    /** Throws a kul::Exception when a component holds a character that an
        address cannot carry (control characters, non-ASCII, blank, '#'). */
    OSCAddress (const char* text);
    OSCAddress (const std::string& text);

    OSCAddress (const OSCAddress&) = default;
    OSCAddress (OSCAddress&&) noexcept = default;
    OSCAddress& operator= (const OSCAddress&) = default;
    OSCAddress& operator= (OSCAddress&&) noexcept = default;
    ~OSCAddress() = default;

    /** Replaces the address; on a refused text the address stays as it was. */
    void SetAddress (const std::string& text);

    const StringArray& GetComponents() const noexcept { return components; }
    const std::string& GetText() const noexcept { return text; }
    bool HasWildcards() const noexcept { return hasWildcards; }

    bool operator== (const OSCAddress& other) const noexcept { return text == other.text; }

private:
    StringArray components;
    std::string text { "/" };
    bool hasWildcards = false;
};

} // namespace kul
