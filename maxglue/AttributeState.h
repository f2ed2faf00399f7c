#pragma once

#include "ext_obex.h"

#include "maxglue/HostRecords.h"

#include "text/StringArray.h"

#include <cstdint>
#include <string>

namespace oskelmax
{

/** The state list: the names by name order, less what is not state. */
kul::StringArray GetStateAttributeNames (t_object* x);

/** Whether the atoms are a value of the attribute's type: numbers for a number
    attribute (a long or a float, either standing for the other), symbols for a
    symbol attribute, anything for the others. Only the atoms the attribute holds
    are looked at; no setter takes the ones after them. A word where a number
    belongs would count as 0, and a number where a word belongs as the empty word:
    every path that turns atoms into an attribute's value refuses them here. */
bool IsValueOfAttribute (t_object* attribute, long ac, const t_atom* av) noexcept;

enum AttributeSortMode
{
    hostOrder = 0,
    sortByName = 1,
    sortByOrder = 2
};

} // namespace oskelmax

/** All attribute names of the object; mode 1 by name, 2 by "order" (attributes
    with an order first, by order, then the others by name), else the host's order. */
void GetAttributeNames (t_object* x, kul::StringArray& names, int sortMode);

/** Keeps, in order, the names that are state: visible, not opaque to the user,
    not a box attribute, holding at least one atom, and still found. */
void FilterStateAttributes (t_object* x, kul::StringArray& names);

std::int32_t GetNumberOfAtomsNeededToStoreAttribute (t_object* x, const std::string& name);
std::int32_t CountStateAtoms (t_object* x, const kul::StringArray& names);

/** For sorting pointers to host attribute objects: attributes with an order
    come first, by order; attributes without one compare equal among themselves. */
int CompareAttributeOrder (const void* a, const void* b);
