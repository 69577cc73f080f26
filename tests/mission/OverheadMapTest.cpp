// The overhead map and compass on the real renderer with the demo art: markers where the world
// point maps to at 800 x 600 and 1024 x 768, the objective marker's blinking, the spectator's view,
// a level without a map image, a tolerant golden image, and the saved block's bytes and refusals.

#include "tests/mission/HudFixture.h"

#include "characters/player/Player.h"
#include "engine/camera/Camera.h"
#include "engine/core/q3DError.h"
#include "engine/material/VertexLayout.h"
#include "engine/serial/SaveStream.h"
#include "mission/drawing/OverheadMap.h"
#include "world/map/MapDescription.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

namespace {

constexpr std::uint32_t PlayerRed = 0xFF2020u;
constexpr std::uint32_t SquadBlue = 0x30A0FFu;
constexpr std::uint32_t ObjectiveYellow = 0xFFE000u;
constexpr std::uint32_t ObjectiveOrange = 0xFF8000u;
constexpr std::uint32_t ObjectiveArrowGreen = 0x40E040u;
constexpr std::uint32_t CompassPaper = 0xE6DEC2u;

// The demo map's frame: 64 x 64 tiles.
OverheadMapView DemoView(int width, int height)
{
    OverheadMapView view;
    view.renderWidth = width, view.renderHeight = height;
    view.tilesX = view.tilesZ = 64;
    view.tileSize = 10.0f;
    return view;
}

class OverheadMapTest : public HudFixture, public testing::WithParamInterface<std::pair<int, int>> {
protected:
    void SetUp() override { SetUpAt(GetParam().first, GetParam().second); }

