#pragma once

#include <string>
#include <vector>

namespace kul
{

/** An ordered list of texts; duplicates allowed. */
class StringArray : public std::vector<std::string>
{
public:
    StringArray() = default;
    explicit StringArray (size_t numElements);
    StringArray (const StringArray& other);
    StringArray (StringArray&& other) noexcept;
    StringArray& operator= (const StringArray& other);
    StringArray& operator= (StringArray&& other) noexcept;

    /** The shared empty list. */
    static const StringArray& GetEmpty();

    void Add (const std::string& text);
    void Clear();
    bool Contains (const std::string& name, bool ignoreCase) const;
    long IndexOf (const std::string& name, bool ignoreCase) const;
    void ToLowerCase();
    std::string JoinIntoString (const std::string& separator) const;
    std::string JoinWithoutTrim (const std::string& separator) const;
};

/** A text-to-text map held as two parallel lists. */
class StringPairArray
{
public:
    explicit StringPairArray (bool ignoreCase);
    StringPairArray (const StringPairArray&) = default;
    ~StringPairArray();
    StringPairArray& operator= (const StringPairArray& other);

    size_t Size() const noexcept;
    void Set (const std::string& key, const std::string& value);

    const StringArray& GetKeys() const noexcept { return keys; }
    const StringArray& GetValues() const noexcept { return values; }

private:
    StringArray keys;
    StringArray values;
    bool ignoreCase;
};

} // namespace kul
