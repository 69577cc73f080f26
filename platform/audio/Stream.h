#pragma once

#include <memory>

#include "platform/audio/Voice.h"

namespace platform::audio {

class Clip;
class Driver;

// Music and long voice files. The file is read through the file callbacks and decoded at open.
class Stream {
public:
    // Null with LastError set when the file cannot be read or decoded.
    static std::unique_ptr<Stream> Open(Driver& driver, const char* name);
    ~Stream();

    void Start();
    // True pauses, false resumes.
    void Pause(bool pause);
    VoiceStatus Status() const;
    void SetLoopCount(int loops);
    void SetPlaybackRate(int rate);
    void VolumePan(float& volume, float& pan) const;
    void SetVolumePan(float volume, float pan);

private:
    Stream() = default;
    std::unique_ptr<Clip> clip;
    std::unique_ptr<class Sample> voice;
};

}
