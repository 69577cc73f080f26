#include "platform/skeleton/BasisConversion.h"
#include "platform/skeleton/Deformer.h"
#include "platform/skeleton/ModelInstance.h"
#include "platform/skeleton/Pose.h"
#include "platform/skeleton/RayTriangle.h"
#include "tests/platform/skeleton/SkeletonFixtures.h"

#include <gtest/gtest.h>

using namespace platform::skeleton;

namespace {

void ExpectVertex(const DeformedVertex& v, const Vector3& position, const Vector3& normal)
{
    EXPECT_NEAR(v.position[0], position.x, 1e-5f);
    EXPECT_NEAR(v.position[1], position.y, 1e-5f);
    EXPECT_NEAR(v.position[2], position.z, 1e-5f);
    EXPECT_NEAR(v.normal[0], normal.x, 1e-5f);
    EXPECT_NEAR(v.normal[1], normal.y, 1e-5f);
    EXPECT_NEAR(v.normal[2], normal.z, 1e-5f);
}

// Two bones: "root" at the origin, "arm" one unit up; three vertices on "root" only, half and
// half, and on "arm" only.
Mesh TwoBoneMesh()
{
    Mesh mesh;
    mesh.bones = {{"root", {}, {}}, {"arm", {}, {}}};
    MeshVertex v;
    v.normal = Vector3(1, 0, 0);
    v.position = Vector3(1, 0, 0);
    mesh.vertices.push_back(v);
    v.position = Vector3(1, 1, 0);
    v.bones[0] = 1;
    v.bones[1] = 0;
    v.weights[0] = 0.5f;
    v.weights[1] = 0.5f;
    mesh.vertices.push_back(v);
    v.position = Vector3(1, 2, 0);
    v.weights[0] = 1.0f;
    v.weights[1] = 0.0f;
    mesh.vertices.push_back(v);
    mesh.indices = {0, 1, 2};
    mesh.groups = {{-1, 0, 1}};
    return mesh;
}

Skeleton TwoBoneSkeleton()
{
    Skeleton s;
    s.bones.resize(2);
    s.bones[0].name = "ROOT";
    s.bones[1].name = "arm";
    s.bones[1].parent = 0;
    s.bones[1].rest.translation = Vector3(0, 1, 0);
    s.bones[1].inverseWorld.SetTranslation(Vector3(0, -1, 0));
    return s;
}

} // namespace

// The arm turned 90 degrees about z at its joint (0, 1, 0): (1, 2, 0) goes to (-1, 2, 0), its
// normal (1, 0, 0) to (0, 1, 0); the shared vertex (1, 1, 0) goes half way between where the root
// keeps it and where the arm takes it, (0, 2, 0); the normal likewise (not renormalised).
TEST(SkeletonDeformer, SkinsHandWorkedVertices)
{
    const Mesh mesh = TwoBoneMesh();
    const Skeleton skeleton = TwoBoneSkeleton();
    const MeshBinding binding(mesh, skeleton);
    ASSERT_EQ(binding.UnmatchedBones(), 0);
    std::vector<Transform> local(2);
    BuildRestPose(skeleton, local);
    float q[4];
    skeleton_test::AxisAngle(0, 0, 1, 90, q);
    local[1].rotation = Quaternion(q[0], q[1], q[2], q[3]);
    WorldPose pose(2);
    ASSERT_TRUE(BuildWorldPose(skeleton, local, nullptr, pose));
    std::vector<DeformedVertex> out(3);
    ASSERT_TRUE(DeformVertices(binding, pose.Composites(), out));
    ExpectVertex(out[0], Vector3(1, 0, 0), Vector3(1, 0, 0));
    ExpectVertex(out[1], Vector3(0.5f, 1.5f, 0), Vector3(0.5f, 0.5f, 0));
    ExpectVertex(out[2], Vector3(-1, 2, 0), Vector3(0, 1, 0));

    // A rigid copy and the bone bytes for drawing and picking.
    std::vector<DeformedVertex> copy(3);
    ASSERT_TRUE(mesh.CopyVertices(copy));
    ExpectVertex(copy[2], Vector3(1, 2, 0), Vector3(1, 0, 0));
    std::vector<std::uint8_t> bones(3);
    ASSERT_TRUE(mesh.CopyBoneIndices(bones));
    EXPECT_EQ(bones, (std::vector<std::uint8_t>{0, 1, 1}));
}

