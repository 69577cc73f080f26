#pragma once

#include <deque>
#include <vector>

#include "physics/Collision.h"

class MapObject;
class World;

// The running world as the collision query sees it: the terrain cells of its patches and, for
// each object near a move, its transform, model mesh and collision props.
class WorldCollisionScene final : public CollisionScene {
public:
    explicit WorldCollisionScene(World* world) : world(world) {}

    bool GetTerrainGrid(int& rows, int& columns, float& cellSize) override;
    void WorldToCell(float x, float z, int& row, int& column) override;
    const Material* GetCellMaterial(int row, int column) override;
    void GetCellTriangles(int row, int column, Vector3 corners[6]) override;
    void GatherObjectsInRadius(const Vector3& centre, float radius, std::vector<CollisionObject>& out) override;

    // The terrain triangles the collision queries took since the last call.
    int TakeTriangleCount();

private:
    World* world;
    int triangleCount = 0;
    std::vector<MapObject*> nearby;
    std::deque<CollisionMaterialList> alphaLists; // stable while the query reads them
};
