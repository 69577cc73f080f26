// Frames, transforms, viewport, render targets and the render states the device keeps.
#include <algorithm>
#include <cstdarg>
#include <cmath>

#include "engine/core/Vector.h"
#include "platform/gpu/GraphicsDevice.h"
#include "renderer/Bitmap.h"
#include "renderer/LibraryState.h"
#include "renderer/Light.h"
#include "renderer/Prim.h"
#include "renderer/RenderDevice.h"
#include "renderer/TextureRecord.h"

namespace gpu = platform::gpu;

namespace {

// Calls that need the graphics device fail this way before it exists.
constexpr GpuResult kNoDevice = -1;

} // namespace

int RenderDevice::GetTime()
{
    return TimeNow();
}

void RenderDevice::ResetStats()
{
    frameCount = 0;
    framesPerSecond = 0;
    frameTime = 0;
    lastFrameStart = TimeNow();
}

int RenderDevice::GetFramesPerSecond() { return framesPerSecond; }
int RenderDevice::GetFrameTime() { return frameTime; }
int RenderDevice::GetFrameCount() { return frameCount; }
int RenderDevice::GetTriangleCount() { return triangleCount; }
int RenderDevice::GetDrawCount() { return drawCount; }
int RenderDevice::GetSortedTriangleCount() { return sortedTriangleCount; }

int RenderDevice::BeginFrame(bool clear, bool countFrame)
{
    if (!gpu)
        return kNoDevice;
    if (deviceLost) {
        const gpu::Result state = gpu->TestCooperativeLevel();
        if (state == gpu::ErrorDeviceLost)
            return state;
        if (state == gpu::ErrorDeviceNotReset) {
            Log("Device needs to be reset");
            return state;
        }
        if (gpu::Failed(state))
            return state;
        deviceLost = false;
    }
    if (countFrame && !renderTarget) {
        const int now = TimeNow();
        frameTime = now - lastFrameStart;
        ++frameCount;
        lastFrameStart = now;
        if (now - rateUpdateTime > 1000) {
            const int units = now - rateUpdateTime;
            framesPerSecond = units > 0 ? int((std::int64_t(frameCount - rateUpdateFrames) * 1000) / units) : 0;
            rateUpdateTime = now;
            rateUpdateFrames = frameCount;
        }
        triangleCount = drawCount = sortedTriangleCount = queueCount = 0;
        // A frame that was not flushed leaves nothing behind for the next one.
        queue.clear();
        poolFill = 0;
    }
    queueOverflowLogged = false;
    if (clear)
        Clear(true, true, true, nullptr);
    const gpu::Result result = gpu->BeginScene();
    rendering = true;
    return result;
}

int RenderDevice::EndFrame(bool present, bool flushQueue)
{
    if (!gpu)
        return kNoDevice;
    if (deviceLost) {
        rendering = false;
        return gpu::ErrorDeviceLost;
    }
    if (flushQueue)
        FlushSortQueue();
    const gpu::Result ended = gpu->EndScene();
    if (!renderTarget && present) {
        const gpu::Result presented = gpu->Present();
        rendering = false;
        if (presented == gpu::ErrorDeviceLost)
            deviceLost = true;
        return presented;
    }
    rendering = false;
    return ended;
}

GpuResult RenderDevice::Clear(bool target, bool depth, bool stencil, const float* rect)
{
    if (!gpu)
        return kNoDevice;
    gpu::Rect area;
    if (rect) {
        area.left = int(rect[0]);
        area.top = int(rect[1]);
        area.right = int(rect[0] + rect[2]);
        area.bottom = int(rect[1] + rect[3]);
    }
    return gpu->Clear(rect ? &area : nullptr, target, depth, stencil && stencilBits > 0, clearColor, 1.0f, 0);
}

GpuResult RenderDevice::ClearZBuffer()
{
    if (!gpu)
        return kNoDevice;
    return gpu->Clear(nullptr, false, true, false, clearColor, 1.0f, 0);
}

