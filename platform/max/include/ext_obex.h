// Attributes, atom arrays and dictionaries of the plug-in host interface.
#pragma once

#include "ext.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct _atomarray t_atomarray;
typedef struct _dictionary t_dictionary;

// Attribute flags.
enum
{
    ATTR_FLAGS_NONE = 0,
    ATTR_GET_OPAQUE = 0x1,             // nobody can read the value
    ATTR_SET_OPAQUE = 0x2,             // nobody can set it
    ATTR_GET_OPAQUE_USER = 0x100,      // hidden from the user when reading
    ATTR_SET_OPAQUE_USER = 0x200,      // the user cannot set it
    ATTR_SET_DEFER = 0x1000000,        // the setter runs on the main thread
    ATTR_SET_DEFER_LOW = 0x4000000     // the same, queued at low priority
};

// The record of an attribute object. Attribute objects are objects: their
// meta-attributes ("label", "default", ...) are attributes of them.
typedef struct _attr_record
{
    t_object ob;
    t_symbol* name;
    t_symbol* type;       // "long", "float32", "float64", "symbol", "atom", "object", "char"
    long flags;
    method get;           // t_max_err get (t_object* x, t_object* attr, long* ac, t_atom** av), or null
    method set;           // t_max_err set (t_object* x, t_object* attr, long ac, t_atom* av), or null
    long offset;          // byte offset of the field in the owner's record, -1 when the attribute stores its value itself
    long size;            // number of values (fixed arrays); 1 for a scalar
} t_eattr;

// Attributes over record fields, or storing their own values (attribute_new).
MAXHOST_API t_object* attr_offset_new (const char* name, t_symbol* type, long flags, method mget, method mset, long offset);
MAXHOST_API t_object* attr_offset_array_new (const char* name, t_symbol* type, long size, long flags, method mget, method mset,
                                             long offsetcount, long offset);
MAXHOST_API t_object* attribute_new (const char* name, t_symbol* type, long flags, method mget, method mset);
MAXHOST_API t_max_err class_addattr (t_class* c, t_object* attr);
MAXHOST_API t_object* class_attr_get (t_class* c, t_symbol* attrname);
// Clips numeric values on every path to the setter.
MAXHOST_API t_max_err attr_addfilter_clip (void* attr, double min, double max, long usemin, long usemax);
// Meta-attributes of a class attribute: values parsed from text, converted to type.
MAXHOST_API t_max_err class_attr_addattr_parse (t_class* c, const char* attrname, const char* metaname, t_symbol* type, long flags,
                                                const char* parsestr);
// Meta-attributes from C values: format letters s (t_symbol*), l (t_atom_long),
// i (int), f and d (double), o (t_object*), one atom per letter.
MAXHOST_API t_max_err class_attr_addattr_format (t_class* c, const char* attrname, const char* metaname, t_symbol* type, long flags,
                                                 const char* fmt, ...);
MAXHOST_API t_max_err object_addattr (void* x, t_object* attr);
MAXHOST_API t_max_err object_addattr_parse (t_object* x, const char* attrname, t_symbol* type, long flags, const char* parsestr);
MAXHOST_API t_max_err object_addattr_format (t_object* x, const char* attrname, t_symbol* type, long flags, const char* fmt, ...);

MAXHOST_API t_object* object_attr_get (void* x, t_symbol* attrname);
// A missing attribute answers MAX_ERR_GENERIC with *ac 0 and *av null. Otherwise
// the caller frees *av with sysmem_freeptr (unless it passed its own array).
MAXHOST_API t_max_err object_attr_getvalueof (void* x, t_symbol* attrname, long* ac, t_atom** av);
MAXHOST_API t_max_err object_attr_setvalueof (void* x, t_symbol* attrname, long ac, t_atom* av);
// Names in registration order; the caller frees *names with sysmem_freeptr.
MAXHOST_API t_max_err object_attr_getnames (void* x, long* count, t_symbol*** names);
MAXHOST_API t_atom_long object_attr_getlong (void* x, t_symbol* attrname);
MAXHOST_API t_atom_float object_attr_getfloat (void* x, t_symbol* attrname);
MAXHOST_API t_symbol* object_attr_getsym (void* x, t_symbol* attrname);
MAXHOST_API t_object* object_attr_getobj (void* x, t_symbol* attrname);
MAXHOST_API t_max_err object_attr_setlong (void* x, t_symbol* attrname, t_atom_long v);
MAXHOST_API t_max_err object_attr_setfloat (void* x, t_symbol* attrname, t_atom_float v);
MAXHOST_API t_max_err object_attr_setsym (void* x, t_symbol* attrname, t_symbol* v);

