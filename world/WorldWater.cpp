#include <algorithm>
#include <cmath>
#include <cstring>

#include "engine/camera/Camera.h"
#include "engine/material/Material.h"
#include "engine/material/VertexLayout.h"
#include "renderer/Device.h"
#include "world/TerrainPatch.h"
#include "world/World.h"

namespace {

// The 33 x 33 water grid over one patch and its index list.
struct WaterGrid {
    std::uint8_t vertices[33 * 33 * 44];
    std::uint16_t indices[32 * 32 * 6];
    VertexLayout layout;
    bool built = false;
};

WaterGrid grid;

void BuildGrid()
{
    if (grid.built)
        return;
    grid.layout.InitLitTextured();
    for (int r = 0; r < 32; ++r)
        for (int c = 0; c < 32; ++c) {
            const std::uint16_t b = std::uint16_t(r * 33 + c);
            std::uint16_t* out = &grid.indices[(r * 32 + c) * 6];
            out[0] = b, out[1] = b + 1, out[2] = b + 33, out[3] = b + 1, out[4] = b + 34, out[5] = b + 33;
        }
    grid.built = true;
}

} // namespace

void World::SetUpWater()
{
    ReleaseWater();
    waterMaterial = new Material();
    std::strcpy(waterMaterial->name, "water");
    waterMaterial->cullFlags = Material::kTwoSided;
    waterMaterial->SetBlendMode(13);
    for (int& op : waterMaterial->colorOp)
        op = TexOpModulate;
    waterMaterial->lightingMode = 0;
    // The plain path: a texture of water colour 1 on a flat surface.
    shaderWater = false;
    device->CreateBitmap(&waterBitmaps[0]);
    if (!waterBitmaps[0] || waterBitmaps[0]->Create("WaterColor", 32, 32, FormatX8R8G8B8, BitmapOneLevel) < 0) {
        device->Log("Error setting up water: %s", waterBitmaps[0] ? waterBitmaps[0]->GetLastError() : "no bitmap");
        ReleaseWater();
        return;
    }
    std::int32_t pitch = 0;
    if (auto* bits = static_cast<std::uint8_t*>(waterBitmaps[0]->LockLevel(0, &pitch, true))) {
        const std::uint32_t colour = 0xFF000000u | std::uint32_t(waterColour1[0] * 255.0f) << 16 |
                                     std::uint32_t(waterColour1[1] * 255.0f) << 8 | std::uint32_t(waterColour1[2] * 255.0f);
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x)
                std::memcpy(bits + std::size_t(y) * pitch + std::size_t(x) * 4, &colour, 4);
        waterBitmaps[0]->UnlockLevel();
    }
    waterMaterial->texture[0] = waterBitmaps[0];
    BuildGrid();
}

void World::ReleaseWater()
{
    if (waterMaterial) {
        waterMaterial->texture[0] = nullptr;
        delete waterMaterial;
        waterMaterial = nullptr;
    }
    for (D3DBitmap*& bitmap : waterBitmaps)
        if (bitmap) {
            bitmap->Destroy();
            bitmap = nullptr;
        }
}

bool World::RenderWater()
{
    if (detailOn && detailVertexCount > 0 && detailMaterial) {
        const Matrix4 identity;
        device->SetWorldTransform(&identity);
        VertexLayout layout;
        layout.InitColoredTextured2();
        device->DrawUserPrimitives(PrimTriangleList, detailVertices.data(), detailVertexCount, &layout,
                                   detailIndices.data(), detailIndexCount, detailMaterial);
    }
    if (!waterMaterial || !waterOn)
        return false;
    bool drawn = false;
    for (qTerrainPatch* patch : visiblePatches) {
        if (!patch->drawn || !patch->waterVisible)
            continue;
        const float s = cellSize;
        const float level = float(GetWaterSample(patch->firstColumn / 16, patch->firstRow / 16)) * heightScale;
        for (int r = 0; r <= 32; ++r)
            for (int c = 0; c <= 32; ++c) {
                std::uint8_t* v = &grid.vertices[(r * 33 + c) * 44];
                const float position[3] = {float(c) * s / 2.0f + (patch->centre.x - 8.0f * s), level,
                                           float(32 - r) * s / 2.0f + (patch->centre.z - 8.0f * s)};
                const float normal[3] = {0.0f, 1.0f, 0.0f};
                const std::uint32_t colour = 0xC0FFFFFFu;
                const float uv[4] = {float(c) * waterTextureRepeat / 32.0f, float(r) * waterTextureRepeat / 32.0f,
                                     float(c) / 32.0f, float(r) / 32.0f};
                std::memcpy(v, position, 12);
                std::memcpy(v + 12, normal, 12);
                std::memcpy(v + 24, &colour, 4);
                std::memcpy(v + 28, uv, 16);
            }
        const Matrix4 identity;
        device->SetWorldTransform(&identity);
        device->SetSortQueueEnabled(false);
        device->DrawUserPrimitives(PrimTriangleList, grid.vertices, 33 * 33, &grid.layout, grid.indices, 32 * 32 * 6,
                                   waterMaterial);
        device->SetSortQueueEnabled(true);
        drawn = true;
    }
    return drawn;
}
