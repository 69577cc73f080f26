#include "platform/audio/Voice.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "platform/audio/Clip.h"
#include "platform/audio/Core.h"

namespace platform::audio {
namespace {
// A finite loop count is played by queueing the clip that many times.
constexpr int MaxQueuedLoops = 4096;
}

Voice::Voice(std::shared_ptr<Core> owner) : core(std::move(owner))
{
    core->MakeCurrent();
    alGetError();
    alGenSources(1, &source);
    if (alGetError() != AL_NO_ERROR) {
        source = 0;
        return;
    }
    core->voices.push_back(this);
}

Voice::~Voice()
{
    if (!source)
        return;
    core->MakeCurrent();
    alSourceStop(source);
    alSourcei(source, AL_BUFFER, 0);
    alDeleteSources(1, &source);
    std::erase(core->voices, this);
    if (pool == Pool::Driver2D)
        --core->sampleVoices;
}

VoiceStatus Voice::Status() const
{
    if (!source)
        return VoiceStatus::Done;
    core->MakeCurrent();
    ALint state = AL_INITIAL;
    alGetSourcei(source, AL_SOURCE_STATE, &state);
    if (state == AL_PLAYING)
        return VoiceStatus::Playing;
    if (state == AL_PAUSED)
        return VoiceStatus::Stopped;
    return VoiceStatus::Done;
}

void Voice::SetClip(const Clip* newClip)
{
    if (!source)
        return;
    core->MakeCurrent();
    alSourceStop(source);
    alSourcei(source, AL_BUFFER, 0);
    clip = newClip;
}

void Voice::Start()
{
    if (!source || !clip)
        return;
    core->MakeCurrent();
    alSourceStop(source);
    alSourcei(source, AL_BUFFER, 0);
    if (loopCount == 0) {
        alSourcei(source, AL_BUFFER, static_cast<ALint>(clip->Buffer()));
        alSourcei(source, AL_LOOPING, AL_TRUE);
    } else {
        alSourcei(source, AL_LOOPING, AL_FALSE);
        const int count = std::min(loopCount, MaxQueuedLoops);
        const ALuint buffer = clip->Buffer();
        for (int i = 0; i < count; ++i)
            alSourceQueueBuffers(source, 1, &buffer);
    }
    SetPlaybackRate(playbackRate);
    ApplyGain();
    alSourcePlay(source);
    pausedByRelease = false;
    if (core->released) {
        // Heard once the output is given back.
        alSourcePause(source);
        pausedByRelease = true;
    }
}

void Voice::Stop()
{
    if (Status() == VoiceStatus::Playing)
        alSourcePause(source);
}

void Voice::Resume()
{
    if (Status() == VoiceStatus::Stopped && !core->released)
        alSourcePlay(source);
}

void Voice::End()
{
    if (!source)
        return;
    core->MakeCurrent();
    alSourceStop(source);
    alSourcei(source, AL_BUFFER, 0);
    pausedByRelease = false;
}

void Voice::SetLoopCount(int loops)
{
    loopCount = std::max(loops, 0);
    if (!source)
        return;
    core->MakeCurrent();
    ALint state = AL_INITIAL;
    alGetSourcei(source, AL_SOURCE_STATE, &state);
    if (state == AL_PLAYING || state == AL_PAUSED)
        alSourcei(source, AL_LOOPING, loopCount == 0 ? AL_TRUE : AL_FALSE);
}

void Voice::SetPlaybackRate(int rate)
{
    playbackRate = std::max(rate, 0);
    if (!source || !clip)
        return;
    core->MakeCurrent();
    const float pitch = playbackRate > 0 ? static_cast<float>(playbackRate) / static_cast<float>(clip->Rate()) : 1.0f;
    alSourcef(source, AL_PITCH, std::clamp(pitch, 1.0f / 16.0f, 16.0f));
}

int Voice::PlaybackRate() const { return playbackRate > 0 ? playbackRate : (clip ? clip->Rate() : 0); }

void Voice::SetVolume(float newVolume)
{
    volume = std::clamp(newVolume, 0.0f, 1.0f);
    ApplyGain();
}

void Voice::ApplyGain()
{
    if (!source)
        return;
    core->MakeCurrent();
    alSourcef(source, AL_GAIN, volume);
}

Sample::Sample(std::shared_ptr<Core> owner) : Voice(std::move(owner))
{
    if (!source)
        return;
    alSourcei(source, AL_SOURCE_RELATIVE, AL_TRUE);
    alSourcef(source, AL_ROLLOFF_FACTOR, 0.0f);
    alSource3f(source, AL_POSITION, 0.0f, 0.0f, -1.0f);
}

Sample::~Sample() = default;

void Sample::Init()
{
    SetClip(nullptr);
    loopCount = 1;
    playbackRate = 0;
    volume = 1.0f;
    pan = 0.5f;
    loopStart = loopEnd = -1;
    reverbDry = 1.0f;
    reverbWet = 0.0f;
}

bool Sample::SetClip(const Clip* newClip)
{
    Voice::SetClip(newClip);
    return newClip != nullptr;
}

void Sample::SetVolumePan(float newVolume, float newPan)
{
    volume = std::clamp(newVolume, 0.0f, 1.0f);
    pan = std::clamp(newPan, 0.0f, 1.0f);
    if (!source)
        return;
    core->MakeCurrent();
    // A mono sound is placed on a half circle in front of the listener.
    const float angle = (pan - 0.5f) * std::numbers::pi_v<float>;
    alSource3f(source, AL_POSITION, std::sin(angle), 0.0f, -std::cos(angle));
    alSourcef(source, AL_GAIN, volume);
}

Sample3D::Sample3D(std::shared_ptr<Core> owner) : Voice(std::move(owner))
{
    if (!source)
        return;
    alSourcei(source, AL_SOURCE_RELATIVE, AL_FALSE);
    alSourcef(source, AL_ROLLOFF_FACTOR, 1.0f);
}

Sample3D::~Sample3D() = default;

bool Sample3D::SetClip(const Clip* newClip)
{
    Voice::SetClip(newClip);
    return newClip != nullptr;
}

// The world is left-handed and OpenAL right-handed: z changes sign on the way in.
void Sample3D::SetPosition(float x, float y, float z)
{
    if (!source) return;
    core->MakeCurrent();
    alSource3f(source, AL_POSITION, x, y, -z);
}

void Sample3D::SetVelocity(float x, float y, float z)
{
    if (!source) return;
    core->MakeCurrent();
    alSource3f(source, AL_VELOCITY, x, y, -z);
}

void Sample3D::SetOrientation(float frontX, float frontY, float frontZ, float, float, float)
{
    if (!source) return;
    core->MakeCurrent();
    alSource3f(source, AL_DIRECTION, frontX, frontY, -frontZ);
}

void Sample3D::SetDistances(float maximum, float minimum)
{
    if (!source) return;
    core->MakeCurrent();
    minimum = std::max(minimum, 0.0f);
    alSourcef(source, AL_REFERENCE_DISTANCE, minimum);
    alSourcef(source, AL_MAX_DISTANCE, std::max(maximum, minimum));
}

void Sample3D::SetCone(float innerAngle, float outerAngle, float outerVolume)
{
    if (!source) return;
    core->MakeCurrent();
    alSourcef(source, AL_CONE_INNER_ANGLE, std::clamp(innerAngle, 0.0f, 360.0f));
    alSourcef(source, AL_CONE_OUTER_ANGLE, std::clamp(outerAngle, 0.0f, 360.0f));
    alSourcef(source, AL_CONE_OUTER_GAIN, std::clamp(outerVolume, 0.0f, 1.0f));
}

}
