// Display modes, device creation, resets and shut-down.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/gpu/GraphicsDevice.h"
#include "platform/gpu/PixelFormat.h"
#include "platform/gpu/Shader.h"
#include "platform/gpu/System.h"
#include "platform/os/Window.h"
#include "renderer/Bitmap.h"
#include "renderer/LibraryState.h"
#include "renderer/Light.h"
#include "renderer/Prim.h"
#include "renderer/RenderDevice.h"
#include "renderer/TextureRecord.h"

namespace gpu = platform::gpu;

namespace {

// Display formats in the order their modes are collected.
constexpr int kDisplayFormats[] = {FormatX8R8G8B8, FormatX1R5G5B5, FormatR5G6B5};

int ChooseDepthFormat(const gpu::System& system, int adapter, gpu::DeviceType type, int displayFormat)
{
    const int minimumDepth = gpu::BitsPerPixel(displayFormat) >= 24 ? 24 : 0;
    struct Candidate {
        int format;
        bool allowed;
    };
    const Candidate candidates[] = {{gpu::DepthD16, minimumDepth <= 16},  {gpu::DepthD15S1, minimumDepth < 16},
                                    {gpu::DepthD24X8, minimumDepth <= 24}, {gpu::DepthD24X4S4, minimumDepth <= 24},
                                    {gpu::DepthD24S8, minimumDepth <= 24}, {gpu::DepthD32, true}};
    int chosen = 0;
    for (const Candidate& c : candidates) {
        if (!c.allowed)
            continue;
        if (!gpu::Failed(system.CheckDeviceFormat(adapter, type, displayFormat, gpu::UsageDepthStencil,
                                                  gpu::ResourceType::Surface, c.format)) &&
            !gpu::Failed(system.CheckDepthStencilMatch(adapter, type, displayFormat, displayFormat, c.format)))
            chosen = c.format;
    }
    return chosen;
}

} // namespace

void RenderDevice::Enumerate()
{
    adapterCount = 0;
    const int ordinals = system->GetAdapterCount();
    for (int ordinal = 0; ordinal < ordinals && adapterCount < kMaxAdapters; ++ordinal) {
        AdapterRecord& record = adapters[adapterCount];
        record = AdapterRecord{};
        record.ordinal = ordinal;
        system->GetAdapterIdentifier(ordinal, record.identifier);
        system->GetAdapterDisplayMode(ordinal, record.desktopMode);
        Log("Adapter %d: %s", ordinal, record.identifier.description);

        DeviceMode kept[kMaxModes];
        int keptCount = 0;
        bool formatNoted[3] = {false, false, false};
        for (int f = 0; f < 3; ++f) {
            const int format = kDisplayFormats[f];
            const int count = system->GetAdapterModeCount(ordinal, format);
            for (int m = 0; m < count && keptCount < kMaxModes; ++m) {
                gpu::DisplayMode mode;
                if (gpu::Failed(system->EnumAdapterModes(ordinal, format, m, mode)))
                    continue;
                if (mode.width < 640 || mode.height < 480)
                    continue;
                const bool duplicate = std::any_of(kept, kept + keptCount, [&](const DeviceMode& k) {
                    return k.width == mode.width && k.height == mode.height && k.format == format;
                });
                if (duplicate)
                    continue;
                kept[keptCount++] = DeviceMode{mode.width, mode.height, format, 0, 0};
                formatNoted[f] = true;
            }
        }
        std::stable_sort(kept, kept + keptCount, [](const DeviceMode& a, const DeviceMode& b) {
            if (a.format != b.format)
                return a.format > b.format;
            if (a.width != b.width)
                return a.width < b.width;
            return a.height < b.height;
        });

        const gpu::DeviceType types[] = {gpu::DeviceType::Hardware, gpu::DeviceType::Reference};
        for (int t = 0; t < 2; ++t) {
            DeviceEntry& entry = record.entries[record.entryCount];
            entry = DeviceEntry{};
            entry.type = types[t];
            if (gpu::Failed(system->GetDeviceCapabilities(ordinal, types[t], entry.capabilities)))
                continue;
            std::snprintf(entry.name, sizeof(entry.name), "%s", t == 0 ? "HAL" : "REF");
            bool usable[3] = {false, false, false};
            int depth[3] = {0, 0, 0};
            for (int f = 0; f < 3; ++f) {
                if (!formatNoted[f])
                    continue;
                const int format = kDisplayFormats[f];
                if (gpu::Failed(system->CheckDeviceType(ordinal, types[t], format, format, false)))
                    continue;
                depth[f] = ChooseDepthFormat(*system, ordinal, types[t], format);
                usable[f] = depth[f] != 0;
            }
            const std::uint32_t behaviour =
                entry.capabilities.hardwareTransformAndLight && entry.capabilities.positionalLights
                    ? HardwareVertexProcessing
                    : SoftwareVertexProcessing;
            for (int k = 0; k < keptCount && entry.modeCount < kMaxModes; ++k) {
                for (int f = 0; f < 3; ++f) {
                    if (kDisplayFormats[f] == kept[k].format && usable[f]) {
                        DeviceMode mode = kept[k];
                        mode.behaviour = behaviour;
                        mode.depthFormat = depth[f];
                        entry.modes[entry.modeCount++] = mode;
                    }
                }
            }
            if (entry.modeCount > 0) {
                Log("  Device %d: %s", t, entry.name);
                ++record.entryCount;
            }
        }
        if (record.entryCount > 0)
            ++adapterCount;
    }
}