void RenderDevice::SetSortQueueEnabled(bool enabled) { sortQueueEnabled = enabled; }
bool RenderDevice::IsSortQueueEnabled() { return sortQueueEnabled; }
void RenderDevice::SetQueueAll(bool all) { queueAll = all; }
void RenderDevice::SetSortDepth(float depth) { sortDepth = depth; }

GpuResult RenderDevice::SetWorldTransform(const Matrix4* matrix)
{
    if (!matrix)
        return kNoDevice;
    world = *matrix;
    return gpu ? gpu->SetTransform(gpu::TransformKind::World, matrix->m) : kNoDevice;
}

GpuResult RenderDevice::SetViewTransform(const Matrix4* matrix)
{
    if (!matrix)
        return kNoDevice;
    view = *matrix;
    return gpu ? gpu->SetTransform(gpu::TransformKind::View, matrix->m) : kNoDevice;
}

GpuResult RenderDevice::SetProjectionTransform(const Matrix4* matrix)
{
    if (!matrix)
        return kNoDevice;
    projection = *matrix;
    return gpu ? gpu->SetTransform(gpu::TransformKind::Projection, matrix->m) : kNoDevice;
}

void RenderDevice::GetWorldTransform(Matrix4* out) { if (out) *out = world; }
void RenderDevice::GetViewTransform(Matrix4* out) { if (out) *out = view; }
void RenderDevice::GetProjectionTransform(Matrix4* out) { if (out) *out = projection; }

void RenderDevice::TransformPoint(Vector4* out, const Vector3* in)
{
    if (!out || !in)
        return;
    const Matrix4 all = world * view * projection;
    const Vector4 p = all.Transform(Vector4(*in, 1.0f));
    const float halfWidth = float(targetWidth) * 0.5f, halfHeight = float(targetHeight) * 0.5f;
    *out = Vector4(halfWidth * (p.x / p.w + 1.0f), halfHeight - (p.y / p.w) * halfHeight, p.z / p.w, p.w);
}

void RenderDevice::ProjectPoint(Vector3* out, const Vector3* in)
{
    if (!out || !in)
        return;
    Vector4 p;
    TransformPoint(&p, in);
    *out = Vector3(p.x, p.y, p.z / p.w);
}

int RenderDevice::SetViewport(int x, int y, int width, int height)
{
    if (!gpu) {
        SetError("Error setting viewport: %s", gpu::ResultName(gpu::ErrorInvalidCall));
        return -1;
    }
    gpu::Viewport vp{x, y, width, height, 0.0f, 1.0f};
    const gpu::Result result = gpu->SetViewport(vp);
    if (gpu::Failed(result)) {
        SetError("Error setting viewport: %s", gpu::ResultName(result));
        return -1;
    }
    viewportX = x;
    viewportY = y;
    viewportWidth = width;
    viewportHeight = height;
    return 1;
}

void RenderDevice::GetViewport(int* x, int* y, int* width, int* height)
{
    int vx = viewportX, vy = viewportY, vw = viewportWidth, vh = viewportHeight;
    if (gpu) {
        const gpu::Viewport& vp = gpu->GetViewport();
        vx = vp.x;
        vy = vp.y;
        vw = vp.width;
        vh = vp.height;
    }
    if (x) *x = vx;
    if (y) *y = vy;
    if (width) *width = vw;
    if (height) *height = vh;
}

GpuResult RenderDevice::SetDepthRange(float minZ, float maxZ)
{
    if (!gpu)
        return kNoDevice;
    gpu::Viewport vp = gpu->GetViewport();
    vp.minZ = minZ;
    vp.maxZ = maxZ;
    return gpu->SetViewport(vp);
}

GpuResult RenderDevice::SetViewport2D(int x, int y, int width, int height)
{
    if (!gpu || width <= 0 || height <= 0)
        return kNoDevice;
    const gpu::Viewport old = gpu->GetViewport();
    const gpu::Result result = gpu->SetViewport(gpu::Viewport{x, y, width, height, old.minZ, old.maxZ});
    if (gpu::Failed(result))
        return result;
    Matrix4 scale;
    scale(0, 0) = float(old.width) / float(width);
    scale(1, 1) = float(old.height) / float(height);
    scale(3, 0) = float(old.width - 2 * x - width) / float(width);
    scale(3, 1) = float(2 * y + height - old.height) / float(height);
    const Matrix4 adjusted = projection * scale;
    return SetProjectionTransform(&adjusted);
}

