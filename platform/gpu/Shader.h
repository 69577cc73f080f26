#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/gpu/GpuTypes.h"
#include "platform/gpu/Resources.h"

// A compiled shader token stream translated to GLSL: its OpenGL shader object and what the
// translation says about it (which constant registers it reads, its samplers and inputs).
namespace platform::gpu {

class Shader final : public Resource {
public:
    struct Input {
        int usage = 0; // position, normal, colour, texture coordinate, ...
        int index = 0;
        std::string name;
    };
    struct Constants {
        int firstRegister = 0;
        int count = 1;
    };

    ShaderKind GetKind() const { return kind; }
    std::uint32_t GetGlShader() const { return glShader; }
    std::uint32_t GetGeneration() const { return glGeneration; }
    std::uint32_t GetId() const { return id; }
    const std::vector<Input>& GetInputs() const { return inputs; }
    const std::vector<Constants>& GetConstants() const { return constants; }
    const std::vector<int>& GetSamplers() const { return samplers; }
    int GetConstantSlots() const;

private:
    friend class GraphicsDevice;
    explicit Shader(ShaderKind kind) : kind(kind) {}
    ~Shader() override;

    ShaderKind kind;
    std::uint32_t glShader = 0;
    std::uint32_t glGeneration = 0;
    std::uint32_t id = 0;
    std::vector<Input> inputs;
    std::vector<Constants> constants; // uniform array slots, in order
    std::vector<int> samplers;
};

} // namespace platform::gpu
