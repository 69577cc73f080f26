#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tools/demodata/writers/MapWriter.h"
#include "world/map/MapDescription.h"

namespace {

class MapDescriptionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        home = std::filesystem::current_path();
        folder = home / "work" / (std::string(info->test_suite_name()) + "." + info->name());
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
        std::filesystem::current_path(folder);
    }
    void TearDown() override { std::filesystem::current_path(home); }

    static void Write(const std::string& path, const std::vector<std::uint8_t>& bytes)
    {
        std::filesystem::create_directories(std::filesystem::path(path).parent_path().empty()
                                                ? std::filesystem::path(".")
                                                : std::filesystem::path(path).parent_path());
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }

    // A 32 x 16 map with a few recognisable values, two groups and three entries.
    static MapFile SampleMap(float version)
    {
        MapFile map;
        map.version = version;
        map.title = "Sample";
        map.width = 32;
        map.height = 16;
        map.SizeBlocks();
        map.heightData[3 * 5] = 77;
        map.colorData[7] = 3;
        map.waterData[1] = 9;
        map.heightScale = 0.5f;
        map.cellSize = 10.0f;
        map.start[1] = 12.0f;
        map.scalarK = -4;
        map.skyModels[2] = "Maps/Sky/night.TgA";
        map.lighting[10][3] = 0.25f;
        map.ambientSounds[1][2] = "Sound/wind.wav";
        map.groups = {"Trees", "Rocks"};
        map.entries.push_back({"tree.q3d", "Tree", {"sway Y 1 0 5", "", "", "", ""}, 0, 42});
        map.entries.push_back({"rock.q3d", "Rock", {}, 1, 0});
        map.entries.push_back({"bush.q3d", "Bush", {}, 0, 0});
        MapFilePlacement p;
        p.position[0] = 1, p.position[1] = 2, p.position[2] = 3;
        p.rotation[1] = 0.5f;
        p.scale = 2.0f;
        p.library = 2;
        map.placements = {p, MapFilePlacement{}};
        return map;
    }

    std::filesystem::path home, folder;
};

TEST_F(MapDescriptionTest, DefaultsFollowTheFormat)
{
    MapDescription map;
    EXPECT_STREQ(map.title, "Unnamed");
    EXPECT_STREQ(map.tileDirectory, "Maps/tWorld/");
    EXPECT_STREQ(map.skyModels[4], "Maps/Sky/skydome.q3d");
    EXPECT_FLOAT_EQ(map.cellSize, 15.0f);
    EXPECT_FLOAT_EQ(map.viewDistance, 1000.0f);
    EXPECT_EQ(map.scalarJ, 70);
    EXPECT_FLOAT_EQ(map.lighting[LightFogRed][0], 0.2f);
    EXPECT_FLOAT_EQ(map.lighting[LightFogRed][3], 0.8f);
    EXPECT_FLOAT_EQ(map.lighting[LightAmbientBlue][1], 0.6f);
    EXPECT_FLOAT_EQ(map.lighting[LightSkyValue][0], 1.0f);
    EXPECT_FLOAT_EQ(map.lighting[LightSkyValue][4], 0.65f);
    EXPECT_STREQ(map.ambientSounds[4][4], "-");
    EXPECT_FLOAT_EQ(map.version, 119.0f);
}

