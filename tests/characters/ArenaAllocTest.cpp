#include "app/framework/ArenaAlloc.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>

// The props' arena as the characters' level objects use it: aligned steps, a block used to its
// last byte, then a fresh block, and every block given back at once.
TEST(ArenaAllocTest, ABlockIsUsedToItsLastByteBeforeTheNextStarts)
{
    ArenaFreeAll();
    constexpr std::size_t step = alignof(std::max_align_t);
    constexpr std::size_t perBlock = 10000 / step;
    auto* first = static_cast<std::byte*>(ArenaAlloc(step));
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(first) % step, 0u);
    for (std::size_t i = 1; i < perBlock; ++i)
        ASSERT_EQ(static_cast<std::byte*>(ArenaAlloc(step)), first + i * step) << i;
    auto* next = static_cast<std::byte*>(ArenaAlloc(1));
    ASSERT_NE(next, nullptr);
    EXPECT_TRUE(next < first || next >= first + 10000);  // the full block is left behind
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(next) % step, 0u);
    auto* odd = static_cast<std::byte*>(ArenaAlloc(3));  // odd sizes still keep the next one aligned
    EXPECT_EQ(odd - next, std::ptrdiff_t(step));
    ArenaFreeAll();
    EXPECT_NE(ArenaAlloc(step), nullptr);  // the arena starts over after freeing
    EXPECT_EQ(ArenaAlloc(SIZE_MAX - 4), nullptr);  // a request no block can hold fails plainly
    ArenaFreeAll();
}
