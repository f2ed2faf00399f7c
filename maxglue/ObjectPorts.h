#pragma once

#include "ext_obex.h"
#include "z_dsp.h"

// The ports that the glue sets up for an object of the family.

// The dump outlet, where every answer of the glue goes out.
void oskelmax_createdumpoutlet (t_object* x);
void* oskelmax_getdumpoutlet (t_object* x);
void oskelmax_dumpfloats (t_object* x, t_symbol* selector, long count, const float* values);

// Signal objects.
void oskelmax_dspsetup (t_object* x, long signalInlets, long signalOutlets, bool noInPlace);
void oskelmax_dspfree (t_object* x);
