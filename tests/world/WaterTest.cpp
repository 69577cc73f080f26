#include <cmath>

#include "tests/world/WorldFixture.h"
#include "world/terrain/TerrainPatch.h"

namespace {

using WaterTest = WorldTest;

TEST_F(WaterTest, WaterDrawsOnlyWhereAPatchShowsIt)
{
    Load(Terrain()); // block (0, 0) holds water at 10, above its lowest ground
    LookFrom(Vector3(-60, 60, 60), Vector3(-120, 0, 120));
    world->CollectVisible();
    EXPECT_TRUE(world->waterVisibleThisFrame);
    device->BeginFrame(true, true);
    world->RenderTerrain();
    EXPECT_TRUE(world->patches[0]->waterVisible);
    EXPECT_TRUE(world->RenderWater());
    device->EndFrame(true, true);
    // Looking at the far corner only, no patch with water is gathered.
    LookFrom(Vector3(150, 40, -150), Vector3(170, 0, -170));
    world->CollectVisible();
    EXPECT_FALSE(world->waterVisibleThisFrame);
    EXPECT_FALSE(world->RenderWater());
}

TEST_F(WaterTest, WavesRepeatAndTileEverySixteenCells)
{
    Load(Terrain());
    const Vector3 a(-123.0f, 0.0f, 77.0f);
    const float first = world->GetWaveHeight(a);
    // The field repeats every 32 half cells.
    EXPECT_NEAR(world->GetWaveHeight(a + Vector3(160.0f, 0.0f, -160.0f)), first, 1e-4f);
    float lowest = first, highest = first;
    for (int i = 0; i < 40; ++i) {
        const float h = world->GetWaveHeight(Vector3(float(i) * 3.7f - 70.0f, 0.0f, float(i) * 1.3f));
        lowest = std::min(lowest, h);
        highest = std::max(highest, h);
    }
    EXPECT_GT(highest - lowest, 0.01f);
    // The same seed gives the same waves in another world.
    world.reset();
    Load(Terrain());
    EXPECT_FLOAT_EQ(world->GetWaveHeight(a), first);
    // Time moves them.
    LookFrom(Vector3(-60, 60, 60), Vector3(-120, 0, 120));
    world->CollectVisible();
    world->Update(4.0f);
    EXPECT_NE(world->GetWaveHeight(a), first);
}

} // namespace
