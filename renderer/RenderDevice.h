#pragma once

#include <cstdio>
#include <memory>
#include <vector>

#include "engine/core/Matrix.h"
#include "engine/core/PtrList.h"
#include "engine/core/Vector.h"
#include "engine/material/Material.h"
#include "engine/material/VertexLayout.h"
#include "platform/gpu/GpuTypes.h"
#include "renderer/Device.h"
#include "renderer/DrawCall.h"
#include "renderer/ErrorText.h"

namespace platform::gpu {
class System;
class GraphicsDevice;
class Buffer;
struct PresentParameters;
}
namespace platform::os {
class Window;
}
class Prim;

// The library's Device: display modes and device creation, frames and states, the effect
// registry and the factories of bitmaps, prims and lights.
class RenderDevice final : public Device {
public:
    static constexpr int kMaxAdapters = 10;
    static constexpr int kMaxModes = 150;
    static constexpr int kVertexPoolSize = 61440;
    static constexpr int kMaxQueuedTriangles = 0x4FFF;
    static constexpr int kEffectNameSize = 32;
    static constexpr int kEffectParameters = 256;

    // Vertex processing of a device mode.
    enum Behaviour : std::uint32_t { SoftwareVertexProcessing = 0x20, HardwareVertexProcessing = 0x40 };

    struct DeviceMode {
        int width = 0;
        int height = 0;
        int format = 0;
        std::uint32_t behaviour = 0;
        int depthFormat = 0;
    };
    struct DeviceEntry {
        platform::gpu::DeviceType type = platform::gpu::DeviceType::Hardware;
        platform::gpu::Capabilities capabilities;
        char name[8] = {};
        int modeCount = 0;
        DeviceMode modes[kMaxModes];
    };
    struct AdapterRecord {
        int ordinal = 0;
        platform::gpu::AdapterIdentifier identifier;
        platform::gpu::DisplayMode desktopMode;
        int entryCount = 0;
        DeviceEntry entries[2];
    };

    // Throws q3DError when no display device can be used.
    RenderDevice();
    ~RenderDevice() override;

