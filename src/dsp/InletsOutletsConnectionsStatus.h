#pragma once

#include "math/Vector.h"

namespace kul
{

/** Which inlets and outlets of a processor have a signal connected, as the host
    reports it: 1 = connected, 0 = not. Everything counts as connected until the
    host says otherwise. */
class InletsOutletsConnectionsStatus
{
public:
    InletsOutletsConnectionsStatus (unsigned int numInlets, unsigned int numOutlets);
    virtual ~InletsOutletsConnectionsStatus();

    virtual void Resize (unsigned int numInlets);
    virtual void Reset();

    Vector<short> inletConnected;
    Vector<short> outletConnected;
};

} // namespace kul
