#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <utility>

#include "platform/gpu/GraphicsDevice.h"
#include "platform/gpu/Shader.h"

// Internal to the gpu layer: the drawing state of a GraphicsDevice, as the caller set it and as
// OpenGL last received it, so that unchanged state is not sent again.
namespace platform::gpu {

struct GraphicsDevice::DrawState {
    static constexpr int kStateCount = int(StageState::Count);
    static constexpr int kSamplerStateCount = int(SamplerState::Count);
    static constexpr int kConstantRegisters = 256;

    std::uint32_t stage[kStages][kStateCount] = {};
    std::uint32_t sampler[kStages][kSamplerStateCount] = {};
    Texture* textures[kStages] = {};
    std::uint32_t samplerObjects[kStages] = {};
    std::uint32_t whiteTexture = 0;
    bool combine3 = false; // GL_ATI_texture_env_combine3: a x b + c in one stage
    BufferPage* page = nullptr; // the page taking small buffers

    VertexFormat format;
    Buffer* stream = nullptr;
    int streamStride = 0;
    Buffer* indices = nullptr;

    bool stagesDirty = true;
    bool transformsDirty = true;
    bool lightsDirty = true;
    bool materialDirty = true;

    // What OpenGL holds now.
    int enabledUnits = 0;
    std::uint32_t unitTarget[kStages] = {};
    int arrayMask = -1;
    int clientUnit = -1;
    // Where the vertex arrays point: the buffer bound when they were pointed (0 = memory), the
    // offset or address of vertex 0 and the stride. Draws from the same place with the same
    // vertex format and stages only choose their first vertex (base vertex). Cleared by any
    // change that points them differently.
    bool arraysValid = false;
    // The buffers bound now; ~0 = not known.
    std::uint32_t arrayBufferBound = ~0u, elementBufferBound = ~0u;
    std::uint32_t arraysBuffer = 0;
    const std::uint8_t* arraysBase = nullptr;
    int arraysStride = 0;
    bool currentColorKnown = false, currentNormalKnown = false, currentSecondaryKnown = false;
    bool lighting = false, fog = false, colorSum = false, transformed = false;
    int colorMaterial = 0; // the material colour following the vertex colour; -1 = unknown
    bool specularOn = false;
    std::uint32_t program = 0;

    // Pre-transformed vertices run through a small vertex program (ScreenProgram): x, y, z and
    // rhw give a clip position with w = 1 / rhw, so their attributes are interpolated with
    // perspective, and the fog coordinate is 1 / rhw or, for vertex fog, the specular alpha.
    struct ScreenProgram {
        std::uint32_t name = 0;
        int fogFromSpecular = -1; // uniform locations
        bool tried = false;
    } screen;
    bool screenActive = false;  // the screen program draws the current vertices

    // Lit vertices that OpenGL's lighting cannot light as the caller's model does run through a
    // vertex program of that model (LitProgram): point and spot lights end at their range, and
    // any material colour may follow the vertex specular colour as well as the diffuse one.
    struct LitProgram {
        std::uint32_t name = 0;
        int lightOn = -1, lightRange = -1, sources = -1, specularOn = -1, power = -1; // uniform locations
        int diffuse = -1, ambient = -1, specular = -1, emissive = -1;
        bool tried = false;
    } lit;
    bool litActive = false; // the lit program draws the current vertices
    int specularArray = -1; // the specular attribute array: 1 enabled, 0 disabled, -1 unknown
    bool fogFromSpecular = false; // OpenGL's linear fog is set to pass the fog coordinate through

    // Draws from caller memory copy their vertices and indices into a ring of one buffer mapped for
    // good, in steps of whole vertices, so that they draw as buffer draws do: from arrays pointed
    // once, by base vertex. A fence closes each quarter when the writes leave it and is waited for
    // before they come back to it.
    struct StreamRing {
        static constexpr std::size_t kSize = std::size_t(4) << 20;
        static constexpr int kQuarters = 4;
        static constexpr std::size_t kQuarter = kSize / kQuarters;
        std::uint32_t buffer = 0;
        std::uint8_t* mapping = nullptr;
        std::size_t head = 0;
        int quarter = 0;
        void* fences[kQuarters] = {}; // GLsync
        bool tried = false;
    } ring;

    // Scaling and converting copies between textures on the GPU (CopyTextureOnGpu): programs of
    // their own drawing over the destination rectangle of a framebuffer of its own: one that
    // samples the nearest texel where that picks the texel a copy in memory picks, one for formats
    // of whole bytes that keep every value, one that converts.
    struct CopyProgram {
        std::uint32_t name = 0;
        int level = -1, sourceRect = -1, destinationRect = -1, steps = -1; // uniform locations
        int keepAlpha = -1;
        int sourceBits = -1, destinationBits = -1, sourceLuminance = -1, destinationLuminance = -1;
        int corners = -1;
    };
    struct Copying {
        CopyProgram sampled, plain, converting;
        std::uint32_t sampler = 0; // nearest texel, clamped
        std::uint32_t framebuffer = 0;
        std::uint32_t vertexArray = 0; // no arrays: the corners come from the vertex number
        bool tried = false;
    } copy;

    // Shaders.
    Shader* shaders[2] = {};
    float constants[2][kConstantRegisters * 4] = {};
    bool constantsDirty[2] = {true, true};
    struct Program {
        std::uint32_t name = 0;
        int uniform[2] = {-1, -1};
        std::array<int, 16> attributes{};
        bool linked = false;
    };
    std::map<std::pair<std::uint32_t, std::uint32_t>, Program> programs;
    // The program of the bound shader pair, linked on first use (name 0 when it does not link).
    Program& LinkProgram();
    // The bound shaders' constants, where they changed since the last upload.
    void UploadShaderConstants(const Program& linked);
    // The pixel shader's samplers to the textures of their stages.
    void BindShaderSamplers();
    // The vertex shader's inputs to the vertex format's arrays from base, by their declared use.
    void BindShaderInputs(const Program& linked, const std::uint8_t* base, int stride);
    std::uint32_t nextShaderId = 1;
};

} // namespace platform::gpu
