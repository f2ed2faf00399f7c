#pragma once

#include "ext.h"

// How the meter reads the atoms of its messages and attributes.

/** A float atom's value, or a long atom's value converted, as a 32-bit float; 0 for any other atom. */
float meter_atomnumber (const t_atom& atom);

/** The atom read as a long: true when that is not 0. */
bool meter_atomflag (const t_atom& atom);

/** A symbol atom's symbol; the empty symbol for any other atom, or one without its symbol. */
t_symbol* meter_atomsymbol (const t_atom& atom);

/** The argument pattern check of the messages: f float, i or l long, n number, s symbol. */
bool meter_checkpattern (const char* pattern, long argc, const t_atom* argv);

/** Reads up to four atoms (red, green, blue, alpha) into the colour; components
    without an atom keep their value. */
void meter_parse_rgba (double* colour, long argc, const t_atom* argv);
