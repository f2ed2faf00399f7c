#include "audiofiles/ChnaChunk.h"

#include "files/InputStream.h"

#include <algorithm>

namespace kul
{
namespace
{
constexpr uint64_t headerBytes = 4;
constexpr uint64_t entryBytes = 40;

// A field of zero bytes only is empty; any other keeps its bytes exactly.
template <size_t n>
std::string fieldText (const unsigned char (&bytes)[n])
{
    const bool allZero = std::all_of (bytes, bytes + n, [] (unsigned char b) { return b == 0; });
    return allZero ? std::string() : std::string (reinterpret_cast<const char*> (bytes), n);
}
} // namespace

ChnaChunk ChnaChunk::read (InputStream& input, uint64_t size)
{
    ChnaChunk chunk;
    chunk.numTracks = static_cast<uint16_t> (input.ReadShort());
    chunk.numUIDs = static_cast<uint16_t> (input.ReadShort());

    if (size < headerBytes + entryBytes)
        return chunk;

    for (uint64_t i = 0; i < (size - headerBytes) / entryBytes; ++i)
    {
        unsigned char uid[12] = {}, trackFormat[14] = {}, packFormat[11] = {}, padding[1] = {};
        const auto index = static_cast<unsigned short> (input.ReadShort());
        input.Read (uid, sizeof (uid));
        input.Read (trackFormat, sizeof (trackFormat));
        input.Read (packFormat, sizeof (packFormat));
        input.Read (padding, sizeof (padding));

        chunk.trackIndices.PushBack (index);
        chunk.audioTrackUIDs.Add (fieldText (uid));
        chunk.trackFormatReferences.Add (fieldText (trackFormat));
        chunk.packFormatReferences.Add (fieldText (packFormat));
    }

    return chunk;
}

} // namespace kul
