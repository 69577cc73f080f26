#include "media/SoundSystem.h"

#include <algorithm>
#include <cstring>
#include <strings.h>

#include "media/Sound.h"
#include "media/SoundFiles.h"
#include "media/SoundStream.h"
#include "platform/audio/AudioFiles.h"
#include "platform/audio/Driver.h"
#include "platform/audio/Provider.h"
#include "platform/audio/Voice.h"

namespace {
// A format longer than this is not written: the rest of the 2048-byte line is the room left for
// its arguments.
constexpr std::size_t MaxLogFormat = 1792;

bool SharesVoiceBudget(const std::string& name)
{
    return strcasecmp(name.c_str(), "Fast 2D Positional Audio") == 0 || strcasecmp(name.c_str(), "Matrix Surround") == 0;
}
}

SoundSystem::SoundSystem()
{
    logFile.reset(std::fopen("sound.log", "wt"));
    if (logFile) {
        std::fputs("***SoundSystem log opened***\n\n", logFile.get());
        std::fflush(logFile.get());
    }
}

SoundSystem::~SoundSystem()
{
    Destroy();
    // The objects outlive the system; they must not reach it any more.
    if (Sound::system == this)
        Sound::system = nullptr;
    soundList.clear();
}

void SoundSystem::WriteLine(const char* text)
{
    if (!logFile)
        return;
    std::fputs(text, logFile.get());
    std::fputc('\n', logFile.get());
    std::fflush(logFile.get());
}

void SoundSystem::LogV(const char* format, va_list args)
{
    if (!logFile || !format || std::strlen(format) > MaxLogFormat)
        return;
    char line[ErrorTextSize];
    std::vsnprintf(line, sizeof line, format, args);
    WriteLine(line);
}

void SoundSystem::Log(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    LogV(format, args);
    va_end(args);
}

void SoundSystem::LogError(const char* format, ...)
{
    char text[ErrorTextSize];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format ? format : "", args);
    va_end(args);
    lastError = text;
    WriteLine(text);
}

int SoundSystem::Create(bool enable, int samples2DRequested, int streamsRequested, int rate, const char* providerFolder)
{
    std::snprintf(folder, sizeof folder, "%s", providerFolder ? providerFolder : "");
    if (!enable) {
        Log("Sound System Deactivated\n");
        enabled = false;
        return 0;
    }
    enabled = true;
    if (driver) {
        LogError("ERROR: SoundSystem::Create - the sound system is already initialized.");
        return -1;
    }
    outputRate = rate;
    driver = platform::audio::Driver::Open(rate, 16, 2);
    if (!driver) {
        LogError("ERROR: SoundSystem::Create - %s", platform::audio::LastError());
        // Without a driver there is no sound at all: behave as disabled rather than half-enabled.
        enabled = false;
        return -1;
    }
    const int capped = std::clamp(samples2DRequested, 0, MaxSamples);
    streamReserve = std::clamp(streamsRequested, 0, MaxSamples - capped);
    for (int i = 0; i < capped; ++i) {
        std::unique_ptr<platform::audio::Sample> sample = driver->AllocateSample();
        if (!sample)
            break;
        sample->userData[0] = i;
        samples2D.push_back(std::move(sample));
    }
    InstallSoundFileCallbacks();

    Log("Sound System Initialized on OpenAL Soft");
    Log("\tVersion: %s", driver->Version().c_str());
    Log("\t%s", ("Device: " + driver->Configuration()).c_str());
    Log("\tMaximum number of 2D samples: %d", MaxSamples);
    Log("\tNumber of 2D samples requested: %d", samples2DRequested);
    Log("\tNumber of streams requested: %d", streamsRequested);
    Log("\tNumber of samples reserved for streams: %d", streamReserve);
    Log("\tNumber of 2D samples attempted to allocate: %d", capped);
    Log("\tTotal number of 2D samples allocated: %d\n", static_cast<int>(samples2D.size()));
    return 0;
}

void SoundSystem::Enumerate3DProviders()
{
    if (!enabled)
        return;
    // The provider objects are about to be replaced: none may stay open behind them.
    if (HasOpenProvider())
        Close3DProvider();
    Log("Enumerating 3D providers...");
    std::vector<std::unique_ptr<platform::audio::Provider>> found = platform::audio::Provider::Enumerate();
    if (found.size() > static_cast<std::size_t>(MaxProviders))
        found.resize(MaxProviders);
    std::stable_sort(found.begin(), found.end(), [](const auto& a, const auto& b) {
        return strcasecmp(a->Name().c_str(), b->Name().c_str()) < 0;
    });
    providers = std::move(found);
    providerNames.clear();
    for (const auto& provider : providers)
        providerNames.push_back(provider->Name());
    openProvider = -1;
    Log("...3D providers enumerated");
}

int SoundSystem::Get3DProviderAttribute(int index, const char* attribute, void* out)
{
    if (!enabled)
        return -1;
    if (index < 0 || index >= GetProviderCount()) {
        LogError("ERROR: SoundSystem::Get3DProviderAttribute - Invalid provider index: %d", index);
        return -1;
    }
    return providers[static_cast<std::size_t>(index)]->Attribute(attribute, out) ? 0 : -1;
}

bool SoundSystem::HasOpenProvider() const
{
    return openProvider >= 0 && openProvider < GetProviderCount() && providers[static_cast<std::size_t>(openProvider)]->IsOpen();
}

