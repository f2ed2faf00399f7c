#include "osc/OSCArgument.h"

#include "text/StringHelper.h"

#include <utility>

namespace kul
{

OSCArgument::OSCArgument() noexcept = default;

OSCArgument::OSCArgument (bool b) noexcept : typeTag (b ? 'T' : 'F') { value.boolValue = b; }
OSCArgument::OSCArgument (int32_t v) noexcept : typeTag ('i') { value.int32Value = v; }
OSCArgument::OSCArgument (int64_t v) noexcept : typeTag ('h') { value.int64Value = v; }
OSCArgument::OSCArgument (float v) noexcept : typeTag ('f') { value.float32Value = v; }
OSCArgument::OSCArgument (double v) noexcept : typeTag ('d') { value.float64Value = v; }
OSCArgument::OSCArgument (const std::string& v) : typeTag ('s'), stringValue (v) {}
OSCArgument::OSCArgument (const char* v) : typeTag ('s'), stringValue (v != nullptr ? v : "") {}
OSCArgument::OSCArgument (const MemoryBlock& v) : typeTag ('b'), blob (v) {}

OSCArgument OSCArgument::Impulse() noexcept
{
    OSCArgument a;
    a.typeTag = 'I';
    return a;
}

OSCArgument OSCArgument::Nil() noexcept
{
    return {};
}

OSCArgument::OSCArgument (const OSCArgument& other)
{
    copyUsedPartFrom (other);
}

OSCArgument::OSCArgument (OSCArgument&& other) noexcept
    : typeTag (other.typeTag),
      value (other.value),
      stringValue (std::move (other.stringValue)),
      blob (std::move (other.blob))
{
}

OSCArgument& OSCArgument::operator= (const OSCArgument& other)
{
    if (this != &other)
    {
        OSCArgument copy (other);
        *this = std::move (copy);
    }

    return *this;
}

OSCArgument& OSCArgument::operator= (OSCArgument&& other) noexcept
{
    typeTag = other.typeTag;
    value = other.value;
    stringValue = std::move (other.stringValue);
    blob = std::move (other.blob);
    return *this;
}

void OSCArgument::copyUsedPartFrom (const OSCArgument& other)
{
    typeTag = other.typeTag;

    switch (typeTag)
    {
        case 'T': value.boolValue = true; break;
        case 'F': value.boolValue = false; break;
        case 'i':
        case 'f':
        case 'h':
        case 'd': value = other.value; break;
        case 's': stringValue = other.stringValue; break;
        case 'b': blob = other.blob; break;
        default: break;
    }
}

std::string OSCArgument::ToString() const
{
    switch (typeTag)
    {
        case 'T':
        case 'F': return value.boolValue ? "1" : "0";
        case 'i': return StringHelper::ToString (static_cast<int> (value.int32Value));
        case 'h': return StringHelper::ToString (static_cast<long> (value.int64Value));
        case 'f': return StringHelper::ToString (value.float32Value);
        case 'd': return StringHelper::ToString (value.float64Value);
        case 's': return "'" + stringValue + "'";
        default: return {};
    }
}

} // namespace kul
