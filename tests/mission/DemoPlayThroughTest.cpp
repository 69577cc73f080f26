// The demo mission played through by the real program, headless, as a player plays it: into and
// out of the lake, running over the hills, a kill, the radial menu. Watched on every frame: nobody
// loses health without a hit, nobody dead still stands 3 s after dying, and every vertex of the
// water drawn lies over the lake at its height; from the shore the lake shows a water colour.
#include "characters/neutral/Animal.h"
#include "tests/app/ProgramRun.h"
#include "tests/mission/ScriptedPlay.h"
#include "tests/support/FramePixels.h"

#include "characters/level/RunningLevel.h"
#include "characters/player/SquadCommandView.h"
#include "engine/animation/AnimatedModel.h"
#include "engine/material/Material.h"
#include "engine/material/VertexLayout.h"
#include "world/World.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace {

namespace fs = std::filesystem;

// A dead body's head lies lower than this above the ground under it; a kneeling soldier's is
// higher.
constexpr float kLyingHead = 2.5f;
constexpr float kSecondsToFall = 3.0f;
// How far a water vertex may stray: sideways, the waves' push, within a cell of the lake's
// block; up and down, a wave stays below a wading soldier's waist.
constexpr float kWaterRise = 2.5f;

// The demo map's places the script goes to besides the lake: a run over the hills north of the
// lake ending at the start, the guard's post and open ground west of it.
constexpr std::pair<float, float> kHillRun[] = {{-80.0f, 60.0f}, {-20.0f, 110.0f}, {20.0f, 140.0f},
                                                {60.0f, 100.0f}, {40.0f, 50.0f},   {0.0f, 0.0f}};
const Vector3 kGuard(260.0f, 0.0f, -60.0f);
const Vector3 kFiringSpot(215.0f, 0.0f, -60.0f);

std::string At(float seconds, const Vector3& where)
{
    std::ostringstream text;
    text.precision(1);
    text << std::fixed << "t=" << seconds << " s near (" << where.x << ", " << where.z << ")";
    return text.str();
}

// The water as the map's water image gives it: 16 x 16-cell blocks, each at its own level.
struct WaterBlock {
    float left, right, near, far; // x from left to right, z from far to near
    float level;
};

// What the water draws put on the screen, gathered by an effect attached to the water's
// material: the renderer runs a texture's effects around each draw with the draw's vertices.
struct WaterWatch {
    std::vector<WaterBlock> blocks;
    float reach = 0.0f;
    int draws = 0;
    int strays = 0;
    std::string firstStray;
    float seconds = 0.0f;

    void Check(D3DPrim* draw)
    {
        ++draws;
        VertexLayout layout;
        draw->GetVertexFormat(&layout);
        const auto* vertices = static_cast<const std::uint8_t*>(draw->GetVertices(false, true));
        const int count = draw->GetVertexCount(true);
        if (!vertices || !layout.Has(VertexLayout::Position))
            return;
        for (int i = 0; i < count; ++i) {
            Vector3 p;
            std::memcpy(&p, vertices + std::size_t(i) * std::size_t(layout.vertexSize) +
                                std::size_t(layout.offsets[VertexLayout::Position]), sizeof p);
            if (OverTheLake(p))
                continue;
            if (strays++ == 0) {
                std::ostringstream text;
                text << "a water vertex at (" << p.x << ", " << p.y << ", " << p.z << ") lies outside the lake ";
                for (const WaterBlock& b : blocks)
                    text << "[x " << b.left << ".." << b.right << ", z " << b.far << ".." << b.near << ", level "
                         << b.level << "] ";
                text << "at t=" << seconds << " s";
                firstStray = text.str();
            }
        }
    }

    bool OverTheLake(const Vector3& p) const
    {
        for (const WaterBlock& b : blocks)
            if (std::isfinite(p.x + p.y + p.z) && p.x >= b.left - reach && p.x <= b.right + reach &&
                p.z >= b.far - reach && p.z <= b.near + reach && std::fabs(p.y - b.level) <= kWaterRise)
                return true;
        return false;
    }

    // Whether the line of sight from the eye to the ground point goes through the water's surface
    // (its level, over its block) on the way.
    bool SeenThroughWater(const Vector3& eye, const Vector3& ground) const
    {
        for (const WaterBlock& b : blocks) {
            if (eye.y <= b.level || ground.y >= b.level - 0.5f)
                continue;
            const Vector3 surface = eye + (ground - eye) * ((eye.y - b.level) / (eye.y - ground.y));
            if (surface.x >= b.left && surface.x <= b.right && surface.z >= b.far && surface.z <= b.near)
                return true;
        }
        return false;
    }
};

