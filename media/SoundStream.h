#pragma once

#include <memory>

#include "media/Sound.h"

namespace platform::audio {
class Stream;
}

// Music and long voice files, played from the file.
class SoundStream : public Sound {
public:
    SoundStream();
    ~SoundStream() override;

    int Create(SoundSystem* system, const char* file) override;
    void Destroy() override;

    void SetLoopCount(int loops);
    void SetPlaybackRate(int rate);
    void SetVolume(float volume);
    void Play();
    void Pause();
    void Resume();

    // The name given to Create; empty before it.
    const char* GetFileName() const { return fileName.c_str(); }
    bool IsPaused() const;

private:
    std::string fileName;
    std::unique_ptr<platform::audio::Stream> stream;
};
