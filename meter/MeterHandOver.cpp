#include "meter/MeterHandOver.h"

#include "maxglue/AtomText.h"

bool meter_onmainthread()
{
    return systhread_ismainthread() != 0;
}

void meter_onmain (t_meter* x, t_meter_work work, t_symbol* s, long argc, t_atom* argv)
{
    if (meter_onmainthread())
        work (x, s, argc, argv);
    else
        defer (x, oskelmax_method (work), s, static_cast<short> (argc), argv);
}

void meter_notifychanged (t_meter* x)
{
    object_notify (x->ob.box, oskelmax::GetModifiedSymbol(), nullptr);
}
