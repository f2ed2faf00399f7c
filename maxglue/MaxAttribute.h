#pragma once

#include "ext_obex.h"

#include "text/StringArray.h"

#include <string>

/** One attribute of a host object and the meta-attributes that describe it.
    Does not own the host's attribute object. */
class MaxAttribute
{
public:
    MaxAttribute (t_object* owner, const std::string& attributeName);

    bool IsNull() const noexcept { return attr == nullptr; }

    /** False only when "dontreset" holds the long 1 (or there is no attribute). */
    bool CanBeReset() const;

    /** The first value of a meta-attribute as text, or the default. */
    std::string GetValueOf (t_symbol* metaAttribute, const std::string& defaultText) const;
    std::string GetLabel (const std::string& defaultText) const;

    /** The "description" meta-attribute's text when it holds a value, else the default. */
    std::string GetDescription (const std::string& defaultText) const;

    /** The long held by "order"; 0 when there is none. */
    int GetOrder() const;

    /** The symbols of "enumvals"; exactly the default when there are none. */
    void GetEnumChoices (kul::StringArray& choices, const std::string& defaultText) const;

    /** "invisible" holds the long 1. */
    bool IsInvisible() const;

    t_object* attr = nullptr;
};
