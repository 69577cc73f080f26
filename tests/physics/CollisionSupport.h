#pragma once

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>
#include <vector>

#include "engine/core/Matrix.h"
#include "engine/core/Vector.h"
#include "engine/material/Material.h"
#include "physics/Collision.h"

// Hand-built triangle sets for the collision tests and benchmarks.
struct WorldTriangle {
    Vector3 a, b, c;
};
using TriangleSet = std::vector<WorldTriangle>;

// A parallelogram o, o + u, o + v, o + u + v as two triangles whose front faces v x u.
inline void AddQuad(TriangleSet& out, const Vector3& o, const Vector3& u, const Vector3& v)
{
    out.push_back({o, o + v, o + u});
    out.push_back({o + u, o + v, o + u + v});
}
// A floor at height y, facing up, over [-half, half] in x and z.
inline void AddFloor(TriangleSet& out, float y, float half = 50.0f)
{
    AddQuad(out, Vector3(-half, y, -half), Vector3(2 * half, 0, 0), Vector3(0, 0, 2 * half));
}
// A wall at x, facing -x.
inline void AddWallFacingMinusX(TriangleSet& out, float x, float half = 50.0f)
{
    AddQuad(out, Vector3(x, -half, -half), Vector3(0, 2 * half, 0), Vector3(0, 0, 2 * half));
}
// A wall at z, facing -z.
inline void AddWallFacingMinusZ(TriangleSet& out, float z, float half = 50.0f)
{
    AddQuad(out, Vector3(-half, -half, z), Vector3(2 * half, 0, 0), Vector3(0, 2 * half, 0));
}

inline const float kIdentityOrientation[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};

// The query runs over the whole set; every triangle is handed over in world coordinates.
inline CollisionQuery::TriangleFeed FeedAll(const TriangleSet& triangles, bool terrain = false)
{
    return [&triangles, terrain](CollisionTriangleSink& sink, const Vector3& velocity) {
        for (const WorldTriangle& t : triangles)
            if (!sink.AddTriangle(t.a, t.b, t.c, velocity, terrain))
                return;
    };
}

struct EllipsoidMove {
    Vector3 start;
    Vector3 velocity;
    int response = CollisionQuery::ResponseSlide;
    Vector3 radii{1, 1, 1};
    const float* orientation = kIdentityOrientation;
};

inline Vector3 RunEllipsoid(CollisionQuery& query, const TriangleSet& triangles, const EllipsoidMove& move)
{
    query.SetMode(CollisionQuery::ShapeEllipsoid, move.response);
    query.SetEllipsoid(move.radii.x, move.radii.y, move.radii.z);
    query.SetMove(move.start.x, move.start.y, move.start.z, move.orientation, move.velocity.x, move.velocity.y,
                  move.velocity.z);
    Vector3 out;
    query.MoveThrough(&out, nullptr, FeedAll(triangles));
    return out;
}

// A height-field terrain of rows x columns square cells (heights sampled once at the corners, as
// a map's height block holds them), split along one diagonal, with per-cell materials and a list
// of objects found by their bounding spheres.
class GridScene final : public CollisionScene {
public:
    struct Object {
        CollisionObject record;
        Vector3 centre;
        float radius = 0.0f;
    };

    GridScene(int rows, int columns, float cellSize, std::function<float(float, float)> height)
        : rows(rows), columns(columns), cellSize(cellSize),
          materials(std::size_t(rows * columns), nullptr)
    {
        for (int r = 0; r <= rows; ++r)
            for (int c = 0; c <= columns; ++c)
                heights.push_back(height(float(c) * cellSize, float(r) * cellSize));
    }

    void SetCellMaterial(int row, int column, const Material* material)
    {
        materials[std::size_t(row * columns + column)] = material;
    }

