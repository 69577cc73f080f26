#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace platform::video {

enum class VideoCodec { Uncompressed, Mjpeg, MicrosoftVideo1, Cinepak };

struct MovieSettings {
    int width = 320;
    int height = 240;
    int framesPerSecond = 15;
    VideoCodec codec = VideoCodec::Mjpeg;
    // 0 = no sound track; otherwise PCM of these channels and bits.
    int soundRate = 0;
    int soundChannels = 1;
    int soundBits = 16;
};

struct WriterState;

// Writes an AVI movie: frames of 0xAARRGGBB pixels (rows top to bottom) and interleaved 16-bit
// sound. The same frames and sound give the same bytes.
class AviWriter {
public:
    // Null with the reason in error.
    static std::unique_ptr<AviWriter> Create(const std::string& path, const MovieSettings& settings, std::string& error);
    ~AviWriter();

    bool AddFrame(const std::uint32_t* pixels, std::string& error);
    // Interleaved frames of signed 16-bit samples (stored as 8 bits when the track has 8).
    bool AddSound(const std::int16_t* samples, std::size_t frames, std::string& error);
    // Writes the index; the file is complete afterwards.
    bool Finish(std::string& error);

private:
    AviWriter() = default;
    std::unique_ptr<WriterState> state;
};

}
