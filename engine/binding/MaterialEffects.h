#pragma once

#include <cstdint>
#include <vector>

#include "renderer/Device.h"

// The program's material effects, named by the first word of a texture's effect line.

// Registers the program's factories with the device, in their fixed order.
void RegisterMaterialEffects(Device* device);
void UnregisterMaterialEffects(Device* device);

// The factories (EffectFactory): make an effect, or free *toFree.
Effect* CreateUVScrollEffect(const char* name, float* parameters, Effect** toFree);
Effect* CreateUVSwirlEffect(const char* name, float* parameters, Effect** toFree);
Effect* CreateTexAnimEffect(const char* name, float* parameters, Effect** toFree);
Effect* CreateAlphaRefEffect(const char* name, float* parameters, Effect** toFree);
Effect* CreateNoMipmapEffect(const char* name, float* parameters, Effect** toFree);
Effect* CreateFullbrightEffect(const char* name, float* parameters, Effect** toFree);
Effect* CreateSpecularEffect(const char* name, float* parameters, Effect** toFree);

// What every effect of the program shares: its parsed words and the hooks. Kinds fill in the
// four operations.
class MaterialEffect : public Effect {
protected:
    MaterialEffect() = default;
    ~MaterialEffect() = default;
};

class UVScrollEffect final : public MaterialEffect {
public:
    int Init(Device* device, D3DBitmap* owner, const char* line, int reserved) override;
    void Release(Device* device, int releaseArgument) override;
    void Apply(Device* device, D3DPrim* prim) override;
    void Restore(Device* device, D3DPrim* prim) override;

    float speedU = 0.0f, speedV = 0.0f;
    float offsetU = 0.0f, offsetV = 0.0f;
    std::int32_t lastFrame = 0;
};

class UVSwirlEffect final : public MaterialEffect {
public:
    int Init(Device* device, D3DBitmap* owner, const char* line, int reserved) override;
    void Release(Device* device, int releaseArgument) override;
    void Apply(Device* device, D3DPrim* prim) override;
    void Restore(Device* device, D3DPrim* prim) override;

    float radius = 0.0f, angularSpeed = 0.0f;
    float offsetU = 0.0f, offsetV = 0.0f;
    std::int32_t lastFrame = 0;
    float angle = 0.0f;
};

class TexAnimEffect final : public MaterialEffect {
public:
    int Init(Device* device, D3DBitmap* owner, const char* line, int reserved) override;
    void Release(Device* device, int releaseArgument) override;
    void Apply(Device* device, D3DPrim* prim) override;
    void Restore(Device* device, D3DPrim* prim) override;

    // Frames are only shown with a positive rate and at least one frame; otherwise the texture
    // stays still.
    bool IsAnimated() const { return !frames.empty() && frameRate > 0 && frameCount > 0; }

    // Null where a frame failed to load.
    std::vector<D3DBitmap*> frames;
    std::int32_t frameRate = 0;
    std::int32_t timeLeft = 0;
    std::int32_t currentFrame = 0;
    std::int32_t frameCount = 0;
    std::int32_t lastTime = 0;
    D3DBitmap* savedTexture = nullptr;
};

class AlphaRefEffect final : public MaterialEffect {
public:
    int Init(Device* device, D3DBitmap* owner, const char* line, int reserved) override;
    void Release(Device* device, int releaseArgument) override;
    void Apply(Device* device, D3DPrim* prim) override;
    void Restore(Device* device, D3DPrim* prim) override;

    std::uint8_t reference = 0;
    std::uint8_t savedReference = 0;
};

class NoMipmapEffect final : public MaterialEffect {
public:
    int Init(Device* device, D3DBitmap* owner, const char* line, int reserved) override;
    void Release(Device* device, int releaseArgument) override;
    void Apply(Device* device, D3DPrim* prim) override;
    void Restore(Device* device, D3DPrim* prim) override;
};

class FullbrightEffect final : public MaterialEffect {
public:
    int Init(Device* device, D3DBitmap* owner, const char* line, int reserved) override;
    void Release(Device* device, int releaseArgument) override;
    void Apply(Device* device, D3DPrim* prim) override;
    void Restore(Device* device, D3DPrim* prim) override;
};

class SpecularEffect final : public MaterialEffect {
public:
    int Init(Device* device, D3DBitmap* owner, const char* line, int reserved) override;
    void Release(Device* device, int releaseArgument) override;
    void Apply(Device* device, D3DPrim* prim) override;
    void Restore(Device* device, D3DPrim* prim) override;

    float power = 0.0f;
    std::uint32_t color = 0;
};