// Creation arguments.
MAXHOST_API t_dictionary* object_dictionaryarg (long ac, t_atom* av);
MAXHOST_API t_max_err attr_dictionary_process (void* x, t_dictionary* d);
MAXHOST_API t_max_err attr_dictionary_check (void* x, t_dictionary* d);
MAXHOST_API long attr_args_offset (short ac, t_atom* av);
MAXHOST_API void attr_args_process (void* x, short ac, t_atom* av);

// Atom arrays (objects; object_free frees them).
MAXHOST_API t_atomarray* atomarray_new (long ac, t_atom* av);
MAXHOST_API t_atom_long atomarray_getsize (t_atomarray* x);
MAXHOST_API t_max_err atomarray_getatoms (t_atomarray* x, long* ac, t_atom** av);       // the array's own storage
MAXHOST_API t_max_err atomarray_copyatoms (t_atomarray* x, long* ac, t_atom** av);      // a copy, freed with sysmem_freeptr
MAXHOST_API t_max_err atomarray_getindex (t_atomarray* x, long index, t_atom* av);
MAXHOST_API t_max_err atomarray_setatoms (t_atomarray* x, long ac, t_atom* av);
MAXHOST_API void atomarray_appendatom (t_atomarray* x, t_atom* a);
MAXHOST_API void atomarray_appendatoms (t_atomarray* x, long ac, t_atom* av);
MAXHOST_API void atomarray_clear (t_atomarray* x);
MAXHOST_API t_atomarray* atomarray_duplicate (t_atomarray* x);

// Dictionaries: keys keep the order of their first insertion; replacing a
// value frees the old one; objects appended are owned by the dictionary.
MAXHOST_API t_dictionary* dictionary_new (void);
MAXHOST_API t_max_err dictionary_appendlong (t_dictionary* d, t_symbol* key, t_atom_long value);
MAXHOST_API t_max_err dictionary_appendfloat (t_dictionary* d, t_symbol* key, double value);
MAXHOST_API t_max_err dictionary_appendsym (t_dictionary* d, t_symbol* key, t_symbol* value);
MAXHOST_API t_max_err dictionary_appendatom (t_dictionary* d, t_symbol* key, t_atom* value);
MAXHOST_API t_max_err dictionary_appendatoms (t_dictionary* d, t_symbol* key, long argc, t_atom* argv);
MAXHOST_API t_max_err dictionary_appendatomarray (t_dictionary* d, t_symbol* key, t_object* value);
MAXHOST_API t_max_err dictionary_appenddictionary (t_dictionary* d, t_symbol* key, t_object* value);
MAXHOST_API t_max_err dictionary_appendobject (t_dictionary* d, t_symbol* key, t_object* value);
MAXHOST_API t_max_err dictionary_appendstring (t_dictionary* d, t_symbol* key, const char* value);
MAXHOST_API t_max_err dictionary_getlong (const t_dictionary* d, t_symbol* key, t_atom_long* value);
MAXHOST_API t_max_err dictionary_getfloat (const t_dictionary* d, t_symbol* key, double* value);
MAXHOST_API t_max_err dictionary_getsym (const t_dictionary* d, t_symbol* key, t_symbol** value);
// An atom-array or dictionary entry comes back as an object atom.
MAXHOST_API t_max_err dictionary_getatom (const t_dictionary* d, t_symbol* key, t_atom* value);
// The entry's atoms (an atom array's own storage); not to be freed.
MAXHOST_API t_max_err dictionary_getatoms (const t_dictionary* d, t_symbol* key, long* argc, t_atom** argv);
MAXHOST_API t_max_err dictionary_getobject (const t_dictionary* d, t_symbol* key, t_object** value);
MAXHOST_API t_max_err dictionary_getdictionary (const t_dictionary* d, t_symbol* key, t_object** value);
MAXHOST_API long dictionary_hasentry (const t_dictionary* d, t_symbol* key);
MAXHOST_API t_atom_long dictionary_getentrycount (const t_dictionary* d);
MAXHOST_API t_max_err dictionary_getkeys (const t_dictionary* d, long* numkeys, t_symbol*** keys);
MAXHOST_API t_max_err dictionary_getkeys_ordered (const t_dictionary* d, long* numkeys, t_symbol*** keys);
MAXHOST_API void dictionary_freekeys (t_dictionary* d, long numkeys, t_symbol** keys);
MAXHOST_API t_max_err dictionary_deleteentry (t_dictionary* d, t_symbol* key);
MAXHOST_API t_max_err dictionary_chuckentry (t_dictionary* d, t_symbol* key);   // removes without freeing
MAXHOST_API t_max_err dictionary_clear (t_dictionary* d);
MAXHOST_API long atomisatomarray (const t_atom* a);
MAXHOST_API long atomisdictionary (const t_atom* a);

#ifdef __cplusplus
}
#endif

