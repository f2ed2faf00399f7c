#pragma once

#include "gui/Zelm4LookAndFeel.h"

#include <cstdint>
#include <string>

namespace oskelgui
{

/** The two general look-and-feels and the one chosen by a version name. */
class LookAndFeelSelector
{
public:
    /** Creates both look-and-feels, with V2 selected. */
    LookAndFeelSelector() = default;

    /** "v3" or "V3" selects V3, any other name V2. */
    void setVersion (const std::string& name);

    /** Returns the index of the selected version: 0 for V2, 1 for V3. */
    std::uint32_t getVersionIndex() const noexcept { return versionIndex; }

    /** Returns the selected look-and-feel, which lives as long as this selector. */
    juce::LookAndFeel& getCurrent() noexcept;

    /** The version index of a name: 1 for "v3" and "V3", else 0. */
    static std::uint32_t getIndexOfVersion (const std::string& name);

private:
    std::uint32_t versionIndex = 0;
    Zelm4LookAndFeelV2 lookAndFeelV2;
    Zelm4LookAndFeelV3 lookAndFeelV3;

    JUCE_DECLARE_NON_COPYABLE (LookAndFeelSelector)
};

} // namespace oskelgui