// The effect's factory is a plain function: it reaches the running test's watch through this.
WaterWatch* runningWatch = nullptr;

class WaterProbe final : public Effect {
public:
    int Init(Device*, D3DBitmap*, const char*, int) override { return 0; }
    void Release(Device*, int) override {}
    void Apply(Device*, D3DPrim* draw) override
    {
        if (runningWatch && draw)
            runningWatch->Check(draw);
    }
    void Restore(Device*, D3DPrim*) override {}
};

Effect* CreateWaterProbe(const char* name, float* parameters, Effect** toFree)
{
    if (toFree) {
        delete static_cast<WaterProbe*>(*toFree);
        *toFree = nullptr;
        return nullptr;
    }
    auto* probe = new WaterProbe();
    std::snprintf(probe->name, sizeof probe->name, "%s", name);
    probe->parameters = parameters;
    return probe;
}

constexpr const char* kProbeName = "playthroughwaterprobe";

class DemoPlayThroughTest : public testing::Test {
protected:
    void SetUp() override
    {
        previous = fs::current_path();
        fs::current_path(folder.path);
        ASSERT_TRUE(play.Start("-win -w 400 -h 300 -nosound -skipmenu -map Maps/Demo/Demo.mis"))
            << programrun::ReadFile("q3D.log");
        mission = play.mission;
        world = mission->level.world;
        ASSERT_NE(world, nullptr);
        WatchTheWater();
        play.afterFrame = [this] { Watch(); };
    }

    void TearDown() override
    {
        play.afterFrame = nullptr;
        if (world && world->waterMaterial && world->waterMaterial->texture[0])
            world->waterMaterial->texture[0]->RemoveEffect(kProbeName);
        runningWatch = nullptr;
        EXPECT_EQ(play.ShutDown(), 0);
        fs::current_path(previous);
        // The watch's findings, once each.
        EXPECT_EQ(water.strays, 0) << water.firstStray << " (" << water.strays << " such vertices)";
    }

    // The water map's blocks and the probe on the water's material.
    void WatchTheWater()
    {
        const float w = float(world->width) * world->cellSize, h = float(world->height) * world->cellSize;
        for (int row = 0; row < world->height / 16; ++row)
            for (int column = 0; column < world->width / 16; ++column) {
                const int sample = world->GetWaterSample(column, row);
                if (sample <= 0)
                    continue;
                const float left = float(column * 16) * world->cellSize - w / 2.0f;
                const float near = h / 2.0f - float(row * 16) * world->cellSize;
                water.blocks.push_back({left, left + 16.0f * world->cellSize, near, near - 16.0f * world->cellSize,
                                        float(sample) * world->heightScale});
            }
        ASSERT_FALSE(water.blocks.empty()) << "the demo map has no water";
        water.reach = world->cellSize;
        ASSERT_NE(world->waterMaterial, nullptr) << "the water was not set up";
        ASSERT_NE(world->waterMaterial->texture[0], nullptr);
        Program().device->RegisterEffect(&CreateWaterProbe, kProbeName);
        world->waterMaterial->texture[0]->AddEffect(kProbeName);
        runningWatch = &water;
    }

    // The picture fades in and the squad settles after the level starts.
    void Settle() { play.Turn(45); }

    std::string Where(const Character* character = nullptr) const
    {
        return At(play.Seconds(), (character ? character : play.Leader())->position);
    }

    float LookHeading() const { return std::atan2(play.LookAhead().x, play.LookAhead().z); }

    Character* NearestEnemy(const Vector3& near) const
    {
        Character* nearest = nullptr;
        float best = 0.0f;
        for (Character* character : mission->level.characters) {
            const float d = std::hypot(character->position.x - near.x, character->position.z - near.z);
            if (character->kind == Character::EnemyKind && (!nearest || d < best))
                nearest = character, best = d;
        }
        return nearest;
    }

