#pragma once

#include "math/Vector.h"
#include "osc/OSCAddress.h"
#include "osc/OSCArgument.h"

#include <initializer_list>
#include <string>

namespace kul
{

/** An address with its typed arguments. Copies are deep. */
class OSCMessage
{
public:
    OSCMessage() = default;
    explicit OSCMessage (const OSCAddress& messageAddress);
    OSCMessage (const OSCAddress& messageAddress, std::initializer_list<OSCArgument> messageArguments);

    void AddArgument (const OSCArgument& argument) { arguments.PushBack (argument); }

    /** Each argument's text followed by one blank, trailing white space removed. */
    std::string GetArgumentsText() const;

    /** The address, one blank, then the arguments text. */
    std::string ToString() const;

    OSCAddress address;
    Vector<OSCArgument> arguments;
};

} // namespace kul
