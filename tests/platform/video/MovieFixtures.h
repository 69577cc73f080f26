#pragma once

// Movies written by the tests: solid-colour frames (a different colour per frame) with an
// optional tone.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <numbers>
#include <string>
#include <vector>

#include "platform/video/AviWriter.h"

namespace moviefixtures {

// Every codec the writer makes, with how far a decoded channel may stray from the colour written.
struct CodecCase {
    const char* name;
    platform::video::VideoCodec codec;
    int tolerance;
};

inline const CodecCase Codecs[] = {
    {"uncompressed", platform::video::VideoCodec::Uncompressed, 0},
    {"mjpeg", platform::video::VideoCodec::Mjpeg, 12},
    {"msvideo1", platform::video::VideoCodec::MicrosoftVideo1, 10},
    {"cinepak", platform::video::VideoCodec::Cinepak, 24},
};

inline std::uint32_t FrameColour(int frame)
{
    static const std::uint32_t colours[] = {0xFFE02020u, 0xFF20C020u, 0xFF2040E0u, 0xFFE0E020u,
                                            0xFF20E0E0u, 0xFFE020E0u, 0xFF808080u, 0xFFF0F0F0u};
    return colours[frame % 8];
}

// Writes frames * (rate / fps) sound frames per picture when the track is there.
inline void WriteMovie(const std::string& path, platform::video::MovieSettings settings, int frames)
{
    std::string error;
    auto writer = platform::video::AviWriter::Create(path, settings, error);
    ASSERT_TRUE(writer) << error;
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(settings.width * settings.height));
    const int soundPerFrame = settings.soundRate / settings.framesPerSecond;
    std::int64_t soundFrame = 0;
    for (int f = 0; f < frames; ++f) {
        std::fill(pixels.begin(), pixels.end(), FrameColour(f));
        ASSERT_TRUE(writer->AddFrame(pixels.data(), error)) << error;
        if (settings.soundRate > 0) {
            std::vector<std::int16_t> tone;
            for (int i = 0; i < soundPerFrame; ++i, ++soundFrame)
                for (int c = 0; c < settings.soundChannels; ++c)
                    tone.push_back(static_cast<std::int16_t>(10000.0 * std::sin(2.0 * std::numbers::pi * 440.0 * soundFrame / settings.soundRate)));
            ASSERT_TRUE(writer->AddSound(tone.data(), static_cast<std::size_t>(soundPerFrame), error)) << error;
        }
    }
    ASSERT_TRUE(writer->Finish(error)) << error;
}

inline int ChannelDistance(std::uint32_t a, std::uint32_t b)
{
    int worst = 0;
    for (int shift : {0, 8, 16})
        worst = std::max(worst, std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF)));
    return worst;
}

}
