// The tank's turret and gun: traverse and elevation rates and limits, the lock, reload and shell
// rules of firing, and the saved part of the tank's block.
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/serial/SaveStream.h"
#include "items/vehicles/TankGun.h"
#include "tests/support/ErrorText.h"

namespace {

constexpr float kStep = 0.01f;

// Steps until both are aligned (at most a minute); the time it took.
float StepUntilAligned(TankGun& gun)
{
    float time = 0.0f;
    while (!(gun.turretAligned && gun.gunAligned) && time < 60.0f) {
        gun.Step(kStep);
        time += kStep;
    }
    return time;
}

} // namespace

TEST(TankGunTest, TheTurretTraversesAtItsRateToEitherSide)
{
    const struct {
        Vector3 target;
        float seconds, yaw;
    } cases[] = {
        {{0.0f, 0.0f, -1.0f}, 3.14159265f / 0.45f, 3.14159265f},
        {{1.0f, 0.0f, 0.0f}, 1.5707963f / 0.45f, 1.5707963f},
        {{-1.0f, 0.0f, 0.0f}, 1.5707963f / 0.45f, -1.5707963f},
        {{0.0f, 0.0f, 1.0f}, 0.0f, 0.0f},
    };
    for (const auto& c : cases) {
        TankGun gun;
        gun.AimAt(c.target);
        EXPECT_FALSE(gun.turretAligned);
        const float time = StepUntilAligned(gun);
        EXPECT_NEAR(time, c.seconds, 0.05f) << c.target.x << " " << c.target.z;
        EXPECT_NEAR(std::fabs(gun.turretYaw), std::fabs(c.yaw), 0.011f);
        if (c.yaw != 3.14159265f)
            EXPECT_NEAR(gun.turretYaw, c.yaw, 0.011f);
        EXPECT_NEAR(gun.turretForward.x, c.target.x, 0.011f);
        EXPECT_NEAR(gun.turretForward.z, c.target.z, 0.011f);
    }
}

TEST(TankGunTest, TheGunElevatesWithinItsLimits)
{
    const struct {
        Vector3 target;
        float elevation;
    } cases[] = {
        {{0.0f, 10.0f, 1.0f}, TankGun::kHighestElevation},
        {{0.0f, -10.0f, 1.0f}, TankGun::kLowestElevation},
        {{0.0f, std::tan(0.3f), 1.0f}, -0.3f},
        {{0.0f, -std::tan(0.1f), 1.0f}, 0.1f},
        // Behind and above: the turret turns first, then the gun rises.
        {{0.0f, std::tan(0.3f), -1.0f}, -0.3f},
    };
    for (const auto& c : cases) {
        TankGun gun;
        gun.AimAt(c.target);
        StepUntilAligned(gun);
        ASSERT_TRUE(gun.turretAligned && gun.gunAligned);
        EXPECT_NEAR(gun.gunElevation, c.elevation, 0.011f) << c.target.y;
        EXPECT_GE(gun.gunElevation, TankGun::kHighestElevation);
        EXPECT_LE(gun.gunElevation, TankGun::kLowestElevation);
    }
    // The gun's line meets a reachable target.
    TankGun gun;
    Vector3 target(0.5f, 0.2f, -0.6f);
    gun.AimAt(target);
    StepUntilAligned(gun);
    target.Normalize();
    const Vector3 line = gun.GunDirectionInBody();
    EXPECT_GT(line.x * target.x + line.y * target.y + line.z * target.z, 0.999f);
}

TEST(TankGunTest, ShotsWaitForTheLockAndTheReloadAndNeedShells)
{
    TankGun gun;
    gun.AimAt(Vector3(0.0f, 0.0f, 1.0f));
    EXPECT_FALSE(gun.BeginUse(false, false)); // locking
    for (int i = 0; i < 99; ++i)
        EXPECT_FALSE(gun.Step(kStep));
    EXPECT_FALSE(gun.BeginUse(false, false));
    gun.Step(0.05f);
    ASSERT_TRUE(gun.BeginUse(false, false));
    EXPECT_TRUE(gun.Step(kStep));
    EXPECT_EQ(gun.shells, TankGun::kShells - 1);
    EXPECT_EQ(gun.reloadProgress, 0.0f);
    EXPECT_FALSE(gun.triggerHeld);

    // The next unforced shot needs the whole reload.
    gun.Step(7.9f);
    EXPECT_FALSE(gun.BeginUse(false, false));
    gun.Step(0.2f);
    EXPECT_TRUE(gun.BeginUse(false, false));
    EXPECT_TRUE(gun.Step(kStep));

    // A forced shot goes at once; an enemy driver's trigger ends the lock.
    EXPECT_TRUE(gun.BeginUse(true, false));
    EXPECT_TRUE(gun.Step(kStep));
    gun.reloadProgress = TankGun::kReloadTime;
    gun.AimAt(Vector3(0.0f, 0.0f, 1.0f));
    gun.Step(kStep);
    EXPECT_TRUE(gun.BeginUse(false, true));
    EXPECT_EQ(gun.lockTimer, 0.0f);
    EXPECT_TRUE(gun.Step(kStep));

    gun.shells = 0;
    EXPECT_TRUE(gun.BeginUse(true, false));
    EXPECT_FALSE(gun.Step(kStep));
    EXPECT_EQ(gun.shells, 0);
}