    bool GetTerrainGrid(int& outRows, int& outColumns, float& outCellSize) override
    {
        outRows = rows;
        outColumns = columns;
        outCellSize = cellSize;
        return true;
    }
    void WorldToCell(float x, float z, int& row, int& column) override
    {
        row = int(std::floor(z / cellSize));
        column = int(std::floor(x / cellSize));
    }
    const Material* GetCellMaterial(int row, int column) override
    {
        return materials[std::size_t(row * columns + column)];
    }
    void GetCellTriangles(int row, int column, Vector3 corners[6]) override
    {
        const float x0 = float(column) * cellSize, z0 = float(row) * cellSize;
        const float x1 = x0 + cellSize, z1 = z0 + cellSize;
        const auto at = [this](int r, int c) { return heights[std::size_t(r * (columns + 1) + c)]; };
        const Vector3 p00(x0, at(row, column), z0), p10(x1, at(row, column + 1), z0);
        const Vector3 p01(x0, at(row + 1, column), z1), p11(x1, at(row + 1, column + 1), z1);
        // Upward-facing, as the floors above.
        corners[0] = p00;
        corners[1] = p01;
        corners[2] = p10;
        corners[3] = p10;
        corners[4] = p01;
        corners[5] = p11;
    }
    void GatherObjectsInRadius(const Vector3& centre, float radius, std::vector<CollisionObject>& out) override
    {
        if (!bucketsBuilt)
            BuildBuckets();
        const float reach = radius + largestObject;
        // Objects off the grid sit in its border buckets, so the search is clamped the same way.
        const auto bucket = [](float at, int count) { return std::clamp(int(std::floor(at / kBucketSize)), 0, count - 1); };
        const int rowFirst = bucket(centre.z - reach, bucketRows), rowLast = bucket(centre.z + reach, bucketRows);
        const int columnFirst = bucket(centre.x - reach, bucketColumns);
        const int columnLast = bucket(centre.x + reach, bucketColumns);
        for (int r = rowFirst; r <= rowLast; ++r)
            for (int c = columnFirst; c <= columnLast; ++c)
                for (int index : buckets[std::size_t(r * bucketColumns + c)]) {
                    const Object& object = objects[std::size_t(index)];
                    const float dx = object.centre.x - centre.x, dy = object.centre.y - centre.y,
                                dz = object.centre.z - centre.z;
                    const float within = radius + object.radius;
                    if (dx * dx + dy * dy + dz * dz <= within * within)
                        out.push_back(object.record);
                }
    }

    // Every terrain triangle of opaque cells, in world coordinates.
    TriangleSet TerrainTriangles()
    {
        TriangleSet out;
        for (int r = 0; r < rows; ++r)
            for (int c = 0; c < columns; ++c) {
                if (!IsOpaqueMaterial(GetCellMaterial(r, c)))
                    continue;
                Vector3 corners[6];
                GetCellTriangles(r, c, corners);
                out.push_back({corners[0], corners[1], corners[2]});
                out.push_back({corners[3], corners[4], corners[5]});
            }
        return out;
    }

    // Objects may be added until the first query; they are then sorted into square buckets by
    // their centres, as a world keeps its objects by area.
    std::vector<Object> objects;

private:
    static constexpr float kBucketSize = 16.0f;

    void BuildBuckets()
    {
        bucketRows = std::max(1, int(std::ceil(float(rows) * cellSize / kBucketSize)));
        bucketColumns = std::max(1, int(std::ceil(float(columns) * cellSize / kBucketSize)));
        buckets.assign(std::size_t(bucketRows * bucketColumns), {});
        for (int i = 0; i < int(objects.size()); ++i) {
            const Object& object = objects[std::size_t(i)];
            const int r = std::clamp(int(std::floor(object.centre.z / kBucketSize)), 0, bucketRows - 1);
            const int c = std::clamp(int(std::floor(object.centre.x / kBucketSize)), 0, bucketColumns - 1);
            buckets[std::size_t(r * bucketColumns + c)].push_back(i);
            largestObject = std::max(largestObject, object.radius);
        }
        bucketsBuilt = true;
    }

    bool bucketsBuilt = false;
    int bucketRows = 0, bucketColumns = 0;
    float largestObject = 0.0f;
    std::vector<std::vector<int>> buckets;

    int rows, columns;
    float cellSize;
    std::vector<float> heights; // (rows + 1) x (columns + 1) corners
    std::vector<const Material*> materials;
};

// A rolling landscape that is never flat across a cell.
inline float RollingHeight(float x, float z)
{
    return 3.0f * std::sin(x * 0.11f) * std::cos(z * 0.07f) + 0.5f * std::sin((x + z) * 0.31f);
}
