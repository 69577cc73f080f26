#include <cmath>
#include <cstring>

#include "engine/core/q3DError.h"
#include "engine/material/Material.h"
#include "engine/mesh/qMesh.h"
#include "tests/world/WorldFixture.h"
#include "world/terrain/TerrainPatch.h"

namespace {

using ObjectsTest = WorldTest;

int CountObjects(World& world)
{
    int count = 0;
    for (MapObject* object = world.GetFirstObject(); object; object = object->next)
        ++count;
    return count;
}

TEST_F(ObjectsTest, PlacementFollowsTheHalfOpenMapBounds)
{
    MapFile file = Terrain();
    file.placements = {At(0, 20, 0), At(160, 20, 0), At(-160, 20, 0), At(0, 20, 160), At(0, 20, -160), At(5, 20, 5, 7)};
    Load(file);
    // +x and +z edges lie outside; a library index past the entries is logged and skipped.
    EXPECT_EQ(CountObjects(*world), 3);
    ASSERT_EQ(world->GetLibraryObjectCount(), 1);
    const qMesh* mesh = world->GetLibraryObject(0)->mesh;
    ASSERT_NE(mesh, nullptr);
    EXPECT_NEAR(mesh->GetBoundingBox().max.y, 2.0f, 1e-4f); // read at a tenth of its size
}

TEST_F(ObjectsTest, PatchBoundsRiseToTheObjectTop)
{
    MapFile file = Terrain();
    file.placements = {At(-100, 300, 100, 0, 3.0f)};
    Load(file);
    // y + box top x scale = 300 + 2 x 3.
    EXPECT_NEAR(world->patches[0]->boxMax.y, 306.0f, 1e-3f);
    EXPECT_NEAR(world->patches[0]->centre.y, 153.0f, 1e-3f);
}

TEST_F(ObjectsTest, PicksPreferObjectsAndFindThemOnce)
{
    MapFile file = Terrain();
    // On the patch corner, so it sits in all four patch lists.
    file.placements = {At(0, 30, 0, 0, 2.0f)};
    Load(file);
    for (auto& patch : world->patches)
        EXPECT_EQ(patch->objectCount, 1);
    HitResult ray;
    ray.Clear();
    ray.origin = Vector3(0, 100, 0);
    ray.direction = Vector3(0, -1, 0);
    PickResult result;
    ASSERT_TRUE(world->Pick(ray, &result, kNoHit, nullptr));
    ASSERT_NE(result.object, nullptr);
    EXPECT_NEAR(result.hitPoint.y, 34.0f, 1e-3f);
    EXPECT_NEAR(result.distance, 66.0f, 1e-3f);
    EXPECT_NEAR(result.normal.y, 1.0f, 1e-4f);
    // Beyond the max distance only the miss remains.
    EXPECT_FALSE(world->Pick(ray, &result, 10.0f, nullptr));
    EXPECT_EQ(result.distance, kNoHit);
    // Ignoring the object reaches the terrain.
    ASSERT_TRUE(world->Pick(ray, &result, kNoHit, nullptr, world->GetFirstObject()));
    EXPECT_EQ(result.object, nullptr);
    EXPECT_NEAR(result.hitPoint.y, 0.5f * (16 + 32), 1e-3f);
    // A hidden object is not picked.
    world->GetFirstObject()->hidden = true;
    ASSERT_TRUE(world->Pick(ray, &result, kNoHit, nullptr));
    EXPECT_EQ(result.object, nullptr);
}

namespace {
// What a pick filter sees: the hit placed in the world through the device's world transform.
Device* filterDevice = nullptr;
Vector3 filterWorldHit;
bool RecordWorldHit(D3DPrim*, HitResult& hit, int*, int*, int*)
{
    Matrix4 world;
    filterDevice->GetWorldTransform(&world);
    filterWorldHit = world.TransformPoint(hit.hitPoint);
    return true;
}
} // namespace

TEST_F(ObjectsTest, PickFiltersPlaceTheirHitsThroughTheObjectsTransform)
{
    MapFile file = Terrain();
    file.placements = {At(0, 30, 0, 0, 2.0f)};
    Load(file);
    HitResult ray;
    ray.Clear();
    ray.origin = Vector3(0, 100, 0);
    ray.direction = Vector3(0, -1, 0);
    PickResult result;
    filterDevice = device;
    filterWorldHit = Vector3(0, 0, 0);
    ASSERT_TRUE(world->Pick(ray, &result, kNoHit, &RecordWorldHit));
    ASSERT_NE(result.object, nullptr);
    // The scaled object's top, in the world, as the pick itself reports it.
    EXPECT_NEAR(filterWorldHit.y, result.hitPoint.y, 1e-3f);
    EXPECT_NEAR(filterWorldHit.y, 34.0f, 1e-3f);
}

TEST_F(ObjectsTest, FloorHeightTakesTheNearestSurfaceBelow)
{
    MapFile file = Terrain();
    file.placements = {At(-100, 40, 100)};
    Load(file);
    // Above the box: its top (42).
    EXPECT_NEAR(world->GetFloorHeight(Vector3(-100, 50, 100), nullptr), 42.0f, 1e-3f);
    PickResult result;
    EXPECT_NEAR(world->GetFloorHeightEx(Vector3(-100, 50, 100), &result, nullptr), 42.0f, 1e-3f);
    EXPECT_EQ(result.object, world->GetFirstObject());
    // Under the box: the terrain.
    const float ground = world->GetTerrainHeightSmooth(Vector3(-100, 0, 100));
    EXPECT_NEAR(world->GetFloorHeight(Vector3(-100, 30, 100), nullptr), ground, 1e-3f);
    // Below the terrain with nothing under it: nothing.
    EXPECT_EQ(world->GetFloorHeight(Vector3(50, -100, -50), nullptr), kNoHit);
    EXPECT_NEAR(world->GetObjectBelow(Vector3(-100, 50, 100), nullptr, nullptr), 42.0f, 1e-3f);
    EXPECT_EQ(world->GetObjectBelow(Vector3(100, 50, 100), nullptr, nullptr), kNoHit);
}

TEST_F(ObjectsTest, RemovedObjectsLeaveEveryList)
{
    MapFile file = Terrain();
    file.placements = {At(0, 30, 0), At(50, 30, 50)};
    Load(file);
    MapObject* first = world->GetFirstObject();
    world->RemoveObject(first);
    EXPECT_EQ(CountObjects(*world), 1);
    EXPECT_EQ(map->recordCount, 1);
    for (auto& patch : world->patches)
        for (MapObject* object : patch->objects)
            EXPECT_NE(object, first);
    // AddObject places a new record and counts it.
    MapObject* added = world->AddObject(0, Vector3(-50, 20, -50), Matrix3(), 1.0f);
    ASSERT_NE(added, nullptr);
    EXPECT_EQ(map->recordCount, 2);
    EXPECT_EQ(world->AddObject(0, Vector3(900, 20, -50), Matrix3(), 1.0f), nullptr);
    EXPECT_EQ(map->recordCount, 2);
}

TEST_F(ObjectsTest, PatchObjectSlotsGrowAndOverflow)
{
    Load(Terrain());
    qTerrainPatch& patch = *world->patches[0];
    std::vector<MapObject> objects(4098);
    for (int i = 0; i < 32; ++i)
        ASSERT_TRUE(patch.AddObj(&objects[std::size_t(i)]));
    EXPECT_EQ(patch.capacity, 32);
    ASSERT_TRUE(patch.AddObj(&objects[32]));
    EXPECT_EQ(patch.capacity, 64);
    patch.RemoveObj(&objects[5]);
    ASSERT_TRUE(patch.AddObj(&objects[33]));
    EXPECT_EQ(patch.objects[5], &objects[33]);
    // 4096 objects fill the patch; the next one is refused.
    for (int i = 34; i < 4097; ++i)
        ASSERT_TRUE(patch.AddObj(&objects[std::size_t(i)]));
    EXPECT_EQ(patch.objectCount, 4096);
    EXPECT_FALSE(patch.AddObj(&objects[4097]));
    patch.ClearObjects();
    EXPECT_EQ(patch.objectCount, 0);
    bool logged = false;
    for (const std::string& line : ReadLines("q3D.log"))
        logged |= line.find("qTerrainPatch AddObj Overflow") != std::string::npos;
    EXPECT_TRUE(logged);
}

TEST_F(ObjectsTest, VisibleListOverflowSkipsAndLogsOnce)
{
    Load(Terrain());
    std::vector<MapObject> objects(8200);
    for (MapObject& object : objects)
        world->AddVisibleObject(&object);
    EXPECT_EQ(world->visibleCount, World::kMaxVisibleObjects);
    EXPECT_EQ(objects[8191].visible, 1);
    EXPECT_EQ(objects[8192].visible, 0);
    int lines = 0;
    for (const std::string& line : ReadLines("q3D.log"))
        lines += line.find("Too many visible objects") != std::string::npos;
    EXPECT_EQ(lines, 1);
    world->visibleCount = 0;
}

TEST_F(ObjectsTest, CollectVisibleGathersPatchesNearestFirst)
{
    MapFile file = Terrain();
    file.placements = {At(-100, 30, 100), At(100, 30, -100)};
    Load(file);
    LookFrom(Vector3(-150, 80, 150), Vector3(0, 0, 0));
    world->CollectVisible();
    ASSERT_FALSE(world->visiblePatches.empty());
    EXPECT_EQ(world->visiblePatches[0]->patchIndex, 0);
    for (std::size_t i = 1; i < world->visiblePatches.size(); ++i)
        EXPECT_LE(world->visiblePatches[i - 1]->distanceSquared, world->visiblePatches[i]->distanceSquared);
    EXPECT_EQ(world->visibleCount, 2);
    // Looking away from the map leaves nothing but the patches around the camera.
    LookFrom(Vector3(-150, 80, 150), Vector3(-300, 80, 300));
    world->CollectVisible();
    EXPECT_LE(world->visiblePatches.size(), 1u);
}

TEST_F(ObjectsTest, DensityCounterRestartsWithEveryLoad)
{
    MapFile file = Terrain();
    file.entries[0].propTexts[0] = "density";
    file.placements = {At(-100, 30, 100), At(-80, 30, 100), At(-60, 30, 100), At(-40, 30, 100)};
    WriteFile("area.mpb", WriteMapFile(file));
    world = std::make_unique<World>();
    world->objectDensityLevel = 0;
    for (int load = 0; load < 2; ++load) {
        auto next = std::make_unique<MapDescription>();
        ASSERT_TRUE(next->Load("area.mpb"));
        world->Load(next.get(), device, camera.get());
        map = std::move(next);
        EXPECT_EQ(CountObjects(*world), 2) << load; // every second one is left out
    }
}

} // namespace

