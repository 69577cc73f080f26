#include "world/environment/Sky.h"

#include <algorithm>
#include <cstring>

#include "engine/core/q3DError.h"
#include "engine/material/Material.h"
#include "engine/mesh/MeshVertices.h"
#include "engine/mesh/qMesh.h"
#include "renderer/Device.h"
#include "world/map/MapDescription.h"

namespace {

std::unique_ptr<MeshNode> LoadSkyModel(Device* device, const char* path)
{
    auto node = std::make_unique<MeshNode>();
    node->Load(device, path, nullptr, 0);
    node->visible = false;
    node->frustumCull = false;
    node->scale = Vector3(10.0f, 10.0f, 10.0f);
    return node;
}

template <typename Visit>
void ForEachVertex(qMesh* mesh, Visit visit)
{
    if (!mesh)
        return;
    for (D3DPrim* prim : mesh->prims) {
        MeshVertices vertices(prim, true);
        for (int i = 0; i < vertices.Count(); ++i)
            visit(vertices, i);
    }
}

} // namespace

void Sky::Load(Device* newDevice, MapDescription* newMap)
{
    Release();
    device = newDevice;
    map = newMap;
    for (int set = 0; set < 5; ++set) {
        domes[set] = LoadSkyModel(device, map->skyModels[set]);
        qMesh* mesh = domes[set]->GetMesh();
        if (!mesh)
            continue;
        for (Material* material : mesh->GetMaterials()) {
            if (material->srcBlend == BlendOne && material->destBlend == BlendZero)
                material->SetBlendMode(13);
            material->lightingMode = 0;
        }
        ForEachVertex(mesh, [](MeshVertices& v, int i) { v.SetDiffuse(i, v.Diffuse(i) | 0x00FFFFFFu); });
    }
    domes[currentSet]->SetParent(this);

    clouds = LoadSkyModel(device, "Maps/Sky/clouds.q3d");
    clouds->SetParent(this);
    if (qMesh* mesh = clouds->GetMesh())
        for (Material* material : mesh->GetMaterials()) {
            if (!material->texture[0])
                continue;
            D3DBitmap* texture = nullptr;
            device->CreateBitmap(&texture);
            if (!texture || texture->Load(map->cloudTexture, 0, 0) < 0) {
                const std::string error = texture ? texture->GetLastError() : "no bitmap";
                if (texture)
                    texture->Destroy();
                throw q3DError("%s", error.c_str());
            }
            material->texture[0]->Destroy();
            material->texture[0] = texture;
            material->SetBlendMode(13);
            material->lightingMode = 0;
        }
    SetCloudOpacity(map->lighting[LightSkyValue][currentSet]);

    starBox = LoadSkyModel(device, "Maps/Sky/starbox.q3d");
    if (qMesh* mesh = starBox->GetMesh()) {
        for (Material* material : mesh->GetMaterials()) {
            material->srcBlend = BlendOne;
            material->destBlend = BlendOne;
            material->lightingMode = 0;
            material->cullFlags = 0;
        }
        mesh->SetVertexColor(0xFFFFFFFFu);
    }
    starBox->SetParent(this);
}

void Sky::SetCloudOpacity(float opacity)
{
    cloudOpacity = std::clamp(opacity, 0.0f, 1.0f);
    qMesh* mesh = clouds ? clouds->GetMesh() : nullptr;
    if (!mesh)
        return;
    const std::uint32_t alpha = std::uint32_t(cloudOpacity * 255.0f);
    for (Material* material : mesh->GetMaterials())
        material->color = alpha << 24 | 0x00FFFFFFu;
    ForEachVertex(mesh, [this](MeshVertices& v, int i) {
        const float y = v.Position(i).y;
        if (y < 0.3f) {
            const float a = std::max(0.0f, cloudOpacity * y * 3.3333333f);
            v.SetDiffuse(i, (v.Diffuse(i) & 0x00FFFFFFu) | std::uint32_t(std::min(a, 1.0f) * 255.0f) << 24);
        }
    });
}

void Sky::SetTimeOfDay(int set, float skyValue)
{
    if (set < 0 || set >= 5 || !domes[set])
        return;
    if (domes[currentSet])
        domes[currentSet]->Detach();
    domes[set]->SetParent(this);
    currentSet = set;
    SetCloudOpacity(skyValue);
}

void Sky::FollowCamera(const Vector3& eye)
{
    position = eye;
    UpdateTransform(0.0f);
    for (auto* child : {domes[currentSet].get(), clouds.get(), starBox.get()})
        if (child)
            child->UpdateTransform(0.0f);
}

void Sky::Draw()
{
    if (!device)
        return;
    const bool fog = device->GetFogEnable();
    device->SetFogEnable(false);
    // The sky lies behind everything: drawn without touching the depth buffer.
    device->SetZWrite(false);
    if (domeOn && domes[currentSet])
        domes[currentSet]->Draw(device);
    if (cloudsOn && cloudOpacity > 0.0f && clouds)
        clouds->Draw(device);
    device->SetZWrite(true);
    device->SetFogEnable(fog);
}

void Sky::Release()
{
    for (auto& dome : domes)
        dome.reset();
    starBox.reset();
    clouds.reset();
}
