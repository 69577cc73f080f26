#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "engine/camera/Camera.h"
#include "engine/core/FormatText.h"
#include "engine/material/Material.h"
#include "engine/material/VertexLayout.h"
#include "renderer/Device.h"
#include "world/terrain/TerrainPatch.h"
#include "world/World.h"

#include "world/terrain/WaveField.h"

namespace {

constexpr int kField = 32;

// The index list of the 33 x 33 water grid over one patch, made by the compiler.
struct WaterGridIndices {
    std::uint16_t values[32 * 32 * 6];
};

constexpr WaterGridIndices MakeWaterGridIndices()
{
    WaterGridIndices indices{};
    for (int r = 0; r < 32; ++r)
        for (int c = 0; c < 32; ++c) {
            const std::uint16_t b = std::uint16_t(r * 33 + c);
            std::uint16_t* out = &indices.values[(r * 32 + c) * 6];
            out[0] = b, out[1] = std::uint16_t(b + 1), out[2] = std::uint16_t(b + 33);
            out[3] = std::uint16_t(b + 1), out[4] = std::uint16_t(b + 34), out[5] = std::uint16_t(b + 33);
        }
    return indices;
}

constexpr WaterGridIndices kWaterGridIndices = MakeWaterGridIndices();

int Wrap(int i) { return ((i % kField) + kField) % kField; }

} // namespace

void World::CreateWaves()
{
    waveField = std::make_unique<WaveField>();
    waveField->Init(4357, 1.5707964f, 16.0f, waveAmplitude, 2.0f, waveChoppiness, waveDamping);
    waveField->Update(0.0f);
}

void World::AdvanceWaves()
{
    if (waveField)
        waveField->Update(waterTime);
}

float World::GetWaveHeight(const Vector3& point) const
{
    if (!waveField)
        return 0.0f;
    // Field points lie half a cell apart from the map's top-left corner; the field repeats.
    const float gx = (point.x + float(width) * cellSize / 2.0f) / (cellSize / 2.0f);
    const float gz = (float(height) * cellSize / 2.0f - point.z) / (cellSize / 2.0f);
    const int x0 = int(std::floor(gx)), z0 = int(std::floor(gz));
    const float fx = gx - float(x0), fz = gz - float(z0);
    const WaveField::Complex* h = waveField->Heights();
    const auto at = [h](int x, int z) { return h[Wrap(z) * kField + Wrap(x)].re; };
    const float value = at(x0, z0) * (1 - fx) * (1 - fz) + at(x0 + 1, z0) * fx * (1 - fz) +
                        at(x0, z0 + 1) * (1 - fx) * fz + at(x0 + 1, z0 + 1) * fx * fz;
    return -value * waveHeightScale;
}

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
    const auto fail = [this](const char* error) {
        device->Log("Error setting up water: %s", error);
        ReleaseWater();
    };
    const auto create = [this](int slot, const char* name, int format, std::uint32_t flags) {
        device->CreateBitmap(&waterBitmaps[slot]);
        return waterBitmaps[slot] && waterBitmaps[slot]->Create(name, 32, 32, format, flags) >= 0;
    };
    const auto errorOf = [this](int slot) {
        return std::string(waterBitmaps[slot] ? waterBitmaps[slot]->GetLastError() : device->GetLastError());
    };
    shaderWater = shaderWater && device->IsTextureFormatSupported(FormatQ8W8V8U8, false);
    const std::string path = InBase(map->waterPath);
    if (shaderWater) {
        // Signed ripple normals for the map's water shaders, which reflect the sky's cube map.
        if (!create(0, "WaterBumpMap", FormatQ8W8V8U8, BitmapPrivate))
            return fail(errorOf(0).c_str());
        const std::string cube = path + "-cubemap.dds";
        device->CreateBitmap(&waterBitmaps[2]);
        if (!waterBitmaps[2] || waterBitmaps[2]->Load(cube.c_str(), 0, 0) < 0) {
            char error[2048];
            FormatText(error, "Can't load water cubemap %s: %s", cube.c_str(), errorOf(2).c_str());
            return fail(error);
        }
        waterBitmaps[0]->AddEffect(("vertexshader " + path).c_str());
        waterBitmaps[0]->AddEffect(("pixelshader " + path).c_str());
        waterMaterial->texture[0] = waterBitmaps[0];
        waterMaterial->texture[1] = waterBitmaps[2];
    } else {
        // The dot-product path: the bump map lit by the sun in stage 0, the water colour in stage 1.
        if (!create(0, "WaterBumpMap", FormatA8R8G8B8, BitmapPrivate))
            return fail(errorOf(0).c_str());
        if (!create(1, "WaterColor", FormatX8R8G8B8, BitmapOneLevel | BitmapPrivate))
            return fail(errorOf(1).c_str());
        std::int32_t pitch = 0;
        if (auto* bits = static_cast<std::uint8_t*>(waterBitmaps[1]->LockLevel(0, &pitch, true))) {
            const std::uint32_t colour = 0xFF000000u | std::uint32_t(waterColour1[0] * 255.0f) << 16 |
                                         std::uint32_t(waterColour1[1] * 255.0f) << 8 |
                                         std::uint32_t(waterColour1[2] * 255.0f);
            for (int y = 0; y < 32; ++y)
                for (int x = 0; x < 32; ++x)
                    std::memcpy(bits + std::size_t(y) * pitch + std::size_t(x) * 4, &colour, 4);
            waterBitmaps[1]->UnlockLevel();
        }
        waterBitmaps[0]->AddEffect("dot3bump");
        waterMaterial->texture[0] = waterBitmaps[0];
        waterMaterial->texture[1] = waterBitmaps[1];
        waterMaterial->texCoordIndex[1] = 0;
    }
}

