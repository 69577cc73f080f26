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
    bool currentColorKnown = false, currentNormalKnown = false, currentSecondaryKnown = false;
    bool lighting = false, fog = false, colorSum = false, transformed = false;
    int colorMaterial = 0; // the material colour following the vertex colour; -1 = unknown
    bool specularOn = false;
    std::uint32_t program = 0;

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
    std::uint32_t nextShaderId = 1;
};

} // namespace platform::gpu
