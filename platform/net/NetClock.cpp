#include "platform/net/NetClock.h"

#include <chrono>

namespace platform::net {

std::uint32_t GetTime()
{
    // Counting from the first call would start at 0, which callers read as "never"; the offset
    // keeps the first value well above it.
    static const auto origin = std::chrono::steady_clock::now();
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - origin);
    return static_cast<std::uint32_t>(elapsed.count()) + 1000u;
}

} // namespace platform::net