void World::ReleaseWater()
{
    if (waterMaterial) {
        for (D3DBitmap*& texture : waterMaterial->texture)
            texture = nullptr;
        delete waterMaterial;
        waterMaterial = nullptr;
    }
    for (D3DBitmap*& bitmap : waterBitmaps)
        if (bitmap) {
            bitmap->Destroy();
            bitmap = nullptr;
        }
}

void World::FillBumpMap()
{
    if (!waveField || !waterBitmaps[0])
        return;
    const WaveField::Complex* slopes = waveField->Slopes();
    const int levels = std::max(waterBitmaps[0]->GetLevelCount(), 1);
    for (int level = 0; level < levels; ++level) {
        const int step = 1 << level, size = std::max(kField >> level, 1);
        std::int32_t pitch = 0;
        auto* bits = static_cast<std::uint8_t*>(waterBitmaps[0]->LockLevel(level, &pitch, true));
        if (!bits)
            continue;
        for (int z = 0; z < size; ++z)
            for (int x = 0; x < size; ++x) {
                const WaveField::Complex& slope = slopes[Wrap(z * step) * kField + Wrap(x * step)];
                std::uint32_t texel = 0;
                if (shaderWater) {
                    // Signed bytes x, y, z from the low byte up.
                    Vector3 n(slope.re, 64.0f, slope.im);
                    n.Normalize();
                    const auto term = [](float v) { return std::uint32_t(std::int32_t(v * 127.5f)) & 0xFFu; };
                    texel = term(n.x) | term(n.y) << 8 | term(n.z) << 16;
                } else {
                    Vector3 n(slope.re, -32.0f, slope.im);
                    n.Normalize();
                    const auto term = [](float v) { return std::uint32_t(std::int32_t(v * 127.0f + 128.0f)); };
                    texel = 0x01000000u + (term(n.x) << 16) + (term(n.y) << 8) + term(n.z);
                }
                std::memcpy(bits + std::size_t(z) * pitch + std::size_t(x) * 4, &texel, 4);
            }
        waterBitmaps[0]->UnlockLevel();
    }
}

