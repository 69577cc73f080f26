#pragma once

// The one seam between the game program and the renderer library liblumora.so. The program is
// built against these declarations and the library implements them; the program calls every
// operation through the virtual tables, so the order of declaration below is the contract and
// must never change. Nothing of the program is included here beyond the engine basics.

#include <cstdint>

#include "engine/core/RenderTypes.h"

struct Vector3;
struct Vector4;
struct Matrix4;
struct Material;
struct VertexLayout;
class Camera;
class Device;
class D3DBitmap;
class D3DPrim;
class D3DLight;
class Effect;
struct TextureRecord;

namespace platform::os {
class Window;
}

// The window a device draws into: the program's own window, or the one the library opens for
// full-screen use.
using WindowHandle = platform::os::Window*;

// Results that carry a graphics status code: 0 is success, negative values are failures.
using GpuResult = std::int32_t;

#if defined(__GNUC__)
#define LUMORA_PRINTF(fmt, args) __attribute__((format(printf, fmt, args)))
#define LUMORA_EXPORT __attribute__((visibility("default")))
#else
#define LUMORA_PRINTF(fmt, args)
#define LUMORA_EXPORT
#endif

struct DeviceInfo {
    char name[256];
    std::int32_t index;
    bool hardware;
    bool hardwareTnL;
};

struct ModeInfo {
    char text[256];
    std::int32_t width;
    std::int32_t height;
    std::int32_t bitsPerPixel;
};

// Results and errors. Operations of the device and its objects never throw. Those that answer an
// int follow the rule of their group below; "-1" always means failure, with the reason kept as the
// object's last error (GetLastError) and written to the engine log. GpuResult operations answer 0
// or a negative graphics status (-1 without a device). void operations that cannot run do nothing
// and set the last error.

// Makes an effect by name (toFree null) or frees *toFree, sets it to null and returns null. Each
// deliverable frees the effects its own factories made.
using EffectFactory = Effect* (*)(const char* name, float* parameters, Effect** toFree);

// A state-changing object run around draws; made and freed by its registered factory. Init reads
// the material line and answers 0; an effect whose line or resources it cannot use logs why and
// does nothing when applied (callers do not act on Init's result).
class Effect {
public:
    virtual int Init(Device* device, D3DBitmap* owner, const char* line, int reserved) = 0;
    virtual void Release(Device* device, int releaseArgument) = 0;
    virtual void Apply(Device* device, D3DPrim* descriptor) = 0;
    virtual void Restore(Device* device, D3DPrim* descriptor) = 0;

    char name[32] = {};
    std::int32_t nameHash = 0;
    std::int32_t enabled = 1;
    float* parameters = nullptr;

protected:
    Effect() = default;
    ~Effect() = default;
};

