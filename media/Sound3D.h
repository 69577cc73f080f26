#pragma once

#include "engine/core/Vector.h"
#include "media/Sound.h"

namespace platform::audio {
class Sample3D;
}

// A positional sound, played on the voices of the open 3D provider.
class Sound3D : public Sound {
public:
    Sound3D();
    ~Sound3D() override;

    int Create(SoundSystem* system, const char* file) override;
    void Destroy() override;

    // Volume -2000.0 / loops -2000 keep the stored values. A play handle, or -1.
    int Play(float volume = KeepVolume, int loops = KeepLoops);
    void Stop(int handle);
    bool IsPlaying(int handle);
    // Paused by SoundSystem::PauseAll.
    bool IsStopped(int handle);
    void SetPosition(float x, float y, float z, int handle);
    void SetDistances(float maximum, float minimum, int handle);
    void SetVolume(float volume, int handle);
    void SetLoopCount(int loops, int handle);
    void SetPlaybackRate(int rate, int handle);

    const SoundFileData* GetFileData() const { return fileData; }

    // Fields without setters of their own; callers may change them before a play.
    float coneInnerAngle = 360.0f;
    float coneOuterAngle = 360.0f;
    float coneOuterVolume = 1.0f;
    float maximumDistance = 200.0f;
    float minimumDistance = 1.0f;
    float effectsLevel = 0.0f;
    float exclusion = 0.0f;
    std::int32_t loopBlockStart = -1;
    std::int32_t loopBlockEnd = -1;
    std::int32_t loopCount = 1;
    float obstruction = 0.0f;
    float occlusion = 0.0f;
    Vector3 front{0.0f, 0.0f, 1.0f};
    Vector3 up{0.0f, 1.0f, 0.0f};
    std::int32_t playbackRate = 22050;
    Vector3 position{0.0f, 0.0f, 0.0f};
    Vector3 velocity{0.0f, 0.0f, 0.0f};
    float volume = 1.0f;

private:
    platform::audio::Sample3D* FindPlay(int handle) const;
    const SoundFileData* SharedFileData() const override { return fileData; }
    SoundFileData* fileData = nullptr;
};
