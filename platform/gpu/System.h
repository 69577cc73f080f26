#pragma once

#include <cstdint>

#include "platform/gpu/GpuTypes.h"

// The display system before any device exists: adapters, their display modes, what each device
// type can do, and which formats it accepts. There is one adapter (the OpenGL driver under SDL),
// whose only device type is the hardware one.
namespace platform::gpu {

class System {
public:
    System();
    ~System();
    System(const System&) = delete;
    System& operator=(const System&) = delete;

    // False when the video system could not be started.
    bool IsAvailable() const { return available; }

    int GetAdapterCount() const;
    Result GetAdapterIdentifier(int adapter, AdapterIdentifier& out) const;
    // The desktop mode of the adapter.
    Result GetAdapterDisplayMode(int adapter, DisplayMode& out) const;
    // Display modes of one display format (X8R8G8B8, R5G6B5; other formats have none).
    int GetAdapterModeCount(int adapter, int format) const;
    Result EnumAdapterModes(int adapter, int format, int mode, DisplayMode& out) const;

    Result GetDeviceCapabilities(int adapter, DeviceType type, Capabilities& out) const;
    Result CheckDeviceType(int adapter, DeviceType type, int displayFormat, int backBufferFormat, bool windowed) const;
    // Whether a resource of the format can be made: a texture, or with UsageRenderTarget a
    // surface drawn into, or with UsageDepthStencil a depth format.
    Result CheckDeviceFormat(int adapter, DeviceType type, int displayFormat, std::uint32_t usage,
                             ResourceType resource, int format) const;
    Result CheckDepthStencilMatch(int adapter, DeviceType type, int displayFormat, int renderTargetFormat,
                                  int depthFormat) const;
    // Quality levels of multisampling for a format; 0 when none.
    Result CheckMultisample(int adapter, DeviceType type, int format, bool windowed, int& levels) const;

    // Video memory, as far as it can be told without a device.
    std::uint64_t GetTotalVideoMemory() const;

    static std::uint64_t GetAvailablePhysicalMemory();
    static std::uint64_t GetTotalPhysicalMemory();

private:
    bool available = false;
};

} // namespace platform::gpu
