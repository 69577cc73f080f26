#pragma once

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "engine/core/Matrix.h"
#include "engine/material/Material.h"
#include "engine/material/VertexLayout.h"
#include "renderer/Device.h"

// A device that passes every call to the real one and writes down the draws, with the state the
// drawing code had set at the time, so tests can check what meshes, sprites and fonts submit.
class RecordingDevice final : public Device {
public:
    struct UserDraw {
        int primitiveType = 0;
        std::vector<std::uint8_t> vertices;
        int vertexCount = 0;
        VertexLayout layout;
        std::vector<std::uint16_t> indices;
        Material* material = nullptr;
        bool zWrite = false;
        bool fog = false;
        bool sortQueue = false;
        Matrix4 world, view, projection;

        // One float (or colour) of vertex i at the byte offset.
        float Float(int i, int offset) const
        {
            float value;
            std::memcpy(&value, vertices.data() + std::size_t(i) * std::size_t(layout.vertexSize) + std::size_t(offset), 4);
            return value;
        }
        std::uint32_t Word(int i, int offset) const
        {
            std::uint32_t value;
            std::memcpy(&value, vertices.data() + std::size_t(i) * std::size_t(layout.vertexSize) + std::size_t(offset), 4);
            return value;
        }
    };
    struct PrimDraw {
        D3DPrim* prim = nullptr;
        bool clipping = false;
        Matrix4 world;
    };

    explicit RecordingDevice(Device* inner) : inner(inner) {}

    std::vector<UserDraw> userDraws;
    std::vector<PrimDraw> primDraws;
    std::vector<bool> clippingCalls;
    std::vector<std::pair<int, int>> filterCalls;
    // A frame clock of the test's own for code stepped by frames; -1 passes the device's values.
    int frameTime = -1;
    int frameCount = -1;
    // The pixel shader version to report; -1 passes the device's.
    float pixelShaderVersion = -1.0f;

    bool DrawPrim(D3DPrim* prim) override
    {
        Matrix4 world;
        inner->GetWorldTransform(&world);
        primDraws.push_back(PrimDraw{prim, inner->GetClipping(), world});
        return inner->DrawPrim(prim);
    }
    void DrawUserPrimitives(int primitiveType, const void* vertices, int vertexCount, const VertexLayout* layout,
                            const std::uint16_t* indices, int indexCount, Material* material) override
    {
        UserDraw draw;
        draw.primitiveType = primitiveType;
        draw.vertexCount = vertexCount;
        if (layout)
            draw.layout = *layout;
        if (vertices && layout && vertexCount > 0) {
            const auto* bytes = static_cast<const std::uint8_t*>(vertices);
            draw.vertices.assign(bytes, bytes + std::size_t(vertexCount) * std::size_t(layout->vertexSize));
        }
        if (indices && indexCount > 0)
            draw.indices.assign(indices, indices + indexCount);
        draw.material = material;
        draw.zWrite = inner->GetZWrite();
        draw.fog = inner->GetFogEnable();
        draw.sortQueue = inner->IsSortQueueEnabled();
        inner->GetWorldTransform(&draw.world);
        inner->GetViewTransform(&draw.view);
        inner->GetProjectionTransform(&draw.projection);
        userDraws.push_back(std::move(draw));
        inner->DrawUserPrimitives(primitiveType, vertices, vertexCount, layout, indices, indexCount, material);
    }
    GpuResult SetClipping(bool enable) override
    {
        clippingCalls.push_back(enable);
        return inner->SetClipping(enable);
    }
    void SetFilter(int filter, int which) override
    {
        filterCalls.emplace_back(filter, which);
        inner->SetFilter(filter, which);
    }