    // Device
    int GetDeviceCount() override;
    int GetDeviceInfo(int entry, DeviceInfo* out) override;
    int ChooseDefaultDevice() override;
    int GetModeCount(int entry) override;
    void GetModeInfo(int entry, int mode, ModeInfo* out) override;
    int GetCurrentDevice() override;
    bool IsModeAvailable(int entry, int width, int height, int bitsPerPixel) override;
    int CreateFullScreen(int width, int height, int bitsPerPixel, int entry) override;
    int CreateWindowed(WindowHandle window, int entry) override;
    void Shutdown() override;
    int ChangeResolutionWindowed(WindowHandle window, int entry) override;
    int ChangeResolution(int width, int height, int bitsPerPixel, int entry) override;
    void GetCurrentMode(ModeInfo* out) override;
    int BeginFrame(bool clear, bool countFrame) override;
    int EndFrame(bool present, bool flushQueue) override;
    GpuResult Clear(bool target, bool depth, bool stencil, const float* rect) override;
    GpuResult ClearZBuffer() override;
    void FlushSortQueue() override;
    void SetSortQueueEnabled(bool enabled) override;
    bool IsSortQueueEnabled() override;
    void SetQueueAll(bool queueAll) override;
    void SetSortDepth(float depth) override;
    GpuResult SetWorldTransform(const Matrix4* matrix) override;
    GpuResult SetViewTransform(const Matrix4* matrix) override;
    GpuResult SetProjectionTransform(const Matrix4* matrix) override;
    void GetWorldTransform(Matrix4* out) override;
    void GetViewTransform(Matrix4* out) override;
    void GetProjectionTransform(Matrix4* out) override;
    void ProjectPoint(Vector3* out, const Vector3* in) override;
    void TransformPoint(Vector4* out, const Vector3* in) override;
    void SetMaterial(const Material* material) override;
    void SetOverrideMaterial(Material* material) override;
    Material* GetMaterial() override;
    Camera* GetCamera() override;
    void SetCamera(Camera* camera) override;
    GpuResult SetAlphaBlend(bool enable) override;
    GpuResult SetZEnable(bool enable) override;
    bool GetZEnable() override;
    GpuResult SetZWrite(bool enable) override;
    bool GetZWrite() override;
    GpuResult SetZFunc(int compareFunc) override;
    int SetViewport(int x, int y, int width, int height) override;
    GpuResult SetViewport2D(int x, int y, int width, int height) override;
    void GetViewport(int* x, int* y, int* width, int* height) override;
    void SetClearColor(std::uint32_t color) override;
    void GetClearColor(std::uint32_t* out) override;
    GpuResult SetFillMode(int fillMode) override;
    void SetRenderTarget(D3DBitmap* target, D3DBitmap* depth) override;
    D3DBitmap* GetRenderTarget() override;
    void SetAntialiasedLines(bool enable) override;
    int GetStencilBits() override;
    GpuResult SetStencilEnable(bool enable) override;
    GpuResult SetStencilFunc(int compareFunc) override;
    GpuResult SetStencilRef(std::uint32_t value) override;
    GpuResult SetStencilMask(std::uint32_t mask) override;
    GpuResult SetStencilWriteMask(std::uint32_t mask) override;
    GpuResult SetStencilZFail(int stencilOp) override;
    GpuResult SetStencilFail(int stencilOp) override;
    GpuResult SetStencilPass(int stencilOp) override;
    void GetGammaRamp(std::uint16_t* red, std::uint16_t* green, std::uint16_t* blue) override;
    void SetGammaRamp(const std::uint16_t* red, const std::uint16_t* green, const std::uint16_t* blue) override;
    int GetMaxMultisamples() override;
    int SetMultisamples(int quality) override;
    int GetMultisamples() override;
    D3DLight* CreateLight(D3DLight** out) override;
    int GetMaxActiveLights() override;
    GpuResult SetAmbient(std::uint32_t color) override;
    void GetAmbient(std::uint32_t* out) override;
    void EnableLights(bool on) override;
    GpuResult SetFogEnable(bool enable) override;
    bool GetFogEnable() override;
    GpuResult SetFogColor(std::uint32_t color) override;
    void GetFogColor(std::uint32_t* out) override;
    GpuResult SetFogStart(float start) override;
    GpuResult SetFogEnd(float end) override;
    GpuResult SetFogMode(int mode) override;
    int GetFogMode() override;
    void CreatePrim(D3DPrim** out) override;
    bool DrawPrim(D3DPrim* prim) override;
    void DrawUserPrimitives(int primitiveType, const void* vertices, int vertexCount, const VertexLayout* layout,
                            const std::uint16_t* indices, int indexCount, Material* material) override;
    D3DBitmap* CreateRenderTargetBitmap(D3DBitmap** out) override;
    D3DBitmap* CreateBitmap(D3DBitmap** out) override;
    void SetTexture(D3DBitmap* bitmap, int stage) override;
    void Nop() override;
    void SetFilter(int filter, int which) override;
    int GetFilter() override;
    GpuResult SetMipFilter(int mode) override;
    int GetMipFilter() override;
    GpuResult SetMipBias(float bias) override;
    void SetAlphaRef(int reference) override;
    int GetAlphaRef() override;
    bool IsTextureFormatSupported(int format, bool renderTarget) override;
    int GetNearestTextureFormat(int format) override;
    void SetTextureCompression(bool enable) override;
    bool GetTextureCompression() override;
    void RegisterEffect(EffectFactory factory, const char* name) override;
    void UnregisterEffect(const char* name) override;
    void AttachEffect(const char* line) override;
    void RemoveEffect(const char* line) override;
    Effect* CreateEffect(const char* line, Effect** out) override;
    void FreeEffect(Effect** effect) override;
    void SetEffectParam(const char* name, int index, float value) override;
    int GetTargetWidth() override;
    int GetTargetHeight() override;
    bool IsHardwareDevice() override;
    bool IsHardwareVertexProcessing() override;
    int GetMaxTextureStages() override;
    void ResetStats() override;
    int GetFramesPerSecond() override;
    int GetFrameTime() override;
    int GetFrameCount() override;
    int GetTriangleCount() override;
    int GetDrawCount() override;
    int GetSortedTriangleCount() override;
    std::uint64_t GetAvailablePhysicalMemory() override;
    std::uint64_t GetTotalPhysicalMemory() override;
    std::uint64_t GetAvailableTextureMemory() override;
    std::uint64_t GetTotalVideoMemory() override;
    float GetPixelShaderVersion() override;
    float GetVertexShaderVersion() override;
    D3DBitmap* GetBackBuffer() override;
    int CopyFrontBuffer(D3DBitmap* destination) override;
    D3DBitmap* GetDepthBuffer() override;
    GpuResult SetClipping(bool enable) override;
    bool GetClipping() override;
    GpuResult SetDepthBias(float bias) override;
    GpuResult SetDepthRange(float minZ, float maxZ) override;
    void DrawText(int x, int y, const char* format, ...) override LUMORA_PRINTF(4, 5);
    void SetUserValue(std::int32_t value) override;
    int GetTime() override;
    WindowHandle GetWindow() override;
    const char* GetLastError() override;
    void SetError(const char* format, ...) override LUMORA_PRINTF(2, 3);
    void Log(const char* format, ...) override LUMORA_PRINTF(2, 3);

