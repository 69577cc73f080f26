#include "media/Sound3D.h"

#include "media/SoundSystem.h"
#include "platform/audio/AudioFiles.h"
#include "platform/audio/Voice.h"

Sound3D::Sound3D() : PooledSound(Kind3D, true, "Sound3D") {}

Sound3D::~Sound3D() { Destroy(); }

int Sound3D::VoiceCount() const { return system->Get3DSampleCount(); }

platform::audio::Voice* Sound3D::VoiceAt(int index) const { return system->Get3DSample(index); }

platform::audio::Sample3D* Sound3D::SampleOf(int handle) const
{
    return static_cast<platform::audio::Sample3D*>(FindPlay(handle));
}

int Sound3D::Play(float newVolume, int loops)
{
    int index = 0;
    auto* voice = static_cast<platform::audio::Sample3D*>(FreeVoice(&index));
    if (!voice)
        return -1;
    if (!voice->SetClip(fileData->clip.get())) {
        LogError("ERROR: Sound3D::Play - %s", fileData->decodeError.c_str());
        return -1;
    }
    if (newVolume != KeepVolume)
        volume = newVolume;
    if (loops != KeepLoops)
        loopCount = loops;
    voice->SetVolume(volume);
    voice->SetLoopCount(loopCount);
    if (loopBlockStart != -1)
        voice->SetLoopBlock(loopBlockStart, loopBlockEnd);
    voice->SetCone(coneInnerAngle, coneOuterAngle, coneOuterVolume);
    voice->SetDistances(maximumDistance, minimumDistance);
    voice->SetEffectsLevel(effectsLevel);
    voice->SetExclusion(exclusion);
    voice->SetObstruction(obstruction);
    voice->SetOcclusion(occlusion);
    voice->SetOrientation(front.x, front.y, front.z, up.x, up.y, up.z);
    voice->SetPlaybackRate(playbackRate);
    voice->SetPosition(position.x, position.y, position.z);
    voice->SetVelocity(velocity.x, velocity.y, velocity.z);
    return StartPlay(voice, index);
}

bool Sound3D::IsStopped(int handle)
{
    if (!SoundEnabled())
        return false;
    platform::audio::Sample3D* voice = SampleOf(handle);
    return voice && voice->Status() == platform::audio::VoiceStatus::Stopped;
}

void Sound3D::SetPosition(float x, float y, float z, int handle)
{
    if (!SoundEnabled())
        return;
    position = {x, y, z};
    if (platform::audio::Sample3D* voice = SampleOf(handle))
        voice->SetPosition(x, y, z);
}

void Sound3D::SetDistances(float maximum, float minimum, int handle)
{
    if (!SoundEnabled())
        return;
    maximumDistance = maximum;
    minimumDistance = minimum;
    if (platform::audio::Sample3D* voice = SampleOf(handle))
        voice->SetDistances(maximum, minimum);
}

void Sound3D::SetVolume(float newVolume, int handle)
{
    if (!SoundEnabled())
        return;
    volume = newVolume;
    if (platform::audio::Sample3D* voice = SampleOf(handle))
        voice->SetVolume(newVolume);
}

void Sound3D::SetPlaybackRate(int rate, int handle)
{
    if (!SoundEnabled())
        return;
    playbackRate = rate;
    if (platform::audio::Sample3D* voice = SampleOf(handle))
        voice->SetPlaybackRate(rate);
}
