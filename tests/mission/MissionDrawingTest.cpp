// The in-game drawing over the picture of the running demo mission, read back from the frame:
// the fade-in after the level starts, the statistics line, the markers over the squad and the lake.
#include "characters/level/RunningLevel.h"
#include "tests/mission/MissionFixture.h"
#include "tests/support/FramePixels.h"

#include "campaign/CampaignState.h"
#include "characters/ai/AI.h"
#include "characters/player/Player.h"
#include "engine/core/Matrix.h"
#include "engine/sprite/Sprite.h"
#include "items/ItemServices.h"
#include "mission/props/TriggerProps.h"
#include "world/terrain/TerrainPatch.h"
#include "world/terrain/WaveField.h"
#include "world/environment/Weather.h"
#include "world/World.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <utility>
#include <vector>

namespace {

class MissionDrawingTest : public MissionFixture {
protected:
    void SetUp() override
    {
        MissionFixture::SetUp();
        UseDemoData();
        mission = MissionState::Instance();
        mission->findItemDefinition = CampaignState::LookUpItemDefinition;
        StartMission();
        ASSERT_TRUE(mission->IsLevelLoaded()) << Log();
        mission->frameClock = [this] { return frameSeconds; };
        // The probes read what the drawing puts into the picture, not the HUD's panels over it.
        mission->hud.hudShown = false;
    }

    void TearDown() override
    {
        mission->frameClock = nullptr;
        if (mission->IsLevelPresent())
            mission->UnloadLevel();
        mission->findItemDefinition = nullptr;
        MissionFixture::TearDown();
    }

    std::vector<std::uint32_t> Frame()
    {
        Application::Instance()->Update();
        Application::Instance()->Draw();
        return ReadFrame(device);
    }

    // Pixels of the frame in the rectangle that pass the test, every second row and column.
    static int Count(const std::vector<std::uint32_t>& frame, int left, int top, int right, int bottom,
                     const std::function<bool(std::uint32_t)>& test)
    {
        int count = 0;
        for (int y = top; y < bottom; y += 2)
            for (int x = left; x < right; x += 2)
                count += test(frame[std::size_t(y * 800 + x)]) ? 1 : 0;
        return count;
    }

    static int Channel(std::uint32_t pixel, int shift) { return int((pixel >> shift) & 0xFF); }

    MissionState* mission = nullptr;
    float frameSeconds = 0.25f;
};

bool Lit(std::uint32_t pixel) { return pixel != 0; }

// The wave field's highest crest or deepest trough, as the map's water definition scales it.
float WaveAmplitude(const World& world)
{
    float largest = 0.0f;
    const WaveField::Complex* heights = world.waveField->Heights();
    for (int i = 0; i < WaveField::kSize * WaveField::kSize; ++i)
        largest = std::max(largest, std::fabs(heights[i].re));
    return largest * world.waveHeightScale;
}

// The demo map's lake: its block of cells 16-31, rows 32-47, and its water height.
struct Lake {
    explicit Lake(const World& world)
        : patch(world.patches[std::size_t(2 * world.patchColumns + 1)].get()),
          level(float(world.GetWaterSample(1, 2)) * world.heightScale)
    {
    }

    // Over the block, give or take the few units the choppy waves move the water sideways.
    bool Over(const Vector3& p) const
    {
        return std::isfinite(p.x) && std::isfinite(p.z) && p.x > patch->boxMin.x - 5.0f &&
               p.x < patch->boxMax.x + 5.0f && p.z > patch->boxMin.z - 5.0f && p.z < patch->boxMax.z + 5.0f;
    }

    const qTerrainPatch* patch;
    float level;
};

} // namespace

