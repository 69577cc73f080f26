#include "world/terrain/WaveField.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int kHalf = WaveField::kSize / 2;

// Wave number -16..15 to its array index, 0 first.
int Wrap(int k) { return (k + WaveField::kSize) % WaveField::kSize; }

} // namespace

WaveField::WaveField()
    : amplitudes(std::size_t(kTable * kTable)),
      heights(std::size_t(kSize * kSize)),
      slopes(std::size_t(kSize * kSize)),
      displacements(std::size_t(kSize * kSize)),
      angularSpeeds(std::size_t(kSize * kSize), 0.0f),
      inverseLengths(std::size_t(kSize * kSize), 0.0f)
{
    Init(4357, 1.5707964f, 16.0f, 256.0f, 2.0f, 0.015f, 0.00005f);
}

float WaveField::Spectrum(float kx, float kz) const
{
    float k = std::sqrt(kx * kx + kz * kz);
    if (k < 1e-8f)
        k = 1.0f;
    const float alignment = (kx / k) * windCos + (kz / k) * windSin;
    const float kl = k * largestWave;
    const float ks = k * smallestWave;
    return amplitude * std::pow(alignment, exponent) * std::exp(-1.0f / (kl * kl) - ks * ks) / std::pow(k, 4.0f);
}

void WaveField::Init(unsigned seed, float windAngle, float newWindSpeed, float newAmplitude, float newExponent,
                     float newChoppiness, float newDamping)
{
    amplitude = newAmplitude;
    exponent = newExponent;
    choppiness = newChoppiness;
    damping = newDamping;
    windSpeed = newWindSpeed;
    windCos = std::cos(windAngle);
    windSin = std::sin(windAngle);
    largestWave = windSpeed * windSpeed * 0.101936795f;
    smallestWave = largestWave * damping;

    twister.Seed(seed);
    for (int m = -kHalf; m <= kHalf; ++m)
        for (int n = -kHalf; n <= kHalf; ++n) {
            const float g1 = float(twister.RandomRange(0.0, 1.0));
            const float g2 = float(twister.RandomRange(0.0, 1.0));
            const float s = std::sqrt(Spectrum(kTwoPi * float(n), kTwoPi * float(m))) * 0.70710677f;
            amplitudes[std::size_t((m + kHalf) * kTable + (n + kHalf))] = Complex{g2 * s, g1 * s};
        }
    for (int m = -kHalf; m < kHalf; ++m)
        for (int n = -kHalf; n < kHalf; ++n) {
            const float kx = kTwoPi * float(n), kz = kTwoPi * float(m);
            const float k = std::sqrt(kx * kx + kz * kz);
            const std::size_t at = std::size_t((m + kHalf) * kSize + (n + kHalf));
            inverseLengths[at] = 1.0f / std::max(k, 1e-8f);
            angularSpeeds[at] = std::sqrt(k * 9.81f);
        }
}

void WaveField::Update(float t)
{
    for (int m = -kHalf; m < kHalf; ++m)
        for (int n = -kHalf; n < kHalf; ++n) {
            const Complex& h0 = amplitudes[std::size_t((m + kHalf) * kTable + (n + kHalf))];
            const Complex& mirrored = amplitudes[std::size_t((kHalf - m) * kTable + (kHalf - n))];
            const std::size_t loop = std::size_t((m + kHalf) * kSize + (n + kHalf));
            const float w = angularSpeeds[loop] * t;
            const float c = std::cos(w), s = std::sin(w);
            // h0 e^{iw} + conj(h0') e^{-iw}, so the heights come out real.
            Complex h;
            h.re = (h0.re + mirrored.re) * c - (h0.im + mirrored.im) * s;
            h.im = (h0.im - mirrored.im) * c + (h0.re - mirrored.re) * s;

            const float kx = kTwoPi * float(n), kz = kTwoPi * float(m);
            const std::size_t at = std::size_t(Wrap(m) * kSize + Wrap(n));
            heights[at] = h;
            slopes[at] = Complex{-kx * h.im - kz * h.re, kx * h.re - kz * h.im};
            const float ux = kx * inverseLengths[loop], uz = kz * inverseLengths[loop];
            displacements[at] = Complex{ux * h.im + uz * h.re, uz * h.im - ux * h.re};
        }
    FFT2D(-1, heights.data());
    FFT2D(-1, slopes.data());
    FFT2D(-1, displacements.data());
}

void WaveField::FFT32(int direction, float re[kSize], float im[kSize])
{
    // Bit-reversal permutation.
    for (int i = 0, j = 0; i < kSize - 1; ++i) {
        if (i < j) {
            std::swap(re[i], re[j]);
            std::swap(im[i], im[j]);
        }
        int k = kSize >> 1;
        while (k <= j) {
            j -= k;
            k >>= 1;
        }
        j += k;
    }
    // Butterflies; the stage's root of unity halves its angle each stage, from pi.
    float rootCos = -1.0f, rootSin = 0.0f;
    for (int half = 1; half < kSize; half <<= 1) {
        float twiddleRe = 1.0f, twiddleIm = 0.0f;
        for (int j = 0; j < half; ++j) {
            for (int i = j; i < kSize; i += 2 * half) {
                const int k = i + half;
                const float tr = twiddleRe * re[k] - twiddleIm * im[k];
                const float ti = twiddleRe * im[k] + twiddleIm * re[k];
                re[k] = re[i] - tr;
                im[k] = im[i] - ti;
                re[i] += tr;
                im[i] += ti;
            }
            const float next = twiddleRe * rootCos - twiddleIm * rootSin;
            twiddleIm = twiddleRe * rootSin + twiddleIm * rootCos;
            twiddleRe = next;
        }
        rootSin = std::sqrt((1.0f - rootCos) / 2.0f);
        if (direction == 1)
            rootSin = -rootSin;
        rootCos = std::sqrt((1.0f + rootCos) / 2.0f);
    }
    if (direction == 1)
        for (int i = 0; i < kSize; ++i) {
            re[i] *= 0.03125f;
            im[i] *= 0.03125f;
        }
}

void WaveField::FFT2D(int direction, Complex* values)
{
    float re[kSize], im[kSize];
    for (int row = 0; row < kSize; ++row) {
        Complex* line = values + row * kSize;
        for (int i = 0; i < kSize; ++i) {
            re[i] = line[i].re;
            im[i] = line[i].im;
        }
        FFT32(direction, re, im);
        for (int i = 0; i < kSize; ++i)
            line[i] = Complex{re[i], im[i]};
    }
    for (int column = 0; column < kSize; ++column) {
        for (int i = 0; i < kSize; ++i) {
            re[i] = values[i * kSize + column].re;
            im[i] = values[i * kSize + column].im;
        }
        FFT32(direction, re, im);
        for (int i = 0; i < kSize; ++i)
            values[i * kSize + column] = Complex{re[i], im[i]};
    }
}
