#pragma once

#include <cstdint>

// The shared Mersenne-Twister generator of the whole game (variation choices, switch times, the
// turn of a dropped item, damage rolls, voices). A network game reseeds it so that host and
// clients draw alike; tests seed it to replay a run. Unseeded it starts from the seed 4357.
void seedMT(std::uint32_t seed);
// The next 32-bit word.
std::uint32_t randomMT();
// A float in 0..1, from the low 15 bits of the next word.
float frandomMT();
