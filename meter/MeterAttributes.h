#pragma once

#include "meter/MeterObject.h"

#include <string>
#include <vector>

/** The setter an attribute is registered with. */
enum class t_meter_setter
{
    standard,   // meter_attr_set
    render      // meter_attr_set_render
};

/** One step of an attribute's registration, in the order they are taken. */
struct t_meter_registrationstep
{
    enum Kind
    {
        setter,     // the setter is installed
        clip,       // the limits, which the setter keeps: "maxvalue", "minvalue" and "default" (with the step's flags) as numbers
        parse,      // a meta-attribute parsed from text (an empty type: the attribute's own)
        symbol      // a meta-attribute holding the whole text as one symbol
    } kind;
    const char* name = nullptr;
    const char* type = nullptr;
    std::string text {};
    long flags = 0;
};

/** One attribute of the meter: how the class registers it over its field, and
    what a value that reaches its setter does. */
struct t_meter_attribute
{
    const char* name;
    const char* type;       // the field's host type: "long", "float32", "float64" or "symbol"
    long count;             // values in the field
    long offset;            // of the field in t_meter_fields
    t_meter_setter setter;
    long flags;             // the attribute's own flags
    t_meter_range range;    // the limits and the default, for a clip step
    std::vector<t_meter_registrationstep> steps;

    /** Stores the value under the attribute lock and tells the mixer or the window;
        runs on the setter's thread, with at least one atom, a value of the attribute
        (of its type, within its limits, finite).
        Null when nothing is stored (the gain lives in its slider). */
    void (*store) (t_meter* x, long argc, const t_atom* argv);

    /** Brings the widget up to date with the stored value (or with the value given,
        for an attribute that stores nothing); runs on the main thread, once the GUI
        exists. Null when no widget shows the attribute. */
    void (*show) (t_meter* x, const t_atom& value);

    /** A size the window is built with: taken from the box before anything else,
        refused afterwards. */
    bool fixedAtCreation = false;
};

/** The meter's attributes, one row each, in the order they are registered. */
const std::vector<t_meter_attribute>& meter_attributes();
