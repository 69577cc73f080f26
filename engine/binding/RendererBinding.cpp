#include "engine/binding/RendererBinding.h"

#include <cstdio>
#include <filesystem>
#include <memory>
#include <system_error>

#include "engine/binding/MaterialEffects.h"
#include "engine/core/q3DError.h"
#include "platform/os/Path.h"
#include "platform/os/SharedLibrary.h"

namespace {

// The loaded renderer library; the device itself is the caller's slot.
std::unique_ptr<platform::os::SharedLibrary> rendererLibrary;

} // namespace

const char* ResolveRendererLibraryPath(const char* path, char* buffer, int size)
{
    if (!platform::os::SamePathName(path, kRendererLibraryName))
        return path;
    std::error_code error;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    const std::string folder = error ? std::string(".") : program.parent_path().string();
    std::snprintf(buffer, std::size_t(size), "%s/liblumora.so", folder.c_str());
    return buffer;
}

void LoadRendererLibrary(const char* path, Device** device)
{
    char resolved[4096];
    const char* file = ResolveRendererLibraryPath(path ? path : "", resolved, sizeof(resolved));
    std::string reason;
    rendererLibrary = platform::os::SharedLibrary::Open(file, &reason);
    if (!rendererLibrary)
        throw q3DError("Error loading %s", path ? path : "");

    const auto getVersion = rendererLibrary->FindFunction<GetDLLVersionFunction>("GetDLLVersion");
    if (!getVersion)
        throw q3DError("Error getting proc address of GetDLLVersion");
    if (getVersion() != RendererVersion)
        throw q3DError("DLL version mismatch");
    const auto createDevice = rendererLibrary->FindFunction<CreateDeviceFunction>("CreateDevice");
    if (!createDevice)
        throw q3DError("Error getting proc address of CreateDevice");
    if (createDevice(device) < 0)
        throw q3DError("Error creating device");
    if (device && *device)
        RegisterMaterialEffects(*device);
}

void UnloadRendererLibrary(Device** device)
{
    if (device && *device)
        UnregisterMaterialEffects(*device);
    if (rendererLibrary) {
        if (const auto destroyDevice = rendererLibrary->FindFunction<DestroyDeviceFunction>("DestroyDevice"))
            destroyDevice(device);
    }
    rendererLibrary.reset();
}
