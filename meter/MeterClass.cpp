// The class "zelm.meter~": its routines, documentation and attributes.
#include "meter/MeterObject.h"

#include "meter/HostEventLoop.h"
#include "meter/MeterAttributes.h"

#include "common/NumberToString.h"
#include "docgen/ExternalDocumentation.h"
#include "docgen/MaxXmlDocumentation.h"
#include "maxglue/ClassDocumentation.h"
#include "maxglue/SymbolTable.h"

#include <juce_events/juce_events.h>

#include <atomic>
#include <cstdio>
#include <string>

t_class* meter_class = nullptr;

namespace
{
constexpr const char* className = "zelm.meter~";
constexpr long userOpaque = ATTR_GET_OPAQUE_USER | ATTR_SET_OPAQUE_USER;

using Step = t_meter_registrationstep;

// The numbers' texts as the attribute's own type prints them.
std::string numberText (const t_meter_attribute& entry, double value)
{
    if (std::string (entry.type) == "long")
        return NumberToString (static_cast<long> (value));

    return NumberToString (static_cast<float> (value));
}

void registerAttribute (t_class* c, const t_meter_attribute& entry)
{
    class_addattr (c, attr_offset_array_new (entry.name, gensym (entry.type), entry.count, entry.flags, nullptr, nullptr, 0, entry.offset));
    const auto ownType = MAXHOST_ATTR_TYPE (c, entry.name);

    for (const auto& step : entry.steps)
    {
        switch (step.kind)
        {
            case Step::setter:
                if (entry.setter == t_meter_setter::standard)
                    CLASS_ATTR_ACCESSORS (c, entry.name, meter_attr_get, meter_attr_set);
                else
                    CLASS_ATTR_ACCESSORS (c, entry.name, meter_attr_get, meter_attr_set_render);
                break;

            case Step::clip:
                // No host clip filter: it would turn a word into a number before the
                // setter could refuse it. The setter keeps these limits itself.
                class_attr_addattr_parse (c, entry.name, "maxvalue", ownType, 0, numberText (entry, entry.range.maximum).c_str());
                class_attr_addattr_parse (c, entry.name, "minvalue", ownType, 0, numberText (entry, entry.range.minimum).c_str());
                class_attr_addattr_parse (c, entry.name, "default", ownType, step.flags, numberText (entry, entry.range.defaultValue).c_str());
                break;

            case Step::parse:
                class_attr_addattr_parse (c, entry.name, step.name, *step.type == 0 ? ownType : gensym (step.type), step.flags, step.text.c_str());
                break;

            case Step::symbol:
                class_attr_addattr_format (c, entry.name, step.name, gensym ("symbol"), step.flags, "s", gensym (step.text.c_str()));
                break;
        }
    }
}

void registerDocumentationAttribute (t_class* c, const char* name, long offset, const std::string& label)
{
    class_addattr (c, attr_offset_new (name, gensym ("symbol"), userOpaque, nullptr, nullptr, offset));
    CLASS_ATTR_INVISIBLE (c, name, 0);
    class_attr_addattr_format (c, name, "label", gensym ("symbol"), 0, "s", gensym (label.c_str()));
    CLASS_ATTR_CATEGORY (c, name, 0, "documentation");
}

// JUCE is initialised by every registration and released once for each when
// the host quits, but only after the last instance (and with it the last
// component) is gone: the host may free objects after its quit tasks ran.
std::atomic<int> liveInstances { 0 };
int pendingReleases = 0;   // main thread only

void releaseJuceWhenIdle()
{
    while (pendingReleases > 0 && liveInstances.load() == 0)
    {
        --pendingReleases;
        HostEventLoop::Detach();
        juce::shutdownJuce_GUI();

        // Somebody else still holds JUCE: keep driving it.
        if (juce::MessageManager::getInstanceWithoutCreating() != nullptr)
            HostEventLoop::Attach();
    }
}

void releaseJuceOnQuit (void*)
{
    ++pendingReleases;
    releaseJuceWhenIdle();
}

std::string externalVersion()
{
    char text[128];
    std::snprintf (text, sizeof (text), "%d.%d.%d (Build %s) (%d bits float)", 4, 9, 2, "Aug 29 2016", GetFloatBitWidth());
    return text;
}
} // namespace

void meter_instancecreated()
{
    ++liveInstances;
}

void meter_instancefreed()
{
    --liveInstances;
    releaseJuceWhenIdle();
}

int meter_main()
{
    oskelmax_initsymboltable();

    juce::initialiseJuce_GUI();
    HostEventLoop::Attach();
    quittask_install (oskelmax_method (releaseJuceOnQuit), nullptr);

    auto* c = class_new (className, oskelmax_method (meter_new), oskelmax_method (meter_free), static_cast<long> (sizeof (t_meter)), nullptr,
                         A_GIMME, 0);

    oskelmax_setdictionaryconstructor (c);
    oskelmax_addwindowmethods (c, oskelmax_method (meter_open), oskelmax_method (meter_wclose));
    oskelmax_setgeneratexmlhook (oskelmax_generatexml);
    oskelmax_addstandardmethods (c);
    oskelmax_adddumpmethod (c);
    oskelmax_addresetmethod (c);
    oskelmax_addpostdspstatusmethod (c);
    oskelmax_addassistmethod (c, oskelmax_method (meter_assist));
    oskelmax_adddsp64method (c, oskelmax_method (meter_dsp64));

    const auto documentationOffset = [] (std::size_t offset) { return static_cast<long> (offset); };
    registerDocumentationAttribute (c, "classdigest", documentationOffset (offsetof (t_oskelmax_object, classdigest)),
                                    Zelm::GetExternalDigest (className));
    registerDocumentationAttribute (c, "classdescription", documentationOffset (offsetof (t_oskelmax_object, classdescription)),
                                    Zelm::GetExternalDescription (className));
    registerDocumentationAttribute (c, "classseealso", documentationOffset (offsetof (t_oskelmax_object, classseealso)),
                                    Zelm::GetExternalSeeAlso (className));
    registerDocumentationAttribute (c, "externalversion", documentationOffset (offsetof (t_oskelmax_object, externalversion)), externalVersion());

    oskelmax_addgimmemethod (c, oskelmax_method (meter_fadeout), "fadeout");
    oskelmax_addgimmemethod (c, oskelmax_method (meter_channel), "channel");
    oskelmax_addnoargmethod (c, oskelmax_method (meter_clearpeak), "clearpeak");
    oskelmax_addnoargmethod (c, oskelmax_method (meter_dumplevels), "dumplevels");
    oskelmax_addnoargmethod (c, oskelmax_method (meter_clearsolo), "clearsolo");

    oskelmax::class_doc_inlet (c, 0, "");
    oskelmax::class_doc_outlet (c, 0, "messages");
    oskelmax::class_doc_outlet (c, 1, "dump outlet");
    oskelmax::class_doc_arg (c, "None", "", "");

    for (const auto& entry : meter_attributes())
        registerAttribute (c, entry);

    class_dspinit (c);
    class_register (CLASS_BOX, c);
    meter_class = c;
    return 0;
}