bool RenderDevice::FindEntry(int entry, int& adapter, int& index) const
{
    if (entry < 0)
        return false;
    for (int a = 0; a < adapterCount; ++a) {
        if (entry < adapters[a].entryCount) {
            adapter = a;
            index = entry;
            return true;
        }
        entry -= adapters[a].entryCount;
    }
    return false;
}

RenderDevice::DeviceEntry* RenderDevice::Entry(int entry)
{
    int adapter = 0, index = 0;
    return FindEntry(entry, adapter, index) ? &adapters[adapter].entries[index] : nullptr;
}

int RenderDevice::GetDeviceCount()
{
    int count = 0;
    for (int a = 0; a < adapterCount; ++a)
        count += adapters[a].entryCount;
    return count;
}

int RenderDevice::GetDeviceInfo(int entry, DeviceInfo* out)
{
    DeviceEntry* e = Entry(entry);
    if (!e || !out)
        return entry;
    std::snprintf(out->name, sizeof(out->name), "%s", e->name);
    out->index = entry;
    out->hardware = e->type == gpu::DeviceType::Hardware;
    out->hardwareTnL = e->capabilities.hardwareTransformAndLight;
    return 1;
}

int RenderDevice::ChooseDefaultDevice()
{
    const int count = GetDeviceCount();
    for (int i = 0; i < count; ++i) {
        DeviceEntry* e = Entry(i);
        if (e->type == gpu::DeviceType::Hardware && e->capabilities.hardwareTransformAndLight)
            return i;
    }
    for (int i = 0; i < count; ++i)
        if (Entry(i)->type == gpu::DeviceType::Hardware)
            return i;
    return -1;
}

int RenderDevice::GetModeCount(int entry)
{
    DeviceEntry* e = Entry(entry);
    return e ? e->modeCount : 0;
}

namespace {

void DescribeMode(int width, int height, int format, ModeInfo* out)
{
    out->width = width;
    out->height = height;
    out->bitsPerPixel = gpu::BitsPerPixel(format);
    std::snprintf(out->text, sizeof(out->text), "%d x %d x %dbpp", width, height, out->bitsPerPixel);
}

} // namespace

void RenderDevice::GetModeInfo(int entry, int mode, ModeInfo* out)
{
    DeviceEntry* e = Entry(entry);
    if (!e || !out || mode < 0 || mode >= e->modeCount)
        return;
    DescribeMode(e->modes[mode].width, e->modes[mode].height, e->modes[mode].format, out);
}

