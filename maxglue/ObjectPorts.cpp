#include "maxglue/ObjectPorts.h"

#include "maxglue/AtomText.h"

void oskelmax_createdumpoutlet (t_object* x)
{
    if (auto* outlet = outlet_new (x, nullptr))
        object_obex_store (x, oskelmax::GetDumpOutletKey(), static_cast<t_object*> (outlet));
}

void* oskelmax_getdumpoutlet (t_object* x)
{
    t_object* outlet = nullptr;

    if (object_obex_lookup (x, oskelmax::GetDumpOutletKey(), &outlet) != MAX_ERR_NONE || outlet == nullptr)
    {
        object_error (x, "no dump outlet");
        return nullptr;
    }

    return outlet;
}

void oskelmax_dumpfloats (t_object* x, t_symbol* selector, long count, const float* values)
{
    if (auto* outlet = oskelmax_getdumpoutlet (x))
        oskelmax_outletfloats (outlet, selector, count, values);
}

void oskelmax_dspsetup (t_object* x, long signalInlets, long signalOutlets, bool noInPlace)
{
    auto* header = reinterpret_cast<t_pxobject*> (x);
    z_dsp_setup (header, signalInlets);

    for (long i = 0; i < signalOutlets; ++i)
        outlet_new (x, "signal");

    if (noInPlace)
        header->z_misc = Z_NO_INPLACE;
}

void oskelmax_dspfree (t_object* x)
{
    z_dsp_free (reinterpret_cast<t_pxobject*> (x));
}