    // For the library's own objects.
    platform::gpu::System& GetSystem() { return *system; }
    const platform::gpu::Capabilities& GetCurrentCapabilities() const;
    int GetDepthStencilFormat() const { return currentMode.depthFormat; }
    bool IsWindowed() const { return windowed; }
    bool IsRendering() const { return rendering; }
    platform::gpu::GraphicsDevice* Gpu() const { return gpu.get(); }
    // Effects that generate a stage's texture coordinates hold that stage's coordinate index
    // until they clear it, so that applying a material in between keeps it.
    void SetEffectTexCoordIndex(int stage, std::uint32_t value);
    void ClearEffectTexCoordIndex(int stage, std::uint32_t value);

private:
    struct RegistryEntry {
        char name[kEffectNameSize + 1] = {}; // at most 32 characters, always terminated
        EffectFactory factory = nullptr;
        float* parameters = nullptr;
    };

    static int TimeNow();
    void Enumerate();
    bool FindEntry(int entry, int& adapter, int& index) const;
    DeviceEntry* Entry(int entry);
    int ChooseFullScreenEntry(int width, int height, int bitsPerPixel, int entry);
    int ChooseWindowedEntry(int entry);
    const DeviceMode* FindMode(int entry, int width, int height, int bitsPerPixel);
    // Takes a chosen entry into use: its description (logged) and its adapter; with desktopMode the
    // current mode becomes the adapter's desktop mode (windowed devices). False when the desktop
    // mode cannot be read.
    bool UseEntry(int entry, bool desktopMode);
    platform::gpu::PresentParameters PresentParametersFor(WindowHandle target, int width, int height,
                                                          bool windowedTarget) const;
    bool EnsureDevice();
    int Initialise();
    void ReleaseResourcesForReset();
    int RestoreResourcesAfterReset();
    bool MakeBufferBitmaps();
    void ReleaseBufferBitmaps();
    // Shut-down: releases every shader on the list and empties it, logging those still referenced.
    void ReleaseShaders(PtrList& shaders, const char* kind);
    RegistryEntry* FindRegistryEntry(const char* name, bool ignoreCase);
    void WriteLogLine(const char* text);
    // Multiply, add and alpha blends of the three internal materials.
    void SetInternalMaterialBlends();

