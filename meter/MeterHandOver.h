#pragma once

#include "meter/MeterObject.h"

// What the meter's control routines hand on: widget work to the main thread, and
// the notice to the box that the object changed.

/** True on the host's main thread, the only one that may touch the widgets. */
bool meter_onmainthread();

/** Work for the main thread, in the shape of the host's deferred calls. */
using t_meter_work = void (*) (t_meter* x, t_symbol* s, long argc, t_atom* argv);

/** Runs the work at once when on the main thread, otherwise queues it with the
    host's defer (which copies the atoms), keeping the order of the changes. */
void meter_onmain (t_meter* x, t_meter_work work, t_symbol* s, long argc, t_atom* argv);

/** The change notification: tells the box and the host's attribute machinery
    that the object changed. */
void meter_notifychanged (t_meter* x);
