// The mounted launcher of the demo data: manned, aimed within its limits, fired after each reload,
// left with the use key, and its saved block.
#include <memory>
#include <optional>
#include <vector>

#include "app/framework/Options.h"
#include "characters/level/RunningLevel.h"
#include "items/ItemDefinition.h"
#include "items/ItemFactory.h"
#include "items/NoLevelItems.h"
#include "items/launcher/TruckLauncherItem.h"
#include "items/projectiles/Rocket.h"
#include "tests/items/body/ItemFixture.h"
#include "tests/support/ErrorText.h"

namespace {

class HumanGunner : public Character {
public:
    int GetController() override { return 0; }
};

class TruckLauncherTest : public ItemTest {
protected:
    struct FakeItems : NoLevelItems {
        explicit FakeItems(TruckLauncherTest& test) : test(test) {}
        void AddProjectile(Bullet* b) override { test.fired.emplace_back(b); }
        float CameraFar() override { return 400.0f; }
        TruckLauncherTest& test;
    };

    void SetUp() override
    {
        ItemTest::SetUp();
        level.emplace(RunningLevel::Services{.items = &items});
        ItemDefinition definition;
        ASSERT_TRUE(LoadItemDefinition("GameData/Items/Truck_Launcher.idf", definition));
        launcher.reset(static_cast<TruckLauncherItem*>(CreateItemFromDefinition(&definition, "Truck Launcher")));
        ASSERT_NE(launcher, nullptr);
        launcher->position = Vector3(10.0f, 2.0f, 20.0f);
        gunner.LoadAnimationInfo();
        gunner.position = Vector3(0.0f, 4.0f, 0.0f);
        gunner.gravity = gunner.collides = true;
        ASSERT_TRUE(gunner.PickUpItem(&pistol, true));
        gunner.SelectItem(&pistol);
    }
    void TearDown() override
    {
        if (launcher && launcher->owner)
            gunner.DropItem(launcher.get(), launcher->position);
        gunner.DropItem(&pistol, gunner.position);
        launcher.reset();
        fired.clear();
        level.reset();
        ItemTest::TearDown();
    }
    void Man()
    {
        ASSERT_TRUE(gunner.PickUpItem(launcher.get(), true));
        gunner.SelectItem(launcher.get());
    }

    FakeItems items{*this};
    std::optional<RunningLevel> level;
    std::vector<std::unique_ptr<Bullet>> fired;
    std::unique_ptr<TruckLauncherItem> launcher;
    HumanGunner gunner;
    TestItem pistol{"Pistol", 1, CarriedItem::Weapon};
};

} // namespace

TEST_F(TruckLauncherTest, ThreePartsAndTheWeaponKinds)
{
    ASSERT_NE(launcher->GetBody(), nullptr);
    EXPECT_EQ(launcher->GetTurret()->GetParent(), launcher->GetBody());
    EXPECT_EQ(launcher->GetBarrel()->GetParent(), launcher->GetTurret());
    EXPECT_TRUE(launcher->mounted);
    EXPECT_TRUE(launcher->IsAntiTank() && launcher->IsExplosive() && launcher->IsVehicleMounted());
    EXPECT_FALSE(launcher->MovesWhenDropped() || launcher->LiesDownWhenDropped() || launcher->ExpiresWhenDropped());
    EXPECT_FLOAT_EQ(launcher->reloadTimer, launcher->GetFireInterval());
    // The barrel sits where the model put it, above the turret, whatever its parent.
    launcher->GetBody()->Update(0.0f);
    EXPECT_GT(launcher->GetBarrel()->world.GetTranslation().y, launcher->GetTurret()->world.GetTranslation().y);
}

