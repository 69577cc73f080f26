#include <algorithm>
#include <cmath>
#include <limits>

#include "engine/camera/Camera.h"
#include "engine/mesh/qMesh.h"
#include "renderer/Device.h"
#include "world/terrain/TerrainPatch.h"
#include "world/World.h"

// Picks answer exactly what testing every patch, cell and object would answer; they only skip what
// cannot be hit within reach. The margins below are far wider than the triangle test's tolerance
// and the rounding of the cell corners, so skipping never drops a hit the full test would find.

namespace {

constexpr double kCellMargin = 1e-3;  // in cells
constexpr double kReachMargin = 1e-5; // relative, on distances along the ray

// Patch columns or rows whose span of 16 cells meets [low, high] (in cells), clamped to the grid.
void PatchSpan(double low, double high, int patches, int& first, int& last)
{
    const double limit = double(patches);
    first = int(std::clamp(std::floor(low / 16.0 - kCellMargin), 0.0, limit));
    last = int(std::clamp(std::floor(high / 16.0 + kCellMargin), -1.0, limit - 1.0));
}

// Whether the ray passes within the sphere before the given distance along it.
bool ReachesSphere(const HitResult& ray, double length, float limit, const Vector3& centre, float radius)
{
    const double reach = double(limit) / length * (1.0 + kReachMargin) + kReachMargin;
    const double w[3] = {double(centre.x) - ray.origin.x, double(centre.y) - ray.origin.y,
                         double(centre.z) - ray.origin.z};
    const double d[3] = {ray.direction.x, ray.direction.y, ray.direction.z};
    const double along = std::clamp((w[0] * d[0] + w[1] * d[1] + w[2] * d[2]) / (length * length), 0.0, reach);
    double squared = 0.0;
    for (int axis = 0; axis < 3; ++axis) {
        const double off = w[axis] - d[axis] * along;
        squared += off * off;
    }
    const double r = double(radius) * (1.0 + 1e-4) + 1e-3;
    return squared <= r * r;
}

} // namespace

bool PickObjectMesh(const MapObject& object, qMesh& mesh, const Vector3& origin, const Vector3& direction,
                    PickFilterCallback filter, ObjectMeshHit& hit, Device* device)
{
    Matrix4 transform;
    object.GetTransform(transform);
    if (filter && device)
        device->SetWorldTransform(&transform);
    Matrix4 inverse = transform;
    if (!inverse.Invert())
        return false;
    HitResult local;
    local.Clear();
    local.origin = inverse.TransformPoint(origin);
    local.direction = inverse.TransformDirection(direction);
    if (local.direction.Length() == 0.0f)
        return false;
    local.direction.Normalize();
    if (!mesh.IntersectRay(local, filter))
        return false;
    hit.point = transform.TransformPoint(local.hitPoint);
    hit.normal = inverse.Transpose().TransformDirection(local.normal).Normalize();
    hit.material = static_cast<Material*>(local.hitObject);
    return true;
}

float World::ResolvePickDistance(float maxDistance) const
{
    return maxDistance == kNoHit && camera ? camera->GetFar() : maxDistance;
}

bool World::PickTerrain(HitResult& ray, PickResult* out, float maxDistance, PickFilterCallback filter)
{
    PickResult local;
    PickResult& result = out ? *out : local;
    result.Clear();
    maxDistance = ResolvePickDistance(maxDistance);
    TerrainCellHit best;
    // A hit at exactly the max distance counts.
    best.distance = std::nextafter(maxDistance, std::numeric_limits<float>::infinity());
    if (!MarchTerrain(ray, maxDistance, filter, best))
        return false;
    result.distance = best.distance;
    result.hitPoint = best.hitPoint;
    result.tile = GetCellTile(best.column, best.row).material;
    result.normal = best.normal;
    result.column = best.column;
    result.row = best.row;
    return true;
}

