#pragma once

#include "app/framework/OptionsTables.h"

#include <cstdint>

class Device;

// The processor's clock rate, measured once against the monotonic clock.
class CpuClock {
public:
    // Nothing when already measured.
    void Measure();

    double hz = 0.0;
    double kHz = 0.0;
    double mHz = 0.0;
    double gHz = 0.0;
    bool measured = false;
};

// What the defaults are derived from when there is no usable "Bexal.cfg".
struct MachineInfo {
    int megahertz = 0;                   // trunc(measured MHz) + 1
    std::uint64_t physicalMemory = 0;    // bytes
    bool hardwareVertexProcessing = false;
    std::uint64_t videoMemory = 0;       // bytes
    bool dxt1Supported = false;
    float pixelShaderVersion = 0.0f;
};

// Measures the processor once per program and asks the device (or, without one, the system)
// for the rest.
MachineInfo MeasureMachine(Device* device);

// Lowers the defaults in options to what the machine can carry.
void ApplyMachineDefaults(std::int32_t (&options)[OptionCount], const MachineInfo& machine);

// The 256-entry gamma table of a brightness step (16 = linear): ((i + 1) / 256) ^ (2 - step / 16).
void BuildGammaRamp(int brightness, std::uint16_t (&ramp)[256]);