void RenderDevice::GetCurrentMode(ModeInfo* out)
{
    if (out)
        DescribeMode(currentMode.width, currentMode.height, currentMode.format, out);
}

int RenderDevice::GetCurrentDevice()
{
    return currentEntry;
}

const RenderDevice::DeviceMode* RenderDevice::FindMode(int entry, int width, int height, int bitsPerPixel)
{
    DeviceEntry* e = Entry(entry);
    if (!e)
        return nullptr;
    for (int m = 0; m < e->modeCount; ++m)
        if (e->modes[m].width == width && e->modes[m].height == height &&
            gpu::BitsPerPixel(e->modes[m].format) == bitsPerPixel)
            return &e->modes[m];
    return nullptr;
}

bool RenderDevice::IsModeAvailable(int entry, int width, int height, int bitsPerPixel)
{
    return FindMode(entry, width, height, bitsPerPixel) != nullptr;
}

int RenderDevice::ChooseFullScreenEntry(int width, int height, int bitsPerPixel, int entry)
{
    if (entry >= 0) {
        if (!FindMode(entry, width, height, bitsPerPixel)) {
            SetError("Video mode not supported on given device");
            return -1;
        }
        return entry;
    }
    const int count = GetDeviceCount();
    for (int i = 0; i < count; ++i) {
        DeviceEntry* e = Entry(i);
        if (e->type == gpu::DeviceType::Hardware && e->capabilities.hardwareTransformAndLight &&
            FindMode(i, width, height, bitsPerPixel))
            return i;
    }
    for (int i = 0; i < count; ++i)
        if (Entry(i)->type == gpu::DeviceType::Hardware && FindMode(i, width, height, bitsPerPixel))
            return i;
    SetError("No hardware devices found that support the given video mode");
    return -1;
}

int RenderDevice::ChooseWindowedEntry(int entry)
{
    if (entry >= 0) {
        if (!Entry(entry)) {
            SetError("Device %d does not exist", entry);
            return -1;
        }
        return entry;
    }
    const int chosen = ChooseDefaultDevice();
    if (chosen < 0)
        SetError("No hardware devices found for a windowed device");
    return chosen;
}

int RenderDevice::CreateFullScreen(int width, int height, int bitsPerPixel, int entry)
{
    if (gpu) {
        SetError("The device has been created already");
        return -1;
    }
    const int chosen = ChooseFullScreenEntry(width, height, bitsPerPixel, entry);
    if (chosen < 0)
        return -1;
    UseEntry(chosen, false);
    currentMode = *FindMode(chosen, width, height, bitsPerPixel);

    std::string reason;
    ownWindow = platform::os::Window::Create("q3D Window", currentMode.width, currentMode.height,
                                             platform::os::WindowMode::DesktopFullScreen, &reason);
    if (!ownWindow) {
        SetError("Error creating D3D9 Device: %s", reason.c_str());
        return -1;
    }
    ownWindow->SetContentSize(currentMode.width, currentMode.height);
    ownWindow->Show();
    window = ownWindow.get();
    targetWidth = currentMode.width;
    targetHeight = currentMode.height;

    const gpu::PresentParameters parameters = PresentParametersFor(window, currentMode.width, currentMode.height, false);
    gpu = gpu::GraphicsDevice::Create(parameters, &reason);
    if (!gpu) {
        SetError("Error creating D3D9 Device");
        Log("%s", reason.c_str());
        window = nullptr;
        ownWindow.reset();
        return -1;
    }
    Library().gpu = gpu.get();
    currentEntry = chosen;
    windowed = false;
    return Initialise();
}