TEST_F(MissionDrawingTest, ThePictureFadesInFromBlackOverOneAndAHalfSecondsAfterTheLevelStarts)
{
    ASSERT_FLOAT_EQ(mission->hud.screenFade, 1.5f);
    ASSERT_NE(mission->hud.screenOverlay, nullptr);
    // The first frame is black where the valley lies (at most a rounding step from it, the rain too); the fade
    // runs down by the frame time.
    std::vector<std::uint32_t> frame = Frame();
    ASSERT_EQ(frame.size(), 800u * 600u);
    EXPECT_EQ(Count(frame, 0, 400, 800, 600, [](std::uint32_t pixel) { return !Near(pixel, 0, 1); }), 0);

    EXPECT_FLOAT_EQ(mission->hud.screenFade, 1.25f);
    // Drawn with a fade value of 1.0 (black at two thirds) the valley shows at a third of its
    // brightness.
    Frame();
    frame = Frame();
    EXPECT_FLOAT_EQ(mission->hud.screenFade, 0.75f);
    const auto brightness = [](const std::vector<std::uint32_t>& pixels) {
        long sum = 0;
        for (int y = 400; y < 600; y += 2)
            for (int x = 0; x < 800; x += 2)
                sum += Channel(pixels[std::size_t(y * 800 + x)], 8);
        return sum;
    };
    const long halfWay = brightness(frame);
    for (int i = 0; i < 3; ++i)
        frame = Frame();
    EXPECT_FLOAT_EQ(mission->hud.screenFade, 0.0f);
    const long faded = brightness(frame);
    EXPECT_GT(halfWay, 0);
    EXPECT_NEAR(double(halfWay) / double(faded), 1.0 / 3.0, 0.1);
    EXPECT_GT(Count(frame, 0, 400, 800, 600, Lit), 100 * 50 * 8 / 10);
    // Past the fade the overlay is the grey that darkens the picture behind the menu.
    EXPECT_FLOAT_EQ(mission->hud.screenOverlay->red, 0.25f);
    EXPECT_FLOAT_EQ(mission->hud.screenOverlay->alpha, 1.0f);
    EXPECT_EQ(mission->hud.screenOverlay->material.destBlend, BlendSrcColor);
}

TEST_F(MissionDrawingTest, TheStatisticsLineIsWrittenAtTheTopLeftWhileItIsSwitchedOn)
{
    mission->hud.screenFade = 0.0f;
    const auto white = [](std::uint32_t pixel) {
        return Channel(pixel, 0) > 200 && Channel(pixel, 8) > 200 && Channel(pixel, 16) > 200;
    };
    const int without = Count(Frame(), 0, 0, 500, 14, white);
    mission->hud.statisticsShown = true;
    const int with = Count(Frame(), 0, 0, 500, 14, white);
    EXPECT_GT(with, without + 100);
    mission->hud.statisticsShown = false;
    EXPECT_LT(Count(Frame(), 0, 0, 500, 14, white), without + 20);
}

TEST_F(MissionDrawingTest, MarkersStandOverTheLivingMembersOfTheSquadInPlay)
{
    mission->hud.screenFade = 0.0f;
    const auto marker = [](std::uint32_t pixel) {
        return Channel(pixel, 8) > 170 && Channel(pixel, 16) < 140 && Channel(pixel, 0) < 140;
    };
    const int marked = Count(Frame(), 0, 0, 800, 600, marker);
    EXPECT_GT(marked, 4);
    // Members out of the squad's play carry none.
    for (int i = 0; i < mission->GetSquadSize(); ++i)
        mission->GetSquadMember(i)->roles |= Character::Ally;
    EXPECT_EQ(Count(Frame(), 0, 0, 800, 600, marker), 0);
    for (int i = 0; i < mission->GetSquadSize(); ++i)
        mission->GetSquadMember(i)->roles &= ~Character::Ally;
}

TEST_F(MissionDrawingTest, NightVisionShowsTheLevelBrightenedThroughTheGreenOfTheGoggles)
{
    mission->hud.screenFade = 0.0f;
    const auto reddish = [](std::uint32_t pixel) { return Channel(pixel, 16) > 8 || Channel(pixel, 0) > 8; };
    const auto green = [](std::uint32_t pixel) { return Channel(pixel, 8) > 20; };
    const std::vector<std::uint32_t> plain = Frame();
    EXPECT_GT(Count(plain, 0, 0, 800, 600, reddish), 10000);

    // The scoped rifle switches it through the items' services.
    ASSERT_NE(RunningLevel::Items(), nullptr);
    LevelItemServices().SetNightVision(true);
    EXPECT_TRUE(mission->hud.nightVision);
    EXPECT_TRUE(LevelItemServices().NightVision());
    Frame();
    const std::vector<std::uint32_t> goggles = Frame();
    // Only the markers over the squad keep a little red.
    EXPECT_LT(Count(goggles, 0, 0, 800, 600, reddish), 100);
    EXPECT_GT(Count(goggles, 0, 0, 800, 600, green), Count(plain, 0, 0, 800, 600, green) / 2);

    LevelItemServices().SetNightVision(false);
    EXPECT_GT(Count(Frame(), 0, 0, 800, 600, reddish), 10000);
}

