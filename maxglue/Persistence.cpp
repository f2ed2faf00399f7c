#include "maxglue/Persistence.h"

#include "maxglue/AtomText.h"
#include "maxglue/AttributeState.h"
#include "maxglue/MaxAttribute.h"
#include "maxglue/SymbolTable.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <vector>

namespace
{
// The current value of an attribute; the atoms are only read after a success.
struct AttributeValue
{
    AttributeValue (t_object* x, t_symbol* name) { error = object_attr_getvalueof (x, name, &count, &atoms); }
    ~AttributeValue() { sysmem_freeptr (atoms); }

    AttributeValue (const AttributeValue&) = delete;
    AttributeValue& operator= (const AttributeValue&) = delete;

    bool ok() const noexcept { return error == MAX_ERR_NONE; }
    long size() const noexcept { return ok() && count > 0 && atoms != nullptr ? count : 0; }

    t_max_err error = MAX_ERR_NONE;
    long count = 0;
    t_atom* atoms = nullptr;
};

/** A float at 32-bit precision. A finite value beyond the 32-bit range keeps its
    own: narrowed it would become infinite, which no clip filter brings back to a
    limit, so the value would be refused here where every other path clips it. */
double toStatePrecision (double value)
{
    const auto narrowed = static_cast<float> (value);
    return std::isfinite (narrowed) || ! std::isfinite (value) ? static_cast<double> (narrowed) : value;
}

// Long, float (at 32-bit precision) and symbol atoms pass; false for any other type.
bool copyStateAtom (const t_atom& from, t_atom& to)
{
    switch (from.a_type)
    {
        case A_SYM: atom_setsym (&to, from.a_w.w_sym); return true;
        case A_FLOAT: atom_setfloat (&to, toStatePrecision (from.a_w.w_float)); return true;
        case A_LONG: atom_setlong (&to, from.a_w.w_long); return true;
        default: return false;
    }
}

/** One attribute's value as the state carries it. An atom of another type still
    takes its place (as a long 0, reported when asked), so that the values after it
    stay with their attributes. */
std::vector<t_atom> stateValue (t_object* x, const t_atom* from, long count, bool report)
{
    std::vector<t_atom> atoms (static_cast<size_t> (std::max (count, 0L)));

    for (size_t i = 0; i < atoms.size(); ++i)
    {
        if (! copyStateAtom (from[i], atoms[i]))
        {
            if (report)
                object_warn (x, "unknown atom type in oskelmax_setvalueof");

            atom_setlong (&atoms[i], 0);
        }
    }

    return atoms;
}

bool fitsInOneMessage (t_object* x, long count, const char* what)
{
    if (count <= oskelmax::maxAtomsPerMessage)
        return true;

    object_error (x, "%s : %ld atoms do not fit in one message (at most %ld)", what, count, oskelmax::maxAtomsPerMessage);
    return false;
}
} // namespace

t_max_err oskelmax_getvalueof (t_object* x, long* ac, t_atom** av)
{
    if (ac == nullptr || av == nullptr)
    {
        object_bug (x, "oskelmax_getvalueof : there is a problem");
        return MAX_ERR_NONE;
    }

    const auto names = oskelmax::GetStateAttributeNames (x);
    const long n = CountStateAtoms (x, names);

    t_atom* out = nullptr;
    long capacity = 0;

    if (*ac > 0 && *av != nullptr)
    {
        object_warn (x, "oskelmax_getvalueof : memory passed in");
        out = *av;
        capacity = *ac;
    }
    else
    {
        out = reinterpret_cast<t_atom*> (sysmem_newptr (static_cast<long> (static_cast<size_t> (n) * sizeof (t_atom))));
        *av = out;
        *ac = 0;

        if (out == nullptr && n > 0)
        {
            object_error (x, "%ld atoms allocated but %d atoms stored by the pattrstorage", n, 0);
            return MAX_ERR_NONE;
        }

        capacity = n;
    }

    long stored = 0;

    for (const auto& name : names)
    {
        const AttributeValue value (x, gensym (name.c_str()));

        if (! value.ok())
        {
            object_bug (x, "oskelmax_getvalueof : %s in object_attr_getvalueof (%s)", oskelmax::GetMaxErrorName (value.error), name.c_str());
            continue;
        }

        if (value.count < 0 || value.atoms == nullptr)
        {
            object_bug (x, "oskelmax_getvalueof : error in object_attr_getvalueof %s (tmpac=%ld)", name.c_str(), value.count);
            continue;
        }

        for (long i = 0; i < value.count; ++i)
        {
            t_atom atom {};

            if (! copyStateAtom (value.atoms[i], atom))
            {
                object_bug (x, "oskelmax_getvalueof : unknown atom type");
                continue;
            }

            // The state may have grown since it was counted: never past the array.
            if (stored < capacity)
                out[stored] = atom;

            ++stored;
        }
    }

    // `stored` counts every atom the state gave, written or not.
    if (stored > capacity)
        object_error (x, "%ld atoms allocated but %ld atoms stored by the pattrstorage", capacity, stored);
    else if (stored != n)
        object_error (x, "%ld atoms allocated but %ld atoms stored by the pattrstorage", n, stored);

    *ac = std::min (stored, capacity);
    return MAX_ERR_NONE;
}

