#include "tests/physics/TestVehicles.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <numbers>

namespace {

const PlaneGround kFlat({0.0, 1.0, 0.0}, 0.0);

// A ground given by a function, for contacts the plain grounds do not make.
class CustomGround : public Ground {
public:
    explicit CustomGround(std::function<void(VehicleModel&, int)> add) : add(std::move(add)) {}
    void AddContacts(VehicleModel& model, int wheel) const override { add(model, wheel); }
    std::function<void(VehicleModel&, int)> add;
};

void ExpectSameState(const VehicleModel& a, const VehicleModel& b)
{
    VehicleState sa, sb;
    a.GetState(sa);
    b.GetState(sb);
    EXPECT_EQ(sa.position, sb.position);
    EXPECT_EQ(sa.orientation, sb.orientation);
    EXPECT_EQ(sa.linearVelocity, sb.linearVelocity);
    EXPECT_EQ(sa.angularVelocity, sb.angularVelocity);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(sa.spinRates[i], sb.spinRates[i]);
        EXPECT_EQ(sa.rollAngles[i], sb.rollAngles[i]);
    }
}

TEST(VehicleStep, ZeroStepAppliesPendingImpulsesOnly)
{
    TestVehicle car(&kFlat);
    car.SetUpCar();
    car.PlaceAtRest();
    car.Step(car.SuggestedTimeStep());
    VehicleState before;
    car.GetState(before);
    const double height = car.GetWheelHeight(1);
    car.AddAngularImpulse({0, 20, 0});
    car.AddWheelSpinImpulse(2, 3.2);
    car.Step(0.0);
    VehicleState after;
    car.GetState(after);
    EXPECT_EQ(after.position, before.position);
    EXPECT_EQ(after.orientation, before.orientation);
    EXPECT_EQ(after.linearVelocity, before.linearVelocity);
    EXPECT_NEAR(after.angularVelocity.y - before.angularVelocity.y, 20.0 / car.GetInertia().y, 1e-12);
    EXPECT_NEAR(after.spinRates[2] - before.spinRates[2], 3.2 / 1.6, 1e-12);
    EXPECT_EQ(after.rollAngles[2], before.rollAngles[2]);
    EXPECT_EQ(car.GetWheelHeight(1), height);
    // The impulse is used once.
    car.Step(0.0);
    VehicleState again;
    car.GetState(again);
    EXPECT_EQ(again.spinRates[2], after.spinRates[2]);
    EXPECT_EQ(again.angularVelocity, after.angularVelocity);
}

TEST(VehicleStep, WithAllWheelsInTheAirTheBodyFollowsRungeKutta)
{
    TestVehicle car(nullptr);
    car.SetUpCar();
    RigidBody body;
    body.SetMassProperties(car.GetMass(), car.GetInertia());
    body.SetGravity(car.GetGravity());
    VehicleState state;
    state.position = {0, 50, 0};
    state.linearVelocity = {3, 1, 0};
    state.angularVelocity = {0.2, -0.1, 0.4};
    car.SetState(state);
    body.SetState(state);
    const double dt = 0.02;
    for (int n = 0; n < 100; ++n) {
        car.Step(dt);
        body.IntegrateRK4(dt, 0);
    }
    RigidBodyState a, b;
    car.GetState(a);
    body.GetState(b);
    EXPECT_EQ(a.position, b.position);
    EXPECT_EQ(a.orientation, b.orientation);
    EXPECT_EQ(a.linearVelocity, b.linearVelocity);
    EXPECT_EQ(a.angularVelocity, b.angularVelocity);
    EXPECT_EQ(car.GetWheelContactState(), -1);
}

