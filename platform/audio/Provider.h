#pragma once

#include <memory>
#include <string>
#include <vector>

namespace platform::audio {

struct Core;
class Driver;
class Sample3D;

// What a provider is called and how many positional voices it can play.
struct ProviderInfo {
    std::string name;
    int maximumSamples = 64;
};

// The placement of the ear; world coordinates as for Sample3D.
class Listener {
public:
    explicit Listener(std::shared_ptr<Core> core);
    void SetPosition(float x, float y, float z);
    void SetOrientation(float frontX, float frontY, float frontZ, float upX, float upY, float upZ);

private:
    std::shared_ptr<Core> core;
};

// A way of playing positional sound on the driver.
class Provider {
public:
    // The installed providers in the order the layer reports them.
    static std::vector<std::unique_ptr<Provider>> Enumerate();
    // Replaces what Enumerate reports (empty list = the built-in ones).
    static void SetInstalled(std::vector<ProviderInfo> providers);

    explicit Provider(ProviderInfo info);
    ~Provider();

    const std::string& Name() const { return info.name; }
    // "Name" (const char* into out) and "Maximum supported samples" (int into out); false for others.
    bool Attribute(const char* name, void* out) const;

    bool Open(Driver& driver);
    void Close();
    bool IsOpen() const { return core != nullptr; }
    std::unique_ptr<Listener> OpenListener();
    // Null when the provider has no more voices.
    std::unique_ptr<Sample3D> AllocateSample();
    int ActiveSampleCount() const;
    void SetSpeakerType(int type) { speakerType = type; }
    int SpeakerType() const { return speakerType; }

private:
    ProviderInfo info;
    std::shared_ptr<Core> core;
    int speakerType = 0;
};

}
