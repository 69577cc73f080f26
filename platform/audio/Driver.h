#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace platform::audio {

struct Core;
class Sample;

// The digital output: one OpenAL device and context, 16-bit stereo at the asked rate, and the
// pool of 2D voices made on it.
class Driver {
public:
    // Where the next Open sends its sound: the default device, or a loopback device that only
    // produces samples when Render is called (tests read them back).
    enum class Output { Device, Loopback };
    static void SetOutput(Output output);
    // At most this many 2D voices per driver (0 = no limit of ours).
    static void SetVoiceLimit(int limit);

    // Null with LastError set on failure.
    static std::unique_ptr<Driver> Open(int rate, int bits, int channels);
    ~Driver();

    Driver(const Driver&) = delete;
    Driver& operator=(const Driver&) = delete;

    int Rate() const;
    std::string Configuration() const;
    // The mixer library and its version.
    std::string Version() const;
    float MasterVolume() const;
    void SetMasterVolume(float volume);
    // A null result when the driver has no more voices.
    std::unique_ptr<Sample> AllocateSample();
    int ActiveSampleCount() const;

    // While released no voice of ours sounds, and the output belongs to one other user (a movie's
    // sound buffer). True on success.
    bool Release();
    bool Reacquire();
    bool IsReleased() const;

    // Loopback output only: mixes frames of interleaved 16-bit stereo into out.
    void Render(std::int16_t* out, int frames);

    const std::shared_ptr<Core>& GetCore() const { return core; }

private:
    explicit Driver(std::shared_ptr<Core> core);
    std::shared_ptr<Core> core;
};

}