TEST_F(MapDescriptionTest, Version119RoundTrips)
{
    Write("area.mpb", WriteMapFile(SampleMap(119.0f)));
    MapDescription map;
    ASSERT_TRUE(map.Load("area.mpb")) << map.GetLastError();
    EXPECT_STREQ(map.title, "Sample");
    EXPECT_EQ(map.width, 32);
    EXPECT_EQ(map.height, 16);
    ASSERT_EQ(map.heightData.size(), 32u * 16u * 3u);
    EXPECT_EQ(map.heightData[15], 77);
    EXPECT_EQ(map.colorData[7], 3);
    ASSERT_EQ(map.waterData.size(), 2u);
    EXPECT_EQ(map.waterData[1], 9);
    EXPECT_FLOAT_EQ(map.heightScale, 0.5f);
    EXPECT_FLOAT_EQ(map.startPosition.y, 12.0f);
    EXPECT_EQ(map.scalarK, -4);
    EXPECT_STREQ(map.skyModels[2], "Maps/Sky/skydome.q3d"); // a .tga sky in any case
    EXPECT_FLOAT_EQ(map.lighting[LightSkyValue][3], 0.25f);
    EXPECT_STREQ(map.ambientSounds[1][2], "Sound/wind.wav");
    EXPECT_STREQ(map.waterPath, "Maps/Water/water");
    ASSERT_EQ(map.GetLibraryCount(), 3);
    EXPECT_STREQ(map.GetLibraryEntry(0)->propText[0], "sway Y 1 0 5");
    EXPECT_EQ(map.GetLibraryEntry(0)->libraryValue, 42);
    EXPECT_EQ(map.GetLibraryEntry(2)->groupIndex, 0); // two entries of one group share it
    EXPECT_EQ(map.GetLibraryEntry(1)->groupIndex, 1);
    EXPECT_EQ(map.groupCount, 2);
    ASSERT_EQ(map.recordCount, 2);
    EXPECT_EQ(map.firstRecord->libraryIndex, 2);
    EXPECT_FLOAT_EQ(map.firstRecord->rotation.y, 0.5f);
    EXPECT_FLOAT_EQ(map.firstRecord->scale, 2.0f);
    EXPECT_STREQ(map.mapPath, "area.mpb");
    EXPECT_STREQ(map.baseDirectory, ".");
}

TEST_F(MapDescriptionTest, Version116ResolvesPathsAgainstTheMapFolder)
{
    MapFile file = SampleMap(116.0f);
    file.tileDirectory = "../tWorld/";
    file.entries[1].modelPath = "./rock.q3d";
    file.ambientSounds[0][0] = "../../Sound/a.wav";
    Write("Maps/Foo/area.mpb", WriteMapFile(file));
    MapDescription map;
    ASSERT_TRUE(map.Load("Maps/Foo/area.mpb")) << map.GetLastError();
    EXPECT_STREQ(map.waterPath, "Maps/Water/water");
    EXPECT_STREQ(map.tileDirectory, "Maps/tWorld/");
    EXPECT_STREQ(map.GetLibraryEntry(1)->modelPath, "Maps/Foo/rock.q3d");
    EXPECT_STREQ(map.ambientSounds[0][0], "Sound/a.wav");
    EXPECT_STREQ(map.ambientSounds[0][1], "-"); // "-" stays
}

TEST_F(MapDescriptionTest, WaterBlockRoundsLikeTheFormat)
{
    MapFile file;
    file.width = file.height = 100;
    file.SizeBlocks();
    EXPECT_EQ(file.waterData.size(), 37u); // (100 / 16) x 100 / 16
    Write("area.mpb", WriteMapFile(file));
    MapDescription map;
    ASSERT_TRUE(map.Load("area.mpb")) << map.GetLastError();
    EXPECT_EQ(map.waterData.size(), 37u);
}

TEST_F(MapDescriptionTest, EntriesWithoutGroupLandInImported)
{
    MapDescription map;
    map.AddLibraryEntry("a.q3d", "A", "Trees");
    LibraryEntry* b = map.AddLibraryEntry("b.q3d", "B", "");
    LibraryEntry* c = map.AddLibraryEntry("c.q3d", "C", "Trees");
    EXPECT_STREQ(map.groupNames[b->groupIndex], "Imported");
    EXPECT_EQ(c->groupIndex, 0);
    EXPECT_EQ(map.groupCount, 2);
}

TEST_F(MapDescriptionTest, RecordsAreRemovedAndTheTailFixed)
{
    MapDescription map;
    MapObjectRecord* a = map.AddObjectRecord(0, 1, 0, 0, 0, 0, 0, 1, 1);
    MapObjectRecord* b = map.AddObjectRecord(1, 2, 0, 0, 0, 0, 0, 1, 1);
    map.RemoveObjectRecord(b);
    EXPECT_EQ(map.lastRecord, a);
    EXPECT_EQ(map.recordCount, 1);
    MapObjectRecord stranger;
    map.RemoveObjectRecord(&stranger);
    EXPECT_EQ(map.recordCount, 1);
    MapObjectRecord* c = map.AddObjectRecord(2, 3, 0, 0, 0, 0, 0, 1, 1);
    EXPECT_EQ(a->next, c);
    map.Reset();
    EXPECT_EQ(map.recordCount, 0);
    EXPECT_EQ(map.firstRecord, nullptr);
}

