#include "tests/engine/animation/AnimationFixture.h"

TEST_F(AnimatedModelTest, TheSoldierAtRestHasItsBonesWhereTheyWereBuilt)
{
    AnimatedModel soldier;
    soldier.Load(device, DataPath(kSoldier).c_str(), nullptr);
    // The 29 Biped bones and the node that holds the mesh.
    ASSERT_EQ(soldier.GetBoneCount(), 30);
    // Offsets summed along each chain, in tenths of the authored units, z mirrored.
    struct Case {
        const char* bone;
        Vector3 position;
    };
    const Case cases[] = {
        {"Bip01", {0.0f, 3.2f, 0.0f}},
        {"Bip01 Head", {0.0f, 5.5f, 0.0f}},
        {"bip01 head", {0.0f, 5.5f, 0.0f}},
        {"Bip01 L UpperArm", {-0.55f, 5.2f, 0.0f}},
        {"Bip01 R Hand", {0.55f, 3.3f, 0.0f}},
        {"Bip01 R Toe0", {0.3f, 0.0f, 0.4f}},
    };
    for (const Case& c : cases) {
        const int bone = soldier.FindBone(c.bone);
        ASSERT_GE(bone, 0) << c.bone;
        Vector3 p;
        soldier.GetBonePosition(bone, p);
        ExpectNear(p, c.position);
    }
    EXPECT_EQ(soldier.FindBone("Bip01 Tail"), -1);
    BoundingBox box;
    soldier.GetBoundingBox(box);
    EXPECT_NEAR(box.max.y, 6.15f, 1e-4f); // the top of the hat
    EXPECT_NEAR(box.min.y, 0.0f, 1e-4f);
    EXPECT_NEAR(box.max.z, 0.6f, 1e-4f); // the toes, in front
}

TEST_F(AnimatedModelTest, TheFallenSoldierLiesOnHisBack)
{
    AnimatedModel soldier;
    soldier.Load(device, DataPath(kSoldier).c_str(), nullptr);
    AnimationControl* death = soldier.LoadAnimation(DataPath("GameData/Models/LowerBody/Deaths/death01.gr2").c_str());
    ASSERT_NE(death, nullptr);
    soldier.SetLoopCount(1, death);
    soldier.SetEaseInTime(0.0f, death);
    soldier.PlayAnimation(0.0f, death);
    EXPECT_NEAR(soldier.GetDuration(death), 1.2f, 1e-5f);
    soldier.UpdateTransform(2.0f);
    EXPECT_FALSE(soldier.IsPlaying(death));

    // The root dropped by 2.8 and turned by 90 degrees about x: the head, 2.3 above the root at
    // rest, now lies 2.3 behind it.
    Vector3 root, head;
    soldier.GetBonePosition(soldier.FindBone("Bip01"), root);
    soldier.GetBonePosition(soldier.FindBone("Bip01 Head"), head);
    ExpectNear(root, Vector3(0.0f, 0.4f, 0.0f));
    ExpectNear(head, Vector3(0.0f, 0.4f, -2.3f));
    Matrix3 orientation;
    soldier.GetBoneOrientation(soldier.FindBone("Bip01"), orientation);
    ExpectNear(Vector3(orientation(1, 0), orientation(1, 1), orientation(1, 2)), Vector3(0, 0, -1));
    ExpectNear(Vector3(orientation(0, 0), orientation(0, 1), orientation(0, 2)), Vector3(1, 0, 0));
    // The box follows the posed bones down to the ground.
    BoundingBox box;
    soldier.GetBoundingBox(box);
    EXPECT_LT(box.max.y, 1.5f);
    EXPECT_LT(box.min.z, -2.5f);
}

TEST_F(AnimatedModelTest, ABadBoneIsLoggedAndThrown)
{
    AnimatedModel soldier;
    soldier.Load(device, DataPath(kSoldier).c_str(), nullptr);
    Vector3 p;
    Matrix3 m;
    for (int bone : {-1, 30, 1000}) {
        try {
            soldier.GetBonePosition(bone, p);
            ADD_FAILURE() << bone;
        } catch (const q3DError& e) {
            EXPECT_EQ(std::string(e.GetText()), "Can't get position of bone " + std::to_string(bone));
        }
        try {
            soldier.GetBoneOrientation(bone, m);
            ADD_FAILURE() << bone;
        } catch (const q3DError& e) {
            EXPECT_EQ(std::string(e.GetText()), "Can't get orientation of bone " + std::to_string(bone));
        }
    }
    bool logged = false;
    for (const std::string& line : ReadLines("q3D.log"))
        logged = logged || line.find("Can't get position of bone 30") != std::string::npos;
    EXPECT_TRUE(logged);
}

