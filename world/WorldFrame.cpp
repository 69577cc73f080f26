#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "engine/camera/Camera.h"
#include "engine/material/Material.h"
#include "engine/mesh/qMesh.h"
#include "renderer/Device.h"
#include "world/props/PropClasses.h"
#include "world/environment/Sky.h"
#include "world/terrain/TerrainPatch.h"
#include "world/World.h"

namespace {

Vector3 CameraForward(const Camera* camera)
{
    return Vector3(camera->world.m[8], camera->world.m[9], camera->world.m[10]);
}

std::uint32_t ScaleColour(std::uint32_t colour, const float factor[3])
{
    std::uint32_t out = colour & 0xFF000000u;
    for (int i = 0; i < 3; ++i) {
        const int shift = 16 - 8 * i;
        const std::uint32_t channel = std::uint32_t(float((colour >> shift) & 0xFF) * factor[i]);
        out |= std::min<std::uint32_t>(channel, 255) << shift;
    }
    return out;
}

} // namespace

void World::CollectVisible()
{
    for (int i = 0; i < visibleCount; ++i)
        if (MapObject* object = visibleObjects[std::size_t(i)].object)
            object->visible = 0;
    visibleCount = 0;
    visiblePatches.clear();
    waterVisibleThisFrame = false;
    if (!camera || patches.empty())
        return;
    const Vector3 eye = camera->world.GetTranslation();
    const Vector3 forward = CameraForward(camera);
    int column = 0, row = 0;
    WorldToCell(eye.x, eye.z, column, row);
    // Cells left of or above the map must not round towards patch 0.
    const int cameraPatchColumn = column < 0 ? -1 - (-column - 1) / 16 : column / 16;
    const int cameraPatchRow = row < 0 ? -1 - (-row - 1) / 16 : row / 16;
    const float range = camera->GetFar() * 1.414f;
    const int m = int(range * 1.78f / (cellSize * 16.0f));
    const Matrix4 identity;
    device->SetWorldTransform(&identity);
    for (int r = cameraPatchRow - m - 1; r <= cameraPatchRow + m; ++r) {
        if (r < 0 || r >= patchRows)
            continue;
        for (int c = cameraPatchColumn - m - 1; c <= cameraPatchColumn + m; ++c) {
            if (c < 0 || c >= patchColumns)
                continue;
            qTerrainPatch* patch = patches[std::size_t(r * patchColumns + c)].get();
            patch->drawn = false;
            if (forward.Dot(eye - patch->centre) >= patch->radius)
                continue;
            const bool own = c == cameraPatchColumn && r == cameraPatchRow;
            int near = 0;
            const int x0 = patch->firstColumn, z0 = patch->firstRow;
            for (const auto& [cx, cz] : {std::pair{x0, z0}, {x0 + 16, z0}, {x0 + 16, z0 + 16}, {x0, z0 + 16}})
                if (GetCornerPosition(cx, cz).DistanceSquared(eye) < range * range)
                    ++near;
            if (near == 0 && !own)
                continue;
            if (camera->BoxInFrustum(patch->GetBox()) == 0)
                continue;
            patch->distanceSquared = patch->centre.DistanceSquared(eye);
            visiblePatches.push_back(patch);
        }
    }
    std::sort(visiblePatches.begin(), visiblePatches.end(),
              [](const qTerrainPatch* a, const qTerrainPatch* b) { return a->distanceSquared < b->distanceSquared; });
    if (sky && !skyOff)
        sky->FollowCamera(eye);
    const bool cameraOutside = cameraPatchColumn < 0 || cameraPatchRow < 0 || cameraPatchColumn >= patchColumns ||
                               cameraPatchRow >= patchRows;
    const std::vector<std::uint8_t>* seen =
        cameraOutside ? nullptr : &patches[std::size_t(cameraPatchRow * patchColumns + cameraPatchColumn)]->visibility;
    for (qTerrainPatch* patch : visiblePatches) {
        patch->drawn = !seen || diagnostics || (*seen)[std::size_t(patch->patchIndex)] != 0;
        if (!objectsOff)
            for (int slot = 0, count = 0; slot < int(patch->objects.size()) && count < patch->objectCount; ++slot) {
                MapObject* object = patch->objects[std::size_t(slot)];
                if (!object)
                    continue;
                ++count;
                if (!object->visible)
                    AddVisibleObject(object);
            }
        if (GetWaterSample(patch->firstColumn / 16, patch->firstRow / 16) >= 1)
            waterVisibleThisFrame = true;
    }
}

