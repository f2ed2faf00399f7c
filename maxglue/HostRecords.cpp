#include "maxglue/HostRecords.h"

#include <algorithm>

namespace oskelmax
{

const char* GetMaxErrorName (t_max_err error) noexcept
{
    static constexpr const char* names[] = { "MAX_ERR_OUT_OF_MEM", "MAX_ERR_DUPLICATE", "MAX_ERR_INVALID_PTR", "MAX_ERR_GENERIC",
                                             "MAX_ERR_NONE" };

    if (error < -4 || error > 0)
        return "unknown MAX_ERR";

    return names[error + 4];
}

t_symbol* GetAttributeType (t_object* attribute) noexcept
{
    return attribute != nullptr ? reinterpret_cast<t_eattr*> (attribute)->type : nullptr;
}

long GetAttributeFlags (t_object* attribute) noexcept
{
    return attribute != nullptr ? reinterpret_cast<t_eattr*> (attribute)->flags : 0;
}

long GetAttributeSize (t_object* attribute) noexcept
{
    return attribute != nullptr ? std::max (reinterpret_cast<t_eattr*> (attribute)->size, 1L) : 0;
}

} // namespace oskelmax

t_symbol* oskelmax_getattributename (t_object* attribute)
{
    return attribute != nullptr ? reinterpret_cast<t_eattr*> (attribute)->name : nullptr;
}
