#include "audiofiles/BroadcastExtensionChunk.h"

#include "files/InputStream.h"
#include "memory/MemoryBlock.h"
#include "text/StringHelper.h"

#include <cstring>

namespace kul
{
namespace
{
constexpr int64_t reservedBytes = 190;

template <size_t n>
void readBytes (InputStream& input, char (&field)[n])
{
    input.Read (field, static_cast<int64_t> (n));
}

template <size_t n>
std::string bytesText (const char (&field)[n])
{
    return std::string (field, n);
}
} // namespace

void ClearBroadcastExtensionChunk (BroadcastExtensionChunk& chunk)
{
    std::memset (chunk.description, 0, sizeof (chunk.description));
    std::memset (chunk.originator, 0, sizeof (chunk.originator));
    std::memset (chunk.originatorReference, 0, sizeof (chunk.originatorReference));
    std::memset (chunk.originationDate, 0, sizeof (chunk.originationDate));
    std::memset (chunk.originationTime, 0, sizeof (chunk.originationTime));
    chunk.timeReferenceLow = 0;
    chunk.timeReferenceHigh = 0;
    chunk.version = 0;
    std::memset (chunk.umid, 0, sizeof (chunk.umid));
}

BroadcastExtensionChunk ReadBroadcastExtensionChunk (InputStream& input, uint64_t size)
{
    BroadcastExtensionChunk chunk;
    ClearBroadcastExtensionChunk (chunk);

    readBytes (input, chunk.description);
    readBytes (input, chunk.originator);
    readBytes (input, chunk.originatorReference);
    readBytes (input, chunk.originationDate);
    readBytes (input, chunk.originationTime);
    chunk.timeReferenceLow = input.ReadUnsignedInt();
    chunk.timeReferenceHigh = input.ReadUnsignedInt();
    chunk.version = static_cast<uint16_t> (input.ReadShort());
    input.Read (chunk.umid, sizeof (chunk.umid));
    input.SkipNextBytes (reservedBytes);

    if (size > BroadcastExtensionChunk::fixedBytes)
    {
        // ReadIntoMemoryBlock stops at the end of the file; only the bytes it got count.
        MemoryBlock history;
        const auto got = input.ReadIntoMemoryBlock (history, static_cast<int64_t> (size - BroadcastExtensionChunk::fixedBytes));
        if (got > 0)
            chunk.codingHistory.assign (static_cast<const char*> (history.GetData()), static_cast<size_t> (got));
    }

    return chunk;
}

StringPairArray BroadcastExtensionToMetadata (const BroadcastExtensionChunk& chunk)
{
    StringPairArray metadata (true);
    metadata.Set ("bwav description", bytesText (chunk.description));
    metadata.Set ("bwav originator", bytesText (chunk.originator));
    metadata.Set ("bwav originator ref", bytesText (chunk.originatorReference));
    metadata.Set ("bwav origination date", bytesText (chunk.originationDate));
    metadata.Set ("bwav origination time", bytesText (chunk.originationTime));

    const auto timeReference = static_cast<int64_t> (static_cast<uint64_t> (chunk.timeReferenceHigh) << 32 | chunk.timeReferenceLow);
    metadata.Set ("bwav time reference", StringHelper::ToString (static_cast<long> (timeReference)));

    std::string umid;
    for (const auto byte : chunk.umid)
        umid += StringHelper::ToString (static_cast<unsigned int> (byte));
    metadata.Set ("bwav smpte umid", umid);

    metadata.Set ("bwav bwf version", StringHelper::ToString (static_cast<unsigned int> (chunk.version)));
    metadata.Set ("bwav coding history", chunk.codingHistory);
    return metadata;
}

} // namespace kul
