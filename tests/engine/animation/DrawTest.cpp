#include "engine/camera/Camera.h"
#include "engine/material/Material.h"
#include "engine/mesh/qMesh.h"
#include "tests/engine/animation/AnimationFixture.h"
#include "tests/engine/mesh/RecordingDevice.h"
#include "tests/support/FramePixels.h"

namespace {

constexpr int kWidth = 160;
constexpr int kHeight = 120;

bool Olive(std::uint32_t pixel)
{
    return Near(pixel, 0x5A6332u, 14) || Near(pixel, 0x3E4424u, 14) || Near(pixel, 0xC8A078u, 14);
}

class AnimatedDrawTest : public AnimatedModelTest {
protected:
    void SetUp() override
    {
        AnimatedModelTest::SetUp();
        recorder = std::make_unique<RecordingDevice>(device);
    }
    void TearDown() override
    {
        recorder.reset();
        AnimatedModelTest::TearDown();
    }

    bool DrawOne(AnimatedModel& model)
    {
        EXPECT_EQ(device->BeginFrame(true, true), 0);
        const bool drawn = model.Draw(recorder.get());
        EXPECT_EQ(device->EndFrame(true, true), 0);
        return drawn;
    }

    std::unique_ptr<RecordingDevice> recorder;
};

} // namespace

TEST_F(AnimatedDrawTest, TheSoldierIsSkinnedIntoOneDrawOfItsGroup)
{
    AnimatedModel soldier;
    soldier.Load(device, DataPath(kSoldier).c_str(), nullptr);
    soldier.frustumCull = false;
    soldier.position = Vector3(1, 2, 3);
    soldier.UpdateTransform(0.0f);
    ASSERT_TRUE(DrawOne(soldier));
    ASSERT_EQ(recorder->userDraws.size(), 1u);
    const RecordingDevice::UserDraw& draw = recorder->userDraws[0];
    EXPECT_EQ(draw.primitiveType, PrimTriangleList);
    EXPECT_EQ(draw.layout.vertexSize, 32);
    EXPECT_EQ(draw.layout.offsets[VertexLayout::Position], 0);
    EXPECT_EQ(draw.layout.offsets[VertexLayout::Normal], 12);
    EXPECT_EQ(draw.layout.offsets[VertexLayout::TexCoord0], 24);
    EXPECT_EQ(draw.material, soldier.GetMaterial(0));
    EXPECT_EQ(draw.indices.size(), 25u * 36u); // 25 boxes of 12 triangles
    EXPECT_EQ(draw.vertexCount, 25 * 24);
    EXPECT_EQ(draw.world, soldier.world);
    // At rest the skinned vertices are the authored ones: the hat's top is the highest point.
    float top = -1.0f;
    for (int i = 0; i < draw.vertexCount; ++i)
        top = std::max(top, draw.Float(i, 4));
    EXPECT_NEAR(top, 6.15f, 1e-4f);
}

TEST_F(AnimatedDrawTest, UntexturedGroupsAreDrawnOnlyWhenAsked)
{
    AnimatedModel radar;
    radar.Load(device, DataPath(kRadar).c_str(), nullptr);
    radar.frustumCull = false;
    ASSERT_TRUE(DrawOne(radar));
    ASSERT_EQ(recorder->userDraws.size(), 1u);
    EXPECT_EQ(recorder->userDraws[0].material, radar.GetMaterial(0));
    recorder->userDraws.clear();
    radar.drawUnmaterialed = true;
    ASSERT_TRUE(DrawOne(radar));
    EXPECT_EQ(recorder->userDraws.size(), 4u);
    int withoutMaterial = 0;
    for (const RecordingDevice::UserDraw& draw : recorder->userDraws)
        withoutMaterial += draw.material == nullptr;
    EXPECT_EQ(withoutMaterial, 3);
}

TEST_F(AnimatedDrawTest, RigidMeshesAreDrawnWithTheirBonesMatrix)
{
    AnimatedModel radar;
    radar.Load(device, DataPath(kRadar).c_str(), nullptr);
    radar.frustumCull = false;
    radar.position = Vector3(10, 0, 0);
    AnimationControl* spin = radar.LoadAnimation(DataPath(kRadar).c_str());
    radar.SetEaseInTime(0.0f, spin);
    radar.PlayAnimation(0.0f, spin);
    radar.UpdateTransform(1.0f);
    ASSERT_TRUE(DrawOne(radar));
    ASSERT_EQ(recorder->userDraws.size(), 1u);
    // The dish's centre, authored at (0, 3, 0.2), swung a quarter turn about the mast.
    ExpectNear(recorder->userDraws[0].world.TransformPoint(Vector3(0.0f, 3.0f, 0.2f)), Vector3(10.2f, 3.0f, 0.0f),
               1e-4f);
}

TEST_F(AnimatedDrawTest, AModelOutsideTheViewIsNotDrawnUnlessCullingIsOff)
{
    Camera camera(device);
    camera.position = Vector3(0, 3, -10);
    camera.UpdateTransform(0.0f);
    AnimatedModel soldier;
    soldier.Load(device, DataPath(kSoldier).c_str(), nullptr);
    soldier.position = Vector3(0, 0, -40); // behind the camera
    soldier.UpdateTransform(0.0f);
    EXPECT_FALSE(DrawOne(soldier));
    EXPECT_TRUE(recorder->userDraws.empty());
    soldier.frustumCull = false;
    EXPECT_TRUE(DrawOne(soldier));
    EXPECT_EQ(recorder->userDraws.size(), 1u);
    soldier.frustumCull = true;
    soldier.position = Vector3(0, 0, 0);
    soldier.UpdateTransform(0.0f);
    EXPECT_TRUE(DrawOne(soldier));
    EXPECT_EQ(recorder->userDraws.size(), 2u);
    EXPECT_TRUE(recorder->clippingCalls.empty()) << "a model wholly in view keeps clipping on";
}