    int GetDeviceCount() override { return inner->GetDeviceCount(); }
    int GetDeviceInfo(int entry, DeviceInfo* out) override { return inner->GetDeviceInfo(entry, out); }
    int ChooseDefaultDevice() override { return inner->ChooseDefaultDevice(); }
    int GetModeCount(int entry) override { return inner->GetModeCount(entry); }
    void GetModeInfo(int entry, int mode, ModeInfo* out) override { inner->GetModeInfo(entry, mode, out); }
    int GetCurrentDevice() override { return inner->GetCurrentDevice(); }
    bool IsModeAvailable(int entry, int width, int height, int bitsPerPixel) override { return inner->IsModeAvailable(entry, width, height, bitsPerPixel); }
    int CreateFullScreen(int width, int height, int bitsPerPixel, int entry) override { return inner->CreateFullScreen(width, height, bitsPerPixel, entry); }
    int CreateWindowed(WindowHandle window, int entry) override { return inner->CreateWindowed(window, entry); }
    void Shutdown() override { inner->Shutdown(); }
    int ChangeResolutionWindowed(WindowHandle window, int entry) override { return inner->ChangeResolutionWindowed(window, entry); }
    int ChangeResolution(int width, int height, int bitsPerPixel, int entry) override { return inner->ChangeResolution(width, height, bitsPerPixel, entry); }
    void GetCurrentMode(ModeInfo* out) override { inner->GetCurrentMode(out); }
    int BeginFrame(bool clear, bool countFrame) override { return inner->BeginFrame(clear, countFrame); }
    int EndFrame(bool present, bool flushQueue) override { return inner->EndFrame(present, flushQueue); }
    GpuResult Clear(bool target, bool depth, bool stencil, const float* rect) override { return inner->Clear(target, depth, stencil, rect); }
    GpuResult ClearZBuffer() override { return inner->ClearZBuffer(); }
    void FlushSortQueue() override { inner->FlushSortQueue(); }
    void SetSortQueueEnabled(bool enabled) override { inner->SetSortQueueEnabled(enabled); }
    bool IsSortQueueEnabled() override { return inner->IsSortQueueEnabled(); }
    void SetQueueAll(bool queueAll) override { inner->SetQueueAll(queueAll); }
    void SetSortDepth(float depth) override { inner->SetSortDepth(depth); }
    GpuResult SetWorldTransform(const Matrix4* matrix) override { return inner->SetWorldTransform(matrix); }
    GpuResult SetViewTransform(const Matrix4* matrix) override { return inner->SetViewTransform(matrix); }
    GpuResult SetProjectionTransform(const Matrix4* matrix) override { return inner->SetProjectionTransform(matrix); }
    void GetWorldTransform(Matrix4* out) override { inner->GetWorldTransform(out); }
    void GetViewTransform(Matrix4* out) override { inner->GetViewTransform(out); }
    void GetProjectionTransform(Matrix4* out) override { inner->GetProjectionTransform(out); }
    void ProjectPoint(Vector3* out, const Vector3* in) override { inner->ProjectPoint(out, in); }
    void TransformPoint(Vector4* out, const Vector3* in) override { inner->TransformPoint(out, in); }
    void SetMaterial(const Material* material) override { inner->SetMaterial(material); }
    void SetOverrideMaterial(Material* material) override { inner->SetOverrideMaterial(material); }
    Material* GetMaterial() override { return inner->GetMaterial(); }
    Camera* GetCamera() override { return inner->GetCamera(); }
    void SetCamera(Camera* camera) override { inner->SetCamera(camera); }
    GpuResult SetAlphaBlend(bool enable) override { return inner->SetAlphaBlend(enable); }
    GpuResult SetZEnable(bool enable) override { return inner->SetZEnable(enable); }
    bool GetZEnable() override { return inner->GetZEnable(); }
    GpuResult SetZWrite(bool enable) override { return inner->SetZWrite(enable); }
    bool GetZWrite() override { return inner->GetZWrite(); }
    GpuResult SetZFunc(int compareFunc) override { return inner->SetZFunc(compareFunc); }
    int SetViewport(int x, int y, int width, int height) override { return inner->SetViewport(x, y, width, height); }
    GpuResult SetViewport2D(int x, int y, int width, int height) override { return inner->SetViewport2D(x, y, width, height); }
    void GetViewport(int* x, int* y, int* width, int* height) override { inner->GetViewport(x, y, width, height); }
    void SetClearColor(std::uint32_t color) override { inner->SetClearColor(color); }
    void GetClearColor(std::uint32_t* out) override { inner->GetClearColor(out); }
    GpuResult SetFillMode(int fillMode) override { return inner->SetFillMode(fillMode); }
    void SetRenderTarget(D3DBitmap* target, D3DBitmap* depth) override { inner->SetRenderTarget(target, depth); }
    D3DBitmap* GetRenderTarget() override { return inner->GetRenderTarget(); }
    void SetAntialiasedLines(bool enable) override { inner->SetAntialiasedLines(enable); }
    int GetStencilBits() override { return inner->GetStencilBits(); }
    GpuResult SetStencilEnable(bool enable) override { return inner->SetStencilEnable(enable); }
    GpuResult SetStencilFunc(int compareFunc) override { return inner->SetStencilFunc(compareFunc); }
    GpuResult SetStencilRef(std::uint32_t value) override { return inner->SetStencilRef(value); }
    GpuResult SetStencilMask(std::uint32_t mask) override { return inner->SetStencilMask(mask); }
    GpuResult SetStencilWriteMask(std::uint32_t mask) override { return inner->SetStencilWriteMask(mask); }
    GpuResult SetStencilZFail(int stencilOp) override { return inner->SetStencilZFail(stencilOp); }
    GpuResult SetStencilFail(int stencilOp) override { return inner->SetStencilFail(stencilOp); }
    GpuResult SetStencilPass(int stencilOp) override { return inner->SetStencilPass(stencilOp); }
    void GetGammaRamp(std::uint16_t* red, std::uint16_t* green, std::uint16_t* blue) override { inner->GetGammaRamp(red, green, blue); }
    void SetGammaRamp(const std::uint16_t* red, const std::uint16_t* green, const std::uint16_t* blue) override { inner->SetGammaRamp(red, green, blue); }
    int GetMaxMultisamples() override { return inner->GetMaxMultisamples(); }
    int SetMultisamples(int quality) override { return inner->SetMultisamples(quality); }
    int GetMultisamples() override { return inner->GetMultisamples(); }
    D3DLight* CreateLight(D3DLight** out) override { return inner->CreateLight(out); }
    int GetMaxActiveLights() override { return inner->GetMaxActiveLights(); }
    GpuResult SetAmbient(std::uint32_t color) override { return inner->SetAmbient(color); }
    void GetAmbient(std::uint32_t* out) override { inner->GetAmbient(out); }
    void EnableLights(bool on) override { inner->EnableLights(on); }
    GpuResult SetFogEnable(bool enable) override { return inner->SetFogEnable(enable); }
    bool GetFogEnable() override { return inner->GetFogEnable(); }
    GpuResult SetFogColor(std::uint32_t color) override { return inner->SetFogColor(color); }
    void GetFogColor(std::uint32_t* out) override { inner->GetFogColor(out); }
    GpuResult SetFogStart(float start) override { return inner->SetFogStart(start); }
    GpuResult SetFogEnd(float end) override { return inner->SetFogEnd(end); }
    GpuResult SetFogMode(int mode) override { return inner->SetFogMode(mode); }
    int GetFogMode() override { return inner->GetFogMode(); }
    void CreatePrim(D3DPrim** out) override { inner->CreatePrim(out); }
    D3DBitmap* CreateRenderTargetBitmap(D3DBitmap** out) override { return inner->CreateRenderTargetBitmap(out); }
    D3DBitmap* CreateBitmap(D3DBitmap** out) override { return inner->CreateBitmap(out); }
    void SetTexture(D3DBitmap* bitmap, int stage) override { inner->SetTexture(bitmap, stage); }
    void Nop() override { inner->Nop(); }
    int GetFilter() override { return inner->GetFilter(); }
    GpuResult SetMipFilter(int mode) override { return inner->SetMipFilter(mode); }
    int GetMipFilter() override { return inner->GetMipFilter(); }
    GpuResult SetMipBias(float bias) override { return inner->SetMipBias(bias); }
    void SetAlphaRef(int reference) override { inner->SetAlphaRef(reference); }
    int GetAlphaRef() override { return inner->GetAlphaRef(); }
    bool IsTextureFormatSupported(int format, bool renderTarget) override { return inner->IsTextureFormatSupported(format, renderTarget); }
    int GetNearestTextureFormat(int format) override { return inner->GetNearestTextureFormat(format); }
    void SetTextureCompression(bool enable) override { inner->SetTextureCompression(enable); }
    bool GetTextureCompression() override { return inner->GetTextureCompression(); }
    void RegisterEffect(EffectFactory factory, const char* name) override { inner->RegisterEffect(factory, name); }
    void UnregisterEffect(const char* name) override { inner->UnregisterEffect(name); }
    void AttachEffect(const char* line) override { inner->AttachEffect(line); }
    void RemoveEffect(const char* line) override { inner->RemoveEffect(line); }
    Effect* CreateEffect(const char* line, Effect** out) override { return inner->CreateEffect(line, out); }
    void FreeEffect(Effect** effect) override { inner->FreeEffect(effect); }
    void SetEffectParam(const char* name, int index, float value) override { inner->SetEffectParam(name, index, value); }
    int GetTargetWidth() override { return inner->GetTargetWidth(); }
    int GetTargetHeight() override { return inner->GetTargetHeight(); }
    bool IsHardwareDevice() override { return inner->IsHardwareDevice(); }
    bool IsHardwareVertexProcessing() override { return inner->IsHardwareVertexProcessing(); }
    int GetMaxTextureStages() override { return inner->GetMaxTextureStages(); }
    void ResetStats() override { inner->ResetStats(); }
    int GetFramesPerSecond() override { return inner->GetFramesPerSecond(); }
    int GetFrameTime() override { return frameTime >= 0 ? frameTime : inner->GetFrameTime(); }
    int GetFrameCount() override { return frameCount >= 0 ? frameCount : inner->GetFrameCount(); }
    int GetTriangleCount() override { return inner->GetTriangleCount(); }
    int GetDrawCount() override { return inner->GetDrawCount(); }
    int GetSortedTriangleCount() override { return inner->GetSortedTriangleCount(); }
    std::uint64_t GetAvailablePhysicalMemory() override { return inner->GetAvailablePhysicalMemory(); }
    std::uint64_t GetTotalPhysicalMemory() override { return inner->GetTotalPhysicalMemory(); }
    std::uint64_t GetAvailableTextureMemory() override { return inner->GetAvailableTextureMemory(); }
    std::uint64_t GetTotalVideoMemory() override { return inner->GetTotalVideoMemory(); }
    float GetPixelShaderVersion() override
    {
        return pixelShaderVersion >= 0.0f ? pixelShaderVersion : inner->GetPixelShaderVersion();
    }
    float GetVertexShaderVersion() override { return inner->GetVertexShaderVersion(); }
    D3DBitmap* GetBackBuffer() override { return inner->GetBackBuffer(); }
    int CopyFrontBuffer(D3DBitmap* destination) override { return inner->CopyFrontBuffer(destination); }
    D3DBitmap* GetDepthBuffer() override { return inner->GetDepthBuffer(); }
    bool GetClipping() override { return inner->GetClipping(); }
    GpuResult SetDepthBias(float bias) override { return inner->SetDepthBias(bias); }
    GpuResult SetDepthRange(float minZ, float maxZ) override { return inner->SetDepthRange(minZ, maxZ); }
    void DrawText(int x, int y, const char* format, ...) override
    {
        char text[4096];
        std::va_list list;
        va_start(list, format);
        std::vsnprintf(text, sizeof(text), format, list);
        va_end(list);
        inner->DrawText(x, y, "%s", text);
    }
    void SetUserValue(std::int32_t value) override { inner->SetUserValue(value); }
    int GetTime() override { return inner->GetTime(); }
    WindowHandle GetWindow() override { return inner->GetWindow(); }
    const char* GetLastError() override { return inner->GetLastError(); }
    void SetError(const char* format, ...) override
    {
        char text[4096];
        std::va_list list;
        va_start(list, format);
        std::vsnprintf(text, sizeof(text), format, list);
        va_end(list);
        inner->SetError("%s", text);
    }
    void Log(const char* format, ...) override
    {
        char text[4096];
        std::va_list list;
        va_start(list, format);
        std::vsnprintf(text, sizeof(text), format, list);
        va_end(list);
        inner->Log("%s", text);
    }

private:
    Device* inner;
};
