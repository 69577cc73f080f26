#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/gpu/GpuTypes.h"
#include "platform/gpu/Resources.h"

namespace platform::os {
class Window;
}

// The graphics device: an OpenGL context on one window, the back buffer it presents, the depth
// buffer, the render target in use, transforms, viewport, light slots and the render-state
// values the renderer sets. The back buffer is a texture of the asked size that is drawn with
// the top row first (as the system's callers expect) and scaled into the window when presented.
//
// Drawing keeps the fixed-function model of its callers on OpenGL's compatibility profile:
// row-vector matrices load unchanged as OpenGL's column-major ones, depth runs 0 to 1, pixel
// centres sit on whole coordinates and clockwise triangles face the viewer; lights, material and
// fog map onto OpenGL's own; texture stages become texture combiners (a stage without a texture
// reads white); texture transforms are adjusted for where the caller's convention pads a
// coordinate; pre-transformed vertices draw through a pixel-exact orthographic projection; and
// compiled shaders run as GLSL from their translation, with the fixed-function half of the
// pipeline where only one of the two is bound.
namespace platform::gpu {

struct PresentParameters {
    platform::os::Window* window = nullptr;
    int backBufferWidth = 0;
    int backBufferHeight = 0;
    int backBufferFormat = 0; // texture format code
    int depthStencilFormat = DepthD24S8;
    int multisampleQuality = 0; // 0 = off
    bool windowed = true;
};

enum class TransformKind { World = 0, View = 1, Projection = 2, Texture0 = 3 };
inline TransformKind TextureTransform(int stage) { return TransformKind(int(TransformKind::Texture0) + stage); }

class Shader;

// A draw from a vertex buffer (and an index buffer), checked against both buffers once when it is
// made, so that drawing it again reads this one record and touches neither buffer object. It
// stays good while neither buffer is written, released or made again, and the context lives.
struct BufferDraw {
    std::uint32_t vertexBuffer = 0; // OpenGL names
    std::uint32_t indexBuffer = 0;  // 0 = not indexed
    std::uint32_t generation = 0;   // the context the names belong to
    std::uint32_t mode = 0;         // OpenGL primitive
    std::uint32_t indexType = 0;
    int stride = 0;
    int first = 0; // first vertex (not indexed) or smallest index
    int last = 0;  // largest index
    int count = 0; // vertices or indices drawn
    std::size_t indexOffset = 0;  // bytes into the index buffer
    std::size_t vertexOffset = 0; // bytes into the vertex buffer
};

class GraphicsDevice {
public:
    // Makes the context current on the window; null with the reason in error on failure.
    static std::unique_ptr<GraphicsDevice> Create(const PresentParameters& parameters, std::string* error);
    ~GraphicsDevice();

    GraphicsDevice(const GraphicsDevice&) = delete;
    GraphicsDevice& operator=(const GraphicsDevice&) = delete;

    // The device whose context is current, null when there is none.
    static GraphicsDevice* Current();

    // Replaces the back buffer and depth buffer with ones for the new parameters (possibly on
    // another window). Every other resource stays valid.
    Result Reset(const PresentParameters& parameters);
    const PresentParameters& GetParameters() const { return parameters; }
    const Capabilities& GetCapabilities() const { return capabilities; }
    // Always Ok: an OpenGL context is not lost.
    Result TestCooperativeLevel() const { return Ok; }

    Result BeginScene();
    Result EndScene();
    // Shows the back buffer in the window.
    Result Present();

    // Clears the render target and depth-stencil buffer in use, inside rect when given.
    Result Clear(const Rect* rect, bool target, bool depth, bool stencil, std::uint32_t color, float z,
                 std::uint32_t stencilValue);

    // The back buffer and depth buffer made with the parameters; one reference is added.
    Surface* GetBackBuffer();
    Surface* GetDepthStencilSurface();

    // Render target 0: a render-target surface, the back buffer, or level 0 of a render-target
    // texture (pass the texture and a null surface). Resets the viewport to the target's size.
    Result SetRenderTarget(Surface* surface, Texture* texture);
    Result SetDepthStencilSurface(Surface* surface);
    void GetRenderTargetSize(int& width, int& height) const;

    Result SetViewport(const Viewport& viewport);
    const Viewport& GetViewport() const { return viewport; }

    Result SetTransform(TransformKind kind, const float matrix[16]);
    void GetTransform(TransformKind kind, float matrix[16]) const;

