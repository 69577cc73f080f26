#include "tests/physics/TestVehicles.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <numbers>

namespace {

const double nan = std::nan("");

struct CheckCase {
    const char* message;
    std::function<void(CarParameters&)> spoil;
};

TEST(VehicleSetup, FatalChecksRefuseWithTheirMessagesAndStoreNothing)
{
    const CheckCase cases[] = {
        {"gravity must have non-zero length.",
         [](CarParameters& p) {
             p.gravity = {0, 0, 0};
             p.mass = -1;  // the first check wins even when everything else is wrong too
             p.chassisTOI = {-1, 1, 1};
             p.r0.x = 0;
         }},
        {"mass should be positive", [](CarParameters& p) { p.mass = 0; }},
        {"mass should be positive", [](CarParameters& p) { p.frontWheelMass = -2; }},
        {"mass should be positive", [](CarParameters& p) { p.backWheelMass = nan; }},
        {"chassis_TOI cannot be negative.", [](CarParameters& p) { p.chassisTOI.y = -1; }},
        {"front_wheel_TOI cannot be negative.", [](CarParameters& p) { p.frontWheelTOI.z = -0.1; }},
        {"back_wheel_TOI cannot be negative.", [](CarParameters& p) { p.backWheelTOI.x = -0.1; }},
        {"chassis_TOI does not follow triangle rule.", [](CarParameters& p) { p.chassisTOI = {1, 1, 3}; }},
        {"front_wheel_TOI does not follow triangle rule.", [](CarParameters& p) { p.frontWheelTOI = {0.1, 0.8, 1.6}; }},
        {"back_wheel_TOI does not follow triangle rule.", [](CarParameters& p) { p.backWheelTOI = {3, 0.8, 1.6}; }},
        {"r0[0] must not be zero.", [](CarParameters& p) { p.r0.x = 0; }},
        {"r0[2] must not be zero.", [](CarParameters& p) { p.r0.z = 0; }},
        {"r1[0] must not be zero.", [](CarParameters& p) { p.r1.x = 0; }},
        {"r1[2] must not be zero.", [](CarParameters& p) { p.r1.z = 0; }},
        // Values the set-up and the step would divide by, or that are not numbers.
        {"body parameters must be finite numbers.", [](CarParameters& p) { p.gravity.y = nan; }},
        {"body parameters must be finite numbers.", [](CarParameters& p) { p.r1.y = INFINITY; }},
        {"body parameters must be finite numbers.", [](CarParameters& p) { p.chassisTOI = {INFINITY, INFINITY, INFINITY}; }},
        {"front wheel radius must be positive.", [](CarParameters& p) { p.frontRadius = 0; }},
        {"back wheel radius must be positive.", [](CarParameters& p) { p.backRadius = -0.4; }},
        {"front_wheel_TOI[2] must be positive.", [](CarParameters& p) { p.frontWheelTOI = {0.8, 0.8, 0}; }},
        {"back_wheel_TOI[2] must be positive.", [](CarParameters& p) { p.backWheelTOI = {0.8, 0.8, 0}; }},
        {"r0[0] and r1[0] must differ.", [](CarParameters& p) { p.r1.x = p.r0.x; }},
    };
    for (const CheckCase& c : cases) {
        TestVehicle car;
        CarParameters good;
        ASSERT_EQ(good.Apply(car), 1);
        const double massBefore = car.GetMass();
        const double radiusBefore = car.GetWheelRadius(0);
        car.errors.clear();
        car.warnings.clear();
        CarParameters bad;
        c.spoil(bad);
        EXPECT_EQ(bad.Apply(car), 0) << c.message;
        ASSERT_EQ(car.errors.size(), 1u) << c.message;
        EXPECT_EQ(car.errors[0], c.message);
        EXPECT_TRUE(car.warnings.empty()) << c.message;
        EXPECT_EQ(car.GetMass(), massBefore) << c.message;
        EXPECT_EQ(car.GetWheelRadius(0), radiusBefore) << c.message;
    }
}

TEST(VehicleSetup, TriangleRuleAcceptsTheDegenerateEdge)
{
    TestVehicle car;
    CarParameters p;
    p.chassisTOI = {1000, 1000, 2000};
    EXPECT_EQ(p.Apply(car), 1);
}

TEST(VehicleSetup, WarningsCarryTheirTextsAndDoNotStop)
{
    const struct {
        std::vector<std::string> expected;
        std::function<void(CarParameters&)> change;
    } cases[] = {
        {{}, [](CarParameters&) {}},
        {{"r0[0] and r1[0] should be of different signs."}, [](CarParameters& p) { p.r1.x = 1.2; }},
        {{"r0[1] and r1[1] should be of the same signs."}, [](CarParameters& p) { p.r0.y = 0.1; }},
        {{"r0[2] and r1[2] should be of the same signs."}, [](CarParameters& p) { p.r1.z = -0.8; }},
        {{"Center of wheel_mass seems to lie too far from the geometric center of wheels."},
         [](CarParameters& p) { p.r0.x = 3.1; }},
        {{"chassis_TOI[0] seems to be too small"}, [](CarParameters& p) { p.chassisTOI = {10, 1800, 1795}; }},
        {{"chassis_TOI[2] seems to be too large"}, [](CarParameters& p) { p.chassisTOI = {500, 20100, 20100}; }},
        {{"front_wheel_TOI[0] should be equal to front_wheel_TOI[1], front_wheel_TOI[0] used"},
         [](CarParameters& p) { p.frontWheelTOI = {0.8, 0.9, 1.6}; }},
        {{"back_wheel_TOI[0] should be equal to back_wheel_TOI[1], back_wheel_TOI[0] used"},
         [](CarParameters& p) { p.backWheelTOI = {0.9, 0.8, 1.6}; }},
        {{"front_wheel_mass of wheel does not seem to be much smaller than mass of the chassis."},
         [](CarParameters& p) { p.frontWheelMass = 300; }},
        {{"back_wheel_mass of wheel does not seem to be much smaller than mass of the chassis."},
         [](CarParameters& p) { p.backWheelMass = 240.01; }},
        {{"front_wheel_TOI of wheel does not seem to be much smaller than chassis_TOI of the chassis."},
         [](CarParameters& p) { p.frontWheelTOI = {101, 101, 1.6}; }},
        {{"back_wheel_TOI of wheel does not seem to be much smaller than chassis_TOI of the chassis."},
         [](CarParameters& p) { p.backWheelTOI = {101, 101, 2}; }},
    };
    for (const auto& c : cases) {
        TestVehicle car;
        CarParameters p;
        c.change(p);
        EXPECT_EQ(p.Apply(car), 1);
        EXPECT_EQ(car.warnings, c.expected);
        EXPECT_TRUE(car.errors.empty());
    }
}

TEST(VehicleSetup, UnequalInPlaneMomentsUseTheFirst)
{
    TestVehicle equal, unequal;
    CarParameters p;
    p.Apply(equal);
    p.frontWheelTOI = {0.8, 1.0, 1.6};
    p.Apply(unequal);
    EXPECT_EQ(unequal.GetInertia(), equal.GetInertia());
}

TEST(VehicleSetup, DerivedQuantitiesMatchHandWorkedValues)
{
    // The standard car: chassis 1200 with wheels of 20 at (+-1.5, -0.5, +-0.8), radius 0.4,
    // chassis moments (500, 2000, 1800), wheel moments (0.8, 0.8, 1.6).
    TestVehicle car;
    ASSERT_EQ(CarParameters{}.Apply(car), 1);
    EXPECT_DOUBLE_EQ(car.GetMass(), 1280.0);  // 1200 + 4 x 20
    // Ix = 2 (20 (0.25 + 0.64) x 2) + 4 x 0.8 + 500; Iy = 2 (20 (0.64 + 2.25) x 2) + 3.2 + 2000;
    // Iz = 2 (20 (0.25 + 2.25) x 2) + 1800.
    EXPECT_NEAR(car.GetInertia().x, 574.4, 1e-9);
    EXPECT_NEAR(car.GetInertia().y, 2234.4, 1e-9);
    EXPECT_NEAR(car.GetInertia().z, 2000.0, 1e-9);
    const struct {
        const char* name;
        double (VehicleModel::*get)(int) const;
        double expected;
    } rows[] = {
        {"static load 1280 x 1.5 / 2 / 3", &VehicleModel::GetWheelStaticLoad, 320.0},
        {"vertical mass 1 / (1/1280 + 2.25/2000 + 0.64/574.4)", &VehicleModel::GetWheelVerticalMass, 331.075823510764},
        {"lateral mass 1 / (1/1280 + 2.25/2234.4 + 0.81/574.4)", &VehicleModel::GetWheelLateralMass, 312.6564385299605},
        {"longitudinal mass 1 / (1/1280 + 0.64/2234.4 + 0.81/2000)", &VehicleModel::GetWheelLongitudinalMass,
         679.0339750990485},
        {"rolling mass 1 / (1/679.03... + 0.16/1.6)", &VehicleModel::GetWheelRollingMass, 9.854869275516311},
        {"stiffness 9.81 x 320 / (0.4/3)", &VehicleModel::GetWheelStiffness, 23544.0},
        {"damping 2 sqrt(23544 x 331.07...)", &VehicleModel::GetWheelDamping, 5583.851426654341},
        {"spin inertia", &VehicleModel::GetWheelSpinInertia, 1.6},
    };
    for (const auto& row : rows)
        for (int i = 0; i < 4; ++i)
            EXPECT_NEAR((car.*row.get)(i), row.expected, 1e-9 * row.expected) << row.name << " wheel " << i;
    double critical[4];
    car.GetCriticalDamping(critical);
    EXPECT_NEAR(critical[2], 5583.851426654341, 1e-9);
    // The wheels' periods 2 pi sqrt(331.07 / 23544) are shorter than the chassis' 2 pi sqrt(40 x 0.4 / 9.81).
    EXPECT_NEAR(car.SuggestedTimeStep(), 0.07450809811720252, 1e-12);
}

TEST(VehicleSetup, LoadSharesFollowTheWheelbaseAndMomentsAreRaised)
{
    TestVehicle car;
    CarParameters p;
    p.r0 = {1.0, -0.5, 0.8};
    p.r1 = {-2.0, -0.5, 0.8};
    p.chassisTOI = {50, 2000, 1950};  // too small about x for the track: raised by the set-up
    ASSERT_EQ(p.Apply(car), 1);
    // Front wheels carry 1280 x 2 / 2 / 3, back wheels 1280 x 1 / 2 / 3.
    EXPECT_NEAR(car.GetWheelStaticLoad(0), 1280.0 / 3, 1e-9);
    EXPECT_NEAR(car.GetWheelStaticLoad(1), 1280.0 / 6, 1e-9);
    // Ix = 2 (20 x 0.89 x 2) + 3.2 + 50 = 124.4 < 2 x 426.67 x 0.64 = 546.13.
    EXPECT_NEAR(car.GetInertia().x, 2 * (1280.0 / 3) * 0.64, 1e-9);
}

TEST(VehicleSetup, StifferSuspensionSuggestsASmallerStep)
{
    TestVehicle soft, stiff;
    CarParameters p;
    p.Apply(soft);
    p.Apply(stiff);
    for (int i = 0; i < 4; ++i)
        stiff.SetWheelStiffness(i, 4 * soft.GetWheelStiffness(i));
    EXPECT_NEAR(stiff.SuggestedTimeStep(), soft.SuggestedTimeStep() / 2, 1e-12);
}

TEST(VehicleSetup, WheelSettersRefuseValuesThatWouldBreakTheStep)
{
    TestVehicle car;
    car.SetUpCar();
    car.errors.clear();
    car.SetWheelStiffness(0, 0.0);
    car.SetWheelDamping(1, -1.0);
    car.SetWheelFriction(2, nan);
    car.SetWheelBrakeTorque(3, INFINITY);
    car.SetWheelDriveTorque(4, 1.0);
    const std::vector<std::string> expected = {
        "VehicleModel::SetWheelStiffness: the stiffness must be positive and finite.",
        "VehicleModel::SetWheelDamping: the damping must be finite and not negative.",
        "VehicleModel::SetWheelFriction: the friction coefficient must be finite and not negative.",
        "VehicleModel::SetWheelBrakeTorque: the torque is not finite; it was refused.",
        "VehicleModel::SetWheelDriveTorque: wheel index out of range.",
    };
    EXPECT_EQ(car.errors, expected);
    EXPECT_GT(car.GetWheelStiffness(0), 0.0);
    EXPECT_EQ(car.GetWheelFriction(2), 2.5);
}

}  // namespace
