#pragma once

#include "meter/MeterObject.h"

#include "JuceTestSupport.h"
#include "../MeterWindowHelpers.h"

#include "ext.h"
#include "maxhost_test.h"

#include <gtest/gtest.h>
#include <juce_gui_basics/juce_gui_basics.h>

#include <functional>
#include <string>
#include <vector>

namespace metertest
{

using testsupport::hasDisplay;
using meterhelpers::consoleLines;
using meterhelpers::findFrame;

/** Text as a message box parses it, where the words "NaN", "Inf" and "-Inf" stand for those floats. */
std::vector<t_atom> atomsOf (const std::string& text);

/** The host started for each test (44100 Hz, 64 samples, virtual time unless
    asked otherwise) and the class registered as the plug-in's entry point does.
    A test fails when JUCE asserts. */
class MeterTest : public testsupport::GuiTest
{
protected:
    void SetUp() override;
    void TearDown() override;

    virtual maxhost::Options hostOptions() const { return {}; }

    /** A box of "zelm.meter~" with the given attribute arguments (parsed by atomsOf). */
    t_meter* create (const std::string& arguments = "@numchannels 4");

    static t_object* asObject (t_meter* meter) { return &meter->ob.header.z_ob; }

    /** Sends "selector atoms..." (parsed by atomsOf) as the patch would, on this thread or from the scheduler. */
    void send (t_meter* meter, const std::string& text);
    void sendFromScheduler (t_meter* meter, const std::string& text);

    /** What left the dump outlet, one "selector atoms" line per message. */
    std::vector<std::string> dumpLines (t_meter* meter);

    /** The line "dumplevels" gives now, or how many lines it gave when not one. */
    std::string dumpLevels (t_meter* meter);

    /** The number of change notifications the box has received. */
    size_t notificationCount (t_meter* meter);

    /** Runs the main thread's pending work: deferred calls, queue elements, JUCE's messages. */
    void settle() { maxhost::pumpMainThread(); }

    /** Pumps until the condition holds or about maxMs have passed. */
    bool settleUntil (const std::function<bool()>& condition, int maxMs = 3000);
};

} // namespace metertest
