// Attributes: over record fields or storing their own values, with
// meta-attributes (attributes of the attribute object), clip filters and
// setters deferred to the main thread.
#include "Host.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace maxhost::detail
{
namespace
{
    t_object* newAttribute (const char* name, t_symbol* type, long size, long flags, method mget, method mset, long offsetcount,
                            long offset)
    {
        auto* a = new AttributeObject();
        a->rec.name = gensym (name);
        a->rec.type = type != nullptr ? type : gensym ("atom");
        a->rec.flags = flags;
        a->rec.get = mget;
        a->rec.set = mset;
        a->rec.offset = offset;
        a->rec.size = std::max (size, 1L);
        a->offsetCount = offsetcount;
        registerObject (&a->rec.ob, internalClass (Kind::attribute), Kind::attribute);
        return &a->rec.ob;
    }

    t_atom symbolAtom (t_symbol* s)
    {
        t_atom atom;
        atom_setsym (&atom, s != nullptr ? s : gensym (""));
        return atom;
    }

    // Adds a meta-attribute, or gives an existing one its new value and flags.
    t_max_err addOwnAttribute (t_object* x, const char* name, t_symbol* type, long flags, const std::vector<t_atom>& values)
    {
        if (x == nullptr || name == nullptr)
            return MAX_ERR_INVALID_PTR;
        auto* data = dataOf (x);
        auto* symbol = gensym (name);
        for (auto* existing : data->attributes)
        {
            auto* a = asAttribute (existing);
            if (a->rec.name == symbol)
            {
                a->rec.type = type;
                a->rec.flags = flags;
                a->stored = values;
                return MAX_ERR_NONE;
            }
        }
        auto* attr = newAttribute (name, type, 1, flags, nullptr, nullptr, 0, -1);
        asAttribute (attr)->stored = values;
        data->attributes.push_back (attr);
        return MAX_ERR_NONE;
    }

    std::vector<t_atom> formatAtoms (const char* fmt, va_list args)
    {
        std::vector<t_atom> atoms;
        for (const char* f = fmt; f != nullptr && *f != '\0'; ++f)
        {
            t_atom atom {};
            switch (*f)
            {
                case 's': atom = symbolAtom (va_arg (args, t_symbol*)); break;
                case 'l': atom_setlong (&atom, va_arg (args, t_atom_long)); break;
                case 'i': atom_setlong (&atom, va_arg (args, int)); break;
                case 'f':
                case 'd': atom_setfloat (&atom, va_arg (args, double)); break;
                case 'o': atom_setobj (&atom, va_arg (args, t_object*)); break;
                default: continue;
            }
            atoms.push_back (atom);
        }
        return atoms;
    }

    bool isFloatType (t_symbol* type)
    {
        return type == gensym ("float32") || type == gensym ("float64") || type == gensym ("float");
    }

    bool isLongType (t_symbol* type)
    {
        return type == gensym ("long") || type == gensym ("char") || type == gensym ("int");
    }
} // namespace

AttributeObject* asAttribute (const void* attr)
{
    // The attribute record is the first member of the host's attribute object.
    return reinterpret_cast<AttributeObject*> (const_cast<void*> (attr));
}

void freeAttribute (t_object* attr)
{
    if (attr == nullptr)
        return;
    unregisterObject (attr);
    cancelMainWork (attr);
    freeObjectData (attr);
    delete asAttribute (attr);
}

t_object* findAttribute (const void* x, t_symbol* name)
{
    auto* data = dataOf (x);
    if (data == nullptr || name == nullptr)
        return nullptr;
    for (auto* attr : data->attributes)
        if (asAttribute (attr)->rec.name == name)
            return attr;
    if (data->kind != Kind::user)
        return nullptr;
    if (auto* classData = classDataOf (static_cast<const t_object*> (x)->o_class))
        for (auto* attr : classData->attributes)
            if (asAttribute (attr)->rec.name == name)
                return attr;
    return nullptr;
}

bool isAttributeKey (const t_atom& atom)
{
    return atom.a_type == A_SYM && atom.a_w.w_sym != nullptr && atom.a_w.w_sym->s_name[0] == '@';
}

std::vector<t_atom> convertToType (const std::vector<t_atom>& atoms, t_symbol* type)
{
    std::vector<t_atom> result = atoms;
    for (auto& atom : result)
    {
        if (isLongType (type) && atom.a_type == A_FLOAT)
            atom_setlong (&atom, static_cast<t_atom_long> (atom.a_w.w_float));
        else if (isFloatType (type) && atom.a_type == A_LONG)
            atom_setfloat (&atom, static_cast<double> (atom.a_w.w_long));
        else if (type == gensym ("symbol") && atom.a_type != A_SYM)
            atom_setsym (&atom, gensym (atomsToText ({ atom }).c_str()));
    }
    return result;
}

std::vector<t_atom> readAttribute (t_object* owner, AttributeObject* attr)
{
    if (attr->rec.offset < 0)
        return attr->stored;

    auto* base = reinterpret_cast<char*> (owner) + attr->rec.offset;
    long count = attr->rec.size;
    if (attr->offsetCount > 0)
        count = std::clamp (*reinterpret_cast<long*> (reinterpret_cast<char*> (owner) + attr->offsetCount), 0L, attr->rec.size);

    std::vector<t_atom> values (static_cast<size_t> (count));
    auto* type = attr->rec.type;
    for (long i = 0; i < count; ++i)
    {
        auto& atom = values[static_cast<size_t> (i)];
        if (type == gensym ("long"))
            atom_setlong (&atom, reinterpret_cast<t_atom_long*> (base)[i]);
        else if (type == gensym ("char"))
            atom_setlong (&atom, reinterpret_cast<unsigned char*> (base)[i]);
        else if (type == gensym ("int"))
            atom_setlong (&atom, reinterpret_cast<int*> (base)[i]);
        else if (type == gensym ("float32") || type == gensym ("float"))
            atom_setfloat (&atom, reinterpret_cast<float*> (base)[i]);
        else if (type == gensym ("float64"))
            atom_setfloat (&atom, reinterpret_cast<double*> (base)[i]);
        else if (type == gensym ("symbol"))
            atom = symbolAtom (reinterpret_cast<t_symbol**> (base)[i]);
        else if (type == gensym ("object"))
            atom_setobj (&atom, reinterpret_cast<t_object**> (base)[i]);
        else
            atom = reinterpret_cast<t_atom*> (base)[i];
    }
    return values;
}

namespace
{
    void writeField (t_object* owner, AttributeObject* attr, long ac, const t_atom* av)
    {
        if (attr->rec.offset < 0)
        {
            attr->stored.assign (av, av + ac);
            return;
        }
        auto* base = reinterpret_cast<char*> (owner) + attr->rec.offset;
        const long count = std::min (ac, attr->rec.size);
        auto* type = attr->rec.type;
        for (long i = 0; i < count; ++i)
        {
            const auto& atom = av[i];
            // NaN or an infinity is no value of a number field: the field keeps its own.
            if (atom.a_type == A_FLOAT && ! std::isfinite (atom.a_w.w_float) && (isLongType (type) || isFloatType (type)))
                continue;
            if (type == gensym ("long"))
                reinterpret_cast<t_atom_long*> (base)[i] = atom_getlong (&atom);
            else if (type == gensym ("char"))
                reinterpret_cast<unsigned char*> (base)[i] = static_cast<unsigned char> (atom_getlong (&atom));
            else if (type == gensym ("int"))
                reinterpret_cast<int*> (base)[i] = static_cast<int> (atom_getlong (&atom));
            else if (type == gensym ("float32") || type == gensym ("float"))
                reinterpret_cast<float*> (base)[i] = static_cast<float> (atom_getfloat (&atom));
            else if (type == gensym ("float64"))
                reinterpret_cast<double*> (base)[i] = atom_getfloat (&atom);
            else if (type == gensym ("symbol"))
            {
                if (atom.a_type == A_SYM)
                    reinterpret_cast<t_symbol**> (base)[i] = atom.a_w.w_sym;
            }
            else if (type == gensym ("object"))
                reinterpret_cast<t_object**> (base)[i] = static_cast<t_object*> (atom_getobj (&atom));
            else
                reinterpret_cast<t_atom*> (base)[i] = atom;
        }
        if (attr->offsetCount > 0)
            *reinterpret_cast<long*> (reinterpret_cast<char*> (owner) + attr->offsetCount) = count;
    }

    // As a host's clip filter: each atom counts as the number it converts to (a
    // symbol or any other non-number as 0) and that number is clipped. NaN and
    // the infinities are no number that a limit could stand in for: they go on
    // unchanged, for the setter to refuse.
    void applyClip (AttributeObject* attr, std::vector<t_atom>& values)
    {
        if (! attr->clip)
            return;
        const bool longType = isLongType (attr->rec.type);
        for (auto& atom : values)
        {
            if (atom.a_type != A_LONG && atom.a_type != A_FLOAT)
            {
                if (longType)
                    atom_setlong (&atom, 0);
                else
                    atom_setfloat (&atom, 0.0);
            }
            if (atom.a_type == A_FLOAT && ! std::isfinite (atom.a_w.w_float))
                continue;
            double v = atom_getfloat (&atom);
            if (attr->useMinimum && v < attr->minimum)
                v = attr->minimum;
            if (attr->useMaximum && v > attr->maximum)
                v = attr->maximum;
            if (atom.a_type == A_LONG)
            {
                if (v != static_cast<double> (atom.a_w.w_long))
                    atom_setlong (&atom, static_cast<t_atom_long> (std::llround (v)));
            }
            else
                atom.a_w.w_float = v;
        }
    }

    void invokeSetter (t_object* owner, t_object* attrObject, std::vector<t_atom> values)
    {
        auto* attr = asAttribute (attrObject);
        if (attr->rec.set != nullptr)
            typed<t_max_err (*) (t_object*, t_object*, long, t_atom*)> (attr->rec.set) (owner, attrObject,
                                                                                                   static_cast<long> (values.size()),
                                                                                                   values.data());
        else
            writeField (owner, attr, static_cast<long> (values.size()), values.data());
    }
} // namespace

t_max_err setAttribute (t_object* owner, t_object* attrObject, long ac, const t_atom* av)
{
    auto* attr = asAttribute (attrObject);
    if (shouldFail ("object_attr_setvalueof", attr->rec.name->s_name))
        return MAX_ERR_GENERIC;
    std::vector<t_atom> values;
    if (ac > 0 && av != nullptr)
        values.assign (av, av + ac);
    // The filter runs on every path, before the setter sees the values.
    applyClip (attr, values);

    const bool deferred = (attr->rec.flags & (ATTR_SET_DEFER | ATTR_SET_DEFER_LOW)) != 0;
    if (deferred && ! onMainThread())
    {
        queueOnMain (owner, [owner, attrObject, values] { invokeSetter (owner, attrObject, values); });
        return MAX_ERR_NONE;
    }
    invokeSetter (owner, attrObject, std::move (values));
    return MAX_ERR_NONE;
}
} // namespace maxhost::detail

