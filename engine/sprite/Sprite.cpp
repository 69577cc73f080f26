#include "engine/sprite/Sprite.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "engine/core/Matrix.h"
#include "engine/core/q3DError.h"
#include "engine/material/VertexLayout.h"
#include "renderer/Device.h"

namespace {

// Position, colour and two uv sets: the layout sprites draw with.
struct SpriteVertex {
    float position[3];
    std::uint32_t color;
    float uv0[2];
    float uv1[2];
};
static_assert(sizeof(SpriteVertex) == 32);

std::uint32_t Channel(float value)
{
    // Truncated like the packing of any colour; values outside 0..1 saturate.
    return std::uint32_t(std::clamp(value * 255.0f, 0.0f, 255.0f));
}

} // namespace

std::uint32_t PackSpriteColor(float alpha, float red, float green, float blue)
{
    return Channel(alpha) << 24 | Channel(red) << 16 | Channel(green) << 8 | Channel(blue);
}

Sprite::Sprite()
{
    material.srcBlend = BlendSrcAlpha;
    material.destBlend = BlendInvSrcAlpha;
    material.lightingMode = 0;
    material.cullFlags = 0;
}

Sprite::Sprite(Device* device, const char* path) : Sprite()
{
    ownsTexture = true;
    Load(device, path);
}

Sprite::~Sprite()
{
    if (ownsTexture)
        Sprite::Release();
}

void Sprite::Load(Device* device, const char* path)
{
    if (!device)
        throw q3DError("Error loading %s for sprite: %s", path ? path : "(null)", "no device");
    Release();
    D3DBitmap* bitmap = device->CreateBitmap(&material.texture[0]);
    if (!bitmap)
        throw q3DError("Error loading %s for sprite: %s", path ? path : "(null)", "out of memory");
    if (!path || bitmap->Load(path, 0, BitmapOneLevel | BitmapAnySize) != 1) {
        const std::string reason = bitmap->GetLastError() ? bitmap->GetLastError() : "";
        Release();
        throw q3DError("Error loading %s for sprite: %s", path ? path : "(null)", reason.c_str());
    }
    ownsTexture = true;
}

void Sprite::Release()
{
    if (material.texture[0]) {
        material.texture[0]->Destroy();
        material.texture[0] = nullptr;
    }
}

int Sprite::GetDrawnTextureWidth() const
{
    if (width != -1)
        return width;
    return material.texture[0] ? material.texture[0]->GetWidth() : 0;
}

int Sprite::GetDrawnTextureHeight() const
{
    if (height != -1)
        return height;
    return material.texture[0] ? material.texture[0]->GetHeight() : 0;
}

bool Sprite::Draw(Device* device)
{
    if (!device)
        return false;
    const float halfWidth = float(device->GetTargetWidth() / 2);
    const float halfHeight = float(device->GetTargetHeight() / 2);
    if (halfWidth <= 0.0f || halfHeight <= 0.0f)
        return false;

    const int w = GetDrawnTextureWidth();
    const int h = GetDrawnTextureHeight();
    float minU = texCoords[0][0], maxU = minU, minV = texCoords[0][1], maxV = minV;
    for (const auto& uv : texCoords) {
        minU = std::min(minU, uv[0]);
        maxU = std::max(maxU, uv[0]);
        minV = std::min(minV, uv[1]);
        maxV = std::max(maxV, uv[1]);
    }
    const int drawnWidth = int(float(w) * maxU) - int(float(w) * minU);
    const int drawnHeight = int(float(h) * maxV) - int(float(h) * minV);

    device->SetZWrite(false);
    const bool fog = device->GetFogEnable();
    device->SetFogEnable(false);

    std::uint32_t color;
    if (material.lightingMode != 0) {
        std::uint32_t ambient = 0;
        device->GetAmbient(&ambient);
        auto lit = [&](int shift) {
            return float((material.color >> shift) & 0xFF) / 255.0f * (float((ambient >> shift) & 0xFF) / 255.0f);
        };
        color = PackSpriteColor(alpha, lit(16), lit(8), lit(0));
    } else {
        color = PackSpriteColor(alpha, red, green, blue);
    }

    const float left = float(x) / halfWidth - 1.0f;
    const float right = (float(drawnWidth) * scale + float(x)) / halfWidth - 1.0f;
    const float top = float(y) / halfHeight - 1.0f;
    const float bottom = (float(drawnHeight) * scale + float(y)) / halfHeight - 1.0f;
    const float corners[4][2] = {{left, top}, {right, top}, {right, bottom}, {left, bottom}};
    SpriteVertex vertices[4];
    for (int i = 0; i < 4; ++i)
        vertices[i] = SpriteVertex{{corners[i][0], corners[i][1], depth},
                                   color,
                                   {texCoords[i][0], texCoords[i][1]},
                                   {texCoords[i][0], texCoords[i][1]}};
    static const std::uint16_t indices[6] = {0, 1, 2, 0, 2, 3};

    Matrix4 view, projection;
    device->GetViewTransform(&view);
    device->GetProjectionTransform(&projection);
    // Device coordinates grow downwards like pixels; each transform flips y.
    Matrix4 flipped;
    flipped(1, 1) = -1.0f;
    device->SetWorldTransform(&flipped);
    device->SetViewTransform(&flipped);
    device->SetProjectionTransform(&flipped);
    const bool sorting = device->IsSortQueueEnabled();
    device->SetSortQueueEnabled(false);

    VertexLayout layout;
    layout.InitColoredTextured2();
    device->DrawUserPrimitives(PrimTriangleList, vertices, 4, &layout, indices, 6, &material);

    device->SetSortQueueEnabled(sorting);
    device->SetViewTransform(&view);
    device->SetProjectionTransform(&projection);
    device->SetZWrite(true);
    device->SetFogEnable(fog);
    return true;
}