bool RenderDevice::UseEntry(int entry, bool desktopMode)
{
    GetDeviceInfo(entry, &currentInfo);
    Log("Using device %d: %s", entry, currentInfo.name);
    if (desktopMode) {
        gpu::DisplayMode desktop;
        if (gpu::Failed(system->GetAdapterDisplayMode(0, desktop))) {
            SetError("Couldn't get default adapter's display mode");
            return false;
        }
    }
    int adapter = 0, index = 0;
    FindEntry(entry, adapter, index);
    adapterInUse = adapters[adapter].ordinal;
    if (desktopMode) {
        const DeviceEntry& e = adapters[adapter].entries[index];
        currentMode = DeviceMode{adapters[adapter].desktopMode.width, adapters[adapter].desktopMode.height,
                                 adapters[adapter].desktopMode.format, e.modes[0].behaviour, e.modes[0].depthFormat};
    }
    return true;
}

gpu::PresentParameters RenderDevice::PresentParametersFor(WindowHandle target, int width, int height,
                                                          bool windowedTarget) const
{
    gpu::PresentParameters parameters;
    parameters.window = target;
    parameters.backBufferWidth = width;
    parameters.backBufferHeight = height;
    parameters.backBufferFormat = currentMode.format;
    parameters.depthStencilFormat = currentMode.depthFormat;
    parameters.multisampleQuality = multisampleQuality;
    parameters.windowed = windowedTarget;
    return parameters;
}

int RenderDevice::CreateWindowed(WindowHandle newWindow, int entry)
{
    if (gpu) {
        SetError("The device has been created already");
        return -1;
    }
    if (!newWindow) {
        SetError("Error creating D3D9 Device: no window");
        return -1;
    }
    const int chosen = ChooseWindowedEntry(entry);
    if (chosen < 0 || !UseEntry(chosen, true))
        return -1;
    newWindow->GetClientSize(targetWidth, targetHeight);
    window = newWindow;

    const gpu::PresentParameters parameters = PresentParametersFor(window, targetWidth, targetHeight, true);
    std::string reason;
    gpu = gpu::GraphicsDevice::Create(parameters, &reason);
    if (!gpu) {
        SetError("Error creating D3D9 Device");
        Log("%s", reason.c_str());
        window = nullptr;
        return -1;
    }
    Library().gpu = gpu.get();
    currentEntry = chosen;
    windowed = true;
    return Initialise();
}

bool RenderDevice::MakeBufferBitmaps()
{
    gpu::Surface* back = gpu->GetBackBuffer();
    backBufferBitmap = Bitmap::ForSurface("Back Buffer", back, multisampleQuality < 1);
    gpu::Surface* depth = gpu->GetDepthStencilSurface();
    depthBufferBitmap = Bitmap::ForDepthSurface("Z Buffer", depth);
    return true;
}

void RenderDevice::ReleaseBufferBitmaps()
{
    if (backBufferBitmap)
        backBufferBitmap->Release();
    if (depthBufferBitmap)
        depthBufferBitmap->Release();
    backBufferBitmap = depthBufferBitmap = nullptr;
}

const platform::gpu::Capabilities& RenderDevice::GetCurrentCapabilities() const
{
    static const gpu::Capabilities none{};
    int adapter = 0, index = 0;
    if (!FindEntry(currentEntry, adapter, index))
        return none;
    return adapters[adapter].entries[index].capabilities;
}

