// The tank on the vehicle fixture's ground: its turret and gun parts, the damage it ignores, the
// shells its driver fires, the wheel step it uses up and its saved block.
#include <memory>
#include <optional>
#include <vector>

#include "characters/level/RunningLevel.h"
#include "engine/mesh/MeshNode.h"
#include "items/NoLevelItems.h"
#include "items/projectiles/Rocket.h"
#include "items/vehicles/TankVehicleItem.h"
#include "tests/items/body/VehicleFixture.h"
#include "tests/support/ErrorText.h"

namespace {

class TankTest : public VehicleTest {
protected:
    struct FakeItems : NoLevelItems {
        explicit FakeItems(TankTest& test) : test(test) {}
        void AddProjectile(Bullet* b) override { test.fired.emplace_back(b); }
        TankTest& test;
    };

    void SetUp() override
    {
        VehicleTest::SetUp();
        WriteCar("Models/tank.q3d", 4);
        WriteBox("Models/tank-turret.q3d", 15.0f);
        WriteBox("Models/tank-gun.q3d", 5.0f);
        WriteVehicleFile("Vehicles/tank.txt", kCarKeys, "Models/tank.q3d");
        level.emplace(RunningLevel::Services{.items = &items});
    }
    void TearDown() override
    {
        fired.clear();
        level.reset();
        VehicleTest::TearDown();
    }
    std::unique_ptr<TankVehicleItem> MakeTank() { return std::make_unique<TankVehicleItem>(ground, "Vehicles/tank.txt"); }

    FakeItems items{*this};
    std::optional<RunningLevel> level;
    std::vector<std::unique_ptr<Bullet>> fired;
};

} // namespace

TEST_F(TankTest, TurretAndGunStandOnTheBodyAndAMissingPartIsAnError)
{
    auto tank = MakeTank();
    EXPECT_EQ(tank->vehicleType, PassengerVehicleItem::TankType);
    EXPECT_EQ(tank->category, CarriedItem::Vehicle);
    ASSERT_NE(tank->GetTurretPart(), nullptr);
    EXPECT_EQ(tank->GetTurretPart()->GetParent(), tank->body);
    EXPECT_EQ(tank->GetGunPart()->GetParent(), tank->GetTurretPart());
    EXPECT_EQ(tank->gun.shells, TankGun::kShells);
    EXPECT_EQ(tank->gun.reloadProgress, TankGun::kReloadTime);
    // The wheel step is used up, so that the driver keeps the tank.
    EXPECT_FALSE(tank->OnSelectStep(1, 0, 0));
    EXPECT_FALSE(tank->OnSelectStep(0, 0, 0));

    std::filesystem::remove("Models/tank-gun.q3d");
    EXPECT_NE(ErrorText([&] { MakeTank(); }).find("tank-gun.q3d"), std::string::npos);
}

TEST_F(TankTest, HitsBelowTheThresholdLeaveTheArmour)
{
    auto tank = MakeTank();
    const float armor = tank->GetArmor();
    const struct {
        int amount;
        bool taken;
    } cases[] = {{0, false}, {149, false}, {150, true}, {400, true}};
    for (const auto& c : cases) {
        const float before = tank->GetArmor();
        EXPECT_EQ(tank->ApplyDamage(c.amount, Vector3(), Vector3(0, 0, 1)), c.taken) << c.amount;
        if (!c.taken)
            EXPECT_EQ(tank->GetArmor(), before) << c.amount;
    }
    EXPECT_LE(tank->GetArmor(), armor);
}

TEST_F(TankTest, TheDriverFiresShellsAlongTheTargetAfterTheLock)
{
    Character driver; // outlives the tank it drives
    driver.kind = Character::SquadKind;
    auto tank = MakeTank();
    Place(*tank, 0.0f, 0.0f);
    tank->owner = &driver;
    tank->body->Update(0.0f);
    // A target to the right: the turret needs about 3.5 s, then the lock a second.
    tank->AimAt(tank->body->position + Vector3(100.0f, 0.0f, 0.0f));
    EXPECT_FALSE(tank->BeginUse(false));
    float time = 0.0f;
    while (!tank->BeginUse(false) && time < 10.0f) {
        tank->Update(0.05f);
        time += 0.05f;
    }
    EXPECT_NEAR(time, 1.5707963f / TankGun::kTurretRate + TankGun::kLockTime, 0.2f);
    tank->Update(0.05f);
    ASSERT_EQ(fired.size(), 1u);
    auto* shell = dynamic_cast<Rocket*>(fired[0].get());
    ASSERT_NE(shell, nullptr);
    EXPECT_EQ(shell->minDamage, 800);
    EXPECT_EQ(shell->maxDamage, 1000);
    EXPECT_EQ(shell->blastRadius, 80.0f);
    EXPECT_GT(shell->Heading().x, 0.9f);
    EXPECT_EQ(tank->gun.shells, TankGun::kShells - 1);
    EXPECT_FALSE(tank->IsInUse());
    // Reloading: the trigger is refused for 8 s.
    tank->Update(7.0f);
    EXPECT_FALSE(tank->BeginUse(false));
    tank->Update(1.1f);
    EXPECT_TRUE(tank->BeginUse(false));
    tank->owner = nullptr;
}

TEST_F(TankTest, BlockRoundTripAndABadVersion)
{
    auto tank = MakeTank();
    tank->gun.AimAt(Vector3(1.0f, 0.0f, 0.0f));
    tank->gun.shells = 7;
    tank->gun.reloadProgress = 3.0f;
    std::vector<std::uint8_t> buffer(4096);
    SaveStream out = SaveStream::OnMemory(buffer.data(), std::uint32_t(buffer.size()));
    tank->Save(&out);
    buffer.resize(out.position);
    auto copy = MakeTank();
    SaveStream in = SaveStream::OnMemory(buffer.data(), std::uint32_t(buffer.size()));
    copy->Load(&in);
    EXPECT_EQ(in.position, buffer.size());
    EXPECT_EQ(copy->gun.shells, 7);
    EXPECT_EQ(copy->gun.reloadProgress, 3.0f);
    EXPECT_EQ(copy->gun.targetDirection, Vector3(1.0f, 0.0f, 0.0f));

    buffer[buffer.size() - TankGun::kBlockSize] = 5;
    SaveStream bad = SaveStream::OnMemory(buffer.data(), std::uint32_t(buffer.size()));
    EXPECT_EQ(ErrorText([&] { copy->Load(&bad); }), "Incorrection version number in TankVehicleItem block");
}
