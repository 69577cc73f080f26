#include <cstdlib>
#include <filesystem>

#include "tests/support/FramePixels.h"
#include "tests/world/WorldFixture.h"
#include "world/environment/Sky.h"
#include "world/terrain/TerrainPatch.h"

namespace {

// The demo map from the generated data set, loaded into the real world and drawn headless.
class DemoMapTest : public WorldTest {
protected:
    void SetUp() override
    {
        WorldTest::SetUp();
        LoadDemoMap();
    }

    std::vector<std::uint32_t> DrawFrame()
    {
        device->BeginFrame(true, true);
        camera->UpdateTransform(0.0f);
        world->Update(0.02f);
        world->CollectVisible();
        world->RenderTerrain();
        world->RenderObjects();
        world->RenderStencilShadows();
        device->EndFrame(true, true);
        return ReadFrame(device);
    }
};

TEST_F(DemoMapTest, LoadsWithItsObjectsPropsAndLight)
{
    EXPECT_STREQ(map->title, "Demo Valley");
    EXPECT_EQ(world->patches.size(), 16u);
    EXPECT_EQ(world->tiles.size(), 4u);
    EXPECT_EQ(world->GetLibraryObjectCount(), 26);
    int objects = 0, withProps = 0;
    for (MapObject* object = world->GetFirstObject(); object; object = object->next) {
        ++objects;
        withProps += object->props[0] != nullptr;
    }
    EXPECT_EQ(objects, 59);
    EXPECT_GT(withProps, 8);
    EXPECT_TRUE(world->HasLightMap());
    EXPECT_TRUE(world->detailOn);
    std::uint32_t light = 0;
    EXPECT_TRUE(world->GetTerrainLight(Vector3(0, 0, 0), &light));
    EXPECT_FALSE(world->GetTerrainLight(Vector3(900, 0, 0), &light));
    EXPECT_EQ(world->lights.size(), 1u);
    // The lake's block holds water above its floor.
    const Vector3 lake = world->GetCornerPosition(24, 40);
    EXPECT_GT(world->GetWaterHeight(lake), world->GetTerrainHeightSmooth(lake));
}

TEST_F(DemoMapTest, DrawsTheValleyFromAFixedCamera)
{
    LookFrom(Vector3(120, 70, 120), Vector3(-100, 0, -100));
    std::vector<std::uint32_t> frame;
    for (int i = 0; i < 3; ++i)
        frame = DrawFrame();
    ASSERT_EQ(frame.size(), 160u * 120u);
    EXPECT_GT(world->visiblePatches.size(), 3u);
    EXPECT_GT(world->drawnObjectCount, 2);
    // The lower half is terrain (greens and browns), not the clear colour.
    std::uint32_t clear = 0;
    device->GetClearColor(&clear);
    int terrain = 0;
    for (int y = 80; y < 120; ++y)
        for (int x = 0; x < 160; ++x)
            terrain += !Near(frame[std::size_t(y * 160 + x)], clear & 0xFFFFFF, 8);
    EXPECT_GT(terrain, 160 * 40 * 9 / 10);
    // Row 0 is the top: the upper rows show the blue of the hazy distance above the horizon,
    // the lowest rows the grass below the camera.
    auto bluish = [](std::uint32_t p) {
        const int r = int(p >> 16 & 0xFF), g = int(p >> 8 & 0xFF), b = int(p & 0xFF);
        return b > g && b > r + 40;
    };
    int upperBlue = 0, lowerBlue = 0;
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 160; ++x) {
            upperBlue += bluish(frame[std::size_t(y * 160 + x)]);
            lowerBlue += bluish(frame[std::size_t((119 - y) * 160 + x)]);
        }
    EXPECT_GT(upperBlue, 160 * 20 * 9 / 10);
    EXPECT_EQ(lowerBlue, 0);
    ExpectGoldenFrame(frame, "demo-valley.tga");
}

TEST_F(DemoMapTest, TimeOfDaySetsTheLightAndTheSky)
{
    world->SetTimeOfDay(3);
    std::uint32_t ambient = 0;
    device->GetAmbient(&ambient);
    EXPECT_EQ(ambient, 0xFF666699u);
    EXPECT_EQ(world->sky->currentSet, 3);
    EXPECT_FLOAT_EQ(world->sky->cloudOpacity, 0.7f);
    world->SetTimeOfDay(9); // not a set: nothing changes
    EXPECT_EQ(world->timeOfDay, 3);
}

} // namespace
