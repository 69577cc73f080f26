#include "platform/audio/Driver.h"

#include <algorithm>

#include "platform/audio/AudioFiles.h"
#include "platform/audio/Clip.h"
#include "platform/audio/Core.h"
#include "platform/audio/Voice.h"

namespace platform::audio {
namespace {
Driver::Output nextOutput = Driver::Output::Device;
int voiceLimit = 0;
}

Core::~Core()
{
    if (alcGetCurrentContext() == context)
        alcMakeContextCurrent(nullptr);
    if (context)
        alcDestroyContext(context);
    if (device)
        alcCloseDevice(device);
}

void Core::MakeCurrent() const
{
    if (alcGetCurrentContext() != context)
        alcMakeContextCurrent(context);
}

void Core::DetachClip(const Clip* clip)
{
    MakeCurrent();
    for (Voice* voice : voices) {
        if (voice->clip == clip) {
            alSourceStop(voice->source);
            alSourcei(voice->source, AL_BUFFER, 0);
            voice->clip = nullptr;
        }
    }
}

void Driver::SetOutput(Output output) { nextOutput = output; }
void Driver::SetVoiceLimit(int limit) { voiceLimit = limit; }

Driver::Driver(std::shared_ptr<Core> core) : core(std::move(core)) {}

Driver::~Driver() = default;

std::unique_ptr<Driver> Driver::Open(int rate, int bits, int channels)
{
    if (bits != 16 || channels != 2 || rate < 8000 || rate > 192000) {
        SetLastError("Unsupported output format.");
        return nullptr;
    }
    auto core = std::make_shared<Core>();
    core->rate = rate;
    core->loopback = nextOutput == Output::Loopback;
    if (core->loopback) {
        core->device = alcLoopbackOpenDeviceSOFT(nullptr);
        const ALCint attributes[] = {ALC_FORMAT_CHANNELS_SOFT, ALC_STEREO_SOFT, ALC_FORMAT_TYPE_SOFT, ALC_SHORT_SOFT,
                                     ALC_FREQUENCY, rate, ALC_HRTF_SOFT, ALC_FALSE, 0};
        if (core->device)
            core->context = alcCreateContext(core->device, attributes);
    } else {
        core->device = alcOpenDevice(nullptr);
        const ALCint attributes[] = {ALC_FREQUENCY, rate, ALC_HRTF_SOFT, ALC_FALSE, 0};
        if (core->device)
            core->context = alcCreateContext(core->device, attributes);
    }
    if (!core->device || !core->context) {
        SetLastError(core->device ? "Unable to create a mixing context." : "No sound output device could be opened.");
        return nullptr;
    }
    core->MakeCurrent();
    alDistanceModel(AL_INVERSE_DISTANCE_CLAMPED);
    alListenerf(AL_GAIN, 1.0f);
    return std::unique_ptr<Driver>(new Driver(std::move(core)));
}

int Driver::Rate() const { return core->rate; }

std::string Driver::Configuration() const
{
    const ALCchar* name = alcGetString(core->device, ALC_ALL_DEVICES_SPECIFIER);
    if (!name || !*name)
        name = alcGetString(core->device, ALC_DEVICE_SPECIFIER);
    std::string text = core->loopback ? "OpenAL Soft loopback" : "OpenAL Soft";
    if (name && *name && !core->loopback)
        text += std::string(" on ") + name;
    text += ", " + std::to_string(core->rate) + " Hz, 16 bit, stereo";
    return text;
}

std::string Driver::Version() const
{
    core->MakeCurrent();
    const ALchar* version = alGetString(AL_VERSION);
    const ALchar* renderer = alGetString(AL_RENDERER);
    return std::string(renderer ? renderer : "OpenAL") + " " + (version ? version : "");
}

float Driver::MasterVolume() const { return core->masterVolume; }

void Driver::SetMasterVolume(float volume)
{
    core->masterVolume = std::clamp(volume, 0.0f, 1.0f);
    core->MakeCurrent();
    alListenerf(AL_GAIN, core->masterVolume);
}

std::unique_ptr<Sample> Driver::AllocateSample()
{
    if (voiceLimit > 0 && core->sampleVoices >= voiceLimit)
        return nullptr;
    auto sample = std::make_unique<Sample>(core);
    if (!sample->source)
        return nullptr;
    sample->pool = Voice::Pool::Driver2D;
    ++core->sampleVoices;
    return sample;
}

int Driver::ActiveSampleCount() const
{
    int count = 0;
    for (const Voice* voice : core->voices)
        if (voice->pool == Voice::Pool::Driver2D && voice->Status() == VoiceStatus::Playing)
            ++count;
    return count;
}

bool Driver::Release()
{
    if (core->released)
        return true;
    core->MakeCurrent();
    for (Voice* voice : core->voices) {
        if (voice->Status() == VoiceStatus::Playing) {
            alSourcePause(voice->source);
            voice->pausedByRelease = true;
        }
    }
    core->released = true;
    return true;
}

bool Driver::Reacquire()
{
    core->MakeCurrent();
    for (Voice* voice : core->voices) {
        if (voice->pausedByRelease && voice->Status() == VoiceStatus::Stopped)
            alSourcePlay(voice->source);
        voice->pausedByRelease = false;
    }
    core->released = false;
    return true;
}

bool Driver::IsReleased() const { return core->released; }

void Driver::Render(std::int16_t* out, int frames)
{
    if (!core->loopback) {
        std::fill(out, out + 2 * frames, std::int16_t(0));
        return;
    }
    core->MakeCurrent();
    alcRenderSamplesSOFT(core->device, out, frames);
}

}