void World::FillWaterGrid(const qTerrainPatch& patch, std::uint8_t* vertices) const
{
    const float s = cellSize;
    const float level = float(GetWaterSample(patch.firstColumn / 16, patch.firstRow / 16)) * heightScale;
    for (int r = 0; r <= 32; ++r)
        for (int c = 0; c <= 32; ++c) {
            std::uint8_t* v = &vertices[(r * 33 + c) * 44];
            Vector3 position(float(c) * s / 2.0f + (patch.centre.x - 8.0f * s), level,
                             float(32 - r) * s / 2.0f + (patch.centre.z - 8.0f * s));
            Vector3 normal(0.0f, 1.0f, 0.0f);
            if (waveField) {
                const int e = (r % kField) * kField + (c % kField);
                const float q = waveField->Choppiness();
                position.x += q * waveField->Displacements()[e].re * s * 16.0f;
                position.z += q * waveField->Displacements()[e].im * s * 16.0f;
                position.y -= waveField->Heights()[e].re * waveHeightScale;
                normal = Vector3(waveField->Slopes()[e].re, 64.0f, waveField->Slopes()[e].im);
                normal.Normalize();
            }
            // Drawn a little translucent, so the lake floor shows through.
            const std::uint32_t colour = 0xC0FFFFFFu;
            const float uv[4] = {float(c) * waterTextureRepeat / 32.0f, float(r) * waterTextureRepeat / 32.0f,
                                 float(c) / 32.0f, float(r) / 32.0f};
            std::memcpy(v, &position, 12);
            std::memcpy(v + 12, &normal, 12);
            std::memcpy(v + 24, &colour, 4);
            std::memcpy(v + 28, uv, 16);
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
    if (!waterMaterial || !waterOn || !waterVisibleThisFrame)
        return false;
    FillBumpMap();
    if (shaderWater)
        SetWaterShaderConstants();
    else if (sun)
        for (int i = 0; i < 3; ++i)
            device->SetEffectParam("dot3bump", i, sun->direction[i]);
    const int fogMode = device->GetFogMode(), filter = device->GetFilter();
    if (shaderWater) {
        // The vertex shader gives the fog factor itself.
        device->SetFogMode(0);
        device->SetFilter(2, 2);
    }
    bool drawn = false;
    VertexLayout layout;
    layout.InitLitTextured();
    waterGridVertices.resize(33 * 33 * 44);
    for (qTerrainPatch* patch : visiblePatches) {
        if (!patch->drawn || !patch->waterVisible)
            continue;
        FillWaterGrid(*patch, waterGridVertices.data());
        const Matrix4 identity;
        device->SetWorldTransform(&identity);
        device->SetSortQueueEnabled(false);
        if (waterBlending)
            device->SetAlphaBlend(false);
        const bool fog = device->GetFogEnable();
        device->SetFogEnable(!fogOff);
        device->DrawUserPrimitives(PrimTriangleList, waterGridVertices.data(), 33 * 33, &layout,
                                   kWaterGridIndices.values, 32 * 32 * 6, waterMaterial);
        device->SetFogEnable(fog);
        if (waterBlending)
            device->SetAlphaBlend(true);
        device->SetSortQueueEnabled(true);
        drawn = true;
    }
    if (shaderWater) {
        device->SetFogMode(fogMode);
        device->SetFilter(filter, 2);
    }
    return drawn;
}

void World::SetWaterShaderConstants()
{
    // The first value of each block counts the values after it.
    float vertex[41] = {56.0f};
    Matrix4 view, projection;
    device->GetViewTransform(&view);
    device->GetProjectionTransform(&projection);
    const Matrix4 viewProjection = view * projection;
    for (int column = 0; column < 4; ++column)
        for (int row = 0; row < 4; ++row)
            vertex[1 + column * 4 + row] = viewProjection(row, column);
    const Vector3 eye = camera ? camera->world.GetTranslation() : Vector3();
    vertex[17] = eye.x, vertex[18] = eye.y, vertex[19] = eye.z;
    vertex[22] = 0.5f, vertex[23] = 1.0f, vertex[24] = 2.0f;
    vertex[25] = vertex[26] = waterShaderB;
    vertex[29] = 8.0f;
    vertex[33] = waterShaderA;
    vertex[34] = 0.25f;
    if (camera) {
        const float far = camera->GetFar(), fogEnd = far * camera->GetFogEnd(), fogStart = far * camera->GetFogStart();
        vertex[37] = fogEnd;
        vertex[38] = fogEnd > fogStart ? 1.0f / (fogEnd - fogStart) : 0.0f;
    }
    for (int i = 0; i < 41; ++i)
        device->SetEffectParam("vertexshader", i, vertex[i]);
    const float pixel[9] = {8.0f, waterColour1[0], waterColour1[1], waterColour1[2], 0.0f,
                            waterColour2[0], waterColour2[1], waterColour2[2], 0.0f};
    for (int i = 0; i < 9; ++i)
        device->SetEffectParam("pixelshader", i, pixel[i]);
}
