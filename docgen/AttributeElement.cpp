#include "docgen/AttributeElement.h"

#include "maxglue/AttributeState.h"

#include <iostream>

namespace
{
const char* nameOf (t_object* attr)
{
    auto* name = oskelmax_getattributename (attr);
    return name != nullptr ? name->s_name : "";
}

const char* typeText (t_symbol* type)
{
    if (type == gensym ("long"))
        return "int";

    // The page knows only int, float and symbol: a 32-bit float attribute is
    // a float for its reader, not an unknown type.
    if (type == gensym ("float") || type == gensym ("float32") || type == gensym ("float64"))
        return "float";

    if (type == gensym ("symbol"))
        return "symbol";

    return "unknown";
}

const char* flagText (long flags, long opaqueBit)
{
    return (flags & opaqueBit) != 0 ? "0" : "1";
}
} // namespace

void WriteAttributeXml (const MaxAttribute& attribute, std::ostream& output)
{
    auto* attr = attribute.attr;

    if (attr == nullptr)
        return;

    const auto flags = oskelmax::GetAttributeFlags (attr);
    const auto label = attribute.GetLabel ({});
    const auto description = attribute.GetDescription (label);

    output << "\t\t<attribute name=\"" << nameOf (attr) << "\" get=\"" << flagText (flags, ATTR_GET_OPAQUE_USER) << "\" set=\""
           << flagText (flags, ATTR_SET_OPAQUE_USER) << "\" type=\"" << typeText (oskelmax::GetAttributeType (attr))
           << "\" size=\"1\">\n";
    output << "\t\t\t<digest>\n\t\t\t\t" << label << "\n\t\t\t</digest>\n";
    output << "\t\t\t<description>\n\t\t\t\t" << description << "\n\t\t\t</description>\n";
    output << "\t\t\t<attributelist>\n";

    kul::StringArray metaNames;
    GetAttributeNames (attr, metaNames, oskelmax::sortByName);

    for (const auto& metaName : metaNames)
    {
        if (metaName == "description" || metaName == "digest")
            continue;

        auto* metaSymbol = gensym (metaName.c_str());
        auto* meta = object_attr_get (attr, metaSymbol);
        const auto metaFlags = oskelmax::GetAttributeFlags (meta);

        std::string value;

        if (metaName == "enumvals")
        {
            kul::StringArray choices;
            attribute.GetEnumChoices (choices, {});

            for (const auto& choice : choices)
                value += choice + " ";

            TrimTrailingWhitespace (value);
            std::cerr << "value = |" << value << "|" << std::endl;
        }
        else
        {
            value = attribute.GetValueOf (metaSymbol, {});
            TrimTrailingWhitespace (value);
        }

        output << "\t\t\t\t<attribute name=\"" << metaName << "\" get=\"" << flagText (metaFlags, ATTR_GET_OPAQUE_USER) << "\" set=\""
               << flagText (metaFlags, ATTR_SET_OPAQUE_USER) << "\" type=\"" << typeText (oskelmax::GetAttributeType (meta))
               << "\" value=\"" << value << "\" />\n";
    }

    output << "\t\t\t</attributelist>\n";
    output << "\t\t</attribute>\n";
}

void TrimTrailingWhitespace (std::string& text)
{
    const auto end = text.find_last_not_of (" \t\n\r\v\f");
    text.erase (end == std::string::npos ? 0 : end + 1);
}
