// A soldier on the demo map: loaded with its levels of detail, bones, speeds, animation sets and
// face skins; standing, walking, falling with collision, swimming in the lake, dying and settling,
// and drawn lit by the map with its foot shadow. The mission places characters the same way.
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <memory>
#include <vector>

#include "app/framework/Options.h"
#include "characters/body/AnimationCache.h"
#include "characters/body/AnimationController.h"
#include "tests/support/WorldStandIn.h"
#include "engine/animation/AnimatedModel.h"
#include "engine/material/Material.h"
#include "mission/services/WorldCollisionScene.h"
#include "physics/Collision.h"
#include "tests/characters/CampaignRecorder.h"
#include "tests/characters/body/DemoMapCharacterFixture.h"
#include "tests/world/WorldFixture.h"
#include "world/map/MapObject.h"
#include "world/PickResult.h"
#include "world/props/PropClasses.h"

namespace {

class CharacterWorldTest : public DemoMapCharacterTest {
protected:
    // A soldier standing on the ground at a map corner.
    Character& Place(int column, int row, float raise = 0.0f)
    {
        auto c = std::make_unique<Character>();
        c->kind = Character::SquadKind;
        c->LoadAnimationInfo();
        c->LoadModel(device, "GameData/Models/Soldiers/soldier.gr2");
        const Vector3 corner = world->GetCornerPosition(column, row);
        c->SetPosition(corner.x, world->GetTerrainHeightSmooth(corner) + c->radii.y + raise, corner.z);
        c->collides = c->gravity = true;
        c->StartAction(0, true);
        return Keep(std::move(c));
    }

    float GroundUnder(const Character& c) const { return world->GetTerrainHeightSmooth(c.position); }

    void Run(Character& c, float seconds, float step = 0.02f)
    {
        for (float t = 0.0f; t < seconds; t += step)
            c.Update(step);
    }
};

} // namespace

TEST_F(CharacterWorldTest, LoadsTheSoldierWithItsLevelsBonesSpeedsSetsAndFace)
{
    Character& c = Place(32, 32);
    ASSERT_NE(c.GetModel(), nullptr);
    EXPECT_NE(c.GetLevelModel(1), nullptr);
    EXPECT_NE(c.GetLevelModel(2), nullptr);
    for (int b = 0; b < Character::BoneCount; ++b)
        EXPECT_GE(c.GetBoneIndex(Character::Bone(b)), 0) << "bone " << b;
    EXPECT_EQ(c.GetBoneIndex(Character::Hat), c.GetBoneIndex(Character::Head)) << "no a-hat: the head stands in";
    EXPECT_EQ(c.GetBodyRegion(c.GetBoneIndex(Character::Neck)), 0);
    EXPECT_EQ(c.GetBodyRegion(c.GetBoneIndex(Character::Pelvis)), 1);
    EXPECT_EQ(c.GetBodyRegion(c.GetBoneIndex(Character::LeftClavicle)), 2);
    EXPECT_EQ(c.GetBodyRegion(c.GetBoneIndex(Character::RightToe)), 5);
    Options::Instance()->SetOption(Options::DamageRealism, 1);
    EXPECT_FLOAT_EQ(c.GetBoneDamageFactor(c.GetBoneIndex(Character::Head)), 100.0f);
    EXPECT_FLOAT_EQ(c.GetBoneDamageFactor(c.GetBoneIndex(Character::RightFinger1)), 0.5f);
    EXPECT_FLOAT_EQ(c.GetBoneDamageFactor(0), 1.0f) << "the root keeps 0, read as 1.0";
    // Indices past the table (a stray hit record, the held-item marker) count as a plain hit.
    const int bones = c.GetModel()->GetBoneCount();
    for (int bone : {-1, bones + 1, bones + 1000, int(Character::kHeldItemBone)})
        EXPECT_FLOAT_EQ(c.GetBoneDamageFactor(bone), 1.0f) << "bone " << bone;
    Options::Instance()->SetOption(Options::DamageRealism, 0);
    EXPECT_FLOAT_EQ(c.GetBoneDamageFactor(c.GetBoneIndex(Character::Head)), 1.0f);
    EXPECT_FLOAT_EQ(c.GetStepLength(0, 1), 0.5f);
    EXPECT_FLOAT_EQ(c.GetSpeedLine(8), 20.0f);
    EXPECT_NE(c.blinkSkin, nullptr);
    EXPECT_NE(c.firingSkin, nullptr);
    AnimationController* a = c.GetAnimation();
    EXPECT_EQ(a->GetVariationCount(0, 2), 2) << "two alert idles";
    EXPECT_EQ(a->GetVariationCount(0, 12), 1);
    EXPECT_EQ(a->GetVariationCount(1, 18), 0) << "the unarmed set has no firing";
    EXPECT_EQ(a->GetLoopCount(0, 2, 0), 2);

    // A second character copies the template's controller onto its own model.
    Character& other = Place(33, 32);
    EXPECT_TRUE(other.GetAnimation()->SharesTables());
    EXPECT_EQ(other.GetAnimation()->GetVariationCount(0, 2), 2);
}

