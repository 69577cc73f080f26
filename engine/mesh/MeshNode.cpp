#include "engine/mesh/MeshNode.h"

#include <cstring>

#include "engine/camera/Camera.h"
#include "engine/core/q3DError.h"
#include "engine/material/q3DModelReader.h"
#include "engine/mesh/ModelMesh.h"
#include "engine/scene/TemporaryTree.h"
#include "renderer/Device.h"

MeshNode::~MeshNode()
{
    MeshNode::Release();
}

void MeshNode::SetMesh(qMesh* newMesh)
{
    if (newMesh == mesh)
        return;
    delete mesh;
    mesh = newMesh;
}

void MeshNode::Load(Device* newDevice, const char* path, const char* textureDirectory, int objectIndex)
{
    if (!newDevice)
        throw q3DError("Can't load %s: no device", path ? path : "(null)");
    device = newDevice;
    TemporaryTree tree;
    q3DModelReader reader;
    reader.ReadFile(newDevice, path, &tree.root, textureDirectory);

    const int count = tree.root.GetChildCount();
    if (objectIndex < 0 || objectIndex >= count)
        throw q3DError("Can't load object %d of %s: the file has %d objects", objectIndex, path, count);
    auto* object = static_cast<MeshNode*>(tree.root.GetChild(objectIndex));
    qMesh* welded = object->mesh ? new ModelMesh(*object->mesh) : nullptr;
    SetMesh(welded);

    rotation = object->rotation;
    position = object->position;
    scale = object->scale;
    SetName(object->GetName());
    delete[] properties;
    properties = nullptr;
    if (object->properties) {
        const std::size_t length = std::strlen(object->properties);
        properties = new char[length + 1];
        std::memcpy(properties, object->properties, length + 1);
    }
}

void MeshNode::Release()
{
    delete[] properties;
    properties = nullptr;
    delete mesh;
    mesh = nullptr;
    Detach();
}

bool MeshNode::Draw(Device* drawDevice)
{
    device = drawDevice;
    if (!mesh || !drawDevice)
        return false;
    drawDevice->SetWorldTransform(&world);
    // Without a camera there is no frustum to test; the mesh is drawn with clipping on.
    int inside = 1;
    if (frustumCull)
        if (Camera* camera = drawDevice->GetCamera()) {
            inside = camera->BoxInFrustum(mesh->GetBoundingBox());
            if (inside == 0)
                return false;
        }
    if (inside == 2)
        drawDevice->SetClipping(false);
    mesh->Draw(drawDevice);
    if (inside == 2)
        drawDevice->SetClipping(true);
    return true;
}

bool MeshNode::IntersectRay(HitResult& hit, PickFilterCallback filter)
{
    HitResult local;
    local.Clear();
    Matrix4 inverse = world;
    // A node scaled to nothing has no surface to hit.
    if (!inverse.Invert())
        return false;
    local.origin = inverse.TransformPoint(hit.origin);
    // Directions come into local space with the inverse too, so scaled nodes pick correctly.
    local.direction = inverse.TransformDirection(hit.direction);
    if (local.direction.Length() != 0.0f)
        local.direction.Normalize();
    if (device)
        device->SetWorldTransform(&world);
    if (!mesh || !mesh->IntersectRay(local, filter))
        return false;

    hit.hitCount = local.hitCount;
    hit.hitObject = local.hitObject;
    hit.normal = inverse.Transpose().TransformDirection(local.normal);
    hit.hitPoint = world.TransformPoint(local.hitPoint);
    hit.distance = hit.origin.Distance(hit.hitPoint);
    hit.u = local.u;
    hit.v = local.v;
    return true;
}
