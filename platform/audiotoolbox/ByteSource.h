#pragma once

#include "audiotoolbox/AudioToolbox.h"

#include <cstdint>

/** The caller's read and size callbacks as a stream with a position of its own, the
    shape that the decoding libraries read through. Each library that reads the file
    has its own ByteSource, so that one's position never moves under another. */
struct ByteSource
{
    void* clientData = nullptr;
    AudioFile_ReadProc read = nullptr;
    AudioFile_GetSizeProc getSize = nullptr;
    int64_t position = 0; // the byte read next

    /** The file's length in bytes (0 when the callback answers less). */
    int64_t Length() const noexcept;

    /** Moves as fseek does (SEEK_SET, SEEK_CUR or SEEK_END); -1, with the position kept,
        for another whence or a target before 0 or past what 64 bits hold. */
    int64_t Seek (int64_t offset, int whence) noexcept;

    /** Up to count bytes from the position into destination; the bytes that arrived
        (fewer at the end of the file or when the callback fails). */
    int64_t Read (void* destination, int64_t count) noexcept;
};
