#include "media/PooledSound.h"

#include "media/SoundSystem.h"
#include "platform/audio/Voice.h"

PooledSound::PooledSound(int kind, bool mono, const char* className) : Sound(kind), mono(mono), className(className) {}

int PooledSound::Create(SoundSystem* soundSystem, const char* file)
{
    system = soundSystem;
    if (!SoundEnabled())
        return 0;
    Destroy();
    playbackRate = system->GetOutputRate();
    fileData = AcquireFileData(file, mono, className);
    if (!fileData)
        return -1;
    AddToSoundList();
    return 0;
}

void PooledSound::Destroy()
{
    if (system) {
        RemoveFromSoundList();
        if (system->IsEnabled()) {
            for (int i = 0; i < VoiceCount(); ++i) {
                platform::audio::Voice* voice = VoiceAt(i);
                if (voice->userData[1] == reinterpret_cast<std::intptr_t>(this))
                    voice->End();
            }
        }
    }
    ReleaseFileData(fileData);
    errorText.clear();
}

platform::audio::Voice* PooledSound::FreeVoice(int* index) const
{
    if (!SoundEnabled() || !fileData)
        return nullptr;
    const int count = VoiceCount();
    for (int i = 0; i < count; ++i) {
        platform::audio::Voice* voice = VoiceAt(i);
        if (voice->Status() == platform::audio::VoiceStatus::Done) {
            *index = i;
            return voice;
        }
    }
    return nullptr;
}

int PooledSound::StartPlay(platform::audio::Voice* voice, int index)
{
    const int handle = NextHandle(voice->userData[0], index, VoiceCount());
    voice->userData[0] = handle;
    voice->userData[1] = reinterpret_cast<std::intptr_t>(this);
    voice->Start();
    return handle;
}

platform::audio::Voice* PooledSound::FindPlay(int handle) const
{
    return FindVoice(handle, VoiceCount(), [this](int i) { return VoiceAt(i); });
}

void PooledSound::Stop(int handle)
{
    if (!SoundEnabled())
        return;
    if (platform::audio::Voice* voice = FindPlay(handle))
        voice->End();
}

bool PooledSound::IsPlaying(int handle)
{
    if (!SoundEnabled())
        return false;
    platform::audio::Voice* voice = FindPlay(handle);
    return voice && voice->Status() == platform::audio::VoiceStatus::Playing;
}

void PooledSound::SetLoopCount(int loops, int handle)
{
    if (!SoundEnabled())
        return;
    loopCount = loops;
    if (platform::audio::Voice* voice = FindPlay(handle))
        voice->SetLoopCount(loops);
}
