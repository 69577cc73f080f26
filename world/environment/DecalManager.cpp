#include "world/environment/DecalManager.h"

#include <cstring>

#include "engine/camera/Camera.h"
#include "engine/material/Material.h"
#include "engine/material/VertexLayout.h"
#include "renderer/Device.h"
#include "world/map/MapDescription.h"
#include "world/map/MapObject.h"
#include "world/World.h"

namespace {

void FreeSlot(DecalManager::Decal& decal)
{
    if (decal.texture)
        decal.texture->Destroy();
    decal.texture = nullptr;
    decal.owner = nullptr;
}

bool CreateQuad(Device* device, D3DPrim*& quad)
{
    device->CreatePrim(&quad);
    VertexLayout layout;
    layout.InitColoredTextured2();
    if (!quad || quad->Create(PrimTriangleList, 4, 6, &layout, 0) != 0) {
        device->Log("DecalManager: can't create the decal quad: %s", quad ? quad->GetLastError() : "no prim");
        if (quad)
            quad->Release();
        quad = nullptr;
        return false;
    }
    static constexpr float kCorners[4][4] = {{-0.5f, 0.5f, 0, 0}, {0.5f, 0.5f, 1, 0}, {0.5f, -0.5f, 1, 1},
                                             {-0.5f, -0.5f, 0, 1}};
    if (auto* vertices = static_cast<std::uint8_t*>(quad->GetVertices(true, true))) {
        for (int i = 0; i < 4; ++i) {
            std::uint8_t* v = vertices + i * 32;
            const float position[3] = {kCorners[i][0], kCorners[i][1], 0.0f};
            const std::uint32_t white = 0xFFFFFFFFu;
            const float uv[4] = {kCorners[i][2], kCorners[i][3], 0.0f, 0.0f};
            std::memcpy(v, position, 12);
            std::memcpy(v + 12, &white, 4);
            std::memcpy(v + 16, uv, 16);
        }
        quad->Nop4();
    }
    if (std::uint16_t* indices = quad->GetIndices(true, true)) {
        static constexpr std::uint16_t kIndices[6] = {0, 1, 2, 0, 2, 3};
        std::memcpy(indices, kIndices, sizeof(kIndices));
        quad->Nop6();
    }
    return true;
}

// The ring of the current world; null with none.
DecalManager* CurrentRing()
{
    World* world = World::Current();
    return world ? &world->decals : nullptr;
}

} // namespace

Matrix4 DecalManager::Orientation(const Vector3& position, Vector3 normal)
{
    normal.Normalize();
    Vector3 x = Cross(normal, Vector3(0.0f, 1.0f, 0.0f));
    if (x.x == 0.0f && x.y == 0.0f && x.z == 0.0f)
        x = Vector3(1.0f, 0.0f, 0.0f);
    x.Normalize();
    Vector3 y = Cross(x, normal);
    y.Normalize();
    const Vector3 at = position + normal * 0.01f;
    return Matrix4(Vector4(x.x, x.y, x.z, 0.0f), Vector4(y.x, y.y, y.z, 0.0f),
                   Vector4(normal.x, normal.y, normal.z, 0.0f), Vector4(at.x, at.y, at.z, 1.0f));
}

Matrix4 DecalManager::OwnerTransform(const MapObject* owner)
{
    Matrix4 transform;
    transform.FromQuaternion(owner->GetRotationQuat());
    transform.SetTranslation(owner->GetPosition());
    return transform;
}

bool DecalManager::AddDecal(Device* device, const char* texturePath, const Vector3& position, const Vector3& normal,
                            MapObject* owner)
{
    if (DecalManager* ring = CurrentRing())
        return ring->Add(device, texturePath, position, normal, owner);
    if (device)
        device->Log("DecalManager: no world to hold the decal %s", texturePath ? texturePath : "");
    return false;
}

