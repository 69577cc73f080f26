#include "platform/skeleton/BasisConversion.h"
#include "platform/skeleton/FileReader.h"
#include "platform/skeleton/ModelInstance.h"
#include "platform/skeleton/Pose.h"
#include "tests/platform/skeleton/SkeletonFixtures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

using namespace platform::skeleton;
using skeleton_test::DataFile;
using skeleton_test::Read;

namespace {

void ExpectNear(const Vector3& actual, const Vector3& expected, float tolerance = 1e-4f)
{
    EXPECT_NEAR(actual.x, expected.x, tolerance);
    EXPECT_NEAR(actual.y, expected.y, tolerance);
    EXPECT_NEAR(actual.z, expected.z, tolerance);
}

std::unique_ptr<File> ReadConverted(const std::string& path)
{
    std::unique_ptr<File> file = Read(DataFile(path));
    if (file)
        TransformFile(*file, EngineBasisConversion());
    return file;
}

Vector3 RestWorldPosition(const Skeleton& skeleton, int bone)
{
    std::vector<Transform> local(skeleton.bones.size());
    BuildRestPose(skeleton, local);
    WorldPose world(skeleton.BoneCount());
    BuildWorldPose(skeleton, local, nullptr, world);
    return world.BoneMatrix(bone)->GetTranslation();
}

} // namespace

TEST(SkeletonFile, SoldierLoadsAsOneSkinnedModelInEngineUnits)
{
    std::unique_ptr<File> file = ReadConverted("GameData/Models/us01_LOD1.gr2");
    ASSERT_TRUE(file);
    ASSERT_EQ(file->models.size(), 1u);
    const Model& model = file->models[0];
    const Skeleton& skeleton = file->skeletons[static_cast<std::size_t>(model.skeleton)];
    // The 29 Biped bones the characters look up, plus the node that holds the mesh.
    EXPECT_EQ(skeleton.BoneCount(), 30);
    for (const char* name : {"Bip01 Head", "bip01 l foot", "BIP01 R TOE0", "v-hat", "Bip01 Spine3", "Bip01 R Finger11"})
        EXPECT_GE(skeleton.FindBone(name), 0) << name;
    EXPECT_EQ(skeleton.FindBone("a-hat"), -1);
    for (std::size_t b = 0; b < skeleton.bones.size(); ++b)
        EXPECT_LT(skeleton.bones[b].parent, static_cast<int>(b));

    // Six units tall, facing +z: head joint at 5.5, right hand at +x, toes ahead of the feet.
    ExpectNear(RestWorldPosition(skeleton, skeleton.FindBone("Bip01 Head")), Vector3(0, 5.5f, 0));
    ExpectNear(RestWorldPosition(skeleton, skeleton.FindBone("Bip01 R Hand")), Vector3(0.55f, 3.3f, 0));
    ExpectNear(RestWorldPosition(skeleton, skeleton.FindBone("Bip01 L Toe0")), Vector3(-0.3f, 0.0f, 0.4f));

    ASSERT_EQ(model.meshes.size(), 1u);
    const Mesh& mesh = file->meshes[static_cast<std::size_t>(model.meshes[0])];
    EXPECT_FALSE(mesh.rigid);
    EXPECT_EQ(mesh.bones.size(), 29u);
    EXPECT_EQ(mesh.VertexCount(), 25 * 24);
    EXPECT_EQ(mesh.TriangleCount(), 25 * 12);
    ASSERT_EQ(mesh.groups.size(), 1u);
    ASSERT_EQ(mesh.groups[0].material, 0);
    EXPECT_EQ(file->materials[0].name, "us01");
    ASSERT_EQ(file->materials[0].colourTexture, 0);
    EXPECT_EQ(file->textures[0].fileName, "us01.tga");
    for (const MeshVertex& v : mesh.vertices) {
        EXPECT_NEAR(v.weights[0] + v.weights[1] + v.weights[2] + v.weights[3], 1.0f, 1e-6f);
        EXPECT_GE(v.weights[0], v.weights[1]);
        EXPECT_GE(v.position.y, -1e-6f);
        EXPECT_LE(v.position.y, 6.15f + 1e-5f);
    }
    // Clockwise faces seen from outside: (b - a) x (c - a) points out, along the vertex normals.
    for (int t = 0; t < mesh.TriangleCount(); ++t) {
        const MeshVertex& a = mesh.vertices[mesh.indices[static_cast<std::size_t>(3 * t)]];
        const MeshVertex& b = mesh.vertices[mesh.indices[static_cast<std::size_t>(3 * t + 1)]];
        const MeshVertex& c = mesh.vertices[mesh.indices[static_cast<std::size_t>(3 * t + 2)]];
        EXPECT_GT(Dot(Cross(b.position - a.position, c.position - a.position), a.normal), 0.0f) << "triangle " << t;
    }
    // The head box spans 0.6 units of height above the head joint, in the head bone's space.
    const MeshBone& head = mesh.bones[static_cast<std::size_t>(skeleton.FindBone("Bip01 Head"))];
    EXPECT_EQ(head.name, "Bip01 Head");
    ExpectNear(head.boxMin, Vector3(-0.25f, 0.0f, -0.25f));
    ExpectNear(head.boxMax, Vector3(0.25f, 0.6f, 0.3f));
}