TEST(SkeletonDeformer, RefusesBuffersThatDoNotFit)
{
    const Mesh mesh = TwoBoneMesh();
    const Skeleton skeleton = TwoBoneSkeleton();
    const MeshBinding binding(mesh, skeleton);
    WorldPose pose(2);
    std::vector<DeformedVertex> small(2);
    EXPECT_FALSE(DeformVertices(binding, pose.Composites(), small));
    std::vector<DeformedVertex> out(3);
    EXPECT_FALSE(DeformVertices(binding, pose.Composites().first(1), out));
    EXPECT_FALSE(mesh.CopyVertices(small));
    std::vector<std::uint8_t> bytes(2);
    EXPECT_FALSE(mesh.CopyBoneIndices(bytes));
}

TEST(SkeletonDeformer, BindsByNameAndCountsMissingBones)
{
    const Mesh mesh = TwoBoneMesh();
    Skeleton other;
    other.bones.resize(3);
    other.bones[0].name = "hip";
    other.bones[1].name = "Arm";
    other.bones[2].name = "root";
    const MeshBinding binding(mesh, other);
    EXPECT_EQ(std::vector<int>(binding.BoneMap().begin(), binding.BoneMap().end()), (std::vector<int>{2, 1}));
    EXPECT_EQ(binding.UnmatchedBones(), 0);
    other.bones[1].name = "leg";
    const MeshBinding partial(mesh, other);
    EXPECT_EQ(partial.UnmatchedBones(), 1);
    EXPECT_EQ(partial.BoneMap()[1], 0);
}

// At rest the soldier's skinned vertices are its bind-pose vertices; the coarse level of detail,
// bound to the fine one's skeleton, follows its pose.
TEST(SkeletonDeformer, SoldierAtRestKeepsItsShapeAndLevelsShareAPose)
{
    std::unique_ptr<File> fine = skeleton_test::Read(skeleton_test::DataFile("GameData/Models/us01_LOD1.gr2"));
    std::unique_ptr<File> coarse = skeleton_test::Read(skeleton_test::DataFile("GameData/Models/us01_LOD2.gr2"));
    std::unique_ptr<File> crouch = skeleton_test::Read(skeleton_test::DataFile("GameData/Models/LowerBody/crouch01.gr2"));
    ASSERT_TRUE(fine && coarse && crouch);
    for (File* f : {fine.get(), coarse.get(), crouch.get()})
        TransformFile(*f, EngineBasisConversion());
    const Skeleton& skeleton = fine->skeletons[0];
    ModelInstance instance(skeleton);
    std::vector<Transform> local(skeleton.bones.size());
    ASSERT_TRUE(instance.SampleAnimations(local));
    WorldPose pose(skeleton.BoneCount());
    ASSERT_TRUE(BuildWorldPose(skeleton, local, nullptr, pose));
    const Mesh& mesh = fine->meshes[0];
    const MeshBinding binding(mesh, skeleton);
    std::vector<DeformedVertex> out(mesh.vertices.size());
    ASSERT_TRUE(DeformVertices(binding, pose.Composites(), out));
    for (std::size_t i = 0; i < out.size(); ++i) {
        EXPECT_NEAR(out[i].position[0], mesh.vertices[i].position.x, 1e-5f);
        EXPECT_NEAR(out[i].position[1], mesh.vertices[i].position.y, 1e-5f);
        EXPECT_NEAR(out[i].position[2], mesh.vertices[i].position.z, 1e-5f);
    }

    // Crouched: the lowest point of the coarse body stays near the ground while the head drops.
    instance.PlayAnimation(crouch->animations[0], 0.0f);
    instance.SetClock(0.5f);
    ASSERT_TRUE(instance.SampleAnimations(local));
    ASSERT_TRUE(BuildWorldPose(skeleton, local, nullptr, pose));
    const Mesh& coarseMesh = coarse->meshes[0];
    const MeshBinding rebound(coarseMesh, skeleton);
    EXPECT_EQ(rebound.UnmatchedBones(), 0);
    std::vector<DeformedVertex> coarseOut(coarseMesh.vertices.size());
    ASSERT_TRUE(DeformVertices(rebound, pose.Composites(), coarseOut));
    float top = -1e9f;
    for (const DeformedVertex& v : coarseOut)
        top = std::max(top, v.position[1]);
    EXPECT_LT(top, 5.5f);
    const float head = pose.BoneMatrix(skeleton.FindBone("Bip01 Head"))->GetTranslation().y;
    EXPECT_LT(head, 4.6f);
}

