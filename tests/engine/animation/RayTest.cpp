#include "engine/material/Material.h"
#include "tests/engine/animation/AnimationFixture.h"

namespace {

HitResult RayFrom(const Vector3& origin, const Vector3& direction)
{
    HitResult hit;
    hit.origin = origin;
    hit.direction = direction;
    return hit;
}

class AnimatedRayTest : public AnimatedModelTest {
protected:
    void SetUp() override
    {
        AnimatedModelTest::SetUp();
        soldier.Load(device, DataPath(kSoldier).c_str(), nullptr);
    }
    void TearDown() override
    {
        soldier.Release();
        AnimatedModelTest::TearDown();
    }
    AnimatedModel soldier;
};

} // namespace

TEST_F(AnimatedRayTest, RaysFromTheFrontReportTheBoneOfThePartHit)
{
    // The soldier faces +z; each part's front face lies at the z given.
    struct Case {
        float x, y;
        const char* bone;
        float frontZ;
    };
    const Case cases[] = {
        {0.0f, 5.75f, "Bip01 Head", 0.3f},     {0.0f, 4.85f, "Bip01 Spine3", 0.3f},
        {0.0f, 3.2f, "Bip01 Pelvis", 0.25f},   {0.3f, 1.0f, "Bip01 R Calf", 0.175f},
        {-0.55f, 3.15f, "Bip01 L Hand", 0.15f}, {0.3f, 0.1f, "Bip01 R Toe0", 0.6f},
    };
    for (const Case& c : cases) {
        HitResult hit = RayFrom(Vector3(c.x, c.y, 10.0f), Vector3(0, 0, -1));
        ASSERT_TRUE(soldier.IntersectRay(hit)) << c.bone;
        EXPECT_EQ(soldier.hitBone, soldier.FindBone(c.bone)) << c.bone;
        EXPECT_EQ(soldier.hitRigid, 0);
        EXPECT_NEAR(hit.hitPoint.z, c.frontZ, 1e-4f) << c.bone;
        EXPECT_NEAR(hit.distance, 10.0f - c.frontZ, 1e-4f) << c.bone;
        EXPECT_GE(hit.hitCount, 2) << "the back face is crossed too";
        EXPECT_EQ(hit.hitObject, soldier.GetMaterial(0));
        EXPECT_GT(hit.normal.z, 0.0f) << c.bone;
    }
}

TEST_F(AnimatedRayTest, ARayThroughTheBoxBetweenThePartsHitsNothing)
{
    HitResult hit = RayFrom(Vector3(0.0f, 1.0f, 10.0f), Vector3(0, 0, -1));
    hit.distance = 123.0f;
    EXPECT_FALSE(soldier.IntersectRay(hit));
    EXPECT_EQ(hit.distance, kNoHit) << "the record is reset once the ray enters the box";
    EXPECT_EQ(hit.hitCount, 0);
}

TEST_F(AnimatedRayTest, ARayMissingTheBoxLeavesTheRecordAlone)
{
    // The box is cut down to the feet; the head is still there but outside it.
    soldier.updateBounds = false;
    soldier.SetBoundingBox(BoundingBox(Vector3(-1, 0, -1), Vector3(1, 0.5f, 1)));
    soldier.UpdateTransform(0.0f);
    HitResult hit = RayFrom(Vector3(0.0f, 5.75f, 10.0f), Vector3(0, 0, -1));
    hit.distance = 123.0f;
    hit.hitCount = 7;
    hit.u = 0.25f;
    soldier.hitBone = 99;
    EXPECT_FALSE(soldier.IntersectRay(hit));
    EXPECT_EQ(hit.distance, 123.0f);
    EXPECT_EQ(hit.hitCount, 7);
    EXPECT_EQ(hit.u, 0.25f);
    EXPECT_EQ(soldier.hitBone, 99);
}

