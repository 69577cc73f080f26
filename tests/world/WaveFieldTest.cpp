#include <cmath>
#include <complex>
#include <cstring>
#include <memory>
#include <numbers>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "engine/core/MersenneTwister.h"
#include "world/terrain/WaveField.h"

namespace {

using Cd = std::complex<double>;

// The plain O(n^2) transform: sign +1 is the positive exponent.
std::vector<Cd> NaiveDft(const std::vector<Cd>& in, int sign)
{
    const std::size_t n = in.size();
    std::vector<Cd> out(n);
    for (std::size_t k = 0; k < n; ++k)
        for (std::size_t j = 0; j < n; ++j)
            out[k] += in[j] * std::polar(1.0, sign * 2.0 * std::numbers::pi * double(j * k % n) / double(n));
    return out;
}

bool SameField(const WaveField::Complex* a, const WaveField::Complex* b, int count)
{
    return std::memcmp(a, b, sizeof(WaveField::Complex) * std::size_t(count)) == 0;
}

constexpr int kCells = WaveField::kSize * WaveField::kSize;

} // namespace

TEST(WaveField, Fft32MatchesTheNaiveTransformBothWays)
{
    std::mt19937 random(5);
    std::uniform_real_distribution<float> value(-10.0f, 10.0f);
    for (int direction : {-1, 1}) {
        float re[32], im[32];
        std::vector<Cd> input(32);
        for (int i = 0; i < 32; ++i) {
            re[i] = value(random);
            im[i] = value(random);
            input[std::size_t(i)] = Cd(re[i], im[i]);
        }
        WaveField::FFT32(direction, re, im);
        const std::vector<Cd> expected = NaiveDft(input, -direction);
        const double scale = direction == 1 ? 1.0 / 32.0 : 1.0;
        for (int k = 0; k < 32; ++k) {
            EXPECT_NEAR(re[k], expected[std::size_t(k)].real() * scale, 2e-4 * 32 * 10) << direction << " " << k;
            EXPECT_NEAR(im[k], expected[std::size_t(k)].imag() * scale, 2e-4 * 32 * 10) << direction << " " << k;
        }
    }
    // Forward then back is the identity.
    float re[32], im[32];
    for (int i = 0; i < 32; ++i) {
        re[i] = float(i % 7) - 3.0f;
        im[i] = float(i % 5);
    }
    WaveField::FFT32(1, re, im);
    WaveField::FFT32(-1, re, im);
    for (int i = 0; i < 32; ++i) {
        EXPECT_NEAR(re[i], float(i % 7) - 3.0f, 1e-5f);
        EXPECT_NEAR(im[i], float(i % 5), 1e-5f);
    }
}

TEST(WaveField, Fft2dMatchesTheNaiveTransform)
{
    std::mt19937 random(9);
    std::uniform_real_distribution<float> value(-1.0f, 1.0f);
    std::vector<WaveField::Complex> field(kCells);
    for (auto& c : field)
        c = {value(random), value(random)};
    const std::vector<WaveField::Complex> input = field;
    WaveField::FFT2D(-1, field.data());
    // A few output points against the double sum over the grid.
    for (const auto& [row, column] : {std::pair{0, 0}, std::pair{1, 0}, std::pair{0, 3}, std::pair{17, 29}, std::pair{31, 31}}) {
        Cd sum;
        for (int r = 0; r < 32; ++r)
            for (int c = 0; c < 32; ++c) {
                const auto& x = input[std::size_t(r * 32 + c)];
                sum += Cd(x.re, x.im) * std::polar(1.0, 2.0 * std::numbers::pi * double(row * r + column * c) / 32.0);
            }
        EXPECT_NEAR(field[std::size_t(row * 32 + column)].re, sum.real(), 1e-3) << row << "," << column;
        EXPECT_NEAR(field[std::size_t(row * 32 + column)].im, sum.imag(), 1e-3) << row << "," << column;
    }
}

TEST(WaveField, SpectrumOfWaveNumberZeroIsZero)
{
    WaveField field;
    EXPECT_EQ(field.Spectrum(0.0f, 0.0f), 0.0f);
    // Across the wind (angle pi/2: wind along z) nothing; along it something.
    EXPECT_NEAR(field.Spectrum(6.2831855f, 0.0f), 0.0f, 1e-12f);
    EXPECT_GT(field.Spectrum(0.0f, 6.2831855f), 0.0f);
    const auto& amplitudes = field.InitialAmplitudes();
    EXPECT_EQ(amplitudes[16 * 33 + 16].re, 0.0f);
    EXPECT_EQ(amplitudes[16 * 33 + 16].im, 0.0f);
}