void World::AddVisibleObject(MapObject* object)
{
    if (visibleCount >= kMaxVisibleObjects) {
        // More objects than the list holds: the rest of this frame's objects are not drawn.
        if (!visibleOverflowLogged) {
            const Vector3 eye = camera ? camera->world.GetTranslation() : Vector3();
            device->Log("ERROR: **Too many visible objects!**");
            device->Log("Camera Location: %.2f, %.2f %.2f", eye.x, eye.y, eye.z);
            visibleOverflowLogged = true;
        }
        return;
    }
    const Vector3 eye = camera ? camera->world.GetTranslation() : Vector3();
    visibleObjects[std::size_t(visibleCount++)] = {object, object->GetPosition().DistanceSquared(eye)};
    object->visible = 1;
}

void World::RenderTerrain()
{
    if (sky && !skyOff)
        sky->Draw();
    detailVertexCount = detailIndexCount = 0;
    for (qTerrainPatch* patch : visiblePatches)
        if (patch->drawn)
            patch->Render();
    // The frame's water and detail objects close the terrain.
    RenderWater();
}

void World::RenderObjects()
{
    std::sort(visibleObjects.get(), visibleObjects.get() + visibleCount,
              [](const VisibleObject& a, const VisibleObject& b) { return a.distanceSquared > b.distanceSquared; });
    const float dt = device ? float(device->GetFrameTime()) * 0.001f : 0.0f;
    drawnObjectCount = 0;
    for (int i = 0; i < visibleCount; ++i) {
        MapObject* object = visibleObjects[std::size_t(i)].object;
        if (!object)
            continue;
        const LibraryObject* library = object->GetLibraryEntry();
        if (!drawAll && (object->hidden || !library || !groupVisible[std::size_t(library->entry->groupIndex)]))
            continue;
        if (object->hasPreDrawProps)
            object->CallPreDraw(dt);
        DrawObject(object);
    }
    for (int i = 0; i < visibleCount; ++i) {
        MapObject* object = visibleObjects[std::size_t(i)].object;
        if (object && object->hasPostDrawProps)
            object->CallPostDraw(dt);
    }
}

void World::DrawObject(MapObject* object)
{
    LibraryObject* library = object->GetLibraryEntry();
    if (!library || !library->mesh)
        return;
    std::uint32_t local = 0;
    bool hasLocal = false;
    if (object->noGround) {
        if (const auto* shade = static_cast<IndoorShadeProp*>(object->FindProp(IndoorShadePropFactory));
            shade && shade->lightValue >= 0) {
            local = std::uint32_t(shade->lightValue);
            hasLocal = true;
        }
    } else if (object->FindProp(TakeShadowPropFactory) && HasLightMap()) {
        hasLocal = GetTerrainLight(object->GetPosition(), &local);
    }
    std::uint32_t savedAmbient = 0, savedSun = sun ? sun->color : 0;
    if (hasLocal) {
        float factor[3];
        for (int i = 0; i < 3; ++i)
            factor[i] = std::min(float((local >> (16 - 8 * i)) & 0xFF) / 255.0f + 0.2f, 1.0f);
        device->GetAmbient(&savedAmbient);
        device->SetAmbient(ScaleColour(savedAmbient, factor));
        if (sun) {
            sun->color = ScaleColour(savedSun, factor);
            sun->Set();
        }
    }
    if (!object->hidden || drawAll) {
        Matrix4 transform;
        object->GetTransform(transform);
        drawNode->UseMesh(library->mesh);
        drawNode->local = transform;
        drawNode->world = transform;
        if (object->boxHighlight)
            library->mesh->showBox = 1;
        if (drawNode->Draw(device))
            ++drawnObjectCount;
    }
    if (hasLocal) {
        device->SetAmbient(savedAmbient);
        if (sun) {
            sun->color = savedSun;
            sun->Set();
        }
    }
    library->mesh->showBox = 0;
    object->boxHighlight = 0;
}

