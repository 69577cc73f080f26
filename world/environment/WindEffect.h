#pragma once

#include "engine/core/Matrix.h"
#include "renderer/Device.h"

// "wind": bends the y axis of whatever is drawn with the material, following the world's sway
// and current wind; the transform is put back after the draw.
class WindEffect final : public Effect {
public:
    int Init(Device* device, D3DBitmap* owner, const char* line, int reserved) override { return 1; }
    void Release(Device* device, int releaseArgument) override {}
    void Apply(Device* device, D3DPrim* prim) override;
    void Restore(Device* device, D3DPrim* prim) override;

    std::int32_t words[8] = {};
    Matrix4 saved;
};

Effect* WindEffectFactory(const char* name, float* parameters, Effect** toFree);
