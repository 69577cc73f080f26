#pragma once

#include <cstdarg>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace platform::audio {
class Clip;
}

class SoundSystem;

// One loaded sound file, shared by every object of one kind that loaded the same name.
// The image is decoded once, at load; a file no decoder takes has no clip and fails to play.
struct SoundFileData {
    SoundFileData();
    ~SoundFileData();

    std::string name;
    std::vector<std::uint8_t> data;
    std::int32_t size = 0;
    std::int32_t referenceCount = 0;
    std::unique_ptr<platform::audio::Clip> clip;
    std::string decodeError;
};

// Base of the sound objects: the kind, the last error text and the one sound system they use.
class Sound {
public:
    enum Kind { Kind2D = 0, Kind3D = 1, KindStream = 2 };
    static constexpr int ErrorTextSize = 2048;
    static constexpr float KeepVolume = -2000.0f;
    static constexpr int KeepLoops = -2000;
    // Handle argument of the setters that changes only the stored value.
    static constexpr int NoPlay = -1000;

    virtual int Create(SoundSystem* system, const char* file) = 0;
    virtual void Destroy() = 0;
    virtual ~Sound() = default;

    int GetKind() const { return kind; }
    // Empty until the first error.
    const char* GetErrorText() const { return errorText.c_str(); }

protected:
    explicit Sound(int kind) : kind(kind) {}
    Sound(const Sound&) = delete;
    Sound& operator=(const Sound&) = delete;

    void LogError(const char* format, ...) __attribute__((format(printf, 2, 3)));
    static bool SoundEnabled();
    // The file data of an object of this kind that loaded the same name, shared; else a new one
    // read through the sound system's file callbacks. Null (error logged) when the file cannot
    // be read; who names the caller in the message.
    SoundFileData* AcquireFileData(const char* file, bool mono, const char* who);
    // Drops one reference and frees the data with the last.
    static void ReleaseFileData(SoundFileData*& data);
    void AddToSoundList();
    void RemoveFromSoundList();
    virtual const SoundFileData* SharedFileData() const { return nullptr; }

    // The voice a play handle names, or null when the handle is stale or was never valid.
    template <typename VoiceAt>
    static auto FindVoice(int handle, int count, VoiceAt voiceAt) -> decltype(voiceAt(0))
    {
        if (count <= 0 || handle < count)
            return nullptr;
        auto voice = voiceAt(handle % count);
        return voice->userData[0] == handle ? voice : nullptr;
    }
    // The next handle of a voice: its counter plus the pool size, restarting from the voice's
    // index before it would leave the positive int32 range (so a handle is never -1 or -1000).
    static int NextHandle(std::intptr_t counter, int index, int count);

    friend class SoundSystem;
    static SoundSystem* system;

    int kind;
    std::string errorText;
};
