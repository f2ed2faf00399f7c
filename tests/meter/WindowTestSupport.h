#pragma once

#include "JuceTestSupport.h"
#include "MeterWindowHelpers.h"
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

using meterhelpers::consoleLines;
using meterhelpers::findFrame;

} // namespace windowtest