TEST(SkeletonRayTriangle, HitsAndMissesFromATable)
{
    const Vector3 a(0, 0, 0), b(1, 0, 0), c(0, 1, 0);
    const struct {
        const char* name;
        Vector3 origin;
        Vector3 direction;
        bool hits;
        float distance, u, v;
    } cases[] = {
        {"straight through from in front", {0.25f, 0.25f, -2}, {0, 0, 1}, true, 2.0f, 0.25f, 0.25f},
        {"from behind", {0.25f, 0.5f, 3}, {0, 0, -1}, true, 3.0f, 0.25f, 0.5f},
        {"long direction", {0.5f, 0.25f, -2}, {0, 0, 4}, true, 0.5f, 0.5f, 0.25f},
        {"slanted", {0, 0, -1}, {0.25f, 0.25f, 1}, true, 1.0f, 0.25f, 0.25f},
        {"on a corner", {1, 0, -1}, {0, 0, 1}, true, 1.0f, 1.0f, 0.0f},
        {"beside the hypotenuse", {0.6f, 0.6f, -1}, {0, 0, 1}, false, 0, 0, 0},
        {"outside", {-0.1f, 0.5f, -1}, {0, 0, 1}, false, 0, 0, 0},
        {"triangle behind the origin", {0.25f, 0.25f, 1}, {0, 0, 1}, false, 0, 0, 0},
        {"parallel to the plane", {0.25f, 0.25f, -1}, {1, 0, 0}, false, 0, 0, 0},
        {"in the plane", {-1, 0.25f, 0}, {1, 0, 0}, false, 0, 0, 0},
        {"zero direction", {0.25f, 0.25f, -1}, {0, 0, 0}, false, 0, 0, 0},
    };
    for (const auto& t : cases) {
        RayTriangleHit hit;
        ASSERT_EQ(RayIntersectsTriangle(a, b, c, t.origin, t.direction, hit), t.hits) << t.name;
        if (!t.hits)
            continue;
        EXPECT_NEAR(hit.distance, t.distance, 1e-5f) << t.name;
        EXPECT_NEAR(hit.u, t.u, 1e-5f) << t.name;
        EXPECT_NEAR(hit.v, t.v, 1e-5f) << t.name;
    }
    RayTriangleHit hit;
    EXPECT_FALSE(RayIntersectsTriangle(a, b, Vector3(2, 0, 0), Vector3(0.5f, 0, -1), Vector3(0, 0, 1), hit));
    // Tiny triangles still count.
    EXPECT_TRUE(RayIntersectsTriangle(Vector3(0, 0, 0), Vector3(1e-3f, 0, 0), Vector3(0, 1e-3f, 0),
                                      Vector3(2e-4f, 2e-4f, -1), Vector3(0, 0, 1), hit));
}

TEST(SkeletonMeshIndices, GroupsAreRebasedToTheirLowestVertex)
{
    std::unique_ptr<File> file = skeleton_test::Read(skeleton_test::DataFile("GameData/Models/Props/radar.gr2"));
    ASSERT_TRUE(file);
    const Mesh& dish = file->meshes[2];
    GroupIndices group;
    ASSERT_TRUE(dish.CopyGroupIndices(dish.groups[1], group));
    EXPECT_EQ(group.lowestVertex, 24u);
    EXPECT_EQ(group.vertexCount, 24u);
    ASSERT_EQ(group.indices.size(), 36u);
    for (std::size_t i = 0; i < group.indices.size(); ++i)
        EXPECT_EQ(group.indices[i] + 24u, dish.indices[36 + i]);

    EXPECT_FALSE(dish.CopyGroupIndices({0, 20, 5}, group));
    EXPECT_FALSE(dish.CopyGroupIndices({0, -1, 2}, group));

    // Beyond 16-bit reach: more vertices than one group can draw.
    Mesh wide;
    wide.vertices.resize(70001);
    wide.indices = {0, 1, 70000, 1, 2, 3};
    EXPECT_FALSE(wide.CopyGroupIndices({-1, 0, 2}, group));
    ASSERT_TRUE(wide.CopyGroupIndices({-1, 1, 1}, group));
    EXPECT_EQ(group.lowestVertex, 1u);
    EXPECT_EQ(group.vertexCount, 3u);
}
