#include "app/framework/CamAlphaFadeEffect.h"

#include "engine/core/Matrix.h"
#include "engine/filesystem/PackFile.h"
#include "engine/material/VertexLayout.h"

#include <cstring>

namespace {

// The ambient colour with each channel raised by 60 (at most 255) and the given alpha.
std::uint32_t FadeColour(Device* device, std::uint32_t alpha)
{
    std::uint32_t ambient = 0;
    device->GetAmbient(&ambient);
    std::uint32_t colour = alpha << 24;
    for (int shift = 0; shift <= 16; shift += 8) {
        std::uint32_t channel = (ambient >> shift) & 0xFF;
        channel = channel >= 196 ? 255 : channel + 60;
        colour |= channel << shift;
    }
    return colour;
}

void WriteVertexColours(D3DPrim* prim, std::uint32_t colour)
{
    if (!prim)
        return;
    VertexLayout layout;
    prim->GetVertexFormat(&layout);
    if (!layout.Has(VertexLayout::Diffuse) || layout.vertexSize <= 0)
        return;
    auto* vertices = static_cast<std::uint8_t*>(prim->GetVertices(true, false));
    if (!vertices)
        return;
    const int count = prim->GetVertexCount(false);
    for (int i = 0; i < count; ++i)
        std::memcpy(vertices + std::size_t(i) * std::size_t(layout.vertexSize) + layout.offsets[VertexLayout::Diffuse],
                    &colour, sizeof colour);
    // Hands the changed vertices back to the device.
    prim->Nop4();
}

} // namespace

bool FadedPositionList::Add(float x, float y, float z)
{
    if (count >= Capacity)
        return false;
    positions[count][0] = x;
    positions[count][1] = y;
    positions[count][2] = z;
    ++count;
    return true;
}

bool FadedPositionList::Contains(float x, float y, float z) const
{
    for (int i = 0; i < count && i < Capacity; ++i)
        if (positions[i][0] == x && positions[i][1] == y && positions[i][2] == z)
            return true;
    return false;
}

FadedPositionList& FadedPositions()
{
    static FadedPositionList list;
    return list;
}

int CamAlphaFadeEffect::Init(Device*, D3DBitmap*, const char*, int)
{
    return 1;
}

void CamAlphaFadeEffect::Release(Device*, int) {}

void CamAlphaFadeEffect::Apply(Device* device, D3DPrim* prim)
{
    Matrix4 world;
    device->GetWorldTransform(&world);
    if (!FadedPositions().Contains(world.m[12], world.m[13], world.m[14]))
        return;
    active = true;
    WriteVertexColours(prim, FadeColour(device, 0x50));
}

void CamAlphaFadeEffect::Restore(Device* device, D3DPrim* prim)
{
    if (!active)
        return;
    WriteVertexColours(prim, FadeColour(device, 0xFF));
    active = false;
}

Effect* CreateCamAlphaFadeEffect(const char* name, float* parameters, Effect** toFree)
{
    if (toFree) {
        delete static_cast<CamAlphaFadeEffect*>(*toFree);
        *toFree = nullptr;
        return nullptr;
    }
    auto* effect = new CamAlphaFadeEffect();
    std::size_t length = name ? strnlen(name, sizeof effect->name) : 0;
    std::memcpy(effect->name, name ? name : "", length);
    char terminated[sizeof effect->name + 1] = {};
    std::memcpy(terminated, effect->name, length);
    effect->nameHash = std::int32_t(PackFileHashName(terminated));
    effect->enabled = 1;
    effect->parameters = parameters;
    FadedPositions().count = 0;
    return effect;
}
