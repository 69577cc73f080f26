#include <cmath>
#include <memory>

#include "engine/camera/Camera.h"
#include "engine/sprite/Sprite.h"
#include "engine/sprite/SpriteNode.h"
#include "tests/engine/mesh/RecordingFixture.h"
#include "tools/demodata/writers/TgaWriter.h"
#include "tests/support/ErrorText.h"

namespace {

// Offsets in the position, colour, two-uv-set layout sprites draw with.
constexpr int kX = 0, kY = 4, kZ = 8, kColor = 12, kU = 16, kV = 20;

class SpriteTest : public RecordingTest {
protected:
    void SetUp() override
    {
        RecordingTest::SetUp();
        WriteFile("wide.tga", WriteTga(TgaImage(64, 32, 0xFF204080u), 32));
    }
};

Matrix4 Flipped()
{
    Matrix4 m;
    m(1, 1) = -1.0f;
    return m;
}

} // namespace

TEST_F(SpriteTest, DrawsTheTexturePartAtItsPixelsWithStateRestored)
{
    Sprite sprite(recorder.get(), "wide.tga");
    sprite.x = 16;
    sprite.y = 24;
    const float uvs[4][2] = {{0.25f, 0}, {0.75f, 0}, {0.75f, 1}, {0.25f, 1}};
    std::memcpy(sprite.texCoords, uvs, sizeof(uvs));
    sprite.red = 1.0f;
    sprite.green = 0.5f;
    sprite.blue = 0.0f;
    sprite.alpha = 0.25f;
    sprite.depth = 0.5f;

    Matrix4 view, projection;
    view.SetTranslation(Vector3(1, 2, 3));
    projection(0, 0) = 2.0f;
    recorder->SetViewTransform(&view);
    recorder->SetProjectionTransform(&projection);
    recorder->SetZWrite(false);
    recorder->SetFogEnable(true);
    recorder->SetSortQueueEnabled(true);
    ASSERT_TRUE(sprite.Draw(recorder.get()));

    ASSERT_EQ(recorder->userDraws.size(), 1u);
    const RecordingDevice::UserDraw& draw = recorder->userDraws[0];
    EXPECT_EQ(draw.primitiveType, PrimTriangleList);
    EXPECT_EQ(draw.layout, VertexLayout().InitColoredTextured2());
    EXPECT_EQ(draw.indices, (std::vector<std::uint16_t>{0, 1, 2, 0, 2, 3}));
    EXPECT_EQ(draw.material, &sprite.material);
    // Half the 64-texel width at scale 1: 32 pixels wide, 32 high.
    const float left[4] = {16, 48, 48, 16}, top[4] = {24, 24, 56, 56};
    for (int i = 0; i < 4; ++i) {
        EXPECT_NEAR(PixelX(draw.Float(i, kX)), left[i], 1e-3f);
        EXPECT_NEAR(PixelY(draw.Float(i, kY)), top[i], 1e-3f);
        EXPECT_EQ(draw.Float(i, kZ), 0.5f);
        EXPECT_EQ(draw.Word(i, kColor), 0x3FFF7F00u);
        EXPECT_EQ(draw.Float(i, kU), uvs[i][0]);
        EXPECT_EQ(draw.Float(i, kV), uvs[i][1]);
    }
    // During the draw: flipped transforms, no depth writes, fog or sorting.
    EXPECT_EQ(draw.world, Flipped());
    EXPECT_EQ(draw.view, Flipped());
    EXPECT_EQ(draw.projection, Flipped());
    EXPECT_FALSE(draw.zWrite);
    EXPECT_FALSE(draw.fog);
    EXPECT_FALSE(draw.sortQueue);
    // Afterwards: view, projection, fog and sorting as before; depth writes on; world flipped.
    Matrix4 after;
    recorder->GetViewTransform(&after);
    EXPECT_EQ(after, view);
    recorder->GetProjectionTransform(&after);
    EXPECT_EQ(after, projection);
    recorder->GetWorldTransform(&after);
    EXPECT_EQ(after, Flipped());
    EXPECT_TRUE(recorder->GetZWrite());
    EXPECT_TRUE(recorder->GetFogEnable());
    EXPECT_TRUE(recorder->IsSortQueueEnabled());
}

TEST_F(SpriteTest, SizeScaleAndColourRules)
{
    struct Case {
        const char* name;
        int width;
        float scale;
        int lightingMode;
        std::uint32_t materialColor, ambient;
        float drawnWidth;
        std::uint32_t color;
    };
    const Case cases[] = {
        {"texture width", -1, 1.0f, 0, 0xFFFF0000u, 0, 64, 0x7FFFFFFFu},
        {"scale 2", -1, 2.0f, 0, 0xFFFF0000u, 0, 128, 0x7FFFFFFFu},
        {"own width", 40, 1.0f, 0, 0xFFFF0000u, 0, 40, 0x7FFFFFFFu},
        {"lit under black ambient", -1, 1.0f, 2, 0xFFFFFFFFu, 0xFF000000u, 64, 0x7F000000u},
        {"lit under white ambient", -1, 1.0f, 2, 0xFFFF0000u, 0xFFFFFFFFu, 64, 0x7FFF0000u},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Sprite sprite(recorder.get(), "wide.tga");
        sprite.width = c.width;
        sprite.scale = c.scale;
        sprite.alpha = 0.5f; // 127.5, truncated
        sprite.material.lightingMode = c.lightingMode;
        sprite.material.color = c.materialColor;
        recorder->SetAmbient(c.ambient);
        recorder->userDraws.clear();
        sprite.Draw(recorder.get());
        ASSERT_EQ(recorder->userDraws.size(), 1u);
        const RecordingDevice::UserDraw& draw = recorder->userDraws[0];
        EXPECT_NEAR(PixelX(draw.Float(1, kX)) - PixelX(draw.Float(0, kX)), c.drawnWidth, 1e-3f);
        EXPECT_EQ(draw.Word(0, kColor), c.color);
    }
}