int RenderDevice::Initialise()
{
    const int depthBits = gpu::DepthBits(currentMode.depthFormat);
    stencilBits = gpu::StencilBits(currentMode.depthFormat);
    Log("Buffer Size: %dx%d", targetWidth, targetHeight);
    Log("Anti-Aliasing Samples: %d", multisampleQuality);
    Log("Color Bits: %d ZBuffer Bits: %d Stencil Bits: %d", gpu::BitsPerPixel(currentMode.format), depthBits,
        stencilBits);

    MakeBufferBitmaps();

    hardwareDevice = currentInfo.hardware;
    hardwareVertexProcessing = currentInfo.hardwareTnL;
    const gpu::Capabilities& caps = gpu->GetCapabilities();
    pixelShaderVersion = caps.pixelShaderVersion;
    vertexShaderVersion = caps.vertexShaderVersion;
    if (pixelShaderVersion == 0.0f)
        UnregisterEffect("pixelshader");
    maxTextureStages = 1;
    if (caps.maxSimultaneousTextures > 1 && caps.maxTextureBlendStages > 1 && caps.modulate)
        maxTextureStages = std::min(caps.maxSimultaneousTextures, 4);
    antialiasedLinesSupported = caps.antialiasedLines;
    gammaSupported = caps.fullScreenGamma;
    tableFogSupported = caps.tableFog;

    for (Material& m : internalMaterials)
        m.changed = 1;
    SetInternalMaterialBlends();
    for (int stage = 0; stage < 4; ++stage)
        gpu->SetTexture(stage, nullptr);
    std::fill(std::begin(stageTextures), std::end(stageTextures), StageBinding{});
    currentMaterial = nullptr;
    materialApplied = false;
    lastLayoutValid = false;
    overrideMaterial = nullptr;
    camera = nullptr;
    renderTarget = nullptr;
    SetUserValue(-1);
    rendering = false;

    // Lit vertices take their diffuse colour as emissive light; the material gives the rest.
    gpu->SetRenderState(gpu::RsEmissiveMaterialSource, 1);
    gpu->SetRenderState(gpu::RsDiffuseMaterialSource, 0);
    gpu->SetRenderState(gpu::RsColorVertex, 1);
    gpu->SetRenderState(gpu::RsSpecularEnable, 0);
    gpu->SetRenderState(gpu::RsNormalizeNormals, 1);
    gpu->SetRenderState(gpu::RsAlphaBlendEnable, 1);
    alphaTest = caps.alphaCompareGreaterEqual;
    alphaRef = 1;
    if (alphaTest) {
        gpu->SetRenderState(gpu::RsAlphaRef, 1);
        gpu->SetRenderState(gpu::RsAlphaFunc, CompareGreaterEqual);
        gpu->SetRenderState(gpu::RsAlphaTestEnable, 1);
    }
    using gpu::StageState;
    gpu->SetTextureStageState(0, StageState::ColorOp, TexOpModulate);
    gpu->SetTextureStageState(0, StageState::ColorArg1, gpu::ArgTexture);
    gpu->SetTextureStageState(0, StageState::ColorArg2, gpu::ArgDiffuse);
    gpu->SetTextureStageState(0, StageState::AlphaOp, TexOpModulate);
    gpu->SetTextureStageState(0, StageState::AlphaArg1, gpu::ArgTexture);
    gpu->SetTextureStageState(0, StageState::AlphaArg2, gpu::ArgCurrent);
    gpu->SetTextureStageState(1, StageState::TexCoordIndex, 1);
    gpu->SetTextureStageState(1, StageState::ColorArg1, gpu::ArgTexture);
    gpu->SetTextureStageState(1, StageState::ColorArg2, gpu::ArgCurrent);
    gpu->SetTextureStageState(1, StageState::ColorOp, TexOpDisable);
    gpu->SetTextureStageState(1, StageState::AlphaOp, TexOpDisable);
    for (int sampler = 2; sampler < 4; ++sampler) {
        gpu->SetSamplerState(sampler, gpu::SamplerState::AddressU, gpu::AddressClamp);
        gpu->SetSamplerState(sampler, gpu::SamplerState::AddressV, gpu::AddressClamp);
        gpu->SetSamplerState(sampler, gpu::SamplerState::MinFilter, gpu::FilterPoint);
        gpu->SetSamplerState(sampler, gpu::SamplerState::MagFilter, gpu::FilterPoint);
    }
    queue.clear();
    queue.reserve(kMaxQueuedTriangles);
    pool.assign(std::size_t(kVertexPoolSize) * 44, 0);
    poolFill = 0;
    SetFilter(1, 2);
    SetMipFilter(1);
    SetFogMode(2);

    maxActiveLights = caps.maxActiveLights > 0 ? caps.maxActiveLights : 128;
    for (int i = 0; i < maxActiveLights; ++i) {
        gpu->EnableLight(i, true);
        gpu->EnableLight(i, false);
    }

    SetClearColor(0xFF000000u);
    Clear(true, true, true, nullptr);
    SetAmbient(0xFFFFFFFFu);
    ResetStats();

    gpu->GetTransform(gpu::TransformKind::World, world.m);
    gpu->GetTransform(gpu::TransformKind::View, view.m);
    gpu->GetTransform(gpu::TransformKind::Projection, projection.m);
    const gpu::Viewport& vp = gpu->GetViewport();
    viewportX = vp.x;
    viewportY = vp.y;
    viewportWidth = vp.width;
    viewportHeight = vp.height;

    if (gpu::Failed(gpu->CreateBuffer(gpu::BufferKind::Vertex, std::size_t(kVertexPoolSize) * 44, &queueVertices)) ||
        gpu::Failed(gpu->CreateBuffer(gpu::BufferKind::Index16, std::size_t(kVertexPoolSize) * 2, &queueIndices))) {
        SetError("Error creating alpha triangle cache vertex buffer");
        return -1;
    }
    void* indices = nullptr;
    queueIndices->Lock(0, 0, &indices);
    auto* index = static_cast<std::uint16_t*>(indices);
    for (int i = 0; i < kVertexPoolSize; ++i)
        index[i] = std::uint16_t(i);
    queueIndices->Unlock();

    lastFrameStart = TimeNow();
    Log("*****");
    return 1;
}

