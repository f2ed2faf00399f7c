#pragma once

#include "ext_obex.h"

/** Plain reads of what the host keeps in its records: the name, type and flags
    of an attribute object, and the name of an error code. Everything else in
    the glue that looks at attributes builds on these. */
namespace oskelmax
{

/** The text of a host error code ("MAX_ERR_GENERIC", ...; "unknown MAX_ERR" outside -4 .. 0). */
const char* GetMaxErrorName (t_max_err error) noexcept;

/** Attribute record fields of a host attribute object (null-safe). */
t_symbol* GetAttributeType (t_object* attribute) noexcept;
long GetAttributeFlags (t_object* attribute) noexcept;
/** The number of values the attribute holds (at least 1; 0 for no attribute). */
long GetAttributeSize (t_object* attribute) noexcept;

} // namespace oskelmax

/** The name of a host attribute object; null for no attribute. */
t_symbol* oskelmax_getattributename (t_object* attribute);
