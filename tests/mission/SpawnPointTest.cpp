// Where a squad spawns in a network game: the map's start point, the least crowded multistart
// point of its team (or of any team), or the character marker nearest to the last completed
// primary objective; a single game always starts at the map's start point.
#include "tests/mission/MissionFixture.h"

#include "characters/player/Player.h"
#include "mission/rules/SquadSetup.h"
#include "tools/demodata/writers/MapWriter.h"
#include "world/map/MapDescription.h"

#include <filesystem>

namespace {

class SpawnPointTest : public MissionFixture {
protected:
    void SetUp() override
    {
        MissionFixture::SetUp();
        UseDemoData();
        // A small map of the demo tiles: two multistart points of team 2 (at x 0 and 100) and
        // one of team 3 (x 200), trigger 7 at (40, 50), and two enemy markers at (30, 40) and
        // (300, 300).
        MapFile map;
        map.width = map.height = 32;
        map.SizeBlocks();
        map.groups = {"Props"};
        map.entries = {{"lamp.q3d", "Team 2", {"multistart team2", "", "", "", ""}, 0, 0},
                       {"lamp.q3d", "Team 3", {"multistart TEAM3", "", "", "", ""}, 0, 0},
                       {"lamp.q3d", "Switch", {"trigger 7 1", "", "", "", ""}, 0, 0},
                       {"lamp.q3d", "Guard", {"enemy", "", "", "", ""}, 0, 0}};
        const struct {
            int library;
            float x, z;
        } placed[] = {{0, 0.0f, 0.0f}, {0, 100.0f, 0.0f}, {1, 200.0f, 0.0f}, {2, 40.0f, 50.0f}, {3, 30.0f, 40.0f}, {3, 300.0f, 300.0f}};
        for (const auto& p : placed) {
            MapFilePlacement placement;
            placement.library = p.library;
            placement.position[0] = p.x;
            placement.position[2] = p.z;
            map.placements.push_back(placement);
        }
        std::filesystem::create_directories("Test");
        WriteBytes("Test/area.mpb", WriteMapFile(map));
        mission = MissionState::Instance();
        std::snprintf(mission->session.missionFile, sizeof mission->session.missionFile, "Test/area.mpb");
        mission->BeginLevel();
        ASSERT_TRUE(mission->IsLevelLoaded()) << Log();
        mission->session.networkGame = true;
    }

    void TearDown() override
    {
        mission->session.networkGame = false;
        if (mission->IsLevelPresent())
            mission->UnloadLevel();
        MissionFixture::TearDown();
    }

    MissionState* mission = nullptr;
};

} // namespace

TEST(MultistartTeamCodeTest, TeamsOneToEightAndTheTwoMissionCodesWithoutRegardToCase)
{
    const struct {
        const char* line;
        int code;
    } cases[] = {{"multistart team1", 1}, {"multistart TEAM3", 3}, {"multistart team8", 8}, {"multistart mis1", 9},
                 {"multistart MIS2", 10}, {"multistart blue", 0}, {"multistart team9", 0}, {"multistart team10", 0},
                 {"multistart", 0}};
    for (const auto& c : cases)
        EXPECT_EQ(MissionState::MultistartTeamCode(c.line), c.code) << c.line;
}

TEST_F(SpawnPointTest, TheStartPointTheTeamsPointsAndTheNearestMarkerToTheLastCompletedObjective)
{
    Vector3 at;
    ASSERT_TRUE(mission->FindSpawnPoint(at, MissionState::SpawnAtStart));
    EXPECT_EQ(at, mission->level.map->startPosition);

    // Team 3 has one point; team 5 none.
    ASSERT_TRUE(mission->FindSpawnPoint(at, 3));
    EXPECT_FLOAT_EQ(at.x, 200.0f);
    EXPECT_FALSE(mission->FindSpawnPoint(at, 5));

    // A soldier a unit from the point at x 0 crowds it: team 2 spawns at x 100, and so does
    // "any point", whose least crowded points are x 100 and x 200 alike within the margin.
    SquadSetup setup;
    setup.Reset();
    for (std::uint8_t& member : setup.members)
        member = SquadSetup::EmptyMember;
    setup.members[0] = 0;
    setup.health[0] = 100;
    Squad* squad = mission->CreateSquad(true, setup, false);
    ASSERT_EQ(squad->GetMemberCount(), 1);
    squad->GetMember(0)->position = Vector3(1.0f, 0.0f, 0.0f);
    for (int draw = 0; draw < 8; ++draw) {
        ASSERT_TRUE(mission->FindSpawnPoint(at, 2));
        EXPECT_FLOAT_EQ(at.x, 100.0f);
        ASSERT_TRUE(mission->FindSpawnPoint(at, MissionState::SpawnAtAnyMultistart));
        EXPECT_NE(at.x, 0.0f);
    }

    // Near the last completed primary objective: the marker nearest to its trigger; without one
    // completed, the start point.
    MissionObjective reach;
    reach.kind = 0;
    reach.targets[0] = 7;
    mission->level.definition.objectives = {reach};
    ASSERT_TRUE(mission->FindSpawnPoint(at, MissionState::SpawnNearObjective));
    EXPECT_EQ(at, mission->level.map->startPosition);
    mission->level.definition.objectives[0].completed = 1;
    ASSERT_TRUE(mission->FindSpawnPoint(at, MissionState::SpawnNearObjective));
    EXPECT_FLOAT_EQ(at.x, 30.0f);
    EXPECT_FLOAT_EQ(at.z, 40.0f);

    // A single game starts at the start point whatever is asked.
    mission->session.networkGame = false;
    ASSERT_TRUE(mission->FindSpawnPoint(at, 3));
    EXPECT_EQ(at, mission->level.map->startPosition);
}
