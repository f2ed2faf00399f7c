#pragma once

#include "ext_obex.h"

#include "text/StringArray.h"

#include <string>

/** The pattr reply: the whole state as one flat list. With memory of the
    caller's, at most *ac atoms are written and *ac becomes the number written. */
t_max_err oskelmax_getvalueof (t_object* x, long* ac, t_atom** av);

/** The pattr request: the flat list spread back over the state attributes. */
t_max_err oskelmax_setvalueof (t_object* x, long ac, t_atom* av);

/** Stores the state in the "_preset" binbuf as a "recallpreset" message. */
void oskelmax_preset (t_object* x);
void oskelmax_recallpreset (t_object* x, t_symbol* s, long argc, t_atom* argv);

void PostValueOfAttribute (t_object* x, const std::string& name);
void DumpAttribute (t_object* x, const std::string& name, void* outlet);
void DumpAttribute (t_object* x, t_symbol* name, void* outlet);
void DumpAllAttributes (t_object* x, void* outlet, const kul::StringArray& names);
void DumpStateAttributes (t_object* x, void* outlet);
void ResetAttributeToDefault (t_object* x, const std::string& name, bool ignoreDontReset, bool warn);
void ResetAllAttributes (t_object* x);
