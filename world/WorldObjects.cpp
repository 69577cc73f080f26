#include <algorithm>
#include <cmath>

#include "engine/material/Material.h"
#include "engine/mesh/qMesh.h"
#include "renderer/Device.h"
#include "world/props/PropClasses.h"
#include "world/terrain/TerrainPatch.h"
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
    // More patches than the grid has reach no further; a radius or cell size that is not a
    // number reaches the whole grid.
    const float patches = radius / (cellSize * 16.0f);
    const int grid = std::max(patchColumns, patchRows);
    return std::fabs(patches) < float(grid) ? int(patches) + 2 : grid + 2;
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
        ObjectMeshHit hit;
        if (!PickObjectMesh(*object, *library->mesh, point, Vector3(0.0f, -1.0f, 0.0f), filter, hit, device))
            continue;
        const Vector3 hitPoint = hit.point;
        // The nearest surface below wins.
        if (hitPoint.y > point.y + 0.0001f || (best != kNoHit && hitPoint.y <= best))
            continue;
        best = hitPoint.y;
        if (out) {
            out->object = object;
            out->slot = -1;
            out->tile = hit.material;
            out->normal = hit.normal;
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