void RenderDevice::ReleaseResourcesForReset()
{
    if (queueVertices)
        queueVertices->Release();
    if (queueIndices)
        queueIndices->Release();
    queueVertices = queueIndices = nullptr;
    ReleaseBufferBitmaps();
    for (Prim* prim : Library().prims)
        prim->ReleaseBuffers();
}

int RenderDevice::RestoreResourcesAfterReset()
{
    for (Prim* prim : Library().prims) {
        if (prim->RecreateBuffers() < 0) {
            SetError("Error recreating default memory surface");
            return -1;
        }
    }
    return 1;
}

int RenderDevice::ChangeResolution(int width, int height, int bitsPerPixel, int entry)
{
    if (rendering) {
        SetError("Can't change resolution while rendering");
        return -1;
    }
    if (!gpu) {
        SetError("Error changing resolution: %s", gpu::ResultName(gpu::ErrorInvalidCall));
        return -1;
    }
    Log("Changing Resolution to %dx%dx%d\n*****", width, height, bitsPerPixel);
    const int chosen = ChooseFullScreenEntry(width, height, bitsPerPixel, entry);
    if (chosen < 0)
        return -1;
    UseEntry(chosen, false);
    currentMode = *FindMode(chosen, width, height, bitsPerPixel);
    currentEntry = chosen;

    ReleaseResourcesForReset();
    const gpu::PresentParameters parameters = PresentParametersFor(window, currentMode.width, currentMode.height, false);
    const gpu::Result result = gpu->Reset(parameters);
    if (gpu::Failed(result)) {
        SetError("Error changing resolution: %s", gpu::ResultName(result));
        return -1;
    }
    targetWidth = currentMode.width;
    targetHeight = currentMode.height;
    if (window) {
        window->SetContentSize(currentMode.width, currentMode.height);
        window->Show();
    }
    windowed = false;
    if (RestoreResourcesAfterReset() < 0)
        return -1;
    return Initialise();
}

int RenderDevice::ChangeResolutionWindowed(WindowHandle newWindow, int entry)
{
    if (rendering) {
        SetError("Can't change resolution while rendering");
        return -1;
    }
    if (!gpu || !newWindow) {
        SetError("Error changing resolution: %s", gpu::ResultName(gpu::ErrorInvalidCall));
        return -1;
    }
    Log("Changing Resolution\n*****");
    const int chosen = ChooseWindowedEntry(entry);
    if (chosen < 0 || !UseEntry(chosen, true))
        return -1;
    currentEntry = chosen;
    newWindow->GetClientSize(targetWidth, targetHeight);

    ReleaseResourcesForReset();
    const gpu::PresentParameters parameters = PresentParametersFor(newWindow, targetWidth, targetHeight, true);
    const gpu::Result result = gpu->Reset(parameters);
    if (gpu::Failed(result)) {
        SetError("Error changing resolution: %s", gpu::ResultName(result));
        return -1;
    }
    window = newWindow;
    if (ownWindow && ownWindow.get() != newWindow)
        ownWindow.reset();
    windowed = true;
    if (RestoreResourcesAfterReset() < 0)
        return -1;
    return Initialise();
}