    // Where the line of sight to the ground goes through the water's surface, the frame shows
    // water: not the lake's floor (the same frame drawn without the water), not washed out to a
    // pale grey or white, and bluish or greenish (a clear step above red) rather than grey or the
    // sand's brown. Two points in five at least: glints and the troughs' shade are water too.
    void ExpectWaterOnScreen()
    {
        const bool hud = mission->hud.hudShown;
        mission->hud.hudShown = false; // the panels would hide the picture
        world->waterOn = false;
        const std::vector<std::uint32_t> floor = NextFrame();
        world->waterOn = true;
        const std::vector<std::uint32_t> frame = NextFrame();
        mission->hud.hudShown = hud;
        Device* device = Program().device;
        const int width = device->GetTargetWidth(), height = device->GetTargetHeight();
        ASSERT_EQ(frame.size(), std::size_t(width) * std::size_t(height)) << "the frame could not be read back";
        ASSERT_EQ(floor.size(), frame.size());
        SquadCommandView& command = RunningLevel::Command();
        const Vector3 eye = mission->level.camera->world.GetTranslation();
        int lake = 0, wet = 0;
        std::uint32_t sample = 0;
        for (int y = 4; y < height; y += 8)
            for (int x = 4; x < width; x += 8) {
                Vector3 ground;
                if (!command.PickGroundUnderPointer(x, y, &ground) || !water.SeenThroughWater(eye, ground) ||
                    CharacterAt(x, y))
                    continue;
                ++lake;
                const std::size_t at = std::size_t(y) * std::size_t(width) + std::size_t(x);
                if (!Near(frame[at], floor[at], 24) && IsWaterColour(frame[at]))
                    ++wet;
                else
                    sample = frame[at];
            }
        ASSERT_GE(lake, 30) << "the lake is not in view from the shore: " << Where();
        EXPECT_GE(wet, lake * 2 / 5) << "of " << lake << " points of the picture over the lake only " << wet
                                     << " show water (one shows 0x" << std::hex << sample << std::dec << ") at "
                                     << Where();
    }

    std::vector<std::uint32_t> NextFrame()
    {
        play.Turn();
        return ReadFrame(Program().device);
    }

    static bool IsWaterColour(std::uint32_t pixel)
    {
        const int r = int(pixel >> 16 & 0xFF), g = int(pixel >> 8 & 0xFF), b = int(pixel & 0xFF);
        return std::max(g, b) >= r + 16 && std::min({r, g, b}) < 150;
    }

    // Whether a character's body covers the screen point (the leader's own too).
    bool CharacterAt(int x, int y) const
    {
        HitResult ray;
        mission->level.camera->ScreenToRay(float(x), float(y), &ray);
        for (Character* character : mission->level.characters) {
            HitResult hit = ray;
            hit.distance = kNoHit;
            if (character->IntersectRay(hit, 0))
                return true;
        }
        return false;
    }

    std::string Who(const Character* character) const
    {
        if (character == play.Leader())
            return "the leader";
        std::string who = character->kind == Character::EnemyKind ? "an enemy" : "a squad soldier";
        if (character->name[0])
            who += std::string(" (") + character->name + ")";
        return who;
    }

    // The height of the character's head above the ground under it.
    float HeadHeight(Character* character) const
    {
        AnimatedModel* model = character->GetModel();
        const int head = model ? model->FindBone("Bip01 Head") : -1;
        if (head < 0)
            return std::nanf("");
        Vector3 local;
        model->GetBonePosition(head, local);
        const Vector3 at = model->world.TransformPoint(local);
        return at.y - mission->GetGroundHeight(character->position + Vector3(0.0f, 2.0f, 0.0f));
    }

    // After every frame: health lost without a hit, the dead still standing.
    void Watch()
    {
        water.seconds = play.Seconds();
        for (Character* character : mission->level.characters) {
            Seen& seen = seenCharacters[character];
            if (seen.known && character->health < seen.health) {
                const bool hit = character->lastHitDirection.Length() > 0.01f &&
                                 (!(character->lastHitDirection == seen.hitDirection) ||
                                  !(character->lastHitPoint == seen.hitPoint));
                if (!hit && unexplainedLosses++ < 5)
                    ADD_FAILURE() << Who(character) << " lost " << seen.health - character->health
                                  << " health with no hit at " << At(play.Seconds(), character->position);
            }
            seen.known = true;
            seen.health = character->health;
            seen.hitPoint = character->lastHitPoint;
            seen.hitDirection = character->lastHitDirection;
            if (character->health > 0)
                continue;
            if (seen.diedAt < 0.0f)
                seen.diedAt = play.Seconds();
            if (!seen.judged && play.Seconds() - seen.diedAt >= kSecondsToFall) {
                seen.judged = true;
                const float head = HeadHeight(character);
                EXPECT_FALSE(std::isnan(head)) << Who(character) << " has no head bone to judge by";
                EXPECT_FALSE(head >= kLyingHead)
                    << Who(character) << " still stands " << kSecondsToFall << " s after dying (health "
                    << character->health << ", head " << head << " above the ground) at "
                    << At(play.Seconds(), character->position);
            }
        }
    }

    struct Seen {
        bool known = false;
        int health = 0;
        Vector3 hitPoint, hitDirection;
        float diedAt = -1.0f;
        bool judged = false;
    };

