#include "items/MuzzleFlash.h"

#include <string>

#include "engine/core/RenderTypes.h"
#include "engine/core/q3DError.h"
#include "engine/material/VertexLayout.h"
#include "renderer/Device.h"

namespace {

void LoadPicture(Device* device, Material& material, const std::string& path)
{
    D3DBitmap* bitmap = device->CreateBitmap(&material.texture[0]);
    if (!bitmap)
        throw q3DError("Can't load %s: %s", path.c_str(), "out of memory");
    if (bitmap->Load(path.c_str(), 0, BitmapOneLevel | BitmapAnySize) != 1) {
        const std::string reason = bitmap->GetLastError() ? bitmap->GetLastError() : "";
        bitmap->Destroy();
        material.texture[0] = nullptr;
        throw q3DError("Can't load %s: %s", path.c_str(), reason.c_str());
    }
    material.SetBlendMode(7); // the flash adds its light
}

LitVertex Corner(float x, float y, float z, float u, float v)
{
    LitVertex vertex{};
    vertex.position[0] = x, vertex.position[1] = y, vertex.position[2] = z;
    vertex.normal[2] = -1.0f;
    vertex.color = 0xFFFFFFFFu;
    vertex.uv0[0] = vertex.uv1[0] = u;
    vertex.uv0[1] = vertex.uv1[1] = v;
    return vertex;
}

} // namespace

MuzzleFlash::~MuzzleFlash()
{
    Release();
}

void MuzzleFlash::Release()
{
    for (Material* material : {&front, &side})
        if (material->texture[0]) {
            material->texture[0]->Destroy();
            material->texture[0] = nullptr;
        }
}

void MuzzleFlash::Load(Device* device, const char* basePath)
{
    if (!device)
        throw q3DError("Can't load %s: %s", basePath, "no device");
    Release();
    const std::string base(basePath);
    LoadPicture(device, front, base + "-front.tga");
    LoadPicture(device, side, base + "-side.tga");
}

bool MuzzleFlash::Draw(Device* device, const Matrix4& muzzleFrame)
{
    if (!device || !front.texture[0] || !side.texture[0])
        return false;
    // The front quad faces along the barrel (z); the side quads run from -0.2 to 1.0 along it.
    const LitVertex faceOn[4] = {Corner(-0.5f, -0.5f, 0, 0, 1), Corner(-0.5f, 0.5f, 0, 0, 0),
                                 Corner(0.5f, 0.5f, 0, 1, 0), Corner(0.5f, -0.5f, 0, 1, 1)};
    const LitVertex vertical[4] = {Corner(0, -0.5f, -0.2f, 0, 1), Corner(0, 0.5f, -0.2f, 0, 0),
                                   Corner(0, 0.5f, 1.0f, 1, 0), Corner(0, -0.5f, 1.0f, 1, 1)};
    const LitVertex horizontal[4] = {Corner(-0.5f, 0, -0.2f, 0, 1), Corner(0.5f, 0, -0.2f, 0, 0),
                                     Corner(0.5f, 0, 1.0f, 1, 0), Corner(-0.5f, 0, 1.0f, 1, 1)};
    // Both windings, so that each quad shows from either side.
    static constexpr std::uint16_t kIndices[12] = {0, 1, 2, 0, 2, 3, 0, 2, 1, 0, 3, 2};
    VertexLayout layout;
    layout.InitLitTextured();
    device->SetWorldTransform(&muzzleFrame);
    const bool fog = device->GetFogEnable();
    device->SetFogEnable(false);
    device->DrawUserPrimitives(PrimTriangleList, faceOn, 4, &layout, kIndices, 12, &front);
    device->DrawUserPrimitives(PrimTriangleList, vertical, 4, &layout, kIndices, 12, &side);
    device->DrawUserPrimitives(PrimTriangleList, horizontal, 4, &layout, kIndices, 12, &side);
    device->SetFogEnable(fog);
    ++drawCount;
    return true;
}