TEST_F(TruckLauncherTest, ManningAimsWithinTheLimitsAndLeavingPutsTheGunnerBack)
{
    const Vector3 before = gunner.position;
    Man();
    EXPECT_TRUE(launcher->IsManned());
    EXPECT_EQ(launcher->previousItemID, pistol.GetID());
    EXPECT_EQ(gunner.moveMode, TruckLauncherItem::kGunnerMoveMode);
    EXPECT_EQ(gunner.posture, Character::Crouching);
    EXPECT_FALSE(gunner.gravity || gunner.collides);

    // The gunner's look since the last frame turns the launcher (a pitch up is a negative look).
    struct Case {
        float look, turn, pitch, yaw;
    } cases[] = {
        {-5.0f, 0.0f, TruckLauncherItem::kMaxPitch, 0.0f},
        {5.0f, 0.0f, TruckLauncherItem::kMinPitch, 0.0f},
        {0.0f, 5.0f, TruckLauncherItem::kMinPitch, TruckLauncherItem::kMaxYaw},
        {0.0f, -5.0f, TruckLauncherItem::kMinPitch, -TruckLauncherItem::kMaxYaw},
        {-0.1f, 0.2f, TruckLauncherItem::kMinPitch + 0.1f, 0.2f - TruckLauncherItem::kMaxYaw},
    };
    for (const Case& c : cases) {
        gunner.pitch = c.look;
        gunner.torsoYaw = c.turn;
        launcher->UpdateTransform(0.01f);
        EXPECT_NEAR(launcher->pitch, c.pitch, 1e-5f) << c.look << " " << c.turn;
        EXPECT_NEAR(launcher->yaw, c.yaw, 1e-5f) << c.look << " " << c.turn;
        EXPECT_EQ(gunner.pitch, 0.0f);
    }
    // The gunner stands behind and below the barrel's breech.
    const Vector3 barrel = launcher->GetBarrel()->world.GetTranslation();
    EXPECT_LT(gunner.position.y, barrel.y);
    EXPECT_NEAR((gunner.position - barrel).Length(), Vector3(1.1f, 3.5f, 4.7f).Length(), 0.05f);

    Options* options = Options::Instance();
    int useKey = options->GetKeyForAction(14);
    const bool bound = useKey >= 0;
    if (!bound)
        useKey = options->BindKey('E', 14) == 14 ? 'E' : -1;
    ASSERT_GE(useKey, 0);
    EXPECT_TRUE(launcher->OnKeyDown(27)); // Escape is passed on
    EXPECT_FALSE(launcher->OnKeyDown(useKey));
    if (!bound)
        options->BindKey('E', -1);
    EXPECT_FALSE(launcher->IsManned());
    EXPECT_EQ(gunner.GetHeldItem(), &pistol);
    EXPECT_EQ(launcher->owner, nullptr);
    EXPECT_EQ(levelFake.loose.front(), launcher.get());
    EXPECT_EQ(gunner.position, before);
    EXPECT_EQ(gunner.posture, Character::Standing);
    EXPECT_EQ(gunner.moveMode, 0);
    EXPECT_TRUE(gunner.gravity && gunner.collides);
    // Dropped where its body stands, not on the ground below.
    EXPECT_EQ(launcher->position, Vector3(10.0f, 2.0f, 20.0f));
    levelFake.loose.clear();
}

TEST_F(TruckLauncherTest, FiresOnlyWhenReloadedAndWithRoundsLeft)
{
    Man();
    const int rounds = launcher->cartridges;
    ASSERT_GT(rounds, 1);
    ASSERT_TRUE(launcher->BeginUse(false));
    ASSERT_EQ(fired.size(), 1u);
    auto* rocket = dynamic_cast<Rocket*>(fired[0].get());
    ASSERT_NE(rocket, nullptr);
    EXPECT_EQ(rocket->blastRadius, 30.0f);
    EXPECT_EQ(rocket->minDamage, int(launcher->GetDamage()));
    EXPECT_EQ(rocket->maxDamage, int(launcher->GetBulletValue2()));
    EXPECT_EQ(launcher->cartridges, rounds - 1);
    launcher->EndUse();

    // Just short of the interval the trigger does nothing and the reload shows.
    launcher->UpdateTransform(launcher->GetFireInterval() - 0.25f);
    EXPECT_EQ(launcher->GetReloadText(), "Reloading... 0.2");
    EXPECT_FALSE(launcher->BeginUse(false));
    launcher->UpdateTransform(0.3f);
    EXPECT_TRUE(launcher->GetReloadText().empty());
    EXPECT_TRUE(launcher->BeginUse(false));
    EXPECT_EQ(fired.size(), 2u);
    launcher->EndUse();

    launcher->cartridges = 0;
    launcher->UpdateTransform(launcher->GetFireInterval());
    EXPECT_FALSE(launcher->BeginUse(false));
    EXPECT_EQ(fired.size(), 2u);
}

