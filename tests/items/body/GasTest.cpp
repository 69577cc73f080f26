// Smoke and tear-gas canisters over a hand-placed map.
#include <memory>
#include <optional>
#include <vector>

#include "app/framework/Application.h"
#include "characters/body/Character.h"
#include "characters/level/NetworkSession.h"
#include "characters/level/RunningLevel.h"
#include "engine/core/RandomMT.h"
#include "engine/particle/qParticle.h"
#include "items/ItemServices.h"
#include "items/NoLevelItems.h"
#include "items/projectiles/GasProjectiles.h"
#include "items/projectiles/SavedProjectiles.h"
#include "tests/characters/LevelFake.h"
#include "tests/characters/body/CharacterFixture.h"
#include "tests/world/WorldFixture.h"

namespace {

class GasTest : public WorldTest {
protected:
    // The level's item services as the cases see them.
    struct FakeItems : NoLevelItems {
        explicit FakeItems(GasTest& test) : test(test) {}
        float CameraFar() override { return 400.0f; }
        void AddEvent(const Vector3&, float radius, Character*, float, bool) override { test.events.push_back(radius); }
        GasTest& test;
    };
    FakeItems items{*this};
    std::optional<RunningLevel> level;
    LevelFake levelFake;

    void SetUp() override
    {
        WorldTest::SetUp();
        Application::Instance()->SetDevice(device);
        std::filesystem::create_directory_symlink(std::filesystem::path(BEXAL_DATA_DIR) / "GameData", "GameData");
        Load(Terrain());
        levelFake.characters = &everyone;
        level.emplace(RunningLevel::Services{.items = &items});
        seedMT(5);
    }
    void TearDown() override
    {
        people.clear();
        everyone.clear();
        level.reset();
        Application::Instance()->SetDevice(nullptr);
        WorldTest::TearDown();
    }

    Character* Add(const Vector3& at)
    {
        people.push_back(std::make_unique<Character>());
        Character* c = people.back().get();
        c->LoadAnimationInfo();
        c->position = at;
        everyone.push_back(c);
        return c;
    }

    static void Run(GasProjectile& canister, float seconds)
    {
        for (float t = 0.0f; t < seconds && canister.IsActive(); t += 0.1f)
            canister.UpdateTransform(0.1f);
    }

    std::vector<std::unique_ptr<Character>> people;
    std::vector<Character*> everyone;
    Character*& friendly = levelFake.friendly; // nobody may hurt it
    std::vector<float> events;
};

} // namespace

TEST_F(GasTest, TearGasStunsOnlyWhomItMay)
{
    const Vector3 at(40, 40, -40);
    Character* near = Add(at + Vector3(10, 0, 0));
    Character* far = Add(at + Vector3(30, 0, 0));
    Character* swimmer = Add(at + Vector3(0, 0, 10));
    swimmer->swimming = true;
    Character* dead = Add(at + Vector3(-10, 0, 0));
    dead->health = 0;
    Character* stunned = Add(at + Vector3(0, 0, -10));
    stunned->stunTime = 2.0f;
    friendly = Add(at + Vector3(5, 0, 5));
    TeargasProjectile gas(at, Vector3(0, 0, 1), 60.0f, nullptr, 0.0f, false, nullptr, "GameData/Items/Grenades/",
                          "GameData/Items/grenade-teargas/world.q3d");
    EXPECT_GE(gas.fuse, 30.0f);
    EXPECT_LT(gas.fuse, 50.0f);
    gas.resting = true; // it stays where it was dropped
    Run(gas, 1.0f);
    EXPECT_GT(near->stunTime, gas.fuse);
    EXPECT_LE(near->stunTime, gas.fuse + 5.1f);
    EXPECT_EQ(far->stunTime, 0.0f);
    EXPECT_EQ(swimmer->stunTime, 0.0f);
    EXPECT_EQ(dead->stunTime, 0.0f);
    EXPECT_FLOAT_EQ(stunned->stunTime, 2.0f); // not stunned again until it has run out
    EXPECT_EQ(friendly->stunTime, 0.0f);
}

TEST_F(GasTest, TearGasInWaterStopsAtOnceAndEndsTenSecondsLater)
{
    // Water stands at 10 over the top-left block, the ground below it.
    const Vector3 wet(-120, 9.0f, 120);
    ASSERT_GT(world->GetWaterHeight(wet), wet.y);
    Character* near = Add(wet + Vector3(5, 0, 0));
    TeargasProjectile gas(wet, Vector3(0, 0, 1), 60.0f, nullptr, 0.0f, false, nullptr, "GameData/Items/Grenades/",
                          "GameData/Items/grenade-teargas/world.q3d");
    gas.resting = true;
    gas.UpdateTransform(0.1f);
    EXPECT_FALSE(gas.IsEmitting());
    EXPECT_NEAR(gas.fuse, 10.0f, 0.11f);
    Run(gas, 9.5f);
    EXPECT_TRUE(gas.IsActive());
    Run(gas, 1.0f);
    EXPECT_FALSE(gas.IsActive());
    EXPECT_EQ(near->stunTime, 0.0f);
}

TEST_F(GasTest, SmokeIsListedReportsOneBounceAndComesBackFromItsBlock)
{
    const std::size_t before = GetSmokeClouds().size();
    std::vector<std::uint8_t> buffer(4096);
    std::uint32_t written = 0;
    {
        SmokeProjectile smoke(Vector3(40, 60, -40), Vector3(0.2f, 0.0f, 1.0f), 60.0f, nullptr, 40.0f, false, nullptr,
                              "GameData/Items/Grenades/", "GameData/Items/grenade-smoke/world.q3d");
        EXPECT_EQ(GetSmokeClouds().size(), before + 1);
        EXPECT_GE(smoke.fuse, 50.0f);
        EXPECT_LT(smoke.fuse, 90.0f);
        Run(smoke, 8.0f);
        EXPECT_GT(smoke.bounces, 1);
        EXPECT_EQ(events, std::vector<float>{60.0f}); // only the first hard bounce is heard
        EXPECT_TRUE(smoke.noiseMade);
        EXPECT_TRUE(smoke.IsEmitting());
        SaveStream out = SaveStream::OnMemory(buffer.data(), 4096);
        smoke.Save(&out);
        written = out.position;
        EXPECT_EQ(written, GrenadeProjectile::kBlockSize + 1);
    }
    EXPECT_EQ(GetSmokeClouds().size(), before);
    std::unique_ptr<Bullet> loaded(CreateSavedProjectile(101));
    SaveStream in = SaveStream::OnMemory(buffer.data(), written);
    loaded->Load(&in);
    auto* smoke = dynamic_cast<SmokeProjectile*>(loaded.get());
    ASSERT_NE(smoke, nullptr);
    EXPECT_TRUE(smoke->IsActive());
    EXPECT_TRUE(smoke->noiseMade);
    EXPECT_NE(smoke->GetCloud(), nullptr);
    EXPECT_EQ(GetSmokeClouds().size(), before + 1);
    std::unique_ptr<Bullet> gas(CreateSavedProjectile(102));
    EXPECT_EQ(gas->GetType(), 102);
}
