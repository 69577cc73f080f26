#pragma once

#include "media/PooledSound.h"

namespace platform::audio {
class Sample;
}

// A sound without position, played on the sound system's 2D voices.
class Sound2D : public PooledSound {
public:
    Sound2D();
    ~Sound2D() override;

    // Volume -2000.0 / loops -2000 keep the stored values. A play handle, or -1.
    int Play(float volume = KeepVolume, int loops = KeepLoops);
    void SetVolume(float volume, int handle);

    // Fields without setters of their own; callers may change them before a play.
    float pan = 0.5f;
    float reverbDry = 1.0f;
    float reverbWet = 0.0f;

private:
    int VoiceCount() const override;
    platform::audio::Voice* VoiceAt(int index) const override;
    platform::audio::Sample* SampleOf(int handle) const;
};