TEST(VehicleStep, FreeWheelsSpinOnlyByDriveAndBrake)
{
    TestVehicle car(nullptr);
    car.SetUpCar();
    car.SetDampingTimes(0.0, 0.0);
    car.SetGravity({0, 0, 0});
    const double dt = 0.01;
    car.SetWheelDriveTorque(1, 16.0);
    for (int n = 0; n < 10; ++n)
        car.Step(dt);
    EXPECT_NEAR(car.GetWheelSpinRate(1), -16.0 / 1.6 * 0.1, 1e-12);
    EXPECT_EQ(car.GetWheelSpinRate(0), 0.0);
    // A brake stops the spin and never turns it round.
    car.SetWheelDriveTorque(1, 0.0);
    car.SetWheelBrakeTorque(1, 8.0);
    car.Step(dt);
    EXPECT_NEAR(car.GetWheelSpinRate(1), -1.0 + 8.0 / 1.6 * dt, 1e-12);
    for (int n = 0; n < 40; ++n)
        car.Step(dt);
    EXPECT_EQ(car.GetWheelSpinRate(1), 0.0);
}

TEST(VehicleStep, HoldingASpinningWheelHandsItsMomentumToTheBody)
{
    TestVehicle car(nullptr);
    car.SetUpCar();
    car.SetDampingTimes(0.0, 0.0);
    car.SetGravity({0, 0, 0});
    VehicleState state;
    car.GetState(state);
    state.spinRates[1] = 10.0;
    car.SetState(state);
    car.SetWheelHold(1, 1);
    car.Step(1e-4);
    EXPECT_EQ(car.GetWheelSpinRate(1), 0.0);
    // The wheel's 1.6 x 10 about its axle (the body's z axis) is now the body's.
    Matrix3d r = car.GetOrientationMatrix();
    Vector3d local = r.Multiply(car.GetAngularVelocity());
    const Vector3d inertia = car.GetInertia();
    Vector3d momentum = r.TransposeMultiply({local.x * inertia.x, local.y * inertia.y, local.z * inertia.z});
    EXPECT_NEAR(momentum.z, 16.0, 1e-6);
    EXPECT_NEAR(momentum.x, 0.0, 1e-6);
    car.Step(1e-4);
    EXPECT_EQ(car.GetWheelSpinRate(1), 0.0);
}

TEST(VehicleStep, TwoContactsOfAWheelMergeOneRadiusFromItsCentre)
{
    Vector3d centre;
    const CustomGround twoPoints([&](VehicleModel& model, int wheel) {
        if (wheel != 0)
            return;
        centre = model.GetWheelPosition(0);
        model.AddWheelContact(0, {0, 1, 0}, centre + Vector3d{0.3, -0.3, 0.1}, 0.1);
        model.AddWheelContact(0, Normalized({-1, 1, 0}), centre + Vector3d{-0.2, -0.35, 0.05}, 0.3);
    });
    TestVehicle car(&twoPoints);
    car.SetUpCar();
    car.PlaceAtRest();
    car.Step(0.01);
    ASSERT_EQ(car.GetWheelContactCount(0), 1);
    const WheelContact& merged = car.GetWheelContact(0, 0);
    // Weighted 1:3, the axle component (z here) dropped.
    Vector3d mean = Vector3d{0.3, -0.3, 0.1} * 0.25 + Vector3d{-0.2, -0.35, 0.05} * 0.75;
    mean.z = 0.0;
    const Vector3d expected = centre + Normalized(mean) * 0.4;
    EXPECT_NEAR(Length(merged.point - expected), 0.0, 1e-12);
    EXPECT_NEAR(Length(merged.normal), 1.0, 1e-12);
    // The deepest projection of the contact depths on the merged normal.
    EXPECT_NEAR(merged.depth, std::max(Dot(merged.normal, {0, 1, 0}) * 0.1, Dot(merged.normal, Normalized({-1, 1, 0})) * 0.3),
                1e-12);
}

