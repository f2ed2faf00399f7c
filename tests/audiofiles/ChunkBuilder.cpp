#include "ChunkBuilder.h"

#include <cmath>

namespace audiofiletests
{
namespace
{
void put (Bytes& b, uint64_t value, int numBytes)
{
    for (int i = 0; i < numBytes; ++i)
    {
        const int shift = 8 * (b.order == ByteOrder::little ? i : numBytes - 1 - i);
        b.data.push_back (static_cast<unsigned char> (value >> shift));
    }
}
} // namespace

Bytes& Bytes::Id (const std::string& id) { return Text (id.substr (0, 4)); }
Bytes& Bytes::U8 (unsigned value) { put (*this, value, 1); return *this; }
Bytes& Bytes::U16 (uint32_t value) { put (*this, value, 2); return *this; }
Bytes& Bytes::U32 (uint32_t value) { put (*this, value, 4); return *this; }
Bytes& Bytes::U64 (uint64_t value) { put (*this, value, 8); return *this; }
Bytes& Bytes::Text (const std::string& text) { data.insert (data.end(), text.begin(), text.end()); return *this; }
Bytes& Bytes::Zeros (size_t count) { data.resize (data.size() + count, 0); return *this; }
Bytes& Bytes::Append (const Bytes& other) { data.insert (data.end(), other.data.begin(), other.data.end()); return *this; }

Bytes& Bytes::Extended (double value)
{
    int exponent = 0;
    const double fraction = std::frexp (value, &exponent); // value = fraction x 2^exponent, fraction in [0.5, 1)
    const auto mantissa = static_cast<uint64_t> (std::ldexp (fraction, 64));
    const auto saved = order;
    order = ByteOrder::big;
    U16 (value == 0 ? 0 : static_cast<uint32_t> (16383 + exponent - 1));
    U64 (mantissa);
    order = saved;
    return *this;
}

Bytes& Bytes::Chunk (const std::string& id, const Bytes& contents, std::optional<uint32_t> sizeField)
{
    Id (id);
    U32 (sizeField.value_or (static_cast<uint32_t> (contents.data.size())));
    Append (contents);
    return Zeros (contents.data.size() & 1);
}

Bytes Riff (const Bytes& chunks, std::optional<uint32_t> sizeField, const std::string& magic)
{
    Bytes b;
    b.Id (magic).U32 (sizeField.value_or (static_cast<uint32_t> (4 + chunks.data.size()))).Id ("WAVE");
    return b.Append (chunks);
}

Bytes Form (const std::string& type, const Bytes& chunks, std::optional<uint32_t> sizeField)
{
    Bytes b (ByteOrder::big);
    b.Id ("FORM").U32 (sizeField.value_or (static_cast<uint32_t> (4 + chunks.data.size()))).Id (type);
    return b.Append (chunks);
}

Bytes WavFormat (uint16_t tag, int channels, int32_t rate, int bits)
{
    const uint32_t blockAlign = static_cast<uint32_t> (channels * ((bits + 7) / 8));
    Bytes b;
    return b.U16 (tag).U16 (static_cast<uint32_t> (channels)).U32 (static_cast<uint32_t> (rate))
        .U32 (static_cast<uint32_t> (rate) * blockAlign).U16 (blockAlign).U16 (static_cast<uint32_t> (bits));
}

Bytes ExtensibleFormat (int channels, int32_t rate, int bits, uint32_t guid1, uint16_t guid2, uint16_t guid3,
                        const std::vector<unsigned char>& guid4)
{
    Bytes b = WavFormat (0xFFFE, channels, rate, bits);
    b.U16 (22).U16 (static_cast<uint32_t> (bits)).U32 (0).U32 (guid1).U16 (guid2).U16 (guid3);
    b.data.insert (b.data.end(), guid4.begin(), guid4.end());
    return b;
}

Bytes AiffComm (int channels, uint32_t frames, int bits, double rate, const std::string& compressionType)
{
    Bytes b (ByteOrder::big);
    b.U16 (static_cast<uint32_t> (channels)).U32 (frames).U16 (static_cast<uint32_t> (bits)).Extended (rate);
    if (! compressionType.empty())
        b.Id (compressionType).U8 (0).U8 (0); // an empty compression name, padded
    return b;
}

Bytes AiffSoundData (uint32_t offset, const Bytes& samples)
{
    Bytes b (ByteOrder::big);
    return b.U32 (offset).U32 (0).Zeros (offset).Append (samples);
}

} // namespace audiofiletests
