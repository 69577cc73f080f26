#include "world/terrain/TerrainPatch.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "engine/camera/Camera.h"
#include "engine/material/Material.h"
#include "engine/material/VertexLayout.h"
#include "engine/mesh/qMesh.h"
#include "renderer/Device.h"
#include "world/map/MapObject.h"
#include "world/World.h"

namespace {

void BuildStatics(TerrainPatchShared& statics, Device* device, float cellSize)
{
    for (int i = 0; i <= 16; ++i) {
        statics.templateX[i] = float(i) * cellSize - 8.0f * cellSize;
        statics.templateZ[i] = float(16 - i) * cellSize - 8.0f * cellSize;
    }
    for (int r = 0; r < 16; ++r)
        for (int c = 0; c < 16; ++c) {
            const std::uint16_t b = std::uint16_t(r * 17 + c);
            std::uint16_t* out = &statics.cellIndices[(r * 16 + c) * 6];
            out[0] = b, out[1] = b + 1, out[2] = b + 17, out[3] = b + 1, out[4] = b + 18, out[5] = b + 17;
            std::uint16_t* wire = &statics.wireIndices[(r * 16 + c) * 4];
            wire[0] = b, wire[1] = b + 1, wire[2] = b + 1, wire[3] = b + 18;
        }
    statics.layout.InitColoredTextured2();
    for (int r = 0; r <= 16; ++r)
        for (int c = 0; c <= 16; ++c) {
            std::uint8_t* v = &statics.vertices[(r * 17 + c) * 32];
            const float uv[4] = {float(c), float(r), float(c) / 16.0f, float(r) / 16.0f};
            const std::uint32_t white = 0xFFFFFFFFu;
            std::memcpy(v + 12, &white, 4);
            std::memcpy(v + 16, uv, 16);
        }
    if (device && !statics.filterContext)
        device->CreatePrim(&statics.filterContext);
}

} // namespace

static_assert(TerrainPatchShared::kVertices == qTerrainPatch::kVertices);

TerrainPatchShared::~TerrainPatchShared()
{
    if (filterContext)
        filterContext->Destroy();
}

qTerrainPatch::qTerrainPatch() : objects(32, nullptr) {}

qTerrainPatch::~qTerrainPatch()
{
    Release();
    if (!world)
        return;
    TerrainPatchShared& statics = world->patchShared;
    if (--statics.users == 0 && statics.filterContext) {
        statics.filterContext->Destroy();
        statics.filterContext = nullptr;
    }
}

void qTerrainPatch::Release()
{
    objects.assign(32, nullptr);
    capacity = 32;
    objectCount = 0;
    visibility.clear();
    batches.clear();
}

void qTerrainPatch::Create(World* newWorld, int c0, int r0, int index)
{
    if (!world)
        ++newWorld->patchShared.users;
    world = newWorld;
    patchIndex = index;
    firstColumn = c0;
    firstRow = r0;
    const float cell = world->cellSize;
    const Vector3 corner(float(c0) * cell - float(world->width) * cell / 2.0f, 0.0f,
                         float(world->height) * cell / 2.0f - float(r0) * cell);
    boxMin = Vector3(corner.x, 0.0f, corner.z - 16.0f * cell);
    boxMax = Vector3(corner.x + 16.0f * cell, world->heightScale * 256.0f, corner.z);
    centre = Vector3((boxMin.x + boxMax.x) / 2.0f, boxMax.y / 2.0f, (boxMin.z + boxMax.z) / 2.0f);
    UpdateBounds();
    visibility.assign(std::size_t(world->patchColumns) * world->patchRows, 1);
    lowestHeight = 0.0f;
    highestHeight = world->heightScale * 256.0f;
    // The template depends on the cell size, so each map builds it again.
    BuildStatics(world->patchShared, world->device, cell);
    BuildTileBatches();
}

