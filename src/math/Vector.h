#pragma once

#include "common/CallStack.h"
#include "common/Exception.h"

#include <cstddef>
#include <new>
#include <string>
#include <utility>
#include <vector>

namespace kul
{

/** Growable contiguous array. Growth failures leave the content as it was and
    reach the caller as a kul::Exception. Copies are element by element, so
    elements that own memory are safe to hold. */
template <typename T>
class Vector
{
public:
    Vector() = default;
    explicit Vector (size_t numElements) { Resize (numElements); }
    Vector (const Vector& other) { *this = other; }
    Vector (Vector&& other) noexcept : elements (std::move (other.elements)) {}
    virtual ~Vector() = default;

    /** Element-wise copy; storage that is large enough is reused. */
    [[gnu::noinline]] Vector& operator= (const Vector& other);

    Vector& operator= (Vector&& other) noexcept
    {
        elements = std::move (other.elements);
        return *this;
    }

    /** Makes the size exactly n. Keeping or shrinking the size never allocates. */
    [[gnu::noinline]] void Resize (size_t n);

    /** Appends one element. */
    [[gnu::noinline]] void PushBack (const T& value);

    size_t Size() const noexcept { return elements.size(); }
    bool IsEmpty() const noexcept { return elements.empty(); }

    /** The number of elements the storage holds room for; shrinking keeps the room. */
    size_t Capacity() const noexcept { return elements.capacity(); }

    T& operator[] (size_t index) noexcept { return elements[index]; }
    const T& operator[] (size_t index) const noexcept { return elements[index]; }

    T* GetData() noexcept { return elements.data(); }
    const T* GetData() const noexcept { return elements.data(); }

    T* begin() noexcept { return elements.data(); }
    T* end() noexcept { return elements.data() + elements.size(); }
    const T* begin() const noexcept { return elements.data(); }
    const T* end() const noexcept { return elements.data() + elements.size(); }

    bool Contains (const T& value) const
    {
        for (const auto& element : elements)
            if (element == value)
                return true;
        return false;
    }

private:
    std::vector<T> elements;

    static constexpr const char* pushBackSourceFile = "math/OskelDspVectorImplementation";

    /** Rethrows the exception being handled as a kul::Exception naming the caller. */
    [[noreturn]] static void throwTranslatedFailure (const std::string& callerName);

    // The texts of a failure are put together before anything is thrown, where no
    // exception may leave: should memory run out on the way, the failure has become
    // an out-of-memory one and is reported as such; should even that text fail, the
    // process ends, as when building any library exception fails.
    template <typename MakeText, typename MakeOutOfMemoryText>
    static std::string textOr (MakeText makeText, MakeOutOfMemoryText makeOutOfMemoryText) noexcept;
    static Exception pushBackOutOfMemory() noexcept;
};

template <typename T>
void Vector<T>::throwTranslatedFailure (const std::string& callerName)
{
    const auto outOfMemory = [&callerName] { return "out of memory occured in " + callerName; };
    std::string message;

    try
    {
        throw;
    }
    catch (const std::bad_alloc&)
    {
        message = textOr (outOfMemory, outOfMemory);
    }
    catch (const std::exception& e)
    {
        message = textOr ([&] { return "exception " + std::string (e.what()) + " occured in " + callerName; }, outOfMemory);
    }
    catch (...)
    {
        message = textOr ([&] { return "unknown exception occured in " + callerName; }, outOfMemory);
    }

    throw Exception (message, "", 0, false, false);
}

template <typename T>
template <typename MakeText, typename MakeOutOfMemoryText>
std::string Vector<T>::textOr (MakeText makeText, MakeOutOfMemoryText makeOutOfMemoryText) noexcept
{
    try
    {
        return makeText();
    }
    catch (...)
    {
        return makeOutOfMemoryText();
    }
}

template <typename T>
Exception Vector<T>::pushBackOutOfMemory() noexcept
{
    return Exception ("out of memory occured", pushBackSourceFile, 1753, true, false);
}

// The caller's name is taken in the handler of the growing function itself, so
// that the frame above it on the stack is the function that asked for the growth.
template <typename T>
void Vector<T>::Resize (size_t n)
{
    if (n == elements.size())
        return;

    try
    {
        elements.resize (n);
    }
    catch (...)
    {
        throwTranslatedFailure (GetCallerName());
    }
}

template <typename T>
Vector<T>& Vector<T>::operator= (const Vector& other)
{
    if (this == &other)
        return *this;

    try
    {
        elements = other.elements;
    }
    catch (...)
    {
        throwTranslatedFailure (GetCallerName());
    }

    return *this;
}

template <typename T>
void Vector<T>::PushBack (const T& value)
{
    try
    {
        elements.push_back (value);
    }
    catch (const std::bad_alloc&)
    {
        throw pushBackOutOfMemory();
    }
    catch (const std::exception& e)
    {
        std::string message;

        try
        {
            message = "exception " + std::string (e.what()) + " occured";
        }
        catch (...)
        {
            throw pushBackOutOfMemory();
        }

        throw Exception (message, pushBackSourceFile, 1759, true, false);
    }
    catch (...)
    {
        throw UnknownException (pushBackSourceFile, 1763, true, false);
    }
}

/** Each distinct element once, in order of first appearance. */
template <typename T>
Vector<T> GetDistinctValues (const Vector<T>& values)
{
    Vector<T> distinct;
    for (const auto& value : values)
        if (! distinct.Contains (value))
            distinct.PushBack (value);
    return distinct;
}

} // namespace kul
