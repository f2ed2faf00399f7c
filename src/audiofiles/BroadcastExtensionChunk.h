#pragma once

#include "text/StringArray.h"

#include <cstdint>
#include <string>

namespace kul
{
class InputStream;

/** The broadcast-wave "bext" chunk: its fixed part as stored, then the coding history. */
struct BroadcastExtensionChunk
{
    /** Bytes of the fixed part in the file, reserved bytes included. */
    static constexpr uint64_t fixedBytes = 602;

    char description[256];
    char originator[32];
    char originatorReference[32];
    char originationDate[10];
    char originationTime[8];
    uint32_t timeReferenceLow;
    uint32_t timeReferenceHigh;
    uint16_t version;
    unsigned char umid[64];
    std::string codingHistory;
};

void ClearBroadcastExtensionChunk (BroadcastExtensionChunk& chunk);

/** Reads a chunk of size bytes from the stream's position; the coding history is
    what follows the fixed part, as far as the file holds it. */
BroadcastExtensionChunk ReadBroadcastExtensionChunk (InputStream& input, uint64_t size);

/** The nine "bwav ..." pairs, keys compared without regard to case. */
StringPairArray BroadcastExtensionToMetadata (const BroadcastExtensionChunk& chunk);

} // namespace kul
