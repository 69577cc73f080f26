#pragma once

#include "media/Sound.h"

namespace platform::audio {
class Sample;
}

// A sound without position, played on the sound system's 2D voices.
class Sound2D : public Sound {
public:
    Sound2D();
    ~Sound2D() override;

    int Create(SoundSystem* system, const char* file) override;
    void Destroy() override;

    // Volume -2000.0 / loops -2000 keep the stored values. A play handle, or -1.
    int Play(float volume = KeepVolume, int loops = KeepLoops);
    void Stop(int handle);
    bool IsPlaying(int handle);
    void SetVolume(float volume, int handle);
    void SetLoopCount(int loops, int handle);

    const SoundFileData* GetFileData() const { return fileData; }

    // Fields without setters of their own; callers may change them before a play.
    std::int32_t loopBlockStart = -1;
    std::int32_t loopBlockEnd = -1;
    std::int32_t loopCount = 1;
    float pan = 0.5f;
    std::int32_t playbackRate = 22050;
    float reverbDry = 1.0f;
    float reverbWet = 0.0f;
    float volume = 1.0f;

private:
    platform::audio::Sample* FindPlay(int handle) const;
    const SoundFileData* SharedFileData() const override { return fileData; }
    SoundFileData* fileData = nullptr;
};