    Result SetLight(int index, const LightParameters& light);
    Result EnableLight(int index, bool enable);
    bool IsLightEnabled(int index) const;

    // Fixed-function states by number (RenderStateId).
    Result SetRenderState(int state, std::uint32_t value);
    std::uint32_t GetRenderState(int state) const;

    // ---- Drawing (GraphicsDeviceDraw.cpp) ----
    static constexpr int kStages = 8;
    Result SetTextureStageState(int stage, StageState state, std::uint32_t value);
    std::uint32_t GetTextureStageState(int stage, StageState state) const;
    Result SetSamplerState(int sampler, SamplerState state, std::uint32_t value);
    std::uint32_t GetSamplerState(int sampler, SamplerState state) const;
    // The texture sampled by a stage (null = none); the device holds a reference.
    Result SetTexture(int stage, Texture* texture);
    Texture* GetTexture(int stage) const;
    Result SetMaterial(const MaterialParameters& material);
    const MaterialParameters& GetMaterial() const { return material; }

    // The vertex layout of the next draws and, for the buffer draws, the vertex and index source.
    Result SetVertexFormat(const VertexFormat& format);
    Result SetStreamSource(Buffer* vertices, int stride);
    Result SetIndices(Buffer* indices);
    // Primitive types: 1 points, 2 lines, 3 line strip, 4 triangles, 5 strip, 6 fan. Counts that
    // reach outside the buffers or memory given are refused with ErrorInvalidCall.
    Result DrawPrimitive(int type, int startVertex, int primitiveCount);
    Result DrawIndexedPrimitive(int type, int baseVertex, int minIndex, int vertexCount, int startIndex,
                                int primitiveCount);
    Result DrawPrimitiveUp(int type, int primitiveCount, const void* vertices, int stride);
    Result DrawIndexedPrimitiveUp(int type, int minIndex, int vertexCount, int primitiveCount,
                                  const std::uint16_t* indices, const void* vertices, int stride);
    // The same with 32-bit indices.
    Result DrawIndexedPrimitiveUp(int type, int minIndex, int vertexCount, int primitiveCount,
                                  const std::uint32_t* indices, const void* vertices, int stride);
    static int VerticesForPrimitives(int type, int primitiveCount);
    // The record of a buffer draw: as DrawIndexedPrimitive with base vertex 0 (indices given) or
    // DrawPrimitive (indices null, minIndex = first vertex), with the same checks. Uploads what
    // was written to either buffer.
    Result MakeBufferDraw(int type, Buffer* vertices, int stride, Buffer* indices, int minIndex, int vertexCount,
                          int startIndex, int primitiveCount, BufferDraw& out);
    // Draws a record made by MakeBufferDraw; the stream and index sources stay as they were set.
    Result DrawBuffers(const BufferDraw& record);

    // Compiled shader token streams (vertex and pixel, versions 1.1 to 2.0), translated to GLSL.
    Result CreateShader(ShaderKind kind, const void* tokens, std::size_t size, Shader** out, std::string* error);
    Result SetShader(ShaderKind kind, Shader* shader); // null = fixed function
    Shader* GetShader(ShaderKind kind) const;
    // Four-float registers from startRegister; registers past the 256-float block are refused.
    Result SetShaderConstants(ShaderKind kind, int startRegister, const float* values, int registerCount);

    Result SetGammaRamp(const std::uint16_t red[256], const std::uint16_t green[256], const std::uint16_t blue[256]);
    void GetGammaRamp(std::uint16_t red[256], std::uint16_t green[256], std::uint16_t blue[256]) const;

    // Resource creation; each new object starts with one reference.
    Result CreateTexture(int width, int height, int levels, std::uint32_t usage, int format, Pool pool,
                         Texture** out);
    Result CreateCubeTexture(int edge, int levels, std::uint32_t usage, int format, Pool pool, Texture** out);
    // A plain image; with render-target usage it can also be drawn into.
    Result CreateSurface(int width, int height, int format, Pool pool, bool renderTarget, Surface** out);
    Result CreateDepthStencilSurface(int width, int height, int depthFormat, int multisampleQuality,
                                     Surface** out);
    // A vertex buffer made with the size of its vertices (vertexStride) is placed where a whole
    // number of vertices from the start of its page, so that draws from neighbouring buffers
    // share one pointing of the vertex arrays.
    Result CreateBuffer(BufferKind kind, std::size_t size, Buffer** out, int vertexStride = 0);
    // A buffer object of the context was deleted: vertex arrays that pointed into it are pointed
    // again before the next draw (a deleted name may come back for another buffer).
    void ForgetBuffer();
    // A texture's OpenGL name changed: the stages bind their textures again before the next draw.
    void ForgetTexture();

