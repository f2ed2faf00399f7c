// Creation and destruction of a "zelm.meter~" instance.
#include "meter/MeterObject.h"

#include "meter/MaxMspJuceWindowManager.h"
#include "meter/MeterAttributes.h"
#include "meter/MultiMeterComponentListener.h"

#include "common/Exception.h"
#include "dsp/Mixer.h"
#include "dsp/Ramp.h"
#include "gui/MultiMeterComponent.h"
#include "maxglue/Dictionaries.h"
#include "maxglue/ObjectPorts.h"

#include <algorithm>
#include <memory>
#include <new>

namespace
{
void constructMembers (t_meter* x)
{
    std::construct_at (&x->levels);
    std::construct_at (&x->fading, false);
    std::construct_at (&x->fadeRequest, meter_nofaderequest);
    std::construct_at (&x->fadeValue, 0.0f);
    std::construct_at (&x->sliderGain, 0.0f);
    std::construct_at (&x->attributeMutex);
    x->membersConstructed = true;
}

void destroyMembers (t_meter* x)
{
    if (! x->membersConstructed)
        return;

    std::destroy_at (&x->sliderGain);
    std::destroy_at (&x->attributeMutex);
    std::destroy_at (&x->fadeValue);
    std::destroy_at (&x->fadeRequest);
    std::destroy_at (&x->fading);
    std::destroy_at (&x->levels);
    x->membersConstructed = false;
}

/** Builds the parts that the instance owns. Any failure, a library exception
    included, leaves what was built in the record for meter_free to release. */
bool createParts (t_meter* x)
{
    try
    {
        x->fadeRamp = new kul::Ramp();
        x->fading.store (false);

        x->gui = new oskelgui::MultiMeterComponent (static_cast<unsigned> (x->numchannels), static_cast<unsigned> (x->numleds),
                                                    static_cast<unsigned> (x->width));
        x->mixer = new kul::Mixer (static_cast<unsigned> (x->numchannels));
        x->guiListener = new MultiMeterComponentListener (x);
        x->windowManager = new MaxMspJuceWindowManager (meter_asobject (x), x->gui, false);
        x->levels.Resize (x->mixer->GetNumOutputs());
        return true;
    }
    catch (...)
    {
        return false;
    }
}

void prepareMixer (t_meter* x, unsigned blockSize, float sampleRate)
{
    try
    {
        x->mixer->SetSampleRateAndBufferSize (blockSize, true, sampleRate);
    }
    catch (const kul::Exception& e)
    {
        object_bug (meter_asobject (x), "exception : %s", e.what());
    }
    catch (const std::bad_alloc& e)
    {
        object_bug (meter_asobject (x), "out of memory : %s", e.what());
    }
    catch (...)
    {
        object_bug (meter_asobject (x), "unknown exception");
    }
}

/** The sizes that the GUI and the mixer are built with must lie within their
    attributes' limits: a setter that never ran (its value refused, or the host
    failing to set it) leaves a size of 0. */
bool sizesWithinLimits (t_meter* x)
{
    const struct
    {
        const char* name;
        t_atom_long value;
        t_meter_range range;
    } sizes[] = {
        { "numchannels", x->numchannels, meter_numchannelsrange },
        { "numleds", x->numleds, meter_numledsrange },
        { "width", x->width, meter_widthrange },
    };

    for (const auto& size : sizes)
    {
        if (size.value < static_cast<t_atom_long> (size.range.minimum) || size.value > static_cast<t_atom_long> (size.range.maximum))
        {
            object_error (meter_asobject (x), "no valid %s in the creation dictionary", size.name);
            return false;
        }
    }

    return true;
}

/** A colour or the corner typed short in the box reaches its setter with the
    components given only, and the setter keeps the others: the record holds each
    of these attributes' default before the creation dictionary is applied, so that
    a box fills the gaps as a message does, instead of with the record's zeros. */
void storeListDefaults (t_meter* x)
{
    for (const auto& attribute : meter_attributes())
    {
        if (attribute.count < 2 || attribute.store == nullptr)
            continue;

        auto* attr = object_attr_get (meter_asobject (x), gensym (attribute.name));
        long count = 0;
        t_atom* atoms = nullptr;

        if (attr != nullptr && object_attr_getvalueof (attr, gensym ("default"), &count, &atoms) == MAX_ERR_NONE && count > 0 && atoms != nullptr)
            attribute.store (x, count, atoms);

        sysmem_freeptr (atoms);
    }
}

void* failCreation (t_meter* x)
{
    // object_free runs meter_free, which releases whatever was built.
    object_free (x);
    return nullptr;
}
} // namespace