// Walks the cells under the ray in order along it, a strip of cells across the ray's main
// direction at a time, and stops once a strip lies beyond the nearest hit. A cell is tested only
// where the ray's height over the strip meets the cell's corner heights. Ties between cells go to
// the one the patch-by-patch pick would have met first.
bool World::MarchTerrain(const HitResult& ray, float maxDistance, PickFilterCallback filter,
                         TerrainCellHit& best) const
{
    const int count[2] = {patchColumns * 16, patchRows * 16};
    const double length = ray.direction.Length();
    if (!heightMap || count[0] <= 0 || count[1] <= 0 || !(length > 0.0) || !(cellSize > 0.0f))
        return false;
    const double cell = cellSize;
    // Cell coordinates: u grows with x, v grows as z falls, then the height.
    const double origin[3] = {(double(ray.origin.x) + double(width) * cell / 2.0) / cell,
                              (double(height) * cell / 2.0 - double(ray.origin.z)) / cell, ray.origin.y};
    const double step[3] = {double(ray.direction.x) / cell, -double(ray.direction.z) / cell, ray.direction.y};
    const double top = 255.0 * double(heightScale);
    const double heightMargin = 1e-3 * (1.0 + std::fabs(top));
    const double low[3] = {-kCellMargin, -kCellMargin, std::min(0.0, top) - heightMargin};
    const double high[3] = {count[0] + kCellMargin, count[1] + kCellMargin, std::max(0.0, top) + heightMargin};
    double enter = 0.0, leave = double(maxDistance) / length * (1.0 + kReachMargin) + kReachMargin;
    for (int axis = 0; axis < 3; ++axis) {
        if (step[axis] == 0.0) {
            if (!(origin[axis] >= low[axis] && origin[axis] <= high[axis]))
                return false;
            continue;
        }
        double a = (low[axis] - origin[axis]) / step[axis], b = (high[axis] - origin[axis]) / step[axis];
        if (a > b)
            std::swap(a, b);
        enter = std::max(enter, a);
        leave = std::min(leave, b);
    }
    if (!(enter <= leave))
        return false;

    const int major = std::fabs(step[0]) >= std::fabs(step[1]) ? 0 : 1, minor = 1 - major;
    const auto at = [&](int axis, double t) { return origin[axis] + step[axis] * t; };
    const auto sample = [this](int column, int row) {
        column = std::clamp(column, 0, width - 1);
        row = std::clamp(row, 0, height - 1);
        return heightMap[(std::size_t(row) * std::size_t(width) + std::size_t(column)) * 3];
    };
    bool found = false;
    int bestKey = 0;
    int gatedPatch = -1;
    bool gateOpen = false;

    // The cells of major-axis lines first..last whose margin-widened squares the ray crosses
    // between t0 and t1.
    const auto visit = [&](double t0, double t1, int first, int last) {
        double b0 = at(minor, t0), b1 = at(minor, t1);
        if (b0 > b1)
            std::swap(b0, b1);
        const int jFirst = std::max(0, int(std::floor(b0 - kCellMargin)));
        const int jLast = std::min(count[minor] - 1, int(std::floor(b1 + kCellMargin)));
        double y0 = at(2, t0), y1 = at(2, t1);
        if (y0 > y1)
            std::swap(y0, y1);
        for (int k = first; k <= last; ++k)
            for (int j = jFirst; j <= jLast; ++j) {
                const int column = major == 0 ? k : j, row = major == 0 ? j : k;
                const std::uint8_t corners[4] = {sample(column, row), sample(column + 1, row),
                                                 sample(column, row + 1), sample(column + 1, row + 1)};
                const auto [lowest, highest] = std::minmax({corners[0], corners[1], corners[2], corners[3]});
                double bottom = double(float(lowest) * heightScale), summit = double(float(highest) * heightScale);
                if (bottom > summit)
                    std::swap(bottom, summit);
                const double margin = 1e-3 * (1.0 + (summit - bottom) + std::fabs(summit));
                if (y1 < bottom - margin || y0 > summit + margin)
                    continue;
                const int patchIndex = (row / 16) * patchColumns + column / 16;
                const qTerrainPatch& patch = *patches[std::size_t(patchIndex)];
                if (patchIndex != gatedPatch) {
                    gatedPatch = patchIndex;
                    const float reach = maxDistance + patch.radius;
                    HitResult boxRay = ray;
                    gateOpen = !(reach * reach < ray.origin.DistanceSquared(patch.centre)) &&
                               patch.GetBox().IntersectRay(boxRay);
                }
                if (!gateOpen)
                    continue;
                const int key = patchIndex * 256 + (row % 16) * 16 + column % 16;
                if (patch.PickCell(ray, column % 16, row % 16, filter, found && key < bestKey, best)) {
                    found = true;
                    bestKey = key;
                }
            }
    };

    if (step[major] == 0.0) {
        // Straight up or down: the cells around one point.
        const double a = origin[major];
        visit(enter, leave, std::max(0, int(std::floor(a - kCellMargin))),
              std::min(count[major] - 1, int(std::floor(a + kCellMargin))));
        return found;
    }
    const int direction = step[major] > 0.0 ? 1 : -1;
    const double a0 = at(major, enter), a1 = at(major, leave);
    const int first = std::clamp(int(std::floor(a0 - direction * kCellMargin)), 0, count[major] - 1);
    const int last = std::clamp(int(std::floor(a1 + direction * kCellMargin)), 0, count[major] - 1);
    for (int k = first;; k += direction) {
        double t0 = (k - kCellMargin - origin[major]) / step[major];
        double t1 = (k + 1 + kCellMargin - origin[major]) / step[major];
        if (t0 > t1)
            std::swap(t0, t1);
        t0 = std::max(t0, enter);
        t1 = std::min(t1, leave);
        if (found && t0 * length > double(best.distance) * (1.0 + kReachMargin) + kReachMargin)
            break;
        if (t0 <= t1)
            visit(t0, t1, k, k);
        if (k == last)
            break;
    }
    return found;
}

