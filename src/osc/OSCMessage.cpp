#include "osc/OSCMessage.h"

#include "text/StringHelper.h"

namespace kul
{

OSCMessage::OSCMessage (const OSCAddress& messageAddress) : address (messageAddress) {}

OSCMessage::OSCMessage (const OSCAddress& messageAddress, std::initializer_list<OSCArgument> messageArguments)
    : address (messageAddress)
{
    for (const auto& argument : messageArguments)
        arguments.PushBack (argument);
}

std::string OSCMessage::GetArgumentsText() const
{
    std::string text;

    for (const auto& argument : arguments)
        text += argument.ToString() + " ";

    StringHelper::TrimRight (text);
    return text;
}

std::string OSCMessage::ToString() const
{
    return address.GetText() + " " + GetArgumentsText();
}

} // namespace kul