TEST_F(MissionDrawingTest, WhilePausedTheOverallAndTheCurrentObjectiveAreShown)
{
    mission->hud.screenFade = 0.0f;
    // The current objective's line is yellow, and only it. The glyphs' soft edges take in the sky
    // behind them, so yellow is red and green well above blue rather than blue near zero.
    const auto yellow = [](std::uint32_t pixel) {
        return Channel(pixel, 16) > 120 && Channel(pixel, 8) > 120 &&
               Channel(pixel, 0) + 80 < std::min(Channel(pixel, 16), Channel(pixel, 8));
    };
    ASSERT_EQ(mission->level.currentObjective, 0);
    const int before = Count(Frame(), 0, 60, 800, 160, yellow);
    mission->controls.paused = true;
    const std::vector<std::uint32_t> paused = Frame();
    EXPECT_GT(Count(paused, 0, 60, 800, 160, yellow), before + 100);
    // A completed objective (its target fired, so the frame's check keeps it done) is shown grey.
    for (TriggerRecord& record : mission->level.triggers)
        if (record.triggerID == mission->level.definition.objectives[0].targets[0])
            record.fired = 1;
    mission->level.definition.objectives[0].completed = 1;
    EXPECT_LT(Count(Frame(), 0, 60, 800, 160, yellow), before + 20);
    for (TriggerRecord& record : mission->level.triggers)
        record.fired = 0;
    mission->level.definition.objectives[0].completed = 0;
    mission->controls.paused = false;
}

TEST_F(MissionDrawingTest, TheDebugDisplaysDrawTheWaypointLinksAndThePatrolPaths)
{
    mission->hud.screenFade = 0.0f;
    const auto cyan = [](std::uint32_t pixel) {
        return Channel(pixel, 16) < 60 && Channel(pixel, 8) > 200 && Channel(pixel, 0) > 200;
    };
    const auto yellow = [](std::uint32_t pixel) {
        return Channel(pixel, 16) > 200 && Channel(pixel, 8) > 200 && Channel(pixel, 0) < 60;
    };
    // The demo graph's links run mostly under the hills; turned a quarter to the left, the leader
    // looks along a valley that many of them span.
    const auto every = [&](const std::vector<std::uint32_t>& frame) {
        return int(std::count_if(frame.begin(), frame.end(), cyan));
    };
    Player* viewer = mission->GetSquadMember(0);
    const float facing = viewer->GetYaw();
    viewer->SetYaw(facing + 1.5708f);
    Frame();
    EXPECT_EQ(every(Frame()), 0);
    mission->hud.pathGraphShown = true;
    EXPECT_GT(every(Frame()), 100);
    mission->hud.pathGraphShown = false;
    viewer->SetYaw(facing);

    // A square patrol in front of the leader, a few units above the slope, given to the second
    // member.
    Player* leader = mission->GetSquadMember(0);
    Player* member = mission->GetSquadMember(1);
    ASSERT_NE(member, nullptr);
    ASSERT_NE(member->patrolPath, nullptr);
    for (const auto& [x, z] : {std::pair{-6.0f, 15.0f}, {6.0f, 15.0f}, {6.0f, 25.0f}, {-6.0f, 25.0f}}) {
        auto* waypoint = new Waypoint;
        waypoint->position = leader->position + Vector3(x, 6.0f, z);
        member->patrolPath->AddTail(waypoint);
    }
    const int pathsBefore = Count(Frame(), 0, 0, 800, 600, yellow);
    mission->hud.patrolPathsShown = true;

    EXPECT_GT(Count(Frame(), 0, 0, 800, 600, yellow), pathsBefore + 20);
    mission->hud.patrolPathsShown = false;
}

