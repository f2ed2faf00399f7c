#include "dsp/Mixer.h"

#include "../TestChannels.h"

#include <gtest/gtest.h>

#include <cstdlib>

// RealtimeSanitizer's entry points: inside the context, an allocation, a lock
// or a blocking system call ends the process with a report.
extern "C" void __rtsan_realtime_enter();
extern "C" void __rtsan_realtime_exit();

namespace
{
struct RealtimeContext
{
    RealtimeContext() { __rtsan_realtime_enter(); }
    ~RealtimeContext() { __rtsan_realtime_exit(); }
};

void processInRealtimeContext (kul::Mixer& mixer, unsigned int numChannels, unsigned int numSamples, int numBlocks)
{
    TestChannels<double> in (numChannels, numSamples, 0.25), out (numChannels, numSamples, 0.0);

    for (int block = 0; block < numBlocks; ++block)
    {
        // Settings change between blocks, so that each block adopts new ones.
        mixer.SetGain (block % 2 == 0 ? -6.0f : 0.0f, block % 3 == 0);
        mixer.SetMeteringMode (block % 2 == 0 ? "peak" : "rms");
        mixer.SetRefreshInterval (static_cast<float> (block));
        mixer.SetSolo (0, block % 4 == 1);
        mixer.SetMute (1, block % 5 == 1);
        mixer.SetPostGainMetering (block % 2 == 0);

        const RealtimeContext realtime;
        mixer.Process (out.get(), in.get(), numSamples);
    }
}
} // namespace

TEST (MixerRealtime, ProcessNeverAllocatesLocksOrBlocks)
{
    kul::Mixer mixer (9);
    mixer.SetSampleRateAndBufferSize (64, true, 44100.0f);
    processInRealtimeContext (mixer, 9, 64, 40);

    kul::Mixer single (1);
    processInRealtimeContext (single, 1, 1, 4);
}

// Without this, a checker that silently did nothing would pass every test.
TEST (MixerRealtimeDeathTest, AllocationInTheRealtimeContextIsCaught)
{
    GTEST_FLAG_SET (death_test_style, "threadsafe");
    EXPECT_DEATH (
        {
            const RealtimeContext realtime;
            void* volatile block = std::malloc (64);
            std::free (block);
        },
        "");
}