    programrun::RunFolder folder{true};
    fs::path previous;
    ScriptedPlay play;
    MissionState* mission = nullptr;
    World* world = nullptr;
    WaterWatch water;
    std::map<Character*, Seen> seenCharacters;
    int unexplainedLosses = 0;
};

} // namespace

TEST_F(DemoPlayThroughTest, TheLeaderWadesIntoAndOutOfTheLakeAndRunsOverTheHills)
{
    Settle();
    // The lake's block of water: its middle at the water's height, and a point on the shore north
    // of it.
    const WaterBlock& lake = water.blocks.front();
    const Vector3 middle((lake.left + lake.right) / 2.0f, lake.level, (lake.near + lake.far) / 2.0f);
    const Vector3 shore(middle.x, 0.0f, lake.near + 25.0f);

    // Down the slope from the start to the lake's northern shore, running.
    ASSERT_TRUE(play.WalkTo(shore.x, shore.z, true, 600)) << "the leader did not reach the lake's shore: " << Where();

    // From the shore the lake shows water, drawn where the water is.
    play.LookAt(middle, 40);
    ExpectWaterOnScreen();
    EXPECT_GT(water.draws, 0) << "no water was drawn with the lake in view";

    // Into the lake and out again, walking down and up its banks, with the frames of a slow
    // machine: now and then one lasts half a second.
    int frames = 0;
    play.beforeFrame = [&] { play.frameSeconds = ++frames % 15 == 0 ? 0.5f : ScriptedPlay::kFrameSeconds; };
    EXPECT_TRUE(play.WalkTo(middle.x, (middle.z + lake.near) / 2.0f, false, 300))
        << "the leader did not wade into the lake: " << Where();
    EXPECT_TRUE(play.WalkTo(shore.x, shore.z + 5.0f, false, 300)) << "the leader did not walk out of the lake: " << Where();
    play.beforeFrame = nullptr;
    play.frameSeconds = ScriptedPlay::kFrameSeconds;

    ASSERT_GT(play.Leader()->health, 0) << "the leader died in the lake: " << Where();

    // Running over the hills north of the lake, up and down, and back to the start.
    for (const auto& [x, z] : kHillRun)
        EXPECT_TRUE(play.WalkTo(x, z, true, 300)) << "the leader did not reach (" << x << ", " << z << "): " << Where();
}

TEST_F(DemoPlayThroughTest, TheLeaderShootsTheGuardWhoFallsWithinThreeSeconds)
{
    Settle();
    // The guard stands at the eastern edge beside his alarm post; the leader gets a clear line of
    // fire from the open ground west of him.
    Character* guard = NearestEnemy(kGuard);
    ASSERT_NE(guard, nullptr) << "the demo mission has no enemy";
    // His dog stays out of this: it would run into the line of fire.
    for (Character* character : mission->level.characters)
        if (dynamic_cast<Animal*>(character))
            character->roles |= Character::Inactive;
    Player* leader = play.Leader();
    const float ground = mission->GetGroundHeight(Vector3(kFiringSpot.x, 200.0f, kFiringSpot.z));
    leader->SetPosition(kFiringSpot.x, ground + 4.0f, kFiringSpot.z);
    leader->PlaceAt(kFiringSpot.x, ground + 4.0f, kFiringSpot.z);

    // The mouse lays the crosshair on him.
    const auto chest = [guard] { return guard->position + Vector3(0.0f, 1.0f, 0.0f); };
    const auto onTarget = [&] {
        HitResult ray;
        return mission->GetCenterRay(ray) && mission->RayCastObjects(ray, leader, -1) == guard;
    };
    for (int i = 0; i < 90 && !onTarget(); ++i)
        play.FrameTowards(chest(), true);
    ASSERT_TRUE(onTarget()) << "the crosshair did not find the guard from " << Where();
    // The rifle fires a round a click: three clicks a second, the aim kept, until he dies.
    for (int i = 0; i < 300 && guard->health > 0; ++i) {
        if (i % 10 < 2)
            play.PushButton(SDL_BUTTON_LEFT, i % 10 == 0);
        play.FrameTowards(chest(), true);
    }
    play.PushButton(SDL_BUTTON_LEFT, false);
    ASSERT_LE(guard->health, 0) << "the guard lives after 10 s under fire, at " << Where(guard);

    // The watch judges him once he has been dead for 3 s.
    play.Turn(int((kSecondsToFall + 0.5f) / ScriptedPlay::kFrameSeconds));
    EXPECT_TRUE(seenCharacters[guard].judged) << "the guard was not watched for 3 s after dying";
}

