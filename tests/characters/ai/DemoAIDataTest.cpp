// The AI files of the generated demo data set read back through the game's own readers.

#include <algorithm>
#include <cmath>
#include <string>

#include <gtest/gtest.h>

#include "characters/ai/AISensor.h"
#include "characters/ai/AIStats.h"
#include "characters/ai/CoverPoints.h"
#include "characters/ai/Formation.h"
#include "characters/ai/WaypointGraph.h"
#include "engine/core/PtrList.h"
#include "world/map/MapDescription.h"

namespace {

std::string Data(const char* path)
{
    // Appended in steps: g++ 12 misreads the joined temporaries as an out-of-bounds copy.
    std::string full = BEXAL_DATA_DIR;
    full += '/';
    full += path;
    return full;
}

TEST(DemoAIDataTest, TheStatisticsHoldEveryKeyTheLevelNeeds)
{
    AIStats stats;
    stats.Load(Data("GameData/AI/AIStats.txt").c_str());
    for (const char* key : {"explosives", "grenades", "machineguns", "riflery", "sidearms", "sniping", "toughness",
                            "allyaccadjeasy", "allyaccadjmed", "allyaccadjhard", "enemyaccadjeasy", "enemyaccadjmed",
                            "enemyaccadjhard", "newpathdist", "maxrecogdistday", "maxrecogdistdawnduskovercast",
                            "maxrecogdistnight"}) {
        const int index = stats.FindIndex(key);
        ASSERT_GE(index, 0) << key;
        EXPECT_GT(stats.entries[index].value, 0.0f) << key;
        EXPECT_FALSE(stats.entries[index].text.empty()) << key;
    }
}

TEST(DemoAIDataTest, EverySensorSeesAndHears)
{
    for (const char* path : {"GameData/AI/infantry.sns", "GameData/AI/playerAI.sns", "GameData/AI/dog.sns"}) {
        AISensor sensor;
        sensor.Load(Data(path).c_str());
        EXPECT_GT(sensor.sightRange, 0.0f) << path;
        EXPECT_GT(sensor.sightWeight, 0.0f) << path;
        EXPECT_GT(sensor.hearingRange, sensor.soundFullDistance) << path;
        EXPECT_GT(sensor.soundWeight, 0.0f) << path;
        EXPECT_GT(sensor.thirdWeight, 0.0f) << path;
        EXPECT_LT(sensor.viewConeCos, 1.0f) << path;
    }
}

TEST(DemoAIDataTest, TheFormationsServeASquadAndAPatrol)
{
    Formation::FreeAll();
    Formation::LoadDirectory(Data("GameData/Formations").c_str());
    const FormationDefinition* wedge = Formation::FindDefinition("Wedge.for");
    const FormationDefinition* file = Formation::FindDefinition("Ranger File.for");
    ASSERT_NE(wedge, nullptr);
    ASSERT_NE(file, nullptr);
    EXPECT_GE(wedge->slots.size(), 3u);
    EXPECT_GE(file->slots.size(), 8u);
    EXPECT_EQ(Formation::GetDefinitions().GetCount(), 4);
    Formation::FreeAll();
}

// Standing anywhere on the demo map's dry ground, a soldier finds a nearby waypoint area, and
// routes join the map's far corners around the lake.
TEST(DemoAIDataTest, TheWaypointGraphCoversTheDryGround)
{
    MapDescription map;
    ASSERT_TRUE(map.Load(Data("Maps/Demo/area.mpb").c_str())) << map.GetLastError();
    WaypointGraph graph;
    ASSERT_TRUE(graph.Load(Data("Maps/Demo/area.wps").c_str()));
    ASSERT_GT(graph.GetNodeCount(), 500u);
    const auto corner = [&](int column, int row) {
        const float half = float(map.width) * map.cellSize / 2;
        return Vector3(float(column) * map.cellSize - half,
                       float(map.heightData[std::size_t(row * map.width + column) * 3]) * map.heightScale,
                       half - float(row) * map.cellSize);
    };
    for (int row = 3; row < 61; ++row)
        for (int column = 3; column < 61; ++column) {
            if (std::hypot(float(column - 24), float(row - 40)) < 15.0f)
                continue; // the lake
            if ((column >= 45 && column <= 48 && row >= 35 && row <= 36) ||
                (column >= 47 && column <= 48 && row >= 29 && row <= 30))
                continue; // the house and the lamp, which the areas leave out
            // Whatever the triangles, the ground in a cell lies between its corners' heights.
            const Vector3 a = corner(column, row), b = corner(column + 1, row), c = corner(column, row + 1),
                          d = corner(column + 1, row + 1);
            const float low = std::min({a.y, b.y, c.y, d.y}), high = std::max({a.y, b.y, c.y, d.y});
            const float x = (a.x + b.x) / 2, z = (a.z + c.z) / 2;
            for (float ground : {low, high}) {
                const WaypointGraphNode* node = graph.FindNearestNode(x, ground + 1.0f, z);
                ASSERT_NE(node, nullptr) << column << ", " << row;
                EXPECT_LT(std::hypot(node->centre.x - x, node->centre.z - z), node->radius)
                    << column << ", " << row;
            }
        }

    PtrList route;
    const Vector3 northWest = corner(4, 4), southEast = corner(60, 60), southWest = corner(4, 60);
    graph.FindRoute(graph.FindNearestNode(northWest.x, northWest.y + 1, northWest.z),
                    graph.FindNearestNode(southEast.x, southEast.y + 1, southEast.z), route);
    EXPECT_GE(route.GetCount(), 28);
    graph.FindRoute(graph.FindNearestNode(southWest.x, southWest.y + 1, southWest.z),
                    graph.FindNearestNode(southEast.x, southEast.y + 1, southEast.z), route);
    ASSERT_GE(route.GetCount(), 28);
    const float lakeX = corner(24, 40).x, lakeZ = corner(24, 40).z;
    for (void* item : route) {
        const Vector3& at = static_cast<WaypointGraphNode*>(item)->centre;
        EXPECT_GE(std::hypot(at.x - lakeX, at.z - lakeZ), 120.0f);
    }

    CoverPoints cover;
    ASSERT_TRUE(cover.Load(Data("Maps/Demo/area.cvr").c_str(), &graph));
    EXPECT_GE(cover.GetCount(), 10u);
}

} // namespace
