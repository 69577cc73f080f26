#include "media/Sound3D.h"

#include "media/SoundSystem.h"
#include "platform/audio/AudioFiles.h"
#include "platform/audio/Voice.h"

platform::audio::Sample3D* Sound3D::FindPlay(int handle) const
{
    return FindVoice(handle, system->Get3DSampleCount(), [](int i) { return system->Get3DSample(i); });
}

Sound3D::Sound3D() : Sound(Kind3D) {}

Sound3D::~Sound3D() { Destroy(); }

int Sound3D::Create(SoundSystem* soundSystem, const char* file)
{
    system = soundSystem;
    if (!SoundEnabled())
        return 0;
    Destroy();
    playbackRate = system->GetOutputRate();
    // Positional voices are mono.
    fileData = AcquireFileData(file, true, "Sound3D");
    if (!fileData)
        return -1;
    AddToSoundList();
    return 0;
}

void Sound3D::Destroy()
{
    if (system) {
        RemoveFromSoundList();
        if (system->IsEnabled()) {
            for (int i = 0; i < system->Get3DSampleCount(); ++i) {
                platform::audio::Sample3D* voice = system->Get3DSample(i);
                if (voice->userData[1] == reinterpret_cast<std::intptr_t>(this))
                    voice->End();
            }
        }
    }
    ReleaseFileData(fileData);
    errorText.clear();
}

int Sound3D::Play(float newVolume, int loops)
{
    if (!SoundEnabled() || !fileData)
        return -1;
    const int count = system->Get3DSampleCount();
    int index = 0;
    while (index < count && system->Get3DSample(index)->Status() != platform::audio::VoiceStatus::Done)
        ++index;
    if (index == count)
        return -1;
    platform::audio::Sample3D* voice = system->Get3DSample(index);
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
    const int handle = NextHandle(voice->userData[0], index, count);
    voice->userData[0] = handle;
    voice->userData[1] = reinterpret_cast<std::intptr_t>(this);
    voice->Start();
    return handle;
}

void Sound3D::Stop(int handle)
{
    if (!SoundEnabled())
        return;
    if (platform::audio::Sample3D* voice = FindPlay(handle))
        voice->End();
}

bool Sound3D::IsPlaying(int handle)
{
    if (!SoundEnabled())
        return false;
    platform::audio::Sample3D* voice = FindPlay(handle);
    return voice && voice->Status() == platform::audio::VoiceStatus::Playing;
}

bool Sound3D::IsStopped(int handle)
{
    if (!SoundEnabled())
        return false;
    platform::audio::Sample3D* voice = FindPlay(handle);
    return voice && voice->Status() == platform::audio::VoiceStatus::Stopped;
}

void Sound3D::SetPosition(float x, float y, float z, int handle)
{
    if (!SoundEnabled())
        return;
    position = {x, y, z};
    if (platform::audio::Sample3D* voice = FindPlay(handle))
        voice->SetPosition(x, y, z);
}

void Sound3D::SetDistances(float maximum, float minimum, int handle)
{
    if (!SoundEnabled())
        return;
    maximumDistance = maximum;
    minimumDistance = minimum;
    if (platform::audio::Sample3D* voice = FindPlay(handle))
        voice->SetDistances(maximum, minimum);
}

void Sound3D::SetVolume(float newVolume, int handle)
{
    if (!SoundEnabled())
        return;
    volume = newVolume;
    if (platform::audio::Sample3D* voice = FindPlay(handle))
        voice->SetVolume(newVolume);
}

void Sound3D::SetLoopCount(int loops, int handle)
{
    if (!SoundEnabled())
        return;
    loopCount = loops;
    if (platform::audio::Sample3D* voice = FindPlay(handle))
        voice->SetLoopCount(loops);
}

void Sound3D::SetPlaybackRate(int rate, int handle)
{
    if (!SoundEnabled())
        return;
    playbackRate = rate;
    if (platform::audio::Sample3D* voice = FindPlay(handle))
        voice->SetPlaybackRate(rate);
}
