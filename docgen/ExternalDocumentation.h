#pragma once

#include "common/StringMap.h"

#include <cstdint>
#include <string>

namespace Zelm
{

namespace MaxMspExternal
{
    /** One value per object of the family, 0 to 151. */
    enum Type : std::int32_t
    {
        FirstType = 0,
        MeterTildaType = 79,
        LastType = 151
    };
} // namespace MaxMspExternal

/** The reference texts of one object of the family; each getter returns a constant of its class. */
class MaxMspExternalDocumentation
{
public:
    virtual ~MaxMspExternalDocumentation() = default;

    virtual MaxMspExternal::Type GetType() const = 0;
    virtual std::string GetDescription() const = 0;
    virtual std::string GetDigest() const = 0;

    /** The related objects' names, separated by a comma and a blank. */
    virtual std::string GetSeeAlso() const = 0;
};

namespace External
{
    class MeterTilda : public MaxMspExternalDocumentation
    {
    public:
        ~MeterTilda() override {}

        MaxMspExternal::Type GetType() const override;
        std::string GetDescription() const override;
        std::string GetDigest() const override;
        std::string GetSeeAlso() const override;
    };
} // namespace External

/** The case-insensitive map from object names to types, filled on first use. */
kul::StringMap<MaxMspExternal::Type>& GetExternalTypeMap() noexcept;

/** The type of the named object; 0, with a report, for a name the family does not have. */
MaxMspExternal::Type GetExternalType (const std::string& name) noexcept;

/** A new documentation object for the type, owned by the caller; null for a
    type without documentation. */
MaxMspExternalDocumentation* CreateExternalDocumentation (const MaxMspExternal::Type& type) noexcept;

/** The texts of the named object; empty for a name the family does not have. */
std::string GetExternalDescription (const std::string& name) noexcept;
std::string GetExternalDigest (const std::string& name) noexcept;
std::string GetExternalSeeAlso (const std::string& name) noexcept;

// Documentation texts shared by several objects.
extern const std::string NumChannelsDescription;
extern const std::string WindowTitleDescription;

} // namespace Zelm