TEST(SkeletonFile, CoarseLevelOfDetailSharesTheSkeleton)
{
    std::unique_ptr<File> fine = ReadConverted("GameData/Models/us01_LOD1.gr2");
    std::unique_ptr<File> coarse = ReadConverted("GameData/Models/us01_LOD2.gr2");
    ASSERT_TRUE(fine && coarse);
    ASSERT_EQ(fine->skeletons[0].BoneCount(), coarse->skeletons[0].BoneCount());
    for (int b = 0; b < fine->skeletons[0].BoneCount(); ++b)
        EXPECT_EQ(fine->skeletons[0].bones[static_cast<std::size_t>(b)].name, coarse->skeletons[0].bones[static_cast<std::size_t>(b)].name);
    EXPECT_LT(coarse->meshes[0].VertexCount(), fine->meshes[0].VertexCount());
}

TEST(SkeletonFile, EverySoldierBodyJoinsItsHipsToItsHeadAtEveryLevelOfDetail)
{
    // The boxes of the hips, spine, neck and head, each by the bone that mainly carries it, stack
    // without a gap from the hips (3.2 units up, engine units) to the head joint (5.5 up).
    const char* const chain[] = {"Bip01 Pelvis", "Bip01 Spine", "Bip01 Spine1", "Bip01 Spine2",
                                 "Bip01 Spine3", "Bip01 Neck",  "Bip01 Head"};
    const char* const bodies[] = {"GameData/Models/us01_LOD1.gr2",       "GameData/Models/us01_LOD2.gr2",
                                  "GameData/Models/enemy_LOD1.gr2",      "GameData/Models/enemy_LOD2.gr2",
                                  "GameData/Models/enemy_LOD3.gr2",      "GameData/Models/Soldiers/soldier_LOD1.gr2",
                                  "GameData/Models/Soldiers/soldier_LOD2.gr2", "GameData/Models/Soldiers/soldier_LOD3.gr2"};
    for (const char* path : bodies) {
        SCOPED_TRACE(path);
        std::unique_ptr<File> file = ReadConverted(path);
        ASSERT_TRUE(file);
        ASSERT_EQ(file->models.size(), 1u);
        std::vector<std::pair<float, float>> spans; // lowest and highest vertex of each chain bone
        for (const char* bone : chain) {
            std::pair<float, float> span{1e9f, -1e9f};
            for (int m : file->models[0].meshes) {
                const Mesh& mesh = file->meshes[static_cast<std::size_t>(m)];
                for (const MeshVertex& v : mesh.vertices)
                    if (v.bones[0] < mesh.bones.size() && mesh.bones[v.bones[0]].name == bone) {
                        span.first = std::min(span.first, v.position.y);
                        span.second = std::max(span.second, v.position.y);
                    }
            }
            if (span.first <= span.second)
                spans.push_back(span);
        }
        std::sort(spans.begin(), spans.end());
        ASSERT_FALSE(spans.empty());
        EXPECT_LE(spans.front().first, 3.2f + 1e-4f);
        float reached = spans.front().second;
        for (const auto& [low, high] : spans) {
            EXPECT_LE(low, reached + 1e-4f) << "a gap from " << reached << " to " << low;
            reached = std::max(reached, high);
        }
        EXPECT_GE(reached, 5.5f);
    }
}

