#pragma once

#include "media/Sound.h"

#include <cstdint>

namespace platform::audio {
class Voice;
}

// The half that Sound2D and Sound3D share: a file played on one of the sound system's pooled
// voices, a play handle naming the voice it started, and the settings every play takes.
class PooledSound : public Sound {
public:
    int Create(SoundSystem* system, const char* file) override;
    void Destroy() override;

    void Stop(int handle);
    bool IsPlaying(int handle);
    void SetLoopCount(int loops, int handle);

    const SoundFileData* GetFileData() const { return fileData; }

    // Fields without setters of their own; callers may change them before a play.
    std::int32_t loopBlockStart = -1;
    std::int32_t loopBlockEnd = -1;
    std::int32_t loopCount = 1;
    std::int32_t playbackRate = 22050;
    float volume = 1.0f;

protected:
    // mono: decode for positional voices. className names the class in error messages.
    PooledSound(int kind, bool mono, const char* className);

    // The pool this kind plays on.
    virtual int VoiceCount() const = 0;
    virtual platform::audio::Voice* VoiceAt(int index) const = 0;

    // A voice that has finished, with its index; null when every voice is busy or there is
    // nothing to play.
    platform::audio::Voice* FreeVoice(int* index) const;
    // Numbers the play, marks the voice as this sound's and starts it; returns the handle.
    int StartPlay(platform::audio::Voice* voice, int index);
    // The voice a play handle names, or null.
    platform::audio::Voice* FindPlay(int handle) const;

    SoundFileData* fileData = nullptr;

private:
    const SoundFileData* SharedFileData() const override { return fileData; }

    bool mono;
    const char* className;
};
