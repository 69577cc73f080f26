// Rockets over a hand-placed map and the demo launcher that fires them.
#include <memory>
#include <optional>
#include <vector>

#include "app/framework/Application.h"
#include "characters/body/Character.h"
#include "characters/level/NetworkSession.h"
#include "characters/level/RunningLevel.h"
#include "engine/particle/qParticle.h"
#include "items/ItemFactory.h"
#include "items/ItemServices.h"
#include "items/NoLevelItems.h"
#include "items/RPGItem.h"
#include "items/projectiles/Rocket.h"
#include "tests/characters/LevelFake.h"
#include "tests/characters/body/CharacterFixture.h"
#include "tests/world/WorldFixture.h"

namespace {

class RocketTest : public WorldTest {
protected:
    // The level's item services as the cases see them.
    struct FakeItems : NoLevelItems {
        explicit FakeItems(RocketTest& test) : test(test) {}
        float CameraFar() override { return test.far; }
        void ApplyExplosion(const Vector3& at, int damage, float radius, Character*, bool, std::uint16_t,
                            const Vector3&, float) override
        {
            test.blasts.push_back({at, damage, radius});
        }
        void AddProjectile(Bullet* b) override { test.fired.emplace_back(b); }
        RocketTest& test;
    };
    FakeItems items{*this};
    std::optional<RunningLevel> level;
    LevelFake levelFake;

    void SetUp() override
    {
        WorldTest::SetUp();
        Application::Instance()->SetDevice(device);
        std::filesystem::create_directory_symlink(std::filesystem::path(BEXAL_DATA_DIR) / "GameData", "GameData");
        MapFile file = Terrain();
        file.placements.push_back(At(100, 80, 140)); // a box of half size 2: its face at z 138
        Load(file);
        levelFake.everyName = 0;
        level.emplace(RunningLevel::Services{.items = &items});
        shooter = std::make_unique<Character>();
        shooter->LoadAnimationInfo();
    }
    void TearDown() override
    {
        fired.clear();
        shooter->DeleteInventory();
        shooter.reset();
        level.reset();
        Application::Instance()->SetDevice(nullptr);
        WorldTest::TearDown();
    }

    struct Blast {
        Vector3 at;
        int damage;
        float radius;
    };
    std::vector<Blast> blasts;
    std::vector<std::unique_ptr<Bullet>> fired;
    std::unique_ptr<Character> shooter;
    float far = 400.0f;
};

} // namespace

TEST_F(RocketTest, SpeedAndDropByShooterAndTheBlastAtTheBox)
{
    struct Case {
        int kind;
        float speed;
        bool sinks;
    } cases[] = {{Character::EnemyKind, 240.0f, false}, {Character::SquadKind, 160.0f, true}};
    for (const Case& c : cases) {
        shooter->kind = c.kind;
        Rocket rocket(Vector3(100, 80, 20), Vector3(0, 0, 1), 300.0f, shooter.get(), 100.0f, 100.0f, 30.0f, true, nullptr);
        rocket.UpdateTransform(0.1f);
        EXPECT_NEAR(rocket.position.z - 20.0f, c.speed * 0.1f, 0.05f) << c.kind;
        EXPECT_EQ(rocket.position.y < 80.0f, c.sinks) << c.kind;
    }
    // Flies on to the box and goes off at its face; equal damage bounds give the minimum.
    shooter->kind = Character::EnemyKind;
    blasts.clear();
    Rocket rocket(Vector3(100, 80, 20), Vector3(0, 0, 1), 300.0f, shooter.get(), 500.0f, 500.0f, 30.0f, true, nullptr);
    for (int i = 0; i < 60 && !rocket.exploded; ++i)
        rocket.UpdateTransform(0.05f);
    ASSERT_TRUE(rocket.exploded);
    ASSERT_EQ(blasts.size(), 1u);
    EXPECT_NEAR(blasts[0].at.z, 138.0f, 0.01f);
    EXPECT_EQ(blasts[0].damage, 500);
    EXPECT_EQ(blasts[0].radius, 30.0f);
    EXPECT_FALSE(rocket.Draw(device));
    rocket.UpdateTransform(0.05f);
    EXPECT_FALSE(rocket.IsActive()); // no sound playing here: done at once
}

TEST_F(RocketTest, WaterSetsItOffAndTheCameraReachEndsIt)
{
    // Water stands at 10 over the top-left block of the map, the ground there lower.
    ASSERT_GT(world->GetWaterHeight(Vector3(-120, 9.5f, 120)), 9.5f);
    Rocket wet(Vector3(-120, 9.5f, 120), Vector3(1, 0, 0), 300.0f, shooter.get(), 100.0f, 200.0f, 30.0f, false, nullptr);
    wet.UpdateTransform(0.02f);
    EXPECT_TRUE(wet.exploded);
    EXPECT_GE(wet.explosionDamage, 100);
    EXPECT_LT(wet.explosionDamage, 200);

    far = 30.0f;
    blasts.clear();
    Rocket lost(Vector3(100, 150, 20), Vector3(0, 0, 1), 300.0f, shooter.get(), 100.0f, 200.0f, 30.0f, false, nullptr);
    for (int i = 0; i < 20 && lost.IsActive(); ++i)
        lost.UpdateTransform(0.05f);
    EXPECT_FALSE(lost.IsActive());
    EXPECT_FALSE(lost.exploded);
    EXPECT_TRUE(blasts.empty());
}

TEST_F(RocketTest, LauncherFiresAndReloadsAtOnce)
{
    ItemDefinitionList definitions;
    LoadItemDefinitionFolder(definitions, false);
    auto* launcher = dynamic_cast<RPGItem*>(CreateItemFromDefinition(definitions.Find("RPG"), "RPG"));
    ASSERT_NE(launcher, nullptr);
    EXPECT_TRUE(launcher->IsAntiTank());
    EXPECT_EQ(launcher->projectileType, 0);
    EXPECT_FALSE(launcher->hasLaunchEffect);
    shooter->PickUpItem(launcher, true);
    shooter->SelectItem(launcher);
    shooter->position = Vector3(100, 80, 20);
    const int magazines = launcher->magazines;
    ASSERT_TRUE(launcher->BeginUse(false));
    ASSERT_EQ(fired.size(), 1u);
    EXPECT_NE(dynamic_cast<Rocket*>(fired[0].get()), nullptr);
    EXPECT_EQ(launcher->cartridges, 1);
    EXPECT_EQ(launcher->magazines, magazines - 1);
    // The back blast fades: at 0.3 s it emits at half its rate.
    launcher->UpdateTransform(0.3f);
    EXPECT_NEAR(launcher->GetBackSmoke()->emissionRate, launcher->backSmokeRate * 0.5f, 1e-3f);

    for (int most : {0, 1}) {
        launcher->maxMagazines = most;
        EXPECT_EQ(launcher->GetDropMagazines(), most);
    }
    launcher->maxMagazines = 3;
    for (int i = 0; i < 20; ++i) {
        const int kept = launcher->GetDropMagazines();
        EXPECT_GE(kept, 1);
        EXPECT_LE(kept, 2);
    }
}
