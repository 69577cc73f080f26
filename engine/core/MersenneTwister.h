#pragma once

#include <cmath>
#include <cstdint>

// A normally distributed value by the polar method from a source of 32-bit words: pairs of
// uniforms in [-1, 1) until one falls inside the unit circle. The centre itself (s = 0) would
// divide by zero, so it is drawn again too.
template <class NextWord>
double PolarNormal(NextWord&& next, double mean, double deviation)
{
    double a = 0.0, s = 0.0;
    do {
        const double u1 = double(next()) / 4294967296.0;
        const double u2 = double(next()) / 4294967296.0;
        a = 2.0 * u1 - 1.0;
        const double b = 2.0 * u2 - 1.0;
        s = a * a + b * b;
    } while (s >= 1.0 || s == 0.0);
    return mean + deviation * a * std::sqrt(-2.0 * std::log(s) / s);
}

// MT19937 with the seeding the water waves were tuned with (seed | 1, then x 69069 per word),
// drawing normally distributed values for the wave field.
class MersenneTwister {
public:
    static constexpr int kWords = 624;

    explicit MersenneTwister(std::uint32_t seed = 4357) { Seed(seed); }

    void Seed(std::uint32_t seed);
    // Regenerates all 624 words and starts again at the first.
    void Reload();
    // The next tempered 32-bit word.
    std::uint32_t Next();
    // A normally distributed value (polar method).
    double RandomRange(double mean, double deviation);

private:
    std::int32_t index = kWords;
    std::uint32_t words[kWords] = {};
};
