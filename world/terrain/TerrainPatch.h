#pragma once

#include <cstdint>
#include <vector>

#include "engine/core/Geometry.h"
#include "engine/core/HitResult.h"
#include "world/PickResult.h"

class MapObject;
class World;
class D3DPrim;

// The cells of one terrain tile within a patch, drawn in one call.
struct TileBatch {
    std::uint16_t tile = 0;
    std::uint16_t cellCount = 0;
    std::vector<std::int16_t> cellOffsets; // column x 6 + row x 96 into the cell index list
    std::int16_t lowestColumn = 16, highestColumn = -16, lowestRow = 16, highestRow = -16;
};

// The nearest terrain triangle hit found so far by a pick: distance from the ray origin (the
// bound a new hit must beat), hit point, unit normal, and the map cell.
struct TerrainCellHit {
    float distance = kNoHit;
    Vector3 hitPoint;
    Vector3 normal;
    int column = 0, row = 0;
};

// A square of 16 x 16 terrain cells: its objects, bounds, tile batches and cell geometry.
class qTerrainPatch {
public:
    static constexpr int kCells = 16;
    static constexpr int kVertices = 17 * 17;
    static constexpr int kMaxObjects = 4096;

    qTerrainPatch();
    virtual ~qTerrainPatch();
    qTerrainPatch(const qTerrainPatch&) = delete;
    qTerrainPatch& operator=(const qTerrainPatch&) = delete;

    void Create(World* world, int firstColumn, int firstRow, int patchIndex);
    void BuildTileBatches();
    bool AddObj(MapObject* object);
    void RemoveObj(MapObject* object);
    void ClearObjects();
    void UpdateBounds();
    // Column and row local to the patch; world-space corners.
    void GetCellTriangles(int column, int row, Vector3 triangle1[3], Vector3 triangle2[3]) const;
    float GetHeightBelow(float x, float y, float z, PickResult* out, PickFilterCallback filter) const;
    bool Pick(const HitResult& ray, PickResult* out, PickFilterCallback filter) const;
    // The ray against the two triangles of cell (column, row) local to the patch, behind the cell's
    // box: a hit not at the origin that the filter accepts replaces best when it is nearer, or as near
    // and tieWins is set (the cell comes before best's in the patch pick's order). True on a change.
    bool PickCell(const HitResult& ray, int column, int row, PickFilterCallback filter, bool tieWins,
                  TerrainCellHit& best) const;
    void Render();
    void Release();

    BoundingBox GetBox() const { return BoundingBox(boxMin, boxMax); }

    std::vector<MapObject*> objects; // null = free slot
    std::vector<TileBatch> batches;
    std::vector<std::uint8_t> visibility; // one byte a patch of the map
    int firstColumn = -1, firstRow = -1;
    int patchIndex = 0;
    Vector3 boxMin, boxMax, centre;
    float radius = 0.0f;
    int objectCount = 0;
    int capacity = 32;
    float lowestHeight = 0.0f, highestHeight = 256.0f;
    bool hasBlendedTile = false;
    bool waterVisible = false;
    bool drawn = false;
    float distanceSquared = 0.0f;

private:
    float CornerHeight(int column, int row) const; // map cell corner, clamped to the map
    Vector3 TemplateVertex(int column, int row) const;
    bool Accepts(PickFilterCallback filter, HitResult& hit, int column, int row) const;

    World* world = nullptr;
};
