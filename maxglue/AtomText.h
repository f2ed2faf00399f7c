#pragma once

#include "ext.h"

#include <string>

namespace oskelmax
{

/** The host's messages carry their atom count in 16 bits. */
constexpr long maxAtomsPerMessage = 32767;

/** The value with the given number of decimals, as "%.Nf" prints it in the
    classic locale, whatever the process locale is. */
std::string FormatFixed (double value, int decimals);

/** A float as atom text shows it: its 32-bit value with six decimals, trailing zeros
    removed ("100.", "0.1"); a finite value beyond the 32-bit range in its shortest
    exact form ("1e+39"). */
std::string FloatToAtomText (double value);

/** The host's dump-outlet key, change notification and dictionary selector,
    from the cached common-symbols table. */
t_symbol* GetDumpOutletKey();
t_symbol* GetModifiedSymbol();
t_symbol* GetDictionarySymbol();

} // namespace oskelmax

/** The host's common symbols, cached for the life of the plug-in. */
extern t_common_symbols_table* oskelmax_commonsymbols;

void oskelmax_initcommonsymbols();

/** Long, float and symbol atoms as plain text, every item followed by one blank. */
void atomsToText (long count, const t_atom* atoms, std::string& text);

/** Posts "name : atoms". */
void PostAtoms (t_object* x, long count, const t_atom* atoms, const std::string& name);

/** The error line for a message whose arguments do not fit: the text, then the arguments. */
void oskelmax_postinvalidmessage (t_object* x, long argc, const t_atom* argv, const char* text);

/** Sends the selector followed by the floats as one message. More values than
    one message can carry are refused with an error and nothing is sent. */
t_max_err oskelmax_outletfloats (void* outlet, t_symbol* selector, long count, const float* values);