TEST_F(AnimatedDrawTest, TheDebugBoxIsDrawnAsTwelveEdgesWithoutFog)
{
    AnimatedModel soldier;
    soldier.Load(device, DataPath(kSoldier).c_str(), nullptr);
    soldier.frustumCull = false;
    soldier.GetMesh()->showBox = 1;
    device->SetFogEnable(true);
    ASSERT_TRUE(DrawOne(soldier));
    ASSERT_EQ(recorder->userDraws.size(), 2u);
    const RecordingDevice::UserDraw& box = recorder->userDraws[0];
    EXPECT_EQ(box.primitiveType, PrimLineList);
    EXPECT_EQ(box.vertexCount, 8);
    EXPECT_EQ(box.indices.size(), 24u);
    EXPECT_FALSE(box.fog);
    EXPECT_TRUE(recorder->userDraws[1].fog);
    EXPECT_TRUE(device->GetFogEnable());
}

TEST_F(AnimatedDrawTest, MeshesOfMoreThanTenThousandIndicesDrawWhole)
{
    GltfScene scene = ChainModel("skin.tga");
    GltfScene::Primitive& strip = scene.meshes[0].primitives[0];
    strip.positions.clear();
    strip.normals.clear();
    strip.uvs.clear();
    strip.joints.clear();
    strip.weights.clear();
    strip.indices.clear();
    // A ribbon of 2 x 2500 vertices and 4998 triangles, all bound to "c".
    for (int i = 0; i < 2500; ++i)
        for (int side = 0; side < 2; ++side) {
            strip.positions.insert(strip.positions.end(), {float(side), 20.0f + 0.01f * float(i), 0.0f});
            strip.normals.insert(strip.normals.end(), {0.0f, 0.0f, -1.0f});
            strip.uvs.insert(strip.uvs.end(), {float(side), 0.0f});
            strip.joints.insert(strip.joints.end(), {2, 0, 0, 0});
            strip.weights.insert(strip.weights.end(), {1.0f, 0.0f, 0.0f, 0.0f});
        }
    for (std::uint32_t i = 0; i + 1 < 2500; ++i) {
        const std::uint32_t a = 2 * i;
        strip.indices.insert(strip.indices.end(), {a, a + 2, a + 1, a + 1, a + 2, a + 3});
    }
    Write("ribbon.gr2", scene);
    WriteFile("skin.tga", TgaFile(2, 2, 24, std::vector<std::uint8_t>(12, 0x80)));
    AnimatedModel ribbon;
    ribbon.Load(device, "ribbon.gr2", nullptr);
    ribbon.frustumCull = false;
    ASSERT_TRUE(DrawOne(ribbon));
    ASSERT_EQ(recorder->userDraws.size(), 1u);
    const RecordingDevice::UserDraw& draw = recorder->userDraws[0];
    EXPECT_EQ(draw.indices.size(), 4998u * 3u);
    EXPECT_EQ(draw.vertexCount, 5000);
    EXPECT_EQ(*std::max_element(draw.indices.begin(), draw.indices.end()), 4999);
}

TEST_F(AnimatedDrawTest, TheSkinnedSoldierShowsInThePixelsStandingAndFallen)
{
    Camera camera(device);
    camera.position = Vector3(0, 3, -10);
    camera.UpdateTransform(0.0f);
    AnimatedModel soldier;
    soldier.Load(device, DataPath(kSoldier).c_str(), nullptr);
    soldier.GetMaterial(0)->lightingMode = 0; // texture only, no lights needed
    device->SetClearColor(0xFF000000u);

    // Counts olive pixels above and below the row of the camera's height, and stray colours.
    struct Counts {
        int above = 0, below = 0, other = 0;
    };
    auto count = [&]() {
        const std::vector<std::uint32_t> frame = ReadFrame(device);
        Counts c;
        EXPECT_EQ(frame.size(), std::size_t(kWidth * kHeight));
        for (int y = 0; y < kHeight && frame.size() == std::size_t(kWidth * kHeight); ++y)
            for (int x = 0; x < kWidth; ++x) {
                const std::uint32_t p = frame[std::size_t(y * kWidth + x)];
                if (p == 0)
                    continue;
                if (!Olive(p))
                    ++c.other;
                else if (y < kHeight / 2 - 1)
                    ++c.above;
                else if (y > kHeight / 2 + 1)
                    ++c.below;
            }
        return c;
    };

    ASSERT_TRUE(DrawOne(soldier));
    const Counts standing = count();
    EXPECT_GT(standing.above, 150);
    EXPECT_GT(standing.below, 150);
    // Filtering blends the skin's light band into its neighbours; those pixels stay a minority.
    EXPECT_LT(standing.other, (standing.above + standing.below) / 3);

    AnimationControl* death = soldier.LoadAnimation(DataPath("GameData/Models/LowerBody/Deaths/death01.gr2").c_str());
    soldier.SetLoopCount(1, death);
    soldier.SetEaseInTime(0.0f, death);
    soldier.PlayAnimation(0.0f, death);
    soldier.UpdateTransform(2.0f);
    ASSERT_TRUE(DrawOne(soldier));
    const Counts fallen = count();
    EXPECT_EQ(fallen.above, 0) << "everything lies below the camera's height";
    EXPECT_GT(fallen.below, 150);
    EXPECT_LT(fallen.other, fallen.below / 3);
}
