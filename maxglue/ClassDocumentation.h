#pragma once

#include "ext_obex.h"

/** Reference documentation recorded as meta-attributes ("arguments", "methods",
    "inlets", "outlets") of the class attribute "classdescription". */
namespace oskelmax
{

void class_doc_arg (t_class* c, const char* name, const char* type, const char* description);
void class_doc_method (t_class* c, const char* name, const char* description);
void class_doc_method_arg (t_class* c, const char* methodName, const char* argumentName, const char* argumentType);
void class_doc_inlet (t_class* c, int index, const char* description);
void class_doc_outlet (t_class* c, int index, const char* description);

/** Refuses an index from here on: each lower index takes one atom. */
constexpr int class_doc_max_index = 4096;

/** Fills the named array up to `index` with "not documented" and puts the
    description there, unless that entry exists; an index outside
    0 .. class_doc_max_index - 1 is refused with a post. */
void class_doc_array_add_description (t_class* c, const char* arrayName, int index, const char* description);

/** The named record of a class description, when it holds an atom array
    (a dictionary); null when there is none, and null with an error post
    naming the caller when it holds something else. */
t_atomarray* class_doc_atomarray (t_object* classDescription, const char* name, const char* caller);
t_dictionary* class_doc_dictionary (t_object* classDescription, const char* name, const char* caller);

} // namespace oskelmax