TEST(SkeletonFile, RigidPropHasThreeMeshesTwoMaterialsAndItsAnimation)
{
    std::unique_ptr<File> file = ReadConverted("GameData/Models/Props/radar.gr2");
    ASSERT_TRUE(file);
    ASSERT_EQ(file->models.size(), 1u);
    const Model& model = file->models[0];
    const Skeleton& skeleton = file->skeletons[0];
    EXPECT_EQ(skeleton.BoneCount(), 3);
    ASSERT_EQ(model.meshes.size(), 3u);
    for (int m : model.meshes) {
        const Mesh& mesh = file->meshes[static_cast<std::size_t>(m)];
        EXPECT_TRUE(mesh.rigid);
        ASSERT_EQ(mesh.bones.size(), 1u);
        EXPECT_EQ(skeleton.FindBone(mesh.bones[0].name), m);
    }
    const Mesh& dish = file->meshes[2];
    ASSERT_EQ(dish.groups.size(), 2u);
    EXPECT_EQ(dish.groups[0].material, 0);
    EXPECT_EQ(dish.groups[1].material, 1);
    EXPECT_EQ(dish.groups[1].firstTriangle, 12);
    EXPECT_EQ(file->materials[0].colourTexture, 0);
    EXPECT_EQ(file->materials[1].colourTexture, -1);
    EXPECT_EQ(file->textures[0].fileName, "radar.tga");

    // Rigid vertices are kept in model space: the mast's top sits 3 units up.
    float top = -1.0f;
    for (const MeshVertex& v : file->meshes[1].vertices)
        top = std::max(top, v.position.y);
    EXPECT_NEAR(top, 3.0f, 1e-5f);
    // ...and its box stays in the mast bone's own space.
    ExpectNear(file->meshes[1].bones[0].boxMin, Vector3(-0.1f, 0.0f, -0.1f));
    ExpectNear(file->meshes[1].bones[0].boxMax, Vector3(0.1f, 2.0f, 0.1f));

    ASSERT_EQ(file->animations.size(), 1u);
    EXPECT_EQ(file->animations[0].name, "spin");
    EXPECT_FLOAT_EQ(file->animations[0].duration, 4.0f);
    EXPECT_GE(file->animations[0].FindTrack("MAST"), 0);
}

TEST(SkeletonFile, EveryAnimationOfTheSoldierBindsToItsSkeleton)
{
    std::unique_ptr<File> soldier = ReadConverted("GameData/Models/us01_LOD1.gr2");
    ASSERT_TRUE(soldier);
    const struct {
        const char* path;
        bool movesLegs;
    } animations[] = {
        {"GameData/Models/LowerBody/idle01.gr2", false},
        {"GameData/Models/LowerBody/walk01.gr2", true},
        {"GameData/Models/LowerBody/run01.gr2", true},
        {"GameData/Models/LowerBody/crouch01.gr2", true},
        {"GameData/Models/LowerBody/prone01.gr2", true},
        {"GameData/Models/LowerBody/squad_screen_01.gr2", false},
        {"GameData/Models/LowerBody/Deaths/death01.gr2", true},
        {"GameData/Models/UpperBody/Rifle/aim01.gr2", false},
        {"GameData/Models/UpperBody/Rifle/fire01.gr2", false},
        {"GameData/Models/UpperBody/Rifle/reload01.gr2", false},
        {"GameData/Models/UpperBody/Rifle/throw01.gr2", false},
    };
    for (const auto& a : animations) {
        std::unique_ptr<File> file = ReadConverted(a.path);
        ASSERT_TRUE(file) << a.path;
        ASSERT_EQ(file->animations.size(), 1u) << a.path;
        const Animation& animation = file->animations[0];
        EXPECT_GT(animation.duration, 0.0f) << a.path;
        for (const BoneTrack& track : animation.tracks)
            EXPECT_GE(soldier->skeletons[0].FindBone(track.boneName), 0) << a.path << " " << track.boneName;
        EXPECT_EQ(animation.FindTrack("Bip01 L Thigh") >= 0, a.movesLegs) << a.path;
        ModelInstance instance(soldier->skeletons[0]);
        EXPECT_NE(instance.PlayAnimation(animation, 0.0f), nullptr) << a.path;
    }
}

