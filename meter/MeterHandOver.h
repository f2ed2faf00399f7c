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

/** Stores a window attribute and hands it to the window manager (null before the
    window manager exists) as one step under the attribute lock. The window setters run
    on the sender's thread; taking the window's change under the lock that stored the
    field gives the window the changes in the order the fields took them, so that
    whichever threads race, what the window shows last is what the attribute holds.
    The window manager never takes the attribute lock, so the order of the locks is
    always the attribute lock first. */
template <typename Change>
void meter_changewindow (t_meter* x, Change&& change)
{
    meter_storefields (x, [&] { change (x->windowManager); });
}

/** The change notification: tells the box and the host's attribute machinery
    that the object changed. */
void meter_notifychanged (t_meter* x);
