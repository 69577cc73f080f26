#include "platform/gpu/System.h"

#include <cstdio>
#include <cstring>

#include <SDL2/SDL.h>
#include <sys/sysinfo.h>

#include "engine/core/RenderTypes.h"
#include "platform/gpu/GraphicsDevice.h"
#include "platform/gpu/PixelFormat.h"

namespace platform::gpu {
namespace {

// Every driver offers these sizes, so the menus always open in 800 x 600.
struct Size {
    int width, height;
};
constexpr Size kModes[] = {{640, 480}, {800, 600}, {1024, 768}, {1152, 864}, {1280, 720}, {1280, 960},
                           {1280, 1024}, {1600, 900}, {1600, 1200}};
constexpr int kModeCount = int(sizeof(kModes) / sizeof(kModes[0]));

bool IsDisplayFormat(int format)
{
    return format == FormatX8R8G8B8 || format == FormatR5G6B5;
}

} // namespace

System::System()
{
    available = SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
}

System::~System()
{
    if (available)
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

int System::GetAdapterCount() const
{
    return available ? 1 : 0;
}

Result System::GetAdapterIdentifier(int adapter, AdapterIdentifier& out) const
{
    if (adapter != 0 || !available)
        return ErrorInvalidCall;
    std::snprintf(out.description, sizeof(out.description), "OpenGL 4.5 (%s)", SDL_GetCurrentVideoDriver());
    std::snprintf(out.driver, sizeof(out.driver), "%s", SDL_GetCurrentVideoDriver());
    return Ok;
}

Result System::GetAdapterDisplayMode(int adapter, DisplayMode& out) const
{
    if (adapter != 0 || !available)
        return ErrorInvalidCall;
    SDL_DisplayMode mode{};
    if (SDL_GetDesktopDisplayMode(0, &mode) != 0)
        return ErrorNotAvailable;
    out.width = mode.w;
    out.height = mode.h;
    out.refreshRate = mode.refresh_rate;
    out.format = SDL_BITSPERPIXEL(mode.format) == 16 ? FormatR5G6B5 : FormatX8R8G8B8;
    return Ok;
}

int System::GetAdapterModeCount(int adapter, int format) const
{
    return adapter == 0 && available && IsDisplayFormat(format) ? kModeCount : 0;
}

Result System::EnumAdapterModes(int adapter, int format, int mode, DisplayMode& out) const
{
    if (mode < 0 || mode >= GetAdapterModeCount(adapter, format))
        return ErrorInvalidCall;
    out.width = kModes[mode].width;
    out.height = kModes[mode].height;
    out.refreshRate = 60;
    out.format = format;
    return Ok;
}

Result System::GetDeviceCapabilities(int adapter, DeviceType type, Capabilities& out) const
{
    if (adapter != 0 || !available || type != DeviceType::Hardware)
        return ErrorNotAvailable;
    out = Capabilities{};
    return Ok;
}

Result System::CheckDeviceType(int adapter, DeviceType type, int displayFormat, int backBufferFormat,
                               bool windowed) const
{
    if (adapter != 0 || !available || type != DeviceType::Hardware)
        return ErrorNotAvailable;
    return IsDisplayFormat(displayFormat) && IsDisplayFormat(backBufferFormat) ? Ok : ErrorNotAvailable;
}

Result System::CheckDeviceFormat(int adapter, DeviceType type, int displayFormat, std::uint32_t usage,
                                 ResourceType resource, int format) const
{
    if (adapter != 0 || !available || type != DeviceType::Hardware)
        return ErrorNotAvailable;
    // Depth buffers with stencil bits are what the game's shadows need; a 32-bit depth buffer
    // would be preferred over them and has none, so it is not offered.
    if (usage & UsageDepthStencil)
        return DepthBits(format) > 0 && format != DepthD32 ? Ok : ErrorNotAvailable;
    if (!CanConvert(format))
        return ErrorNotAvailable;
    if (usage & UsageRenderTarget) {
        // Targets are drawn as 8-bit-per-channel colour; formats that keep colour channels are
        // read back into their own format.
        switch (format) {
        case FormatA8R8G8B8: case FormatX8R8G8B8: case FormatR5G6B5: case FormatX1R5G5B5:
        case FormatA1R5G5B5: case FormatA4R4G4B4: case FormatX4R4G4B4: case FormatR8G8B8:
            return Ok;
        default:
            return ErrorNotAvailable;
        }
    }
    (void)resource;
    return Ok;
}

Result System::CheckDepthStencilMatch(int adapter, DeviceType type, int displayFormat, int renderTargetFormat,
                                      int depthFormat) const
{
    if (adapter != 0 || !available || type != DeviceType::Hardware)
        return ErrorNotAvailable;
    return DepthBits(depthFormat) > 0 ? Ok : ErrorNotAvailable;
}

Result System::CheckMultisample(int adapter, DeviceType type, int format, bool windowed, int& levels) const
{
    levels = 0;
    if (adapter != 0 || !available || type != DeviceType::Hardware)
        return ErrorNotAvailable;
    // Known once a device exists; before that only "off" is offered.
    const GraphicsDevice* device = GraphicsDevice::Current();
    levels = QualityLevels(device ? device->GetCapabilities().maxSamples : 0);
    return Ok;
}

std::uint64_t System::GetTotalVideoMemory() const
{
    // No device-independent query exists; the software and most hardware drivers share system
    // memory, so half of it is reported.
    return GetTotalPhysicalMemory() / 2;
}

std::uint64_t System::GetAvailablePhysicalMemory()
{
    struct sysinfo info {};
    if (sysinfo(&info) != 0)
        return 0;
    return std::uint64_t(info.freeram) * info.mem_unit;
}

std::uint64_t System::GetTotalPhysicalMemory()
{
    struct sysinfo info {};
    if (sysinfo(&info) != 0)
        return 0;
    return std::uint64_t(info.totalram) * info.mem_unit;
}

} // namespace platform::gpu