TEST_F(MapDescriptionTest, PathHelpers)
{
    char out[260];
    ResolveRelativePath(out, "Maps/Foo/", "../Water/water");
    EXPECT_STREQ(out, "Maps/Water/water");
    ResolveRelativePath(out, "Maps/Foo/", "./x.q3d");
    EXPECT_STREQ(out, "Maps/Foo/x.q3d");
    ResolveRelativePath(out, "Foo/", "../x.q3d");
    EXPECT_STREQ(out, "x.q3d");
    ResolveRelativePath(out, "Maps/Foo/", "x.q3d");
    EXPECT_STREQ(out, "Maps/Foo/x.q3d");
    MakeRelativePath(out, sizeof(out), "C:\\Game\\Maps\\Foo\\", "c:\\game\\");
    EXPECT_STREQ(out, "Maps\\Foo\\");
    MakeRelativePath(out, sizeof(out), "C:\\Game\\Maps\\", "C:\\Game\\Bin\\Run\\");
    EXPECT_STREQ(out, "..\\..\\Maps\\");
}

// Every way a file can be bad loads as failure and leaves the loaded map as it was.
TEST_F(MapDescriptionTest, HostileFilesFailAndChangeNothing)
{
    const std::vector<std::uint8_t> good = WriteMapFile(SampleMap(119.0f));
    struct Case {
        const char* name;
        std::vector<std::uint8_t> bytes;
    };
    std::vector<Case> cases;
    cases.push_back({"version 120", WriteMapFile(SampleMap(120.0f))});
    cases.push_back({"empty", {}});
    for (std::size_t cut : {std::size_t(3), std::size_t(1000), std::size_t(2000), good.size() / 2, good.size() - 1})
        cases.push_back({"truncated", std::vector<std::uint8_t>(good.begin(), good.begin() + std::ptrdiff_t(cut))});
    {
        MapFile huge = SampleMap(119.0f);
        huge.width = 0x40000000u; // width x height x 3 would overflow
        cases.push_back({"huge size", WriteMapFile(huge)});
    }
    {
        MapFile groups = SampleMap(119.0f);
        groups.groups.assign(129, "g");
        cases.push_back({"129 groups", WriteMapFile(groups)});
    }
    {
        std::vector<std::uint8_t> negative = good;
        // The group count sits after the fixed part: patch it to -1.
        MapFile noObjects = SampleMap(119.0f);
        noObjects.groups.clear();
        noObjects.entries.clear();
        noObjects.placements.clear();
        const std::size_t groupCountOffset = WriteMapFile(noObjects).size() - 12;
        for (int i = 0; i < 4; ++i)
            negative[groupCountOffset + std::size_t(i)] = 0xFF;
        cases.push_back({"negative groups", negative});
    }
    {
        MapFile index = SampleMap(119.0f);
        index.placements[0].library = 40000;
        cases.push_back({"library index above 32767", WriteMapFile(index)});
        index.placements[0].library = -1;
        cases.push_back({"negative library index", WriteMapFile(index)});
    }
    Write("good.mpb", good);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MapDescription map;
        ASSERT_TRUE(map.Load("good.mpb"));
        Write("bad.mpb", c.bytes);
        EXPECT_FALSE(map.Load("bad.mpb"));
        EXPECT_STRNE(map.GetLastError(), "");
        EXPECT_STREQ(map.title, "Sample");
        EXPECT_EQ(map.GetLibraryCount(), 3);
        EXPECT_EQ(map.recordCount, 2);
        EXPECT_STREQ(map.mapPath, "good.mpb");
    }
    MapDescription map;
    EXPECT_FALSE(map.Load("missing.mpb"));
}