    std::FILE* logFile = nullptr;
    ErrorText lastError;
    Matrix4 world, view, projection;
    std::uint32_t fogColor = 0, clearColor = 0, ambientColor = 0;
    std::int32_t userValue = 0;
    platform::os::Window* window = nullptr;
    std::unique_ptr<platform::os::Window> ownWindow;
    std::unique_ptr<platform::gpu::System> system;
    std::unique_ptr<platform::gpu::GraphicsDevice> gpu;
    AdapterRecord adapters[kMaxAdapters];
    int adapterCount = 0;
    int currentEntry = -1;
    DeviceInfo currentInfo{};
    int adapterInUse = -1;
    DeviceMode currentMode;
    int frameTime = 0, frameCount = 0, framesPerSecond = 0, lastFrameStart = 0;
    int rateUpdateTime = 0, rateUpdateFrames = 0;
    int triangleCount = 0, drawCount = 0, sortedTriangleCount = 0, queueCount = 0;
    int stencilBits = 0;
    bool hardwareDevice = false, hardwareVertexProcessing = false;
    int maxTextureStages = 1;
    bool sortQueueEnabled = true;
    bool queueAll = false;
    float sortDepth = 3.4e38f;
    bool gammaSupported = false, antialiasedLinesSupported = false, tableFogSupported = false;
    bool alphaTest = false;
    bool windowed = false;
    bool deviceLost = false;
    bool rendering = false;
    bool textureCompression = true;
    int multisampleQuality = 0;
    float pixelShaderVersion = 0.0f, vertexShaderVersion = 0.0f;
    D3DBitmap* renderTarget = nullptr;
    D3DBitmap* backBufferBitmap = nullptr;
    D3DBitmap* depthBufferBitmap = nullptr;
    std::uint64_t totalVideoMemory = 0;
    Material internalMaterials[3];
    D3DPrim* descriptor = nullptr;
    PtrListOf<RegistryEntry> registry;
    PtrListOf<Effect> effects;
    platform::gpu::Buffer* queueVertices = nullptr;
    platform::gpu::Buffer* queueIndices = nullptr;

    // The sort queue (DeviceDraw.cpp).
    struct QueuedTriangle {
        Material* material = nullptr;
        float depth = 0.0f;
        std::uint16_t index[3] = {};
        bool fog = false;
        std::int32_t filter = 0;
        std::int32_t srcBlend = 0, destBlend = 0;
    };
    bool DrawNow(const DrawCall& call, Material* material);
    // Returns false when the draw was not taken and should be drawn at once instead.
    bool Enqueue(const DrawCall& call, Material* material, bool makeCurrent);
    bool GoesToQueue(const DrawCall& call, const Material* material, std::uint32_t primFlags) const;
    void ApplyEffects(Material* material, D3DBitmap* kept[2], bool apply);
    void BindMaterialTextures(const Material* material);
    // key: Prim::FormatKey of the layout.
    void SetVertexFormat(const VertexLayout& layout, std::uint64_t key);
    void SetStageZeroOps(bool textured);
    void SetBlend(std::int32_t source, std::int32_t destination);
    Vector3 EyePosition() const;
    std::vector<QueuedTriangle> queue;
    std::vector<std::uint8_t> pool; // kVertexPoolSize records of 44 bytes
    int poolFill = 0;
    // A full queue drops draws; the first drop of each frame is logged.
    bool queueOverflowLogged = false;
    void LogQueueOverflow(int triangles, int vertices);
    bool lastLayoutValid = false;
    std::uint64_t lastLayoutKey = 0;

    // Frame states kept for the getters and the drawing code.
    int targetWidth = 0, targetHeight = 0;
    int viewportX = 0, viewportY = 0, viewportWidth = 0, viewportHeight = 0;
    Material* currentMaterial = nullptr;
    // What the current material looked like when applied: a material is "the current one" only
    // when it still holds the same values, so a new record at a freed one's address is applied.
    Material appliedMaterial;
    bool materialApplied = false;
    std::int32_t appliedSrcBlend = 0, appliedDestBlend = 0;
    Material* overrideMaterial = nullptr;
    // Each stage's bitmap with the image and flags it had when bound; the graphics device holds
    // a reference on the image, so the pair cannot be matched by a different bitmap.
    struct StageBinding {
        D3DBitmap* bitmap = nullptr;
        const void* image = nullptr;
        std::uint32_t flags = 0;
    };
    StageBinding stageTextures[4] = {};
    std::int64_t effectTexCoordIndex[4] = {-1, -1, -1, -1};
    // Parameter blocks still used by effects: a block outlives its registration until the last
    // effect made from it is freed.
    std::vector<std::pair<float*, int>> blockUsers;
    std::vector<float*> retiredBlocks;
    void DropBlockUser(float* block);
    Camera* camera = nullptr;
    bool zEnable = true, zWrite = true, fogEnable = false, clipping = true;
    int alphaRef = 1;
    int filter = 1, mipFilter = 1, fogMode = 0;
    int maxActiveLights = 0;
};
