#pragma once

#include "math/Vector.h"
#include "osc/OSCAddress.h"

#include <string>

namespace kul
{

/** The list of addresses a processor understands, with what each one takes and does. */
namespace OscDocumentation
{

struct Entry
{
    OSCAddress address;
    std::string argumentSpec;
    std::string description;

    /** An entry without an address (the root "/") or without a description documents nothing. */
    bool IsValid() const noexcept { return address.GetText() != "/" && ! description.empty(); }

    bool operator== (const Entry& other) const noexcept
    {
        return address.GetText() == other.address.GetText() && argumentSpec == other.argumentSpec
               && description == other.description;
    }
};

using List = Vector<Entry>;

/** Appends the entry when it is valid and not in the list yet. */
void AddEntry (List& list, const std::string& address, const std::string& argumentSpec, const std::string& description);

/** Adds every entry of the other list, in order, by the rule of AddEntry. */
void Merge (List& list, const List& otherList);

} // namespace OscDocumentation
} // namespace kul