TEST_F(AnimatedModelTest, AnAttachedModelIsPosedFromTheOtherModelsBone)
{
    Write("chain.gr2", ChainModel());
    Write("turn.gr2", ChainTurn(90.0f, 1.0f));
    AnimatedModel body, held;
    body.Load(device, "chain.gr2", nullptr);
    held.Load(device, "chain.gr2", nullptr);
    held.attachTo = &body;
    held.attachBone = body.FindBone("c");
    held.UpdateTransform(0.0f);
    Vector3 p;
    held.GetBonePosition(held.FindBone("c"), p);
    ExpectNear(p, Vector3(0, 4, 0));

    AnimationControl* turn = body.LoadAnimation("turn.gr2");
    body.SetEaseInTime(0.0f, turn);
    body.PlayAnimation(0.0f, turn);
    body.UpdateTransform(0.1f);
    held.UpdateTransform(0.1f);
    // Body's "c" sits at (-1, 1, 0) turned a quarter about z; the held chain hangs from it.
    held.GetBonePosition(held.FindBone("a"), p);
    ExpectNear(p, Vector3(-1, 1, 0));
    held.GetBonePosition(held.FindBone("c"), p);
    ExpectNear(p, Vector3(-3, 1, 0));
}

TEST_F(AnimatedModelTest, AModelBoundToAnotherSkeletonFollowsItsPose)
{
    Write("chain.gr2", ChainModel());
    Write("turn.gr2", ChainTurn(90.0f, 1.0f));
    AnimatedModel leader, follower, bystander;
    leader.Load(device, "chain.gr2", nullptr);
    follower.Load(device, "chain.gr2", nullptr);
    bystander.Load(device, "chain.gr2", nullptr);
    follower.BindToSkeletonOf(leader);
    AnimationControl* turn = leader.LoadAnimation("turn.gr2");
    leader.SetEaseInTime(0.0f, turn);
    leader.PlayAnimation(0.0f, turn);
    for (AnimatedModel* m : {&leader, &follower, &bystander})
        m->UpdateTransform(0.1f);

    // The box around "c" moved with the leader's pose; a node sharing the file is not rebound.
    BoundingBox box;
    follower.GetBoundingBox(box);
    EXPECT_NEAR(box.min.x, -1.1f, 1e-4f);
    bystander.GetBoundingBox(box);
    EXPECT_NEAR(box.min.x, -0.1f, 1e-4f);
    EXPECT_NEAR(box.max.y, 2.1f, 1e-4f);

    follower.drawUnmaterialed = true;
    HitResult hit;
    hit.origin = Vector3(-1, 1, -10);
    hit.direction = Vector3(0, 0, 1);
    ASSERT_TRUE(follower.IntersectRay(hit));
    EXPECT_EQ(follower.hitBone, leader.FindBone("c"));
    EXPECT_NEAR(hit.hitPoint.z, -0.1f, 1e-4f);
}

TEST_F(AnimatedModelTest, AFrozenPoseIgnoresTheClock)
{
    Write("chain.gr2", ChainModel());
    Write("turn.gr2", ChainTurn(90.0f, 1.0f));
    AnimatedModel model;
    model.Load(device, "chain.gr2", nullptr);
    AnimationControl* turn = model.LoadAnimation("turn.gr2");
    model.SetEaseInTime(0.0f, turn);
    model.PlayAnimation(0.0f, turn);
    model.freezePose = true;
    model.UpdateTransform(0.5f);
    Vector3 p;
    model.GetBonePosition(2, p);
    ExpectNear(p, Vector3(0, 2, 0));
    model.freezePose = false;
    model.UpdateTransform(0.0f);
    model.GetBonePosition(2, p);
    ExpectNear(p, Vector3(-1, 1, 0));
}