TEST(TankGunTest, BlockGoldenBytesRoundTripAndHostileBlocks)
{
    TankGun gun;
    gun.AimAt(Vector3(0.0f, 0.0f, -1.0f));
    gun.turretYaw = 3.14159265f;
    gun.turretForward = Vector3(0.0f, 0.0f, -1.0f);
    gun.gunElevation = 0.0f;
    gun.turretAligned = true;
    gun.reloadProgress = 2.5f;
    gun.turretMovingTime = 0.5f;
    gun.turretIdleTime = 0.25f;
    gun.shells = 42;
    gun.crosshairX = 320;
    gun.crosshairY = 170;
    std::vector<std::uint8_t> buffer(256);
    SaveStream out = SaveStream::OnMemory(buffer.data(), std::uint32_t(buffer.size()));
    gun.Save(&out);
    ASSERT_EQ(out.position, TankGun::kBlockSize);
    buffer.resize(out.position);
    auto f32At = [&](std::size_t offset) {
        float v;
        std::memcpy(&v, buffer.data() + offset, 4);
        return v;
    };
    auto i32At = [&](std::size_t offset) {
        return std::int32_t(buffer[offset] | buffer[offset + 1] << 8 | buffer[offset + 2] << 16 |
                            std::uint32_t(buffer[offset + 3]) << 24);
    };
    EXPECT_EQ(i32At(0), 1);
    EXPECT_EQ(f32At(12), -1.0f);  // target z
    EXPECT_EQ(f32At(24), -1.0f);  // turret forward z
    EXPECT_EQ(f32At(36), 1.0f);   // gun forward z
    EXPECT_EQ(buffer[44], 1);     // turret aligned
    EXPECT_EQ(buffer[45], 0);     // gun aligned
    EXPECT_NEAR(f32At(46 + 32), -1.0f, 1e-6f); // the turret rotation's last element
    EXPECT_EQ(f32At(82 + 32), 1.0f);           // the gun rotation's last element
    EXPECT_EQ(f32At(118), 2.5f);
    EXPECT_EQ(f32At(122), 0.5f);
    EXPECT_EQ(f32At(126), 0.25f);
    EXPECT_EQ(i32At(130), 42);
    EXPECT_EQ(f32At(134), 0.5f);
    EXPECT_EQ(f32At(138), 0.25f);
    EXPECT_EQ(i32At(142), 320);
    EXPECT_EQ(i32At(146), 170);

    TankGun copy;
    SaveStream in = SaveStream::OnMemory(buffer.data(), std::uint32_t(buffer.size()));
    copy.Load(&in);
    EXPECT_NEAR(std::fabs(copy.turretYaw), 3.14159265f, 1e-5f);
    EXPECT_EQ(copy.shells, 42);
    EXPECT_EQ(copy.reloadProgress, 2.5f);
    EXPECT_TRUE(copy.turretAligned);
    EXPECT_FALSE(copy.gunAligned);
    EXPECT_EQ(copy.crosshairY, 170);

    const std::vector<std::uint8_t> two = {2, 0, 0, 0}, nan = {0x00, 0x00, 0xC0, 0x7F}, zero = {0, 0, 0, 0},
                                    negative = {0xFF, 0xFF, 0xFF, 0xFF}, big = {0x00, 0x00, 0x80, 0x3F};
    const struct {
        std::size_t offset;
        std::vector<std::uint8_t> bytes;
        const char* error;
    } damages[] = {
        {0, two, "Incorrection version number in TankVehicleItem block"},
        {12, zero, "not a unit vector"},
        {28, nan, "gun forward"},
        {40, big, "gun elevation in the TankVehicleItem block is out of range"},
        {46, zero, "not a rotation"},
        {118, nan, "reload progress"},
        {130, negative, "Incorrect shell count -1"},
    };
    for (const auto& [offset, bytes, error] : damages) {
        std::vector<std::uint8_t> hostile = buffer;
        std::copy(bytes.begin(), bytes.end(), hostile.begin() + std::ptrdiff_t(offset));
        SaveStream damaged = SaveStream::OnMemory(hostile.data(), std::uint32_t(hostile.size()));
        EXPECT_NE(ErrorText([&] { copy.Load(&damaged); }).find(error), std::string::npos) << offset;
        EXPECT_EQ(copy.shells, 42);
    }
}
