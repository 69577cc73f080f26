#include "media/SoundStream.h"

#include "media/SoundSystem.h"
#include "platform/audio/AudioFiles.h"
#include "platform/audio/Stream.h"

SoundStream::SoundStream() : Sound(KindStream) {}

SoundStream::~SoundStream() { Destroy(); }

int SoundStream::Create(SoundSystem* soundSystem, const char* file)
{
    system = soundSystem;
    if (!SoundEnabled())
        return 0;
    Destroy();
    fileName = file ? file : "";
    stream = file ? platform::audio::Stream::Open(*system->GetDriver(), file) : nullptr;
    if (!stream) {
        LogError("ERROR: SoundStream::Create - %s (%s)", file ? platform::audio::LastError() : "No file name.", fileName.c_str());
        return -1;
    }
    AddToSoundList();
    return 0;
}

void SoundStream::Destroy()
{
    RemoveFromSoundList();
    stream.reset();
    fileName.clear();
    errorText.clear();
}

void SoundStream::SetLoopCount(int loops)
{
    if (SoundEnabled() && stream)
        stream->SetLoopCount(loops);
}

void SoundStream::SetPlaybackRate(int rate)
{
    if (SoundEnabled() && stream)
        stream->SetPlaybackRate(rate);
}

void SoundStream::SetVolume(float volume)
{
    if (!SoundEnabled() || !stream)
        return;
    float current = 0.0f, pan = 0.5f;
    stream->VolumePan(current, pan);
    stream->SetVolumePan(volume, pan);
}

void SoundStream::Play()
{
    if (SoundEnabled() && stream)
        stream->Start();
}

void SoundStream::Pause()
{
    if (SoundEnabled() && stream)
        stream->Pause(true);
}

void SoundStream::Resume()
{
    if (SoundEnabled() && stream)
        stream->Pause(false);
}

bool SoundStream::IsPaused() const
{
    return stream && stream->Status() == platform::audio::VoiceStatus::Stopped;
}
