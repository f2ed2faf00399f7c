#include "maxglue/AttributeState.h"

#include "maxglue/MaxAttribute.h"

#include <algorithm>
#include <limits>
#include <string_view>
#include <utility>
#include <vector>

namespace oskelmax
{

kul::StringArray GetStateAttributeNames (t_object* x)
{
    kul::StringArray names;
    GetAttributeNames (x, names, sortByName);
    FilterStateAttributes (x, names);
    return names;
}

bool IsValueOfAttribute (t_object* attribute, long ac, const t_atom* av) noexcept
{
    if (attribute == nullptr || ac <= 0 || av == nullptr)
        return true;

    const std::string_view type = GetAttributeType (attribute) != nullptr ? GetAttributeType (attribute)->s_name : "";
    const bool number = type == "long" || type == "int" || type == "char" || type == "float" || type == "float32" || type == "float64";

    if (! number && type != "symbol")
        return true;

    const auto held = std::min (ac, GetAttributeSize (attribute));

    return std::all_of (av, av + held, [number] (const t_atom& atom)
    {
        return number ? atom.a_type == A_LONG || atom.a_type == A_FLOAT : atom.a_type == A_SYM && atom.a_w.w_sym != nullptr;
    });
}

namespace
{
    // Attributes that the patcher owns for the box.
    constexpr const char* boxAttributeNames[] = { "annotation",
                                                  "hidden",
                                                  "hint",
                                                  "ignoreclick",
                                                  "patching_rect",
                                                  "patching_position",
                                                  "patching_size",
                                                  "presentation",
                                                  "presentation_position",
                                                  "presentation_rect",
                                                  "presentation_size",
                                                  "varname",
                                                  "background",
                                                  "parameter_enable" };

    bool isBoxAttribute (t_symbol* name)
    {
        return std::any_of (std::begin (boxAttributeNames), std::end (boxAttributeNames),
                            [name] (const char* boxName) { return gensym (boxName) == name; });
    }
} // namespace

} // namespace oskelmax

void GetAttributeNames (t_object* x, kul::StringArray& names, int sortMode)
{
    names.clear();

    long count = 0;
    t_symbol** symbols = nullptr;

    if (object_attr_getnames (x, &count, &symbols) != MAX_ERR_NONE || count <= 0 || symbols == nullptr)
    {
        sysmem_freeptr (symbols);
        return;
    }

    // By name first in both sorted modes: ordering by "order" keeps the name
    // order among attributes of equal order and among those without one.
    if (sortMode == oskelmax::sortByName || sortMode == oskelmax::sortByOrder)
        symbolarray_sort (count, symbols);

    if (sortMode == oskelmax::sortByOrder)
    {
        std::vector<std::pair<t_object*, t_symbol*>> attributes;
        attributes.reserve (static_cast<size_t> (count));

        for (long i = 0; i < count; ++i)
            attributes.emplace_back (object_attr_get (x, symbols[i]), symbols[i]);

        std::stable_sort (attributes.begin(), attributes.end(),
                          [] (const auto& a, const auto& b) { return CompareAttributeOrder (&a.first, &b.first) < 0; });

        for (long i = 0; i < count; ++i)
            symbols[i] = attributes[static_cast<size_t> (i)].second;
    }

    names.reserve (static_cast<size_t> (count));

    for (long i = 0; i < count; ++i)
        names.push_back (symbols[i] != nullptr ? symbols[i]->s_name : "");

    sysmem_freeptr (symbols);
}

void FilterStateAttributes (t_object* x, kul::StringArray& names)
{
    kul::StringArray kept;

    for (const auto& name : names)
    {
        const MaxAttribute attribute (x, name);

        // A name that the host listed but no longer finds has no state to give.
        if (attribute.IsNull() || attribute.IsInvisible())
            continue;

        if ((oskelmax::GetAttributeFlags (attribute.attr) & (ATTR_GET_OPAQUE_USER | ATTR_SET_OPAQUE_USER)) != 0)
            continue;

        if (oskelmax::isBoxAttribute (oskelmax_getattributename (attribute.attr)))
            continue;

        if (GetNumberOfAtomsNeededToStoreAttribute (x, name) <= 0)
            continue;

        kept.push_back (name);
    }

    names = std::move (kept);
}

std::int32_t GetNumberOfAtomsNeededToStoreAttribute (t_object* x, const std::string& name)
{
    long ac = 0;
    t_atom* av = nullptr;
    const auto error = object_attr_getvalueof (x, gensym (name.c_str()), &ac, &av);

    if (error != MAX_ERR_NONE)
    {
        object_bug (x, "GetNumberOfAtomsNeededToStoreAttribute : %s in object_attr_getvalueof (%s)", oskelmax::GetMaxErrorName (error),
                    name.c_str());
        sysmem_freeptr (av);
        return 0;
    }

    sysmem_freeptr (av);

    if (ac < 0)
    {
        object_bug (x, "GetNumberOfAtomsNeededToStoreAttribute : error in object_attr_getvalueof %s (ac=%ld)", name.c_str(), ac);
        return 0;
    }

    return static_cast<std::int32_t> (std::min<long> (ac, std::numeric_limits<std::int32_t>::max()));
}

std::int32_t CountStateAtoms (t_object* x, const kul::StringArray& names)
{
    long total = 0;

    for (const auto& name : names)
        total = std::min<long> (total + GetNumberOfAtomsNeededToStoreAttribute (x, name), std::numeric_limits<std::int32_t>::max());

    return static_cast<std::int32_t> (total);
}

int CompareAttributeOrder (const void* a, const void* b)
{
    const auto orderOf = [] (const void* p) -> std::uint32_t {
        auto* attribute = p != nullptr ? *static_cast<t_object* const*> (p) : nullptr;
        if (attribute == nullptr)
            return 0;
        MaxAttribute wrapper (nullptr, {});
        wrapper.attr = attribute;
        return static_cast<std::uint32_t> (wrapper.GetOrder());
    };

    const auto oa = orderOf (a);
    const auto ob = orderOf (b);

    // Ordered attributes before the others; the others are equal among
    // themselves. Sorting needs a strict ordering: were two unordered
    // attributes each greater than the other, their places would depend on
    // the sort's inner working.
    if (oa == 0 || ob == 0)
        return oa == ob ? 0 : (oa == 0 ? 1 : -1);

    return oa < ob ? -1 : (oa > ob ? 1 : 0);
}
