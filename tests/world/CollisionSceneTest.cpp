#include "mission/services/WorldCollisionScene.h"
#include "tests/world/WorldFixture.h"

namespace {

// The collision query over a loaded world: terrain cells and the objects' meshes and props.
class CollisionSceneTest : public WorldTest {
protected:
    void TearDown() override
    {
        CollisionSetScene(nullptr);
        WorldTest::TearDown();
    }

    Vector3 Move(const Vector3& start, const Vector3& velocity, int response, float radius = 1.0f)
    {
        static const float identity[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
        CollisionSetMode(0, response);
        CollisionSetEllipsoid(radius, radius, radius);
        CollisionSetMove(start.x, start.y, start.z, identity, velocity.x, velocity.y, velocity.z);
        Vector3 end;
        CollisionMove(&end, nullptr, nullptr);
        return end;
    }
};

TEST_F(CollisionSceneTest, EllipsoidsLandOnTheTerrainAndStopAtObjects)
{
    MapFile file = Terrain();
    file.entries.push_back({"box.q3d", "ghost", {"nocollision", "", "", "", ""}, 0, 0});
    // Boxes standing on the ground (9 and 13 there): one whose side faces -x at x = -102, and a
    // ghost that lets everything through.
    file.placements = {At(-100, 11, 100), At(-100, 15, 60, 1)};
    Load(file);
    WorldCollisionScene scene(world.get());
    CollisionSetScene(&scene);
    // Falling onto the terrain: it stops about one radius above the ground.
    const Vector3 above(50, 60, -50);
    const float ground = world->GetTerrainHeightSmooth(above);
    const Vector3 landed = Move(above, Vector3(0, -80, 0), 1);
    EXPECT_GT(landed.y, ground + 0.5f);
    EXPECT_LT(landed.y, ground + 2.0f);
    // Flying sideways into the box stops at its face.
    EXPECT_FLOAT_EQ(world->GetTerrainHeightSmooth(Vector3(-100, 0, 100)), 9.0f);
    const Vector3 stopped = Move(Vector3(-110, 11, 100), Vector3(20, 0, 0), 1);
    EXPECT_NEAR(stopped.x, -103.0f, 0.2f);
    // The ghost collides with nothing.
    const Vector3 through = Move(Vector3(-110, 15, 60), Vector3(20, 0, 0), 1);
    EXPECT_NEAR(through.x, -90.0f, 1e-3f);
}

} // namespace