void RenderDevice::SetClearColor(std::uint32_t color) { clearColor = color; }
void RenderDevice::GetClearColor(std::uint32_t* out) { if (out) *out = clearColor; }

void RenderDevice::SetRenderTarget(D3DBitmap* target, D3DBitmap* depth)
{
    if (!gpu || target == renderTarget)
        return;
    auto* bitmap = static_cast<Bitmap*>(target);
    TextureRecord* record = bitmap ? bitmap->GetRecord() : nullptr;
    if (bitmap && (!record || (!record->surface && !record->texture)))
        return;
    if (record) {
        if (gpu::Failed(gpu->SetRenderTarget(record->surface, record->surface ? nullptr : record->texture)))
            return;
        targetWidth = int(record->width);
        targetHeight = int(record->height);
    } else {
        gpu::Surface* back = gpu->GetBackBuffer();
        gpu->SetRenderTarget(back, nullptr);
        targetWidth = back->GetWidth();
        targetHeight = back->GetHeight();
        back->Release();
    }
    renderTarget = target;
    auto* depthBitmap = static_cast<Bitmap*>(depth ? depth : depthBufferBitmap);
    TextureRecord* depthRecord = depthBitmap ? depthBitmap->GetRecord() : nullptr;
    gpu->SetDepthStencilSurface(depthRecord ? depthRecord->surface : nullptr);
    const gpu::Viewport& vp = gpu->GetViewport();
    viewportX = vp.x;
    viewportY = vp.y;
    viewportWidth = vp.width;
    viewportHeight = vp.height;
}

D3DBitmap* RenderDevice::GetRenderTarget() { return renderTarget; }
int RenderDevice::GetTargetWidth() { return targetWidth; }
int RenderDevice::GetTargetHeight() { return targetHeight; }

void RenderDevice::SetOverrideMaterial(Material* material) { overrideMaterial = material; }
Material* RenderDevice::GetMaterial() { return currentMaterial; }
Camera* RenderDevice::GetCamera() { return camera; }
void RenderDevice::SetCamera(Camera* newCamera) { camera = newCamera; }

namespace {

using namespace platform::gpu;

enum State : int {
    StateZEnable = RsZEnable,
    StateFillMode = RsFillMode,
    StateZWriteEnable = RsZWriteEnable,
    StateZFunc = RsZFunc,
    StateAlphaRef = RsAlphaRef,
    StateAlphaBlendEnable = RsAlphaBlendEnable,
    StateFogEnable = RsFogEnable,
    StateFogColor = RsFogColor,
    StateFogTableMode = RsFogTableMode,
    StateFogStart = RsFogStart,
    StateFogEnd = RsFogEnd,
    StateStencilEnable = RsStencilEnable,
    StateStencilFail = RsStencilFail,
    StateStencilZFail = RsStencilZFail,
    StateStencilPass = RsStencilPass,
    StateStencilFunc = RsStencilFunc,
    StateStencilRef = RsStencilRef,
    StateStencilMask = RsStencilMask,
    StateStencilWriteMask = RsStencilWriteMask,
    StateClipping = RsClipping,
    StateAmbient = RsAmbient,
    StateFogVertexMode = RsFogVertexMode,
    StateAntialiasedLineEnable = RsAntialiasedLineEnable,
    StateDepthBias = RsDepthBias,
};

std::uint32_t FloatBits(float value)
{
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof(bits));
    return bits;
}

} // namespace

#define LUMORA_STATE(state, value) (gpu ? gpu->SetRenderState(state, std::uint32_t(value)) : kNoDevice)

GpuResult RenderDevice::SetAlphaBlend(bool enable) { return LUMORA_STATE(StateAlphaBlendEnable, enable); }

