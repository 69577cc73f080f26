#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace platform::audio {

// Decoded sound: interleaved signed 16-bit frames.
struct Pcm {
    int rate = 0;
    int channels = 0;
    std::vector<std::int16_t> samples;

    std::size_t FrameCount() const { return channels ? samples.size() / static_cast<std::size_t>(channels) : 0; }
};

// RIFF WAVE with 8- or 16-bit PCM or IMA ADPCM, mono or stereo. False with the reason in error.
bool DecodeWave(const std::uint8_t* data, std::size_t size, Pcm& out, std::string& error);

// Averages the channels into one (positional voices need mono).
Pcm DownmixToMono(const Pcm& in);

}
