#include "text/StringArray.h"

#include "text/TextExceptions.h"

namespace kul
{

StringPairArray::StringPairArray (bool shouldIgnoreCase)
    : ignoreCase (shouldIgnoreCase)
{
}

// Members go in reverse order: values, then keys.
StringPairArray::~StringPairArray() = default;

StringPairArray& StringPairArray::operator= (const StringPairArray& other)
{
    if (this != &other)
    {
        // Copies first, so that a failure leaves this map as it was.
        StringArray newKeys (other.keys);
        StringArray newValues (other.values);
        keys = std::move (newKeys);
        values = std::move (newValues);
        ignoreCase = other.ignoreCase;
    }

    return *this;
}

size_t StringPairArray::Size() const noexcept
{
    return keys.size();
}

void StringPairArray::Set (const std::string& key, const std::string& value)
{
    const long i = keys.IndexOf (key, ignoreCase);

    if (i >= 0 && static_cast<size_t> (i) < values.size())
    {
        try
        {
            values[static_cast<size_t> (i)] = value;
        }
        catch (...)
        {
            kul::text::RethrowAsLibraryException (__FILE__, __LINE__);
        }

        return;
    }

    keys.Add (key);

    try
    {
        values.Add (value);
    }
    catch (...)
    {
        // Keep the two lists the same length.
        keys.pop_back();
        throw;
    }
}

} // namespace kul
