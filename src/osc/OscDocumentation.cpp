#include "osc/OscDocumentation.h"

namespace kul::OscDocumentation
{
namespace
{
void addIfNew (List& list, const Entry& entry)
{
    if (entry.IsValid() && ! list.Contains (entry))
        list.PushBack (entry);
}
} // namespace

void AddEntry (List& list, const std::string& address, const std::string& argumentSpec, const std::string& description)
{
    addIfNew (list, Entry { OSCAddress (address), argumentSpec, description });
}

void Merge (List& list, const List& otherList)
{
    // A list merged into itself would grow while it is walked.
    const List other (otherList);

    for (const auto& entry : other)
        addIfNew (list, entry);
}

} // namespace kul::OscDocumentation