// Class-attribute helpers: an attribute over a field of the record type.
#define MAXHOST_CLASS_ATTR(c, attrname, flags, structname, field, typesym, count)                                                  \
    class_addattr ((c), attr_offset_array_new ((attrname), gensym (typesym), (count), (flags), (method) 0L, (method) 0L, 0,      \
                                               (long) offsetof (structname, field)))

#define CLASS_ATTR_LONG(c, attrname, flags, structname, field) MAXHOST_CLASS_ATTR (c, attrname, flags, structname, field, "long", 1)
#define CLASS_ATTR_FLOAT(c, attrname, flags, structname, field) MAXHOST_CLASS_ATTR (c, attrname, flags, structname, field, "float32", 1)
#define CLASS_ATTR_DOUBLE(c, attrname, flags, structname, field) MAXHOST_CLASS_ATTR (c, attrname, flags, structname, field, "float64", 1)
#define CLASS_ATTR_SYM(c, attrname, flags, structname, field) MAXHOST_CLASS_ATTR (c, attrname, flags, structname, field, "symbol", 1)
#define CLASS_ATTR_ATOM(c, attrname, flags, structname, field) MAXHOST_CLASS_ATTR (c, attrname, flags, structname, field, "atom", 1)
#define CLASS_ATTR_OBJ(c, attrname, flags, structname, field) MAXHOST_CLASS_ATTR (c, attrname, flags, structname, field, "object", 1)
#define CLASS_ATTR_LONG_ARRAY(c, attrname, flags, structname, field, n) MAXHOST_CLASS_ATTR (c, attrname, flags, structname, field, "long", n)
#define CLASS_ATTR_FLOAT_ARRAY(c, attrname, flags, structname, field, n) MAXHOST_CLASS_ATTR (c, attrname, flags, structname, field, "float32", n)
#define CLASS_ATTR_DOUBLE_ARRAY(c, attrname, flags, structname, field, n) MAXHOST_CLASS_ATTR (c, attrname, flags, structname, field, "float64", n)

#define MAXHOST_ATTR_TYPE(c, attrname) ((t_symbol*) object_method (class_attr_get ((c), gensym (attrname)), gensym ("gettype")))

#define CLASS_ATTR_ACCESSORS(c, attrname, getter, setter)                                                                           \
    do                                                                                                                              \
    {                                                                                                                               \
        t_object* maxhost_attr_ = class_attr_get ((c), gensym (attrname));                                                         \
        object_method (maxhost_attr_, gensym ("setmethod"), gensym ("get"), (method) (void (*) (void)) (getter));                                     \
        object_method (maxhost_attr_, gensym ("setmethod"), gensym ("set"), (method) (void (*) (void)) (setter));                                     \
    } while (0)

#define CLASS_ATTR_FILTER_CLIP(c, attrname, minval, maxval) attr_addfilter_clip (class_attr_get ((c), gensym (attrname)), (minval), (maxval), 1, 1)
#define CLASS_ATTR_ATTR_PARSE(c, attrname, metaname, type, flags, text) class_attr_addattr_parse ((c), (attrname), (metaname), (type), (flags), (text))
#define CLASS_ATTR_ATTR_FORMAT(c, attrname, metaname, type, flags, fmt, ...)                                                       \
    class_attr_addattr_format ((c), (attrname), (metaname), (type), (flags), (fmt), __VA_ARGS__)
#define CLASS_ATTR_DEFAULT(c, attrname, flags, text) class_attr_addattr_parse ((c), (attrname), "default", MAXHOST_ATTR_TYPE (c, attrname), (flags), (text))
#define CLASS_ATTR_MIN(c, attrname, flags, text) class_attr_addattr_parse ((c), (attrname), "minvalue", MAXHOST_ATTR_TYPE (c, attrname), (flags), (text))
#define CLASS_ATTR_MAX(c, attrname, flags, text) class_attr_addattr_parse ((c), (attrname), "maxvalue", MAXHOST_ATTR_TYPE (c, attrname), (flags), (text))
#define CLASS_ATTR_LABEL(c, attrname, flags, text) class_attr_addattr_format ((c), (attrname), "label", gensym ("symbol"), (flags), "s", gensym (text))
#define CLASS_ATTR_STYLE(c, attrname, flags, text) class_attr_addattr_parse ((c), (attrname), "style", gensym ("symbol"), (flags), (text))
#define CLASS_ATTR_CATEGORY(c, attrname, flags, text) class_attr_addattr_parse ((c), (attrname), "category", gensym ("symbol"), (flags), (text))
#define CLASS_ATTR_ENUM(c, attrname, flags, text) class_attr_addattr_parse ((c), (attrname), "enumvals", gensym ("atom"), (flags), (text))
#define CLASS_ATTR_INVISIBLE(c, attrname, flags) class_attr_addattr_parse ((c), (attrname), "invisible", gensym ("long"), (flags), "1")