TEST_F(AnimatedRayTest, AStretchedNodeIsPickedThroughItsInverseMatrix)
{
    // Twice as wide: the head spans x -0.5..0.5 in the world. An oblique ray aimed at the head's
    // middle meets its front face (z 0.3) at x -0.3.
    soldier.scale = Vector3(2, 1, 1);
    soldier.UpdateTransform(0.0f);
    HitResult hit = RayFrom(Vector3(-10.0f, 5.75f, 10.0f), Vector3(1, 0, -1));
    ASSERT_TRUE(soldier.IntersectRay(hit));
    EXPECT_EQ(soldier.hitBone, soldier.FindBone("Bip01 Head"));
    ExpectNear(hit.hitPoint, Vector3(-0.3f, 5.75f, 0.3f), 1e-4f);
    EXPECT_NEAR(hit.distance, 9.7f * std::sqrt(2.0f), 1e-4f);

    // Turned a quarter about y and moved: the face now looks along +x.
    soldier.scale = Vector3(1, 1, 1);
    soldier.rotation.FromAxisAngle(3.14159265f / 2.0f, Vector3(0, 1, 0));
    soldier.position = Vector3(100, 0, 50);
    soldier.UpdateTransform(0.0f);
    Vector3 front = soldier.world.TransformPoint(Vector3(0.0f, 5.75f, 0.3f));
    Vector3 along = soldier.world.TransformDirection(Vector3(0, 0, -1));
    hit = RayFrom(front - along * 5.0f, along);
    ASSERT_TRUE(soldier.IntersectRay(hit));
    ExpectNear(hit.hitPoint, front, 1e-3f);
    EXPECT_NEAR(hit.distance, 5.0f, 1e-3f);
    EXPECT_EQ(soldier.hitBone, soldier.FindBone("Bip01 Head"));
}

TEST_F(AnimatedModelTest, RigidMeshesReportTheirBoneAndSkipUntexturedGroups)
{
    AnimatedModel radar;
    radar.Load(device, DataPath(kRadar).c_str(), nullptr);
    const int dish = radar.FindBone("dish");
    ASSERT_GE(dish, 0);
    ASSERT_EQ(radar.GetMaterialCount(), 1) << "the untextured material is not made";

    // From the front the hub (untextured) lies before the dish (textured).
    HitResult hit = RayFrom(Vector3(0.0f, 3.1f, 10.0f), Vector3(0, 0, -1));
    ASSERT_TRUE(radar.IntersectRay(hit));
    EXPECT_EQ(radar.hitBone, dish);
    EXPECT_EQ(radar.hitRigid, 1);
    EXPECT_EQ(hit.hitObject, radar.GetMaterial(0));
    EXPECT_GT(hit.hitPoint.z, 0.25f);
    EXPECT_LT(hit.hitPoint.z, 0.35f);
    EXPECT_NEAR(hit.distance, 10.0f - hit.hitPoint.z, 1e-4f);
    const float dishZ = hit.hitPoint.z;

    radar.drawUnmaterialed = true;
    hit = RayFrom(Vector3(0.0f, 3.1f, 10.0f), Vector3(0, 0, -1));
    ASSERT_TRUE(radar.IntersectRay(hit));
    EXPECT_EQ(radar.hitBone, dish);
    EXPECT_EQ(hit.hitObject, nullptr);
    EXPECT_GT(hit.hitPoint.z, dishZ + 0.01f);

    // The base is a mesh of its own bone.
    hit = RayFrom(Vector3(0.0f, 0.5f, 10.0f), Vector3(0, 0, -1));
    ASSERT_TRUE(radar.IntersectRay(hit));
    EXPECT_EQ(radar.hitBone, radar.FindBone("base"));
    EXPECT_NEAR(hit.hitPoint.z, 0.8f, 1e-4f);

    // A hidden mesh is not hit.
    radar.SetMeshEnabled(0, false);
    hit = RayFrom(Vector3(0.0f, 0.5f, 10.0f), Vector3(0, 0, -1));
    EXPECT_FALSE(radar.IntersectRay(hit));
}

TEST_F(AnimatedModelTest, ASpinningRigidMeshIsHitWhereItTurnedTo)
{
    AnimatedModel radar;
    radar.Load(device, DataPath(kRadar).c_str(), nullptr);
    AnimationControl* spin = radar.LoadAnimation(DataPath(kRadar).c_str());
    ASSERT_NE(spin, nullptr);
    radar.SetEaseInTime(0.0f, spin);
    radar.PlayAnimation(0.0f, spin);
    radar.UpdateTransform(1.0f); // a quarter turn: the dish now faces +x
    Vector3 p;
    radar.GetBonePosition(radar.FindBone("dish"), p);
    ExpectNear(p, Vector3(0.2f, 3.0f, 0.0f), 1e-4f);

    HitResult hit = RayFrom(Vector3(10.0f, 3.1f, 0.0f), Vector3(-1, 0, 0));
    ASSERT_TRUE(radar.IntersectRay(hit));
    EXPECT_EQ(radar.hitBone, radar.FindBone("dish"));
    EXPECT_EQ(radar.hitRigid, 1);
    EXPECT_GT(hit.hitPoint.x, 0.25f);
    EXPECT_LT(hit.hitPoint.x, 0.35f);
    EXPECT_GT(hit.normal.x, 0.0f);
}
