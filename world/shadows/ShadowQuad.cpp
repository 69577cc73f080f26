#include "world/shadows/ShadowQuad.h"

#include <cstring>
#include <string>

#include "engine/camera/Camera.h"
#include "engine/core/q3DError.h"
#include "engine/material/Material.h"
#include "engine/material/VertexLayout.h"
#include "engine/mesh/MeshVertices.h"
#include "engine/mesh/qMesh.h"
#include "renderer/Device.h"

qShadow::~qShadow()
{
    delete mesh;
    mesh = nullptr;
}

void qShadow::Create(Device* newDevice, const char* texture)
{
    device = newDevice;
    if (!device)
        throw q3DError("Error creating qShadow prim: %s", "no device");
    auto* shadowMesh = new qMesh(device, 1);
    SetMesh(shadowMesh);
    D3DPrim* prim = nullptr;
    device->CreatePrim(&prim);
    VertexLayout layout;
    layout.InitColoredTextured2();
    if (!prim || prim->Create(PrimTriangleFan, 4, 0, &layout, 0) != 0) {
        const std::string reason = prim && prim->GetLastError() ? prim->GetLastError() : "no prim";
        if (prim)
            prim->Release();
        throw q3DError("Error creating qShadow prim: %s", reason.c_str());
    }
    prim->primitiveType = PrimTriangleFan;
    shadowMesh->prims[0] = prim;
    {
        static constexpr float kCorners[4][4] = {{-0.5f, 0.5f, 0, 0}, {0.5f, 0.5f, 1, 0}, {0.5f, -0.5f, 1, 1},
                                                 {-0.5f, -0.5f, 0, 1}};
        MeshVertices vertices(prim, true);
        for (int i = 0; i < 4; ++i) {
            vertices.SetPosition(i, Vector3(kCorners[i][0], 0.0f, kCorners[i][1]));
            vertices.SetDiffuse(i, 0xFFFFFFFFu);
            vertices.SetTexCoord(0, i, kCorners[i][2], kCorners[i][3]);
        }
    }
    auto* material = new Material();
    std::strcpy(material->name, "ShadowMat");
    material->SetBlendMode(13);
    material->lightingMode = 0;
    material->cullFlags = Material::kTwoSided;
    prim->material = material;
    const char* path = texture ? texture : kDefaultTexture;
    device->CreateBitmap(&material->texture[0]);
    if (!material->texture[0] || material->texture[0]->Load(path, 0, BitmapPrivate) < 0)
        throw q3DError("Can't load shadow texture %s", path);
    shadowMesh->bounds = BoundingBox(Vector3(-0.5f, 0.0f, -0.5f), Vector3(0.5f, 0.0f, 0.5f));
    shadowMesh->radius = 0.7072f;
}

bool qShadow::Draw(Device* drawDevice)
{
    if (!mesh || mesh->prims.empty() || !mesh->prims[0] || !drawDevice)
        return false;
    Camera* camera = drawDevice->GetCamera();
    drawDevice->SetSortQueueEnabled(false);
    drawDevice->SetZWrite(false);
    drawDevice->SetWorldTransform(&world);
    float near = 0.0f;
    if (camera) {
        near = camera->GetNear();
        camera->SetNear(near + 0.2f);
        camera->UpdateTransform(0.0f);
    }
    const bool drawn = drawDevice->DrawPrim(mesh->prims[0]);
    if (camera) {
        camera->SetNear(near);
        camera->UpdateTransform(0.0f);
    }
    drawDevice->SetZWrite(true);
    drawDevice->SetSortQueueEnabled(true);
    return drawn;
}