t_max_err oskelmax_setvalueof (t_object* x, long ac, t_atom* av)
{
    if (ac < 1 || av == nullptr)
        return MAX_ERR_NONE;

    const auto names = oskelmax::GetStateAttributeNames (x);
    std::vector<long> counts;
    long n = 0;

    for (const auto& name : names)
        n += counts.emplace_back (GetNumberOfAtomsNeededToStoreAttribute (x, name));

    if (n != ac)
    {
        object_error (x, "setvalueof error (received %ld atoms. %ld atoms were expected)", ac, n);
        return MAX_ERR_NONE;
    }

    // A value of the wrong kind (a word for a number, a number for a word) refuses
    // the list whole, as a wrong count does: a stored state is restored entire or not at all.
    long start = 0;

    for (size_t i = 0; i < names.size(); ++i)
    {
        const auto atoms = stateValue (x, av + start, counts[i], false);

        if (! oskelmax::IsValueOfAttribute (object_attr_get (x, gensym (names[i].c_str())), counts[i], atoms.data()))
        {
            object_error (x, "setvalueof error (invalid value for attribute %s)", names[i].c_str());
            return MAX_ERR_NONE;
        }

        start += counts[i];
    }

    long p = 0;

    for (const auto& name : names)
    {
        const long k = GetNumberOfAtomsNeededToStoreAttribute (x, name);

        if (k == 0)
            continue;

        // Tested before the read: a setter may have changed the counts.
        if (p + k > ac)
        {
            object_error (x, "error reading atoms in oskelmax_setvalueof");
            return MAX_ERR_NONE;
        }

        auto atoms = stateValue (x, av + p, k, true);
        p += k;

        const auto error = object_attr_setvalueof (x, gensym (name.c_str()), k, atoms.data());

        if (error != MAX_ERR_NONE)
            object_error (x, "%s in object_attr_setvalueof %s", oskelmax::GetMaxErrorName (error), name.c_str());
    }

    return MAX_ERR_NONE;
}

void oskelmax_preset (t_object* x)
{
    const auto names = oskelmax::GetStateAttributeNames (x);
    const long n = CountStateAtoms (x, names);

    if (! fitsInOneMessage (x, n + 3, "oskelmax_preset"))
        return;

    std::vector<t_atom> record (static_cast<size_t> (n + 3));
    atom_setobj (&record[0], x);
    atom_setsym (&record[1], object_classname (x));
    atom_setsym (&record[2], oskelmax::GetSymbol (oskelmax::symRecallPreset));

    long ac = 0;
    t_atom* av = nullptr;
    oskelmax_getvalueof (x, &ac, &av);

    if (av == nullptr || ac == 0 || ac != n)
    {
        object_error (x, "error in oskelmax_preset");
        sysmem_freeptr (av);
        return;
    }

    std::copy (av, av + ac, record.begin() + 3);
    sysmem_freeptr (av);

    // Whatever else may be bound to the name is not written into.
    auto* bound = gensym ("_preset")->s_thing;

    if (bound != nullptr && object_classname (bound) == gensym ("binbuf"))
        binbuf_insert (reinterpret_cast<t_binbuf*> (bound), nullptr, static_cast<short> (n + 3), record.data());
}

void oskelmax_recallpreset (t_object* x, t_symbol*, long argc, t_atom* argv)
{
    oskelmax_setvalueof (x, argc, argv);
}

void PostValueOfAttribute (t_object* x, const std::string& name)
{
    if (MaxAttribute (x, name).IsNull())
    {
        object_error (x, "no attribute %s", name.c_str());
        return;
    }

    const AttributeValue value (x, gensym (name.c_str()));

    if (! value.ok())
    {
        object_bug (x, "PostValueOfAttribute : %s in object_attr_getvalueof (%s)", oskelmax::GetMaxErrorName (value.error), name.c_str());
        return;
    }

    if (value.size() > 0)
        PostAtoms (x, value.size(), value.atoms, name);
}

