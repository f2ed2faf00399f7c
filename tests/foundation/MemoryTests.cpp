#include "memory/Memory.h"

#include <gtest/gtest.h>

#include <cstring>

TEST (Memory, ReallocKeepsContentAndFreeAcceptsNull)
{
    auto* bytes = static_cast<char*> (kul::Malloc (4));
    ASSERT_NE (bytes, nullptr);
    std::memcpy (bytes, "abc", 4);
    bytes = static_cast<char*> (kul::Realloc (bytes, 1 << 20));
    ASSERT_NE (bytes, nullptr);
    EXPECT_STREQ (bytes, "abc");
    kul::Free (bytes);
    kul::Free (nullptr);
}
