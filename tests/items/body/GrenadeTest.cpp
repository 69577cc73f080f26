// Grenades over a hand-placed map: the bounce path on a seeded generator, head-on stops, the impact
// fuse, leaving the camera's reach, the saved block, and the hand grenade's throw.
#include <memory>
#include <optional>
#include <vector>

#include "app/framework/Application.h"
#include "characters/body/Character.h"
#include "characters/level/NetworkSession.h"
#include "characters/level/RunningLevel.h"
#include "engine/core/RandomMT.h"
#include "items/GrenadeItem.h"
#include "items/ItemFactory.h"
#include "items/ItemServices.h"
#include "items/NoLevelItems.h"
#include "items/projectiles/GrenadeProjectile.h"
#include "items/projectiles/SavedProjectiles.h"
#include "tests/characters/LevelFake.h"
#include "tests/characters/body/CharacterFixture.h"
#include "tests/support/ErrorText.h"
#include "tests/world/WorldFixture.h"

namespace {

class GrenadeTest : public WorldTest {
protected:
    // The level's item services as the cases see them.
    struct FakeItems : NoLevelItems {
        explicit FakeItems(GrenadeTest& test) : test(test) {}
        float CameraFar() override { return test.far; }
        void ApplyExplosion(const Vector3& at, int damage, float radius, Character*, bool, std::uint16_t,
                            const Vector3&, float) override
        {
            test.explosions.push_back({at, float(damage), radius});
        }
        void AddProjectile(Bullet* b) override { test.thrown.emplace_back(b); }
        GrenadeTest& test;
    };
    FakeItems items{*this};
    std::optional<RunningLevel> level;

    void SetUp() override
    {
        WorldTest::SetUp();
        Application::Instance()->SetDevice(device);
        std::filesystem::create_directory_symlink(std::filesystem::path(BEXAL_DATA_DIR) / "GameData", "GameData");
        MapFile file = Terrain();
        file.placements.push_back(At(100, 80, 140)); // a box of half size 2: its face at z 138
        Load(file);
        level.emplace(RunningLevel::Services{.items = &items});
    }
    void TearDown() override
    {
        thrown.clear();
        level.reset();
        Application::Instance()->SetDevice(nullptr);
        WorldTest::TearDown();
    }

    GrenadeProjectile Throw(const Vector3& from, const Vector3& direction, float speed, bool impact)
    {
        return GrenadeProjectile(from, direction, 65.0f, nullptr, speed, impact, false, nullptr,
                                 "GameData/Items/Grenades/", "GameData/Items/Grenades/world.q3d");
    }

    struct Blast {
        Vector3 at;
        float damage;
        float radius;
    };
    std::vector<Blast> explosions;
    std::vector<std::unique_ptr<Bullet>> thrown;
    float far = 400.0f;
};

std::vector<Vector3> Fly(GrenadeProjectile& grenade, int steps)
{
    std::vector<Vector3> path;
    for (int i = 0; i < steps && grenade.IsActive() && !grenade.wentOff; ++i) {
        grenade.UpdateTransform(1.0f / 30.0f);
        path.push_back(grenade.position);
    }
    return path;
}

} // namespace

TEST_F(GrenadeTest, BouncePathIsTheSameOnTheSameSeedAndEndsInTheBlast)
{
    std::vector<Vector3> first;
    for (int run = 0; run < 2; ++run) {
        seedMT(11);
        explosions.clear();
        GrenadeProjectile grenade = Throw(Vector3(100, 60, 100), Vector3(0.3f, 0.0f, 1.0f), 30.0f, false);
        EXPECT_GT(grenade.velocity.y, 25.0f); // thrown upward in its own frame
        const std::vector<Vector3> path = Fly(grenade, 200);
        EXPECT_GT(grenade.bounces, 0);
        EXPECT_TRUE(grenade.wentOff);
        ASSERT_EQ(explosions.size(), 1u);
        EXPECT_EQ(explosions[0].damage, 150.0f);
        EXPECT_EQ(explosions[0].radius, 65.0f);
        EXPECT_EQ(explosions[0].at, grenade.position);
        // It never sinks below the terrain.
        for (const Vector3& p : path)
            EXPECT_GT(p.y, world->GetTerrainHeightSmooth(p) - 0.5f);
        if (run == 0)
            first = path;
        else
            EXPECT_EQ(path, first);
    }
}