// A texture, a render target or a plain surface, with an optional CPU copy for locks.
//  - Create, CreateTwoStage, Load, LoadTga, LoadDds, Reformat, SaveTga, SaveBmp: 1 on success,
//    -1 on failure (unreadable or unsupported file, format the device lacks, unwritable path).
//  - Lock, LockLevel: the bits (rows GetPitch bytes apart), or null. Unlock: 1 after writing the
//    copy back to the GPU, 0 when nothing was locked, -1 on failure; UnlockLevel: 1 or -1.
//  - Release drops one reference (0); Destroy frees the object and its image when the last holder
//    lets go. Clone shares the image under a new reference. AddRefTexture and ReleaseTexture
//    answer the new count of the GPU object's references, -1 without one.
//  - CopyTo and CopyRect copy onto another bitmap, clipped to both, scaling and converting as
//    needed; nothing happens when either side has no image.
//  - Unsupported answers -1 always.
class D3DBitmap {
public:
    virtual ~D3DBitmap() = default;
    virtual int Create(const char* name, int width, int height, int format, std::uint32_t flags) = 0;
    virtual int Load(const char* path, int format, std::uint32_t flags) = 0;
    virtual int CreateTwoStage(const char* name, D3DBitmap* source, int format, std::uint32_t flags) = 0;
    virtual int Release() = 0;
    virtual D3DBitmap* Clone() = 0;
    virtual int Reformat(int format) = 0;
    virtual int LoadTga(const char* path) = 0;
    virtual int LoadDds(const char* path) = 0;
    virtual int SaveTga(const char* path) = 0;
    virtual int SaveBmp(const char* path) = 0;
    virtual void CopyTo(int x, int y, D3DBitmap* destination) = 0;
    virtual void CopyRect(const float sourceRect[4], const float destRect[4], D3DBitmap* destination) = 0;
    virtual void* Lock(bool write) = 0;
    virtual int Unlock() = 0;
    virtual void* LockLevel(int level, std::int32_t* pitch, bool write) = 0;
    virtual int UnlockLevel() = 0;
    virtual void DrawLine(float x0, float y0, float x1, float y1, std::uint32_t value) = 0;
    virtual int AddRefTexture() = 0;
    virtual int ReleaseTexture() = 0;
    virtual void Destroy() = 0;
    virtual void SetFlags(std::uint32_t flags) = 0;
    virtual void AddEffect(const char* line) = 0;
    virtual void RemoveEffect(const char* line) = 0;
    // line, when not null, receives the stored effect line (a buffer of 2048 characters).
    virtual bool HasEffect(const char* name, char* line) = 0;
    virtual Effect* FindEffect(const char* line) = 0;
    virtual void ApplyEffects(bool apply, D3DPrim* descriptor) = 0;
    virtual const char* GetName() = 0;
    virtual int GetWidth() = 0;
    virtual int GetHeight() = 0;
    virtual int GetBitsPerPixel() = 0;
    virtual int GetBytesPerPixel() = 0;
    virtual int GetPitch() = 0;
    virtual int GetFormat() = 0;
    virtual int GetLevelCount() = 0;
    virtual std::uint32_t GetFlags() = 0;
    virtual Device* GetDevice() = 0;
    virtual const char* GetLastError() = 0;
    virtual void SetError(const char* format, ...) LUMORA_PRINTF(2, 3) = 0;
    virtual void ReleaseEffects(int releaseArgument) = 0;
    virtual int Unsupported(int argument) = 0;
    virtual void MaskToShift(std::uint32_t mask, std::int16_t* shift, std::int16_t* width) = 0;
    virtual TextureRecord* FindByName(const char* name) = 0;
};

// Geometry: a primitive type, a vertex array and an optional index array, mirrored to the GPU.
// The program sets the material directly.
//  - Create: 0 on success, -1 on failure (bad type, count or layout; no GPU buffer).
//  - GetVertices, GetIndices: the arrays (from the first of the range unless whole), or null;
//    Nop4 and Nop6 end such an access (the arrays are mirrored on the next draw).
//  - Counts answer 0 for an empty prim; Release and Destroy free it.
class D3DPrim {
public:
    virtual int Create(int primitiveType, int vertexCount, int indexCount, const VertexLayout* layout,
                       std::uint32_t flags) = 0;
    virtual void Destroy() = 0;
    virtual void Release() = 0;
    virtual void* GetVertices(bool write, bool whole) = 0;
    virtual void Nop4() = 0;
    virtual std::uint16_t* GetIndices(bool write, bool whole) = 0;
    virtual void Nop6() = 0;
    virtual void ShareVertices(D3DPrim* other) = 0;
    virtual void ShareIndices(D3DPrim* other) = 0;
    virtual void SetIndexRange(int first, int end) = 0;
    virtual void SetVertexRange(int first, int end) = 0;
    virtual int GetVertexCount(bool whole) = 0;
    virtual int GetIndexCount(bool whole) = 0;
    virtual int GetFirstIndex() = 0;
    virtual int GetFirstVertex() = 0;
    virtual void GetVertexFormat(VertexLayout* out) = 0;
    virtual std::uint32_t GetFlags() = 0;
    virtual Device* GetDevice() = 0;
    virtual const char* GetLastError() = 0;
    virtual void SetError(const char* format, ...) LUMORA_PRINTF(2, 3) = 0;
    virtual ~D3DPrim() = default;

