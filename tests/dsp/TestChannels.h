#pragma once

#include <vector>

/** Channels of samples, all set to one value, with the pointer table the block
    operations take. */
template <typename T>
struct TestChannels
{
    TestChannels (size_t numChannels, size_t numSamples, T value) { fill (numChannels, numSamples, value); }
    TestChannels (const TestChannels&) = delete;

    void fill (size_t numChannels, size_t numSamples, T value)
    {
        data.assign (numChannels, std::vector<T> (numSamples, value));
        pointers.clear();
        for (auto& channel : data)
            pointers.push_back (channel.data());
    }

    T** get() { return pointers.data(); }

    std::vector<std::vector<T>> data;
    std::vector<T*> pointers;
};
