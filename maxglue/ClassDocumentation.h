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
void class_doc_array_add_description (t_class* c, const char* arrayName, int index, const char* description);

} // namespace oskelmax