bool DecalManager::Add(Device* device, const char* texturePath, const Vector3& position, const Vector3& normal,
                       MapObject* owner)
{
    Decal& decal = decals[nextSlot];
    FreeSlot(decal);
    if (!device || !texturePath)
        return false;
    device->CreateBitmap(&decal.texture);
    if (!decal.texture || decal.texture->Load(texturePath, 0, BitmapOneLevel) < 0) {
        // A missing texture during play costs the decal, not the game.
        device->Log("DecalManager Fatal Error: Can't load %s", texturePath);
        if (decal.texture)
            device->Log("Error loading decal texture %s: %s", texturePath, decal.texture->GetLastError());
        FreeSlot(decal);
        return false;
    }
    decal.owner = owner;
    Vector3 at = position, facing = normal;
    if (owner) {
        Matrix4 inverse = OwnerTransform(owner);
        inverse.Invert();
        at = inverse.TransformPoint(position);
        facing = inverse.TransformDirection(normal);
    }
    const float size = float(decal.texture->GetWidth()) / 128.0f;
    Matrix4 scale;
    scale.MakeScale(size, size, size);
    decal.transform = scale * Orientation(at, facing);
    nextSlot = (nextSlot + 1) % kDecals;
    return true;
}

void DecalManager::Render(Device* device)
{
    if (DecalManager* ring = CurrentRing())
        ring->Draw(device);
}

void DecalManager::Draw(Device* device)
{
    drawnCount = 0;
    Camera* camera = device ? device->GetCamera() : nullptr;
    if (!camera)
        return;
    if (!quad && !CreateQuad(device, quad))
        return;
    material.SetBlendMode(13);
    material.cullFlags = Material::kAlphaTested;
    // The quad carries no normals, so lighting would only darken it.
    material.lightingMode = 0;
    const float range = camera->GetFar();
    const float rangeSquared = range * range;
    device->SetAlphaRef(1);
    device->SetZWrite(false);
    const float near = camera->GetNear();
    camera->SetNear(near + 0.001f);
    camera->UpdateTransform(0.0f);
    const Vector3 eye = camera->world.GetTranslation();
    const Vector3 forward(camera->world.m[8], camera->world.m[9], camera->world.m[10]);
    for (Decal& decal : decals) {
        if (!decal.texture)
            continue;
        if (decal.owner && decal.owner->hidden)
            continue;
        const Matrix4 transform = decal.owner ? decal.transform * OwnerTransform(decal.owner) : decal.transform;
        const Vector3 offset = transform.GetTranslation() - eye;
        if (forward.Dot(offset) <= 0.0f || offset.Dot(offset) >= rangeSquared)
            continue;
        device->SetWorldTransform(&transform);
        material.texture[0] = decal.texture;
        quad->material = &material;
        device->DrawPrim(quad);
        ++drawnCount;
    }
    material.texture[0] = nullptr;
    quad->material = nullptr;
    device->SetZWrite(true);
    camera->SetNear(near);
    camera->UpdateTransform(0.0f);
    device->SetMaterial(nullptr);
}

void DecalManager::RemoveObjectDecals(const MapObject* object)
{
    if (DecalManager* ring = CurrentRing())
        ring->RemoveOwnedBy(object);
}

void DecalManager::RemoveOwnedBy(const MapObject* object)
{
    if (!object)
        return;
    for (Decal& decal : decals)
        if (decal.owner == object)
            FreeSlot(decal);
}

void DecalManager::Release()
{
    if (DecalManager* ring = CurrentRing())
        ring->Clear();
}

void DecalManager::Clear()
{
    for (Decal& decal : decals)
        FreeSlot(decal);
    nextSlot = 0;
    if (quad)
        quad->Release();
    quad = nullptr;
}

const DecalManager::Decal& DecalManager::GetDecal(int slot)
{
    static constexpr Decal kEmpty{};
    const DecalManager* ring = CurrentRing();
    return ring ? ring->At(slot) : kEmpty;
}

int DecalManager::GetNextSlot()
{
    const DecalManager* ring = CurrentRing();
    return ring ? ring->NextSlot() : 0;
}

D3DPrim* DecalManager::GetQuad()
{
    const DecalManager* ring = CurrentRing();
    return ring ? ring->Quad() : nullptr;
}

int DecalManager::GetDrawnCount()
{
    const DecalManager* ring = CurrentRing();
    return ring ? ring->DrawnCount() : 0;
}
