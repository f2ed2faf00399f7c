#pragma once

#include "memory/MemoryBlock.h"

#include <cstdint>
#include <string>

namespace kul
{

/** One typed OSC argument. The type tag says which part of the argument is in use:
    'T' true, 'F' false, 'I' impulse, 'N' nil, 'i' 32-bit integer, 'f' 32-bit float,
    'h' 64-bit integer, 'd' 64-bit float, 's' string, 'b' blob. A copy carries the
    tag and only the part the tag uses. */
class OSCArgument
{
public:
    /** Nil. */
    OSCArgument() noexcept;
    explicit OSCArgument (bool value) noexcept;
    explicit OSCArgument (int32_t value) noexcept;
    explicit OSCArgument (int64_t value) noexcept;
    explicit OSCArgument (float value) noexcept;
    explicit OSCArgument (double value) noexcept;
    explicit OSCArgument (const std::string& value);
    explicit OSCArgument (const char* value);
    explicit OSCArgument (const MemoryBlock& value);

    static OSCArgument Impulse() noexcept;
    static OSCArgument Nil() noexcept;

    OSCArgument (const OSCArgument& other);
    OSCArgument (OSCArgument&& other) noexcept;
    OSCArgument& operator= (const OSCArgument& other);
    OSCArgument& operator= (OSCArgument&& other) noexcept;
    ~OSCArgument() = default;

    char GetTypeTag() const noexcept { return typeTag; }

    bool GetBool() const noexcept { return value.boolValue; }
    int32_t GetInt32() const noexcept { return value.int32Value; }
    int64_t GetInt64() const noexcept { return value.int64Value; }
    float GetFloat32() const noexcept { return value.float32Value; }
    double GetFloat64() const noexcept { return value.float64Value; }
    const std::string& GetString() const noexcept { return stringValue; }
    const MemoryBlock& GetBlob() const noexcept { return blob; }

    /** "1"/"0" for true/false, numbers in decimal, strings between single quotes;
        the empty text for impulse, nil, blobs and unknown tags. */
    std::string ToString() const;

private:
    union Value
    {
        bool boolValue;
        int32_t int32Value;
        int64_t int64Value;
        float float32Value;
        double float64Value;
    };

    char typeTag = 'N';
    Value value { .int64Value = 0 };
    std::string stringValue;
    MemoryBlock blob;

    void copyUsedPartFrom (const OSCArgument& other);
};

} // namespace kul
