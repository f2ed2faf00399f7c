// The window tests' own main: X set up before JUCE opens the display, then the
// stand-in host and JUCE's GUI support on this one thread, which so becomes both
// the host's main thread and JUCE's message thread, as in the plug-in.
#include "WindowTestSupport.h"


namespace windowtest
{
namespace
{
t_class* ownerClass = nullptr;

struct Owner
{
    t_object ob;
};

void* ownerNew (t_symbol*, long, t_atom*)
{
    return object_alloc (ownerClass);
}

void registerOwnerClass()
{
    ownerClass = class_new ("zelm.windowowner", reinterpret_cast<method> (reinterpret_cast<void (*)()> (ownerNew)),
                            nullptr, sizeof (Owner), nullptr, A_GIMME, 0);
    class_register (CLASS_BOX, ownerClass);
}
} // namespace

void pump (int ms)
{
    for (int waited = 0; waited < ms; waited += 5)
    {
        maxhost::pumpMainThread();
        juce::MessageManager::getInstance()->runDispatchLoopUntil (5);
    }
    maxhost::pumpMainThread();
}

bool pumpUntil (const std::function<bool()>& condition, int maxMs)
{
    for (int waited = 0; ! condition(); waited += 5)
    {
        if (waited >= maxMs)
            return false;

        pump (5);
    }
    return true;
}

t_object* newOwner()
{
    return maxhost::newObject ("zelm.windowowner");
}
} // namespace windowtest

int main (int argc, char** argv)
{
    testsupport::prepareX();
    ::testing::InitGoogleTest (&argc, argv);

    maxhost::initialise();
    windowtest::registerOwnerClass();
    const int result = testsupport::runAllTestsWithJuce();
    maxhost::shutdown();
    return result;
}
