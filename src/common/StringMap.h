#pragma once

#include "math/Vector.h"
#include "text/StringArray.h"

#include <string>

namespace kul
{

/** Maps names to values of a small value type, in insertion order. Several names
    may share a value; a value's first name is its canonical text. Lookups are
    linear: the maps hold a handful of entries. */
template <typename T>
class StringMap
{
public:
    explicit StringMap (bool ignoreCaseWhenLookingUp) : ignoreCase (ignoreCaseWhenLookingUp) {}

    /** The value of the name; an absent name is added first with a zero value,
        so a map is filled by assigning through this operator. */
    T& operator[] (const std::string& name)
    {
        const auto index = names.IndexOf (name, ignoreCase);

        if (index >= 0)
            return values[static_cast<size_t> (index)];

        names.Add (name);

        try
        {
            values.PushBack (T {});
        }
        catch (...)
        {
            // A name without a value would shift every later pair.
            names.pop_back();
            throw;
        }

        return values[values.Size() - 1];
    }

    /** The first name whose value equals the value; the empty text when none has it. */
    std::string GetKeyOf (const T& value) const
    {
        for (size_t i = 0; i < values.Size(); ++i)
            if (values[i] == value)
                return names[i];

        return {};
    }

    /** The canonical name of each distinct value, in order of first appearance. */
    StringArray GetAllKeys (bool lowerCase) const
    {
        StringArray keys;

        for (const auto& value : GetDistinctValues (values))
            keys.Add (GetKeyOf (value));

        if (lowerCase)
            keys.ToLowerCase();

        return keys;
    }

    size_t Size() const noexcept { return names.size(); }
    bool IsIgnoringCase() const noexcept { return ignoreCase; }
    const StringArray& GetNames() const noexcept { return names; }
    const Vector<T>& GetValues() const noexcept { return values; }

private:
    bool ignoreCase;
    StringArray names;
    Vector<T> values;
};

} // namespace kul