void DumpAttribute (t_object* x, const std::string& name, void* outlet)
{
    if (outlet == nullptr)
    {
        object_error (x, "no dump outlet");
        return;
    }

    if (MaxAttribute (x, name).IsNull())
    {
        object_error (x, "no attribute %s", name.c_str());
        return;
    }

    auto* symbol = gensym (name.c_str());
    const AttributeValue value (x, symbol);

    if (! value.ok())
    {
        object_bug (x, "DumpAttribute : %s in object_attr_getvalueof (%s)", oskelmax::GetMaxErrorName (value.error), name.c_str());
        return;
    }

    if (value.size() > 0 && fitsInOneMessage (x, value.size(), "DumpAttribute"))
        outlet_anything (outlet, symbol, static_cast<short> (value.size()), value.atoms);
}

void DumpAttribute (t_object* x, t_symbol* name, void* outlet)
{
    DumpAttribute (x, std::string (name != nullptr ? name->s_name : ""), outlet);
}

void DumpAllAttributes (t_object* x, void* outlet, const kul::StringArray& names)
{
    if (outlet == nullptr)
    {
        object_error (x, "no dump outlet");
        return;
    }

    const long total = CountStateAtoms (x, names) + 2 * static_cast<long> (names.size());
    std::vector<t_atom> atoms (static_cast<size_t> (total));
    long written = 0;

    const auto append = [&] (const t_atom& atom) {
        // The values may have grown since they were counted: never past the array.
        if (written < total)
            atoms[static_cast<size_t> (written)] = atom;
        ++written;
    };

    for (const auto& name : names)
    {
        auto* symbol = gensym (name.c_str());
        const AttributeValue value (x, symbol);

        if (! value.ok())
        {
            object_bug (x, "DumpAllAttributes : %s in object_attr_getvalueof (%s)", oskelmax::GetMaxErrorName (value.error), name.c_str());
            continue;
        }

        if (value.size() == 0)
            continue;

        t_atom atom {};
        atom_setsym (&atom, symbol);
        append (atom);

        for (long i = 0; i < value.size(); ++i)
        {
            if (copyStateAtom (value.atoms[i], atom))
                append (atom);
            else
                object_warn (x, "unknown atom type in oskelmax_dumpattributes");
        }

        atom_setsym (&atom, oskelmax::GetSymbol (oskelmax::symComma));
        append (atom);
    }

    if (written != total)
    {
        object_error (x, "%ld atoms allocated but %ld atoms dumped", total, written);
        return;
    }

    if (fitsInOneMessage (x, total, "DumpAllAttributes"))
        outlet_list (outlet, nullptr, static_cast<short> (total), atoms.data());
}

void DumpStateAttributes (t_object* x, void* outlet)
{
    if (outlet == nullptr)
    {
        object_error (x, "no dump outlet");
        return;
    }

    DumpAllAttributes (x, outlet, oskelmax::GetStateAttributeNames (x));
}

void ResetAttributeToDefault (t_object* x, const std::string& name, bool ignoreDontReset, bool warn)
{
    const MaxAttribute attribute (x, name);

    if (attribute.IsNull())
    {
        object_error (x, "no attribute %s", name.c_str());
        return;
    }

    if (! attribute.CanBeReset() && ! ignoreDontReset)
        return;

    long ac = 0;
    t_atom* av = nullptr;
    const auto error = object_attr_getvalueof (attribute.attr, oskelmax::GetSymbol (oskelmax::symDefault), &ac, &av);

    if (error != MAX_ERR_NONE && error != MAX_ERR_GENERIC)
    {
        object_bug (x, "ResetAttributeToDefault : %s in object_attr_getvalueof default %s", oskelmax::GetMaxErrorName (error), name.c_str());
        sysmem_freeptr (av);
        return;
    }

    if (ac >= 1 && av != nullptr)
        object_attr_setvalueof (x, gensym (name.c_str()), ac, av);
    else if (warn)
        object_warn (x, "attribute %s doesnt have a default value", name.c_str());

    sysmem_freeptr (av);
}

void ResetAllAttributes (t_object* x)
{
    for (const auto& name : oskelmax::GetStateAttributeNames (x))
        ResetAttributeToDefault (x, name, false, false);
}
