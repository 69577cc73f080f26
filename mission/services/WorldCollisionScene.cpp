#include "mission/services/WorldCollisionScene.h"

#include "world/props/CollisionProps.h"
#include "world/World.h"

bool WorldCollisionScene::GetTerrainGrid(int& rows, int& columns, float& cellSize)
{
    if (!world || world->patches.empty())
        return false;
    // Only whole patches have cells to collide with.
    rows = world->patchRows * 16;
    columns = world->patchColumns * 16;
    cellSize = world->cellSize;
    return true;
}

void WorldCollisionScene::WorldToCell(float x, float z, int& row, int& column)
{
    world->WorldToCell(x, z, column, row);
}

const Material* WorldCollisionScene::GetCellMaterial(int row, int column)
{
    return world->GetCellTile(column, row).material;
}

void WorldCollisionScene::GetCellTriangles(int row, int column, Vector3 corners[6])
{
    world->GetCellTriangles(column, row, corners, corners + 3);
    triangleCount += 2;
}

int WorldCollisionScene::TakeTriangleCount()
{
    const int count = triangleCount;
    triangleCount = 0;
    return count;
}

void WorldCollisionScene::GatherObjectsInRadius(const Vector3& centre, float radius,
                                                std::vector<CollisionObject>& out)
{
    alphaLists.clear();
    world->GatherObjectsInRadius(centre, radius, nearby);
    for (MapObject* object : nearby) {
        CollisionObject record;
        record.object = object;
        object->GetTransform(record.world);
        const LibraryObject* library = object->GetLibraryEntry();
        record.mesh = library ? library->mesh : nullptr;
        if (const auto* colmesh = static_cast<ColMeshProp*>(object->FindProp(ColMeshPropFactory)))
            record.collisionMesh = colmesh->mesh;
        record.hidden = object->hidden;
        record.noCollision = object->FindProp(NoCollisionPropFactory) != nullptr;
        record.alwaysCollide = object->FindProp(AlwaysCollidePropFactory) != nullptr;
        if (const auto* alpha = static_cast<NoCollisionAlphaProp*>(object->FindProp(NoCollisionAlphaPropFactory))) {
            alphaLists.push_back({alpha->materials.data(), int(alpha->materials.size())});
            record.alphaList = &alphaLists.back();
        }
        out.push_back(record);
    }
}
