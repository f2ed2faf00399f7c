#include "MeterTestSupport.h"

#include <chrono>
#include <thread>

namespace metertest
{

t_atom atomLong (t_atom_long value)
{
    t_atom atom;
    atom_setlong (&atom, value);
    return atom;
}

t_atom atomFloat (double value)
{
    t_atom atom;
    atom_setfloat (&atom, value);
    return atom;
}

t_atom atomSym (const char* name)
{
    t_atom atom;
    atom_setsym (&atom, gensym (name));
    return atom;
}

void MeterTest::SetUp()
{
    GuiTest::SetUp();
    maxhost::initialise (hostOptions());
    ASSERT_EQ (meter_main(), 0);
    ASSERT_NE (meter_class, nullptr);
}

void MeterTest::TearDown()
{
    maxhost::shutdown();
    GuiTest::TearDown();
}

t_meter* MeterTest::create (const std::string& arguments)
{
    auto* object = maxhost::newObject ("zelm.meter~", arguments);
    settle();
    return reinterpret_cast<t_meter*> (object);
}

void MeterTest::send (t_meter* meter, const std::string& selector, const std::vector<t_atom>& arguments)
{
    maxhost::send (asObject (meter), selector, arguments);
}

void MeterTest::sendText (t_meter* meter, const std::string& text)
{
    auto atoms = maxhost::parseAtoms (text);
    ASSERT_FALSE (atoms.empty());
    const std::string selector = atom_getsym (atoms.data())->s_name;
    atoms.erase (atoms.begin());
    maxhost::send (asObject (meter), selector, atoms);
}

void MeterTest::sendFromScheduler (t_meter* meter, const std::string& text)
{
    auto atoms = maxhost::parseAtoms (text);
    ASSERT_FALSE (atoms.empty());
    const std::string selector = atom_getsym (atoms.data())->s_name;
    atoms.erase (atoms.begin());
    maxhost::sendFromScheduler (asObject (meter), selector, atoms);
}

std::vector<std::string> MeterTest::dumpLines (t_meter* meter)
{
    const int dumpOutlet = static_cast<int> (meter->numchannels) + 1;
    std::vector<std::string> lines;

    for (const auto& event : maxhost::outletEvents())
        if (event.object == asObject (meter) && event.outlet == dumpOutlet)
            lines.push_back (event.selector + (event.atoms.empty() ? "" : " " + maxhost::atomsToText (event.atoms)));

    return lines;
}

std::vector<std::string> MeterTest::consoleLines (maxhost::Severity severity)
{
    std::vector<std::string> lines;

    for (const auto& entry : maxhost::console())
        if (entry.severity == severity)
            lines.push_back (entry.text);

    return lines;
}

size_t MeterTest::notificationCount (t_meter* meter)
{
    return maxhost::notifications (maxhost::boxOf (asObject (meter))).size();
}

void MeterTest::settle()
{
    maxhost::pumpMainThread();
}

bool MeterTest::settleUntil (const std::function<bool()>& condition, int maxMs)
{
    for (int waited = 0; ! condition(); waited += 5)
    {
        if (waited >= maxMs)
            return false;

        std::this_thread::sleep_for (std::chrono::milliseconds (5));
        settle();
    }
    return true;
}

juce::DocumentWindow* MeterTest::findFrame (const juce::String& title)
{
    auto& desktop = juce::Desktop::getInstance();

    for (int i = 0; i < desktop.getNumComponents(); ++i)
        if (auto* frame = dynamic_cast<juce::DocumentWindow*> (desktop.getComponent (i)); frame != nullptr && frame->getName() == title)
            return frame;

    return nullptr;
}

int MeterTest::countFrames (const juce::String& title)
{
    auto& desktop = juce::Desktop::getInstance();
    int count = 0;

    for (int i = 0; i < desktop.getNumComponents(); ++i)
        if (auto* frame = dynamic_cast<juce::DocumentWindow*> (desktop.getComponent (i)); frame != nullptr && frame->getName() == title)
            ++count;

    return count;
}

} // namespace metertest
