#include "media/Sound2D.h"

#include "media/SoundSystem.h"
#include "platform/audio/Voice.h"

Sound2D::Sound2D() : PooledSound(Kind2D, false, "Sound2D") {}

Sound2D::~Sound2D() { Destroy(); }

int Sound2D::VoiceCount() const { return system->Get2DSampleCount(); }

platform::audio::Voice* Sound2D::VoiceAt(int index) const { return system->Get2DSample(index); }

platform::audio::Sample* Sound2D::SampleOf(int handle) const
{
    return static_cast<platform::audio::Sample*>(FindPlay(handle));
}

int Sound2D::Play(float newVolume, int loops)
{
    int index = 0;
    auto* voice = static_cast<platform::audio::Sample*>(FreeVoice(&index));
    if (!voice)
        return -1;
    voice->Init();
    if (!voice->SetClip(fileData->clip.get())) {
        LogError("ERROR: Sound2D::Play - No decoder available for file type");
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
    return StartPlay(voice, index);
}

void Sound2D::SetVolume(float newVolume, int handle)
{
    if (!SoundEnabled())
        return;
    volume = newVolume;
    if (platform::audio::Sample* voice = SampleOf(handle))
        voice->SetVolumePan(volume, pan);
}
