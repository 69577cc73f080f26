#include "tests/physics/TestVehicles.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

const int kBackDrive[4] = {0, 1, 1, 0};

// Sets every wheel's spin (forward rolling is a negative spin).
void SetSpins(VehicleModel& model, double spin)
{
    VehicleState state;
    model.GetState(state);
    for (double& s : state.spinRates)
        s = spin;
    model.SetState(state);
}

TEST(Drivetrain, EnginePowerFollowsTheCurveAndItsLastSegmentBeyond)
{
    TestVehicle car;
    car.SetUpCar();
    // With the power scale at the curve's peak the samples come back unscaled.
    ASSERT_EQ(car.SetDrivetrain(nullptr, nullptr, 0, 40, -10, 5, 1, 0.4, 5.89, 100, kBackDrive, 0.5), 0.0);
    const struct {
        double speed, power;
    } rows[] = {{0, 0},      {153, 1.1},  {665, 5.89},       {1154, 0},         {200, 1.1 + 1.19 * 47 / 92.0},
                {1100, 2.0 - 2.0 * 64 / 118.0}, {1272, -2.0}, {-10, -1.1 * 10 / 153.0}};
    for (const auto& row : rows)
        EXPECT_NEAR(car.EnginePower(row.speed), row.power, 1e-12) << row.speed;
    car.SetDrivetrain(nullptr, nullptr, 0, 40, -10, 5, 1, 0.4, 1000.0, 100, kBackDrive, 0.5);
    EXPECT_NEAR(car.EnginePower(665), 1000.0, 1e-9);
    EXPECT_NEAR(car.EnginePower(153), 1.1 * 1000 / 5.89, 1e-9);
}

TEST(Drivetrain, FixedSpacingBuildsGearsFromTheFlanks)
{
    TestVehicle car;
    car.SetUpCar();
    EXPECT_EQ(car.SetDrivetrain(nullptr, nullptr, 0, 40, -10, 5, 1, 0.4, 60000, 100, kBackDrive, 0.5), 0.0);
    // Half power (2.945) is reached at 245 + 0.655 / 1.34 x 102 on the rising flank and at
    // 910 + 1.205 / 2.15 x 126 on the falling flank.
    const double low = 245 + 0.655 / 1.34 * 102, high = 910 + 1.205 / 2.15 * 126;
    const double top = (40 / 0.4) / high;
    EXPECT_NEAR(car.GetGearValue(5), top, 1e-12);
    for (int g = 4; g >= 1; --g)
        EXPECT_NEAR(car.GetGearValue(g), car.GetGearValue(g + 1) * low / high, 1e-12) << g;
    EXPECT_NEAR(car.GetGearValue(-1), (10 / 0.4) / high, 1e-12);
    EXPECT_EQ(car.GetGearValue(6), 0.0);
}

TEST(Drivetrain, OptimisedSpacingIsConsistentAndEnds)
{
    TestVehicle car;
    car.SetUpCar();
    const double spacing = car.SetDrivetrain(nullptr, nullptr, 0, 40, -10, 5, 1, 0.4, 60000, 100, kBackDrive, 0.0);
    ASSERT_GT(spacing, 0.5);
    ASSERT_LE(spacing, 0.99);
    EXPECT_TRUE(car.errors.empty());
    // The top gear reaches the maximum speed at the falling flank: the up-shift ratio is the
    // ratio of the flanks at the chosen spacing.
    const double ratio = car.GetGearValue(1) / car.GetGearValue(2);
    for (int g = 2; g < 5; ++g)
        EXPECT_NEAR(car.GetGearValue(g) / car.GetGearValue(g + 1), ratio, 1e-12);
    const double high = (40 / 0.4) / car.GetGearValue(5);
    EXPECT_NEAR(car.EnginePower(high) / 60000, spacing, 1e-9);
    EXPECT_NEAR(car.EnginePower(high * ratio) / 60000, spacing, 1e-9);
    // The same set-up again gives the same gears (deterministic search).
    TestVehicle again;
    again.SetUpCar();
    EXPECT_EQ(again.SetDrivetrain(nullptr, nullptr, 0, 40, -10, 5, 1, 0.4, 60000, 100, kBackDrive, 0.0), spacing);
    EXPECT_EQ(again.GetGearValue(3), car.GetGearValue(3));
}