TEST(VehicleStep, BrakingAWheelWithoutContactTreatsItAsFree)
{
    // Ground under three wheels only; wheel 3 hangs in the air.
    const CustomGround threeWheels([](VehicleModel& model, int wheel) {
        if (wheel != 3)
            kFlat.AddContacts(model, wheel);
    });
    TestVehicle car(&threeWheels);
    car.SetUpCar();
    car.PlaceAtRest();
    VehicleState state;
    car.GetState(state);
    state.spinRates[3] = -20.0;
    car.SetState(state);
    car.SetWheelBrakeTorque(3, 16.0);
    const double dt = 0.01;
    car.Step(dt);
    EXPECT_EQ(car.GetWheelGroundContact(3), -1);
    EXPECT_NEAR(car.GetWheelSpinRate(3), -20.0 + 16.0 / 1.6 * dt, 1e-6);
    car.SetWheelBrakeTorque(3, 1e6);
    car.Step(dt);
    EXPECT_EQ(car.GetWheelSpinRate(3), 0.0) << "stopped, not reversed";
    EXPECT_TRUE(car.errors.empty());
}

TEST(VehicleStep, SteeringSetsAckermannAngles)
{
    TestVehicle car(&kFlat);
    car.SetUpCar();
    const double wheelbase = 3.0, halfTrack = 0.8;
    car.SetSteerAngle(0.0);
    EXPECT_EQ(car.GetWheelSteerAngle(0), 0.0);
    EXPECT_EQ(car.GetWheelSteerAngle(3), 0.0);
    for (double a : {0.1, 0.4, -0.25, 1.5, -1.5}) {
        car.SetSteerAngle(a);
        const int outer = a > 0 ? 3 : 0, inner = a > 0 ? 0 : 3;
        EXPECT_EQ(car.GetWheelSteerAngle(outer), a);
        const double v = car.GetWheelSteerAngle(inner);
        EXPECT_GT(std::fabs(v), std::fabs(a)) << a;
        EXPECT_GT(v * a, 0.0) << a;
        // Both axle lines meet on the back axle line.
        const double sigma = a > 0 ? 1.0 : -1.0;
        EXPECT_NEAR(1 / std::tan(v), 1 / std::tan(a) - 2 * sigma * halfTrack / wheelbase, 1e-9) << a;
        EXPECT_EQ(car.GetWheelSteerAngle(1), 0.0);
    }
    car.SetSteerAngle(0.1);
    const double w0 = car.GetWheelSteerAngle(0);
    car.SetSteerAngle(2 * std::numbers::pi + 0.1);
    EXPECT_NEAR(car.GetWheelSteerAngle(0), w0, 1e-12);
    EXPECT_NEAR(car.GetWheelSteerAngle(3), 0.1, 1e-12);
}

TEST(VehicleStep, TheStraightFormServesSteeringWithinAThousandth)
{
    // The first step from rest with back-wheel drive: the straight form gives wheel 3 no lateral
    // force; the steered form's least-squares distribution does.
    for (const auto& [steer, straight] : {std::pair{0.001, true}, {-0.001, true}, {0.0011, false}}) {
        TestVehicle car(&kFlat);
        car.SetUpCar();
        car.PlaceAtRest();
        car.SetSteerAngle(steer);
        car.SetWheelDriveTorque(1, 300.0);
        car.SetWheelDriveTorque(2, 300.0);
        car.Step(car.SuggestedTimeStep());
        ASSERT_TRUE(car.WasSolvedByFourWheelCase());
        // The rolling solve's own distribution, before the tyre solve holds the slightly steered
        // wheels on their tracks.
        const double lateral = car.GetWheelRollingForce(3).z;  // the body started level and straight
        if (straight)
            EXPECT_NEAR(lateral, 0.0, 1e-9) << steer;
        else
            EXPECT_GT(std::fabs(lateral), 1e-3) << steer;
    }
}

