#pragma once

#include <cstdint>

namespace platform::os {

// A monotonic clock in milliseconds (wraps after about 49 days, as the game's timers expect).
std::uint32_t Milliseconds();

// The same clock in nanoseconds, for measuring.
std::uint64_t Nanoseconds();

} // namespace platform::os
