#pragma once

#include "ext.h"

namespace oskelmax
{

constexpr int numSymbols = 405;

/** The family's vocabulary of attribute, message and meta-attribute names,
    made once so that name tests are pointer comparisons. */
struct SymbolTable
{
    t_symbol* symbols[numSymbols];
};

/** Entry numbers of the names that the glue and the family's objects read. */
enum SymbolEntry : int
{
    symComma = 46,
    symDefault = 57,
    symDontReset = 69,
    symDspAdd64 = 76,
    symEmpty = 81,
    symGain = 122,
    symInvisible = 144,
    symLabel = 149,
    symLevels = 153,
    symMode = 171,
    symMute = 175,
    symNumChannels = 186,
    symNumLeds = 191,
    symOrder = 201,
    symPeakHold = 218,
    symPost = 224,
    symRate = 235,
    symRecallPreset = 236,
    symSolo = 264,
    symWidth = 313,
    symWindowMoveable = 315,
    symWindowTitle = 318,
    symWindowTopLeft = 319
};

/** The name of an entry; the empty text outside 0 .. 404. */
const char* GetSymbolName (int entry) noexcept;

/** The symbol of an entry, from the table once it is filled (gensym before that). */
t_symbol* GetSymbol (int entry) noexcept;

} // namespace oskelmax

/** Null until the first fill; afterwards the table, for the whole load. */
extern oskelmax::SymbolTable* oskelmax_symboltable;

/** Refreshes the host's common symbols, fills the table and publishes it. */
void oskelmax_initsymboltable();

/** One gensym per entry, stored in the table. */
oskelmax::SymbolTable* oskelmax_fillsymboltable();