TEST_F(CharacterWorldTest, StandsWalksAndFallsWithCollision)
{
    Character& c = Place(32, 32);
    Run(c, 1.0f);
    const float standing = c.position.y;
    EXPECT_NEAR(standing - c.radii.y, GroundUnder(c), 1.0f) << "stands on the terrain";
    EXPECT_EQ(c.health, 100);
    EXPECT_EQ(c.GetAnimation()->GetChannelAnimation(0), 0);

    // Walking forward for two seconds at 10 units a second.
    const Vector3 start = c.position;
    c.StartAction(1, false);
    for (int frame = 0; frame < 100; ++frame) {
        c.moveInput = Vector3(0, 0, 10.0f);
        c.Update(0.02f);
    }
    const float walked = std::hypot(c.position.x - start.x, c.position.z - start.z);
    EXPECT_GT(walked, 15.0f);
    EXPECT_NEAR(c.position.y - c.radii.y, GroundUnder(c), 1.5f) << "follows the slope";
    EXPECT_EQ(c.GetAnimation()->GetChannelAnimation(0), 1);
    EXPECT_TRUE(c.GetAnimation()->IsPlaying(0));

    // Crouching and lying prone on the hillside keep the soldier on the ground.
    c.SetPosture(Character::Crouching);
    EXPECT_TRUE(c.actionLocked) << "the posture step locks until it has played";
    Run(c, 1.0f);
    EXPECT_EQ(c.posture, Character::Crouching);
    EXPECT_FALSE(c.actionLocked);
    EXPECT_TRUE(c.StartAction(0, false));
    Run(c, 0.1f);
    EXPECT_EQ(c.GetAnimation()->GetChannelAnimation(0), 47);
    c.SetPosture(Character::Prone);
    Run(c, 1.0f);
    EXPECT_TRUE(c.StartAction(0, false));
    Run(c, 0.1f);
    EXPECT_EQ(c.GetAnimation()->GetChannelAnimation(0), 51);
    EXPECT_EQ(c.posture, Character::Prone);
    EXPECT_NEAR(c.position.y - c.radii.y, GroundUnder(c), 1.5f);

    // Dropped from 60 units it falls, lands, and the landing costs health.
    Character& faller = Place(36, 30, 60.0f);
    Run(faller, 3.0f);
    EXPECT_NEAR(faller.position.y - faller.radii.y, GroundUnder(faller), 1.0f);
    EXPECT_LT(faller.health, 100);
    EXPECT_FLOAT_EQ(faller.fallRate, 1.0f) << "reset at every landing";
}

