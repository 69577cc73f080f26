#include <algorithm>
#include <cmath>

#include "engine/camera/Camera.h"
#include "engine/material/Material.h"
#include "engine/mesh/qMesh.h"
#include "renderer/Device.h"
#include "world/PropClasses.h"
#include "world/TerrainPatch.h"
#include "world/World.h"

namespace {

bool IsOpaque(const Material* material)
{
    return material && material->srcBlend == BlendOne && material->destBlend == BlendZero;
}

} // namespace

int World::GetObjectPatchReach(const MapObject* object, float* radiusOut) const
{
    const LibraryObject* library = object->GetLibraryEntry();
    const float radius = (library && library->mesh ? library->mesh->GetRadius() : 0.0f) * object->GetScale();
    if (radiusOut)
        *radiusOut = radius;
    return int(radius / (cellSize * 16.0f)) + 2;
}

bool World::InsertObject(MapObject* object)
{
    const Vector3 position = object->GetPosition();
    int column = 0, row = 0;
    WorldToCell(position.x, position.z, column, row);
    const int patchColumn = column / 16, patchRow = row / 16;
    float radius = 0.0f;
    const int reach = GetObjectPatchReach(object, &radius);
    for (int r = std::max(patchRow - reach, 0); r <= std::min(patchRow + reach, patchRows - 1); ++r)
        for (int c = std::max(patchColumn - reach, 0); c <= std::min(patchColumn + reach, patchColumns - 1); ++c) {
            qTerrainPatch& patch = *patches[std::size_t(r * patchColumns + c)];
            if (!CircleOverlapsRect(position.x, position.z, radius, patch.boxMin.x, patch.boxMin.z, patch.boxMax.x,
                                    patch.boxMax.z))
                continue;
            if (!patch.AddObj(object))
                return false;
        }
    return true;
}

void World::RemoveObject(MapObject* object)
{
    if (!object)
        return;
    // Every patch that may list it: an object can have moved since it was inserted.
    for (auto& patch : patches)
        patch->RemoveObj(object);
    for (int i = 0; i < visibleCount; ++i)
        if (visibleObjects[std::size_t(i)].object == object)
            visibleObjects[std::size_t(i)].object = nullptr;
    object->visible = 0;
    RemoveFromUpdateList(object);
    if (map && object->record)
        map->RemoveObjectRecord(object->record);
    object->record = nullptr;
    if (object->previous)
        object->previous->next = object->next;
    else if (objects == object)
        objects = object->next;
    if (object->next)
        object->next->previous = object->previous;
    object->Clear();
    objectPool.Free(object);
}

void World::AddToUpdateList(MapObject* object)
{
    if (object->onUpdateList)
        return;
    updateList.insert(updateList.begin(), object);
    object->onUpdateList = true;
}

void World::RemoveFromUpdateList(MapObject* object)
{
    if (!object->onUpdateList)
        return;
    updateList.erase(std::remove(updateList.begin(), updateList.end(), object), updateList.end());
    object->onUpdateList = false;
}

void World::GatherObjectsInRadius(const Vector3& point, float radius, std::vector<MapObject*>& list)
{
    list.clear();
    int column = 0, row = 0;
    WorldToCell(point.x, point.z, column, row);
    const int patchColumn = column / 16, patchRow = row / 16;
    const int reach = int(radius / (cellSize * 16.0f)) + 1;
    for (int r = std::max(patchRow - reach, 0); r <= std::min(patchRow + reach, patchRows - 1); ++r)
        for (int c = std::max(patchColumn - reach, 0); c <= std::min(patchColumn + reach, patchColumns - 1); ++c) {
            const qTerrainPatch& patch = *patches[std::size_t(r * patchColumns + c)];
            for (int slot = 0, seen = 0; slot < int(patch.objects.size()) && seen < patch.objectCount; ++slot) {
                MapObject* object = patch.objects[std::size_t(slot)];
                if (!object)
                    continue;
                ++seen;
                if (std::find(list.begin(), list.end(), object) != list.end())
                    continue;
                const LibraryObject* library = object->GetLibraryEntry();
                if (!library || !library->mesh)
                    continue;
                const float reachRadius = radius + library->mesh->GetRadius() * object->GetScale();
                if (reachRadius * reachRadius < point.DistanceSquared(object->GetPosition()))
                    continue;
                Matrix4 inverse;
                object->GetTransform(inverse);
                if (!inverse.Invert())
                    continue;
                BoundingBox local;
                for (int corner = 0; corner < 8; ++corner)
                    local.AddTransformedPoint(point + Vector3(corner & 1 ? radius : -radius,
                                                              corner & 2 ? radius : -radius,
                                                              corner & 4 ? radius : -radius),
                                              inverse);
                if (BoxesOverlap(local, library->mesh->GetBoundingBox()))
                    list.push_back(object);
            }
        }
}

