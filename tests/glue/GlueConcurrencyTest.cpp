#include "GlueTestClass.h"

#include "maxglue/SymbolTable.h"

#include <atomic>
#include <thread>

using namespace gluetest;
using GlueConcurrencyTest = GlueTest;

// The reference-page writer refills the symbol table on the main thread while
// messages that read the table keep arriving on the scheduler thread.
TEST_F (GlueConcurrencyTest, SymbolTableRefillRacesNoReaderOnTheScheduler)
{
    TemporaryFolder folder;
    setenv ("home", folder.path().c_str(), 1);
    makeProbe();
    constexpr int rounds = 200;
    std::atomic<int> done { 0 };
    std::thread sender ([&] {
        for (int i = 0; i < rounds; ++i)
        {
            maxhost::sendFromScheduler (x, "dump", { atomSym ("gain") });
            maxhost::sendFromScheduler (x, "postattributes", { atomSym ("mode") });
            done.fetch_add (1);
        }
    });
    int refills = 0;
    while (done.load() < rounds)
    {
        oskelmax_initsymboltable();
        EXPECT_EQ (oskelmax::GetSymbol (oskelmax::symGain), gensym ("gain"));
        if (++refills % 50 == 0)
            maxhost::send (x, "generatexml");
    }
    sender.join();
    unsetenv ("home");
    EXPECT_EQ (dumpEvents().size(), static_cast<size_t> (rounds));
    EXPECT_TRUE (errors().empty());
    EXPECT_TRUE (bugs().empty());
}
