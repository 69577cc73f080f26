#include <cmath>
#include <cstdlib>
#include <random>

#include "engine/core/q3DError.h"
#include "engine/material/Material.h"
#include "tests/world/WorldFixture.h"
#include "world/terrain/TerrainPatch.h"

namespace {

using TerrainTest = WorldTest;

TEST_F(TerrainTest, LoadBuildsPatchesTilesAndMaps)
{
    Load(Terrain());
    EXPECT_EQ(world->width, 32);
    EXPECT_EQ(world->patchColumns, 2);
    EXPECT_EQ(world->patchRows, 2);
    ASSERT_EQ(world->patches.size(), 4u);
    EXPECT_EQ(world->patches[3]->firstColumn, 16);
    EXPECT_EQ(world->patches[3]->firstRow, 16);
    EXPECT_EQ(world->patches[3]->patchIndex, 3);
    EXPECT_EQ(world->tiles.size(), 2u);
    EXPECT_EQ(world->tiles[1].fadeMaterial->srcBlend, BlendSrcAlpha);
    EXPECT_EQ(world->tiles[1].material->lightingMode, 0);
    // One batch per tile: the left patches use tile 1 only.
    ASSERT_EQ(world->patches[0]->batches.size(), 1u);
    EXPECT_EQ(world->patches[0]->batches[0].tile, 1);
    EXPECT_EQ(world->patches[0]->batches[0].cellCount, 256);
    EXPECT_EQ(World::Current(), world.get());
}

TEST_F(TerrainTest, HeightQueriesMatchHandWorkedValues)
{
    Load(Terrain());
    int column = 0, row = 0;
    world->WorldToCell(-160.0f, 160.0f - 0.001f, column, row);
    EXPECT_EQ(column, 0);
    EXPECT_EQ(row, 0);
    world->WorldToCell(5.0f, -5.0f, column, row);
    EXPECT_EQ(column, 16);
    EXPECT_EQ(row, 16);
    world->WorldToCell(0.0f, 160.0f, column, row); // the top edge lies outside
    EXPECT_EQ(row, -1);
    EXPECT_FLOAT_EQ(world->GetCornerHeight(3, 2), 0.5f * (3 + 4));
    EXPECT_EQ(world->GetCornerPosition(3, 2), Vector3(-130.0f, 3.5f, 140.0f));
    EXPECT_FLOAT_EQ(world->GetCornerPosition(40, 2).y, 0.0f);
    // Bilinear inside cell (3, 2): a quarter across and half down.
    PickResult result;
    const float h = world->GetTerrainHeightSmooth(Vector3(-127.5f, 10.0f, 135.0f), &result);
    EXPECT_NEAR(h, 0.5f * (3.25f + 2 * 2.5f), 1e-4f);
    EXPECT_NEAR(result.distance, 10.0f - h, 1e-4f);
    EXPECT_EQ(result.column, 3);
    EXPECT_EQ(result.row, 2);
    EXPECT_EQ(result.tile, world->tiles[1].material);
    // Beyond the last column the border cell's samples are used, the cell reported unclamped.
    const float beyond = world->GetTerrainHeightSmooth(Vector3(175.0f, 0.0f, 135.0f), &result);
    EXPECT_EQ(result.column, 33);
    EXPECT_NEAR(beyond, 0.5f * (30 + (175.0f - 140.0f) / 10.0f + 2 * 2.5f), 1e-3f);
    // Ground below uses the cell's two triangles: exact on the corners.
    EXPECT_NEAR(world->GetGroundBelow(Vector3(-130.0f, 50.0f, 140.0f), &result, nullptr), 3.5f, 1e-4f);
    EXPECT_NEAR(result.normal.Length(), 1.0f, 1e-4f);
    EXPECT_FLOAT_EQ(world->GetGroundBelow(Vector3(500.0f, 0.0f, 0.0f), nullptr, nullptr), 0.5f * 128.0f);
    // Water: block (0, 0) holds 20.
    EXPECT_FLOAT_EQ(world->GetWaterHeight(Vector3(-150.0f, 0.0f, 150.0f)), 10.0f);
    EXPECT_FLOAT_EQ(world->GetWaterHeight(Vector3(150.0f, 0.0f, -150.0f)), 0.0f);
    EXPECT_FLOAT_EQ(world->GetWaterHeight(Vector3(500.0f, 0.0f, 0.0f)), -0.5f);
    EXPECT_EQ(world->GetCellTileIndex(-1, 0), -1);
}

TEST_F(TerrainTest, LastPatchSamplesStayInsideTheMap)
{
    Load(Terrain());
    Vector3 t1[3], t2[3];
    world->patches[3]->GetCellTriangles(15, 15, t1, t2);
    // Corner (32, 32) is clamped to sample (31, 31).
    EXPECT_FLOAT_EQ(t2[1].y, 0.5f * (31 + 62));
    EXPECT_FLOAT_EQ(t2[1].x, 160.0f);
    EXPECT_FLOAT_EQ(t2[1].z, -160.0f);
}

// The terrain pick finds the nearest of all the cell triangles that a brute-force test finds, for
// rays from above and rays grazing the slope from just above or below it, level or nearly so.
TEST_F(TerrainTest, TerrainPicksAgreeWithBruteForce)
{
    Load(Terrain());
    std::mt19937 random(7);
    std::uniform_real_distribution<float> across(-150.0f, 150.0f), up(40.0f, 80.0f), spread(-1.0f, 1.0f),
        graze(-0.3f, 0.3f);
    int hits = 0;
    for (int i = 0; i < 1000; ++i) {
        HitResult ray;
        ray.Clear();
        if (i % 2 == 0) {
            ray.origin = Vector3(across(random), up(random), across(random));
            ray.direction = Vector3(spread(random), -1.0f, spread(random));
        } else {
            ray.origin = Vector3(across(random), 0.0f, across(random));
            ray.origin.y = world->GetTerrainHeightSmooth(ray.origin) + graze(random);
            ray.direction = Vector3(spread(random), graze(random) * 0.1f, spread(random));
        }
        ray.direction.Normalize();
        PickResult result;
        const bool hit = world->PickTerrain(ray, &result, 1000.0f, nullptr);
        float best = kNoHit;
        for (int row = 0; row < 32; ++row)
            for (int column = 0; column < 32; ++column) {
                Vector3 t1[3], t2[3];
                world->GetCellTriangles(column, row, t1, t2);
                for (const Vector3* t : {t1, t2}) {
                    HitResult brute = ray;
                    if (TriangleIntersectRay(brute, t[0], t[1], t[2], nullptr) && brute.hitPoint.Distance(ray.origin) > 0)
                        best = std::min(best, brute.hitPoint.Distance(ray.origin));
                }
            }
        ASSERT_EQ(hit, best != kNoHit) << i;
        if (hit) {
            ++hits;
            EXPECT_NEAR(result.distance, best, 1e-3f) << i;
        }
    }
    EXPECT_GT(hits, 500);
}

TEST_F(TerrainTest, MapsOfDifferentSizesAreRefused)
{
    WriteFile("area.mpb", WriteMapFile(Terrain()));
    map = std::make_unique<MapDescription>();
    ASSERT_TRUE(map->Load("area.mpb"));
    map->colorData.resize(100);
    world = std::make_unique<World>();
    EXPECT_THROW(world->Load(map.get(), device, camera.get()), q3DError);
}

TEST_F(TerrainTest, LoadErrorsCarryTheirMessages)
{
    std::filesystem::remove_all("Maps/tWorld");
    std::filesystem::create_directories("Maps/tWorld");
    WriteFile("area.mpb", WriteMapFile(Terrain()));
    map = std::make_unique<MapDescription>();
    ASSERT_TRUE(map->Load("area.mpb"));
    world = std::make_unique<World>();
    try {
        world->Load(map.get(), device, camera.get());
        FAIL() << "no error";
    } catch (const q3DError& error) {
        EXPECT_STREQ(error.GetText(), "No terrain textures loaded, check tile directory in .map file");
    }
    MapFile unknown = Terrain();
    unknown.entries[0].modelPath = "box.obj";
    WriteFile("Maps/tWorld/0.tga", WriteTga(TgaImage(16, 16, 0xFF40A040u), 24));
    WriteFile("area.mpb", WriteMapFile(unknown));
    ASSERT_TRUE(map->Load("area.mpb"));
    try {
        world->Load(map.get(), device, camera.get());
        FAIL() << "no error";
    } catch (const q3DError& error) {
        EXPECT_STREQ(error.GetText(), "Unrecognized file type: box.obj");
    }
}

TEST_F(TerrainTest, TilesStopAtTheFirstGapAndUnknownTilesDrawTileZero)
{
    std::filesystem::remove("Maps/tWorld/1.tga");
    WriteFile("Maps/tWorld/2.tga", WriteTga(TgaImage(16, 16, 0xFFFFFFFFu), 24));
    Load(Terrain()); // the left half names tile 1, which is not loaded
    EXPECT_EQ(world->tiles.size(), 1u);
    ASSERT_EQ(world->patches[0]->batches.size(), 1u);
    EXPECT_EQ(world->patches[0]->batches[0].tile, 0);
    int mentions = 0;
    for (const std::string& line : ReadLines("q3D.log"))
        mentions += line.find("only 1 tiles are loaded") != std::string::npos;
    EXPECT_EQ(mentions, 1);
}

TEST_F(TerrainTest, FlatMapForHeightNameNone)
{
    MapFile file = Terrain();
    file.heightMapName = "NONE";
    Load(file);
    EXPECT_EQ(world->width, 512);
    EXPECT_TRUE(world->noHeightImage);
    EXPECT_FLOAT_EQ(world->GetTerrainHeightSmooth(Vector3(10, 0, 10)), 128.0f * 0.5f);
}

TEST_F(TerrainTest, LoadingNeverChangesTheWorkingFolder)
{
    const auto before = std::filesystem::current_path();
    Load(Terrain());
    EXPECT_EQ(std::filesystem::current_path(), before);
}

TEST_F(TerrainTest, WaterDefinitionAndOcclusionList)
{
    WriteText("Maps/Water/water.def", "// comment\n12\n128\n0.5\n0.001\n255\n0\n51\n0\n0\n0\n3\n9\nignored\n");
    std::vector<std::uint8_t> occlusion = {1, 0, 0, 1, 1, 1, 1, 1, 0, 0, 0, 0, 1, 1, 1, 1};
    WriteFile("area.ocl", occlusion);
    Load(Terrain());
    EXPECT_FLOAT_EQ(world->waveHeightScale, 12.0f);
    EXPECT_FLOAT_EQ(world->waterColour1[0], 1.0f);
    EXPECT_FLOAT_EQ(world->waterColour1[2], 0.2f);
    EXPECT_FLOAT_EQ(world->waterShaderB, 9.0f);
    EXPECT_EQ(world->patches[0]->visibility, (std::vector<std::uint8_t>{1, 0, 0, 1}));
    EXPECT_EQ(world->patches[2]->visibility, (std::vector<std::uint8_t>{0, 0, 0, 0}));
}

TEST_F(TerrainTest, ProgressReportsClimbToTheSky)
{
    static std::vector<std::pair<int, std::string>> reports;
    reports.clear();
    WriteFile("area.mpb", WriteMapFile(Terrain()));
    map = std::make_unique<MapDescription>();
    ASSERT_TRUE(map->Load("area.mpb"));
    world = std::make_unique<World>();
    world->SetProgressCallback([](int percent, const char* text) { reports.emplace_back(percent, text); });
    world->Load(map.get(), device, camera.get());
    ASSERT_FALSE(reports.empty());
    EXPECT_EQ(reports.front(), std::make_pair(10, std::string("Loading Height Map")));
    EXPECT_EQ(reports.back(), std::make_pair(90, std::string("Initializing Sky")));
    for (std::size_t i = 1; i < reports.size(); ++i)
        EXPECT_LE(reports[i - 1].first, reports[i].first);
}

} // namespace
