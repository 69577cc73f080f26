#include "media/Sound2D.h"

#include "media/SoundSystem.h"
#include "platform/audio/Voice.h"

platform::audio::Sample* Sound2D::FindPlay(int handle) const
{
    return FindVoice(handle, system->Get2DSampleCount(), [](int i) { return system->Get2DSample(i); });
}

Sound2D::Sound2D() : Sound(Kind2D) {}

Sound2D::~Sound2D() { Destroy(); }

int Sound2D::Create(SoundSystem* soundSystem, const char* file)
{
    system = soundSystem;
    if (!SoundEnabled())
        return 0;
    Destroy();
    playbackRate = system->GetOutputRate();
    fileData = AcquireFileData(file, false, "Sound2D");
    if (!fileData)
        return -1;
    AddToSoundList();
    return 0;
}

void Sound2D::Destroy()
{
    if (system) {
        RemoveFromSoundList();
        if (system->IsEnabled()) {
            for (int i = 0; i < system->Get2DSampleCount(); ++i) {
                platform::audio::Sample* voice = system->Get2DSample(i);
                if (voice->userData[1] == reinterpret_cast<std::intptr_t>(this))
                    voice->End();
            }
        }
    }
    ReleaseFileData(fileData);
    errorText.clear();
}

int Sound2D::Play(float newVolume, int loops)
{
    if (!SoundEnabled() || !fileData)
        return -1;
    const int count = system->Get2DSampleCount();
    int index = 0;
    while (index < count && system->Get2DSample(index)->Status() != platform::audio::VoiceStatus::Done)
        ++index;
    if (index == count)
        return -1;
    platform::audio::Sample* voice = system->Get2DSample(index);
    voice->Init();
    if (!voice->SetClip(fileData->clip.get())) {
        LogError("ERROR: Sound2D::Play - No ASI provider available for file type");
        return -1;
    }
    if (newVolume != KeepVolume)
        volume = newVolume;
    voice->SetVolumePan(volume, pan);
    if (loops != KeepLoops)
        loopCount = loops;
    voice->SetLoopCount(loopCount);
    voice->SetPlaybackRate(playbackRate);
    voice->SetReverbLevels(reverbDry, reverbWet);
    if (loopBlockStart != -1)
        voice->SetLoopBlock(loopBlockStart, loopBlockEnd);
    const int handle = NextHandle(voice->userData[0], index, count);
    voice->userData[0] = handle;
    voice->userData[1] = reinterpret_cast<std::intptr_t>(this);
    voice->Start();
    return handle;
}

void Sound2D::Stop(int handle)
{
    if (!SoundEnabled())
        return;
    if (platform::audio::Sample* voice = FindPlay(handle))
        voice->End();
}

bool Sound2D::IsPlaying(int handle)
{
    if (!SoundEnabled())
        return false;
    platform::audio::Sample* voice = FindPlay(handle);
    return voice && voice->Status() == platform::audio::VoiceStatus::Playing;
}

void Sound2D::SetVolume(float newVolume, int handle)
{
    if (!SoundEnabled())
        return;
    volume = newVolume;
    if (platform::audio::Sample* voice = FindPlay(handle))
        voice->SetVolumePan(volume, pan);
}

void Sound2D::SetLoopCount(int loops, int handle)
{
    if (!SoundEnabled())
        return;
    loopCount = loops;
    if (platform::audio::Sample* voice = FindPlay(handle))
        voice->SetLoopCount(loops);
}