TEST(SkeletonFile, WriterRoundTripKeepsNodesVerticesAndKeys)
{
    GltfScene scene = skeleton_test::Chain();
    scene.nodes[1].translation[2] = -2.5f;
    skeleton_test::AxisAngle(0, 0, 1, 30, scene.nodes[1].rotation);
    scene.nodes[2].scale[0] = 2.0f;
    GltfScene::Primitive p;
    p.positions = {0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1};
    p.uvs = {0, 0, 1, 0, 0, 1, 1, 1};
    p.indices = {0, 1, 2, 0, 2, 3};
    scene.meshes.push_back({"tri", {p}});
    scene.nodes[0].mesh = 0;
    scene.animations.push_back({"move", {skeleton_test::Keys(2, "translation", {0.0f, 0.5f}, {0, 1, 0, 0, 2, 0})}});

    std::unique_ptr<File> file = Read(WriteGlb(scene));
    ASSERT_TRUE(file);
    const Skeleton& s = file->skeletons[0];
    ASSERT_EQ(s.BoneCount(), 3);
    EXPECT_EQ(s.bones[1].parent, 0);
    EXPECT_FLOAT_EQ(s.bones[1].rest.translation.z, -2.5f);
    EXPECT_NEAR(s.bones[1].rest.rotation.z, std::sin(15.0 * 3.14159265358979 / 180.0), 1e-6);
    EXPECT_FLOAT_EQ(s.bones[2].rest.scale.x, 2.0f);
    const Mesh& mesh = file->meshes[0];
    EXPECT_TRUE(mesh.rigid);
    ASSERT_EQ(mesh.VertexCount(), 4);
    EXPECT_FLOAT_EQ(mesh.vertices[3].position.z, 1.0f);
    EXPECT_FLOAT_EQ(mesh.vertices[3].u, 1.0f);
    // A file without normals gets them from its faces.
    EXPECT_NEAR(mesh.vertices[1].normal.z, 1.0f, 1e-6f);
    EXPECT_EQ(mesh.indices, (std::vector<std::uint32_t>{0, 1, 2, 0, 2, 3}));
    ASSERT_EQ(file->animations.size(), 1u);
    EXPECT_FLOAT_EQ(file->animations[0].duration, 0.5f);
    EXPECT_EQ(file->animations[0].tracks[0].boneName, "c");
    EXPECT_FLOAT_EQ(file->animations[0].tracks[0].constant.scale.x, 2.0f);
}

// Posing in glTF's basis and converting the result gives the same points as converting the file
// first and posing in the engine's basis.
TEST(SkeletonFile, ConversionCommutesWithPosing)
{
    const std::vector<std::uint8_t> bytes = DataFile("GameData/Models/LowerBody/walk01.gr2");
    std::unique_ptr<File> raw = Read(DataFile("GameData/Models/us01_LOD1.gr2"));
    std::unique_ptr<File> rawWalk = Read(bytes);
    std::unique_ptr<File> engine = ReadConverted("GameData/Models/us01_LOD1.gr2");
    std::unique_ptr<File> engineWalk = ReadConverted("GameData/Models/LowerBody/walk01.gr2");
    ASSERT_TRUE(raw && rawWalk && engine && engineWalk);
    const BasisConversion conversion = EngineBasisConversion();

    auto pose = [](const File& model, const File& animation, WorldPose& world) {
        ModelInstance instance(model.skeletons[0]);
        instance.PlayAnimation(animation.animations[0], 0.0f);
        instance.SetClock(0.3f);
        std::vector<Transform> local(model.skeletons[0].bones.size());
        instance.SampleAnimations(local);
        world.Resize(model.skeletons[0].BoneCount());
        BuildWorldPose(model.skeletons[0], local, nullptr, world);
    };
    WorldPose rawPose;
    WorldPose enginePose;
    pose(*raw, *rawWalk, rawPose);
    pose(*engine, *engineWalk, enginePose);
    for (int b = 0; b < rawPose.BoneCount(); ++b) {
        const Vector3 expected = conversion.linear.Transform(rawPose.BoneMatrix(b)->GetTranslation());
        ExpectNear(enginePose.BoneMatrix(b)->GetTranslation(), expected);
    }
}

TEST(SkeletonFile, BasisConversionRefusesAxesThatAreNotAScaledRotation)
{
    BasisConversion c;
    EXPECT_TRUE(ComputeBasisConversion(Vector3(0, 0, 2), Vector3(0, 2, 0), Vector3(2, 0, 0), c));
    EXPECT_FALSE(ComputeBasisConversion(Vector3(1, 0, 0), Vector3(0, 2, 0), Vector3(0, 0, 1), c));
    EXPECT_FALSE(ComputeBasisConversion(Vector3(1, 0, 0), Vector3(1, 0, 0), Vector3(0, 0, 1), c));
    EXPECT_FALSE(ComputeBasisConversion(Vector3(0, 0, 0), Vector3(0, 0, 0), Vector3(0, 0, 0), c));
    const BasisConversion engine = EngineBasisConversion();
    ExpectNear(engine.linear.Transform(Vector3(1, 2, 3)), Vector3(0.1f, 0.2f, -0.3f));
    ExpectNear(engine.inverseLinear.Transform(Vector3(0.1f, 0.2f, -0.3f)), Vector3(1, 2, 3));
}