bool World::PickObjects(HitResult& ray, PickResult* out, float maxDistance, PickFilterCallback filter,
                        MapObject* ignore)
{
    PickResult local;
    return PickObjectsWithin(ray, out ? *out : local, ResolvePickDistance(maxDistance), filter, ignore, kNoHit);
}

// Objects whose bounding sphere the ray does not reach before the max distance, the nearest hit so
// far or the cutoff (a nearer hit of the caller's) are counted as tested without a mesh test.
bool World::PickObjectsWithin(const HitResult& ray, PickResult& result, float maxDistance,
                              PickFilterCallback filter, MapObject* ignore, float cutoff)
{
    result.Clear();
    result.slot = -1;
    float best = kNoHit;
    Vector3 bestPoint;
    pickTested.clear();
    const double length = ray.direction.Length();
    // Only patches under the ray's reach can pass the box test below.
    int firstColumn = 0, lastColumn = patchColumns - 1, firstRow = 0, lastRow = patchRows - 1;
    if (cellSize > 0.0f && !std::isnan(maxDistance)) {
        const double cell = cellSize;
        const auto reachOf = [&](double direction) { return direction == 0.0 ? 0.0 : direction * maxDistance; };
        const double u0 = (double(ray.origin.x) + double(width) * cell / 2.0) / cell;
        const double v0 = (double(height) * cell / 2.0 - double(ray.origin.z)) / cell;
        const double u1 = u0 + reachOf(ray.direction.x) / cell, v1 = v0 - reachOf(ray.direction.z) / cell;
        PatchSpan(std::min(u0, u1), std::max(u0, u1), patchColumns, firstColumn, lastColumn);
        PatchSpan(std::min(v0, v1), std::max(v0, v1), patchRows, firstRow, lastRow);
    }
    for (int patchRow = firstRow; patchRow <= lastRow; ++patchRow)
        for (int patchColumn = firstColumn; patchColumn <= lastColumn; ++patchColumn) {
            qTerrainPatch* patch = patches[std::size_t(patchRow * patchColumns + patchColumn)].get();
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
                if (length > 0.0 &&
                    !ReachesSphere(ray, length, std::min({maxDistance, best, cutoff}), object->GetPosition(),
                                   library->mesh->GetRadius() * std::fabs(object->GetScale())))
                    continue;
                ObjectMeshHit hit;
                if (!PickObjectMesh(*object, *library->mesh, ray.origin, ray.direction, filter, hit, device))
                    continue;
                const float distance = hit.point.Distance(ray.origin);
                if (distance < best && distance <= maxDistance) {
                    best = distance;
                    bestPoint = hit.point;
                    result.object = object;
                    result.slot = slot;
                    result.tile = hit.material;
                    result.normal = hit.normal;
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
    // An object behind the terrain hit cannot win, one as near as it does.
    const bool objectHit = PickObjectsWithin(ray, object, ResolvePickDistance(maxDistance), filter, ignore,
                                             terrainHit ? terrain.distance : kNoHit);
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
