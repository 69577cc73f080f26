#include <cstring>

#include <algorithm>

#include "tests/world/WorldFixture.h"
#include "tools/demodata/writers/OctWriter.h"
#include "world/terrain/TerrainPatch.h"

namespace {

using LightAndDetailTest = WorldTest;

LightFile TerrainLight()
{
    LightFile light;
    light.width = light.height = 32;
    light.patchColumns = light.patchRows = 2;
    light.textureSize = 8;
    for (int i = 0; i < 32 * 32; ++i) {
        light.terrainLight.push_back(std::uint8_t(i % 32 * 8));
        light.terrainLight.push_back(std::uint8_t(i / 32 * 8));
        light.terrainLight.push_back(7);
    }
    light.patchImages = {std::vector<std::uint8_t>(32, 0x55), {}, {}, std::vector<std::uint8_t>(32, 0xAA)};
    light.patchValues = {10, 11, 12, 13};
    return light;
}

TEST_F(LightAndDetailTest, LightFileFeedsTerrainLightAndPatchLightmaps)
{
    WriteFile("area.lmp", WriteLightFile(TerrainLight()));
    Load(Terrain());
    ASSERT_TRUE(world->HasLightMap());
    std::uint32_t colour = 0;
    // Cell (3, 2): red = 3 x 8, green = 2 x 8.
    ASSERT_TRUE(world->GetTerrainLight(world->GetCornerPosition(3, 2) + Vector3(5, 0, -5), &colour));
    EXPECT_EQ(colour, 0xFF181007u);
    EXPECT_FALSE(world->GetTerrainLight(Vector3(500, 0, 0), &colour)); // off the map: no light
    EXPECT_EQ(world->GetPatchLightmapValue(2), 12);
    EXPECT_EQ(world->GetPatchLightmap(1), nullptr);
    D3DBitmap* texture = world->GetPatchLightmap(3);
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(texture->GetWidth(), 8);
    EXPECT_EQ(world->GetPatchLightmap(3), texture); // cached
    EXPECT_TRUE(world->GetLightAt(Vector3(0, 200, 0), &colour));
}

TEST_F(LightAndDetailTest, HostileLightFilesLeaveTheMapUnlit)
{
    struct Case {
        const char* name;
        std::vector<std::uint8_t> bytes;
    };
    std::vector<Case> cases;
    {
        LightFile light = TerrainLight();
        light.width = 31;
        cases.push_back({"other width", WriteLightFile(light)});
    }
    {
        LightFile light = TerrainLight();
        light.textureSize = 1 << 20;
        cases.push_back({"huge texture size", WriteLightFile(light)});
        light.textureSize = -8;
        cases.push_back({"negative texture size", WriteLightFile(light)});
    }
    {
        std::vector<std::uint8_t> cut = WriteLightFile(TerrainLight());
        cut.resize(28 + 100);
        cases.push_back({"cut in the light block", cut});
        cut.resize(10);
        cases.push_back({"cut in the header", cut});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteFile("area.lmp", c.bytes);
        Load(Terrain());
        EXPECT_FALSE(world->HasLightMap());
        EXPECT_EQ(world->GetPatchLightmap(0), nullptr);
        EXPECT_EQ(world->GetPatchLightmapValue(0), -1);
    }
    // A patch image offset pointing past the records is treated as no image.
    std::vector<std::uint8_t> bytes = WriteLightFile(TerrainLight());
    const std::size_t records = bytes.size() - 4 * 8;
    for (int i = 0; i < 4; ++i)
        bytes[records + std::size_t(i)] = 0x7F;
    WriteFile("area.lmp", bytes);
    Load(Terrain());
    ASSERT_TRUE(world->HasLightMap());
    EXPECT_EQ(world->GetPatchLightmap(0), nullptr);
}

TEST_F(LightAndDetailTest, DetailDefinitionSkipsBadGroups)
{
    WriteText("Maps/tWorld/DetailObj.def", "30\n"
                                           "-1\n0\n4\nGrass\n"      // start below 0
                                           "0\n9\n4\nGrass\n"       // end past the tiles
                                           "0\n1\n0\nGrass\n"       // density 0
                                           "0\n1\n4\nWeeds\n"       // unknown group
                                           "1\n0\n4\nGrass\n"       // end below start: nothing
                                           "0\n0\n5 0.5 2\ngrass\n" // tile 0
                                           "1\n1\n");               // cut short
    MapFile file = Terrain();
    file.entries.push_back({"box2.q3d", "tuft", {}, 1, 0});
    Load(file);
    EXPECT_FLOAT_EQ(world->detailRange, 30.0f);
    ASSERT_EQ(world->detailTable.size(), 2u);
    EXPECT_FLOAT_EQ(world->detailTable[0].density, 5.0f);
    EXPECT_FLOAT_EQ(world->detailTable[0].minScale, 0.5f);
    EXPECT_FLOAT_EQ(world->detailTable[0].maxScale, 2.0f);
    EXPECT_EQ(world->detailTable[0].count, 1);
    EXPECT_FLOAT_EQ(world->detailTable[1].density, 0.0f);
    EXPECT_FLOAT_EQ(world->GetDetailDensity(Vector3(100, 0, 0)), 5.0f);
    EXPECT_FLOAT_EQ(world->GetDetailDensity(Vector3(-100, 0, 0)), 0.0f);
    EXPECT_FLOAT_EQ(world->GetDetailDensity(Vector3(900, 0, 0)), 0.0f);
    int logged = 0;
    for (const std::string& line : ReadLines("q3D.log"))
        logged += line.rfind("DetailObj.def:", 0) == 0 || line.find("DetailObj.def:") != std::string::npos;
    EXPECT_EQ(logged, 4);
}

TEST_F(LightAndDetailTest, DetailObjectsRepeatAndRespectTheirBuffers)
{
    WriteText("Maps/tWorld/DetailObj.def", "40\n0\n1\n2\nGrass\n");
    MapFile file = Terrain();
    file.entries.push_back({"box2.q3d", "tuft", {}, 1, 0});
    Load(file);
    LookFrom(Vector3(0, 30, -20), Vector3(0, 0, 20));
    world->detailVertexCount = world->detailIndexCount = 0;
    world->BuildCellDetailObjects(16, 14, 0);
    const int vertices = world->detailVertexCount;
    ASSERT_GT(vertices, 0);
    const std::vector<std::uint8_t> first(world->detailVertices.begin(), world->detailVertices.begin() + vertices * 32);
    world->detailVertexCount = world->detailIndexCount = 0;
    world->BuildCellDetailObjects(16, 14, 0);
    ASSERT_EQ(world->detailVertexCount, vertices);
    EXPECT_EQ(std::memcmp(first.data(), world->detailVertices.data(), first.size()), 0);
    // Filling every cell in range stops at the buffers' size.
    world->detailVertexCount = world->detailIndexCount = 0;
    for (int row = 0; row < 32; ++row)
        for (int column = 0; column < 32; ++column)
            world->BuildCellDetailObjects(column, row, 0);
    EXPECT_LE(world->detailVertexCount, World::kDetailVertices);
    EXPECT_LE(world->detailIndexCount, World::kDetailIndices);
    // A tile whose group has no objects produces nothing.
    world->detailTable[0].count = 0;
    world->detailVertexCount = world->detailIndexCount = 0;
    world->BuildCellDetailObjects(16, 14, 0);
    EXPECT_EQ(world->detailVertexCount, 0);
}

} // namespace