int RenderDevice::SetMultisamples(int quality)
{
    if (rendering) {
        SetError("Can't change anti aliasing properties while rendering");
        return -1;
    }
    if (quality == multisampleQuality)
        return 1;
    multisampleQuality = quality;
    if (!gpu)
        return 1;
    if (windowed)
        return ChangeResolutionWindowed(window, currentEntry);
    return ChangeResolution(currentMode.width, currentMode.height, gpu::BitsPerPixel(currentMode.format), currentEntry);
}

int RenderDevice::GetMultisamples()
{
    return multisampleQuality;
}

int RenderDevice::GetMaxMultisamples()
{
    int levels = 0;
    if (adapterInUse < 0 ||
        gpu::Failed(system->CheckMultisample(adapterInUse, gpu::DeviceType::Hardware, currentMode.format, windowed,
                                             levels)) ||
        gpu::Failed(system->CheckMultisample(adapterInUse, gpu::DeviceType::Hardware, currentMode.depthFormat,
                                             windowed, levels)))
        return 0;
    return std::max(0, levels - 1);
}

bool RenderDevice::IsTextureFormatSupported(int format, bool renderTarget)
{
    const int adapter = adapterInUse >= 0 ? adapterInUse : 0;
    return !gpu::Failed(system->CheckDeviceFormat(adapter, gpu::DeviceType::Hardware, currentMode.format,
                                                  renderTarget ? gpu::UsageRenderTarget : gpu::UsageNone,
                                                  renderTarget ? gpu::ResourceType::Surface
                                                               : gpu::ResourceType::Texture,
                                                  format));
}

int RenderDevice::GetNearestTextureFormat(int format)
{
    bool tried565 = false, tried4444 = false;
    for (int steps = 0; steps < 32; ++steps) {
        if (IsTextureFormatSupported(format, false))
            return format;
        switch (format) {
        case FormatR8G8B8: format = FormatX8R8G8B8; break;
        case FormatX8R8G8B8: case FormatX4R4G4B4: case FormatR3G3B2: case FormatP8: case FormatDXT1:
            format = FormatR5G6B5;
            break;
        case FormatR5G6B5: tried565 = true; format = FormatX1R5G5B5; break;
        case FormatX1R5G5B5:
            if (tried565)
                return FormatR5G6B5;
            format = FormatR5G6B5;
            break;
        case FormatA8R8G8B8: case FormatA8: case FormatDXT3: case FormatDXT5: format = FormatA4R4G4B4; break;
        case FormatA4R4G4B4: tried4444 = true; format = FormatA1R5G5B5; break;
        case FormatA1R5G5B5:
            if (tried4444)
                return FormatA4R4G4B4;
            format = FormatA4R4G4B4;
            break;
        default:
            return format;
        }
    }
    return format;
}

bool RenderDevice::IsHardwareDevice()
{
    return currentInfo.hardware && currentEntry >= 0;
}

bool RenderDevice::IsHardwareVertexProcessing()
{
    return currentInfo.hardwareTnL && currentEntry >= 0;
}

int RenderDevice::GetMaxTextureStages()
{
    return maxTextureStages;
}

float RenderDevice::GetPixelShaderVersion()
{
    return pixelShaderVersion;
}

float RenderDevice::GetVertexShaderVersion()
{
    return vertexShaderVersion;
}

int RenderDevice::GetStencilBits()
{
    return stencilBits;
}

