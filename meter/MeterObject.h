#pragma once

#include "maxglue/StandardMethods.h"
#include "math/Vector.h"

#include "ext.h"
#include "ext_obex.h"
#include "z_dsp.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <type_traits>

namespace kul
{
class Mixer;
class Ramp;
} // namespace kul

namespace oskelgui
{
class MultiMeterComponent;
}

class MaxMspJuceWindowManager;
class MultiMeterComponentListener;

/** The part of the instance record that the host reads and writes: the family
    header and the fields behind the attributes. It keeps a standard layout, so
    that attributes can be registered over its fields by offset. */
struct t_meter_fields
{
    t_oskelmax_object ob;
    t_atom_long numchannels;
    t_atom_long numleds;
    t_symbol* mode;
    t_atom_long post;
    float rate;
    t_atom_long peakhold;
    float gain;
    double inactivecolor[4];
    double coldcolor[4];
    double tepidcolor[4];
    double warmcolor[4];
    double hotcolor[4];
    t_atom_long mute;
    t_atom_long showrms;
    t_atom_long width;
    float peakholdrate;
    t_symbol* windowtitle;
    t_atom_long windowmoveable;
    float windowtopleft[2];
    t_symbol* style;
    t_atom_long showfps;
    t_atom_long useopengl;
};

static_assert (std::is_standard_layout_v<t_meter_fields>, "attributes are registered over the fields by offset");
static_assert (offsetof (t_meter_fields, ob) == 0, "the record starts with the family header");

/** One "zelm.meter~" box. The host hands out a zero-filled record of this size;
    meter_new constructs the C++ members in place and meter_free destroys them. */
struct t_meter : t_meter_fields
{
    kul::Vector<float> levels;
    oskelgui::MultiMeterComponent* gui;
    kul::Mixer* mixer;
    MaxMspJuceWindowManager* windowManager;
    MultiMeterComponentListener* guiListener;
    kul::Ramp* fadeRamp;     // stepped by the perform routine only
    std::atomic<bool> fading;
    t_clock* refreshClock;
    double refreshDelay;     // ms the refresh clock was last armed with: what its tick advances the window by
    t_qelem* refreshQelem;

    // A fade start for the audio thread: the start gain and the time, packed in
    // one word so that a block adopts a whole request or none. The start follows
    // the slider while the request waits (meter_storeslidergain).
    std::atomic<std::uint64_t> fadeRequest;

    // The fade's newest value for the gain slider, and the queue element that
    // carries it to the main thread (the refresh task skips while the window is hidden).
    std::atomic<float> fadeValue;
    t_qelem* fadeQelem;

    // The gain slider's value as last set, wherever it was set (the "gain"
    // attribute, the fade, the mouse), for "fadeout" sent from a thread that
    // may not read the slider itself.
    std::atomic<float> sliderGain;

    // Guards the attribute fields: setters write them on the main thread or on the
    // sender's, and getters ("dump", "getvalueof", pattr) read them on any thread.
    std::mutex attributeMutex;

    bool membersConstructed;

    // Set while meter_new applies the creation dictionary (the sizes first, then
    // the rest), where a refused value takes the attribute's default instead of
    // keeping the zero-filled field.
    bool creating;
};

/** The host's view of the instance. */
inline t_object* meter_asobject (t_meter* x)
{
    return &x->ob.header.z_ob;
}

/** The word of an empty fade request: two NaN halves, which no request holds. */
constexpr std::uint64_t meter_nofaderequest = ~std::uint64_t (0);

/** The limits and default of an attribute that the meter keeps within, whatever
    reaches its setter. */
struct t_meter_range
{
    double minimum;
    double maximum;
    double defaultValue;
};

constexpr t_meter_range meter_numchannelsrange { 1, 250, 1 };
constexpr t_meter_range meter_numledsrange { 10, 80, 40 };
constexpr t_meter_range meter_widthrange { 10, 40, 26 };
constexpr t_meter_range meter_raterange { 5, 3000, 50 };

/** The delay of the refresh clock for a "rate": within the attribute's limits
    whatever the value, NaN included. */
double meter_refreshdelay (float rate) noexcept;

extern t_class* meter_class;

// Registration (the plug-in's entry point delegates here).
int meter_main();

/** Counts the live instances, so that JUCE is released only after the last one. */
void meter_instancecreated();
void meter_instancefreed();

// Creation and destruction.
void* meter_new (t_symbol* s, long argc, t_atom* argv);
void meter_free (t_meter* x);

/** Prepares the mixer for the block size and sample rate; the libraries' failures
    are posted ("exception : %s", "out of memory : %s", "unknown exception") and the
    object carries on. */
void meter_preparemixer (t_meter* x, unsigned blockSize, float sampleRate);

// Signal path and display refresh.
void meter_dsp64 (t_meter* x, t_object* dsp64, short* count, double samplerate, long maxvectorsize, long flags);
void meter_perform64 (t_meter* x, t_object* dsp64, double** ins, long numins, double** outs, long numouts, long sampleframes, long flags,
                      void* userparam);
void meter_refresh_tick (t_meter* x);
void meter_refresh_task (t_meter* x);
void meter_fade_task (t_meter* x);

/** Sets the gain slider (main thread), with notification, and keeps its value for other threads. */
void meter_setslidergain (t_meter* x, float dB);

/** Keeps the gain slider's value, as the main thread just set it, for the threads
    that may not read the slider, and makes it the start of a fade still waiting for
    the audio thread. */
void meter_storeslidergain (t_meter* x, float dB) noexcept;

/** Packs a fade request for the audio thread. */
std::uint64_t meter_packfaderequest (float startDb, float timeMs) noexcept;

// Messages.
void meter_fadeout (t_meter* x, t_symbol* s, long argc, t_atom* argv);
void meter_channel (t_meter* x, t_symbol* s, long argc, t_atom* argv);
void meter_clearpeak (t_meter* x);
void meter_dumplevels (t_meter* x);
void meter_clearsolo (t_meter* x);
void meter_open (t_meter* x);
void meter_wclose (t_meter* x);
void meter_assist (t_meter* x, void* box, long kind, long index, char* text);

// Attribute accessors.
/** The getter of every attribute: the field's values, read whole under the instance's attribute lock. */
t_max_err meter_attr_get (t_meter* x, t_object* attr, long* argc, t_atom** argv);
/** The setters: each checks the value and hands it to its attribute's row (MeterAttributes.h);
    a name that has no row for that setter is reported. */
t_max_err meter_attr_set (t_meter* x, t_object* attr, long argc, t_atom* argv);
t_max_err meter_attr_set_render (t_meter* x, t_object* attr, long argc, t_atom* argv);

/** Writes attribute fields under the lock that the getter reads them under. */
template <typename Store>
void meter_storefields (t_meter* x, Store&& store)
{
    const std::lock_guard<std::mutex> lock (x->attributeMutex);
    store();
}

/** The host's buffer size of assist texts. */
constexpr std::size_t meter_assistsize = 512;