TEST(VehicleStep, IdenticalVehiclesStayBitIdentical)
{
    const StepGround step(12.0, 0.15);
    auto script = [](TestVehicle& car, int n) {
        const int gear = car.ChooseGear();
        car.SetGear(gear > 0 ? gear : 1);
        car.SetSteerAngle(n < 300 ? 0.0 : 0.2 * std::sin(n * 0.01));
        car.SetThrottle(n < 700 ? 0.4 : 0.0);
        for (int i = 0; i < 4; ++i)
            car.SetWheelBrakeTorque(i, n < 700 ? 0.0 : 1500.0);
    };
    TestVehicle first(&step), second(&step);
    first.SetUpCar();
    second.SetUpCar();
    first.PlaceAtRest();
    second.PlaceAtRest();
    const double dt = first.SuggestedTimeStep() / 4;
    for (int n = 0; n < 1000; ++n) {
        script(first, n);
        script(second, n);
        first.Step(dt);
        second.Step(dt);
    }
    ExpectSameState(first, second);
    EXPECT_GT(first.GetPosition().x, 12.0);
    // A third vehicle set up after the others have run follows the same path: no hidden state.
    TestVehicle third(&step);
    third.SetUpCar();
    third.PlaceAtRest();
    for (int n = 0; n < 1000; ++n) {
        script(third, n);
        third.Step(dt);
    }
    ExpectSameState(first, third);
}

TEST(VehicleStep, NoEnergyGainInFreeMotion)
{
    // In the air: a tumbling body with spinning wheels, no damping.
    {
        TestVehicle car(nullptr);
        car.SetUpCar();
        car.SetDampingTimes(0.0, 0.0);
        VehicleState state;
        state.position = {0, 100, 0};
        state.angularVelocity = {0.5, 1.0, -0.3};
        for (int i = 0; i < 4; ++i)
            state.spinRates[i] = 30.0 - 10 * i;
        car.SetState(state);
        const double start = MechanicalEnergy(car);
        double highest = start;
        for (int n = 0; n < 500; ++n) {
            car.Step(0.01);
            highest = std::max(highest, MechanicalEnergy(car));
        }
        EXPECT_LT(highest - start, 1e-6 * std::fabs(start));
    }
    // Coasting on level ground and dropped onto it: the contacts never add energy.
    for (const auto& [speed, drop] : {std::pair{15.0, 0.0}, {0.0, 0.5}, {8.0, 0.3}}) {
        TestVehicle car(&kFlat);
        car.SetUpCar();
        car.PlaceAtRest();
        VehicleState state;
        car.GetState(state);
        state.linearVelocity = {speed, 0, 0};
        state.position.y += drop;
        for (double& s : state.spinRates)
            s = -speed / 0.4;
        car.SetState(state);
        const double dt = car.SuggestedTimeStep();
        double previous = MechanicalEnergy(car);
        const double start = previous;
        for (int n = 0; n < 400; ++n) {
            car.Step(dt);
            const double energy = MechanicalEnergy(car);
            EXPECT_LE(energy, start + 1e-6) << speed << " " << drop << " step " << n;
            previous = energy;
        }
        EXPECT_LT(previous, start);
    }
}

