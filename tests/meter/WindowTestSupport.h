#pragma once

#include "JuceTestSupport.h"
#include "ext.h"
#include "maxhost_test.h"

#include <functional>
#include <string>
#include <vector>

namespace windowtest
{
using namespace testsupport;

/** Runs the host's main-thread work and JUCE's messages for about the given time. */
void pump (int ms = 50);

/** Pumps until the condition holds or about maxMs have passed. */
bool pumpUntil (const std::function<bool()>& condition, int maxMs = 3000);

/** A fresh host object of a small class of the tests: the owner of a window manager. */
t_object* newOwner();

/** The console lines of the given severity, in order. */
std::vector<std::string> consoleLines (maxhost::Severity severity);

/** The desktop's JUCE frame titled so, or null. */
juce::DocumentWindow* findFrame (const juce::String& title);

} // namespace windowtest
