#include "engine/core/RandomMT.h"
#include "engine/core/RandomMT.h"

#include "engine/core/MersenneTwister.h"

namespace {

MersenneTwister& SharedGenerator()
{
    static MersenneTwister generator;
    return generator;
}

} // namespace

void seedMT(std::uint32_t seed)
{
    SharedGenerator().Seed(seed);
}

std::uint32_t randomMT()
{
    return SharedGenerator().Next();
}

float frandomMT()
{
    return float(SharedGenerator().Next() % 32768u) / 32767.0f;
}
