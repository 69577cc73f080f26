#include "engine/core/MersenneTwister.h"

namespace {

constexpr int kShift = 397;
constexpr std::uint32_t kMatrix = 0x9908b0dfu;

std::uint32_t Twist(std::uint32_t current, std::uint32_t next, std::uint32_t shifted)
{
    const std::uint32_t y = (current & 0x80000000u) | (next & 0x7fffffffu);
    return shifted ^ (y >> 1) ^ ((next & 1u) ? kMatrix : 0u);
}

} // namespace

void MersenneTwister::Seed(std::uint32_t seed)
{
    words[0] = seed | 1u;
    for (int i = 1; i < kWords; ++i)
        words[i] = words[i - 1] * 69069u;
    index = kWords;
}

void MersenneTwister::Reload()
{
    int i = 0;
    for (; i < kWords - kShift; ++i)
        words[i] = Twist(words[i], words[i + 1], words[i + kShift]);
    for (; i < kWords - 1; ++i)
        words[i] = Twist(words[i], words[i + 1], words[i + kShift - kWords]);
    words[kWords - 1] = Twist(words[kWords - 1], words[0], words[kShift - 1]);
    index = 0;
}

std::uint32_t MersenneTwister::Next()
{
    if (index >= kWords)
        Reload();
    std::uint32_t y = words[index++];
    if (index == kWords)
        Reload();
    y ^= y >> 11;
    y ^= (y << 7) & 0x9d2c5680u;
    y ^= (y << 15) & 0xefc60000u;
    y ^= y >> 18;
    return y;
}

double MersenneTwister::RandomRange(double mean, double deviation)
{
    return PolarNormal([this] { return Next(); }, mean, deviation);
}