TEST(VehicleStep, StableAtTheSuggestedTimeStep)
{
    CarParameters heavy;
    heavy.mass = 6000;
    heavy.chassisTOI = {3000, 10000, 9000};
    heavy.frontWheelMass = heavy.backWheelMass = 80;
    heavy.frontWheelTOI = heavy.backWheelTOI = {4, 4, 8};
    heavy.frontRadius = heavy.backRadius = 0.6;
    CarParameters light;
    light.mass = 400;
    light.chassisTOI = {100, 500, 450};
    light.frontWheelMass = light.backWheelMass = 8;
    light.frontWheelTOI = light.backWheelTOI = {0.2, 0.2, 0.4};
    light.r0 = {1.0, -0.3, 0.6};
    light.r1 = {-1.2, -0.3, 0.6};
    light.frontRadius = light.backRadius = 0.3;
    const StepGround step(20.0, 0.1);
    for (const CarParameters& p : {CarParameters{}, heavy, light}) {
        TestVehicle car(&step);
        car.SetUpCar(p);
        const int driving[4] = {0, 1, 1, 0};
        car.SetDrivetrain(nullptr, nullptr, 0, 30, -8, 5, 1, p.backRadius, 20 * p.mass, 100, driving, 0.0);
        car.PlaceAtRest();
        VehicleState state;
        car.GetState(state);
        state.position.y += 0.3;  // dropped
        car.SetState(state);
        const double dt = car.SuggestedTimeStep();
        double fastest = 0.0, lowest = 1e9, highest = -1e9, leastUpright = 1.0;
        // Dropped, then straight ahead over the step, a gentle turn, braking to a stop.
        for (int n = 0; n * dt < 40.0; ++n) {
            const double t = n * dt;
            const int gear = car.ChooseGear();
            car.SetGear(t < 25 ? (gear > 0 ? gear : 1) : 0);
            car.SetThrottle(t < 15 ? 0.3 : (t < 25 ? 0.1 : 0.0));
            car.SetSteerAngle(t < 15 ? 0.0 : 0.03);  // about 0.3 g: well below rolling over
            for (int i = 0; i < 4; ++i)
                car.SetWheelBrakeTorque(i, t < 25 ? 0.0 : p.mass * 2);
            car.Step(dt);
            fastest = std::max(fastest, Length(car.GetVelocity()));
            lowest = std::min(lowest, car.GetPosition().y);
            highest = std::max(highest, car.GetPosition().y);
            leastUpright = std::min(leastUpright, car.GetOrientationMatrix().Row(1).y);
        }
        EXPECT_GT(fastest, 5.0) << p.mass;
        EXPECT_LT(fastest, 40.0) << p.mass;
        EXPECT_GT(lowest, car.RestHeight(0.0) - 0.2) << p.mass;
        EXPECT_LT(highest, car.RestHeight(0.1) + 0.4) << p.mass;
        EXPECT_GT(leastUpright, 0.95) << p.mass;
        EXPECT_LT(Length(car.GetVelocity()), 0.05) << p.mass << " stopped";
        EXPECT_TRUE(car.errors.empty());
    }
}

TEST(VehicleStep, BadInputNeverEntersTheState)
{
    const CustomGround poisoned([](VehicleModel& model, int wheel) {
        kFlat.AddContacts(model, wheel);
        if (wheel == 0)
            model.AddWheelContact(0, {0, 1, 0}, {NAN, 0, 0}, 0.1);
    });
    TestVehicle car(&poisoned);
    car.SetUpCar();
    car.PlaceAtRest();
    car.errors.clear();
    car.Step(NAN);
    car.Step(-0.01);
    car.Step(INFINITY);
    car.SetThrottle(NAN);
    car.SetSteerAngle(INFINITY);
    VehicleState bad;
    bad.spinRates[1] = NAN;
    car.SetState(bad);
    car.Step(0.01);
    const std::vector<std::string> expected = {
        "VehicleModel::Step: the time step must be finite and not negative.",
        "VehicleModel::Step: the time step must be finite and not negative.",
        "VehicleModel::Step: the time step must be finite and not negative.",
        "VehicleModel::SetThrottle: the throttle is not finite; it was refused.",
        "VehicleModel::SetSteerAngle: the angle is not finite; it was refused.",
        "VehicleModel::SetState: the state is not finite; it was refused.",
        "VehicleModel::AddWheelContact: the contact is not finite or has no normal; it was dropped.",
    };
    EXPECT_EQ(car.errors, expected);
    VehicleState state;
    car.GetState(state);
    EXPECT_TRUE(IsFinite(static_cast<const RigidBodyState&>(state)));
    for (double s : state.spinRates)
        EXPECT_TRUE(std::isfinite(s));
    EXPECT_EQ(car.GetWheelContactCount(0), 1);
}

