#include "world/shadows/ShadowProp.h"

#include <cstdio>
#include <strings.h>

#include "engine/camera/Camera.h"
#include "engine/material/Material.h"
#include "engine/material/VertexLayout.h"
#include "engine/mesh/qMesh.h"
#include "renderer/Device.h"
#include "world/map/MapDescription.h"
#include "world/map/MapObject.h"
#include "world/props/PropArena.h"
#include "world/World.h"

std::uint32_t DynShadowProp::Parse(MapObject* object, const char* line)
{
    World* world = World::Current();
    LibraryObject* library = object->GetLibraryEntry();
    caster = library ? library->mesh : nullptr;
    float distance = -1.0f;
    char name[256] = {};
    const int read = line ? std::sscanf(line, "%*s %f %255s", &distance, name) : 0;
    if (read >= 1)
        maximumDistance = distance;
    if (read >= 2 && world) {
        caster = nullptr;
        for (int i = 0; i < world->GetLibraryObjectCount(); ++i) {
            LibraryObject* other = world->GetLibraryObject(i);
            if (other && other->entry && strcasecmp(other->entry->objectName, name) == 0) {
                caster = other->mesh;
                break;
            }
        }
        if (!caster) {
            if (world->device)
                world->device->Log("Couldn't find object %s", name);
            return PropOneShot;
        }
    }
    return PropPostDraw;
}

void DynShadowProp::PostDraw(MapObject* object, float)
{
    World* world = World::Current();
    if (!world || !world->shadows || !caster)
        return;
    Camera* camera = world->camera;
    if (maximumDistance >= 0.0f && camera &&
        object->GetPosition().DistanceSquared(camera->world.GetTranslation()) > maximumDistance * maximumDistance)
        return;
    if (world->frozen && open && world->device) {
        // The editor shows where the mesh is open.
        std::vector<ShadowVolumeVertex> lines;
        for (const ShadowEdge& edge : openEdges) {
            const ShadowMesh::Prim& prim = mesh.prims[std::size_t(edge.first.prim)];
            for (const int corner : {edge.a, edge.b}) {
                const Vector3 p = prim.positions[std::size_t(corner)] + prim.normals[std::size_t(corner)] * 0.01f;
                lines.push_back({{p.x, p.y, p.z}, {0, 0, 0}, 0xff0000ffu, {0, 0, 0, 0}});
            }
        }
        Material& red = world->openEdgeLines;
        red.lightingMode = 0;
        VertexLayout layout;
        layout.InitLitTextured();
        Matrix4 transform;
        object->GetTransform(transform);
        world->device->SetWorldTransform(&transform);
        world->device->SetZEnable(false);
        world->device->DrawUserPrimitives(PrimLineList, lines.data(), int(lines.size()), &layout, nullptr, 0, &red);
        world->device->SetZEnable(true);
    }
    const Quaternion rotation = object->GetRotationQuat();
    const float scale = object->GetScale();
    if (!built || !(rotation == builtRotation) || scale != builtScale) {
        if (edges.empty() && !open) {
            if (mesh.prims.empty())
                mesh = ShadowMesh::FromMesh(caster);
            open = ShadowEdges::Build(mesh, edges, openEdges);
        }
        if (!edges.empty()) {
            Vector3 light(0.0f, 1.0f, 0.0f);
            if (world->sun)
                light = Vector3(-world->sun->direction[0], -world->sun->direction[1], -world->sun->direction[2]);
            // Into the object's space: the inverse of a rotation is its transpose.
            const Vector3 local = object->GetRotation().Transpose().Transform(light);
            ShadowVolume::Build(mesh, edges, local.x, local.y, local.z, volume);
        }
        builtRotation = rotation;
        builtScale = scale;
        built = true;
    }
    if (edges.empty())
        return;
    object->GetTransform(volume.transform);
    world->AddShadowVolume(&volume);
}

void DynShadowProp::Detach(MapObject*)
{
    if (World* world = World::Current())
        world->RemoveShadowVolume(&volume);
    edges.clear();
    openEdges.clear();
    mesh = ShadowMesh();
    volume = ShadowVolume();
    open = built = false;
}

Prop* DynShadowPropFactory() { return MakeArenaProp<DynShadowProp>(DynShadowPropFactory); }