bool BoxesOverlap(const BoundingBox& a, const BoundingBox& b)
{
    for (int axis = 0; axis < 3; ++axis)
        if (a.min[axis] > b.max[axis] || a.max[axis] < b.min[axis])
            return false;
    return true;
}

bool World::PickTerrain(HitResult& ray, PickResult* out, float maxDistance, PickFilterCallback filter)
{
    PickResult local;
    PickResult& result = out ? *out : local;
    result.Clear();
    if (maxDistance == kNoHit && camera)
        maxDistance = camera->GetFar();
    bool hit = false;
    for (auto& patch : patches) {
        const float reach = maxDistance + patch->radius;
        if (reach * reach < ray.origin.DistanceSquared(patch->centre))
            continue;
        PickResult candidate;
        if (!patch->Pick(ray, &candidate, filter))
            continue;
        const float distance = candidate.hitPoint.Distance(ray.origin);
        if (distance < result.distance && distance <= maxDistance) {
            result.distance = distance;
            result.hitPoint = candidate.hitPoint;
            result.tile = candidate.tile;
            result.normal = candidate.normal;
            result.column = candidate.column;
            result.row = candidate.row;
            hit = true;
        }
    }
    return hit;
}

bool World::PickObjects(HitResult& ray, PickResult* out, float maxDistance, PickFilterCallback filter,
                        MapObject* ignore)
{
    PickResult local;
    PickResult& result = out ? *out : local;
    result.Clear();
    result.slot = -1;
    if (maxDistance == kNoHit && camera)
        maxDistance = camera->GetFar();
    float best = kNoHit;
    Vector3 bestPoint;
    pickTested.clear();
    for (auto& patch : patches) {
        const float reach = maxDistance + patch->radius;
        if (reach * reach < ray.origin.DistanceSquared(patch->centre))
            continue;
        HitResult boxRay = ray;
        if (!patch->GetBox().IntersectRay(boxRay) || boxRay.distance > maxDistance)
            continue;
        for (int slot = 0, seen = 0; slot < int(patch->objects.size()) && slot < qTerrainPatch::kMaxObjects &&
                                     seen < patch->objectCount;
             ++slot) {
            MapObject* object = patch->objects[std::size_t(slot)];
            if (!object)
                continue;
            ++seen;
            if (object == ignore)
                continue;
            const LibraryObject* library = object->GetLibraryEntry();
            if (!drawAll && (object->hidden || !library || !groupVisible[std::size_t(library->entry->groupIndex)]))
                continue;
            if (object->pickMark)
                continue;
            object->pickMark = 1;
            pickTested.push_back(object);
            if (int(pickTested.size()) >= kMaxPickMemory) {
                device->Log("Warning: More than 65536 objects in pick, performance is degraded due to too many "
                            "objects on map near location X: %.2f Y: %.2f.",
                            object->GetPosition().x, object->GetPosition().y);
                for (MapObject* tested : pickTested)
                    tested->pickMark = 0;
                pickTested.clear();
            }
            if (!library || !library->mesh)
                continue;
            // Pick in the object's space, as the mesh node does.
            Matrix4 transform;
            object->GetTransform(transform);
            Matrix4 inverse = transform;
            if (!inverse.Invert())
                continue;
            HitResult objectRay;
            objectRay.Clear();
            objectRay.origin = inverse.TransformPoint(ray.origin);
            objectRay.direction = inverse.TransformDirection(ray.direction);
            if (objectRay.direction.Length() == 0.0f)
                continue;
            objectRay.direction.Normalize();
            if (!library->mesh->IntersectRay(objectRay, filter))
                continue;
            const Vector3 point = transform.TransformPoint(objectRay.hitPoint);
            const float distance = point.Distance(ray.origin);
            if (distance < best && distance <= maxDistance) {
                best = distance;
                bestPoint = point;
                result.object = object;
                result.slot = slot;
                result.tile = static_cast<Material*>(objectRay.hitObject);
                result.normal = inverse.Transpose().TransformDirection(objectRay.normal).Normalize();
            }
        }
    }
    for (MapObject* tested : pickTested)
        tested->pickMark = 0;
    pickTested.clear();
    if (result.object) {
        result.hitPoint = bestPoint;
        result.distance = best;
        return true;
    }
    result.distance = kNoHit;
    return false;
}