void qTerrainPatch::BuildTileBatches()
{
    batches.clear();
    hasBlendedTile = false;
    const int tileCount = int(world->tiles.size());
    std::vector<int> counts(std::size_t(tileCount), 0);
    const auto tileOf = [this](int c, int r) {
        return world->GetDrawnTileIndex(firstColumn + c, firstRow + r);
    };
    for (int r = 0; r < 16; ++r)
        for (int c = 0; c < 16; ++c)
            ++counts[std::size_t(tileOf(c, r))];
    for (int tile = 0; tile < tileCount; ++tile) {
        if (counts[std::size_t(tile)] == 0)
            continue;
        const Material* material = world->tiles[std::size_t(tile)].material;
        if (material->srcBlend != BlendOne || material->destBlend != BlendZero)
            hasBlendedTile = true;
        TileBatch batch;
        batch.tile = std::uint16_t(tile);
        for (int r = 0; r < 16; ++r)
            for (int c = 0; c < 16; ++c) {
                if (tileOf(c, r) != tile)
                    continue;
                batch.cellOffsets.push_back(std::int16_t(c * 6 + r * 96));
                batch.lowestColumn = std::min<std::int16_t>(batch.lowestColumn, std::int16_t(c));
                batch.highestColumn = std::max<std::int16_t>(batch.highestColumn, std::int16_t(c));
                batch.lowestRow = std::min<std::int16_t>(batch.lowestRow, std::int16_t(r));
                batch.highestRow = std::max<std::int16_t>(batch.highestRow, std::int16_t(r));
            }
        batch.cellCount = std::uint16_t(batch.cellOffsets.size());
        batches.push_back(std::move(batch));
    }
}

bool qTerrainPatch::AddObj(MapObject* object)
{
    auto slot = std::find(objects.begin(), objects.end(), nullptr);
    if (slot == objects.end()) {
        if (capacity >= kMaxObjects) {
            world->device->Log("qTerrainPatch AddObj Overflow");
            return false;
        }
        capacity += 32;
        objects.resize(std::size_t(capacity), nullptr);
        slot = objects.begin() + (capacity - 32);
    }
    *slot = object;
    if (LibraryObject* library = object->GetLibraryEntry(); library && library->mesh) {
        // The model's top in world space: the object's height plus its scaled box top.
        const float top = object->GetPosition().y + library->mesh->GetBoundingBox().max.y * object->GetScale();
        if (top > boxMax.y) {
            boxMax.y = top;
            UpdateBounds();
            centre.y = (boxMin.y + boxMax.y) / 2.0f;
        }
    }
    ++objectCount;
    return true;
}

void qTerrainPatch::RemoveObj(MapObject* object)
{
    for (MapObject*& slot : objects)
        if (slot == object) {
            slot = nullptr;
            --objectCount;
            return;
        }
}

void qTerrainPatch::ClearObjects()
{
    objects.assign(32, nullptr);
    capacity = 32;
    objectCount = 0;
}

void qTerrainPatch::UpdateBounds()
{
    radius = std::max((boxMax - centre).Length(), (centre - boxMin).Length());
}

float qTerrainPatch::CornerHeight(int column, int row) const
{
    column = std::clamp(column, 0, world->width - 1);
    row = std::clamp(row, 0, world->height - 1);
    return float(world->heightMap[(std::size_t(row) * world->width + column) * 3]) * world->heightScale;
}

Vector3 qTerrainPatch::TemplateVertex(int column, int row) const
{
    const TerrainPatchShared& statics = world->patchShared;
    return Vector3(statics.templateX[column] + centre.x, CornerHeight(firstColumn + column, firstRow + row),
                   statics.templateZ[row] + centre.z);
}

void qTerrainPatch::GetCellTriangles(int c, int r, Vector3 triangle1[3], Vector3 triangle2[3]) const
{
    triangle1[0] = TemplateVertex(c, r);
    triangle1[1] = TemplateVertex(c + 1, r);
    triangle1[2] = TemplateVertex(c, r + 1);
    triangle2[0] = triangle1[1];
    triangle2[1] = TemplateVertex(c + 1, r + 1);
    triangle2[2] = triangle1[2];
}

bool qTerrainPatch::Accepts(PickFilterCallback filter, HitResult& hit, int column, int row) const
{
    if (!filter)
        return true;
    TerrainPatchShared& statics = world->patchShared;
    if (!statics.filterContext)
        return true;
    statics.filterContext->material = world->GetCellTile(column, row).material;
    return filter(statics.filterContext, hit, nullptr, nullptr, nullptr);
}

