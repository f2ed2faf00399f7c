// The accessors that the host calls for every attribute of "zelm.meter~": the
// getter, and the two setters that hand a value to its attribute's row.
#include "meter/MeterObject.h"

#include "meter/MeterAtoms.h"
#include "meter/MeterAttributes.h"
#include "meter/MeterHandOver.h"

#include "maxglue/AttributeState.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string_view>
#include <vector>

namespace
{
/** Every number of the meter is stored as a 32-bit float (a colour component
    too, before it is widened), and passes through presets, pattr, dictionaries
    and the export as one: a value must still be finite once narrowed. */
bool isFinite (const t_atom& atom)
{
    return atom.a_type != A_FLOAT || std::isfinite (meter_atomnumber (atom));
}

bool hasLimits (const t_meter_attribute& row)
{
    return std::any_of (row.steps.begin(), row.steps.end(),
                        [] (const t_meter_registrationstep& step) { return step.kind == t_meter_registrationstep::clip; });
}

/** Brings each number within the attribute's limits, keeping its type. NaN and
    the infinities have no limit to stand in for them: they stay, to be refused. */
void clip (const t_meter_range& range, std::vector<t_atom>& values)
{
    for (auto& atom : values)
    {
        if (atom.a_type == A_LONG)
        {
            const auto value = static_cast<double> (atom.a_w.w_long);

            if (value < range.minimum || value > range.maximum)
                atom_setlong (&atom, static_cast<t_atom_long> (std::llround (std::clamp (value, range.minimum, range.maximum))));
        }
        else if (atom.a_type == A_FLOAT && std::isfinite (atom.a_w.w_float))
        {
            atom.a_w.w_float = std::clamp (static_cast<double> (atom.a_w.w_float), range.minimum, range.maximum);
        }
    }
}

/** Makes the atoms a value of the row's attribute, or says why not. A word where a
    number belongs (or a number where a word belongs) is no value: taken as 0 it would
    open the gain to unity or zero a colour. Limits are kept here rather than by the
    host's clip filter, which turns a word into a number before the setter could
    refuse it. NaN, the infinities and what overflows the stored type are no value
    either. */
bool makeValue (const t_meter_attribute& row, t_object* attr, std::vector<t_atom>& values)
{
    if (! oskelmax::IsValueOfAttribute (attr, static_cast<long> (values.size()), values.data()))
        return false;

    if (hasLimits (row))
        clip (row.range, values);

    return std::all_of (values.begin(), values.end(), isFinite);
}

void showDeferred (t_meter* x, t_symbol*, long argc, t_atom* argv)
{
    const auto& attributes = meter_attributes();
    const auto row = argc >= 2 && argv != nullptr ? atom_getlong (argv) : -1;

    if (x->gui != nullptr && row >= 0 && row < static_cast<t_atom_long> (attributes.size()))
        attributes[static_cast<size_t> (row)].show (x, argv[1]);
}

/** The row stores the value, then its widget shows it on the main thread. */
void apply (t_meter* x, const t_meter_attribute& row, t_symbol* name, const std::vector<t_atom>& values)
{
    if (row.store != nullptr)
        row.store (x, static_cast<long> (values.size()), values.data());

    if (row.show != nullptr)
    {
        t_atom work[2];
        atom_setlong (work, &row - meter_attributes().data());
        work[1] = values[0];
        meter_onmain (x, showDeferred, name, 2, work);
    }
}

/** What every setter does around its row's work: values reach the row only when
    there are some and they are a value of the attribute; anything else is refused
    whole and the attribute keeps its value. A value refused while the object is
    being created would leave the field as the record was made, zero, instead of the
    default that the box's dictionary holds for every attribute the user did not
    give: the default is taken, so that the attribute and the window agree. A setter
    reached for a name it does not handle says so. */
t_max_err setAttribute (t_meter* x, t_object* attr, long argc, t_atom* argv, t_meter_setter setter)
{
    if (argc <= 0 || argv == nullptr)
        return MAX_ERR_NONE;

    auto* name = oskelmax_getattributename (attr);
    const auto& attributes = meter_attributes();
    const auto row = std::find_if (attributes.begin(), attributes.end(), [&] (const t_meter_attribute& attribute)
    {
        return attribute.setter == setter && name != nullptr && std::strcmp (attribute.name, name->s_name) == 0;
    });

    if (row == attributes.end())
    {
        object_error (meter_asobject (x), "unknown attribute %s", name != nullptr ? name->s_name : "");
    }
    else if (row->fixedAtCreation && x->creating && x->gui != nullptr)
    {
        // The box's dictionary, applied whole once the window is built, brings the
        // sizes again: they were taken (or refused, with a word) before it.
    }
    else if (std::vector<t_atom> values (argv, argv + argc); makeValue (*row, attr, values))
    {
        apply (x, *row, name, values);
    }
    else
    {
        object_error (meter_asobject (x), "invalid value for attribute %s", name->s_name);

        long count = 0;
        t_atom* atoms = nullptr;

        if (x->creating && object_attr_getvalueof (attr, gensym ("default"), &count, &atoms) == MAX_ERR_NONE && count > 0 && atoms != nullptr)
            apply (x, *row, name, std::vector<t_atom> (atoms, atoms + count));

        sysmem_freeptr (atoms);
    }

    meter_notifychanged (x);
    return MAX_ERR_NONE;
}
} // namespace

t_max_err meter_attr_get (t_meter* x, t_object* attr, long* argc, t_atom** argv)
{
    if (x == nullptr || attr == nullptr || argc == nullptr || argv == nullptr)
        return MAX_ERR_INVALID_PTR;

    // The fields are the four types that the meter registers; colours are the longest.
    const auto& record = *reinterpret_cast<const t_eattr*> (attr);
    constexpr long longest = 4;

    if (record.offset < 0 || record.size < 1 || record.size > longest || record.type == nullptr)
        return MAX_ERR_GENERIC;

    const std::string_view type = record.type->s_name;
    const auto* field = reinterpret_cast<const char*> (x) + record.offset;
    t_atom values[longest] {};
    {
        const std::lock_guard<std::mutex> lock (x->attributeMutex);

        for (long i = 0; i < record.size; ++i)
        {
            if (type == "long")
                atom_setlong (&values[i], reinterpret_cast<const t_atom_long*> (field)[i]);
            else if (type == "float32")
                atom_setfloat (&values[i], reinterpret_cast<const float*> (field)[i]);
            else if (type == "float64")
                atom_setfloat (&values[i], reinterpret_cast<const double*> (field)[i]);
            else if (type == "symbol")
                atom_setsym (&values[i], reinterpret_cast<t_symbol* const*> (field)[i]);
            else
                return MAX_ERR_GENERIC;
        }
    }

    // The caller's array when it brings one (never written past its end), else a new one.
    long count = record.size;

    if (*argc > 0 && *argv != nullptr)
        count = std::min (*argc, count);
    else
        *argv = reinterpret_cast<t_atom*> (sysmem_newptr (static_cast<long> (sizeof (t_atom)) * count));

    if (*argv == nullptr)
    {
        *argc = 0;
        return MAX_ERR_OUT_OF_MEM;
    }

    std::copy (values, values + count, *argv);
    *argc = count;
    return MAX_ERR_NONE;
}

t_max_err meter_attr_set (t_meter* x, t_object* attr, long argc, t_atom* argv)
{
    return setAttribute (x, attr, argc, argv, t_meter_setter::standard);
}

t_max_err meter_attr_set_render (t_meter* x, t_object* attr, long argc, t_atom* argv)
{
    return setAttribute (x, attr, argc, argv, t_meter_setter::render);
}
