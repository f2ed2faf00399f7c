#include "audiotoolbox/ByteSource.h"

#include <algorithm>
#include <cstdio>
#include <limits>

int64_t ByteSource::Length() const noexcept
{
    const SInt64 size = getSize (clientData);
    return size > 0 ? size : 0;
}

int64_t ByteSource::Seek (int64_t offset, int whence) noexcept
{
    int64_t base = 0;

    if (whence == SEEK_CUR)
        base = position;
    else if (whence == SEEK_END)
        base = Length();
    else if (whence != SEEK_SET)
        return -1;

    if ((offset > 0 && base > std::numeric_limits<int64_t>::max() - offset) || base + offset < 0)
        return -1;

    position = base + offset;
    return position;
}

int64_t ByteSource::Read (void* destination, int64_t count) noexcept
{
    // The caller's read takes at most a 32-bit count at a time.
    auto* bytes = static_cast<unsigned char*> (destination);
    int64_t done = 0;

    while (done < count)
    {
        const auto request = static_cast<UInt32> (std::min<int64_t> (count - done, std::numeric_limits<UInt32>::max()));
        UInt32 got = 0;

        if (read (clientData, position, request, bytes + done, &got) != noErr || got == 0)
            break;

        got = std::min (got, request);
        position += got;
        done += got;
    }

    return done;
}