    // Copies the source rectangle of a level of a two-dimensional texture into the destination
    // rectangle of level 0 of another texture whose newest picture is on the GPU (a render target
    // or back buffer being drawn into), picking source texels point by point and converting both
    // formats exactly as a copy through memory would (EncodeImage, DecodeImage). Its picture in
    // memory is read back when it is next locked. False when the copy has to go through memory.
    bool CopyTextureOnGpu(Texture* destination, const Rect& destinationRect, Texture* source, int sourceLevel,
                          const Rect& sourceRect);

    // Reads the picture last presented (the front buffer) as 0xAARRGGBB pixels, top row first.
    Result ReadFrontBuffer(std::uint32_t* pixels, int& width, int& height);

    std::uint64_t GetAvailableTextureMemory() const;

    // Brings a multisampled back buffer's colour texture up to date with what was drawn (or what
    // was written into the texture since, into the buffer drawn into). Nothing otherwise.
    void Resolve();

private:
    struct DrawState;
    void InitialiseDrawing();
    void ReleaseDrawing();
    // Brings OpenGL up to date for a draw of the current vertex format from base (a pointer into
    // memory, or an offset into arrayBuffer, the vertex buffer bound now; 0 for memory).
    bool PrepareDraw(std::uint32_t arrayBuffer, const std::uint8_t* base, int stride);
    // Steps of PrepareDraw. The screen or lit vertex program that stands in for fixed-function
    // vertex work, built on first use; sources gets the material colour sources the lit one reads.
    void ChooseVertexProgram(bool transformed, bool lighting, float sources[4]);
    // Fog on or off for the draw; true when the fog factor comes from the specular alpha.
    bool ApplyFog(bool transformed);
    // The vertex colour that feeds a material colour, the current attributes the format lacks,
    // the colour sum and the material.
    void ApplyColourSources(bool lighting);
    void ApplyLitUniforms(const float sources[4]);
    void ApplyRenderState(int state, std::uint32_t value);
    void RestoreFog();
    Result DrawIndexedUp(int type, int minIndex, int vertexCount, int primitiveCount, const void* indices, bool wide,
                         const void* vertices, int stride);
    void ApplyStages(bool transformed);
    void ApplyTransforms(bool transformed);
    void ApplyLights();
    void ApplyVertexArrays(const std::uint8_t* base, int stride);
    // Room for bytes at a multiple of align in the stream ring, as an offset; false when the ring
    // cannot take them (the draw then reads caller memory).
    bool ReserveInRing(std::size_t bytes, std::size_t align, std::size_t& offset);
    // glBindBuffer of GL_ARRAY_BUFFER or GL_ELEMENT_ARRAY_BUFFER, skipped when that name is bound.
    void BindBuffer(std::uint32_t target, std::uint32_t name);
    void ProbeShaderVersions();

    GraphicsDevice() = default;
    Result MakeBuffers();
    void ReleaseBuffers();
    void BindTarget();
    // Before every draw or clear: what was written into the target from memory since it was last
    // drawn into reaches the GPU first.
    void PrepareTarget();
    // Copies a multisampled back buffer's colour texture into the buffer drawn into.
    void PushToMultisampled();
    // Whether texture is what the draws write into now (the framebuffer they draw into holds it).
    bool DrawsInto(const Texture* texture) const;

    PresentParameters parameters;
    Capabilities capabilities;
    void* context = nullptr;
    Surface* backBuffer = nullptr;
    Surface* depthStencil = nullptr;
    Surface* targetSurface = nullptr;
    Texture* targetTexture = nullptr;
    Surface* targetDepth = nullptr;
    std::uint32_t drawFramebuffer = 0;
    std::uint32_t readFramebuffer = 0;
    Viewport viewport;
    std::array<std::array<float, 16>, 3 + kStages> transforms{};
    static constexpr int kMaxLights = 8;
    std::array<LightParameters, kMaxLights> lights{};
    std::array<bool, kMaxLights> lightEnabled{};
    std::array<std::uint32_t, 256> renderStates{};
    std::array<std::uint16_t, 768> gammaRamp{};
    std::uint32_t generation = 0;
    bool inScene = false;
    bool resolvePending = false;
    bool targetMultisampled = false;
    std::unique_ptr<DrawState> draw;
    MaterialParameters material;
};

} // namespace platform::gpu