TEST(Drivetrain, NoForwardGearsReturnMinusOne)
{
    TestVehicle car;
    car.SetUpCar();
    car.errors.clear();
    EXPECT_EQ(car.SetDrivetrain(nullptr, nullptr, 0, 40, -10, 0, 1, 0.4, 60000, 100, kBackDrive, 0.0), -1.0);
    EXPECT_TRUE(car.errors.empty());
    EXPECT_EQ(car.GetForwardGearCount(), 0);
    EXPECT_GT(car.GetGearValue(-1), 0.0);
}

TEST(Drivetrain, InvalidSetUpsAreRefusedAndChangeNothing)
{
    const double speeds[] = {0, 100, 200, 300};
    const double rising[] = {0, 1, 2, 3};
    const double lateStart[] = {0, 0, 5, 0};
    const double zero[] = {0, 0, 0, 0};
    const double negative[] = {0, 2, -1, 0};
    const double backwards[] = {0, 200, 100, 300};
    const double bell[] = {0, 4, 5, 1};
    const char* curveMessage = "VehicleModel::SetDrivetrain: the curve needs 2 to 100 finite samples with rising engine "
                               "speeds, no negative power and a positive peak.";
    const char* forwardMessage =
        "VehicleModel::SetDrivetrain: the engine curve cannot drive the vehicle to its maximum forward speed.";
    const struct {
        const char* message;
        const double* speeds;
        const double* powers;
        int count;
        double maxForward, maxReverse;
        int forward, reverse;
        double radius, scale, spacing;
    } cases[] = {
        {curveMessage, speeds, bell, 1, 40, -10, 5, 1, 0.4, 100, 0},
        {curveMessage, speeds, bell, 101, 40, -10, 5, 1, 0.4, 100, 0},
        {curveMessage, backwards, bell, 4, 40, -10, 5, 1, 0.4, 100, 0},
        {curveMessage, speeds, negative, 4, 40, -10, 5, 1, 0.4, 100, 0},
        {curveMessage, speeds, zero, 4, 40, -10, 5, 1, 0.4, 100, 0},
        {"VehicleModel::SetDrivetrain: the number of gears must be 0 to 16.", nullptr, nullptr, 0, 40, -10, 17, 1, 0.4, 100, 0},
        {"VehicleModel::SetDrivetrain: the maximum speeds must be finite and not zero.", nullptr, nullptr, 0, 0, -10, 5, 1,
         0.4, 100, 0},
        {"VehicleModel::SetDrivetrain: the maximum speeds must be finite and not zero.", nullptr, nullptr, 0, 40, 0, 5, 1,
         0.4, 100, 0},
        {"VehicleModel::SetDrivetrain: the maximum speeds are out of range for the gear search.", nullptr, nullptr, 0,
         1e-200, -10, 5, 1, 0.4, 100, 0},
        {"VehicleModel::SetDrivetrain: the wheel radius must be positive.", nullptr, nullptr, 0, 40, -10, 5, 1, 0.0, 100, 0},
        {"VehicleModel::SetDrivetrain: the engine power scale and neutral speed must be finite, the scale not negative.",
         nullptr, nullptr, 0, 40, -10, 5, 1, 0.4, NAN, 0},
        {"VehicleModel::SetDrivetrain: a fixed gear spacing must lie between 0 and 1.", nullptr, nullptr, 0, 40, -10, 5, 1,
         0.4, 100, 1.0},
        // A curve without a falling flank gives no top gear.
        {forwardMessage, speeds, rising, 4, 40, -10, 5, 1, 0.4, 100, 0},
        // No power at low engine speed: no trial ever leaves rest, yet the search ends.
        {forwardMessage, speeds, lateStart, 4, 40, -10, 5, 1, 0.4, 100, 0},
    };
    for (const auto& c : cases) {
        TestVehicle car;
        car.SetUpCar();
        const double gearBefore = car.GetGearValue(2);
        car.errors.clear();
        EXPECT_EQ(car.SetDrivetrain(c.speeds, c.powers, c.count, c.maxForward, c.maxReverse, c.forward, c.reverse, c.radius,
                                    c.scale, 100, kBackDrive, c.spacing),
                  -1.0)
            << c.message;
        ASSERT_EQ(car.errors.size(), 1u) << c.message;
        EXPECT_EQ(car.errors[0], c.message);
        EXPECT_EQ(car.GetGearValue(2), gearBefore) << c.message;
        EXPECT_EQ(car.GetForwardGearCount(), 5);
    }
}