TEST_F(TruckLauncherTest, BlockGoldenBytesRoundTripAndHostileBlocks)
{
    launcher->gunnerPosition = Vector3(1.0f, 2.0f, 3.0f);
    launcher->gunnerPitch = 0.25f;
    launcher->gunnerYaw = -0.5f;
    launcher->gunnerMoveMode = 0;
    launcher->gunnerPosture = 2;
    launcher->bodyPosition = Vector3(10.0f, 2.0f, 20.0f);
    launcher->bodyRotation = Quaternion(0.0f, 0.6f, 0.0f, 0.8f);
    launcher->reloadTimer = 1.5f;
    launcher->pitch = 0.125f;
    launcher->yaw = -0.25f;
    std::vector<std::uint8_t> buffer(512);
    SaveStream out = SaveStream::OnMemory(buffer.data(), std::uint32_t(buffer.size()));
    launcher->Save(&out);
    const std::uint32_t start = Item::kBlockSize + WeaponItem::kBlockSize;
    ASSERT_EQ(out.position, start + TruckLauncherItem::kBlockSize);
    buffer.resize(out.position);
    Bytes tail;
    tail.i32(1).v3(1, 2, 3).f32(0.25f).f32(-0.5f).i32(0).i32(2).v3(10, 2, 20).f32(0).f32(0.6f).f32(0).f32(0.8f)
        .f32(1.5f).f32(0.125f).f32(-0.25f);
    EXPECT_EQ(std::vector<std::uint8_t>(buffer.begin() + start, buffer.end()), tail.data);

    std::vector<std::uint8_t> saved = buffer;
    ItemDefinition definition;
    ASSERT_TRUE(LoadItemDefinition("GameData/Items/Truck_Launcher.idf", definition));
    std::unique_ptr<TruckLauncherItem> copy(
        static_cast<TruckLauncherItem*>(CreateItemFromDefinition(&definition, "Truck Launcher")));
    SaveStream in = SaveStream::OnMemory(saved.data(), std::uint32_t(saved.size()));
    copy->Load(&in);
    EXPECT_EQ(copy->gunnerPosition, Vector3(1.0f, 2.0f, 3.0f));
    EXPECT_EQ(copy->gunnerPosture, 2);
    EXPECT_EQ(copy->bodyRotation, Quaternion(0.0f, 0.6f, 0.0f, 0.8f));
    EXPECT_EQ(copy->reloadTimer, 1.5f);
    EXPECT_EQ(copy->pitch, 0.125f);
    EXPECT_EQ(copy->yaw, -0.25f);

    // Each damaged field is refused and the launcher keeps what it had.
    const std::vector<std::uint8_t> two = {2, 0, 0, 0}, nine = {9, 0, 0, 0}, nan = {0x00, 0x00, 0xC0, 0x7F},
                                    zero = {0, 0, 0, 0};
    const struct {
        std::uint32_t offset;
        std::vector<std::uint8_t> bytes;
        const char* error;
    } damages[] = {
        {0, two, "Incorrection version number in TruckLauncherItem block"},
        {8, nan, "gunner position"},
        {24, nine, "gunner move mode"},
        {28, nine, "gunner posture"},
        {56, zero, "not a unit quaternion"},
        {60, nan, "reload timer"},
        {68, nan, "yaw"},
    };
    for (const auto& [offset, bytes, error] : damages) {
        std::vector<std::uint8_t> hostile = buffer;
        std::copy(bytes.begin(), bytes.end(), hostile.begin() + start + offset);
        SaveStream damaged = SaveStream::OnMemory(hostile.data(), std::uint32_t(hostile.size()));
        EXPECT_NE(ErrorText([&] { copy->Load(&damaged); }).find(error), std::string::npos) << offset;
        EXPECT_EQ(copy->gunnerPosture, 2);
        EXPECT_EQ(copy->yaw, -0.25f);
    }
}
