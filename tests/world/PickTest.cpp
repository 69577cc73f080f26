#include <algorithm>
#include <cmath>
#include <random>
#include <set>

#include "engine/mesh/qMesh.h"
#include "tests/world/WorldFixture.h"
#include "world/terrain/TerrainPatch.h"

namespace {

// What the world pick must answer, found the slow way: every patch whose bounds the ray reaches
// tests all of its cell triangles and all of its objects, in patch order, nearest first and the
// earlier on a tie; the object wins an equal distance. Either half may be left out.
PickResult ReferencePick(World& world, const HitResult& ray, float maxDistance, MapObject* ignore,
                         bool withTerrain = true, bool withObjects = true)
{
    if (maxDistance == kNoHit)
        maxDistance = world.camera->GetFar();
    PickResult terrain;
    for (auto& patch : world.patches) {
        const float reach = maxDistance + patch->radius;
        if (!withTerrain || reach * reach < ray.origin.DistanceSquared(patch->centre))
            continue;
        PickResult candidate;
        if (patch->Pick(ray, &candidate, nullptr) && candidate.distance < terrain.distance &&
            candidate.distance <= maxDistance)
            terrain = candidate;
    }
    PickResult object;
    std::set<MapObject*> tested;
    for (auto& patch : world.patches) {
        const float reach = maxDistance + patch->radius;
        if (!withObjects || reach * reach < ray.origin.DistanceSquared(patch->centre))
            continue;
        HitResult boxRay = ray;
        if (!patch->GetBox().IntersectRay(boxRay) || boxRay.distance > maxDistance)
            continue;
        for (int slot = 0; slot < int(patch->objects.size()); ++slot) {
            MapObject* candidate = patch->objects[std::size_t(slot)];
            if (!candidate || candidate == ignore || candidate->hidden || !tested.insert(candidate).second)
                continue;
            ObjectMeshHit hit;
            if (!PickObjectMesh(*candidate, *candidate->GetLibraryEntry()->mesh, ray.origin, ray.direction, nullptr,
                                hit))
                continue;
            const float distance = hit.point.Distance(ray.origin);
            if (distance < object.distance && distance <= maxDistance) {
                object.object = candidate;
                object.slot = slot;
                object.distance = distance;
                object.hitPoint = hit.point;
                object.tile = hit.material;
                object.normal = hit.normal;
            }
        }
    }
    return terrain.distance != kNoHit && !(object.distance <= terrain.distance) ? terrain : object;
}

void ExpectSame(const PickResult& result, const PickResult& expected, int ray)
{
    EXPECT_EQ(result.distance, expected.distance) << ray;
    EXPECT_EQ(result.object, expected.object) << ray;
    EXPECT_EQ(result.slot, expected.slot) << ray;
    EXPECT_EQ(result.tile, expected.tile) << ray;
    EXPECT_EQ(result.hitPoint, expected.hitPoint) << ray;
    EXPECT_EQ(result.normal, expected.normal) << ray;
    EXPECT_EQ(result.column, expected.column) << ray;
    EXPECT_EQ(result.row, expected.row) << ray;
}

class PickTest : public WorldTest {
protected:
// A bumpy map with flat stretches, and boxes of two sizes turned every way, some half buried, some
// floating, some across patch corners.
static MapFile BumpyMapWithBoxes(std::mt19937& random)
{
    MapFile file = Terrain();
    std::uniform_int_distribution<int> bump(0, 60);
    for (int r = 0; r < 32; ++r)
        for (int c = 0; c < 32; ++c)
            file.heightData[std::size_t(r * 32 + c) * 3] = std::uint8_t(c >= 20 && r >= 20 ? 24 : bump(random));
    file.entries.push_back({"box2.q3d", "box2", {}, 0, 0});
    std::uniform_real_distribution<float> across(-150.0f, 150.0f), up(0.0f, 40.0f), unit(-1.0f, 1.0f),
        scale(0.5f, 3.0f);
    for (int i = 0; i < 120; ++i) {
        MapFilePlacement placement = At(across(random), up(random), across(random), i % 2, scale(random));
        if (i < 4)
            placement.position[0] = placement.position[2] = 0.0f; // on the corner of all four patches
        float turn[4] = {unit(random), unit(random), unit(random), unit(random) + 1.5f};
        const float length = std::sqrt(turn[0] * turn[0] + turn[1] * turn[1] + turn[2] * turn[2] + turn[3] * turn[3]);
        for (int k = 0; k < 4; ++k)
            placement.rotation[k] = turn[k] / length;
        file.placements.push_back(placement);
    }
    return file;
}
};

// Rays of every kind against the slow pick: from above, grazing the ground along and across cell
// edges, from inside objects, straight up and down, from off the map, onto the edge between two
// coplanar cells (a tie), unnormalised, with max
// distances short, exact and unlimited. Every field must match.
TEST_F(PickTest, WorldPicksAgreeWithTestingEveryPatchAndObject)
{
    std::mt19937 random(11);
    Load(BumpyMapWithBoxes(random));
    std::vector<MapObject*> objects;
    for (MapObject* object = world->GetFirstObject(); object; object = object->next)
        objects.push_back(object);
    ASSERT_GT(objects.size(), 100u);
    std::uniform_real_distribution<float> across(-170.0f, 170.0f), unit(-1.0f, 1.0f), small(-0.05f, 0.05f),
        fraction(0.0f, 1.0f);
    int hits = 0, objectHits = 0, exactReach = 0;
    for (int i = 0; i < 4000; ++i) {
        HitResult ray;
        ray.Clear();
        MapObject* ignore = nullptr;
        switch (i % 7) {
        case 0: // from above, downwards
            ray.origin = Vector3(across(random), 60.0f + 40.0f * fraction(random), across(random));
            ray.direction = Vector3(unit(random), -1.0f, unit(random));
            break;
        case 1: { // grazing: just above the ground, nearly level, often along a cell edge
            const int column = int(fraction(random) * 31.0f), row = int(fraction(random) * 31.0f);
            ray.origin = world->GetCornerPosition(column, row) + Vector3(0.0f, small(random), 0.0f);
            const int along = int(fraction(random) * 4.0f);
            ray.direction = along == 0   ? Vector3(1.0f, small(random), 0.0f)
                            : along == 1 ? Vector3(0.0f, small(random), -1.0f)
                            : along == 2 ? Vector3(1.0f, small(random), -1.0f)
                                         : Vector3(unit(random), small(random), unit(random));
            break;
        }
        case 2: { // from inside an object
            MapObject* object = objects[std::size_t(fraction(random) * float(objects.size() - 1))];
            ray.origin = object->GetPosition() + Vector3(small(random), small(random), small(random));
            ray.direction = Vector3(unit(random), unit(random), unit(random));
            if (fraction(random) < 0.3f)
                ignore = object;
            break;
        }
        case 3: // straight up or down
            ray.origin = Vector3(across(random), 30.0f * fraction(random), across(random));
            ray.direction = Vector3(0.0f, fraction(random) < 0.5f ? -1.0f : 1.0f, 0.0f);
            break;
        case 4: // from off the map, across it
            ray.origin = Vector3(-250.0f, 5.0f + 30.0f * fraction(random), across(random));
            ray.direction = Vector3(1.0f, small(random), unit(random) * 0.5f);
            break;
        case 5: { // onto a cell edge of the flat stretch, from either side: two cells tie
            const int column = 21 + int(fraction(random) * 9.0f), row = 21 + int(fraction(random) * 9.0f);
            const Vector3 target = world->GetCornerPosition(column, row) +
                                   (i % 2 ? Vector3(0.0f, 0.0f, -10.0f * fraction(random))
                                          : Vector3(10.0f * fraction(random), 0.0f, 0.0f));
            ray.origin = target + Vector3(20.0f * unit(random), 5.0f + 20.0f * fraction(random), 20.0f * unit(random));
            ray.direction = target - ray.origin;
            break;
        }
        default: // anywhere, any way, not normalised
            ray.origin = Vector3(across(random), 40.0f * fraction(random), across(random));
            ray.direction = Vector3(unit(random), unit(random), unit(random)) * 3.0f;
            break;
        }
        if (i % 7 != 6 && ray.direction.Length() > 0.0f)
            ray.direction.Normalize();
        const float maxDistance = i % 5 == 0 ? kNoHit : i % 5 == 1 ? 30.0f * fraction(random) : 500.0f;
        const PickResult expected = ReferencePick(*world, ray, maxDistance, ignore);
        PickResult result;
        const bool hit = world->Pick(ray, &result, maxDistance, nullptr, ignore);
        ASSERT_EQ(hit, expected.distance != kNoHit) << i;
        ExpectSame(result, expected, i);
        if (!hit)
            continue;
        ++hits;
        objectHits += result.object != nullptr;
        // The same ray with the hit's own distance as the max still finds it.
        if (i % 7 == 0) {
            PickResult again;
            ASSERT_TRUE(world->Pick(ray, &again, result.distance, nullptr, ignore)) << i;
            EXPECT_EQ(again.distance, result.distance) << i;
            EXPECT_EQ(again.object, result.object) << i;
            ++exactReach;
        }
    }
    EXPECT_GT(hits, 1500);
    EXPECT_GT(objectHits, 150);
    EXPECT_GT(exactReach, 100);
}

// The two halves answer alone what the slow pick's halves answer.
TEST_F(PickTest, TerrainAndObjectPicksAloneAgreeWithTheSlowHalves)
{
    std::mt19937 random(5);
    Load(BumpyMapWithBoxes(random));
    std::uniform_real_distribution<float> across(-150.0f, 150.0f), unit(-1.0f, 1.0f);
    int terrainHits = 0, objectHits = 0;
    for (int i = 0; i < 1000; ++i) {
        HitResult ray;
        ray.Clear();
        ray.origin = Vector3(across(random), 45.0f, across(random));
        ray.direction = Vector3(unit(random), -0.4f, unit(random)).Normalize();
        PickResult terrain, objects;
        const bool terrainHit = world->PickTerrain(ray, &terrain, 300.0f, nullptr);
        const bool objectHit = world->PickObjects(ray, &objects, 300.0f, nullptr);
        const PickResult terrainExpected = ReferencePick(*world, ray, 300.0f, nullptr, true, false);
        const PickResult objectsExpected = ReferencePick(*world, ray, 300.0f, nullptr, false, true);
        ASSERT_EQ(terrainHit, terrainExpected.distance != kNoHit) << i;
        ASSERT_EQ(objectHit, objectsExpected.distance != kNoHit) << i;
        ExpectSame(terrain, terrainExpected, i);
        ExpectSame(objects, objectsExpected, i);
        terrainHits += terrainHit;
        objectHits += objectHit;
    }
    EXPECT_GT(terrainHits, 500);
    EXPECT_GT(objectHits, 80);
}

} // namespace
