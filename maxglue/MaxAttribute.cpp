#include "maxglue/MaxAttribute.h"

#include "maxglue/AtomText.h"
#include "maxglue/HostRecords.h"
#include "maxglue/SymbolTable.h"

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

std::string MaxAttribute::GetDescription (const std::string& defaultText) const
{
    if (attr == nullptr)
        return defaultText;

    auto* descriptionSymbol = gensym ("description");
    const MetaValue value (attr, descriptionSymbol);
    return value.hasValue() ? GetValueOf (descriptionSymbol, {}) : defaultText;
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