    std::int32_t primitiveType = PrimTriangleList;
    Material* material = nullptr;
};

// One light slot. The program writes the parameters and then calls Set.
//  - Set, Enable: 1 on success, -1 on failure (no free slot past the device's light limit).
class D3DLight {
public:
    virtual int Set() = 0;
    virtual void Destroy() = 0;
    virtual int Enable(bool on) = 0;
    virtual bool IsEnabled() = 0;
    virtual const char* GetLastError() = 0;
    virtual void SetError(const char* format, ...) LUMORA_PRINTF(2, 3) = 0;

    std::int32_t type = LightDirectional;
    std::uint32_t color = 0xFFFFFFFFu;
    float position[3] = {0.0f, 0.0f, 0.0f};
    float direction[3] = {0.0f, 0.0f, 1.0f};
    float range = 1.8446743e19f;
    float attenuation0 = 1.0f;

protected:
    ~D3DLight() = default;
};

// The device: adapters and modes, the window or full-screen display, frames, render states,
// drawing, objects, effects, statistics and the engine log.
class Device {
public:
    virtual ~Device() = default;

    // Adapters and modes. Counts and indices answer -1 (or 0 modes) for an unknown entry;
    // CreateFullScreen, CreateWindowed, ChangeResolution and ChangeResolutionWindowed answer 1
    // when the device runs on the new display, -1 when none could be made (the old one is gone).
    virtual int GetDeviceCount() = 0;
    virtual int GetDeviceInfo(int entry, DeviceInfo* out) = 0;
    virtual int ChooseDefaultDevice() = 0;
    virtual int GetModeCount(int entry) = 0;
    virtual void GetModeInfo(int entry, int mode, ModeInfo* out) = 0;
    virtual int GetCurrentDevice() = 0;
    virtual bool IsModeAvailable(int entry, int width, int height, int bitsPerPixel) = 0;
    virtual int CreateFullScreen(int width, int height, int bitsPerPixel, int entry) = 0;
    virtual int CreateWindowed(WindowHandle window, int entry) = 0;
    virtual void Shutdown() = 0;
    virtual int ChangeResolutionWindowed(WindowHandle window, int entry) = 0;
    virtual int ChangeResolution(int width, int height, int bitsPerPixel, int entry) = 0;
    virtual void GetCurrentMode(ModeInfo* out) = 0;
    // Frames. BeginFrame answers 0 when drawing may start, a negative status when the device is
    // lost (skip the frame); EndFrame answers 0 once presented, a negative status otherwise.
    virtual int BeginFrame(bool clear, bool countFrame) = 0;
    virtual int EndFrame(bool present, bool flushQueue) = 0;
    virtual GpuResult Clear(bool target, bool depth, bool stencil, const float* rect) = 0;
    virtual GpuResult ClearZBuffer() = 0;
    virtual void FlushSortQueue() = 0;
    virtual void SetSortQueueEnabled(bool enabled) = 0;
    virtual bool IsSortQueueEnabled() = 0;
    virtual void SetQueueAll(bool queueAll) = 0;
    virtual void SetSortDepth(float depth) = 0;
    // Transforms, material, camera and render states: setters answer a GpuResult or nothing;
    // SetViewport answers 1, or -1 for a rectangle outside the target.
    virtual GpuResult SetWorldTransform(const Matrix4* matrix) = 0;
    virtual GpuResult SetViewTransform(const Matrix4* matrix) = 0;
    virtual GpuResult SetProjectionTransform(const Matrix4* matrix) = 0;
    virtual void GetWorldTransform(Matrix4* out) = 0;
    virtual void GetViewTransform(Matrix4* out) = 0;
    virtual void GetProjectionTransform(Matrix4* out) = 0;
    virtual void ProjectPoint(Vector3* out, const Vector3* in) = 0;
    virtual void TransformPoint(Vector4* out, const Vector3* in) = 0;
    virtual void SetMaterial(const Material* material) = 0;
    virtual void SetOverrideMaterial(Material* material) = 0;
    virtual Material* GetMaterial() = 0;
    virtual Camera* GetCamera() = 0;
    virtual void SetCamera(Camera* camera) = 0;
    virtual GpuResult SetAlphaBlend(bool enable) = 0;
    virtual GpuResult SetZEnable(bool enable) = 0;
    virtual bool GetZEnable() = 0;
    virtual GpuResult SetZWrite(bool enable) = 0;
    virtual bool GetZWrite() = 0;
    virtual GpuResult SetZFunc(int compareFunc) = 0;
    virtual int SetViewport(int x, int y, int width, int height) = 0;
    virtual GpuResult SetViewport2D(int x, int y, int width, int height) = 0;
    virtual void GetViewport(int* x, int* y, int* width, int* height) = 0;
    virtual void SetClearColor(std::uint32_t color) = 0;
    virtual void GetClearColor(std::uint32_t* out) = 0;
    virtual GpuResult SetFillMode(int fillMode) = 0;
    virtual void SetRenderTarget(D3DBitmap* target, D3DBitmap* depth) = 0;
    virtual D3DBitmap* GetRenderTarget() = 0;
    virtual void SetAntialiasedLines(bool enable) = 0;
    virtual int GetStencilBits() = 0;
    virtual GpuResult SetStencilEnable(bool enable) = 0;
    virtual GpuResult SetStencilFunc(int compareFunc) = 0;
    virtual GpuResult SetStencilRef(std::uint32_t value) = 0;
    virtual GpuResult SetStencilMask(std::uint32_t mask) = 0;
    virtual GpuResult SetStencilWriteMask(std::uint32_t mask) = 0;
    virtual GpuResult SetStencilZFail(int stencilOp) = 0;
    virtual GpuResult SetStencilFail(int stencilOp) = 0;
    virtual GpuResult SetStencilPass(int stencilOp) = 0;
    virtual void GetGammaRamp(std::uint16_t* red, std::uint16_t* green, std::uint16_t* blue) = 0;
    virtual void SetGammaRamp(const std::uint16_t* red, const std::uint16_t* green, const std::uint16_t* blue) = 0;
    virtual int GetMaxMultisamples() = 0;
    virtual int SetMultisamples(int quality) = 0;
    virtual int GetMultisamples() = 0;
    virtual D3DLight* CreateLight(D3DLight** out) = 0;
    virtual int GetMaxActiveLights() = 0;
    virtual GpuResult SetAmbient(std::uint32_t color) = 0;
    virtual void GetAmbient(std::uint32_t* out) = 0;
    virtual void EnableLights(bool on) = 0;
    virtual GpuResult SetFogEnable(bool enable) = 0;
    virtual bool GetFogEnable() = 0;
    virtual GpuResult SetFogColor(std::uint32_t color) = 0;
    virtual void GetFogColor(std::uint32_t* out) = 0;
    virtual GpuResult SetFogStart(float start) = 0;
    virtual GpuResult SetFogEnd(float end) = 0;
    virtual GpuResult SetFogMode(int mode) = 0;
    virtual int GetFogMode() = 0;
    // Objects and drawing. CreatePrim, CreateBitmap, CreateRenderTargetBitmap and CreateLight put
    // a new object (or null) in *out; CreateLight and the bitmap makers also return it. DrawPrim
    // answers true when the prim was drawn or queued for the translucent pass, false for a prim
    // without geometry or with counts outside its arrays.
    virtual void CreatePrim(D3DPrim** out) = 0;
    virtual bool DrawPrim(D3DPrim* prim) = 0;
    virtual void DrawUserPrimitives(int primitiveType, const void* vertices, int vertexCount,
                                    const VertexLayout* layout, const std::uint16_t* indices, int indexCount,
                                    Material* material) = 0;
    virtual D3DBitmap* CreateRenderTargetBitmap(D3DBitmap** out) = 0;
    virtual D3DBitmap* CreateBitmap(D3DBitmap** out) = 0;
    virtual void SetTexture(D3DBitmap* bitmap, int stage) = 0;
    virtual void Nop() = 0;
    virtual void SetFilter(int filter, int which) = 0;
    virtual int GetFilter() = 0;
    virtual GpuResult SetMipFilter(int mode) = 0;
    virtual int GetMipFilter() = 0;
    virtual GpuResult SetMipBias(float bias) = 0;
    virtual void SetAlphaRef(int reference) = 0;
    virtual int GetAlphaRef() = 0;
    virtual bool IsTextureFormatSupported(int format, bool renderTarget) = 0;
    virtual int GetNearestTextureFormat(int format) = 0;
    virtual void SetTextureCompression(bool enable) = 0;
    virtual bool GetTextureCompression() = 0;
    // Effects by name: unknown names are logged and ignored; CreateEffect answers the new effect
    // (also in *out) or null.
    virtual void RegisterEffect(EffectFactory factory, const char* name) = 0;
    virtual void UnregisterEffect(const char* name) = 0;
    virtual void AttachEffect(const char* line) = 0;
    virtual void RemoveEffect(const char* line) = 0;
    virtual Effect* CreateEffect(const char* line, Effect** out) = 0;
    virtual void FreeEffect(Effect** effect) = 0;
    virtual void SetEffectParam(const char* name, int index, float value) = 0;
    // Capabilities, statistics and memory. GetFrameTime (the last frame) and GetTime count
    // 1/1024 s. CopyFrontBuffer answers -1 when the copy cannot be made.
    virtual int GetTargetWidth() = 0;
    virtual int GetTargetHeight() = 0;
    virtual bool IsHardwareDevice() = 0;
    virtual bool IsHardwareVertexProcessing() = 0;
    virtual int GetMaxTextureStages() = 0;
    virtual void ResetStats() = 0;
    virtual int GetFramesPerSecond() = 0;
    virtual int GetFrameTime() = 0;
    virtual int GetFrameCount() = 0;
    virtual int GetTriangleCount() = 0;
    virtual int GetDrawCount() = 0;
    virtual int GetSortedTriangleCount() = 0;
    virtual std::uint64_t GetAvailablePhysicalMemory() = 0;
    virtual std::uint64_t GetTotalPhysicalMemory() = 0;
    virtual std::uint64_t GetAvailableTextureMemory() = 0;
    virtual std::uint64_t GetTotalVideoMemory() = 0;
    virtual float GetPixelShaderVersion() = 0;
    virtual float GetVertexShaderVersion() = 0;
    virtual D3DBitmap* GetBackBuffer() = 0;
    virtual int CopyFrontBuffer(D3DBitmap* destination) = 0;
    virtual D3DBitmap* GetDepthBuffer() = 0;
    virtual GpuResult SetClipping(bool enable) = 0;
    virtual bool GetClipping() = 0;
    virtual GpuResult SetDepthBias(float bias) = 0;
    virtual GpuResult SetDepthRange(float minZ, float maxZ) = 0;
    virtual void DrawText(int x, int y, const char* format, ...) LUMORA_PRINTF(4, 5) = 0;
    virtual void SetUserValue(std::int32_t value) = 0;
    virtual int GetTime() = 0;
    virtual WindowHandle GetWindow() = 0;
    // The last failure's text (empty when none), and the engine log "q3D.log".
    virtual const char* GetLastError() = 0;
    virtual void SetError(const char* format, ...) LUMORA_PRINTF(2, 3) = 0;
    virtual void Log(const char* format, ...) LUMORA_PRINTF(2, 3) = 0;
};

// The library's three exports, looked up by name. CreateDevice puts the one device (made by the
// first call) in *out and answers 1; DestroyDevice frees it, sets *inout to null and answers 1.
extern "C" {
LUMORA_EXPORT float GetDLLVersion();
LUMORA_EXPORT int CreateDevice(Device** out);
LUMORA_EXPORT int DestroyDevice(Device** inout);
}

using GetDLLVersionFunction = float (*)();
using CreateDeviceFunction = int (*)(Device**);
using DestroyDeviceFunction = int (*)(Device**);

// The version the program accepts, compared exactly.
inline constexpr float RendererVersion = 1.421f;
