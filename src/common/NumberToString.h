#pragma once

#include <string>

/** The value as a default-formatted stream writes it (6 significant digits for floats). */
std::string NumberToString (unsigned int value);
std::string NumberToString (int value);
std::string NumberToString (long value);
std::string NumberToString (float value);

/** Width in bits of the library's sample type. */
int GetFloatBitWidth();
