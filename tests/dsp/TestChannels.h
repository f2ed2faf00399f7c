#pragma once

#include <vector>

/** Channels of samples, all set to one value, with the pointer table the block
    operations take. */
template <typename T>
struct TestChannels
{
    TestChannels (size_t numChannels, size_t numSamples, T value)
        : data (numChannels, std::vector<T> (numSamples, value))
    {
        for (auto& channel : data)
            pointers.push_back (channel.data());
    }

    // A copy points at its own samples.
    TestChannels (const TestChannels& other) : TestChannels (0, 0, T (0)) { *this = other; }

    TestChannels& operator= (const TestChannels& other)
    {
        data = other.data;
        pointers.clear();
        for (auto& channel : data)
            pointers.push_back (channel.data());
        return *this;
    }

    T** get() { return pointers.data(); }

    std::vector<std::vector<T>> data;
    std::vector<T*> pointers;
};