TEST(VehicleStep, StepBeforeSetUpIsRefused)
{
    TestVehicle car(&kFlat);
    car.Step(0.01);
    EXPECT_EQ(car.SuggestedTimeStep(), 0.0);
    const std::vector<std::string> expected = {"VehicleModel::Step: the body parameters are not set.",
                                               "VehicleModel::SuggestedTimeStep: the body parameters are not set."};
    EXPECT_EQ(car.errors, expected);
    EXPECT_EQ(car.GetPosition(), Vector3d{});
}

TEST(VehicleStep, ContactListsHoldTenRecords)
{
    TestVehicle car;
    car.SetUpCar();
    for (int k = 0; k < 10; ++k)
        EXPECT_TRUE(car.AddWheelContact(1, {0, 1, 0}, {0, 0, 0}, 0.01));
    EXPECT_FALSE(car.AddWheelContact(1, {0, 1, 0}, {0, 0, 0}, 0.01));
    EXPECT_EQ(car.GetWheelContactCount(1), 10);
    EXPECT_FALSE(car.AddWheelContact(7, {0, 1, 0}, {0, 0, 0}, 0.01));
}

TEST(VehicleStep, WheelContactFromPlaneFindsTheLowestPoint)
{
    Vector3d point;
    double depth = 0.0;
    // Upright wheel of radius 0.5 centred 0.4 above the ground y = 0.
    ASSERT_TRUE(WheelContactFromPlane(point, depth, {0, 0, 1}, {1, 0.4, 2}, 0.5, {0, 1, 0}, 0.0));
    EXPECT_NEAR(Length(point - Vector3d{1, -0.1, 2}), 0.0, 1e-15);
    EXPECT_NEAR(depth, 0.1, 1e-15);
    // A tilted axle still reaches down within its own plane.
    const Vector3d axis = Normalized({0, 1, 1});
    ASSERT_TRUE(WheelContactFromPlane(point, depth, axis, {0, 1, 0}, 1.0, {0, 1, 0}, 0.0));
    EXPECT_NEAR(Length(point - Vector3d{0, 1 - std::sqrt(0.5), std::sqrt(0.5)}), 0.0, 1e-12);
    EXPECT_NEAR(Dot(point - Vector3d{0, 1, 0}, axis), 0.0, 1e-12);
    // A wheel lying flat on the plane has no lowest point.
    EXPECT_FALSE(WheelContactFromPlane(point, depth, {0, 1, 0}, {0, 1, 0}, 1.0, {0, 1, 0}, 0.0));
}

TEST(VehicleCalibration, SuggestedDynamicVelocity)
{
    TestVehicle unset;
    EXPECT_EQ(SuggestedDynamicVelocity(unset, 0.01), 0.0);
    EXPECT_EQ(unset.errors, std::vector<std::string>{"gravity must have non-zero length in SuggestedDynamicVelocity()."});

    TestVehicle car(&kFlat);
    car.SetUpCar();
    car.PlaceAtRest();
    car.Step(0.01);
    VehicleState before;
    car.GetState(before);
    const double dt = car.SuggestedTimeStep() / 4;
    const double speed = SuggestedDynamicVelocity(car, dt);
    EXPECT_TRUE(speed > 0.0 || speed == -1.0) << speed;
    EXPECT_TRUE(std::isfinite(speed));
    VehicleState after;
    car.GetState(after);
    EXPECT_EQ(after.position, before.position);
    EXPECT_EQ(after.linearVelocity, before.linearVelocity);
    EXPECT_EQ(after.steerInput, before.steerInput);
    EXPECT_EQ(car.GetGravity(), (Vector3d{0, -9.81, 0}));
    EXPECT_EQ(SuggestedDynamicVelocity(car, dt), speed) << "deterministic";
    car.errors.clear();
    EXPECT_EQ(SuggestedDynamicVelocity(car, 0.0), -1.0);
    EXPECT_EQ(car.errors, std::vector<std::string>{"time step must be positive in SuggestedDynamicVelocity()."});
}

}  // namespace
