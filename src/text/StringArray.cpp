#include "text/StringArray.h"

#include "text/StringHelper.h"
#include "text/TextExceptions.h"

namespace kul
{

StringArray::StringArray (size_t numElements)
try : std::vector<std::string> (numElements)
{
}
catch (...)
{
    kul::text::RethrowAsLibraryException (__FILE__, __LINE__);
}

StringArray::StringArray (const StringArray& other)
try : std::vector<std::string> (other)
{
}
catch (...)
{
    kul::text::RethrowAsLibraryException (__FILE__, __LINE__);
}

StringArray::StringArray (StringArray&& other) noexcept
    : std::vector<std::string> (std::move (other))
{
    other.clear();
}

StringArray& StringArray::operator= (const StringArray& other)
{
    if (this != &other)
    {
        try
        {
            std::vector<std::string>::operator= (other);
        }
        catch (...)
        {
            kul::text::RethrowAsLibraryException (__FILE__, __LINE__);
        }
    }

    return *this;
}

StringArray& StringArray::operator= (StringArray&& other) noexcept
{
    if (this != &other)
    {
        std::vector<std::string>::operator= (std::move (other));
        other.clear();
    }

    return *this;
}

const StringArray& StringArray::GetEmpty()
{
    static const StringArray empty;
    return empty;
}

void StringArray::Add (const std::string& text)
{
    try
    {
        push_back (text);
    }
    catch (...)
    {
        kul::text::RethrowAsLibraryException (__FILE__, __LINE__);
    }
}

void StringArray::Clear()
{
    clear();
}

bool StringArray::Contains (const std::string& name, bool ignoreCase) const
{
    return IndexOf (name, ignoreCase) >= 0;
}

long StringArray::IndexOf (const std::string& name, bool ignoreCase) const
{
    for (size_t i = 0; i < size(); ++i)
        if (StringHelper::AreEqual ((*this)[i], name, ignoreCase))
            return static_cast<long> (i);

    return -1;
}

void StringArray::ToLowerCase()
{
    for (auto& text : *this)
        StringHelper::ToLowerCase (text);
}

std::string StringArray::JoinIntoString (const std::string& separator) const
{
    std::string joined (JoinWithoutTrim (separator));
    StringHelper::Trim (joined);
    return joined;
}

std::string StringArray::JoinWithoutTrim (const std::string& separator) const
{
    try
    {
        std::string joined;

        for (size_t i = 0; i < size(); ++i)
        {
            if (i > 0)
                joined += separator;

            joined += (*this)[i];
        }

        return joined;
    }
    catch (...)
    {
        kul::text::RethrowAsLibraryException (__FILE__, __LINE__);
    }
}

} // namespace kul
