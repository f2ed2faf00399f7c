#include "containers/AudioBuffer.h"

#include <gtest/gtest.h>

#include <limits>
#include <numeric>
#include <vector>

namespace
{
// Channel c, sample s holds c x 100 + s, so every value tells where it came from.
void fillWithPositions (kul::AudioBuffer& buffer)
{
    for (unsigned int c = 0; c < buffer.GetNumChannels(); ++c)
        for (unsigned long s = 0; s < buffer.GetNumSamples(); ++s)
            buffer.GetChannel (c)[s] = static_cast<float> (c * 100 + s);
}

std::vector<float> channelOf (const kul::AudioBuffer& buffer, unsigned int c)
{
    const float* data = buffer.GetChannel (c);
    return { data, data + buffer.GetNumSamples() };
}
} // namespace

TEST (AudioBuffer, EmptyBufferHoldsNoStorage)
{
    kul::AudioBuffer buffer (0, 0);
    EXPECT_EQ (buffer.GetData().Size(), 0u);
    EXPECT_EQ (buffer.GetMemorySizeMB(), 0.0f);

    kul::AudioBuffer large (2, 131072);
    EXPECT_FLOAT_EQ (large.GetMemorySizeMB(), 1.0f);
}

TEST (AudioBuffer, SetSizeKeepsFlatPositionsAndKeepingContentKeepsChannels)
{
    kul::AudioBuffer flat (2, 8);
    fillWithPositions (flat);
    flat.SetSize (2, 4);
    EXPECT_EQ (channelOf (flat, 0), (std::vector<float> { 0, 1, 2, 3 }));
    EXPECT_EQ (channelOf (flat, 1), (std::vector<float> { 4, 5, 6, 7 }));

    kul::AudioBuffer kept (2, 8);
    fillWithPositions (kept);
    kept.SetSizeKeepingContent (3, 4);
    EXPECT_EQ (channelOf (kept, 0), (std::vector<float> { 0, 1, 2, 3 }));
    EXPECT_EQ (channelOf (kept, 1), (std::vector<float> { 100, 101, 102, 103 }));
    EXPECT_EQ (channelOf (kept, 2), (std::vector<float> { 0, 0, 0, 0 }));
    EXPECT_EQ (kept.GetData().Size(), 12u);

    kept.SetSizeKeepingContent (1, 6);
    EXPECT_EQ (channelOf (kept, 0), (std::vector<float> { 0, 1, 2, 3, 0, 0 }));
}

TEST (AudioBuffer, SizeThatCannotBeHadThrowsAndLeavesTheBufferAsItWas)
{
    kul::AudioBuffer buffer (2, 4);
    fillWithPositions (buffer);

    const auto huge = std::numeric_limits<unsigned long>::max() / 2;
    EXPECT_THROW (buffer.SetSize (4, huge), kul::Exception);
    EXPECT_THROW (buffer.SetSizeKeepingContent (3, huge), kul::Exception);
    EXPECT_THROW (kul::AudioBuffer (8, huge), kul::Exception);

    EXPECT_EQ (buffer.GetNumChannels(), 2u);
    EXPECT_EQ (buffer.GetNumSamples(), 4u);
    EXPECT_EQ (channelOf (buffer, 1), (std::vector<float> { 100, 101, 102, 103 }));
}

TEST (AudioBuffer, CopyFromScalesCopiesAndStaysInsideTheChannel)
{
    kul::AudioBuffer buffer (2, 4);
    fillWithPositions (buffer);
    const float source[] = { 1, 2, 3, 4, 5, 6 };

    buffer.CopyFrom (0, 1, source, 2, 1.0f);
    EXPECT_EQ (channelOf (buffer, 0), (std::vector<float> { 0, 1, 2, 3 }));

    buffer.CopyFrom (0, 2, source, 6, -2.0f);
    EXPECT_EQ (channelOf (buffer, 0), (std::vector<float> { 0, 1, -2, -4 }));

    // Starts past the end, a channel past the end and a source past its end take nothing.
    buffer.CopyFrom (0, 4, source, 2, 1.0f);
    buffer.CopyFrom (5, 0, source, 2, 1.0f);
    buffer.CopyFrom (1, 0, buffer, 0, 9, 1.0f);
    buffer.CopyFrom (1, 9, buffer, 0, 0, 1.0f);
    EXPECT_EQ (channelOf (buffer, 0), (std::vector<float> { 0, 1, -2, -4 }));
    EXPECT_EQ (channelOf (buffer, 1), (std::vector<float> { 100, 101, 102, 103 }));

    // Onto itself: gain 1 leaves it, gain 0 clears it.
    buffer.CopyFrom (1, 0, buffer.GetChannel (1), 4, 1.0f);
    EXPECT_EQ (channelOf (buffer, 1), (std::vector<float> { 100, 101, 102, 103 }));
    buffer.CopyFrom (1, 0, buffer, 1, 0, 0.0f);
    EXPECT_EQ (channelOf (buffer, 1), (std::vector<float> { 0, 0, 0, 0 }));

    kul::AudioBuffer longer (1, 6);
    fillWithPositions (longer);
    buffer.CopyFrom (1, 1, longer, 0, 2, 0.5f);
    EXPECT_EQ (channelOf (buffer, 1), (std::vector<float> { 0, 1, 1.5f, 2 }));
}

TEST (AudioBuffer, OverlappingCopiesWithinAChannelMoveTheOriginalSamples)
{
    for (const float gain : { 1.0f, 2.0f })
    {
        kul::AudioBuffer forward (1, 8);
        fillWithPositions (forward);
        forward.CopyFrom (0, 2, forward.GetChannel (0), 6, gain);
        EXPECT_EQ (channelOf (forward, 0), (std::vector<float> { 0, 1, 0, gain, 2 * gain, 3 * gain, 4 * gain, 5 * gain }));

        kul::AudioBuffer backward (1, 8);
        fillWithPositions (backward);
        backward.CopyFrom (0, 0, backward, 0, 3, gain);
        EXPECT_EQ (channelOf (backward, 0), (std::vector<float> { 3 * gain, 4 * gain, 5 * gain, 6 * gain, 7 * gain, 5, 6, 7 }));
    }
}
