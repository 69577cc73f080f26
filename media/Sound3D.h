#pragma once

#include "engine/core/Vector.h"
#include "media/PooledSound.h"

namespace platform::audio {
class Sample3D;
}

// A positional sound, played on the voices of the open 3D provider.
class Sound3D : public PooledSound {
public:
    Sound3D();
    ~Sound3D() override;

    // Volume -2000.0 / loops -2000 keep the stored values. A play handle, or -1.
    int Play(float volume = KeepVolume, int loops = KeepLoops);
    // Paused by SoundSystem::PauseAll.
    bool IsStopped(int handle);
    void SetPosition(float x, float y, float z, int handle);
    void SetDistances(float maximum, float minimum, int handle);
    void SetVolume(float volume, int handle);
    void SetPlaybackRate(int rate, int handle);

    // Fields without setters of their own; callers may change them before a play.
    float coneInnerAngle = 360.0f;
    float coneOuterAngle = 360.0f;
    float coneOuterVolume = 1.0f;
    float maximumDistance = 200.0f;
    float minimumDistance = 1.0f;
    float effectsLevel = 0.0f;
    float exclusion = 0.0f;
    float obstruction = 0.0f;
    float occlusion = 0.0f;
    Vector3 front{0.0f, 0.0f, 1.0f};
    Vector3 up{0.0f, 1.0f, 0.0f};
    Vector3 position{0.0f, 0.0f, 0.0f};
    Vector3 velocity{0.0f, 0.0f, 0.0f};

private:
    int VoiceCount() const override;
    platform::audio::Voice* VoiceAt(int index) const override;
    platform::audio::Sample3D* SampleOf(int handle) const;
};
