#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/video/AviFile.h"

class D3DBitmap;
class Device;
class SoundSystem;

namespace platform::os {
class Window;
}
namespace platform::audio {
class Driver;
class StreamBuffer;
}

// Plays an AVI file into a texture. The video is clocked by its sound track when the file has one
// and a sound device is free, else by the device clock. While a file is open the player has the
// sound output to itself; Close gives it back to the sound system.
class AVIPlayer {
public:
    static constexpr int MaxStreams = 5;
    static constexpr std::int32_t AVIPLAYERR_NOMOREFRAMES = static_cast<std::int32_t>(0x800441F4u);
    static constexpr std::int32_t AVIPLAYERR_INVALIDSTREAM = static_cast<std::int32_t>(0x800441F5u);
    static constexpr std::int32_t AVIPLAYERR_GETFRAMEOPENFAIL = static_cast<std::int32_t>(0x800441F6u);
    static constexpr std::int32_t AVIPLAYERR_NOSUCHFILE = static_cast<std::int32_t>(0x800441F7u);
    static constexpr std::int32_t AVIPLAYERR_LOOPED = static_cast<std::int32_t>(0x800441F8u);
    static constexpr std::int32_t AVIPLAYERR_NOTINIT = static_cast<std::int32_t>(0x800441F9u);

    AVIPlayer();
    virtual ~AVIPlayer();

    AVIPlayer(const AVIPlayer&) = delete;
    AVIPlayer& operator=(const AVIPlayer&) = delete;

    std::int32_t Open(const char* path, SoundSystem* soundSystem, platform::os::Window* window);
    void Close();
    // Width and height of a video stream; null (AVIPLAYERR_INVALIDSTREAM) for a bad index.
    const platform::video::VideoFormat* GetVideoFormat(int stream);
    std::int32_t StartVideo(int stream, D3DBitmap* texture, int width, int height);
    std::int32_t StartVideoAtTextureSize(int stream, D3DBitmap* texture);
    std::int32_t Update(int stream, Device* device, D3DBitmap* texture, int x, int y, int width, int height, bool loop);
    std::int32_t UpdateFullFrame(int stream, Device* device, D3DBitmap* texture, bool loop);
    std::int32_t StopVideo(int stream);
    void StopAudio(int stream);
    static const char* GetErrorName(std::int32_t code);
    std::int32_t GetLastError() const { return lastError; }

    // The two halves of Update, for callers that keep their own clock: advance by elapsed
    // milliseconds, or show the frame at an absolute time.
    std::int32_t AdvanceFrame(int stream, std::int32_t elapsed, D3DBitmap* texture, int x, int y, int width, int height, bool loop);
    std::int32_t ShowFrameAt(int stream, std::int32_t time, D3DBitmap* texture, int x, int y, int width, int height, bool loop);
    // Refills the sound track and returns its time in milliseconds (-1 on error).
    std::int32_t StreamAudio(int stream, bool restart, bool loop);
    bool HasSound(int stream) const;

private:
    struct AudioTrack {
        platform::video::AviStream* stream = nullptr;
        std::unique_ptr<platform::audio::StreamBuffer> buffer;
        platform::video::WaveFormat format;
        std::vector<std::uint8_t> readBuffer;
        std::uint32_t bufferSize = 0;
        std::int32_t readPosition = 0;
        int toggle = 0;
        std::int64_t earlierPasses = 0;
        std::int32_t length = 0;
        bool playing = false;
    };
    struct VideoTrack {
        platform::video::AviStream* stream = nullptr;
        platform::video::VideoFormat format;
        std::unique_ptr<platform::video::FrameDecoder> decoder;
        std::vector<std::uint8_t> dib;
        platform::video::PixelLayout layout;
        int targetWidth = 0, targetHeight = 0, pitch = 0, bitsPerPixel = 0;
        std::int32_t endTime = 0;
        std::int32_t length = 0;
        std::int32_t currentTime = 0;
        std::int32_t lastSample = 0;
        bool haveFrame = false;
        // Counts the pictures drawn into dib, so that a picture already copied into a texture is
        // not copied (and uploaded) again when the screen is redrawn faster than the movie runs.
        std::uint64_t picture = 0;
        struct Copy {
            D3DBitmap* texture = nullptr;
            int x = 0, y = 0, width = 0, height = 0;
            std::uint64_t picture = 0;
            bool operator==(const Copy&) const = default;
        } lastCopy;
        std::int32_t lastClock = -1; // -1 not started, -2 finished
        bool started = false;
    };

    std::int32_t Present(int stream, bool absolute, std::int32_t time, D3DBitmap* texture, int x, int y, int width, int height, bool loop);
    std::int32_t CopyToTexture(VideoTrack& video, D3DBitmap* texture, int x, int y, int width, int height);
    std::int32_t FillFromStream(AudioTrack& audio, std::uint32_t bytes, bool loop);
    void ReleaseSound(int stream);
    std::int32_t Result(std::int32_t code) { return lastError = code; }

    std::unique_ptr<platform::video::AviFile> file;
    int audioCount = 0;
    int videoCount = 0;
    AudioTrack audio[MaxStreams];
    VideoTrack video[MaxStreams];
    SoundSystem* soundSystem = nullptr;
    platform::os::Window* window = nullptr;
    platform::audio::Driver* output = nullptr;
    std::int32_t lastError = 0;
};