TEST(Drivetrain, GearChoiceFollowsTheWheelSpin)
{
    TestVehicle car;
    car.SetUpCar();
    EXPECT_EQ(car.ChooseGear(), 0) << "at rest: neutral";
    // Slow forward rolling: the first gear gives the most power.
    SetSpins(car, -5.0);
    EXPECT_EQ(car.ChooseGear(), 1);
    // Fast forward rolling: a higher gear.
    SetSpins(car, -90.0);
    const int fast = car.ChooseGear();
    EXPECT_GT(fast, 2);
    // The current gear stays while it gives at least its neighbours' power.
    car.SetGear(fast);
    SetSpins(car, -91.0);
    EXPECT_EQ(car.ChooseGear(), fast);
    // Rolling backwards chooses among the reverse gears.
    SetSpins(car, 5.0);
    EXPECT_EQ(car.ChooseGear(), -1);
    // No driven wheel: neutral.
    const int none[4] = {0, 0, 0, 0};
    car.SetDrivetrain(nullptr, nullptr, 0, 40, -10, 5, 1, 0.4, 60000, 100, none, 0.5);
    SetSpins(car, -5.0);
    EXPECT_EQ(car.ChooseGear(), 0);
    EXPECT_EQ(car.GetEngineSpeed(), 0.0);
}

TEST(Drivetrain, ThrottleDrivesTheDrivenWheelsInTheGearsDirection)
{
    TestVehicle car;
    car.SetUpCar();
    SetSpins(car, -20.0);
    car.SetGear(0);
    car.SetThrottle(1.0);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(car.GetWheelDriveTorque(i), 0.0);
    EXPECT_EQ(car.GetEngineSpeed(), 100.0) << "neutral reports the idle speed";
    car.SetGear(2);
    car.SetThrottle(0.5);
    const double expected = 0.5 * car.EnginePower(20.0 / car.GetGearValue(2)) / 20.0;
    EXPECT_NEAR(car.GetWheelDriveTorque(1), expected, 1e-9);
    EXPECT_EQ(car.GetWheelDriveTorque(2), car.GetWheelDriveTorque(1));
    EXPECT_EQ(car.GetWheelDriveTorque(0), 0.0);
    EXPECT_EQ(car.GetWheelDriveTorque(3), 0.0);
    EXPECT_NEAR(car.GetEngineSpeed(), 20.0 / car.GetGearValue(2), 1e-9);
    // From rest the torque is the limit of the curve's first slope.
    SetSpins(car, 0.0);
    car.SetGear(1);
    car.SetThrottle(1.0);
    EXPECT_NEAR(car.GetWheelDriveTorque(1), 1.1 / 153 * 150000 / 5.89 / car.GetGearValue(1), 1e-9);
    // Reverse from rest takes reverse gear 1 and pushes backwards.
    car.SetReverse(1.0);
    EXPECT_EQ(car.GetGear(), -1);
    EXPECT_LT(car.GetWheelDriveTorque(1), 0.0);
    car.errors.clear();
    car.SetGear(6);
    EXPECT_EQ(car.GetGear(), -1);
    EXPECT_EQ(car.errors, std::vector<std::string>{"VehicleModel::SetGear: no such gear."});
}

}  // namespace
