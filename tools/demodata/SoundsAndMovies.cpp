#include "tools/demodata/DemoData.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <numbers>
#include <stdexcept>
#include <string>

#include "platform/video/AviWriter.h"
#include "tools/demodata/writers/WaveWriter.h"

namespace {

constexpr int SoundRate = 22050;

// A short click: a high tone with a fast decay, and a touch of deterministic noise.
std::vector<std::int16_t> Click()
{
    std::vector<std::int16_t> samples;
    const int length = SoundRate * 40 / 1000;
    std::uint32_t noise = 12345;
    for (int i = 0; i < length; ++i) {
        noise = noise * 1664525u + 1013904223u;
        const double t = static_cast<double>(i) / SoundRate;
        const double envelope = std::exp(-t * 120.0);
        const double value = 0.7 * std::sin(2.0 * std::numbers::pi * 2200.0 * t) + 0.3 * (static_cast<double>(noise >> 16) / 32768.0 - 1.0);
        samples.push_back(static_cast<std::int16_t>(std::lround(20000.0 * envelope * value)));
    }
    return samples;
}

// The refusal buzz: a low square wave with a flat envelope that falls away at the end.
std::vector<std::int16_t> Buzzer()
{
    std::vector<std::int16_t> samples;
    const int length = SoundRate * 300 / 1000;
    for (int i = 0; i < length; ++i) {
        const double t = static_cast<double>(i) / SoundRate;
        const double envelope = std::min(1.0, static_cast<double>(length - i) / (SoundRate * 0.03));
        const double value = std::sin(2.0 * std::numbers::pi * 110.0 * t) >= 0.0 ? 1.0 : -1.0;
        samples.push_back(static_cast<std::int16_t>(std::lround(9000.0 * envelope * value)));
    }
    return samples;
}

// The opening movie: four seconds of a colour sweep with a moving bar and a rising tone.
void WriteOpeningMovie(const DemoDataWriter& out)
{
    platform::video::MovieSettings settings;
    settings.width = 320;
    settings.height = 240;
    settings.framesPerSecond = 15;
    settings.codec = platform::video::VideoCodec::Mjpeg;
    settings.soundRate = SoundRate;
    settings.soundChannels = 1;
    const int frames = settings.framesPerSecond * 4;
    const int soundPerFrame = SoundRate / settings.framesPerSecond;

    const std::filesystem::path temporary = out.root() / "opening.avi.tmp";
    std::filesystem::create_directories(out.root());
    std::string error;
    {
        auto writer = platform::video::AviWriter::Create(temporary.string(), settings, error);
        if (!writer)
            throw std::runtime_error("opening movie: " + error);
        std::vector<std::uint32_t> pixels(static_cast<std::size_t>(settings.width * settings.height));
        double phase = 0.0;
        for (int f = 0; f < frames; ++f) {
            const int bar = f * (settings.width - 40) / (frames - 1);
            for (int y = 0; y < settings.height; ++y) {
                for (int x = 0; x < settings.width; ++x) {
                    const auto r = static_cast<std::uint32_t>(40 + 150 * x / settings.width);
                    const auto g = static_cast<std::uint32_t>(30 + 120 * y / settings.height);
                    const auto b = static_cast<std::uint32_t>(60 + 160 * f / frames);
                    std::uint32_t colour = 0xFF000000u | r << 16 | g << 8 | b;
                    if (x >= bar && x < bar + 40 && y > 80 && y < 160)
                        colour = 0xFFF0E0A0u;
                    pixels[static_cast<std::size_t>(y * settings.width + x)] = colour;
                }
            }
            if (!writer->AddFrame(pixels.data(), error))
                throw std::runtime_error("opening movie: " + error);
            std::vector<std::int16_t> tone(static_cast<std::size_t>(soundPerFrame));
            const double frequency = 220.0 + 220.0 * f / frames;
            for (std::int16_t& sample : tone) {
                phase += 2.0 * std::numbers::pi * frequency / SoundRate;
                sample = static_cast<std::int16_t>(std::lround(6000.0 * std::sin(phase)));
            }
            if (!writer->AddSound(tone.data(), tone.size(), error))
                throw std::runtime_error("opening movie: " + error);
        }
        if (!writer->Finish(error))
            throw std::runtime_error("opening movie: " + error);
    }
    std::ifstream file(temporary, std::ios::binary);
    const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(file)), {});
    file.close();
    std::filesystem::remove(temporary);
    out.writeFile("Movies/opening.avi", bytes);
}

}

void GenerateSoundsAndMovies(const DemoDataWriter& out)
{
    out.writeFile("Sound/clicksound.wav", WriteWave(Click(), SoundRate, 1));
    out.writeFile("Sound/buzzer.wav", WriteWave(Buzzer(), SoundRate, 1));
    WriteOpeningMovie(out);
}
