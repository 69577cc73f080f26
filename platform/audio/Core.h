#pragma once

// Internal to the audio layer: the OpenAL state that voices, clips and the driver share.
#define AL_ALEXT_PROTOTYPES
#include <AL/al.h>
#include <AL/alc.h>
#include <AL/alext.h>

#include <vector>

namespace platform::audio {

class Voice;
class Clip;

struct Core {
    ALCdevice* device = nullptr;
    ALCcontext* context = nullptr;
    bool loopback = false;
    int rate = 22050;
    float masterVolume = 1.0f;
    bool released = false;
    int sampleVoices = 0;
    std::vector<Voice*> voices;

    ~Core();
    // Every call into OpenAL goes to this driver's context.
    void MakeCurrent() const;
    void DetachClip(const Clip* clip);
};

}