TEST_F(SpriteTest, MissingImageIsAnErrorWithTheBitmapsReason)
{
    const std::string error = ErrorText([&] { Sprite sprite(recorder.get(), "nothere.tga"); });
    EXPECT_EQ(error.rfind("Error loading nothere.tga for sprite: ", 0), 0u) << error;
    SpriteNode node;
    EXPECT_NE(ErrorText([&] { node.Load(recorder.get(), "nothere.tga"); }), "");
    EXPECT_EQ(node.GetSprite(), nullptr);
    EXPECT_EQ(node.Draw(recorder.get()), 0);
}

TEST_F(SpriteTest, ScreenImageNodeCentresTheTextureOnTheProjectedPoint)
{
    Camera camera(recorder.get());
    camera.UpdateTransform(0.0f);
    SpriteNode node;
    node.Load(recorder.get(), "wide.tga");
    node.billboard = 0;
    node.position = Vector3(1, 0.5f, 8);
    node.scale = Vector3(1, 1, 1);
    node.alpha = 0.5f;
    node.UpdateTransform(0.0f);
    ASSERT_EQ(node.Draw(recorder.get()), 1);

    Matrix4 at;
    at.SetTranslation(node.position);
    recorder->SetWorldTransform(&at);
    Vector4 projected;
    const Vector3 origin;
    recorder->TransformPoint(&projected, &origin);
    ASSERT_EQ(recorder->userDraws.size(), 1u);
    const RecordingDevice::UserDraw& draw = recorder->userDraws[0];
    EXPECT_NEAR(PixelX(draw.Float(0, kX)), float(int(projected.x) - 32), 1e-3f);
    EXPECT_NEAR(PixelY(draw.Float(0, kY)), float(int(projected.y) - 16), 1e-3f);
    EXPECT_FLOAT_EQ(draw.Float(0, kZ), projected.z);
    EXPECT_EQ(draw.Word(0, kColor) >> 24, 0x7Fu);
}

TEST_F(SpriteTest, BillboardFacesTheCameraAndIsCulledBySizeAroundItsPosition)
{
    Camera camera(recorder.get());
    camera.UpdateTransform(0.0f);
    SpriteNode node;
    node.Load(recorder.get(), "wide.tga");
    EXPECT_TRUE(node.material->cullFlags & Material::kTwoSided);
    node.scale = Vector3(2, 1, 1);

    // Seen from the origin along +z, the left plane at depth 10 lies at x = -10 tan(35 degrees);
    // a point d outside it (measured across the plane) sits d / cos(35 degrees) further left.
    const float edge = -10.0f * std::tan(35.0f * kPi / 180.0f);
    const float across = 1.0f / std::cos(35.0f * kPi / 180.0f);
    struct Case {
        const char* name;
        Vector3 position;
        int drawn;
    };
    const Case cases[] = {
        {"in view", {0, 0, 10}, 1},
        {"1.5 outside the left plane", {edge - 1.5f * across, 0, 10}, 1},
        {"2.5 outside the left plane", {edge - 2.5f * across, 0, 10}, 0},
        {"behind", {0, 0, -10}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        recorder->userDraws.clear();
        node.position = c.position;
        node.UpdateTransform(0.0f);
        EXPECT_EQ(node.Draw(recorder.get()), c.drawn);
        EXPECT_EQ(recorder->userDraws.size(), std::size_t(c.drawn));
    }

    node.position = Vector3(0, 0, 10);
    node.red = 0.0f;
    node.UpdateTransform(0.0f);
    recorder->userDraws.clear();
    ASSERT_EQ(node.Draw(recorder.get()), 1);
    const RecordingDevice::UserDraw& draw = recorder->userDraws[0];
    EXPECT_EQ(draw.layout, VertexLayout().InitLitTextured());
    EXPECT_EQ(draw.material, node.material);
    EXPECT_EQ(draw.world.GetTranslation(), Vector3(0, 0, 10));
    // Half the scale along the camera's right and up axes.
    const Vector3 corners[4] = {{-1, 0.5f, 0}, {1, 0.5f, 0}, {1, -0.5f, 0}, {-1, -0.5f, 0}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(Vector3(draw.Float(i, 0), draw.Float(i, 4), draw.Float(i, 8)), corners[i]);
        EXPECT_EQ(draw.Word(i, 24), 0xFF00FFFFu);
    }
}
