#pragma once

#include <cstdint>
#include <vector>

// A RIFF WAVE file of 16-bit PCM from interleaved samples.
std::vector<std::uint8_t> WriteWave(const std::vector<std::int16_t>& samples, int rate, int channels);
