#pragma once

#include <cstdint>
#include <memory>

namespace platform::audio {

struct Core;
class Clip;

enum class VoiceStatus { Done = 2, Playing = 4, Stopped = 8 };

// One mixer voice. Stop pauses it ("stopped"), End finishes it ("done").
class Voice {
public:
    virtual ~Voice();
    Voice(const Voice&) = delete;
    Voice& operator=(const Voice&) = delete;

    VoiceStatus Status() const;
    void Start();
    void Stop();
    void Resume();
    void End();

    // Loop count 0 plays endlessly.
    void SetLoopCount(int loops);
    int LoopCount() const { return loopCount; }
    // Plays the clip as if it had this rate (its own rate when 0).
    void SetPlaybackRate(int rate);
    int PlaybackRate() const;
    void SetVolume(float volume);
    float Volume() const { return volume; }

    // Two words kept for the owner.
    std::intptr_t userData[2] = {0, 0};

protected:
    explicit Voice(std::shared_ptr<Core> core);
    void SetClip(const Clip* clip);
    virtual void ApplyGain();

    friend struct Core;
    std::shared_ptr<Core> core;
    unsigned source = 0;
    const Clip* clip = nullptr;
    int loopCount = 1;
    int playbackRate = 0;
    float volume = 1.0f;
    bool pausedByRelease = false;
    enum class Pool { None, Driver2D, Provider3D } pool = Pool::None;
    friend class Driver;
    friend class Provider;
};

// A voice without position; pan places a mono sound between the speakers.
class Sample : public Voice {
public:
    explicit Sample(std::shared_ptr<Core> core);
    ~Sample() override;

    // Back to defaults, no clip.
    void Init();
    // False when there is no clip (no decoder took the file).
    bool SetClip(const Clip* clip);
    void SetVolumePan(float volume, float pan);
    float Pan() const { return pan; }
    // Kept for the caller; the mixer loops whole clips.
    void SetLoopBlock(int start, int end) { loopStart = start; loopEnd = end; }
    void SetReverbLevels(float dry, float wet) { reverbDry = dry; reverbWet = wet; }

private:
    float pan = 0.5f;
    int loopStart = -1, loopEnd = -1;
    float reverbDry = 1.0f, reverbWet = 0.0f;
};

// A voice at a place in the world, heard from the listener. World coordinates are left-handed
// (x right, y up, z forward).
class Sample3D : public Voice {
public:
    explicit Sample3D(std::shared_ptr<Core> core);
    ~Sample3D() override;

    bool SetClip(const Clip* clip);
    void SetPosition(float x, float y, float z);
    void SetVelocity(float x, float y, float z);
    void SetOrientation(float frontX, float frontY, float frontZ, float upX, float upY, float upZ);
    void SetDistances(float maximum, float minimum);
    void SetCone(float innerAngle, float outerAngle, float outerVolume);
    void SetLoopBlock(int start, int end) { loopStart = start; loopEnd = end; }
    // Kept for the caller; the mixer has no environment model.
    void SetEffectsLevel(float level) { effectsLevel = level; }
    void SetExclusion(float value) { exclusion = value; }
    void SetObstruction(float value) { obstruction = value; }
    void SetOcclusion(float value) { occlusion = value; }

private:
    int loopStart = -1, loopEnd = -1;
    float effectsLevel = 0.0f, exclusion = 0.0f, obstruction = 0.0f, occlusion = 0.0f;
};

}