namespace {

TEST_F(ObjectsTest, GatherObjectsInRadiusFindsEachNearObjectOnce)
{
    MapFile file = Terrain();
    // One on the patch corner (in four patch lists), one near it, one far away, one just out of reach.
    file.placements = {At(0, 30, 0), At(6, 30, 0), At(120, 30, -120), At(0, 30, 9)};
    Load(file);
    std::vector<MapObject*> list;
    world->GatherObjectsInRadius(Vector3(2, 30, 0), 3.0f, list);
    EXPECT_EQ(list.size(), 2u);
    world->GatherObjectsInRadius(Vector3(2, 30, 0), 200.0f, list);
    EXPECT_EQ(list.size(), 4u);
    world->GatherObjectsInRadius(Vector3(2, 90, 0), 3.0f, list); // above the boxes
    EXPECT_TRUE(list.empty());
    EXPECT_TRUE(BoxesOverlap(BoundingBox(Vector3(0, 0, 0), Vector3(1, 1, 1)), BoundingBox(Vector3(1, 1, 1), Vector3(2, 2, 2))));
    EXPECT_FALSE(BoxesOverlap(BoundingBox(Vector3(0, 0, 0), Vector3(1, 1, 1)), BoundingBox(Vector3(1.1f, 0, 0), Vector3(2, 1, 1))));
}

} // namespace
