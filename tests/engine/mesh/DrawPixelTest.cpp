#include <memory>

#include "engine/camera/Camera.h"
#include "engine/font/BitmapFont.h"
#include "engine/mesh/MeshNode.h"
#include "engine/mesh/qMesh.h"
#include "engine/material/Material.h"
#include "tests/renderer/RendererFixture.h"
#include "tests/support/FramePixels.h"

namespace {

constexpr int kWidth = 320;
constexpr int kHeight = 240;

class DrawPixelTest : public RendererTest {
protected:
    void SetUp() override
    {
        RendererTest::SetUp();
        OpenWindowed(kWidth, kHeight);
    }
};

} // namespace

TEST_F(DrawPixelTest, DemoCrateCoversTheCentreInItsTextureColours)
{
    Camera camera(device);
    camera.position = Vector3(0, 0.5f, -3);
    camera.UpdateTransform(0.0f);
    MeshNode crate;
    crate.Load(device, (std::string(BEXAL_DATA_DIR) + "/GameData/Models/Props/crate.q3d").c_str(), nullptr, 0);
    crate.UpdateTransform(0.0f);
    for (Material* material : crate.GetMesh()->GetMaterials())
        material->lightingMode = 0; // texture x vertex colour, no lights needed

    device->SetClearColor(0xFF000000u);
    ASSERT_EQ(device->BeginFrame(true, true), 0);
    EXPECT_TRUE(crate.Draw(device));
    ASSERT_EQ(device->EndFrame(true, true), 0);
    const std::vector<std::uint32_t> frame = ReadFrame(device);
    ASSERT_EQ(frame.size(), std::size_t(kWidth * kHeight));

    // The crate's face fills the middle: down the centre column lie planks and their dark seams
    // (a quarter of the texture's height apart); the corners stay clear.
    int planks = 0, seams = 0;
    for (int y = kHeight / 2 - 40; y < kHeight / 2 + 40; ++y) {
        const std::uint32_t pixel = frame[std::size_t(y * kWidth + kWidth / 2)];
        planks += Near(pixel, 0x8A6A3Cu, 12);
        seams += Near(pixel, 0x5A4426u, 12);
    }
    EXPECT_GT(planks, 20);
    EXPECT_GT(seams, 0);
    EXPECT_EQ(frame[0], 0u);
    EXPECT_EQ(frame[std::size_t(kWidth * kHeight - 1)], 0u);
}

TEST_F(DrawPixelTest, ALineOfTextLightsPixelsOnlyWhereItIsWritten)
{
    BitmapFont font;
    font.Load(device, (std::string(BEXAL_DATA_DIR) + "/GameData/Fonts/arial.tga").c_str(),
              "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789!#@$%&/()=+-'\",.;:<>_?^*{}|`~", 6, -5);
    device->SetClearColor(0xFF000000u);
    ASSERT_EQ(device->BeginFrame(true, true), 0);
    const char* text = "Hello World";
    EXPECT_EQ(font.DrawText(device, 20, 30, 1.0f, text), 1);
    ASSERT_EQ(device->EndFrame(true, true), 0);
    const std::vector<std::uint32_t> frame = ReadFrame(device);
    ASSERT_EQ(frame.size(), std::size_t(kWidth * kHeight));

    const int right = 20 + font.GetTextWidth(text) + 8, bottom = 30 + font.GetLineHeight();
    int inside = 0, outside = 0;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            if (!Near(frame[std::size_t(y * kWidth + x)], 0xFFFFFFu, 100))
                continue;
            if (x >= 20 && x < right && y >= 30 && y < bottom)
                ++inside;
            else
                ++outside;
        }
    EXPECT_GT(inside, 60);
    EXPECT_EQ(outside, 0);
}
