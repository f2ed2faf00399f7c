#include "maxglue/MaxAttribute.h"

#include "maxglue/AtomText.h"
#include "maxglue/AttributeState.h"
#include "maxglue/SymbolTable.h"

#include <iostream>

namespace
{
// One read of a meta-attribute of the attribute object. MAX_ERR_GENERIC is what
// the host answers for a meta-attribute that is not there, so it counts as
// success with no value; the atoms are only looked at after a success.
struct MetaValue
{
    MetaValue (t_object* attr, t_symbol* meta)
    {
        error = object_attr_getvalueof (attr, meta, &count, &atoms);

        if (! succeeded())
        {
            // The atoms of a failed call are not ours to read, but a host that
            // allocated them anyway must not leak them.
            sysmem_freeptr (atoms);
            atoms = nullptr;
            count = 0;
        }
    }

    ~MetaValue() { sysmem_freeptr (atoms); }

    MetaValue (const MetaValue&) = delete;
    MetaValue& operator= (const MetaValue&) = delete;

    bool succeeded() const noexcept { return error == MAX_ERR_NONE || error == MAX_ERR_GENERIC; }
    bool hasValue() const noexcept { return succeeded() && count >= 1 && atoms != nullptr; }

    t_max_err error = MAX_ERR_NONE;
    long count = 0;
    t_atom* atoms = nullptr;
};

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

MaxAttribute::MaxAttribute (t_object* owner, const std::string& attributeName)
    : attr (owner != nullptr ? object_attr_get (owner, gensym (attributeName.c_str())) : nullptr)
{
}

bool MaxAttribute::CanBeReset() const
{
    if (attr == nullptr)
        return false;

    const MetaValue value (attr, oskelmax::GetSymbol (oskelmax::symDontReset));

    if (! value.succeeded())
    {
        object_post (nullptr, "MaxAttribute::CanBeReset : %s in object_attr_getvalueof", oskelmax::GetMaxErrorName (value.error));
        return true;
    }

    if (! value.hasValue())
        return true;

    if (value.atoms[0].a_type == A_LONG)
        return value.atoms[0].a_w.w_long != 1;

    object_post (nullptr, "bug ? MaxAttribute::CanBeReset()");
    return true;
}

std::string MaxAttribute::GetValueOf (t_symbol* metaAttribute, const std::string& defaultText) const
{
    if (attr == nullptr || metaAttribute == nullptr)
        return defaultText;

    const MetaValue value (attr, metaAttribute);

    if (! value.succeeded())
    {
        object_post (nullptr, "MaxAttribute::GetValueOf : %s in object_attr_getvalueof (%s %s)", oskelmax::GetMaxErrorName (value.error),
                     metaAttribute->s_name, nameOf (attr));
        return defaultText;
    }

    if (! value.hasValue())
        return defaultText;

    const auto& first = value.atoms[0];

    switch (first.a_type)
    {
        case A_SYM: return first.a_w.w_sym != nullptr ? first.a_w.w_sym->s_name : "";
        case A_FLOAT: return oskelmax::FormatFixed (static_cast<double> (static_cast<float> (first.a_w.w_float)), 2);
        case A_LONG: return std::to_string (first.a_w.w_long);
        default: break;
    }

    object_post (nullptr, "MaxAttribute::GetValueOf : %s (%s): unhandled atom type ?", nameOf (attr), metaAttribute->s_name);
    return defaultText;
}

std::string MaxAttribute::GetLabel (const std::string& defaultText) const
{
    return GetValueOf (oskelmax::GetSymbol (oskelmax::symLabel), defaultText);
}

int MaxAttribute::GetOrder() const
{
    if (attr == nullptr)
        return 0;

    const MetaValue value (attr, oskelmax::GetSymbol (oskelmax::symOrder));

    if (! value.hasValue())
        return 0;

    if (value.atoms[0].a_type != A_LONG)
    {
        object_post (nullptr, "bug ? order attribute is supposed to be of type long for %s", nameOf (attr));
        return 0;
    }

    return static_cast<int> (value.atoms[0].a_w.w_long);
}

void MaxAttribute::GetEnumChoices (kul::StringArray& choices, const std::string& defaultText) const
{
    choices.clear();

    if (attr == nullptr)
    {
        choices.push_back (defaultText);
        return;
    }

    const MetaValue value (attr, gensym ("enumvals"));

    if (! value.succeeded())
        object_post (nullptr, "MaxAttribute::GetEnumChoices : %s in object_attr_getvalueof", oskelmax::GetMaxErrorName (value.error));

    if (! value.hasValue())
    {
        choices.push_back (defaultText);
        return;
    }

    choices.resize (static_cast<size_t> (value.count));

    for (long i = 0; i < value.count; ++i)
    {
        const auto& atom = value.atoms[i];

        if (atom.a_type == A_SYM && atom.a_w.w_sym != nullptr)
            choices[static_cast<size_t> (i)] = atom.a_w.w_sym->s_name;
        else
            object_post (nullptr, "enumvals attribute with an atom that is not a symbol ??");
    }
}

bool MaxAttribute::IsInvisible() const
{
    if (attr == nullptr)
        return false;

    const MetaValue value (attr, oskelmax::GetSymbol (oskelmax::symInvisible));

    if (! value.succeeded())
    {
        object_post (nullptr, "MaxAttribute::IsInvisible : %s in object_attr_getvalueof", oskelmax::GetMaxErrorName (value.error));
        return false;
    }

    if (! value.hasValue())
        return false;

    if (value.atoms[0].a_type != A_LONG)
    {
        object_post (nullptr, "error attribute invisible not typed long ??");
        return false;
    }

    return value.atoms[0].a_w.w_long == 1;
}

void MaxAttribute::WriteXml (std::ostream& output) const
{
    if (attr == nullptr)
        return;

    const auto flags = oskelmax::GetAttributeFlags (attr);
    const auto label = GetLabel ({});

    auto* descriptionSymbol = gensym ("description");
    auto description = label;
    {
        const MetaValue value (attr, descriptionSymbol);
        if (value.hasValue())
            description = GetValueOf (descriptionSymbol, {});
    }

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
            GetEnumChoices (choices, {});

            for (const auto& choice : choices)
                value += choice + " ";

            TrimTrailingWhitespace (value);
            std::cerr << "value = |" << value << "|" << std::endl;
        }
        else
        {
            value = GetValueOf (metaSymbol, {});
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
