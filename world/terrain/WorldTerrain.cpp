#include <algorithm>
#include <cmath>

#include "engine/material/Material.h"
#include "renderer/Device.h"
#include "world/terrain/TerrainPatch.h"
#include "world/World.h"

namespace {

// Truncates towards zero like the int conversion, but a value beyond any map (or not a number,
// or from a cell size of 0) becomes a cell far outside it instead of undefined behaviour.
int CellIndex(float cells)
{
    constexpr float kOutside = 1 << 30;
    if (!(cells > -kOutside))
        return -(1 << 30);
    return cells < kOutside ? int(cells) : 1 << 30;
}

} // namespace

void World::WorldToCell(float x, float z, int& column, int& row) const
{
    column = CellIndex((x + float(width) * cellSize / 2.0f) / cellSize);
    row = height - CellIndex((z + float(height) * cellSize / 2.0f) / cellSize) - 1;
}

float World::GetCornerHeight(int column, int row) const
{
    if (!heightMap || column < 0 || row < 0 || column >= width || row >= height)
        return 0.0f;
    return float(heightMap[(std::size_t(row) * width + column) * 3]) * heightScale;
}

Vector3 World::GetCornerPosition(int column, int row) const
{
    return Vector3(float(column) * cellSize - cellSize * float(width) / 2.0f, GetCornerHeight(column, row),
                   float(height) * cellSize / 2.0f - cellSize * float(row));
}

float World::GetTerrainHeightSmooth(const Vector3& point, PickResult* result) const
{
    int column = 0, row = 0;
    WorldToCell(point.x, point.z, column, row);
    const int c = std::clamp(column, 0, std::max(width - 2, 0));
    const int r = std::clamp(row, 0, std::max(height - 2, 0));
    const auto sample = [this](int sc, int sr) {
        return heightMap ? float(heightMap[(std::size_t(sr) * width + sc) * 3]) : 0.0f;
    };
    const float h00 = sample(c, r), h10 = sample(c + 1, r), h01 = sample(c, r + 1), h11 = sample(c + 1, r + 1);
    const float fx = (point.x - (cellSize * float(c) - float(width) * cellSize / 2.0f)) / cellSize;
    const float fz = (float(height) * cellSize / 2.0f - float(r) * cellSize - point.z) / cellSize;
    const float h = heightScale * (h00 * (1 - fx) * (1 - fz) + h10 * fx * (1 - fz) + h01 * (1 - fx) * fz + h11 * fx * fz);
    if (result) {
        result->distance = point.y - h;
        result->hitPoint = Vector3(point.x, h, point.z);
        result->tile = GetCellTile(column, row).material;
        result->normal = Vector3();
        result->column = column;
        result->row = row;
    }
    return h;
}

int World::GetWaterSample(int blockColumn, int blockRow) const
{
    const int columns = width / 16, rows = height / 16;
    if (!waterMap || blockColumn < 0 || blockRow < 0 || blockColumn >= columns || blockRow >= rows)
        return -1;
    return waterMap[std::size_t(blockRow) * columns + blockColumn];
}

float World::GetWaterHeight(const Vector3& point) const
{
    int column = 0, row = 0;
    WorldToCell(point.x, point.z, column, row);
    column = std::max(column, 0);
    row = std::max(row, 0);
    return float(GetWaterSample(column / 16, row / 16)) * heightScale;
}

float World::GetGroundBelow(const Vector3& point, PickResult* result, PickFilterCallback filter)
{
    int column = 0, row = 0;
    WorldToCell(point.x, point.z, column, row);
    if (column < 0 || row < 0 || column >= width || row >= height)
        return heightScale * 128.0f;
    const int patchColumn = column / 16, patchRow = row / 16;
    if (patchColumn >= patchColumns || patchRow >= patchRows)
        return kNoHit;
    if (result) {
        result->Clear();
        result->slot = -1;
    }
    return patches[std::size_t(patchRow * patchColumns + patchColumn)]->GetHeightBelow(point.x, point.y, point.z,
                                                                                      result, filter);
}

int World::GetCellTileIndex(int column, int row) const
{
    if (!tileMap || column < 0 || row < 0 || column >= width || row >= height)
        return -1;
    return tileMap[std::size_t(row) * width + column];
}

int World::GetDrawnTileIndex(int column, int row)
{
    const int index = GetCellTileIndex(column, row);
    if (index >= 0 && index < int(tiles.size()))
        return index;
    if (!tileWarningLogged && device) {
        device->Log("Terrain cell %d, %d uses tile %d but only %d tiles are loaded; drawn with tile 0", column, row,
                    index, int(tiles.size()));
        tileWarningLogged = true;
    }
    return 0;
}

const TerrainTile& World::GetCellTile(int column, int row) const
{
    const int index = GetCellTileIndex(column, row);
    if (index < 0)
        return defaultTile;
    if (index >= int(tiles.size()))
        return tiles.empty() ? defaultTile : tiles[0];
    return tiles[std::size_t(index)];
}

void World::GetCellTriangles(int column, int row, Vector3 triangle1[3], Vector3 triangle2[3]) const
{
    // Cells off the map or past the last whole patch take the nearest cell of a patch.
    column = std::clamp(column, 0, patchColumns * 16 - 1);
    row = std::clamp(row, 0, patchRows * 16 - 1);
    const qTerrainPatch& patch = *patches[std::size_t((row / 16) * patchColumns + column / 16)];
    patch.GetCellTriangles(column - patch.firstColumn, row - patch.firstRow, triangle1, triangle2);
}

float World::GetDetailDensity(const Vector3& point) const
{
    if (detailTable.empty())
        return 0.0f;
    int column = 0, row = 0;
    WorldToCell(point.x, point.z, column, row);
    const int tile = GetCellTileIndex(column, row);
    if (tile < 0 || tile >= int(detailTable.size()))
        return 0.0f;
    return detailTable[std::size_t(tile)].density;
}

bool World::CircleOverlapsRect(float x, float z, float radius, float minX, float minZ, float maxX, float maxZ) const
{
    const float nearestX = std::clamp(x, minX, maxX), nearestZ = std::clamp(z, minZ, maxZ);
    const float dx = x - nearestX, dz = z - nearestZ;
    return dx * dx + dz * dz <= radius * radius;
}
