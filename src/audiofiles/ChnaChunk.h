#pragma once

#include "math/Vector.h"
#include "text/StringArray.h"

#include <cstdint>

namespace kul
{
class InputStream;

/** The ADM channel allocation of a WAV file ("chna"): one entry per audio track UID. */
class ChnaChunk
{
public:
    ChnaChunk() = default;
    ChnaChunk (const ChnaChunk&) = default;
    ChnaChunk& operator= (const ChnaChunk&) = default;
    ~ChnaChunk() = default;

    /** Parses the chunk whose size bytes start at the stream's position. The entry
        count follows from the size, whatever numUIDs says. */
    static ChnaChunk read (InputStream& input, uint64_t size);

    uint16_t numTracks = 0;
    uint16_t numUIDs = 0;
    Vector<unsigned short> trackIndices;
    StringArray audioTrackUIDs;
    StringArray trackFormatReferences;
    StringArray packFormatReferences;
};

/** One element of the ADM model: its name, the name by which others refer to it
    and the prefix of its IDs. */
struct AdmElementName
{
    const char* name;
    const char* referenceName;
    const char* idPrefix;
};

inline constexpr AdmElementName admElementNames[] = {
    { "audioProgramme", "audioProgrammeIDRef", "APR_" },
    { "audioContent", "audioContentIDRef", "ACO_" },
    { "audioObject", "audioObjectIDRef", "AO_" },
    { "audioPackFormat", "audioPackFormatIDRef", "AP_" },
    { "audioChannelFormat", "audioChannelFormatIDRef", "AC_" },
    { "audioTrackFormat", "audioTrackFormatIDRef", "AT_" },
    { "audioStreamFormat", "audioStreamFormatIDRef", "AS_" },
    { "audioBlockFormat", "audioBlockFormatIDRef", "AB_" },
    { "audioTrackUID", "audioTrackUIDRef", "ATU_" },
};

} // namespace kul