namespace {

TEST_F(LightAndDetailTest, LightUnderALightmappedModelComesFromItsLightmap)
{
    OctModel floor;
    floor.materials = {"stone"};
    OctLightmap lightmap;
    std::fill(lightmap.pixels.begin(), lightmap.pixels.end(), std::uint8_t(120));
    floor.lightmaps = {lightmap};
    std::vector<OctVertex> corners;
    for (const auto& [x, z] : {std::pair{-2.0f, -2.0f}, {-2.0f, 2.0f}, {2.0f, 2.0f}, {2.0f, -2.0f}}) {
        OctVertex v;
        v.position[0] = x * 8.0f, v.position[1] = 0.0f, v.position[2] = z * 8.0f;
        v.lightmapUv[0] = (x + 2.0f) / 4.0f, v.lightmapUv[1] = (z + 2.0f) / 4.0f;
        corners.push_back(v);
    }
    floor.AddFace(corners, 0, 0);
    WriteFile("Maps/tWorld/floor.oct", WriteOctFile(floor));
    WriteFile("Maps/tWorld/stone.tga", WriteTga(TgaImage(16, 16, 0xFF808080u), 24));
    WriteFile("area.lmp", WriteLightFile(TerrainLight()));
    MapFile file = Terrain();
    file.entries.push_back({"floor.oct", "floor", {}, 0, 0});
    file.placements = {At(-50, 20, 50, 1)};
    Load(file);
    std::uint32_t colour = 0;
    ASSERT_TRUE(world->GetLightAt(Vector3(-50, 21, 50), &colour));
    for (int shift : {0, 8, 16})
        EXPECT_NEAR(int((colour >> shift) & 0xFF), 120, 8) << std::hex << colour;
    // Beside the model the terrain's light answers.
    ASSERT_TRUE(world->GetLightAt(Vector3(-80, 21, 50), &colour));
    std::uint32_t terrain = 0;
    ASSERT_TRUE(world->GetTerrainLight(Vector3(-80, 21, 50), &terrain));
    EXPECT_EQ(colour, terrain);
}

} // namespace
