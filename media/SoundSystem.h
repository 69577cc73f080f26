#pragma once

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "platform/os/File.h"

namespace platform::audio {
class Driver;
class Provider;
class Listener;
class Sample;
class Sample3D;
}

class Sound;

// The program's whole audio output: one digital driver, a pool of 2D voices, the installed 3D
// providers with one of them open (listener and 3D voice pool), and "sound.log". Operations never
// throw; they return 0 / -1 and log, and do nothing while sound is disabled.
class SoundSystem {
public:
    static constexpr int MaxSamples = 64;
    static constexpr int MaxProviders = 64;
    static constexpr int ErrorTextSize = 2048;

    SoundSystem();
    virtual ~SoundSystem();

    SoundSystem(const SoundSystem&) = delete;
    SoundSystem& operator=(const SoundSystem&) = delete;

    int Create(bool enabled, int samples2DRequested, int streamsRequested, int outputRate, const char* folder);
    void Enumerate3DProviders();
    // "Name" writes a const char* into out, "Maximum supported samples" an int32. 0 or -1.
    int Get3DProviderAttribute(int providerIndex, const char* attribute, void* out);
    int Open3DProvider(int providerIndex, int samples3DWanted);
    int Close3DProvider();
    int Release();
    int Reacquire();
    void Destroy();

    float GetMasterVolume();
    void SetMasterVolume(float volume);
    void Mute();
    void Unmute();
    int GetActive2DSampleCount();
    int GetActive3DSampleCount();
    void SetSpeakerType(int speakerType);
    void SetListenerPosition(float x, float y, float z);
    void SetListenerOrientation(float frontX, float frontY, float frontZ, float upX, float upY, float upZ);
    void PauseAll();
    void ResumeAll();
    void StopAll();

    void Log(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void LogError(const char* format, ...) __attribute__((format(printf, 2, 3)));

    // Read by the options screen, the start-up and the sound objects.
    bool IsEnabled() const { return enabled; }
    int GetProviderCount() const { return static_cast<int>(providerNames.size()); }
    int GetOpenProviderIndex() const { return openProvider; }
    bool HasOpenProvider() const;
    const char* GetLastError() const { return lastError.c_str(); }
    int GetOutputRate() const { return outputRate; }
    int Get2DSampleCount() const { return static_cast<int>(samples2D.size()); }
    int Get3DSampleCount() const { return static_cast<int>(samples3D.size()); }
    int GetStreamReserve() const { return streamReserve; }

    // For the sound objects and the movie player of this subsystem.
    platform::audio::Driver* GetDriver() const { return driver.get(); }
    std::vector<Sound*>& GetSoundList() { return soundList; }
    platform::audio::Sample* Get2DSample(int i) const { return samples2D[static_cast<std::size_t>(i)].get(); }
    platform::audio::Sample3D* Get3DSample(int i) const { return samples3D[static_cast<std::size_t>(i)].get(); }

private:
    void WriteLine(const char* text);
    void LogV(const char* format, va_list args);

    std::vector<Sound*> soundList;
    std::unique_ptr<platform::audio::Driver> driver;
    int outputRate = 22050;
    float savedMasterVolume = 0.0f;
    std::vector<std::unique_ptr<platform::audio::Sample>> samples2D;
    std::vector<std::unique_ptr<platform::audio::Provider>> providers;
    std::vector<std::string> providerNames;
    int openProvider = -1;
    int samples3DRequested = 0;
    std::vector<std::unique_ptr<platform::audio::Sample3D>> samples3D;
    std::unique_ptr<platform::audio::Listener> listener;
    int streamReserve = 0;
    char folder[256] = {};
    std::string lastError;
    platform::os::FileHandle logFile;
    bool enabled = false;
};