bool World::Pick(HitResult& ray, PickResult* out, float maxDistance, PickFilterCallback filter, MapObject* ignore)
{
    PickResult terrain, object;
    const bool terrainHit = PickTerrain(ray, &terrain, maxDistance, filter);
    const bool objectHit = PickObjects(ray, &object, maxDistance, filter, ignore);
    const PickResult& winner = terrainHit && (!objectHit || object.distance > terrain.distance) ? terrain : object;
    if (out)
        *out = winner;
    return winner.distance != kNoHit;
}

bool World::PickFromScreen(float x, float y, PickResult* out)
{
    if (!camera)
        return false;
    HitResult ray;
    ray.Clear();
    camera->ScreenToRay(x, y, &ray);
    ray.direction.Normalize();
    return Pick(ray, out, kNoHit, nullptr);
}

float World::GetObjectBelow(const Vector3& point, PickResult* out, PickFilterCallback filter, const MapObject* masked)
{
    int column = 0, row = 0;
    WorldToCell(point.x, point.z, column, row);
    if (column < 0 || row < 0)
        return kNoHit;
    const int patchColumn = column / 16, patchRow = row / 16;
    if (patchColumn >= patchColumns || patchRow >= patchRows)
        return kNoHit;
    const qTerrainPatch& patch = *patches[std::size_t(patchRow * patchColumns + patchColumn)];
    float best = kNoHit;
    for (int slot = 0, seen = 0; slot < int(patch.objects.size()) && seen < patch.objectCount; ++slot) {
        MapObject* object = patch.objects[std::size_t(slot)];
        if (!object)
            continue;
        ++seen;
        const LibraryObject* library = object->GetLibraryEntry();
        if (!library || !library->mesh)
            continue;
        const bool pickable = !object->hidden && groupVisible[std::size_t(library->entry->groupIndex)];
        const bool hasDrawDistance = object->FindProp(DrawDistPropFactory) && object != masked;
        if (!pickable && !hasDrawDistance)
            continue;
        Matrix4 transform;
        object->GetTransform(transform);
        Matrix4 inverse = transform;
        if (!inverse.Invert())
            continue;
        HitResult ray;
        ray.Clear();
        ray.origin = inverse.TransformPoint(point);
        ray.direction = inverse.TransformDirection(Vector3(0.0f, -1.0f, 0.0f)).Normalize();
        if (!library->mesh->IntersectRay(ray, filter))
            continue;
        const Vector3 hitPoint = transform.TransformPoint(ray.hitPoint);
        // The nearest surface below wins.
        if (hitPoint.y > point.y + 0.0001f || (best != kNoHit && hitPoint.y <= best))
            continue;
        best = hitPoint.y;
        if (out) {
            out->object = object;
            out->slot = -1;
            out->tile = static_cast<Material*>(ray.hitObject);
            out->normal = inverse.Transpose().TransformDirection(ray.normal).Normalize();
            out->hitPoint = hitPoint;
            out->distance = point.y - hitPoint.y;
        }
    }
    return best;
}

float World::GetFloorHeight(const Vector3& point, PickFilterCallback filter)
{
    return GetFloorHeightEx(point, nullptr, filter, false);
}

float World::GetFloorHeightEx(const Vector3& point, PickResult* out, PickFilterCallback filter)
{
    return GetFloorHeightEx(point, out, filter, true);
}

float World::GetFloorHeightEx(const Vector3& point, PickResult* out, PickFilterCallback filter, bool triangles)
{
    const Vector3 start(point.x, point.y + 0.01f, point.z);
    PickResult ground, object;
    float t = triangles ? GetGroundBelow(point, &ground, filter) : GetTerrainHeightSmooth(point, &ground);
    const float o = GetObjectBelow(start, &object, filter);
    int column = 0, row = 0;
    WorldToCell(point.x, point.z, column, row);
    const bool inside = column >= 0 && row >= 0 && column < width && row < height;
    if (!inside || t == kNoHit || !IsOpaque(ground.tile))
        t = kNoHit;
    if (t > point.y || t == kNoHit) {
        if (o == kNoHit) {
            if (out)
                out->Clear();
            return kNoHit;
        }
        t = kNoHitNegative;
    }
    const bool objectWins = o != kNoHit && o != kNoHitNegative && start.y - o < start.y - t;
    if (out)
        *out = objectWins ? object : ground;
    return objectWins ? o : t;
}