TEST_F(CharacterWorldTest, RunsFartherThanItWalksAndBurnsToDeath)
{
    Character& walker = Place(32, 32);
    Character& runner = Place(33, 32);
    Run(walker, 0.5f);
    Run(runner, 0.5f);
    const Vector3 walkStart = walker.position, runStart = runner.position;
    walker.StartAction(1, false);
    runner.running = true;
    runner.StartAction(3, false);
    for (int frame = 0; frame < 50; ++frame) {
        walker.moveInput = Vector3(0, 0, 10.0f);
        runner.moveInput = Vector3(0, 0, 20.0f);
        walker.Update(0.02f);
        runner.Update(0.02f);
    }
    const auto covered = [](const Vector3& a, const Vector3& b) { return std::hypot(a.x - b.x, a.z - b.z); };
    EXPECT_GT(covered(runner.position, runStart), 1.5f * covered(walker.position, walkStart));
    EXPECT_EQ(runner.GetAnimation()->GetChannelAnimation(0), 34) << "the run";
    EXPECT_NEAR(runner.position.y - runner.radii.y, GroundUnder(runner), 1.5f);

    // Set on fire, it loses 2 health five times a second until the flames go out.
    CampaignRecorder statistics;
    walker.SetOnFire(1.0f, runner.GetID());
    Run(walker, 0.5f);
    EXPECT_NEAR(walker.health, 95, 1);
    Run(walker, 1.0f);
    EXPECT_FLOAT_EQ(walker.burnTime, 0.0f);
    const int afterFire = walker.health;
    Run(walker, 0.5f);
    EXPECT_EQ(walker.health, afterFire) << "no more burning once out";

    // Burning to death falls with the burning death and settles.
    walker.health = 3;
    walker.SetOnFire(5.0f, runner.GetID());
    Run(walker, 0.5f);
    EXPECT_LE(walker.health, 0);
    EXPECT_EQ(walker.currentAction, 22);
    EXPECT_EQ(walker.GetAnimation()->GetChannelAnimation(0), 101);
    EXPECT_EQ(statistics.fireKills, std::vector<std::uint16_t>{std::uint16_t(runner.GetID())}) << "counted once, at the death";
    Run(walker, 3.0f);
    EXPECT_TRUE(walker.deathSettled);
}

TEST_F(CharacterWorldTest, ASavedSoldierComesBackPlayingWhatItPlayed)
{
    Character& c = Place(32, 32);
    Run(c, 0.5f);
    c.alerted = true;
    c.StartAction(0, false);
    Run(c, 1.3f);
    AnimationController* a = c.GetAnimation();
    const int playing = a->GetChannelAnimation(0);
    const int variation = a->GetChannelVariation(0);
    const float clock = a->GetChannelClock(0);
    ASSERT_EQ(playing, 21) << "the alert stance";
    ASSERT_GT(clock, 0.0f);
    std::vector<std::uint8_t> block(1 << 16);
    SaveStream out = SaveStream::OnMemory(block.data(), std::uint32_t(block.size()));
    c.Save(&out);

    Character& copy = Place(40, 40);
    SaveStream in = SaveStream::OnMemory(block.data(), out.position);
    copy.Load(&in);
    EXPECT_EQ(in.position, out.position);
    EXPECT_EQ(copy.position, c.position);
    copy.Update(0.0f);
    AnimationController* b = copy.GetAnimation();
    EXPECT_EQ(b->GetChannelAnimation(0), playing);
    EXPECT_EQ(b->GetChannelVariation(0), variation);
    EXPECT_NEAR(b->GetChannelClock(0), clock, 0.05f) << "picks up where it was";
}

TEST_F(CharacterWorldTest, SwimsInTheLakeAndWaterDepthLimitsPostures)
{
    Character& c = Place(24, 40);
    const float water = world->GetWaterHeight(c.position);
    const float surface = water + world->GetWaveHeight(c.position); // the waves stand still: no world update
    ASSERT_GT(surface - GroundUnder(c), 5.0f) << "the lake is deep here";
    c.SetPosition(c.position.x, surface - 3.0f, c.position.z);
    c.Update(0.02f);
    EXPECT_TRUE(c.swimming);
    EXPECT_EQ(c.currentAction, 35) << "treading water while still";
    EXPECT_NEAR(c.position.y, surface - 2.5f, 0.01f);
    c.moveInput = Vector3(0, 0, 5.0f);
    c.Update(0.02f);
    EXPECT_EQ(c.currentAction, 36);
    EXPECT_FALSE(c.StartAction(23, false)) << "no firing actions while swimming";

    // Depth table: from standing, crouching needs at most 3.0 of water, prone at most 0.5
    // (3.0 less each while gravity holds the character down).
    struct Case {
        float depth;
        bool gravity;
        int target;
        bool allowed;
    };
    Character& wader = Place(24, 40);
    for (const Case& k : std::vector<Case>{{0.6f, false, Character::Prone, false},
                                           {0.4f, false, Character::Prone, true},
                                           {3.0f, false, Character::Crouching, true},
                                           {3.1f, false, Character::Crouching, false},
                                           {0.0f, true, Character::Crouching, true},
                                           {0.1f, true, Character::Crouching, false}}) {
        wader.SetPosition(wader.position.x, water - k.depth, wader.position.z);
        wader.gravity = k.gravity;
        EXPECT_EQ(wader.HasRoomForPosture(k.target), k.allowed) << "depth " << k.depth << " target " << k.target;
    }
}

