#include "platform/audio/Provider.h"

#include <cstring>

#include "platform/audio/Core.h"
#include "platform/audio/Driver.h"
#include "platform/audio/Voice.h"

namespace platform::audio {
namespace {
std::vector<ProviderInfo> installed;

std::vector<ProviderInfo> BuiltIn()
{
    // Both place sounds through OpenAL; "Fast 2D" shares its voices with the 2D pool.
    return {{"OpenAL 3D Positional Audio", 64}, {"Fast 2D Positional Audio", 64}};
}
}

Listener::Listener(std::shared_ptr<Core> owner) : core(std::move(owner)) {}

void Listener::SetPosition(float x, float y, float z)
{
    core->MakeCurrent();
    alListener3f(AL_POSITION, x, y, -z);
}

void Listener::SetOrientation(float frontX, float frontY, float frontZ, float upX, float upY, float upZ)
{
    core->MakeCurrent();
    const ALfloat values[6] = {frontX, frontY, -frontZ, upX, upY, -upZ};
    alListenerfv(AL_ORIENTATION, values);
}

std::vector<std::unique_ptr<Provider>> Provider::Enumerate()
{
    std::vector<std::unique_ptr<Provider>> list;
    for (const ProviderInfo& info : installed.empty() ? BuiltIn() : installed)
        list.push_back(std::make_unique<Provider>(info));
    return list;
}

void Provider::SetInstalled(std::vector<ProviderInfo> providers) { installed = std::move(providers); }

Provider::Provider(ProviderInfo info) : info(std::move(info)) {}

Provider::~Provider() = default;

bool Provider::Attribute(const char* name, void* out) const
{
    if (!name || !out)
        return false;
    if (std::strcmp(name, "Name") == 0) {
        *static_cast<const char**>(out) = info.name.c_str();
        return true;
    }
    if (std::strcmp(name, "Maximum supported samples") == 0) {
        *static_cast<int*>(out) = info.maximumSamples;
        return true;
    }
    return false;
}

bool Provider::Open(Driver& driver)
{
    core = driver.GetCore();
    core->MakeCurrent();
    alListener3f(AL_POSITION, 0.0f, 0.0f, 0.0f);
    const ALfloat orientation[6] = {0.0f, 0.0f, -1.0f, 0.0f, 1.0f, 0.0f};
    alListenerfv(AL_ORIENTATION, orientation);
    return true;
}

void Provider::Close() { core.reset(); }

std::unique_ptr<Listener> Provider::OpenListener()
{
    if (!core)
        return nullptr;
    return std::make_unique<Listener>(core);
}

std::unique_ptr<Sample3D> Provider::AllocateSample()
{
    if (!core)
        return nullptr;
    int live = 0;
    for (const Voice* voice : core->voices)
        if (voice->pool == Voice::Pool::Provider3D)
            ++live;
    if (live >= info.maximumSamples)
        return nullptr;
    auto sample = std::make_unique<Sample3D>(core);
    if (!sample->source)
        return nullptr;
    sample->pool = Voice::Pool::Provider3D;
    return sample;
}

int Provider::ActiveSampleCount() const
{
    if (!core)
        return 0;
    int count = 0;
    for (const Voice* voice : core->voices)
        if (voice->pool == Voice::Pool::Provider3D && voice->Status() == VoiceStatus::Playing)
            ++count;
    return count;
}

}
