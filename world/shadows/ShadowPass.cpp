// The world's stencil shadow pass: the volumes the shadow-casting props gathered this frame are
// counted into the stencil buffer, and a grey quad darkens what they cover.
#include <algorithm>

#include "engine/material/Material.h"
#include "engine/material/VertexLayout.h"
#include "renderer/Device.h"
#include "world/shadows/ShadowVolume.h"
#include "world/World.h"

bool World::AddShadowVolume(const ShadowVolume* volume)
{
    if (int(shadowVolumes.size()) >= kMaxShadowVolumes)
        return false;
    shadowVolumes.push_back(volume);
    return true;
}

void World::RemoveShadowVolume(const ShadowVolume* volume)
{
    shadowVolumes.erase(std::remove(shadowVolumes.begin(), shadowVolumes.end(), volume), shadowVolumes.end());
}

void World::RenderStencilShadows()
{
    if (!shadows || !device || shadowVolumes.empty()) {
        shadowVolumes.clear();
        return;
    }
    Material& counting = shadowCounting;
    counting.srcBlend = BlendZero;
    counting.destBlend = BlendOne;
    counting.lightingMode = 0;
    device->SetSortQueueEnabled(false);
    device->SetZWrite(false);
    device->SetZEnable(true);
    device->SetStencilEnable(true);
    device->SetStencilFunc(CompareAlways);
    device->SetStencilZFail(StencilKeep);
    device->SetStencilFail(StencilKeep);
    device->SetStencilRef(1);
    device->SetStencilMask(0xFFFFFFFFu);
    device->SetStencilWriteMask(0xFFFFFFFFu);
    VertexLayout layout;
    layout.InitLitTextured();
    int drawn = 0;
    for (const ShadowVolume* volume : shadowVolumes) {
        device->SetWorldTransform(&volume->transform);
        for (const auto& [pass, cull] : {std::pair{StencilIncrementSaturate, Material::kCullClockwise},
                                         std::pair{StencilDecrementSaturate, 0}}) {
            device->SetStencilPass(pass);
            counting.cullFlags = cull;
            if (volume->sideIndexCount > 0)
                device->DrawUserPrimitives(PrimTriangleList, volume->vertices.data(), volume->sideVertexCount, &layout,
                                           volume->sideIndices.data(), volume->sideIndexCount, &counting);
            if (volume->capIndexCount > 0)
                device->DrawUserPrimitives(PrimTriangleList, volume->vertices.data() + volume->sideVertexCount,
                                           volume->vertexCount - volume->sideVertexCount, &layout,
                                           volume->capIndices.data(), volume->capIndexCount, &counting);
        }
        ++drawn;
    }
    device->SetStencilEnable(false);
    device->SetZWrite(true);
    device->SetSortQueueEnabled(true);
    if (drawn > 0) {
        device->SetStencilEnable(true);
        device->SetStencilFunc(CompareLessEqual);
        device->SetStencilRef(1);
        device->SetStencilPass(StencilKeep);
        Material& darken = shadowDarken;
        darken.SetBlendMode(4);
        darken.lightingMode = 0;
        darken.cullFlags = Material::kTwoSided;
        const float w = float(device->GetTargetWidth()), h = float(device->GetTargetHeight());
        constexpr std::uint32_t kGrey = 0xFF999999u; // 0.6 of white
        struct ScreenVertex {
            float x, y, z, rhw;
            std::uint32_t colour;
            float u, v;
        } quad[4] = {{0, 0, 0, 1, kGrey, 0, 0}, {w, 0, 0, 1, kGrey, 1, 0}, {w, h, 0, 1, kGrey, 1, 1},
                     {0, h, 0, 1, kGrey, 0, 1}};
        static constexpr std::uint16_t kIndices[6] = {0, 1, 2, 0, 2, 3};
        VertexLayout screen;
        screen.InitScreenTextured();
        device->SetSortQueueEnabled(false);
        device->SetZWrite(false);
        device->DrawUserPrimitives(PrimTriangleList, quad, 4, &screen, kIndices, 6, &darken);
        device->SetZWrite(true);
        device->SetSortQueueEnabled(true);
        device->SetStencilEnable(false);
    }
    shadowVolumes.clear();
}
