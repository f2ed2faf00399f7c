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

    // The named record of the class description, made empty on first use.
    t_atomarray* atomArrayRecord (t_object* description, const char* name)
    {
        if (auto* existing = reinterpret_cast<t_atomarray*> (object_attr_getobj (description, gensym (name))))
            return existing;

        auto* created = atomarray_new (0, nullptr);
        if (created != nullptr)
            object_addattr_format (description, name, gensym ("object"), 0, "o", created);

        return created;
    }
} // namespace

void class_doc_arg (t_class* c, const char* name, const char* type, const char* description)
{
    auto* record = classDescription (c);

    if (record == nullptr)
    {
        object_post (nullptr, "oskelmax::class_doc_arg no %s class attribute", "classdescription");
        return;
    }

    if (auto* arguments = atomArrayRecord (record, "arguments"))
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

    auto* methods = reinterpret_cast<t_dictionary*> (object_attr_getobj (record, gensym ("methods")));

    if (methods == nullptr)
    {
        methods = dictionary_new();
        if (methods == nullptr)
            return;
        object_addattr_format (record, "methods", gensym ("object"), 0, "o", methods);
    }

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

    auto* methods = reinterpret_cast<t_dictionary*> (object_attr_getobj (record, gensym ("methods")));
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

    auto* array = atomArrayRecord (record, arrayName);

    if (array == nullptr || index < 0)
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
