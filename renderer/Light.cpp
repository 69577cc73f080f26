#include "renderer/Light.h"

#include <cstdarg>
#include <cstring>
#include <vector>

#include "engine/core/FormatText.h"
#include "platform/gpu/GraphicsDevice.h"
#include "renderer/LibraryState.h"
#include "renderer/RenderDevice.h"

namespace gpu = platform::gpu;

Light::Light()
{
    LibraryState& library = Library();
    const int limit = library.device ? library.device->GetMaxActiveLights() : 0;
    if (library.lights.GetCount() < limit) {
        std::vector<bool> used(std::size_t(limit), false);
        for (void* item : library.lights) {
            const int taken = static_cast<Light*>(item)->index;
            if (taken >= 0 && taken < limit)
                used[std::size_t(taken)] = true;
        }
        for (int i = 0; i < limit; ++i)
            if (!used[std::size_t(i)]) {
                index = i;
                break;
            }
        Enable(true);
        Set();
        Enable(false);
        library.lights.AddTail(this);
    } else {
        SetError("Max active lights for this device exceeded");
    }
}

Light::~Light() = default;

int Light::Set()
{
    // A light past the device's limit keeps the error text that says so.
    if (index < 0)
        return -1;
    gpu::GraphicsDevice* device = Library().gpu;
    if (!device) {
        SetError("%s", gpu::ResultName(gpu::ErrorInvalidCall));
        return -1;
    }
    gpu::LightParameters light;
    light.type = type;
    light.diffuse[0] = float((color >> 16) & 0xFF) / 255.0f;
    light.diffuse[1] = float((color >> 8) & 0xFF) / 255.0f;
    light.diffuse[2] = float(color & 0xFF) / 255.0f;
    light.diffuse[3] = 1.0f;
    for (int i = 0; i < 3; ++i) {
        light.position[i] = position[i];
        light.direction[i] = direction[i];
    }
    light.range = range;
    light.falloff = 1.0f;
    light.attenuation[0] = attenuation0;
    light.attenuation[1] = light.attenuation[2] = 0.0f;
    light.theta = light.phi = 3.1415927f;
    const gpu::Result result = device->SetLight(index, light);
    if (gpu::Failed(result)) {
        SetError("%s", gpu::ResultName(result));
        return -1;
    }
    return 1;
}

int Light::Enable(bool on)
{
    gpu::GraphicsDevice* device = Library().gpu;
    if (index < 0 || !device)
        return -1;
    const gpu::Result result = device->EnableLight(index, on);
    if (gpu::Failed(result)) {
        SetError("%s", gpu::ResultName(result));
        return -1;
    }
    enabled = on;
    return 1;
}

bool Light::IsEnabled() { return enabled; }
const char* Light::GetLastError() { return errorText.Get(); }

void Light::SetError(const char* format, ...)
{
    std::va_list args;
    va_start(args, format);
    errorText.Format(format, args);
    va_end(args);
}

void Light::Destroy()
{
    Enable(false);
    Library().lights.Remove(this);
    errorText.Clear();
    index = -1;
    delete this;
}
