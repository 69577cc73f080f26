#pragma once

#include "renderer/Device.h"

#include <cstdint>

// The positions of the objects that stand between the camera and the player and are drawn
// faded; the character code fills it each frame.
struct FadedPositionList {
    static constexpr int Capacity = 64;

    float positions[Capacity][3] = {};
    int count = 0;

    // False when the list is full.
    bool Add(float x, float y, float z);
    bool Contains(float x, float y, float z) const;
};

FadedPositionList& FadedPositions();

// "camalphafade": an object drawn at a position on the faded list has its vertex colours set to
// the ambient colour brightened by 60 with alpha 0x50 for the draw, and opaque again after it.
class CamAlphaFadeEffect final : public Effect {
public:
    int Init(Device* device, D3DBitmap* owner, const char* line, int reserved) override;
    void Release(Device* device, int releaseArgument) override;
    void Apply(Device* device, D3DPrim* prim) override;
    void Restore(Device* device, D3DPrim* prim) override;

    bool active = false;
};

// The effect factory registered under "camalphafade": makes an effect (and empties the faded
// list), or frees *toFree.
Effect* CreateCamAlphaFadeEffect(const char* name, float* parameters, Effect** toFree);