void World::Update(float dt)
{
    swayPhase += swayAmplitude * swayDirection * dt;
    if (swayPhase >= 1.0f) {
        swayPhase = 1.0f;
        swayDirection = -swayDirection;
    } else if (swayPhase <= 0.0f) {
        swayPhase = 0.0f;
        swayDirection = -swayDirection;
    }
    windTimer += dt;
    if (windTimer < 1.0f) {
        wind = oldWind + (targetWind - oldWind) * windTimer;
    } else {
        windTimer = 1.0f;
        wind = targetWind;
    }
    for (WorldLight* light : activeLights)
        light->light->Enable(false);
    activeLights.clear();
    if (camera && !patches.empty()) {
        const Vector3 eye = camera->world.GetTranslation();
        int column = 0, row = 0;
        WorldToCell(eye.x, eye.z, column, row);
        const int patchColumn = column / 16, patchRow = row / 16;
        const int m = int(camera->GetFar() * 1.78f / (cellSize * 16.0f));
        for (int r = std::max(patchRow - m, 0); r < std::min(patchRow + m, patchRows); ++r)
            for (int c = std::max(patchColumn - m, 0); c < std::min(patchColumn + m, patchColumns); ++c) {
                qTerrainPatch& patch = *patches[std::size_t(r * patchColumns + c)];
                for (int slot = 0, seen = 0; slot < int(patch.objects.size()) && seen < patch.objectCount; ++slot) {
                    MapObject* object = patch.objects[std::size_t(slot)];
                    if (!object)
                        continue;
                    ++seen;
                    if (object->hasNearCameraProps)
                        object->CallUpdateNearCamera(dt);
                    if (auto* lightProp = static_cast<LightProp*>(object->FindProp(LightPropFactory)))
                        for (WorldLight& light : lights)
                            if (light.light == lightProp->light &&
                                std::find(activeLights.begin(), activeLights.end(), &light) == activeLights.end()) {
                                light.distanceSquared = object->GetPosition().DistanceSquared(eye);
                                activeLights.push_back(&light);
                            }
                }
            }
        if (int(activeLights.size()) > lightLimit) {
            std::sort(activeLights.begin(), activeLights.end(), [](const WorldLight* a, const WorldLight* b) {
                return a->distanceSquared < b->distanceSquared;
            });
            activeLights.resize(std::size_t(lightLimit));
        }
        for (WorldLight* light : activeLights)
            light->light->Enable(true);
    }
    // Props may take themselves off the list while it is walked.
    const std::vector<MapObject*> updating = updateList;
    for (MapObject* object : updating)
        if (object->onUpdateList)
            object->CallUpdate(dt);
    waterTime += dt * 0.1875f;
    if (waterVisibleThisFrame)
        AdvanceWaves();
    SceneNode::Update(dt);
}

void World::AddLight(D3DLight* light, int libraryIndex)
{
    light->Enable(false);
    activeLights.clear(); // it points into the light list, which may move
    lights.push_back({light, libraryIndex, 0.0f});
}

void World::RemoveLight(D3DLight* light)
{
    activeLights.clear(); // it points into the light list, which moves here
    lights.erase(std::remove_if(lights.begin(), lights.end(), [light](const WorldLight& l) { return l.light == light; }),
                 lights.end());
}
