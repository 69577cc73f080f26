#pragma once

#include <vector>

#include "engine/core/MersenneTwister.h"

// The statistical wave field that animates all water: a 32 x 32 spectrum of wave amplitudes,
// moved on in time and brought back to heights, slopes and horizontal displacements by an
// inverse two-dimensional Fourier transform. The field tiles, so every patch draws the same one.
class WaveField {
public:
    struct Complex {
        float re = 0.0f;
        float im = 0.0f;
    };

    static constexpr int kSize = 32;              // grid points per side
    static constexpr int kTable = kSize + 1;      // wave numbers -16..16 per side of the amplitudes
    static constexpr float kTwoPi = 6.2831855f;

    // Every array zeroed, then the default waves.
    WaveField();

    // Wind angle in radians, wind speed, amplitude, direction exponent, choppiness and the damping
    // factor of the smallest waves.
    void Init(unsigned seed, float windAngle, float windSpeed, float amplitude, float exponent, float choppiness,
              float damping);
    // Spectrum value of the wave vector (kx, kz).
    float Spectrum(float kx, float kz) const;
    // Heights, slopes and displacements at time t (the world's wave time).
    void Update(float t);

    // Radix-2 transform of 32 points in place: direction -1 uses the positive exponent and no
    // scaling, direction 1 the negative exponent and a scale of 1/32.
    static void FFT32(int direction, float re[kSize], float im[kSize]);
    // Every row, then every column, of a 32 x 32 row-major array.
    static void FFT2D(int direction, Complex* values);

    // Results of the last Update: entry row x 32 + column is the grid point (row, column).
    const Complex* Heights() const { return heights.data(); }
    const Complex* Slopes() const { return slopes.data(); }         // x slope real, z slope imaginary
    const Complex* Displacements() const { return displacements.data(); }
    // Initial amplitudes, row (m + 16), column (n + 16) for the wave numbers -16..16.
    const Complex* InitialAmplitudes() const { return amplitudes.data(); }

    float Choppiness() const { return choppiness; }
    float Amplitude() const { return amplitude; }
    float LargestWave() const { return largestWave; }
    float SmallestWave() const { return smallestWave; }

private:
    std::vector<Complex> amplitudes;    // 33 x 33
    std::vector<Complex> heights;       // 32 x 32
    std::vector<Complex> slopes;        // 32 x 32
    std::vector<Complex> displacements; // 32 x 32
    std::vector<float> angularSpeeds;   // 32 x 32, in loop order (m + 16) x 32 + (n + 16)
    std::vector<float> inverseLengths;  // 32 x 32, in loop order

    float windCos = 0.0f;
    float windSin = 0.0f;
    float windSpeed = 0.0f;
    float largestWave = 0.0f;
    float smallestWave = 0.0f;
    float amplitude = 0.0f;
    float exponent = 0.0f;
    float choppiness = 0.0f;
    float damping = 0.0f;
    MersenneTwister twister;
};
