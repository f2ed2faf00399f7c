#include "MeterTestSupport.h"

#include <chrono>
#include <cmath>
#include <thread>


namespace metertest
{

void MeterTest::SetUp()
{
    GuiTest::SetUp();
    maxhost::initialise (hostOptions());
    ASSERT_EQ (meter_main(), 0);
    ASSERT_NE (meter_class, nullptr);
}

void MeterTest::TearDown()
{
    // The OpenGL driver that "useopengl" loaded stays loaded for the leak checker.
    testsupport::keepGraphicsDriversLoaded();
    maxhost::shutdown();
    GuiTest::TearDown();
}

std::vector<t_atom> atomsOf (const std::string& text)
{
    auto atoms = maxhost::parseAtoms (text);
    for (auto& atom : atoms)
    {
        const std::string word = atom.a_type == A_SYM ? atom.a_w.w_sym->s_name : "";
        if (word == "NaN" || word == "Inf" || word == "-Inf")
            atom_setfloat (&atom, word == "NaN" ? NAN : word == "Inf" ? INFINITY : -INFINITY);
    }
    return atoms;
}

t_meter* MeterTest::create (const std::string& arguments)
{
    auto* object = maxhost::newObject ("zelm.meter~", atomsOf (arguments));
    settle();
    return reinterpret_cast<t_meter*> (object);
}

namespace
{
/** "selector a b c" as the selector and its atoms. */
std::pair<std::string, std::vector<t_atom>> parseMessage (const std::string& text)
{
    auto atoms = atomsOf (text);
    EXPECT_FALSE (atoms.empty()) << text;
    const std::string selector = atoms.empty() ? "" : atom_getsym (atoms.data())->s_name;
    if (! atoms.empty())
        atoms.erase (atoms.begin());
    return { selector, atoms };
}
} // namespace

void MeterTest::send (t_meter* meter, const std::string& text)
{
    const auto [selector, atoms] = parseMessage (text);
    maxhost::send (asObject (meter), selector, atoms);
}

void MeterTest::sendFromScheduler (t_meter* meter, const std::string& text)
{
    const auto [selector, atoms] = parseMessage (text);
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

std::string MeterTest::dumpLevels (t_meter* meter)
{
    maxhost::clearRecordings();
    send (meter, "dumplevels");
    const auto lines = dumpLines (meter);
    return lines.size() == 1 ? lines[0] : "(" + std::to_string (lines.size()) + " lines)";
}

size_t MeterTest::notificationCount (t_meter* meter)
{
    return maxhost::notificationCount (maxhost::boxOf (asObject (meter)));
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

} // namespace metertest
