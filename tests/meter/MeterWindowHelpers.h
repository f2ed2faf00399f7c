#pragma once

#include "maxhost_test.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <string>
#include <vector>

// Look-ups shared by both meter test programs.
namespace meterhelpers
{
/** The console lines of the given severity, in order. */
inline std::vector<std::string> consoleLines (maxhost::Severity severity)
{
    std::vector<std::string> lines;
    for (const auto& entry : maxhost::console())
        if (entry.severity == severity)
            lines.push_back (entry.text);
    return lines;
}

/** The desktop's JUCE frame titled so, or null. */
inline juce::DocumentWindow* findFrame (const juce::String& title)
{
    auto& desktop = juce::Desktop::getInstance();
    for (int i = 0; i < desktop.getNumComponents(); ++i)
        if (auto* frame = dynamic_cast<juce::DocumentWindow*> (desktop.getComponent (i)); frame != nullptr && frame->getName() == title)
            return frame;
    return nullptr;
}
} // namespace meterhelpers