TEST_F(CharacterWorldTest, DiesAndSettlesOnTheGround)
{
    Character& c = Place(32, 32);
    Run(c, 0.5f);
    // A shot at the head and one at the legs find their bones and regions.
    Vector3 head;
    c.GetHeadPosition(&head);
    struct Shot {
        float height; // above the feet
        float side;   // right of the middle
        std::vector<int> regions;
    };
    const float feet = c.position.y - c.radii.y;
    for (const Shot& shot : std::vector<Shot>{{head.y - feet + 0.3f, 0.0f, {0}}, {1.0f, 0.3f, {4, 5}}, {4.0f, 0.0f, {1}}}) {
        HitResult ray;
        ray.origin = Vector3(c.position.x + shot.side, feet + shot.height, c.position.z - 20.0f);
        ray.direction = Vector3(0, 0, 1);
        ASSERT_TRUE(c.IntersectRay(ray, 0)) << "height " << shot.height;
        const int region = c.GetBodyRegion(c.GetLastHitBone());
        EXPECT_NE(std::find(shot.regions.begin(), shot.regions.end(), region), shot.regions.end())
            << "height " << shot.height << " region " << region;
    }
    c.OnHit(150, c.position, Vector3(0, 0, 1), nullptr, 0, 0, "Rifle");
    EXPECT_LE(c.health, 0);
    c.StartAction(22, true);
    Run(c, 3.0f);
    EXPECT_TRUE(c.deathSettled);
    EXPECT_FALSE(c.collides);
    EXPECT_FALSE(c.gravity);
}

TEST_F(CharacterWorldTest, OutOfBoundsAndBelowTheWorldAreRepaired)
{
    Character& c = Place(32, 32);
    c.collides = c.gravity = false;
    c.SetPosition(2000.0f, 50.0f, 0.0f);
    c.Update(0.02f);
    EXPECT_FLOAT_EQ(c.position.x, 0.0f);
    EXPECT_FLOAT_EQ(c.position.z, 0.0f);
    EXPECT_NEAR(c.position.y, world->GetTerrainHeightSmooth(Vector3(0, 0, 0)), 1.0f);

    // With no ground answer the repair keeps the height rather than take the sentinel.
    standIn->groundless = true;
    c.SetPosition(0.0f, 77.0f, -2000.0f);
    c.Update(0.02f);
    EXPECT_FLOAT_EQ(c.position.y, 77.0f);
    EXPECT_FLOAT_EQ(c.position.z, 0.0f);
    // Below the world with no ground anywhere: the bounded search gives up and the character goes
    // back to where it was last placed, 4 higher.
    c.SetPosition(5.0f, 60.0f, 5.0f);
    c.PlaceAt(5.0f, -500.0f, 5.0f);
    c.Update(0.02f);
    EXPECT_FLOAT_EQ(c.position.y, 64.0f);
    EXPECT_FLOAT_EQ(c.position.x, 5.0f);
    standIn->groundless = false;

    // Far below the terrain: back onto the ground, 4 above it.
    c.SetPosition(10.0f, -500.0f, 10.0f);
    c.Update(0.02f);
    EXPECT_GT(c.position.y, world->GetTerrainHeightSmooth(c.position));
    EXPECT_TRUE(std::isfinite(c.position.y));
}

TEST_F(CharacterWorldTest, IsDrawnLitWithItsFootShadow)
{
    Character& c = Place(32, 32);
    Run(c, 0.5f);
    LookFrom(c.position + Vector3(0, 4, -20), c.position);
    device->BeginFrame(true, true);
    camera->UpdateTransform(0.0f);
    world->Update(0.02f);
    world->CollectVisible();
    world->RenderTerrain();
    EXPECT_TRUE(c.Draw(device));
    EXPECT_NE(c.lightColour, 0u) << "the map's light under the soldier";
    device->EndFrame(true, true);

    // Blinking: the face shows the closed eyes once the countdown runs out, never when dead.
    c.blinkTime = -0.05f;
    device->BeginFrame(true, true);
    c.Draw(device);
    EXPECT_EQ(c.lodMeshes[0]->texture[0], c.blinkSkin);
    c.health = 0;
    c.Draw(device);
    EXPECT_EQ(c.lodMeshes[0]->texture[0], c.baseSkins[0]);
    device->EndFrame(true, true);

    // An inactive character draws nothing; in view mode 0 the body is not drawn.
    c.roles = Character::Inactive;
    EXPECT_FALSE(c.Draw(device));
    c.roles = 0;
    c.health = 100;
    c.viewMode = 0;
    EXPECT_FALSE(c.Draw(device));
}