using namespace maxhost::detail;

extern "C" {

t_object* attr_offset_new (const char* name, t_symbol* type, long flags, method mget, method mset, long offset)
{
    return newAttribute (name, type, 1, flags, mget, mset, 0, offset);
}

t_object* attr_offset_array_new (const char* name, t_symbol* type, long size, long flags, method mget, method mset, long offsetcount,
                                 long offset)
{
    return newAttribute (name, type, size, flags, mget, mset, offsetcount, offset);
}

t_object* attribute_new (const char* name, t_symbol* type, long flags, method mget, method mset)
{
    return newAttribute (name, type, 1, flags, mget, mset, 0, -1);
}

t_max_err class_addattr (t_class* c, t_object* attr)
{
    if (c == nullptr || attr == nullptr || ! isKind (attr, Kind::attribute))
        return MAX_ERR_INVALID_PTR;
    auto* a = asAttribute (attr);
    if (shouldFail ("class_addattr", a->rec.name->s_name))
    {
        freeAttribute (attr);
        return MAX_ERR_GENERIC;
    }
    auto& attributes = classDataOf (c)->attributes;
    for (auto* existing : attributes)
    {
        if (asAttribute (existing)->rec.name == a->rec.name)
        {
            error ("class_addattr: %s: attribute %s exists already", c->c_sym->s_name, a->rec.name->s_name);
            freeAttribute (attr);
            return MAX_ERR_DUPLICATE;
        }
    }
    attributes.push_back (attr);
    return MAX_ERR_NONE;
}

t_object* class_attr_get (t_class* c, t_symbol* attrname)
{
    auto* data = classDataOf (c);
    if (data == nullptr)
        return nullptr;
    for (auto* attr : data->attributes)
        if (asAttribute (attr)->rec.name == attrname)
            return attr;
    return nullptr;
}

t_max_err attr_addfilter_clip (void* attr, double min, double max, long usemin, long usemax)
{
    if (attr == nullptr || ! isKind (attr, Kind::attribute))
        return MAX_ERR_INVALID_PTR;
    auto* a = asAttribute (attr);
    a->clip = true;
    a->minimum = min;
    a->maximum = max;
    a->useMinimum = usemin != 0;
    a->useMaximum = usemax != 0;
    return MAX_ERR_NONE;
}

t_max_err class_attr_addattr_parse (t_class* c, const char* attrname, const char* metaname, t_symbol* type, long flags,
                                    const char* parsestr)
{
    auto* attr = class_attr_get (c, gensym (attrname));
    if (attr == nullptr)
        return MAX_ERR_GENERIC;
    return object_addattr_parse (attr, metaname, type, flags, parsestr);
}

t_max_err class_attr_addattr_format (t_class* c, const char* attrname, const char* metaname, t_symbol* type, long flags,
                                     const char* fmt, ...)
{
    auto* attr = class_attr_get (c, gensym (attrname));
    if (attr == nullptr)
        return MAX_ERR_GENERIC;
    va_list args;
    va_start (args, fmt);
    auto atoms = formatAtoms (fmt, args);
    va_end (args);
    return addOwnAttribute (attr, metaname, type, flags, atoms);
}

t_max_err object_addattr (void* x, t_object* attr)
{
    auto* data = dataOf (x);
    if (data == nullptr || attr == nullptr || ! isKind (attr, Kind::attribute))
        return MAX_ERR_INVALID_PTR;
    for (auto* existing : data->attributes)
    {
        if (asAttribute (existing)->rec.name == asAttribute (attr)->rec.name)
        {
            freeAttribute (attr);
            return MAX_ERR_DUPLICATE;
        }
    }
    data->attributes.push_back (attr);
    return MAX_ERR_NONE;
}

t_max_err object_addattr_parse (t_object* x, const char* attrname, t_symbol* type, long flags, const char* parsestr)
{
    auto* t = type != nullptr ? type : gensym ("atom");
    return addOwnAttribute (x, attrname, t, flags, convertToType (maxhost::parseAtoms (parsestr != nullptr ? parsestr : ""), t));
}

t_max_err object_addattr_format (t_object* x, const char* attrname, t_symbol* type, long flags, const char* fmt, ...)
{
    va_list args;
    va_start (args, fmt);
    auto atoms = formatAtoms (fmt, args);
    va_end (args);
    return addOwnAttribute (x, attrname, type != nullptr ? type : gensym ("atom"), flags, atoms);
}

t_object* object_attr_get (void* x, t_symbol* attrname)
{
    return checkLive (x, "object_attr_get") ? findAttribute (x, attrname) : nullptr;
}

t_max_err object_attr_getvalueof (void* x, t_symbol* attrname, long* ac, t_atom** av)
{
    if (ac == nullptr || av == nullptr)
        return MAX_ERR_INVALID_PTR;
    const bool callerMemory = *ac > 0 && *av != nullptr;
    // No atoms; the caller's own array stays where it is.
    const auto noValue = [&] (t_max_err error) {
        if (! callerMemory)
            *av = nullptr;
        *ac = 0;
        return error;
    };
    auto* attrObject = checkLive (x, "object_attr_getvalueof") ? findAttribute (x, attrname) : nullptr;
    if (attrObject == nullptr)
        return noValue (MAX_ERR_GENERIC);
    if (shouldFail ("object_attr_getvalueof", attrname->s_name))
        return noValue (MAX_ERR_OUT_OF_MEM);
    auto* attr = asAttribute (attrObject);
    if ((attr->rec.flags & ATTR_GET_OPAQUE) != 0)
        return noValue (MAX_ERR_GENERIC);
    if (attr->rec.get != nullptr)
        return typed<t_max_err (*) (t_object*, t_object*, long*, t_atom**)> (attr->rec.get) (static_cast<t_object*> (x),
                                                                                                        attrObject, ac, av);

    auto values = readAttribute (static_cast<t_object*> (x), attr);
    if (callerMemory)
    {
        // Never past the end of the caller's array.
        const long n = std::min (*ac, static_cast<long> (values.size()));
        std::copy (values.begin(), values.begin() + n, *av);
        *ac = n;
        return MAX_ERR_NONE;
    }
    if (values.empty())
    {
        *ac = 0;
        *av = nullptr;
        return MAX_ERR_NONE;
    }
    *av = reinterpret_cast<t_atom*> (sysmem_newptr (static_cast<long> (values.size() * sizeof (t_atom))));
    if (*av == nullptr)
    {
        *ac = 0;
        return MAX_ERR_OUT_OF_MEM;
    }
    std::copy (values.begin(), values.end(), *av);
    *ac = static_cast<long> (values.size());
    return MAX_ERR_NONE;
}

t_max_err object_attr_setvalueof (void* x, t_symbol* attrname, long ac, t_atom* av)
{
    auto* attrObject = checkLive (x, "object_attr_setvalueof") ? findAttribute (x, attrname) : nullptr;
    if (attrObject == nullptr)
        return MAX_ERR_GENERIC;
    if ((asAttribute (attrObject)->rec.flags & ATTR_SET_OPAQUE) != 0)
        return MAX_ERR_GENERIC;
    return setAttribute (static_cast<t_object*> (x), attrObject, ac, av);
}

t_max_err object_attr_getnames (void* x, long* count, t_symbol*** names)
{
    if (count == nullptr || names == nullptr)
        return MAX_ERR_INVALID_PTR;
    *count = 0;
    *names = nullptr;
    auto* data = checkLive (x, "object_attr_getnames") ? dataOf (x) : nullptr;
    if (data == nullptr)
        return MAX_ERR_INVALID_PTR;
    std::vector<t_symbol*> result;
    if (data->kind == Kind::user)
        if (auto* classData = classDataOf (static_cast<t_object*> (x)->o_class))
            for (auto* attr : classData->attributes)
                result.push_back (asAttribute (attr)->rec.name);
    for (auto* attr : data->attributes)
        result.push_back (asAttribute (attr)->rec.name);
    if (result.empty())
        return MAX_ERR_NONE;
    *names = reinterpret_cast<t_symbol**> (sysmem_newptr (static_cast<long> (result.size() * sizeof (t_symbol*))));
    if (*names == nullptr)
        return MAX_ERR_OUT_OF_MEM;
    std::copy (result.begin(), result.end(), *names);
    *count = static_cast<long> (result.size());
    return MAX_ERR_NONE;
}

namespace
{
    t_atom firstValue (void* x, t_symbol* attrname)
    {
        t_atom first {};
        long ac = 0;
        t_atom* av = nullptr;
        if (object_attr_getvalueof (x, attrname, &ac, &av) == MAX_ERR_NONE && ac > 0 && av != nullptr)
            first = av[0];
        sysmem_freeptr (av);
        return first;
    }
} // namespace

t_atom_long object_attr_getlong (void* x, t_symbol* attrname)
{
    auto value = firstValue (x, attrname);
    return atom_getlong (&value);
}

t_atom_float object_attr_getfloat (void* x, t_symbol* attrname)
{
    auto value = firstValue (x, attrname);
    return atom_getfloat (&value);
}

t_symbol* object_attr_getsym (void* x, t_symbol* attrname)
{
    auto value = firstValue (x, attrname);
    return value.a_type == A_SYM ? value.a_w.w_sym : nullptr;
}

t_object* object_attr_getobj (void* x, t_symbol* attrname)
{
    auto value = firstValue (x, attrname);
    return static_cast<t_object*> (atom_getobj (&value));
}

t_max_err object_attr_setlong (void* x, t_symbol* attrname, t_atom_long v)
{
    t_atom atom;
    atom_setlong (&atom, v);
    return object_attr_setvalueof (x, attrname, 1, &atom);
}

t_max_err object_attr_setfloat (void* x, t_symbol* attrname, t_atom_float v)
{
    t_atom atom;
    atom_setfloat (&atom, v);
    return object_attr_setvalueof (x, attrname, 1, &atom);
}

t_max_err object_attr_setsym (void* x, t_symbol* attrname, t_symbol* v)
{
    t_atom atom;
    atom_setsym (&atom, v);
    return object_attr_setvalueof (x, attrname, 1, &atom);
}

t_dictionary* object_dictionaryarg (long ac, t_atom* av)
{
    for (long i = ac - 1; av != nullptr && i >= 0; --i)
        if (av[i].a_type == A_OBJ && isKind (av[i].a_w.w_obj, Kind::dictionary))
            return reinterpret_cast<t_dictionary*> (av[i].a_w.w_obj);
    return nullptr;
}

t_max_err attr_dictionary_check (void* x, t_dictionary* d)
{
    if (x == nullptr || d == nullptr)
        return MAX_ERR_INVALID_PTR;
    long count = 0;
    t_symbol** keys = nullptr;
    dictionary_getkeys (d, &count, &keys);
    for (long i = 0; i < count; ++i)
        if (findAttribute (x, keys[i]) == nullptr)
            object_warn (static_cast<t_object*> (x), "no attribute \"%s\"", keys[i]->s_name);
    dictionary_freekeys (d, count, keys);
    return MAX_ERR_NONE;
}

t_max_err attr_dictionary_process (void* x, t_dictionary* d)
{
    if (x == nullptr || d == nullptr)
        return MAX_ERR_INVALID_PTR;
    long count = 0;
    t_symbol** keys = nullptr;
    dictionary_getkeys_ordered (d, &count, &keys);
    for (long i = 0; i < count; ++i)
    {
        if (findAttribute (x, keys[i]) == nullptr)
            continue;
        long ac = 0;
        t_atom* av = nullptr;
        if (dictionary_getatoms (d, keys[i], &ac, &av) == MAX_ERR_NONE)
        {
            std::vector<t_atom> values (av, av + ac);   // the setter may change the dictionary
            object_attr_setvalueof (x, keys[i], ac, values.data());
        }
    }
    dictionary_freekeys (d, count, keys);
    return MAX_ERR_NONE;
}

long attr_args_offset (short ac, t_atom* av)
{
    for (short i = 0; av != nullptr && i < ac; ++i)
        if (isAttributeKey (av[i]))
            return i;
    return ac > 0 ? ac : 0;
}

void attr_args_process (void* x, short ac, t_atom* av)
{
    for (long i = attr_args_offset (ac, av); i < ac;)
    {
        auto* name = gensym (av[i].a_w.w_sym->s_name + 1);
        long j = i + 1;
        while (j < ac && ! isAttributeKey (av[j]))
            ++j;
        if (findAttribute (x, name) == nullptr)
            object_error (static_cast<t_object*> (x), "no attribute \"%s\"", name->s_name);
        else
            object_attr_setvalueof (x, name, j - i - 1, av + i + 1);
        i = j;
    }
}

} // extern "C"