GpuResult RenderDevice::SetZEnable(bool enable)
{
    zEnable = enable;
    return LUMORA_STATE(StateZEnable, enable);
}

bool RenderDevice::GetZEnable() { return zEnable; }

GpuResult RenderDevice::SetZWrite(bool enable)
{
    zWrite = enable;
    return LUMORA_STATE(StateZWriteEnable, enable);
}

bool RenderDevice::GetZWrite() { return zWrite; }
GpuResult RenderDevice::SetZFunc(int compareFunc) { return LUMORA_STATE(StateZFunc, compareFunc); }
GpuResult RenderDevice::SetFillMode(int fillMode) { return LUMORA_STATE(StateFillMode, fillMode); }

void RenderDevice::SetAntialiasedLines(bool enable)
{
    if (antialiasedLinesSupported)
        LUMORA_STATE(StateAntialiasedLineEnable, enable);
}

GpuResult RenderDevice::SetStencilEnable(bool enable) { return LUMORA_STATE(StateStencilEnable, enable); }
GpuResult RenderDevice::SetStencilFunc(int compareFunc) { return LUMORA_STATE(StateStencilFunc, compareFunc); }
GpuResult RenderDevice::SetStencilRef(std::uint32_t value) { return LUMORA_STATE(StateStencilRef, value); }
GpuResult RenderDevice::SetStencilMask(std::uint32_t mask) { return LUMORA_STATE(StateStencilMask, mask); }
GpuResult RenderDevice::SetStencilWriteMask(std::uint32_t mask) { return LUMORA_STATE(StateStencilWriteMask, mask); }
GpuResult RenderDevice::SetStencilZFail(int op) { return LUMORA_STATE(StateStencilZFail, op); }
GpuResult RenderDevice::SetStencilFail(int op) { return LUMORA_STATE(StateStencilFail, op); }
GpuResult RenderDevice::SetStencilPass(int op) { return LUMORA_STATE(StateStencilPass, op); }

void RenderDevice::SetAlphaRef(int reference)
{
    alphaRef = reference & 0xFF;
    LUMORA_STATE(StateAlphaRef, alphaRef);
}

int RenderDevice::GetAlphaRef() { return alphaRef; }

GpuResult RenderDevice::SetClipping(bool enable)
{
    clipping = enable;
    return LUMORA_STATE(StateClipping, enable);
}

bool RenderDevice::GetClipping()
{
    return gpu ? gpu->GetRenderState(StateClipping) != 0 : clipping;
}

GpuResult RenderDevice::SetDepthBias(float bias) { return LUMORA_STATE(StateDepthBias, FloatBits(bias)); }
GpuResult RenderDevice::SetMipBias(float bias)
{
    if (!gpu)
        return kNoDevice;
    for (int sampler = 0; sampler < 3; ++sampler)
        gpu->SetSamplerState(sampler, gpu::SamplerState::MipLodBias, FloatBits(bias));
    return gpu::Ok;
}

GpuResult RenderDevice::SetAmbient(std::uint32_t color)
{
    ambientColor = color;
    return LUMORA_STATE(StateAmbient, color);
}

void RenderDevice::GetAmbient(std::uint32_t* out) { if (out) *out = ambientColor; }

GpuResult RenderDevice::SetFogEnable(bool enable)
{
    fogEnable = enable;
    return LUMORA_STATE(StateFogEnable, enable);
}

bool RenderDevice::GetFogEnable()
{
    return gpu ? gpu->GetRenderState(StateFogEnable) != 0 : fogEnable;
}

GpuResult RenderDevice::SetFogColor(std::uint32_t color)
{
    fogColor = color;
    return LUMORA_STATE(StateFogColor, color);
}

void RenderDevice::GetFogColor(std::uint32_t* out) { if (out) *out = fogColor; }
GpuResult RenderDevice::SetFogStart(float start) { return LUMORA_STATE(StateFogStart, FloatBits(start)); }
GpuResult RenderDevice::SetFogEnd(float end) { return LUMORA_STATE(StateFogEnd, FloatBits(end)); }