// Numbers that would turn into garbage cell indices, positions or colours, and names that climb
// out of the data folder: refused with the field's name.
TEST_F(MapDescriptionTest, HostileScalarsAndNamesAreRefusedByName)
{
    const float nan = std::nanf(""), inf = HUGE_VALF;
    struct Case {
        const char* reason;
        void (*spoil)(MapFile&);
    };
    static float value;
    const auto run = [this](const Case& c) {
        MapFile file = SampleMap(119.0f);
        c.spoil(file);
        Write("area.mpb", WriteMapFile(file));
        MapDescription map;
        EXPECT_FALSE(map.Load("area.mpb"));
        EXPECT_NE(std::string(map.GetLastError()).find(c.reason), std::string::npos) << map.GetLastError();
    };
    for (float bad : {nan, inf, -inf, 1e30f}) {
        SCOPED_TRACE(bad);
        value = bad;
        const Case cases[] = {
            {"start x", [](MapFile& f) { f.start[0] = value; }},
            {"start y", [](MapFile& f) { f.start[1] = value; }},
            {"start z", [](MapFile& f) { f.start[2] = value; }},
            {"start rotation y", [](MapFile& f) { f.startRotation[1] = value; }},
            {"height scale", [](MapFile& f) { f.heightScale = value; }},
            {"view distance", [](MapFile& f) { f.viewDistance = value; }},
            {"cell size", [](MapFile& f) { f.cellSize = value; }},
            {"placement 1", [](MapFile& f) { f.placements[1].scale = value; }},
            {"placement 0", [](MapFile& f) { f.placements[0].position[2] = value; }},
        };
        for (const Case& c : cases)
            run(c);
    }
    const Case cases[] = {
        {"cell size", [](MapFile& f) { f.cellSize = 0.0f; }},
        {"cell size", [](MapFile& f) { f.cellSize = 1e-20f; }},
        {"cell size", [](MapFile& f) { f.cellSize = -15.0f; }},
        {"lighting table 4 of set 2", [](MapFile& f) { f.lighting[4][2] = std::nanf(""); }},
        {"ambient sound parameter", [](MapFile& f) { f.ambientParameters2[3][1] = HUGE_VALF; }},
        {"height map name", [](MapFile& f) { f.heightMapName = "../../etc/passwd"; }},
        {"water path", [](MapFile& f) { f.waterPath = "Maps/..\\../water"; }},
        {"model path", [](MapFile& f) { f.entries[2].modelPath = "C:/Windows/bush.q3d"; }},
        {"sky model", [](MapFile& f) { f.skyModels[1] = "Maps/../../sky.q3d"; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reason);
        run(c);
    }

    // A leading separator and the largest values a map can mean are fine.
    MapFile file = SampleMap(119.0f);
    file.heightMapName = "/Maps/Sample/height.tga";
    file.cellSize = 1000.0f;
    file.start[0] = -1e7f;
    file.lighting[7][0] = 1e30f; // a colour channel far above 1 is clamped where it is used
    Write("area.mpb", WriteMapFile(file));
    MapDescription map;
    EXPECT_TRUE(map.Load("area.mpb")) << map.GetLastError();
    EXPECT_STREQ(map.heightMapName, "Maps/Sample/height.tga");
}

TEST_F(MapDescriptionTest, UnterminatedTextsAreCutAtTheirField)
{
    MapFile file = SampleMap(119.0f);
    file.entries[0].objectName = std::string(300, 'x');
    std::vector<std::uint8_t> bytes = WriteMapFile(file);
    Write("area.mpb", bytes);
    MapDescription map;
    ASSERT_TRUE(map.Load("area.mpb"));
    EXPECT_EQ(std::strlen(map.GetLibraryEntry(0)->objectName), 254u);
}

TEST_F(MapDescriptionTest, CallbacksReplaceTheFileSystem)
{
    static std::vector<std::uint8_t> bytes;
    static std::size_t position;
    bytes = WriteMapFile(SampleMap(118.0f));
    position = 0;
    MapDescription map;
    map.SetFileCallbacks([](const char*) -> void* { return &bytes; }, [](void*) {},
                         [](void*, void* destination, std::size_t size) {
                             if (position + size > bytes.size())
                                 return false;
                             std::memcpy(destination, bytes.data() + position, size);
                             position += size;
                             return true;
                         });
    ASSERT_TRUE(map.Load("anything"));
    EXPECT_STREQ(map.title, "Sample");
}

} // namespace
