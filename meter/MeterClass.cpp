// The class "zelm.meter~": its routines, documentation and attributes.
#include "meter/MeterObject.h"

#include "meter/HostEventLoop.h"

#include "common/NumberToString.h"
#include "docgen/ExternalDocumentation.h"
#include "docgen/MaxXmlDocumentation.h"
#include "dsp/MultiRMSMetering.h"
#include "gui/MeterColours.h"
#include "maxglue/ClassDocumentation.h"
#include "maxglue/Dictionaries.h"
#include "maxglue/SymbolTable.h"

#include <juce_events/juce_events.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <vector>

t_class* meter_class = nullptr;

namespace
{
constexpr const char* className = "zelm.meter~";
constexpr long userOpaque = ATTR_GET_OPAQUE_USER | ATTR_SET_OPAQUE_USER;
constexpr long deferred = ATTR_SET_DEFER_LOW;

enum class Setter
{
    standard,   // meter_attr_set
    render      // meter_attr_set_render
};

/** One step of an attribute's registration, in the order they are taken. */
struct Step
{
    enum Kind
    {
        setter,     // the setter is installed
        clip,       // the clip filter, then "maxvalue", "minvalue" and "default" (with the step's flags) as numbers
        parse,      // a meta-attribute parsed from text (an empty type: the attribute's own)
        symbol      // a meta-attribute holding the whole text as one symbol
    } kind;
    const char* name = nullptr;
    const char* type = nullptr;
    std::string text {};
    long flags = 0;
};

struct AttributeEntry
{
    const char* name;
    const char* type;
    long count;
    long offset;
    Setter setter;
    long flags;
    double minimum;
    double maximum;
    double defaultValue;
    std::vector<Step> steps;
};

Step setterStep() { return { Step::setter }; }
Step clipStep (long defaultFlags = 0) { return { Step::clip, nullptr, nullptr, {}, defaultFlags }; }
Step parseStep (const char* name, const char* type, std::string text, long flags = 0) { return { Step::parse, name, type, std::move (text), flags }; }
Step ownTypeStep (const char* name, std::string text, long flags = 0) { return parseStep (name, "", std::move (text), flags); }
Step symbolStep (const char* name, std::string text, long flags = 0) { return { Step::symbol, name, "symbol", std::move (text), flags }; }
Step dontReset() { return parseStep ("dontreset", "long", "1"); }
Step onOff (long flags = 0) { return parseStep ("style", "symbol", "onoff", flags); }
Step windowCategory() { return parseStep ("category", "symbol", "window options"); }

#define MEMBER(field) static_cast<long> (offsetof (t_meter_fields, field))

std::vector<AttributeEntry> makeAttributeTable()
{
    const auto colour = [] (const char* name, long offset, const char* label, const std::string& defaultText)
    {
        return AttributeEntry { name, "float64", 4, offset, Setter::standard, deferred, 0, 0, 0,
                                { parseStep ("style", "symbol", "rgba", deferred), setterStep(), symbolStep ("label", label),
                                  ownTypeStep ("default", defaultText, deferred) } };
    };

    return {
        { "numchannels", "long", 1, MEMBER (numchannels), Setter::standard, 0, meter_numchannelsrange.minimum, meter_numchannelsrange.maximum,
          meter_numchannelsrange.defaultValue,
          { setterStep(), clipStep(), dontReset(), symbolStep ("label", "number of channels"),
            symbolStep ("description", Zelm::NumChannelsDescription) } },
        { "numleds", "long", 1, MEMBER (numleds), Setter::standard, 0, meter_numledsrange.minimum, meter_numledsrange.maximum,
          meter_numledsrange.defaultValue,
          { setterStep(), clipStep(), dontReset(), symbolStep ("label", "number of leds") } },
        { "mute", "long", 1, MEMBER (mute), Setter::standard, deferred, 0, 1, 0,
          { setterStep(), clipStep(), symbolStep ("label", "global mute"), onOff() } },
        { "gain", "float32", 1, MEMBER (gain), Setter::standard, deferred, -60, 6, 0,
          { setterStep(), clipStep(), symbolStep ("label", "global gain"), symbolStep ("units", "dB"), symbolStep ("description", "global gain") } },
        { "post", "long", 1, MEMBER (post), Setter::standard, deferred, 0, 1, 1,
          { setterStep(), clipStep(), dontReset(), symbolStep ("label", "vumeter pre or post gain"),
            symbolStep ("description", "decide whether the vumeters are calculated pre or post mixing gain"), onOff() } },
        { "style", "symbol", 1, MEMBER (style), Setter::standard, deferred, 0, 0, 0,
          { setterStep(), ownTypeStep ("default", "leds"), symbolStep ("label", "style"), parseStep ("style", "symbol", "enum"),
            parseStep ("enumvals", "atom", "leds gradient") } },
        { "windowmoveable", "long", 1, MEMBER (windowmoveable), Setter::standard, 0, 0, 1, 1,
          { clipStep(), setterStep(), symbolStep ("label", "window moveable"), onOff(), windowCategory() } },
        { "windowtopleft", "float32", 2, MEMBER (windowtopleft), Setter::standard, 0, 0, 0, 0,
          { ownTypeStep ("default", "50 800"), setterStep(), symbolStep ("label", "window top left corner"), symbolStep ("units", "px"),
            windowCategory() } },
        { "windowtitle", "symbol", 1, MEMBER (windowtitle), Setter::standard, 0, 0, 0, 0,
          { setterStep(), ownTypeStep ("default", "meter"), dontReset(), symbolStep ("label", "window title"), windowCategory(),
            symbolStep ("description", Zelm::WindowTitleDescription) } },
        { "mode", "symbol", 1, MEMBER (mode), Setter::standard, deferred, 0, 0, 0,
          { setterStep(), ownTypeStep ("default", "peak"), parseStep ("style", "symbol", "enum"),
            parseStep ("enumvals", "atom", kul::MultiRMSMetering::GetMeterModeNames (" ")), symbolStep ("label", "mode") } },
        { "rate", "float32", 1, MEMBER (rate), Setter::standard, deferred, meter_raterange.minimum, meter_raterange.maximum,
          meter_raterange.defaultValue,
          { setterStep(), clipStep(), symbolStep ("label", "refresh rate"), symbolStep ("units", "msec"), symbolStep ("description", "refresh rate") } },
        { "peakhold", "long", 1, MEMBER (peakhold), Setter::standard, deferred, 0, 1, 1,
          { setterStep(), clipStep(), symbolStep ("label", "peak hold"), symbolStep ("description", "enable or disable the peak hold display"),
            onOff() } },
        { "peakholdrate", "float32", 1, MEMBER (peakholdrate), Setter::standard, deferred, 100, 36000000, 2000,
          { setterStep(), clipStep(), symbolStep ("label", "peak hold refresh rate"), symbolStep ("description", "refresh rate for peak hold"),
            symbolStep ("units", "msec") } },
        colour ("coldcolor", MEMBER (coldcolor), "cold color", oskelgui::getDefaultColdColour()),
        colour ("tepidcolor", MEMBER (tepidcolor), "tepid color", oskelgui::getDefaultTepidColour()),
        colour ("warmcolor", MEMBER (warmcolor), "warm color", oskelgui::getDefaultWarmColour()),
        colour ("hotcolor", MEMBER (hotcolor), "hot color", oskelgui::getDefaultHotColour()),
        colour ("inactivecolor", MEMBER (inactivecolor), "inactive color", oskelgui::getDefaultInactiveColour()),
        { "width", "long", 1, MEMBER (width), Setter::standard, deferred, meter_widthrange.minimum, meter_widthrange.maximum,
          meter_widthrange.defaultValue,
          { setterStep(), clipStep(), dontReset(), symbolStep ("label", "width"), symbolStep ("units", "px"),
            symbolStep ("description", "width of each meter") } },
        { "showrms", "long", 1, MEMBER (showrms), Setter::standard, deferred, 0, 1, 1,
          { setterStep(), clipStep(), dontReset(), symbolStep ("label", "show rms values"), symbolStep ("description", "show rms values"),
            onOff() } },
        { "showfps", "long", 1, MEMBER (showfps), Setter::render, deferred, 0, 1, 0,
          { setterStep(), clipStep (deferred), symbolStep ("label", "show fps (for debug)", deferred), onOff (deferred) } },
        { "useopengl", "long", 1, MEMBER (useopengl), Setter::render, deferred, 0, 1, 0,
          { setterStep(), clipStep (deferred), symbolStep ("label", "use openGL rendering", deferred), onOff (deferred) } },
    };
}

#undef MEMBER

// The numbers' texts as the attribute's own type prints them.
std::string numberText (const AttributeEntry& entry, double value)
{
    if (std::string (entry.type) == "long")
        return NumberToString (static_cast<long> (value));

    return NumberToString (static_cast<float> (value));
}

void registerAttribute (t_class* c, const AttributeEntry& entry)
{
    class_addattr (c, attr_offset_array_new (entry.name, gensym (entry.type), entry.count, entry.flags, nullptr, nullptr, 0, entry.offset));
    const auto ownType = MAXHOST_ATTR_TYPE (c, entry.name);

    for (const auto& step : entry.steps)
    {
        switch (step.kind)
        {
            case Step::setter:
                if (entry.setter == Setter::standard)
                    CLASS_ATTR_ACCESSORS (c, entry.name, meter_attr_get, meter_attr_set);
                else
                    CLASS_ATTR_ACCESSORS (c, entry.name, meter_attr_get, meter_attr_set_render);
                break;

            case Step::clip:
                CLASS_ATTR_FILTER_CLIP (c, entry.name, entry.minimum, entry.maximum);
                class_attr_addattr_parse (c, entry.name, "maxvalue", ownType, 0, numberText (entry, entry.maximum).c_str());
                class_attr_addattr_parse (c, entry.name, "minvalue", ownType, 0, numberText (entry, entry.minimum).c_str());
                class_attr_addattr_parse (c, entry.name, "default", ownType, step.flags, numberText (entry, entry.defaultValue).c_str());
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

    for (const auto& entry : makeAttributeTable())
        registerAttribute (c, entry);

    class_dspinit (c);
    class_register (CLASS_BOX, c);
    meter_class = c;
    return 0;
}