TEST(WaveField, SameSeedGivesTheSameWavesEveryRun)
{
    auto first = std::make_unique<WaveField>();
    auto second = std::make_unique<WaveField>();
    first->Init(4357, 1.5707964f, 16.0f, 300.0f, 2.0f, 0.02f, 0.0001f);
    second->Init(4357, 1.5707964f, 16.0f, 300.0f, 2.0f, 0.02f, 0.0001f);
    EXPECT_TRUE(SameField(first->InitialAmplitudes(), second->InitialAmplitudes(), 33 * 33));
    for (float t : {0.0f, 0.75f, 12.5f}) {
        first->Update(t);
        second->Update(t);
        EXPECT_TRUE(SameField(first->Heights(), second->Heights(), kCells)) << t;
        EXPECT_TRUE(SameField(first->Slopes(), second->Slopes(), kCells)) << t;
        EXPECT_TRUE(SameField(first->Displacements(), second->Displacements(), kCells)) << t;
    }
    // Init again re-seeds: the first field's waves come back after other draws.
    first->Init(99, 0.3f, 10.0f, 100.0f, 2.0f, 0.01f, 0.001f);
    first->Init(4357, 1.5707964f, 16.0f, 300.0f, 2.0f, 0.02f, 0.0001f);
    EXPECT_TRUE(SameField(first->InitialAmplitudes(), second->InitialAmplitudes(), 33 * 33));
    // Another seed gives other waves.
    second->Init(4359, 1.5707964f, 16.0f, 300.0f, 2.0f, 0.02f, 0.0001f);
    EXPECT_FALSE(SameField(first->InitialAmplitudes(), second->InitialAmplitudes(), 33 * 33));
}

TEST(WaveField, InitialAmplitudesComeFromTheSpectrumAndTheTwister)
{
    WaveField field;
    MersenneTwister twister(4357);
    const auto* amplitudes = field.InitialAmplitudes();
    for (int m = -16; m <= 16; ++m)
        for (int n = -16; n <= 16; ++n) {
            const float g1 = float(twister.RandomRange(0, 1));
            const float g2 = float(twister.RandomRange(0, 1));
            const float s = std::sqrt(field.Spectrum(6.2831855f * float(n), 6.2831855f * float(m))) * 0.70710677f;
            const auto& a = amplitudes[(m + 16) * 33 + (n + 16)];
            ASSERT_EQ(a.re, g2 * s) << m << "," << n;
            ASSERT_EQ(a.im, g1 * s) << m << "," << n;
        }
}

TEST(WaveField, HeightsAreTheInverseTransformOfTheMovingSpectrum)
{
    WaveField field;
    const float t = 2.5f;
    field.Update(t);
    const auto* h0 = field.InitialAmplitudes();
    // H(m, n) by the dispersion relation, then summed at a few grid points.
    std::vector<Cd> spectrum(kCells);
    for (int m = -16; m < 16; ++m)
        for (int n = -16; n < 16; ++n) {
            const auto& a = h0[(m + 16) * 33 + (n + 16)];
            const auto& b = h0[(16 - m) * 33 + (16 - n)];
            const double k = 2.0 * std::numbers::pi * std::sqrt(double(m * m + n * n));
            const double w = std::sqrt(k * 9.81) * t;
            spectrum[std::size_t((m + 32) % 32 * 32 + (n + 32) % 32)] =
                Cd(a.re, a.im) * std::polar(1.0, w) + std::conj(Cd(b.re, b.im)) * std::polar(1.0, -w);
        }
    double largest = 0.0;
    for (const auto& [row, column] : {std::pair{0, 0}, std::pair{5, 9}, std::pair{31, 2}, std::pair{16, 16}}) {
        Cd sum;
        for (int r = 0; r < 32; ++r)
            for (int c = 0; c < 32; ++c)
                sum += spectrum[std::size_t(r * 32 + c)] * std::polar(1.0, 2.0 * std::numbers::pi * double(row * r + column * c) / 32.0);
        const auto& height = field.Heights()[row * 32 + column];
        EXPECT_NEAR(height.re, sum.real(), 1e-3 * (1.0 + std::abs(sum))) << row << "," << column;
        EXPECT_NEAR(height.im, sum.imag(), 1e-3 * (1.0 + std::abs(sum))) << row << "," << column;
        largest = std::max(largest, std::abs(sum));
    }
    EXPECT_GT(largest, 1e-3); // there are waves at all
    for (int i = 0; i < kCells; ++i) {
        ASSERT_TRUE(std::isfinite(field.Slopes()[i].re) && std::isfinite(field.Slopes()[i].im));
        ASSERT_TRUE(std::isfinite(field.Displacements()[i].re) && std::isfinite(field.Displacements()[i].im));
    }
}
