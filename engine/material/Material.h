#pragma once

#include <cstdint>
#include <cstring>

#include "renderer/Device.h"

// How one surface is drawn: textures of stages 0-3, blending, lighting and culling. Filled by the
// program and applied by the renderer. Whoever deletes a material destroys its textures first.
struct Material {
    static constexpr int kStages = 4;
    static constexpr std::size_t kNameSize = 256;

    // cullFlags bits.
    static constexpr std::int32_t kTwoSided = 1;
    static constexpr std::int32_t kAlphaTested = 2;
    static constexpr std::int32_t kCullClockwise = 4;

    char name[kNameSize] = "Material";
    D3DBitmap* texture[kStages] = {nullptr, nullptr, nullptr, nullptr};
    std::int32_t texCoordIndex[kStages] = {0, 1, 2, 3};
    std::int32_t colorOp[3] = {TexOpModulate, TexOpModulate, TexOpModulate}; // stages 1-3
    std::uint32_t color = 0xFFFFFFFFu;
    std::int32_t srcBlend = BlendOne;
    std::int32_t destBlend = BlendZero;
    std::int32_t lightingMode = 2; // 0 unlit, 1 lit flat, 2 lit Gouraud
    std::int32_t cullFlags = 0;
    float specularPower = 0.0f;
    std::uint32_t specularColor = 0xFFFFFFFFu;
    std::uint8_t changed = 0;

    // Copies the name and settings; each texture of the source is cloned (sharing its image).
    void Copy(const Material& source)
    {
        std::memcpy(name, source.name, kNameSize);
        name[kNameSize - 1] = '\0';
        for (int stage = 0; stage < kStages; ++stage)
            if (source.texture[stage])
                texture[stage] = source.texture[stage]->Clone();
        std::memcpy(texCoordIndex, source.texCoordIndex, sizeof(texCoordIndex));
        std::memcpy(colorOp, source.colorOp, sizeof(colorOp));
        color = source.color;
        srcBlend = source.srcBlend;
        destBlend = source.destBlend;
        lightingMode = source.lightingMode;
        cullFlags = source.cullFlags;
        specularPower = source.specularPower;
        specularColor = source.specularColor;
        changed = source.changed;
    }

    // 4, 5, 6: multiplying blend; 7: additive; 13: alpha blend; other codes change nothing.
    void SetBlendMode(int code)
    {
        switch (code) {
        case 4: case 5: case 6:
            srcBlend = BlendZero;
            destBlend = BlendSrcColor;
            break;
        case 7:
            srcBlend = BlendOne;
            destBlend = BlendOne;
            break;
        case 13:
            srcBlend = BlendSrcAlpha;
            destBlend = BlendInvSrcAlpha;
            break;
        default:
            break;
        }
    }
};