float qTerrainPatch::GetHeightBelow(float x, float y, float z, PickResult* out, PickFilterCallback filter) const
{
    int column = 0, row = 0;
    world->WorldToCell(x, z, column, row);
    if (column < 0 || row < 0 || column >= world->width || row >= world->height)
        return kNoHit;
    Vector3 t1[3], t2[3];
    GetCellTriangles(column - firstColumn, row - firstRow, t1, t2);
    for (const Vector3* triangle : {t1, t2}) {
        HitResult hit;
        hit.Clear();
        hit.origin = Vector3(x, 10000.0f, z);
        hit.direction = Vector3(0.0f, -1.0f, 0.0f);
        if (!TriangleIntersectRay(hit, triangle[0], triangle[1], triangle[2], nullptr))
            continue;
        if (!Accepts(filter, hit, column, row))
            continue;
        if (out) {
            out->hitPoint = hit.hitPoint;
            out->normal = TriangleNormal(triangle[0], triangle[1], triangle[2]).Normalize();
            out->distance = y - hit.hitPoint.y;
            out->tile = world->GetCellTile(column, row).material;
            out->column = column;
            out->row = row;
        }
        return hit.hitPoint.y;
    }
    return kNoHit;
}

bool qTerrainPatch::Pick(const HitResult& ray, PickResult* out, PickFilterCallback filter) const
{
    HitResult boxRay = ray;
    if (!BoundingBox(boxMin, boxMax).IntersectRay(boxRay))
        return false;
    TerrainCellHit best;
    for (int r = 0; r < 16; ++r)
        for (int c = 0; c < 16; ++c)
            PickCell(ray, c, r, filter, false, best);
    if (best.distance == kNoHit)
        return false;
    if (out) {
        out->hitPoint = best.hitPoint;
        out->distance = best.distance;
        out->normal = best.normal;
        out->tile = world->GetCellTile(best.column, best.row).material;
        out->column = best.column;
        out->row = best.row;
    }
    return true;
}

bool qTerrainPatch::PickCell(const HitResult& ray, int c, int r, PickFilterCallback filter, bool tieWins,
                             TerrainCellHit& best) const
{
    Vector3 t1[3], t2[3];
    GetCellTriangles(c, r, t1, t2);
    const float low = std::min({t1[0].y, t1[1].y, t1[2].y, t2[1].y});
    const float high = std::max({t1[0].y, t1[1].y, t1[2].y, t2[1].y});
    HitResult cellRay = ray;
    if (!BoundingBox(Vector3(t1[0].x, low, t2[1].z), Vector3(t2[1].x, high, t1[0].z)).IntersectRay(cellRay))
        return false;
    bool changed = false;
    for (const Vector3* triangle : {t1, t2}) {
        HitResult hit = ray;
        hit.distance = kNoHit;
        if (!TriangleIntersectRay(hit, triangle[0], triangle[1], triangle[2], nullptr))
            continue;
        const float distance = hit.hitPoint.Distance(ray.origin);
        const bool nearer = distance < best.distance || (tieWins && distance == best.distance);
        if (!nearer || distance == 0.0f)
            continue;
        if (!Accepts(filter, hit, firstColumn + c, firstRow + r))
            continue;
        best.distance = distance;
        best.hitPoint = hit.hitPoint;
        best.column = firstColumn + c;
        best.row = firstRow + r;
        best.normal = TriangleNormal(triangle[0], triangle[1], triangle[2]).Normalize();
        tieWins = false; // the cell's second triangle must be strictly nearer than its first
        changed = true;
    }
    return changed;
}