TEST_F(CharacterWorldTest, SnapToGroundTiltsABodyOnASlopeStepByStepOrAtOnce)
{
    Character& c = Place(40, 20);
    PickResult hit;
    Vector3 probe = c.position + Vector3(0, 3, 0);
    world->GetGroundBelow(probe, &hit, nullptr);
    Vector3 normal = hit.normal;
    normal.Normalize();
    const auto tiltFromNormal = [&] {
        const Vector3 up(c.rotation.m[3], c.rotation.m[4], c.rotation.m[5]);
        return std::acos(std::clamp(Dot(up, normal), -1.0f, 1.0f));
    };
    const float slope = tiltFromNormal();
    ASSERT_GT(slope, 0.05f) << "the corner lies on a slope";
    c.SnapToGround(false);
    EXPECT_NEAR(tiltFromNormal(), slope - 0.01f, 1e-3f);
    c.SnapToGround(true);
    EXPECT_NEAR(tiltFromNormal(), 0.0f, 1e-3f);
    EXPECT_NEAR(c.position.y - c.radii.y, world->GetGroundBelow(c.position + Vector3(0, 3, 0), &hit, nullptr), 0.01f);

    // Over a tile that is not solid the terrain is no floor; with no object below either, height
    // and tilt stay as they were.
    int column = 0, row = 0;
    world->WorldToCell(c.position.x, c.position.z, column, row);
    Material* tile = world->GetCellTile(column, row).material;
    ASSERT_NE(tile, nullptr);
    const auto solidBlend = tile->srcBlend;
    tile->srcBlend = BlendSrcAlpha;
    Matrix3 tilted;
    tilted.FromAxisAngle(0.3f, Vector3(1, 0, 0));
    c.rotation = tilted;
    c.position.y += 2.0f;
    const float height = c.position.y;
    for (bool snap : {false, true}) {
        c.SnapToGround(snap);
        EXPECT_FLOAT_EQ(c.position.y, height);
        for (int i = 0; i < 9; ++i)
            EXPECT_FLOAT_EQ(c.rotation.m[i], tilted.m[i]);
    }
    tile->srcBlend = solidBlend;
}

TEST_F(CharacterWorldTest, AMovingCharacterSwaysTheObjectsItBrushes)
{
    // A bush of radius 3 placed on the start.
    const Vector3 corner = world->GetCornerPosition(32, 32);
    MapObject* bush = world->AddObject(0, Vector3(corner.x, world->GetTerrainHeightSmooth(corner), corner.z), Matrix3(), 1.0f);
    ASSERT_NE(bush, nullptr);
    ASSERT_TRUE(bush->AddProp("swayprox 3"));
    auto* prop = static_cast<SwayProxProp*>(bush->FindProp(World::GetSwayProxFactory()));
    ASSERT_NE(prop, nullptr);
    ASSERT_FLOAT_EQ(prop->radius, 3.0f);
    Character& c = Place(32, 32);
    c.collides = c.gravity = false;
    const Vector3 at = bush->GetPosition();
    c.SetPosition(at.x, at.y, at.z);
    prop->amplitude = 0.0f;
    c.Update(0.02f); // standing still
    EXPECT_FLOAT_EQ(prop->amplitude, 0.0f);
    c.moveInput = Vector3(0, 0, 0.5f);
    c.Update(0.02f);
    EXPECT_FLOAT_EQ(prop->amplitude, 1.0f);
}

TEST_F(CharacterWorldTest, AnimationsRunNearTheCameraOrForActionsThatMustBeSeen)
{
    Character& c = Place(32, 32);
    Run(c, 0.1f);
    EXPECT_EQ(c.GetAnimation()->GetChannelAnimation(0), 0);
    standIn->watchedFrom = Vector3(0, 5000, 0);
    c.StartAction(1, false);
    Run(c, 0.1f);
    EXPECT_EQ(c.GetAnimation()->GetChannelAnimation(0), 0) << "out of the camera's range the walk waits";
    c.StartAction(22, true); // always animated
    Run(c, 0.1f);
    EXPECT_EQ(c.GetAnimation()->GetChannelAnimation(0), 83);
}
