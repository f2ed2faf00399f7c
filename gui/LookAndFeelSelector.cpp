#include "gui/LookAndFeelSelector.h"

#include <map>

namespace oskelgui
{

std::uint32_t LookAndFeelSelector::getIndexOfVersion (const std::string& name)
{
    static const std::map<std::string, std::uint32_t> versions { { "v2", 0 }, { "V2", 0 }, { "v3", 1 }, { "V3", 1 } };

    const auto found = versions.find (name);
    return found != versions.end() ? found->second : 0;
}

void LookAndFeelSelector::setVersion (const std::string& name)
{
    versionIndex = getIndexOfVersion (name);
}

juce::LookAndFeel& LookAndFeelSelector::getCurrent() noexcept
{
    if (versionIndex == 1)
        return lookAndFeelV3;
    return lookAndFeelV2;
}

} // namespace oskelgui