GpuResult RenderDevice::SetFogMode(int mode)
{
    constexpr std::uint32_t kFogNone = 0, kFogLinear = 3;
    if (mode == 2 && !tableFogSupported)
        mode = 1;
    fogMode = mode;
    if (!gpu)
        return kNoDevice;
    gpu->SetRenderState(StateFogVertexMode, mode == 1 ? kFogLinear : kFogNone);
    return gpu->SetRenderState(StateFogTableMode, mode == 2 ? kFogLinear : kFogNone);
}

int RenderDevice::GetFogMode() { return fogMode; }

void RenderDevice::SetFilter(int newFilter, int which)
{
    const gpu::Capabilities& caps = gpu ? gpu->GetCapabilities() : GetCurrentCapabilities();
    // Falls back from anisotropic to linear to point as far as the device needs.
    auto choose = [](int wanted, bool linear, bool anisotropic) {
        if (wanted >= 2 && !anisotropic)
            wanted = 1;
        if (wanted == 1 && !linear)
            wanted = 0;
        return std::clamp(wanted, 0, 2);
    };
    int chosen = newFilter;
    if (which == 0 || which == 2)
        chosen = choose(newFilter, caps.minLinear, caps.minAnisotropic);
    const int minFilter = chosen;
    if (which == 1 || which == 2)
        chosen = choose(newFilter, caps.magLinear, caps.magAnisotropic);
    filter = chosen;
    if (!gpu)
        return;
    for (int sampler = 0; sampler < 4; ++sampler) {
        if (which == 0 || which == 2)
            gpu->SetSamplerState(sampler, gpu::SamplerState::MinFilter, std::uint32_t(minFilter + 1));
        if (which == 1 || which == 2)
            gpu->SetSamplerState(sampler, gpu::SamplerState::MagFilter, std::uint32_t(chosen + 1));
    }
}

int RenderDevice::GetFilter() { return filter; }

GpuResult RenderDevice::SetMipFilter(int mode)
{
    const gpu::Capabilities& caps = gpu ? gpu->GetCapabilities() : GetCurrentCapabilities();
    if (mode == 2 && !caps.mipLinear)
        mode = 1;
    if (mode == 1 && !caps.mipPoint)
        mode = 0;
    mipFilter = mode;
    if (!gpu)
        return kNoDevice;
    for (int sampler = 0; sampler < 4; ++sampler)
        gpu->SetSamplerState(sampler, gpu::SamplerState::MipFilter, std::uint32_t(mode));
    return gpu::Ok;
}

int RenderDevice::GetMipFilter() { return mipFilter; }
void RenderDevice::SetTextureCompression(bool enable) { textureCompression = enable; }
bool RenderDevice::GetTextureCompression() { return textureCompression; }
void RenderDevice::Nop() {}
void RenderDevice::SetUserValue(std::int32_t value) { userValue = value; }

#undef LUMORA_STATE

void RenderDevice::CreatePrim(D3DPrim** out)
{
    if (out)
        *out = new Prim();
}

D3DBitmap* RenderDevice::CreateBitmap(D3DBitmap** out)
{
    D3DBitmap* bitmap = new Bitmap(0);
    if (out)
        *out = bitmap;
    return bitmap;
}

D3DBitmap* RenderDevice::CreateRenderTargetBitmap(D3DBitmap** out)
{
    D3DBitmap* bitmap = new Bitmap(BitmapSurface);
    if (out)
        *out = bitmap;
    return bitmap;
}

D3DLight* RenderDevice::CreateLight(D3DLight** out)
{
    D3DLight* light = new Light();
    if (out)
        *out = light;
    return light;
}

int RenderDevice::GetMaxActiveLights()
{
    return gpu ? maxActiveLights : 0;
}

void RenderDevice::EnableLights(bool on)
{
    if (!gpu)
        return;
    for (void* item : Library().lights) {
        auto* light = static_cast<Light*>(item);
        if (light->GetIndex() >= 0)
            gpu->EnableLight(light->GetIndex(), on && light->IsEnabled());
    }
}
