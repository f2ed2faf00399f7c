#include "containers/AudioBuffer.h"

#include "TestHelpers.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

namespace
{
using Samples = std::vector<float>;

// Channel c, sample s holds c x 100 + s, so every value tells where it came from.
struct Positions : public kul::AudioBuffer
{
    Positions (unsigned int numChannels, unsigned long numSamples) : kul::AudioBuffer (numChannels, numSamples)
    {
        for (unsigned int c = 0; c < numChannels; ++c)
            for (unsigned long s = 0; s < numSamples; ++s)
                GetChannel (c)[s] = static_cast<float> (c * 100 + s);
    }
};

Samples channelOf (const kul::AudioBuffer& buffer, unsigned int c)
{
    return { buffer.GetChannel (c), buffer.GetChannel (c) + buffer.GetNumSamples() };
}
} // namespace

TEST (AudioBuffer, SetSizeKeepsFlatPositionsAndKeepingContentKeepsChannels)
{
    EXPECT_EQ (kul::AudioBuffer (0, 0).GetData().Size(), 0u);

    Positions flat (2, 8);
    flat.SetSize (2, 4);
    EXPECT_EQ (channelOf (flat, 1), (Samples { 4, 5, 6, 7 }));

    Positions kept (2, 8);
    kept.SetSizeKeepingContent (3, 4);
    EXPECT_EQ (channelOf (kept, 1), (Samples { 100, 101, 102, 103 }));
    EXPECT_EQ (channelOf (kept, 2), (Samples { 0, 0, 0, 0 }));
    EXPECT_EQ (kept.GetData().Size(), 12u);

    kept.SetSizeKeepingContent (1, 6);
    EXPECT_EQ (channelOf (kept, 0), (Samples { 0, 1, 2, 3, 0, 0 }));
}

TEST (AudioBuffer, MemorySizeIsTheStorageHeldWhichShrinkingKeeps)
{
    EXPECT_EQ (kul::AudioBuffer (0, 0).GetMemorySizeMB(), 0.0f);

    kul::AudioBuffer buffer (2, 65536);
    EXPECT_EQ (buffer.GetMemorySizeMB(), 0.5f);
    buffer.SetSize (1, 8);
    EXPECT_EQ (buffer.GetMemorySizeMB(), 0.5f);
    buffer.SetSize (4, 65536);
    EXPECT_EQ (buffer.GetMemorySizeMB(), 1.0f);
}

// A library exception from below is raised again with the buffer's own file and
// line, so that its report names the buffer operation that failed.
TEST (AudioBuffer, FailuresAreRaisedAgainWithTheBuffersFileAndLine)
{
    const CaughtReports reports;
    const auto raisedBy = [] (auto&& operation)
    {
        try
        {
            operation();
        }
        catch (const kul::Exception& e)
        {
            return e.GetFileName() + ":" + std::to_string (e.GetLine()) + " " + e.GetMessage();
        }
        return std::string ("no exception");
    };

    // More samples than a vector can hold: it refuses before allocating anything.
    // Sizes whose bytes overflow are refused as well, and leave the buffer as it was.
    const unsigned long tooMany = 1ul << 61, huge = std::numeric_limits<unsigned long>::max() / 2;
    Positions buffer (2, 4);
    const struct { std::string failure, expectedStart; } cases[] = {
        { raisedBy ([&] { buffer.SetSize (4, huge); }),
          "OskelDspAudioBuffer:156 memory re-allocation failed (numChannels = 4, numSamples = 9223372036854775807)" },
        { raisedBy ([&] { buffer.SetSizeKeepingContent (3, huge); }), "OskelDspAudioBuffer:" },
        { raisedBy ([&] { kul::AudioBuffer (8, huge); }),
          "OskelDspAudioBuffer:70 memory re-allocation failed (numChannels = 8, numSamples = 9223372036854775807)" },
        { raisedBy ([&] { kul::AudioBuffer (1, tooMany); }), "OskelDspAudioBuffer:70 exception vector::_M_default_append occured in " },
        { raisedBy ([&] { buffer.SetSize (1, tooMany); }), "OskelDspAudioBuffer:156 exception vector::_M_default_append occured in " },
        { raisedBy ([&] { buffer.SetSize (4, tooMany); }),
          "OskelDspAudioBuffer:156 memory re-allocation failed (numChannels = 4, numSamples = 2305843009213693952)" },
    };

    for (const auto& c : cases)
        EXPECT_EQ (c.failure.substr (0, c.expectedStart.size()), c.expectedStart) << c.failure;

    // Each failure is reported where it arose and where the buffer raised it again.
    ASSERT_EQ (reports.texts().size(), 12u);
    EXPECT_EQ (reports.texts()[7].rfind ("Exception occured in file \"OskelDspAudioBuffer\" (line 70): \nexception vector::", 0), 0u)
        << reports.texts()[7];
    EXPECT_EQ (buffer.GetNumChannels(), 2u);
    EXPECT_EQ (channelOf (buffer, 1), (Samples { 100, 101, 102, 103 }));
}

TEST (AudioBuffer, CopyFromScalesCopiesAndStaysInsideTheChannel)
{
    Positions buffer (2, 4);
    const float source[] = { 1, 2, 3, 4, 5, 6 };
    buffer.CopyFrom (0, 2, source, 6, -2.0f);
    EXPECT_EQ (channelOf (buffer, 0), (Samples { 0, 1, -2, -4 }));

    // Starts past the end, a channel past the end and a source past its end take nothing.
    buffer.CopyFrom (0, 4, source, 2, 1.0f);
    buffer.CopyFrom (5, 0, source, 2, 1.0f);
    buffer.CopyFrom (1, 0, buffer, 0, 9, 1.0f);
    buffer.CopyFrom (1, 9, buffer, 0, 0, 1.0f);
    EXPECT_EQ (channelOf (buffer, 0), (Samples { 0, 1, -2, -4 }));
    EXPECT_EQ (channelOf (buffer, 1), (Samples { 100, 101, 102, 103 }));

    // Onto itself: gain 1 leaves it, gain 0 clears it.
    buffer.CopyFrom (1, 0, buffer.GetChannel (1), 4, 1.0f);
    EXPECT_EQ (channelOf (buffer, 1), (Samples { 100, 101, 102, 103 }));
    buffer.CopyFrom (1, 0, buffer, 1, 0, 0.0f);
    EXPECT_EQ (channelOf (buffer, 1), (Samples { 0, 0, 0, 0 }));

    buffer.CopyFrom (1, 1, Positions (1, 6), 0, 2, 0.5f);
    EXPECT_EQ (channelOf (buffer, 1), (Samples { 0, 1, 1.5f, 2 }));
}

TEST (AudioBuffer, OverlappingCopiesWithinAChannelMoveTheOriginalSamples)
{
    for (const float g : { 1.0f, 2.0f })
    {
        Positions forward (1, 8);
        forward.CopyFrom (0, 2, forward.GetChannel (0), 6, g);
        EXPECT_EQ (channelOf (forward, 0), (Samples { 0, 1, 0, g, 2 * g, 3 * g, 4 * g, 5 * g }));

        Positions backward (1, 8);
        backward.CopyFrom (0, 0, backward, 0, 3, g);
        EXPECT_EQ (channelOf (backward, 0), (Samples { 3 * g, 4 * g, 5 * g, 6 * g, 7 * g, 5, 6, 7 }));
    }
}