TEST_F(GrenadeTest, HeadOnHitStopsDeadAndTheImpactFuseWaitsForDistance)
{
    // Launched straight at the box's face (z 138) from close by: a head-on bounce keeps nothing of
    // its way forward, and within 8.66 units of its origin the impact fuse does not fire.
    GrenadeProjectile close = Throw(Vector3(100, 80, 133), Vector3(0, 0, 1), 60.0f, true);
    Fly(close, 3);
    EXPECT_GT(close.bounces, 0);
    EXPECT_FALSE(close.wentOff);
    EXPECT_NEAR(close.velocity.x, 0.0f, 1e-3f);
    EXPECT_NEAR(close.velocity.z, 0.0f, 1.0f); // of 60 units a second towards the box

    GrenadeProjectile distant = Throw(Vector3(100, 80, 120), Vector3(0, 0, 1), 60.0f, true);
    Fly(distant, 30);
    EXPECT_TRUE(distant.wentOff);
    EXPECT_EQ(explosions.size(), 1u);
}

TEST_F(GrenadeTest, ADroppedGrenadeComesToRestAtThirtyAndSixtyFramesASecond)
{
    for (const float step : {1.0f / 30.0f, 1.0f / 60.0f}) {
        SCOPED_TRACE(step);
        const Vector3 from(60, 0, 60);
        GrenadeProjectile grenade = Throw(from + Vector3(0, world->GetTerrainHeightSmooth(from) + 1.0f, 0),
                                          Vector3(0, -1, 0), 0.5f, false);
        grenade.fuse = 1000.0f;
        for (int i = 0; i < int(3.0f / step) && !grenade.resting; ++i)
            grenade.UpdateTransform(step);
        ASSERT_TRUE(grenade.resting);
        const Vector3 lying = grenade.position;
        for (int i = 0; i < 30; ++i)
            grenade.UpdateTransform(step);
        EXPECT_EQ(grenade.position, lying);
        EXPECT_GT(lying.y, world->GetTerrainHeightSmooth(lying) - 0.5f);
    }
}

TEST_F(GrenadeTest, LeavingTheCameraReachEndsItWithoutABlast)
{
    far = 20.0f;
    GrenadeProjectile grenade = Throw(Vector3(100, 200, 100), Vector3(0, 0, 1), 60.0f, false);
    Fly(grenade, 60);
    EXPECT_FALSE(grenade.IsActive());
    EXPECT_FALSE(grenade.wentOff);
    EXPECT_TRUE(explosions.empty());
}

