// A spawn point fitted to the demo level: raised above the ground in the open, walked out of the
// house towards the nearest waypoint until four probe rays around it are free.
#include "tests/mission/MissionFixture.h"

#include "characters/ai/WaypointGraph.h"
#include "engine/core/HitResult.h"
#include "world/map/MapDescription.h"
#include "world/map/MapObject.h"
#include "world/PickResult.h"
#include "world/World.h"

#include <cmath>
#include <cstring>

namespace {

class SpawnFitTest : public MissionFixture {
protected:
    void SetUp() override
    {
        MissionFixture::SetUp();
        UseDemoData();
        mission = StartMission();
        ASSERT_TRUE(mission->IsLevelLoaded()) << Log();
    }

    void TearDown() override
    {
        if (mission && mission->IsLevelPresent())
            mission->UnloadLevel();
        MissionFixture::TearDown();
    }

    // Whether a ray from 4 units off the point on that side hits something within 8 units.
    bool Blocked(const Vector3& point, const Vector3& side) const
    {
        HitResult ray;
        ray.origin = point + side * 4.0f;
        ray.direction = side * -1.0f;
        PickResult hit;
        return mission->level.world->Pick(ray, &hit, 8.0f, nullptr) && hit.distance < 8.0f;
    }

    static float Flat(const Vector3& a, const Vector3& b)
    {
        return std::sqrt((a.x - b.x) * (a.x - b.x) + (a.z - b.z) * (a.z - b.z));
    }

    MissionState* mission = nullptr;
};

} // namespace

TEST_F(SpawnFitTest, APointInTheOpenStandsFourAboveWhereItWas)
{
    const Vector3 start = mission->level.map->startPosition;
    const float ground = mission->GetGroundHeight(start + Vector3(0.0f, 6.0f, 0.0f));
    ASSERT_LT(ground, 1.0e4f);
    Vector3 point(start.x, ground, start.z);
    mission->AdjustSpawnPosition(point);
    EXPECT_FLOAT_EQ(point.x, start.x);
    EXPECT_FLOAT_EQ(point.z, start.z);
    EXPECT_FLOAT_EQ(point.y, ground + 4.0f);
}

// The search for the ground climbs until it passes the top: a point that is not a number never
// would, so it has no ground (and the load does not hang on it).
TEST_F(SpawnFitTest, APointThatIsNotANumberHasNoGround)
{
    const Vector3 start = mission->level.map->startPosition;
    const float nan = std::nanf(""), inf = HUGE_VALF;
    for (const Vector3& point : {Vector3(start.x, nan, start.z), Vector3(nan, 0.0f, start.z),
                                 Vector3(start.x, 0.0f, -inf), Vector3(start.x, inf, start.z)}) {
        SCOPED_TRACE(::testing::Message() << point.x << " " << point.y << " " << point.z);
        EXPECT_EQ(mission->GetGroundHeight(point), kNoHit);
    }
}

TEST_F(SpawnFitTest, APointBuriedInsideTheHouseWalksOutUntilTheFourProbesAreFree)
{
    MapObject* house = nullptr;
    for (MapObject* object = mission->level.world->GetFirstObject(); object; object = object->next) {
        const LibraryObject* library = object->GetLibraryEntry();
        if (library && library->entry && std::strcmp(library->entry->objectName, "House") == 0)
            house = object;
    }
    ASSERT_NE(house, nullptr);
    ASSERT_NE(mission->level.waypointGraph, nullptr);
    const Vector3 sides[4] = {{0.0f, 0.0f, 1.0f}, {0.0f, 0.0f, -1.0f}, {1.0f, 0.0f, 0.0f}, {-1.0f, 0.0f, 0.0f}};
    // On the floor inside, by the wall: the probe from outside that wall meets it.
    const Vector3 inside = house->GetPosition() + Vector3(4.0f, 0.0f, 0.0f);
    ASSERT_TRUE(Blocked(inside + Vector3(0.0f, 4.0f, 0.0f), sides[2]));

    Vector3 point = inside;
    mission->AdjustSpawnPosition(point);
    for (const Vector3& side : sides)
        EXPECT_FALSE(Blocked(point, side)) << side.x << " " << side.z;
    EXPECT_GT(Flat(point, house->GetPosition()), 8.0f);
    const float ground = mission->GetGroundHeight(point);
    EXPECT_NEAR(point.y, ground + 4.0f, 0.01f);
    EXPECT_LT(point.y, 1.0e4f);
}
