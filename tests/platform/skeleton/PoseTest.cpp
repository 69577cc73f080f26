#include "platform/skeleton/BasisConversion.h"
#include "platform/skeleton/ModelInstance.h"
#include "platform/skeleton/Pose.h"
#include "tests/platform/skeleton/SkeletonFixtures.h"

#include <gtest/gtest.h>

using namespace platform::skeleton;
using skeleton_test::AxisAngle;

namespace {

void ExpectNear(const Vector3& actual, const Vector3& expected, float tolerance = 1e-5f)
{
    EXPECT_NEAR(actual.x, expected.x, tolerance);
    EXPECT_NEAR(actual.y, expected.y, tolerance);
    EXPECT_NEAR(actual.z, expected.z, tolerance);
}

Vector3 Position(const WorldPose& pose, int bone)
{
    return pose.BoneMatrix(bone)->GetTranslation();
}

} // namespace

// a at the origin turned 90 degrees about z, b one unit up turned 90 about z again, c one unit up:
// b lands at (-1, 0, 0), c at (-1, -1, 0).
TEST(SkeletonPose, ChainWithKnownRotationsGivesHandWorkedPositions)
{
    GltfScene scene = skeleton_test::Chain();
    AxisAngle(0, 0, 1, 90, scene.nodes[0].rotation);
    AxisAngle(0, 0, 1, 90, scene.nodes[1].rotation);
    std::unique_ptr<File> file = skeleton_test::Read(WriteGlb(scene));
    ASSERT_TRUE(file);
    const Skeleton& skeleton = file->skeletons[0];
    std::vector<Transform> local(3);
    ASSERT_TRUE(BuildRestPose(skeleton, local));
    WorldPose pose(3);
    ASSERT_TRUE(BuildWorldPose(skeleton, local, nullptr, pose));
    ExpectNear(Position(pose, 0), Vector3(0, 0, 0));
    ExpectNear(Position(pose, 1), Vector3(-1, 0, 0));
    ExpectNear(Position(pose, 2), Vector3(-1, -1, 0));
    // c's x axis, turned twice, points down -x.
    ExpectNear(pose.BoneMatrix(2)->TransformDirection(Vector3(1, 0, 0)), Vector3(-1, 0, 0));
    // In the bind pose every composite matrix is the identity.
    for (const Matrix4& m : pose.Composites()) {
        for (int i = 0; i < 16; ++i)
            EXPECT_NEAR(m.m[i], Matrix4().m[i], 1e-5f);
    }

    // The offset matrix carries the whole skeleton (an attachment to another model's bone).
    Matrix4 offset;
    offset.SetTranslation(Vector3(10, 20, 30));
    ASSERT_TRUE(BuildWorldPose(skeleton, local, &offset, pose));
    ExpectNear(Position(pose, 2), Vector3(9, 19, 30));
    ExpectNear(pose.Composites()[2].TransformPoint(Vector3(0, 2, 0)), Vector3(10, 22, 30));

    // A local pose with its own rotations: b turned back by -90 about z undoes a's turn, so c
    // stands straight above b.
    float q[4];
    AxisAngle(0, 0, 1, -90, q);
    local[1].rotation = Quaternion(q[0], q[1], q[2], q[3]);
    ASSERT_TRUE(BuildWorldPose(skeleton, local, nullptr, pose));
    ExpectNear(Position(pose, 2), Vector3(-1, 1, 0));
    // The composite carries a bind-pose vertex at c (-1, -1, 0) to c's posed place.
    ExpectNear(pose.Composites()[2].TransformPoint(Vector3(-1, -1, 0)), Vector3(-1, 1, 0));
}

TEST(SkeletonPose, ChainInEngineBasisIsTheConvertedChain)
{
    GltfScene scene = skeleton_test::Chain();
    scene.nodes[1].translation[2] = 1.0f;
    AxisAngle(1, 0, 0, 90, scene.nodes[0].rotation); // +y turns towards +z
    std::unique_ptr<File> file = skeleton_test::Read(WriteGlb(scene));
    ASSERT_TRUE(file);
    TransformFile(*file, EngineBasisConversion());
    std::vector<Transform> local(3);
    BuildRestPose(file->skeletons[0], local);
    WorldPose pose(3);
    ASSERT_TRUE(BuildWorldPose(file->skeletons[0], local, nullptr, pose));
    // glTF: b = Rx90 (0, 1, 1) = (0, -1, 1), c = b + Rx90 (0, 1, 0) = (0, -1, 2); engine: x 0.1, z -0.1.
    ExpectNear(Position(pose, 1), Vector3(0, -0.1f, -0.1f));
    ExpectNear(Position(pose, 2), Vector3(0, -0.1f, -0.2f));
}

TEST(SkeletonPose, PosesTooSmallAndBadBonesAreRefused)
{
    std::unique_ptr<File> file = skeleton_test::Read(WriteGlb(skeleton_test::Chain()));
    ASSERT_TRUE(file);
    const Skeleton& skeleton = file->skeletons[0];
    std::vector<Transform> small(2);
    EXPECT_FALSE(BuildRestPose(skeleton, small));
    std::vector<Transform> local(3);
    WorldPose tooSmall(2);
    EXPECT_FALSE(BuildWorldPose(skeleton, local, nullptr, tooSmall));
    EXPECT_FALSE(BuildWorldPose(skeleton, small, nullptr, tooSmall));
    WorldPose pose(3);
    EXPECT_EQ(pose.BoneMatrix(-1), nullptr);
    EXPECT_EQ(pose.BoneMatrix(3), nullptr);
    EXPECT_NE(pose.BoneMatrix(2), nullptr);
    ModelInstance instance(skeleton);
    EXPECT_FALSE(instance.SampleAnimations(small));
}
