#include "osc/OSCBundle.h"

#include "common/Exception.h"

namespace kul
{
namespace
{
[[noreturn]] void throwAccessError (long line)
{
    throw Exception ("Access error in OSC bundle element.", "osc/OskelDspOscBundle", line, true, false);
}
} // namespace

OSCBundle::Element::Element() noexcept = default;
OSCBundle::Element::~Element() = default;

OSCBundle::Element::Element (const OSCMessage& m) : message (std::make_unique<OSCMessage> (m)) {}
OSCBundle::Element::Element (const OSCBundle& b) : bundle (std::make_unique<OSCBundle> (b)) {}

OSCBundle::Element::Element (const Element& other)
    : message (other.message != nullptr ? std::make_unique<OSCMessage> (*other.message) : nullptr),
      bundle (other.bundle != nullptr ? std::make_unique<OSCBundle> (*other.bundle) : nullptr)
{
}

OSCBundle::Element::Element (Element&& other) noexcept = default;
OSCBundle::Element& OSCBundle::Element::operator= (Element&& other) noexcept = default;

OSCBundle::Element& OSCBundle::Element::operator= (const Element& other)
{
    if (this != &other)
    {
        Element copy (other);
        *this = std::move (copy);
    }

    return *this;
}

const OSCMessage& OSCBundle::Element::GetMessage() const
{
    if (message == nullptr)
        throwAccessError (41);

    return *message;
}

const OSCBundle& OSCBundle::Element::GetBundle() const
{
    if (bundle == nullptr)
        throwAccessError (50);

    return *bundle;
}

} // namespace kul