TEST_F(MissionDrawingTest, EveryWaterVertexLiesOverTheLakeNearItsHeightWithItsSidesInTheShore)
{
    World* world = World::Current();
    ASSERT_TRUE(world && world->waveField);
    const Lake lake(*world);
    ASSERT_GT(lake.level, 0.0f);
    // Waves of about a unit over 10-unit cells, at several moments.
    for (float seconds : {0.0f, 7.0f, 31.0f}) {
        SCOPED_TRACE(seconds);
        world->waveField->Update(seconds);
        const float amplitude = WaveAmplitude(*world);
        EXPECT_GT(amplitude, 0.1f);
        EXPECT_LT(amplitude, 2.0f);
        std::vector<std::uint8_t> grid(33 * 33 * 44);
        world->FillWaterGrid(*lake.patch, grid.data());
        int outside = 0, offLevel = 0, standing = 0;
        for (int r = 0; r <= 32; ++r)
            for (int c = 0; c <= 32; ++c) {
                Vector3 p;
                std::memcpy(&p, &grid[std::size_t(r * 33 + c) * 44], 12);
                outside += lake.Over(p) ? 0 : 1;
                offLevel += std::isfinite(p.y) && std::fabs(p.y - lake.level) <= amplitude + 1e-3f ? 0 : 1;
                // Along the block's edges the ground rises above the water, so no side of the
                // square shows.
                if ((r == 0 || r == 32 || c == 0 || c == 32) && world->GetTerrainHeightSmooth(p) <= p.y)
                    ++standing;
            }
        EXPECT_EQ(outside, 0);
        EXPECT_EQ(offLevel, 0);
        EXPECT_EQ(standing, 0);
    }
}

TEST_F(MissionDrawingTest, FromTheShoreTheLakeIsALevelSurfaceInTheWaterColours)
{
    World* world = World::Current();
    ASSERT_TRUE(world && world->waveField);
    const Lake lake(*world);
    ASSERT_GT(lake.level, 0.0f);
    // On the southern shore, looking north over the lake.
    Player* leader = mission->GetSquadMember(0);
    const float x = -80.0f, z = -140.0f;
    const float ground = mission->GetGroundHeight(Vector3(x, 200.0f, z));
    leader->SetPosition(x, ground + 1.0f, z);
    leader->PlaceAt(x, ground + 1.0f, z);
    leader->SetYaw(0.0f);
    // No rain, and the two pictures compared show one moment.
    mission->level.weather.reset();
    mission->hud.screenFade = 0.0f;
    Frame();
    frameSeconds = 0.0f;
    const std::vector<std::uint32_t> with = Frame();
    Matrix4 view, projection;
    device->GetViewTransform(&view);
    device->GetProjectionTransform(&projection);
    Matrix4 unproject = view * projection;
    ASSERT_TRUE(unproject.Invert());
    const float amplitude = WaveAmplitude(*world);
    world->waterOn = false;
    const std::vector<std::uint32_t> without = Frame();
    world->waterOn = true;
    ASSERT_EQ(with.size(), std::size_t(800 * 600));
    ASSERT_EQ(without.size(), with.size());

    // Each pixel the water changed must look along a ray that meets the water's layer (its height
    // give or take the waves) over the lake's block; a mound or sheet elsewhere would not.
    int water = 0, strays = 0, bluish = 0;
    for (int y = 0; y < 600; y += 2)
        for (int xs = 0; xs < 800; xs += 2) {
            const std::size_t at = std::size_t(y * 800 + xs);
            if (Near(with[at], without[at], 8))
                continue;
            ++water;
            const float nx = (float(xs) + 0.5f) / (800 / 2.0f) - 1.0f;
            const float ny = 1.0f - (float(y) + 0.5f) / (600 / 2.0f);
            const Vector4 a = unproject.Transform(Vector4(nx, ny, 0.0f, 1.0f));
            const Vector4 b = unproject.Transform(Vector4(nx, ny, 1.0f, 1.0f));
            const Vector3 from(a.x / a.w, a.y / a.w, a.z / a.w), to(b.x / b.w, b.y / b.w, b.z / b.w);
            const Vector3 along = to - from;
            bool meets = false;
            for (float height : {lake.level - amplitude - 0.5f, lake.level + amplitude + 0.5f}) {
                if (std::fabs(along.y) < 1e-6f)
                    continue;
                const float t = (height - from.y) / along.y;
                const Vector3 p = from + along * t;
                meets = meets || (t > 0.0f && lake.Over(p));
            }
            strays += meets ? 0 : 1;
            const std::uint32_t pixel = with[at];
            bluish += int(pixel & 0xFF) > int((pixel >> 16) & 0xFF) ? 1 : 0;
        }
    EXPECT_GT(water, 800 * 600 / 4 / 10) << "the lake fills a good part of the view";
    EXPECT_LT(strays, water / 100 + 1);
    EXPECT_GT(bluish, water * 9 / 10);
}