TEST_F(GrenadeTest, BlockRoundTripAndASpentGrenadeStaysQuiet)
{
    GrenadeProjectile grenade = Throw(Vector3(100, 60, 100), Vector3(0, 0, 1), 30.0f, false);
    Fly(grenade, 5);
    std::vector<std::uint8_t> buffer(2048);
    SaveStream out = SaveStream::OnMemory(buffer.data(), 2048);
    grenade.Save(&out);
    ASSERT_EQ(out.position, GrenadeProjectile::kBlockSize);
    buffer.resize(out.position);
    EXPECT_EQ(buffer[0], 100); // the type code first
    GrenadeProjectile copy;
    SaveStream in = SaveStream::OnMemory(buffer.data(), std::uint32_t(buffer.size()));
    copy.Load(&in);
    EXPECT_EQ(copy.position, grenade.position);
    EXPECT_EQ(copy.velocity, grenade.velocity);
    EXPECT_FLOAT_EQ(copy.fuse, grenade.fuse);
    std::vector<std::uint8_t> again(2048);
    SaveStream back = SaveStream::OnMemory(again.data(), 2048);
    copy.Save(&back);
    again.resize(back.position);
    EXPECT_EQ(again, buffer);

    // A block whose velocity is not a number is refused before anything changes.
    std::vector<std::uint8_t> damagedBytes = buffer;
    const std::size_t velocityAt = Bullet::kBlockSize + 256 * 3 + 12 + 36 + 2 + 12 + 4;
    for (std::size_t i = 0; i < 4; ++i)
        damagedBytes[velocityAt + i] = std::uint8_t(0x7FC00000u >> (8 * i));
    SaveStream damaged = SaveStream::OnMemory(damagedBytes.data(), std::uint32_t(damagedBytes.size()));
    EXPECT_THROW(copy.Load(&damaged), q3DError);
    EXPECT_EQ(copy.velocity, grenade.velocity);

    grenade.fuse = -1.0f;
    std::vector<std::uint8_t> spent(2048);
    SaveStream spentOut = SaveStream::OnMemory(spent.data(), 2048);
    grenade.Save(&spentOut);
    GrenadeProjectile quiet;
    SaveStream spentIn = SaveStream::OnMemory(spent.data(), spentOut.position);
    quiet.Load(&spentIn);
    EXPECT_FALSE(quiet.IsActive());
    quiet.UpdateTransform(0.1f);
    EXPECT_TRUE(explosions.empty());

    std::unique_ptr<Bullet> made(CreateSavedProjectile(100));
    EXPECT_EQ(made->GetType(), 100);
    for (int code : {-1, 0, 7, 300})
        EXPECT_EQ(ErrorText([&] { delete CreateSavedProjectile(code); }),
                  "Unknown projectile type " + std::to_string(code) + " in saved game");

    // A path that leaves the data folders is refused.
    std::strcpy(reinterpret_cast<char*>(buffer.data()) + Bullet::kBlockSize + 256, "../../etc/passwd");
    GrenadeProjectile hostile;
    SaveStream bad = SaveStream::OnMemory(buffer.data(), std::uint32_t(buffer.size()));
    EXPECT_EQ(ErrorText([&] { hostile.Load(&bad); }), "Bad path ../../etc/passwd in saved game");
}

TEST_F(GrenadeTest, HeldLongerThrowsHarderAndTheLastOneIsDropped)
{
    ItemDefinitionList definitions;
    LevelFake animations;
    animations.everyName = 0;
    LoadItemDefinitionFolder(definitions, false);
    Character soldier;
    soldier.LoadAnimationInfo();
    soldier.position = Vector3(100, 60, 100);
    auto* grenades = dynamic_cast<GrenadeItem*>(CreateItemFromDefinition(definitions.Find("Frag Grenade"), "Frag Grenade"));
    ASSERT_NE(grenades, nullptr);
    EXPECT_EQ(grenades->grenadeKind, GrenadeItem::Explosive);
    EXPECT_TRUE(grenades->IsGrenade());
    soldier.PickUpItem(grenades, true);
    soldier.SelectItem(grenades);
    grenades->magazines = 2;
    grenades->outstanding = 2;

    // A tap: 0.2 s held.
    ASSERT_TRUE(grenades->BeginUse(false));
    for (int i = 0; i < 10; ++i)
        grenades->UpdateTransform(0.02f);
    grenades->EndUse();
    ASSERT_EQ(thrown.size(), 1u);
    const float tap = static_cast<GrenadeProjectile*>(thrown[0].get())->velocity.Length();
    EXPECT_EQ(grenades->magazines, 1);
    // Held: thrown by itself after 0.8 s.
    ASSERT_TRUE(grenades->BeginUse(false));
    for (int i = 0; i < 50 && thrown.size() < 2; ++i)
        grenades->UpdateTransform(0.02f);
    ASSERT_EQ(thrown.size(), 2u);
    const float full = static_cast<GrenadeProjectile*>(thrown[1].get())->velocity.Length();
    EXPECT_NEAR(tap / full, 0.2f, 0.03f);
    // The last one thrown: the empty item leaves the hand, and goes when its grenades are done.
    EXPECT_EQ(grenades->magazines, 0);
    EXPECT_FALSE(soldier.OwnsItem(grenades));
    EXPECT_FALSE(grenades->BeginUse(false));
    thrown.clear(); // both finished: the item deletes itself
}
