#include "dsp/AudioProcessorWithAutoMute.h"

#include "TestChannels.h"

#include <gtest/gtest.h>

#include <thread>
#include <string>
#include <vector>

#if defined(__SSE__)
 #include <xmmintrin.h>
#endif

namespace
{
class CountingProcessor : public kul::AudioProcessorWithAutoMute
{
public:
    CountingProcessor (unsigned int ins, unsigned int outs) : AudioProcessorWithAutoMute (ins, outs) {}
    void Process (float**, float**, unsigned int) override {}

    void SampleRateChanged (float rate) override
    {
        AudioProcessorWithAutoMute::SampleRateChanged (rate);
        rates.push_back (rate);
    }

    void BufferSizeChanged (unsigned int size) override { sizes.push_back (size); }
    void Clear() override { ++clears; }

    std::vector<float> rates;
    std::vector<unsigned int> sizes;
    int clears = 0;
};
} // namespace

TEST (AudioProcessorBase, PreparationCallsTheHooksOnlyWhenSomethingChangedOrIsForced)
{
    CountingProcessor processor (1, 1);
    processor.SetSampleRateAndBufferSize (512, false, 44100.0f);
    EXPECT_TRUE (processor.rates.empty());

    processor.SetSampleRateAndBufferSize (512, true, 44100.0f);
    processor.SetSampleRateAndBufferSize (0, false, 0.0f);
    processor.SetSampleRateAndBufferSize (64, false, -1.0f);
    processor.SetSampleRateAndBufferSize (64, false, 48000.0f);

    EXPECT_EQ (processor.rates, (std::vector<float> { 44100.0f, 44100.0f, 44100.0f, 48000.0f }));
    EXPECT_EQ (processor.sizes, (std::vector<unsigned int> { 512, 512, 64, 64 }));
    EXPECT_EQ (processor.clears, 4);
}

TEST (AudioProcessorBase, BypassCopiesConnectedChannelsAndZeroesTheOtherConnectedOutputs)
{
    CountingProcessor processor (2, 3);
    TestChannels<float> inputs (2, 4, 0.5f);
    TestChannels<float> outputs (3, 4, 9.0f);
    const std::vector<float> zeros (4, 0.0f), untouched (4, 9.0f);

    processor.ProcessBypass (outputs.get(), inputs.get(), 4);
    EXPECT_EQ (outputs.data, (std::vector<std::vector<float>> { inputs.data[0], inputs.data[1], zeros }));

    // Inlet 1 and outlet 2 unplugged: channel 1 is zeroed, output 2 left alone.
    const short counts[] = { 1, 0, 1, 1, 0 };
    processor.SetConnections (counts);
    outputs.fill (3, 4, 9.0f);
    processor.ProcessBypass (outputs.get(), inputs.get(), 4);
    EXPECT_EQ (outputs.data, (std::vector<std::vector<float>> { inputs.data[0], zeros, untouched }));

    processor.ProcessMute (outputs.get(), 4);
    EXPECT_EQ (outputs.data, (std::vector<std::vector<float>> { zeros, zeros, untouched }));
}

TEST (AudioProcessorBase, IndicesPastTheEndAreUnconnectedOrTheDumpOutletAndANewInletCountConnectsEveryInlet)
{
    CountingProcessor processor (2, 2);
    EXPECT_EQ ((std::vector<std::string> { processor.GetInletDescription (1), processor.GetInletDescription (2), processor.GetInletDescription (-1),
                                           processor.GetOutletDescription (1), processor.GetOutletDescription (2), processor.GetOutletDescription (-1) }),
               (std::vector<std::string> { "input #2", "", "", "output #2", "dumpout", "dumpout" }));

    const short none[] = { 0, 0, 0, 0 };
    processor.SetConnections (none);
    EXPECT_FALSE (processor.IsChannelConnected (0));
    EXPECT_FALSE (processor.IsAnyOutletConnected());

    processor.SetNumberOfInlets (2);
    EXPECT_FALSE (processor.IsOutletConnected (-1));
    EXPECT_FALSE (processor.IsInletActive (7));
    EXPECT_FALSE (processor.IsInletConnected (2u));

    processor.SetNumberOfInlets (3);
    EXPECT_TRUE (processor.IsInletConnected (0u));
    EXPECT_TRUE (processor.IsInletActive (2u));
}

TEST (AudioProcessorBase, AutoMuteTimeSwitchesAndClampsTheThresholdWhichFollowsTheRate)
{
    struct Case { float seconds; bool on; uint64_t threshold; };
    for (const auto& c : { Case { 0.0f, false, 882000 }, Case { -3.0f, false, 882000 }, Case { 0.5f, true, 44100 },
                           Case { 1000.0f, true, 22050000 } })
    {
        CountingProcessor processor (1, 1);
        processor.SetAutoMuteTime (c.seconds);
        EXPECT_EQ (processor.GetAnalyzer().autoMuteOn, c.on) << c.seconds;
        EXPECT_EQ (processor.GetAnalyzer().autoMuteThreshold, c.threshold) << c.seconds;
    }

    CountingProcessor processor (1, 1);
    processor.SetAutoMuteTime (2.0f);
    processor.SetSampleRateAndBufferSize (512, true, 96000.0f);
    processor.SetSampleRate (0.0f);
    EXPECT_EQ (processor.GetAnalyzer().autoMuteThreshold, 192000u);
}

TEST (AudioProcessorBase, SilentInletIsMutedAfterTheThresholdAndWakesOnTheFirstSample)
{
    CountingProcessor processor (2, 2);
    processor.SetAutoMuteTime (1.0f);
    const short counts[] = { 1, 0, 1, 1 };
    processor.SetConnections (counts);
    TestChannels<float> silence (2, 512, 0.0f);

    for (int block = 0; block < 86; ++block)
        processor.AnalyzeInletsActivity (silence.get(), 512);
    EXPECT_TRUE (processor.IsInletActive (0));
    EXPECT_FALSE (processor.IsInletActive (1));

    processor.AnalyzeInletsActivity (silence.get(), 512);
    EXPECT_FALSE (processor.IsInletActive (0));

    silence.data[0][511] = 1e-3f;
    processor.AnalyzeInletsActivity (silence.get(), 512);
    EXPECT_TRUE (processor.IsInletActive (0));
    EXPECT_EQ (processor.GetAnalyzer().silentSamples[0], 0u);
}

#if defined(__SSE__)
TEST (AudioProcessorBase, PreparationSwitchesDenormalsOffForTheCallingThreadOnly)
{
    // The control register is the thread's own: the test leaves it as it found it.
    constexpr unsigned int denormalBits = 0x8040u;
    const unsigned int saved = _mm_getcsr();
    _mm_setcsr (saved & ~denormalBits);

    CountingProcessor processor (1, 1);
    unsigned int otherThreadMode = 0;
    std::thread other ([&]
    {
        processor.SetSampleRateAndBufferSize (512, false, 44100.0f);
        otherThreadMode = _mm_getcsr();
    });
    other.join();

    EXPECT_EQ (otherThreadMode & denormalBits, denormalBits);
    EXPECT_EQ (_mm_getcsr() & denormalBits, 0u);

    processor.SetSampleRateAndBufferSize (512, false, 44100.0f);
    EXPECT_EQ (_mm_getcsr() & denormalBits, denormalBits);
    _mm_setcsr (saved);
}
#endif