void qTerrainPatch::Render()
{
    Device* device = world->device;
    std::uint32_t ambient = 0xFFFFFFFFu;
    device->GetAmbient(&ambient);
    const float ambientFactor[3] = {float((ambient >> 16) & 0xFF) / 255.0f, float((ambient >> 8) & 0xFF) / 255.0f,
                                    float(ambient & 0xFF) / 255.0f};
    const int water = world->GetWaterSample(firstColumn / 16, firstRow / 16);
    waterVisible = world->waterOn && water >= 1 &&
                   (float(water) * world->heightScale > lowestHeight || hasBlendedTile);
    const bool fog = device->GetFogEnable();
    float fade = 0.0f, inner = 0.0f;
    if (world->distanceFade && world->camera) {
        fade = world->camera->GetFar();
        inner = fade * world->fadeFraction;
        device->SetFogEnable(false);
    }
    lowestHeight = kNoHit;
    highestHeight = kNoHitNegative;
    const bool detailCells = world->detailOn && world->DetailRangeAccepts(GetBox());
    if (!world->terrainOn) {
        device->SetFogEnable(fog);
        return;
    }
    D3DBitmap* lightmap = nullptr;
    if (world->lightMapMode && !world->lightMapOff)
        lightmap = world->GetPatchLightmap(patchIndex);
    // Without a light map the terrain takes the ambient light; the tiles are drawn unlit.
    std::uint32_t rgb[3];
    for (int i = 0; i < 3; ++i)
        rgb[i] = lightmap ? 255u : std::uint32_t(ambientFactor[i] * 255.0f);
    if (world->timeOfDay == 1 || world->timeOfDay == 4)
        for (std::uint32_t& channel : rgb)
            channel = channel > 64 ? channel - 64 : 0;
    Vector3 eye;
    if (world->camera)
        eye = world->camera->world.GetTranslation();
    TerrainPatchShared& statics = world->patchShared;
    for (int r = 0; r <= 16; ++r)
        for (int c = 0; c <= 16; ++c) {
            std::uint8_t* v = &statics.vertices[(r * 17 + c) * 32];
            const Vector3 p = TemplateVertex(c, r);
            const float position[3] = {statics.templateX[c], p.y, statics.templateZ[r]};
            std::memcpy(v, position, 12);
            lowestHeight = std::min(lowestHeight, p.y);
            highestHeight = std::max(highestHeight, p.y);
            std::uint32_t red = rgb[0], green = rgb[1], blue = rgb[2];
            if (!lightmap && world->HasLightMap()) {
                // The light file's terrain colours stand for the colour map, lit by the ambient light.
                const int column = std::clamp(firstColumn + c, 0, world->width - 1);
                const int row = std::clamp(firstRow + r, 0, world->height - 1);
                const std::uint8_t* texel = &world->terrainLight[(std::size_t(row) * world->width + column) * 3];
                red = std::uint32_t(float(texel[0]) * ambientFactor[0]);
                green = std::uint32_t(float(texel[1]) * ambientFactor[1]);
                blue = std::uint32_t(float(texel[2]) * ambientFactor[2]);
                if (world->timeOfDay == 1 || world->timeOfDay == 4) {
                    red = red > 64 ? red - 64 : 0;
                    green = green > 64 ? green - 64 : 0;
                    blue = blue > 64 ? blue - 64 : 0;
                }
            }
            std::uint32_t alpha = 255;
            if (world->distanceFade && fade > inner) {
                const float d2 = p.DistanceSquared(eye);
                alpha = std::uint32_t(std::clamp((fade * fade - d2) / (fade * fade - inner * inner), 0.0f, 1.0f) * 255.0f);
            }
            const std::uint32_t colour = alpha << 24 | red << 16 | green << 8 | blue;
            std::memcpy(v + 12, &colour, 4);
            if (detailCells && r < 16 && c < 16)
                world->BuildCellDetailObjects(firstColumn + c, firstRow + r,
                                              world->GetDrawnTileIndex(firstColumn + c, firstRow + r));
        }
    Matrix4 transform;
    transform.SetTranslation(Vector3(centre.x, 0.0f, centre.z));
    device->SetWorldTransform(&transform);
    for (const TileBatch& batch : batches) {
        const TerrainTile& tile = world->tiles[batch.tile];
        Material* material = world->distanceFade ? tile.fadeMaterial : tile.material;
        material->texture[1] = lightmap;
        int count = 0;
        for (std::int16_t offset : batch.cellOffsets) {
            std::memcpy(&statics.batchIndices[count], &statics.cellIndices[offset], 6 * sizeof(std::uint16_t));
            count += 6;
        }
        device->DrawUserPrimitives(PrimTriangleList, statics.vertices, kVertices, &statics.layout,
                                   statics.batchIndices, count, material);
        material->texture[1] = nullptr;
    }
    if (world->wireGrid)
        device->DrawUserPrimitives(PrimLineList, statics.vertices, kVertices, &statics.layout, statics.wireIndices,
                                   16 * 16 * 4, world->tiles[0].material);
    device->SetFogEnable(fog);
}