void meter_preparemixer (t_meter* x, unsigned blockSize, float sampleRate)
{
    prepareMixer (x, blockSize, sampleRate);
}

void* meter_new (t_symbol*, long argc, t_atom* argv)
{
    auto* x = static_cast<t_meter*> (oskelmax_objectalloc (meter_class));

    if (x == nullptr)
    {
        object_error (nullptr, "couldnt allocate memory");
        return nullptr;
    }

    constructMembers (x);
    meter_instancecreated();
    storeListDefaults (x);

    auto* boxSymbol = gensym ("#B");
    x->ob.box = boxSymbol != nullptr ? boxSymbol->s_thing : nullptr;

    oskelmax_createdumpoutlet (meter_asobject (x));

    // A size refused in the box keeps its default too.
    x->creating = true;

    if (! oskelmax_processdictionaryentries (meter_asobject (x), argc, argv, 3, "width", "numchannels", "numleds"))
        return failCreation (x);

    if (! sizesWithinLimits (x))
        return failCreation (x);

    if (! createParts (x))
    {
        object_error (meter_asobject (x), "couldnt create object");
        return failCreation (x);
    }

    x->refreshQelem = qelem_new (x, oskelmax_method (meter_refresh_task));
    x->refreshClock = clock_new (x, oskelmax_method (meter_refresh_tick));
    x->fadeQelem = qelem_new (x, oskelmax_method (meter_fade_task));

    if (x->refreshQelem == nullptr || x->refreshClock == nullptr || x->fadeQelem == nullptr)
    {
        object_error (meter_asobject (x), "couldnt create object");
        return failCreation (x);
    }

    x->refreshDelay = meter_refreshdelay (x->rate);
    clock_fdelay (x->refreshClock, x->refreshDelay);

    oskelmax_createdumpoutlet (meter_asobject (x));

    const auto blockSize = std::max (sys_getblksize(), 0);
    prepareMixer (x, static_cast<unsigned> (blockSize), static_cast<float> (sys_getsr()));

    oskelmax_dspsetup (meter_asobject (x), static_cast<long> (x->mixer->GetNumInputs()), static_cast<long> (x->mixer->GetNumOutputs()), true);

    x->fadeRamp->SetSampleRate (x->mixer->GetSampleRate());

    const bool applied = oskelmax_processdictionaryarg (meter_asobject (x), argc, argv, true);
    x->creating = false;

    if (! applied)
        return failCreation (x);

    return x;
}

void meter_free (t_meter* x)
{
    if (x == nullptr)
        return;

    oskelmax_dspfree (meter_asobject (x));

    if (x->refreshClock != nullptr)
        object_free (x->refreshClock);
    x->refreshClock = nullptr;

    if (x->refreshQelem != nullptr)
        qelem_free (x->refreshQelem);
    x->refreshQelem = nullptr;

    if (x->fadeQelem != nullptr)
        qelem_free (x->fadeQelem);
    x->fadeQelem = nullptr;

    delete x->windowManager;
    x->windowManager = nullptr;

    delete x->guiListener;
    x->guiListener = nullptr;

    delete x->gui;
    x->gui = nullptr;

    delete x->mixer;
    x->mixer = nullptr;

    delete x->fadeRamp;
    x->fadeRamp = nullptr;

    if (x->membersConstructed)
    {
        destroyMembers (x);
        meter_instancefreed();
    }
}
