#include "dsp/InletsOutletsConnectionsStatus.h"

#include <algorithm>

namespace kul
{

InletsOutletsConnectionsStatus::InletsOutletsConnectionsStatus (unsigned int numInlets, unsigned int numOutlets)
    : inletConnected (numInlets),
      outletConnected (numOutlets)
{
    std::fill (inletConnected.begin(), inletConnected.end(), short (1));
    std::fill (outletConnected.begin(), outletConnected.end(), short (1));
}

InletsOutletsConnectionsStatus::~InletsOutletsConnectionsStatus() = default;

void InletsOutletsConnectionsStatus::Resize (unsigned int) {}

void InletsOutletsConnectionsStatus::Reset() {}

} // namespace kul
