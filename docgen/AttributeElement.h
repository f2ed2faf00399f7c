#pragma once

#include "maxglue/MaxAttribute.h"

#include <ostream>
#include <string>

/** Writes the attribute's element of the reference page: its name, access and
    type, its label and description, and one line per meta-attribute. Nothing
    is written for a null attribute. */
void WriteAttributeXml (const MaxAttribute& attribute, std::ostream& output);

/** Removes trailing blanks, tabs, line feeds, carriage returns, vertical tabs and form feeds. */
void TrimTrailingWhitespace (std::string& text);
