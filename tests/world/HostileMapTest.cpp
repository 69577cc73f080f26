#include <cmath>
#include <limits>

#include "engine/core/q3DError.h"
#include "mission/props/CharacterProps.h"
#include "mission/props/MissionProps.h"
#include "tests/world/WorldFixture.h"
#include "world/map/NodePool.h"

// Maps that load but hold numbers and names no editor would write: the world answers with cells
// outside the map, clamped colours and clear errors, never with undefined behaviour.
namespace {

using HostileMapTest = WorldTest;

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

TEST_F(HostileMapTest, FarAndNonNumericPointsLieOutsideTheMap)
{
    Load(FlatTerrain());
    struct Case {
        float x, z;
        bool east, north; // beyond the +x edge, beyond the +z edge (row < 0)
    };
    const Case cases[] = {
        {1e30f, 0.0f, true, false}, {kInf, 0.0f, true, false}, {0.0f, 1e30f, false, true},
        {0.0f, kInf, false, true},  {-1e30f, -kInf, false, false}, {kNaN, kNaN, false, false},
    };
    for (float cell : {10.0f, 0.0f, kNaN, 1e-20f}) {
        world->cellSize = cell;
        for (const Case& c : cases) {
            SCOPED_TRACE(::testing::Message() << "cell " << cell << " at " << c.x << ", " << c.z);
            int column = 0, row = 0;
            world->WorldToCell(c.x, c.z, column, row);
            const bool inside = column >= 0 && column < world->width && row >= 0 && row < world->height;
            if (cell == 10.0f) {
                EXPECT_FALSE(inside);
                if (c.east) {
                    EXPECT_GE(column, world->width);
                }
                if (c.north) {
                    EXPECT_LT(row, 0);
                }
            }
            world->GetTerrainHeightSmooth(Vector3(c.x, 0.0f, c.z), nullptr);
            world->GetGroundBelow(Vector3(c.x, 0.0f, c.z), nullptr, nullptr);
        }
    }
    world->cellSize = 10.0f;
    MapObject* object = world->AddObject(0, Vector3(5, 0, 5), Matrix3(), 1.0f);
    ASSERT_NE(object, nullptr);
    const int grid = std::max(world->patchColumns, world->patchRows);
    for (float cell : {0.0f, kNaN, 1e-20f, -1e-20f}) {
        SCOPED_TRACE(cell);
        world->cellSize = cell;
        const int reach = world->GetObjectPatchReach(object, nullptr);
        EXPECT_GE(reach, 0);
        EXPECT_LE(reach, grid + 2);
    }
    world->cellSize = 10.0f;
}

TEST_F(HostileMapTest, LightingValuesBeyondAColourClampToIt)
{
    Load(FlatTerrain());
    struct Case {
        float value;
        std::uint32_t channel;
    };
    const Case cases[] = {{1e30f, 0xFF}, {kInf, 0xFF}, {-1e30f, 0x00}, {kNaN, 0x00}, {0.5f, 0x7F}, {2.0f, 0xFF}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        for (int table : {LightAmbientRed, LightAmbientGreen, LightAmbientBlue})
            map->lighting[table][2] = c.value;
        world->SetTimeOfDay(2);
        std::uint32_t ambient = 0;
        device->GetAmbient(&ambient);
        EXPECT_EQ(ambient, 0xFF000000u | c.channel << 16 | c.channel << 8 | c.channel);
    }
}

// A library entry whose first line registers a character and whose second line throws: the load
// fails, and nothing of the object stays registered for the next level to read.
TEST_F(HostileMapTest, AnObjectWhosePropThrowsLeavesNoTrace)
{
    MapFile file = FlatTerrain();
    file.entries[0].propTexts = {"enemy M4", "colmesh Maps/tWorld/missing.q3d", "", "", ""};
    file.placements = {At(5, 0, 5), At(25, 0, 25)};
    WriteFile("area.mpb", WriteMapFile(file));
    map = std::make_unique<MapDescription>();
    ASSERT_TRUE(map->Load("area.mpb")) << map->GetLastError();
    world = std::make_unique<World>();
    RegisterMissionPropTypes(*world);
    EXPECT_THROW(world->Load(map.get(), device, camera.get()), q3DError);
    EXPECT_EQ(CharacterPropList().GetCount(), 0);
    EXPECT_EQ(world->objectPool.GetLiveCount(), 0);
    world.reset();
    EXPECT_EQ(CharacterPropList().GetCount(), 0);
}

// Objects still handed out when the pool goes are destroyed, so that what they registered leaves.
TEST(NodePoolTest, FreeAllDestroysTheNodesStillHandedOut)
{
    static int destroyed = 0;
    struct Counted {
        ~Counted() { ++destroyed; }
    };
    destroyed = 0;
    {
        NodePool<Counted> pool;
        Counted* first = pool.Allocate();
        pool.Allocate();
        pool.Allocate();
        pool.Free(first);
        EXPECT_EQ(destroyed, 1);
        pool.FreeAll();
        EXPECT_EQ(destroyed, 3);
        pool.Allocate();
    }
    EXPECT_EQ(destroyed, 4);
}

// A map of the oldest version names its models from the map's folder; the object folder is only
// where their textures are looked for.
TEST_F(HostileMapTest, AnOldMapLoadsItsLibraryModelsFromItsFolder)
{
    MapFile file = FlatTerrain();
    file.version = 116.0f;
    file.objectDirectory = "./";
    file.tileDirectory = "../tWorld/";
    file.cloudTexture = "../Sky/clouds.tga";
    file.skyModels.fill("../Sky/skydome.q3d");
    file.entries[0].modelPath = "crate.q3d";
    file.placements = {At(5, 0, 5)};
    std::filesystem::create_directories("Maps/Old");
    std::filesystem::copy_file("Maps/tWorld/box.q3d", "Maps/Old/crate.q3d");
    WriteFile("Maps/Old/area.mpb", WriteMapFile(file));
    map = std::make_unique<MapDescription>();
    ASSERT_TRUE(map->Load("Maps/Old/area.mpb")) << map->GetLastError();
    EXPECT_STREQ(map->GetLibraryEntry(0)->modelPath, "Maps/Old/crate.q3d");
    world = std::make_unique<World>();
    try {
        world->Load(map.get(), device, camera.get());
    } catch (const q3DError& error) {
        FAIL() << error.GetText();
    }
    ASSERT_NE(world->GetFirstObject(), nullptr);
    EXPECT_NE(world->GetLibraryObject(0)->mesh, nullptr);
}

// Names with a leading separator are joined to the base folder, never opened from the root.
TEST_F(HostileMapTest, ImageNamesWithALeadingSeparatorStayInTheDataFolder)
{
    MapFile file = FlatTerrain();
    file.width = file.height = 0; // the images stand in for the map's own blocks
    file.heightData.clear();
    file.colorData.clear();
    file.waterData.clear();
    file.heightMapName = "/Hostile/height.tga";
    file.colorMapName = "\\Hostile\\color.tga";
    file.waterPath = "/Hostile/water.tga";
    file.skyModels.fill("/Maps/Sky/skydome.q3d");
    file.cloudTexture = "\\Maps\\Sky\\clouds.tga";
    WriteFile("Hostile/height.tga", WriteTga(TgaImage(32, 32, 0xFF000000u), 24));
    std::vector<std::uint8_t> tiles;
    for (int i = 0; i < 32 * 32; ++i)
        Put16(tiles, 0);
    WriteFile("Hostile/color.tga", TgaFile(32, 32, 16, tiles));
    std::vector<std::uint8_t> water;
    for (int i = 0; i < 8 * 8; ++i)
        Put16(water, 0);
    WriteFile("Hostile/water.tga", TgaFile(8, 8, 16, water));
    try {
        Load(file);
    } catch (const q3DError& error) {
        FAIL() << error.GetText();
    }
    EXPECT_EQ(world->width, 32);
}

struct LightCase {
    const char* line;
    bool lit;
    std::uint32_t colour;
    int minPhase, maxPhase;
};

TEST_F(HostileMapTest, LightLinesWithHostileNumbersAreClampedOrRefused)
{
    Load(FlatTerrain());
    const LightCase cases[] = {
        {"light 10 nan 1 1", true, 0xFF00FFFFu, 0, 0},
        {"light 10 1 -nan inf", true, 0xFFFF00FFu, 0, 0},
        {"light nan 1 1 1", false, 0, 0, 0},
        {"light inf 1 1 1", false, 0, 0, 0},
        {"light 10 1 1 1 FLICKER 2147483647", true, 0xFFFFFFFFu, 3600000, 3600001},
        {"light 10 1 1 1 FLICKER -2147483648 2147483647 99999999999 -99999999999", true, 0xFFFFFFFFu, 0, 3600000},
        {"light 10 1 1 1 FLICKER 200 400 70 100", true, 0xFFFFFFFFu, 200, 400},
    };
    for (const LightCase& c : cases) {
        SCOPED_TRACE(c.line);
        MapObject* object = world->AddObject(0, Vector3(-50, 10, 50), Matrix3(), 1.0f);
        ASSERT_NE(object, nullptr);
        EXPECT_TRUE(object->AddProp(c.line));
        auto* light = static_cast<LightProp*>(object->FindProp(LightPropFactory));
        ASSERT_NE(light, nullptr);
        EXPECT_EQ(light->light != nullptr, c.lit);
        if (light->light) {
            EXPECT_EQ(light->light->color, c.colour);
            EXPECT_EQ(light->minPhase, c.minPhase);
            if (light->flicker) {
                EXPECT_EQ(light->maxPhase, c.maxPhase);
                EXPECT_GE(light->phaseLength, light->minPhase);
                EXPECT_LE(light->low, 10.0f);
                EXPECT_GE(light->high, -10.0f);
            }
            object->CallUpdateNearCamera(0.1f);
        }
        world->RemoveObject(object);
    }
    EXPECT_TRUE(world->lights.empty());
}

} // namespace
