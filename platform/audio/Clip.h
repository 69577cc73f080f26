#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace platform::audio {

struct Core;
class Driver;

// A decoded sound held by the mixer, ready for any number of voices.
class Clip {
public:
    // Decodes a WAV image; null with LastError set when no decoder takes it. Positional voices
    // need mono, so mono = true averages the channels.
    static std::unique_ptr<Clip> Decode(const Driver& driver, const std::uint8_t* data, std::size_t size, bool mono);
    // Interleaved 16-bit frames.
    static std::unique_ptr<Clip> FromSamples(const Driver& driver, const std::int16_t* samples, std::size_t frames, int channels, int rate);
    ~Clip();

    Clip(const Clip&) = delete;
    Clip& operator=(const Clip&) = delete;

    int Rate() const { return rate; }
    int Channels() const { return channels; }
    std::size_t Frames() const { return frames; }
    unsigned Buffer() const { return buffer; }

private:
    Clip() = default;
    std::shared_ptr<Core> core;
    unsigned buffer = 0;
    int rate = 0;
    int channels = 0;
    std::size_t frames = 0;
};

}
