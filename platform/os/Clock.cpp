#include "platform/os/Clock.h"

#include <ctime>

namespace platform::os {

std::uint64_t Nanoseconds()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return std::uint64_t(now.tv_sec) * 1000000000u + std::uint64_t(now.tv_nsec);
}

std::uint32_t Milliseconds()
{
    return std::uint32_t(Nanoseconds() / 1000000u);
}

} // namespace platform::os