TEST_F(DemoPlayThroughTest, TheLeaderRunningAtTheMapsEdgeStaysOnTheMap)
{
    mission->RemoveMapPopulation();
    Settle();
    Player* leader = play.Leader();
    // The map ends half its size from the middle; the last two cells before that are the rim's
    // cliff and crest. Watched on every frame: how near the edge the leader gets, and how high he
    // stands above the ground at the cliff's foot (at most a step over his standing height).
    const float half = float(world->width) * world->cellSize / 2.0f;
    const float foot = half - 2.0f * world->cellSize;
    const float step = 0.5f * leader->radii.y;
    float farthest = 0.0f, climbed = 0.0f;
    play.afterFrame = [&] {
        Watch();
        const Vector3& at = leader->position;
        farthest = std::max({farthest, std::fabs(at.x), std::fabs(at.z)});
        const float x = std::clamp(at.x, 1.0f - foot, foot - 1.0f), z = std::clamp(at.z, 1.0f - foot, foot - 1.0f);
        climbed = std::max(climbed, at.y - leader->radii.y - mission->GetGroundHeight(Vector3(x, 200.0f, z)));
    };
    // From a point 50 units inside the edge, running for 6 s at a point far beyond it: straight
    // north, at 45 degrees to the northern edge, into the north-eastern corner and at 30 degrees
    // to the western edge. Each run gets to the cliff's foot and presses on into it.
    struct Run {
        float x, z;           // start, as shares of the distance from the middle to the edge
        float headingDegrees; // 0 north (+z), 90 east (+x)
    };
    for (const Run run : {Run{0.0f, 0.85f, 0.0f}, Run{-0.4f, 0.85f, 45.0f}, Run{0.85f, 0.85f, 45.0f},
                          Run{-0.85f, -0.2f, -30.0f}}) {
        const float x = run.x * half, z = run.z * half;
        const float ground = mission->GetGroundHeight(Vector3(x, 200.0f, z));
        leader->SetPosition(x, ground + 4.0f, z);
        leader->PlaceAt(x, ground + 4.0f, z);
        play.Turn();
        const float heading = run.headingDegrees * 3.14159265f / 180.0f;
        farthest = climbed = 0.0f;
        play.WalkTo(x + 4.0f * half * std::sin(heading), z + 4.0f * half * std::cos(heading), true, 180);
        const std::string from = "running from (" + std::to_string(int(x)) + ", " + std::to_string(int(z)) + ") at " +
                                 std::to_string(int(run.headingDegrees)) + " degrees ";
        EXPECT_GT(farthest, foot - world->cellSize) << from << "the leader did not get to the rim: " << Where();
        EXPECT_LT(farthest, foot) << from << "the leader got onto the cliff: " << Where();
        EXPECT_LT(climbed, step) << from << "the leader climbed: " << Where();
        EXPECT_GT(leader->health, 0) << from << Where();
    }
}

TEST_F(DemoPlayThroughTest, TheRadialMenuTakesItsOrderFromTheMouse)
{
    // A member that sees an enemy fights it rather than obey.
    mission->RemoveMapPopulation();
    Settle();
    Player* member = mission->GetSquadMember(1);
    ASSERT_NE(member, nullptr);

    // Q held opens the menu; the hand moves the mouse over some frames towards a sector, which
    // lights up while the view stays still; letting Q go gives the sector's order.
    struct Gesture {
        int dx, dy; // each of six steps
        int sector;
        int order;
    };
    for (const Gesture& gesture : {Gesture{10, 2, 1, OrderHoldPosition}, Gesture{4, 10, 2, OrderFollow}}) {
        play.PushKey(SDL_SCANCODE_Q, true);
        play.Turn();
        ASSERT_TRUE(mission->controls.radialMenuOpen) << "Q did not open the radial menu";
        const float look = LookHeading();
        for (int step = 0; step < 6; ++step) {
            play.MoveMouse(gesture.dx, gesture.dy);
            play.Turn();
        }
        EXPECT_EQ(mission->controls.radialMenuIndex, gesture.sector)
            << "the pointer moved by (" << 6 * gesture.dx << ", " << 6 * gesture.dy << ") over the open radial menu";
        EXPECT_NEAR(LookHeading(), look, 0.01f) << "the view turned while the radial menu was open";
        play.PushKey(SDL_SCANCODE_Q, false);
        play.Turn();
        EXPECT_FALSE(mission->controls.radialMenuOpen);
        EXPECT_EQ(member->order, gesture.order) << "letting Q go over sector " << gesture.sector;
    }
}
