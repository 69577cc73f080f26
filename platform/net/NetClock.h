#pragma once

#include <cstdint>

namespace platform::net {

// The layer's millisecond clock: monotonic, starting above 0, wrapping after 49 days.
std::uint32_t GetTime();

// Wrap-safe order of two clock values less than 24 days apart.
inline bool TimeBefore(std::uint32_t a, std::uint32_t b) { return static_cast<std::int32_t>(a - b) < 0; }
inline std::int32_t TimeDifference(std::uint32_t later, std::uint32_t earlier)
{
    return static_cast<std::int32_t>(later - earlier);
}

} // namespace platform::net