void RenderDevice::GetGammaRamp(std::uint16_t* red, std::uint16_t* green, std::uint16_t* blue)
{
    if (gpu && gammaSupported && red && green && blue)
        gpu->GetGammaRamp(red, green, blue);
}

void RenderDevice::SetGammaRamp(const std::uint16_t* red, const std::uint16_t* green, const std::uint16_t* blue)
{
    if (gpu && gammaSupported && red && green && blue)
        gpu->SetGammaRamp(red, green, blue);
}

std::uint64_t RenderDevice::GetAvailablePhysicalMemory()
{
    return gpu::System::GetAvailablePhysicalMemory();
}

std::uint64_t RenderDevice::GetTotalPhysicalMemory()
{
    return gpu::System::GetTotalPhysicalMemory();
}

std::uint64_t RenderDevice::GetAvailableTextureMemory()
{
    return gpu ? gpu->GetAvailableTextureMemory() : 0;
}

std::uint64_t RenderDevice::GetTotalVideoMemory()
{
    return totalVideoMemory;
}

D3DBitmap* RenderDevice::GetBackBuffer()
{
    return backBufferBitmap;
}

D3DBitmap* RenderDevice::GetDepthBuffer()
{
    return depthBufferBitmap;
}

WindowHandle RenderDevice::GetWindow()
{
    return window;
}

void RenderDevice::ReleaseShaders(PtrList& shaders, const char* kind)
{
    while (!shaders.IsEmpty()) {
        auto* shader = static_cast<gpu::Shader*>(shaders.GetHead()->item);
        shaders.Remove(shader);
        if (const int left = shader->Release(); left > 0)
            Log("%s shader released with %d references remaining", kind, left);
    }
}

void RenderDevice::Shutdown()
{
    for (Effect* effect : effects) {
        effect->Release(this, 0);
        Effect* toFree = effect;
        FreeEffect(&toFree);
    }
    effects.RemoveAll();
    for (RegistryEntry* entry : registry) {
        delete[] entry->parameters;
        delete entry;
    }
    registry.RemoveAll();

    LibraryState& library = Library();
    Log("*****");
    if (!library.prims.empty()) {
        Log("[WARNING] %d D3DPrims left in memory on shutdown", int(library.prims.size()));
        for (Prim* prim : library.prims)
            prim->ReleaseBuffers();
    }
    if (library.namedTextures.GetCount() > 0) {
        Log("[WARNING] %d D3DBitmaps left in memory on shutdown", library.namedTextures.GetCount());
        while (!library.namedTextures.IsEmpty()) {
            auto* record = static_cast<TextureRecord*>(library.namedTextures.GetHead()->item);
            int textureLeft = 0, surfaceLeft = 0;
            if (record->texture && (textureLeft = record->texture->Release()) == 0)
                record->texture = nullptr;
            if (record->surface && (surfaceLeft = record->surface->Release()) == 0)
                record->surface = nullptr;
            Log("          %s, Refs: %d", record->name, std::max(textureLeft, surfaceLeft));
            while (record->texture && record->texture->Release() > 0) {
            }
            while (record->surface && record->surface->Release() > 0) {
            }
            // Bitmaps still pointing at the record keep it; only its images are gone.
            record->texture = nullptr;
            record->surface = nullptr;
            record->Unregister();
        }
    }
    // Shaders still listed belong to effects of bitmaps that outlive the device; the effects
    // find them gone from the lists and do not release them again.
    ReleaseShaders(library.vertexShaders, "Vertex");
    ReleaseShaders(library.pixelShaders, "Pixel");
    if (queueVertices)
        queueVertices->Release();
    if (queueIndices)
        queueIndices->Release();
    queueVertices = queueIndices = nullptr;
    ReleaseBufferBitmaps();
    if (gpu) {
        // Objects still alive keep their memory copies; their OpenGL names go with the context.
        gpu.reset();
    }
    library.gpu = nullptr;
    rendering = false;
    currentEntry = -1;
    renderTarget = nullptr;
    window = nullptr;
    ownWindow.reset();
}
