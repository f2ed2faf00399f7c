#include "maxglue/ClassDocumentation.h"

namespace oskelmax
{
namespace
{
    t_object* classDescription (t_class* c)
    {
        return c != nullptr ? class_attr_get (c, gensym ("classdescription")) : nullptr;
    }

    t_symbol* symbolOf (const char* text)
    {
        return gensym (text != nullptr ? text : "");
    }

    bool hasRecord (t_object* description, const char* name)
    {
        return object_attr_get (description, gensym (name)) != nullptr;
    }

    // The record's object when it is of the kind asked for. Anyone can store
    // a meta-attribute of any name on the class description, so a record is
    // never taken for granted: one of another kind is reported and left alone.
    t_object* recordOfKind (t_object* description, const char* name, long (*isOfKind) (const t_atom*), const char* kind,
                            const char* caller)
    {
        if (description == nullptr || ! hasRecord (description, name))
            return nullptr;

        t_atom atom {};
        auto* object = object_attr_getobj (description, gensym (name));
        atom_setobj (&atom, object);

        if (object != nullptr && isOfKind (&atom) != 0)
            return object;

        object_error (nullptr, "%s : the %s record is not %s", caller, name, kind);
        return nullptr;
    }

    // The named array of the class description, made empty on first use.
    t_atomarray* atomArrayRecord (t_object* description, const char* name, const char* caller)
    {
        if (hasRecord (description, name))
            return class_doc_atomarray (description, name, caller);

        auto* created = atomarray_new (0, nullptr);
        if (created != nullptr)
            object_addattr_format (description, name, gensym ("object"), 0, "o", created);

        return created;
    }

    // The named dictionary of the class description, made empty on first use.
    t_dictionary* dictionaryRecord (t_object* description, const char* name, const char* caller)
    {
        if (hasRecord (description, name))
            return class_doc_dictionary (description, name, caller);

        auto* created = dictionary_new();
        if (created != nullptr)
            object_addattr_format (description, name, gensym ("object"), 0, "o", created);

        return created;
    }
} // namespace

t_atomarray* class_doc_atomarray (t_object* classDescription, const char* name, const char* caller)
{
    return reinterpret_cast<t_atomarray*> (recordOfKind (classDescription, name, &atomisatomarray, "an atom array", caller));
}

t_dictionary* class_doc_dictionary (t_object* classDescription, const char* name, const char* caller)
{
    return reinterpret_cast<t_dictionary*> (recordOfKind (classDescription, name, &atomisdictionary, "a dictionary", caller));
}

void class_doc_arg (t_class* c, const char* name, const char* type, const char* description)
{
    auto* record = classDescription (c);

    if (record == nullptr)
    {
        object_post (nullptr, "oskelmax::class_doc_arg no %s class attribute", "classdescription");
        return;
    }

    if (auto* arguments = atomArrayRecord (record, "arguments", "oskelmax::class_doc_arg"))
    {
        t_atom triple[3];
        atom_setsym (&triple[0], symbolOf (name));
        atom_setsym (&triple[1], symbolOf (type));
        atom_setsym (&triple[2], symbolOf (description));
        atomarray_appendatoms (arguments, 3, triple);
    }
}

void class_doc_method (t_class* c, const char* name, const char* description)
{
    auto* record = classDescription (c);

    if (record == nullptr)
        return;

    auto* methods = dictionaryRecord (record, "methods", "oskelmax::class_doc_method");

    if (methods == nullptr)
        return;

    t_atom entry[2];
    atom_setsym (&entry[0], symbolOf (description));
    atom_setlong (&entry[1], 0);

    if (auto* array = atomarray_new (2, entry))
        dictionary_appendobject (methods, symbolOf (name), reinterpret_cast<t_object*> (array));
}

void class_doc_method_arg (t_class* c, const char* methodName, const char* argumentName, const char* argumentType)
{
    auto* record = classDescription (c);

    if (record == nullptr)
        return;

    auto* methods = class_doc_dictionary (record, "methods", "oskelmax::class_doc_method_arg");
    t_atom entry {};

    if (methods == nullptr || dictionary_getatom (methods, symbolOf (methodName), &entry) != MAX_ERR_NONE || atomisatomarray (&entry) == 0)
        return;

    t_atom pair[2];
    atom_setsym (&pair[0], symbolOf (argumentName));
    atom_setsym (&pair[1], symbolOf (argumentType));
    atomarray_appendatoms (reinterpret_cast<t_atomarray*> (atom_getobj (&entry)), 2, pair);
}

void class_doc_inlet (t_class* c, int index, const char* description)
{
    class_doc_array_add_description (c, "inlets", index, description);
}

void class_doc_outlet (t_class* c, int index, const char* description)
{
    class_doc_array_add_description (c, "outlets", index, description);
}

void class_doc_array_add_description (t_class* c, const char* arrayName, int index, const char* description)
{
    auto* record = classDescription (c);

    if (record == nullptr)
    {
        object_post (nullptr, "oskelmax::class_doc_array_add_description no %s class attribute", "classdescription");
        return;
    }

    // Each lower index takes an atom: an index past any real count of ports
    // would grow the record without bound.
    if (index < 0 || index >= class_doc_max_index)
    {
        object_error (nullptr, "oskelmax::class_doc_array_add_description index %d of %s is out of range", index, arrayName);
        return;
    }

    auto* array = atomArrayRecord (record, arrayName, "oskelmax::class_doc_array_add_description");

    if (array == nullptr)
        return;

    const auto size = atomarray_getsize (array);

    if (size > index)
        return;

    for (auto position = size; position <= index; ++position)
    {
        t_atom atom;
        atom_setsym (&atom, position < index ? gensym ("not documented") : symbolOf (description));
        atomarray_appendatom (array, &atom);
    }
}

} // namespace oskelmax
