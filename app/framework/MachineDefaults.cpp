#include "app/framework/MachineDefaults.h"

#include "platform/os/Clock.h"
#include "renderer/Device.h"

#include <cmath>
#include <ctime>
#include <unistd.h>

#if defined(__x86_64__) || defined(__i386__)
#include <x86intrin.h>
#endif

namespace {

std::uint64_t ReadCycleCounter()
{
#if defined(__x86_64__) || defined(__i386__)
    return __rdtsc();
#else
    // Without a time-stamp counter the clock itself stands in: the rate then reads as 1 GHz.
    return platform::os::Nanoseconds();
#endif
}

CpuClock& ProgramCpuClock()
{
    static CpuClock clock;
    return clock;
}

std::uint64_t SystemMemory()
{
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGESIZE);
    return pages > 0 && pageSize > 0 ? std::uint64_t(pages) * std::uint64_t(pageSize) : 0;
}

} // namespace

void CpuClock::Measure()
{
    if (measured)
        return;
    const std::uint64_t startTime = platform::os::Nanoseconds();
    const std::uint64_t startCycles = ReadCycleCounter();
    // Counted over a tenth of a second of processor time.
    const std::clock_t start = std::clock();
    while (std::clock() - start < CLOCKS_PER_SEC / 10) {
    }
    const std::uint64_t cycles = ReadCycleCounter() - startCycles;
    const std::uint64_t elapsed = platform::os::Nanoseconds() - startTime;
    hz = elapsed > 0 ? double(cycles) / (double(elapsed) * 1e-9) : 0.0;
    kHz = hz * 0.001;
    mHz = hz * 1e-6;
    gHz = hz * 1e-9;
    measured = true;
}

MachineInfo MeasureMachine(Device* device)
{
    CpuClock& clock = ProgramCpuClock();
    clock.Measure();
    MachineInfo machine;
    machine.megahertz = int(clock.mHz) + 1;
    if (device) {
        machine.physicalMemory = device->GetTotalPhysicalMemory();
        machine.hardwareVertexProcessing = device->IsHardwareVertexProcessing();
        machine.videoMemory = device->GetTotalVideoMemory();
        machine.dxt1Supported = device->IsTextureFormatSupported(FormatDXT1, false);
        machine.pixelShaderVersion = device->GetPixelShaderVersion();
    } else {
        machine.physicalMemory = SystemMemory();
    }
    return machine;
}

void ApplyMachineDefaults(std::int32_t (&options)[OptionCount], const MachineInfo& machine)
{
    options[9] = 1;
    if (!(machine.megahertz > 610 && machine.hardwareVertexProcessing))
        options[12] = 0;
    if (!(machine.megahertz > 810 && machine.hardwareVertexProcessing))
        options[13] = 0;
    if (machine.physicalMemory < 0x8200000ull) {
        options[12] = 0;
        options[13] = 0;
        options[16] = 0;
    }
    if (machine.megahertz > 2399)
        options[14] = 1;
    if (!machine.dxt1Supported)
        options[16] = 0;
    if (machine.pixelShaderVersion < 1.1f)
        options[18] = 0;
}

void BuildGammaRamp(int brightness, std::uint16_t (&ramp)[256])
{
    const double exponent = 2.0 - brightness * 0.0625;
    for (int i = 0; i < 256; ++i) {
        double value = std::pow((i + 1) / 256.0, exponent) * 65535.0 + 0.5;
        if (value < 0.0)
            value = 0.0;
        if (value > 65535.0)
            value = 65535.0;
        ramp[i] = std::uint16_t(value);
    }
}
