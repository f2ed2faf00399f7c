#include "docgen/ExternalDocumentation.h"

#include "common/Exception.h"

#include <iterator>
#include <new>

namespace Zelm
{

const std::string NumChannelsDescription =
    "The <m> numchannels </m> attribute represents the number of input and output channels of the object. This  attribute must be "
    "set in the object box, when the object is instanciated; it can not be further set with a message, since  the number of signal "
    "inlets or outlets can not be changed dynamically.";

const std::string WindowTitleDescription =
    "The <m> windowtitle </m> attribute allows to set the title of the floating window for the user interface.";

namespace External
{
    MaxMspExternal::Type MeterTilda::GetType() const
    {
        return MaxMspExternal::MeterTildaType;
    }

    std::string MeterTilda::GetDescription() const
    {
        return "zelm.meter~ is a multichannel signal metering interface.";
    }

    std::string MeterTilda::GetDigest() const
    {
        return "Multichannel signal metering interface.";
    }

    std::string MeterTilda::GetSeeAlso() const
    {
        return "zelm.rms~, meter~, live.gain~";
    }
} // namespace External

namespace
{
    template <typename Documentation>
    MaxMspExternalDocumentation* make()
    {
        return new (std::nothrow) Documentation();
    }

    // The family table: one row per object, with its names (the second for an
    // embedded form, when it has one) and the factory of its documentation.
    struct FamilyRow
    {
        MaxMspExternal::Type type;
        const char* names[2];
        MaxMspExternalDocumentation* (*create)();
    };

    constexpr FamilyRow familyTable[] = {
        { MaxMspExternal::MeterTildaType, { "zelm.meter~", nullptr }, &make<External::MeterTilda> },
    };

    template <typename Getter>
    std::string getText (const std::string& name, Getter getter) noexcept
    {
        if (! GetExternalTypeMap().GetNames().Contains (name, true))
            return {};

        const auto type = GetExternalType (name);
        auto* documentation = CreateExternalDocumentation (type);

        if (documentation == nullptr)
            return {};

        auto text = (documentation->*getter)();
        delete documentation;
        return text;
    }
} // namespace

kul::StringMap<MaxMspExternal::Type>& GetExternalTypeMap() noexcept
{
    static kul::StringMap<MaxMspExternal::Type> map (true);

    if (map.Size() == 0)
        for (const auto& row : familyTable)
            for (const auto* name : row.names)
                if (name != nullptr)
                    map[name] = row.type;

    return map;
}

MaxMspExternal::Type GetExternalType (const std::string& name) noexcept
{
    const auto& map = GetExternalTypeMap();

    if (! map.GetNames().Contains (name, map.IsIgnoringCase()))
    {
        PostLineToConsole ("unknwon external : " + name);
        return MaxMspExternal::FirstType;
    }

    const auto index = map.GetNames().IndexOf (name, map.IsIgnoringCase());
    return index >= 0 ? map.GetValues()[static_cast<size_t> (index)] : MaxMspExternal::FirstType;
}

MaxMspExternalDocumentation* CreateExternalDocumentation (const MaxMspExternal::Type& type) noexcept
{
    for (const auto& row : familyTable)
        if (row.type == type && row.create != nullptr)
            return row.create();

    return nullptr;
}

std::string GetExternalDescription (const std::string& name) noexcept
{
    return getText (name, &MaxMspExternalDocumentation::GetDescription);
}

std::string GetExternalDigest (const std::string& name) noexcept
{
    return getText (name, &MaxMspExternalDocumentation::GetDigest);
}

std::string GetExternalSeeAlso (const std::string& name) noexcept
{
    return getText (name, &MaxMspExternalDocumentation::GetSeeAlso);
}

} // namespace Zelm
