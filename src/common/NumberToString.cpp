#include "common/NumberToString.h"

#include <climits>
#include <locale>
#include <sstream>

namespace
{
// The classic locale keeps these texts free of digit grouping whatever the
// host sets as the global locale.
template <typename Number>
std::string writtenByStream (Number value)
{
    std::ostringstream stream;
    stream.imbue (std::locale::classic());
    stream << value;
    return stream.str();
}
} // namespace

std::string NumberToString (unsigned int value) { return writtenByStream (value); }
std::string NumberToString (int value) { return writtenByStream (value); }
std::string NumberToString (long value) { return writtenByStream (value); }
std::string NumberToString (float value) { return writtenByStream (value); }

int GetFloatBitWidth()
{
    return static_cast<int> (sizeof (float) * CHAR_BIT);
}
