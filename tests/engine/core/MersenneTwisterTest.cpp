#include <cmath>
#include <cstdint>
#include <random>
#include <sstream>

#include <gtest/gtest.h>

#include "engine/core/MersenneTwister.h"
#include "engine/core/RandomMT.h"

TEST(MersenneTwister, TwistAndTemperingMatchTheStandardGenerator)
{
    // The seeding is the waves' own; from the same 624 words the standard engine must give the
    // same numbers, across several reloads.
    std::uint32_t words[624];
    words[0] = 4357u | 1u;
    for (int i = 1; i < 624; ++i)
        words[i] = words[i - 1] * 69069u;
    std::stringstream state;
    for (std::uint32_t w : words)
        state << w << ' ';
    state << 624;
    std::mt19937 reference;
    state >> reference;
    ASSERT_FALSE(state.fail());

    MersenneTwister twister(4357);
    for (int i = 0; i < 3000; ++i)
        ASSERT_EQ(twister.Next(), reference()) << i;
}

TEST(MersenneTwister, EvenSeedsAreMadeOdd)
{
    MersenneTwister even(4356), odd(4357);
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(even.Next(), odd.Next());
}

TEST(MersenneTwister, NormalDrawsHaveTheirMeanAndDeviation)
{
    MersenneTwister twister(4357);
    double sum = 0, squares = 0;
    const int n = 20000;
    for (int i = 0; i < n; ++i) {
        const double x = twister.RandomRange(3.0, 2.0);
        ASSERT_TRUE(std::isfinite(x));
        sum += x;
        squares += x * x;
    }
    const double mean = sum / n;
    EXPECT_NEAR(mean, 3.0, 0.05);
    EXPECT_NEAR(std::sqrt(squares / n - mean * mean), 2.0, 0.05);
}

TEST(MersenneTwister, PolarDrawAtTheCentreIsDrawnAgain)
{
    // Both uniforms exactly 0.5 put the point at the centre (s = 0), where the polar formula
    // divides by zero; such a pair is rejected like one outside the circle.
    const std::uint32_t draws[] = {0x80000000u, 0x80000000u, 0xC0000000u, 0x80000000u};
    std::size_t at = 0;
    const double value = PolarNormal([&] { return draws[at++]; }, 1.0, 2.0);
    EXPECT_EQ(at, 4u);
    // a = 0.5, b = 0: s = 0.25; 1 + 2 x 0.5 x sqrt(-2 ln 0.25 / 0.25).
    EXPECT_DOUBLE_EQ(value, 1.0 + 2.0 * 0.5 * std::sqrt(-2.0 * std::log(0.25) / 0.25));
}

TEST(SharedRandom, DrawsTheWordsOfOneGeneratorWithTheSameSeed)
{
    // The game's shared draws replay a run from its seed: the same words as a generator of that
    // seed, whether taken whole or as fractions, and a second seeding starts the sequence again.
    for (const std::uint32_t seed : {4357u, 1u, 0xFFFFFFFFu}) {
        MersenneTwister reference(seed);
        seedMT(seed);
        for (int i = 0; i < 1500; ++i) {
            if (i % 3 == 0) {
                ASSERT_EQ(frandomMT(), float(reference.Next() % 32768u) / 32767.0f) << seed << " " << i;
            } else {
                ASSERT_EQ(randomMT(), reference.Next()) << seed << " " << i;
            }
        }
        seedMT(seed);
        EXPECT_EQ(randomMT(), MersenneTwister(seed).Next()) << seed;
    }
}

TEST(SharedRandom, FractionsStayWithinZeroAndOneAndReachBothEnds)
{
    seedMT(4357);
    float lowest = 1.0f, highest = 0.0f;
    for (int i = 0; i < 200000; ++i) {
        const float r = frandomMT();
        ASSERT_GE(r, 0.0f);
        ASSERT_LE(r, 1.0f);
        lowest = std::min(lowest, r);
        highest = std::max(highest, r);
    }
    EXPECT_EQ(lowest, 0.0f);
    EXPECT_EQ(highest, 1.0f);
}
