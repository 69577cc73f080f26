#include "platform/audio/Clip.h"

#include "platform/audio/AudioFiles.h"
#include "platform/audio/Core.h"
#include "platform/audio/Driver.h"
#include "platform/audio/Wave.h"

namespace platform::audio {

std::unique_ptr<Clip> Clip::Decode(const Driver& driver, const std::uint8_t* data, std::size_t size, bool mono)
{
    Pcm pcm;
    std::string error;
    if (!DecodeWave(data, size, pcm, error)) {
        SetLastError(error);
        return nullptr;
    }
    if (mono)
        pcm = DownmixToMono(pcm);
    return FromSamples(driver, pcm.samples.data(), pcm.FrameCount(), pcm.channels, pcm.rate);
}

std::unique_ptr<Clip> Clip::FromSamples(const Driver& driver, const std::int16_t* samples, std::size_t frames, int channels, int rate)
{
    if (channels < 1 || channels > 2 || rate <= 0 || frames == 0) {
        SetLastError("Invalid sound data.");
        return nullptr;
    }
    std::unique_ptr<Clip> clip(new Clip());
    clip->core = driver.GetCore();
    clip->core->MakeCurrent();
    alGetError();
    alGenBuffers(1, &clip->buffer);
    alBufferData(clip->buffer, channels == 2 ? AL_FORMAT_STEREO16 : AL_FORMAT_MONO16, samples,
                 static_cast<ALsizei>(frames * static_cast<std::size_t>(channels) * 2), rate);
    if (alGetError() != AL_NO_ERROR) {
        SetLastError("The mixer refused the sound data.");
        return nullptr;
    }
    clip->rate = rate;
    clip->channels = channels;
    clip->frames = frames;
    return clip;
}

Clip::~Clip()
{
    if (!core)
        return;
    core->DetachClip(this);
    if (buffer)
        alDeleteBuffers(1, &buffer);
}

}