int SoundSystem::Open3DProvider(int index, int wanted)
{
    if (!enabled)
        return -1;
    Log("\nOpening 3D provider...");
    if (index < 0 || index >= GetProviderCount()) {
        LogError("ERROR: SoundSystem::Open3DProvider - Invalid provider index: %d", index);
        return -1;
    }
    if (HasOpenProvider())
        Close3DProvider();
    platform::audio::Provider& provider = *providers[static_cast<std::size_t>(index)];
    if (!provider.Open(*driver)) {
        LogError("ERROR: SoundSystem::Open3DProvider - %s", platform::audio::LastError());
        return -1;
    }
    openProvider = index;
    listener = provider.OpenListener();
    samples3DRequested = wanted;

    int reported = 0;
    provider.Attribute("Maximum supported samples", &reported);
    int maximum = reported;
    const bool shared = SharesVoiceBudget(provider.Name());
    if (shared)
        maximum = std::max(0, maximum - (streamReserve + Get2DSampleCount()));
    const int attempt = std::max(0, std::min(wanted, maximum));
    for (int i = 0; i < attempt; ++i) {
        std::unique_ptr<platform::audio::Sample3D> sample = provider.AllocateSample();
        if (!sample)
            break;
        sample->userData[0] = i;
        samples3D.push_back(std::move(sample));
    }
    Log("\t3D provider: %s", provider.Name().c_str());
    Log("\tMaximum number of 3D samples: %d", reported);
    if (shared)
        Log("\tNumber of samples allocated to 2D and streams: %d", streamReserve + Get2DSampleCount());
    Log("\tNumber of 3D samples requested: %d", wanted);
    Log("\tNumber of 3D samples attempted to allocate: %d", attempt);
    Log("\tTotal number of 3D samples allocated: %d\n", Get3DSampleCount());
    return 0;
}

int SoundSystem::Close3DProvider()
{
    if (!enabled)
        return -1;
    samples3D.clear();
    listener.reset();
    if (openProvider >= 0 && openProvider < GetProviderCount())
        providers[static_cast<std::size_t>(openProvider)]->Close();
    Log("\n3D provider closed");
    return 0;
}

int SoundSystem::Release()
{
    if (!enabled)
        return 0;
    Close3DProvider();
    if (!driver->Release()) {
        LogError("ERROR: SoundSystem::Release - %s", platform::audio::LastError());
        return -1;
    }
    Log("Digital handle released");
    return 0;
}

int SoundSystem::Reacquire()
{
    if (!enabled)
        return 0;
    if (!driver->Reacquire()) {
        LogError("ERROR: SoundSystem::Reacquire - %s", platform::audio::LastError());
        return -1;
    }
    Log("\nDigital handle reacquired");
    Open3DProvider(openProvider, samples3DRequested);
    return 0;
}

void SoundSystem::Destroy()
{
    if (enabled)
        Log("\nSound System closed");
    enabled = false;
    savedMasterVolume = 0.0f;
    samples2D.clear();
    samples3D.clear();
    listener.reset();
    if (openProvider >= 0 && openProvider < GetProviderCount())
        providers[static_cast<std::size_t>(openProvider)]->Close();
    openProvider = -1;
    providers.clear();
    providerNames.clear();
    driver.reset();
    if (logFile) {
        std::fputs("\n***SoundSystem log closed***\n", logFile.get());
        logFile.reset();
    }
    lastError.clear();
}

float SoundSystem::GetMasterVolume() { return enabled ? driver->MasterVolume() : -1.0f; }

void SoundSystem::SetMasterVolume(float volume)
{
    if (enabled)
        driver->SetMasterVolume(volume);
}

void SoundSystem::Mute()
{
    if (!enabled)
        return;
    savedMasterVolume = driver->MasterVolume();
    driver->SetMasterVolume(0.0f);
}

void SoundSystem::Unmute()
{
    if (enabled)
        driver->SetMasterVolume(savedMasterVolume);
}

int SoundSystem::GetActive2DSampleCount() { return enabled ? driver->ActiveSampleCount() : -1; }

int SoundSystem::GetActive3DSampleCount()
{
    if (!enabled || !HasOpenProvider())
        return -1;
    return providers[static_cast<std::size_t>(openProvider)]->ActiveSampleCount();
}

void SoundSystem::SetSpeakerType(int speakerType)
{
    if (enabled && HasOpenProvider())
        providers[static_cast<std::size_t>(openProvider)]->SetSpeakerType(speakerType);
}

void SoundSystem::SetListenerPosition(float x, float y, float z)
{
    if (enabled && listener)
        listener->SetPosition(x, y, z);
}

void SoundSystem::SetListenerOrientation(float frontX, float frontY, float frontZ, float upX, float upY, float upZ)
{
    if (enabled && listener)
        listener->SetOrientation(frontX, frontY, frontZ, upX, upY, upZ);
}

void SoundSystem::PauseAll()
{
    if (!enabled)
        return;
    for (auto& sample : samples2D)
        sample->Stop();
    for (auto& sample : samples3D)
        sample->Stop();
    for (Sound* sound : soundList)
        if (sound->GetKind() == Sound::KindStream)
            static_cast<SoundStream*>(sound)->Pause();
}

void SoundSystem::ResumeAll()
{
    if (!enabled)
        return;
    for (auto& sample : samples2D)
        if (sample->Status() == platform::audio::VoiceStatus::Stopped)
            sample->Resume();
    for (auto& sample : samples3D)
        if (sample->Status() == platform::audio::VoiceStatus::Stopped)
            sample->Resume();
    for (Sound* sound : soundList)
        if (sound->GetKind() == Sound::KindStream)
            static_cast<SoundStream*>(sound)->Resume();
}

void SoundSystem::StopAll()
{
    if (!enabled)
        return;
    for (auto& sample : samples2D)
        sample->End();
    for (auto& sample : samples3D)
        sample->End();
    for (Sound* sound : soundList)
        if (sound->GetKind() == Sound::KindStream)
            static_cast<SoundStream*>(sound)->Pause();
}