    // The centre of a marker of that size at the world point, on a map drawn at (5, 5).
    static std::pair<int, int> MarkerCentre(const OverheadMapView& view, float x, float z, int size)
    {
        int left = 0, top = 0;
        OverheadMap::MapPoint(view, 128, 128, 5, 5, x, z, size, size, &left, &top);
        return {left + size / 2, top + size / 2};
    }
};

TEST_P(OverheadMapTest, TheRunningMissionsMapShowsTheSquadAndTheObjectiveWhereTheyStand)
{
    Application::Instance()->SetQuitOnLeave(true);
    MissionState* mission = StartMission();
    ASSERT_NE(mission->hud.overheadMap, nullptr) << Log();
    ASSERT_TRUE(mission->hud.overheadMap->HasImage());
    ASSERT_NE(mission->roster.localSquad, nullptr);
    Player* leader = mission->roster.localSquad->GetMember(0);
    Player* second = mission->roster.localSquad->GetMember(1);
    ASSERT_EQ(mission->roster.controlledCharacter, leader);
    // Spread the squad out and give the first objective a trigger to the north-east.
    leader->position = Vector3(-200.0f, leader->position.y, -150.0f);
    second->position = Vector3(150.0f, second->position.y, 200.0f);
    mission->level.triggers = {TriggerRecord{0, 1, 250.0f, 0.0f, 250.0f}};
    mission->level.currentObjective = 0;
    mission->level.camera->rotation = Matrix3(); // looking north
    mission->level.camera->UpdateTransform(0.0f);
    EXPECT_FALSE(mission->hud.overheadMap->shown);
    mission->PerformAction(18, true); // "Show Map"
    EXPECT_TRUE(mission->hud.overheadMap->shown);

    const std::vector<std::uint32_t> frame = DrawFlat([&] { mission->hud.overheadMap->Draw(); });
    const OverheadMapView view = DemoView(frameWidth, frameHeight);
    ASSERT_EQ(mission->level.map->width, 64);
    ASSERT_FLOAT_EQ(mission->level.map->cellSize, 10.0f);
    const auto [px, py] = MarkerCentre(view, -200.0f, -150.0f, 9);
    const auto [sx, sy] = MarkerCentre(view, 150.0f, 200.0f, 9);
    const auto [ox, oy] = MarkerCentre(view, 250.0f, 250.0f, 11);
    EXPECT_TRUE(ColourNear(frame, px, py, 1, PlayerRed));
    EXPECT_TRUE(ColourNear(frame, sx, sy + 3, 1, SquadBlue));
    EXPECT_TRUE(ColourNear(frame, ox, oy, 1, ObjectiveYellow));
    EXPECT_FALSE(ColourNear(frame, px, py, 1, SquadBlue));
    // The map's lake shows at its place (cell 24, 40 is pixel 48, 80 of the image).
    EXPECT_TRUE(ColourNear(frame, 5 + 48, 5 + 80, 1, 0x3070A0u, 30));
    // The compass's objective arrow points north-east from the leader: its head lies up and to
    // the right of the compass centre; the view arrow points straight up.
    const int cx = 5 + 64, cy = frameHeight - 5 - 64;
    EXPECT_TRUE(ColourNear(frame, cx + 20, cy - 20, 3, ObjectiveArrowGreen));
    EXPECT_FALSE(ColourNear(frame, cx - 20, cy - 20, 3, ObjectiveArrowGreen));
    EXPECT_TRUE(ColourNear(frame, cx, cy - 45, 2, 0xF0F0F0u));
    EXPECT_TRUE(ColourNear(frame, cx, cy + 60, 1, CompassPaper));
    // Every draw puts the map back at its default place.
    EXPECT_EQ(mission->hud.overheadMap->screenX, -1);
    EXPECT_EQ(mission->hud.overheadMap->screenY, -1);
}

TEST_P(OverheadMapTest, TheMapMatchesItsGoldenImage)
{
    OverheadMap map;
    map.Load("Maps/Demo/area.tga");
    map.ToggleShown();
    OverheadMapView view = DemoView(frameWidth, frameHeight);
    view.hasControlledCharacter = true;
    view.controlledPosition = Vector3(-100.0f, 0.0f, 0.0f);
    view.viewForward = Vector3(1.0f, 0.0f, 0.0f); // east
    view.squadMarkers = {{Vector3(-100.0f, 0.0f, 0.0f), true}, {Vector3(-80.0f, 0.0f, 40.0f), false}};
    view.objective = 0;
    view.hasTarget = true;
    view.target = Vector3(200.0f, 0.0f, -200.0f);
    const std::vector<std::uint32_t> frame = DrawFlat([&] { map.Draw(view); });
    ExpectGolden(frame, ("overhead-" + std::to_string(frameWidth) + ".tga").c_str());
}

TEST_P(OverheadMapTest, TheObjectiveMarkerBlinksEveryHalfSecond)
{
    OverheadMap map;
    map.Load("Maps/Demo/area.tga");
    map.ToggleShown();
    OverheadMapView view = DemoView(frameWidth, frameHeight);
    view.objective = 0;
    view.hasTarget = true;
    view.target = Vector3(100.0f, 0.0f, 100.0f);
    view.frameTime = 0.3f;
    const auto [ox, oy] = MarkerCentre(view, 100.0f, 100.0f, 11);
    // The diamond fills its centre; the second frame is a hollow outline.
    const std::uint32_t expected[4] = {ObjectiveYellow, ObjectiveOrange, ObjectiveOrange, ObjectiveYellow};
    for (int i = 0; i < 4; ++i) {
        const std::vector<std::uint32_t> frame = DrawFlat([&] { map.Draw(view); });
        EXPECT_TRUE(ColourNear(frame, ox, oy, 4, expected[i])) << "draw " << i;
        EXPECT_FALSE(ColourNear(frame, ox, oy, 4, expected[i] == ObjectiveYellow ? ObjectiveOrange : ObjectiveYellow))
            << "draw " << i;
    }
}

TEST_P(OverheadMapTest, ASpectatorSeesTheCameraMarkerAndNoCompass)
{
    Application::Instance()->SetQuitOnLeave(true);
    MissionState* mission = StartMission();
    ASSERT_NE(mission->hud.overheadMap, nullptr) << Log();
    Player* leader = mission->roster.localSquad->GetMember(0);
    leader->position = Vector3(-200.0f, leader->position.y, -150.0f);
    mission->roster.controlledCharacter = nullptr;
    mission->level.camera->position = Vector3(100.0f, 50.0f, 100.0f);
    mission->level.camera->UpdateTransform(0.0f);
    // In a network game without a team, no squad is the viewer's.
    mission->session.networkGame = true;
    mission->roster.localTeam = 0;
    mission->hud.overheadMap->ToggleShown();
    const std::vector<std::uint32_t> frame = DrawFlat([&] { mission->hud.overheadMap->Draw(); });
    mission->session.networkGame = false;
    const OverheadMapView view = DemoView(frameWidth, frameHeight);
    const auto [cx, cy] = MarkerCentre(view, 100.0f, 100.0f, 9);
    const auto [lx, ly] = MarkerCentre(view, -200.0f, -150.0f, 9);
    EXPECT_TRUE(ColourNear(frame, cx, cy, 1, PlayerRed));
    EXPECT_FALSE(ColourNear(frame, lx, ly, 2, PlayerRed));
    EXPECT_FALSE(ColourNear(frame, 5 + 64, frameHeight - 5 - 4, 2, CompassPaper));
}

INSTANTIATE_TEST_SUITE_P(Modes, OverheadMapTest, testing::Values(std::pair{800, 600}, std::pair{1024, 768}),
                         [](const testing::TestParamInfo<std::pair<int, int>>& info) {
                             return std::to_string(info.param.first) + "x" + std::to_string(info.param.second);
                         });

using OverheadMapLevelTest = HudFixture;

TEST_F(OverheadMapLevelTest, ALevelWithoutAnOverheadImageHasACompassAndNeverAMap)
{
    std::filesystem::remove("Maps");
    std::filesystem::copy(std::filesystem::path(BEXAL_DATA_DIR) / "Maps", "Maps", std::filesystem::copy_options::recursive);
    ASSERT_TRUE(std::filesystem::remove("Maps/Demo/area.tga"));
    Application::Instance()->SetQuitOnLeave(true);
    MissionState* mission = StartMission();
    ASSERT_TRUE(mission->HasLoadedLevel()) << Log();
    ASSERT_NE(mission->hud.overheadMap, nullptr);
    EXPECT_FALSE(mission->hud.overheadMap->HasImage());
    mission->PerformAction(18, true);
    EXPECT_FALSE(mission->hud.overheadMap->shown);
    mission->hud.overheadMap->shown = 1; // as the objectives screen forces it
    const std::vector<std::uint32_t> frame = DrawFlat([&] { mission->hud.overheadMap->Draw(); });
    EXPECT_TRUE(ColourNear(frame, 5 + 64, frameHeight - 5 - 4, 2, CompassPaper));
    int lit = 0;
    for (int y = 5; y < 133; ++y)
        for (int x = 5; x < 133; ++x)
            lit += At(frame, x, y) != 0;
    EXPECT_EQ(lit, 0) << "no map image, no markers";
}

TEST_F(OverheadMapLevelTest, AllDoneWithoutAnExitZoneDrawsNoMarkerAndNoArrow)
{
    Application::Instance()->SetQuitOnLeave(true);
    MissionState* mission = StartMission();
    ASSERT_NE(mission->hud.overheadMap, nullptr) << Log();
    mission->level.exitZones[0] = mission->level.exitZones[1] = nullptr;
    mission->hud.overheadMap->shown = 1;
    for (int objective : {INT_MAX, 7, -5, INT_MIN}) {
        mission->level.currentObjective = objective;
        const std::vector<std::uint32_t> frame = DrawFlat([&] { mission->hud.overheadMap->Draw(); });
        int marked = 0;
        for (std::uint32_t pixel : frame)
            marked += Near(pixel, ObjectiveYellow, 40) || Near(pixel, ObjectiveOrange, 40) ||
                      Near(pixel, ObjectiveArrowGreen, 40);
        EXPECT_EQ(marked, 0) << "objective " << objective;
    }
}

TEST(OverheadMapRulesTest, OnlyNoneAllDoneAndTheMissionsObjectivesAreUsed)
{
    const struct {
        int objective, count, expected;
    } cases[] = {{-1, 2, -1}, {INT_MAX, 2, INT_MAX}, {0, 2, 0}, {1, 2, 1}, {2, 2, -1},
                 {-2, 2, -1}, {INT_MIN, 2, -1},     {0, 0, -1}, {INT_MAX - 1, 2, -1}};
    for (const auto& c : cases)
        EXPECT_EQ(OverheadMap::SanitizeObjective(c.objective, c.count), c.expected) << c.objective;
}

TEST(OverheadMapRulesTest, WorldPointsMapOntoTheImageWithNorthUp)
{
    OverheadMapView view;
    view.tilesX = view.tilesZ = 64;
    view.tileSize = 10.0f;
    const struct {
        float x, z;
        int expectedX, expectedY;
    } cases[] = {{0, 0, 64, 64}, {-320, 320, 0, 0}, {320, -320, 128, 128}, {160, 0, 96, 64}, {-160, -160, 32, 96}};
    for (const auto& c : cases) {
        int x = 0, y = 0;
        OverheadMap::MapPoint(view, 128, 128, 5, 5, c.x, c.z, 9, 9, &x, &y);
        EXPECT_EQ(x, c.expectedX) << c.x << ", " << c.z;
        EXPECT_EQ(y, c.expectedY) << c.x << ", " << c.z;
    }
    // An empty map puts every point at the image's centre.
    OverheadMapView empty;
    int x = 0, y = 0;
    OverheadMap::MapPoint(empty, 128, 128, 5, 5, 1000.0f, -1000.0f, 0, 0, &x, &y);
    EXPECT_EQ(x, 69);
    EXPECT_EQ(y, 69);
}

TEST(OverheadMapRulesTest, TheArrowLayoutIsScreenSpaceWithTwoUvSets)
{
    VertexLayout layout;
    OverheadMap::InitArrowLayout(&layout);
    EXPECT_EQ(layout.offsets[VertexLayout::TransformedPosition], 0);
    EXPECT_EQ(layout.offsets[VertexLayout::Diffuse], 16);
    EXPECT_EQ(layout.offsets[VertexLayout::TexCoord0], 20);
    EXPECT_EQ(layout.offsets[VertexLayout::TexCoord0 + 1], 28);
    EXPECT_EQ(layout.offsets[VertexLayout::Position], -1);
    EXPECT_EQ(layout.offsets[VertexLayout::Normal], -1);
    EXPECT_EQ(layout.vertexSize, 36);
}

TEST(OverheadMapBlockTest, TheBlockIsVersionShownAndScale)
{
    OverheadMap map;
    map.shown = 1;
    map.scale = 2.5f;
    std::uint8_t bytes[OverheadMap::BlockSize] = {};
    SaveStream out = SaveStream::OnMemory(bytes, sizeof bytes);
    map.Save(&out);
    EXPECT_EQ(out.position, OverheadMap::BlockSize);
    const std::uint8_t expected[OverheadMap::BlockSize] = {0x01, 0x01, 0x00, 0x00, 0x20, 0x40};
    EXPECT_EQ(std::memcmp(bytes, expected, sizeof bytes), 0);

    OverheadMap loaded;
    SaveStream in = SaveStream::OnMemory(bytes, sizeof bytes);
    loaded.Load(&in);
    EXPECT_EQ(loaded.shown, 1);
    EXPECT_FLOAT_EQ(loaded.scale, 2.5f);
}

TEST(OverheadMapBlockTest, BadBlocksAreRefusedAndChangeNothing)
{
    const float nan = std::numeric_limits<float>::quiet_NaN(), infinity = std::numeric_limits<float>::infinity();
    auto block = [](std::uint8_t version, std::uint8_t shown, float scale) {
        std::vector<std::uint8_t> bytes(OverheadMap::BlockSize);
        std::uint32_t bits = 0;
        std::memcpy(&bits, &scale, 4);
        bytes[0] = version, bytes[1] = shown;
        for (int i = 0; i < 4; ++i)
            bytes[std::size_t(2 + i)] = std::uint8_t(bits >> (8 * i));
        return bytes;
    };
    const struct {
        const char* what;
        std::vector<std::uint8_t> bytes;
        const char* message; // the start of the refusal's text
    } cases[] = {
        {"version 2", block(2, 0, 1.0f), "Incorrection version number in OverheadMap block"},
        {"version 0", block(0, 0, 1.0f), "Incorrection version number in OverheadMap block"},
        {"shown 2", block(1, 2, 1.0f), "Incorrect values in OverheadMap block"},
        {"shown 255", block(1, 255, 1.0f), "Incorrect values in OverheadMap block"},
        {"scale 0", block(1, 1, 0.0f), "Incorrect values in OverheadMap block"},
        {"scale -1", block(1, 1, -1.0f), "Incorrect values in OverheadMap block"},
        {"scale NaN", block(1, 1, nan), "Save stream: the overhead map's scale at offset 2 is not a number"},
        {"scale infinite", block(1, 1, infinity), "Save stream: the overhead map's scale at offset 2 is not a number"},
        {"empty", {}, "Save stream ends early"},
        {"version only", {1}, "Save stream ends early"},
        {"half the scale", {1, 1, 0, 0}, "Save stream ends early"},
        {"a byte short", {1, 1, 0, 0, 0x80}, "Save stream ends early"},
    };
    for (const auto& c : cases) {
        OverheadMap map;
        map.shown = 1;
        map.scale = 3.0f;
        std::vector<std::uint8_t> bytes = c.bytes;
        SaveStream in = SaveStream::OnMemory(bytes.data(), std::uint32_t(bytes.size()));
        try {
            map.Load(&in);
            ADD_FAILURE() << c.what << " was taken";
        } catch (const q3DError& error) {
            EXPECT_EQ(std::string(error.GetText()).rfind(c.message, 0), 0u) << c.what << ": " << error.GetText();
        }
        EXPECT_EQ(map.shown, 1) << c.what;
        EXPECT_FLOAT_EQ(map.scale, 3.0f) << c.what;
    }
}

} // namespace
