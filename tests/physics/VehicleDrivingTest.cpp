// Vehicles driven on test grounds through the wheel-contact callback.

#include "tests/physics/TestVehicles.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace {

const PlaneGround kFlat({0.0, 1.0, 0.0}, 0.0);

// A car on a ground with an automatic gearbox of the owner's making: first gear from rest, then
// whatever the gear choice says.
struct Drive {
    TestVehicle car;
    double dt;

    explicit Drive(const Ground* ground, const CarParameters& parameters = {}, double power = 40000.0) : car(ground)
    {
        car.SetUpCar(parameters);
        const int driving[4] = {0, 1, 1, 0};
        car.SetDrivetrain(nullptr, nullptr, 0, 40.0, -10.0, 5, 1, car.GetWheelRadius(1), power, 100.0, driving, 0.0);
        dt = car.SuggestedTimeStep();
        car.PlaceAtRest();
    }
    int Steps(double seconds) const { return static_cast<int>(std::lround(seconds / dt)); }
    void Coast(double seconds)
    {
        for (int n = Steps(seconds); n > 0; --n)
            car.Step(dt);
    }
    void Accelerate(double seconds, double throttle = 1.0)
    {
        for (int n = Steps(seconds); n > 0; --n) {
            int gear = car.ChooseGear();
            car.SetGear(gear > 0 ? gear : 1);
            car.SetThrottle(throttle);
            car.Step(dt);
        }
    }
    void Release()
    {
        car.SetGear(0);
        car.SetThrottle(0.0);
    }
    void Brake(double torque)
    {
        for (int i = 0; i < 4; ++i)
            car.SetWheelBrakeTorque(i, torque);
    }
    double Speed() const { return Dot(car.GetVelocity(), car.GetOrientationMatrix().Row(0)); }
};

TEST(VehicleDriving, StandingOnFlatGroundStaysAtRest)
{
    // Front and back wheels of different sizes, body level at rest: the springs are compressed by
    // different depths, which must not read as a slope.
    CarParameters unequal;
    unequal.frontRadius = 0.45;
    unequal.backRadius = 0.35;
    unequal.r0.y = unequal.r1.y + 2 * (0.45 - 0.35) / 3;
    for (const CarParameters& p : {CarParameters{}, unequal}) {
        for (double fraction : {1.0, 0.25}) {
            Drive drive(&kFlat, p);
            drive.dt *= fraction;
            const Vector3d start = drive.car.GetPosition();
            drive.Coast(20.0);
            EXPECT_LT(Length(drive.car.GetPosition() - start), 1e-9) << p.frontRadius << " " << fraction;
            EXPECT_LT(Length(drive.car.GetVelocity()), 1e-9);
            EXPECT_LT(Length(drive.car.GetAngularVelocity()), 1e-9);
            EXPECT_TRUE(drive.car.WasSolvedByFourWheelCase());
            EXPECT_EQ(drive.car.GetWheelContactState(), 0);
            EXPECT_TRUE(drive.car.errors.empty());
        }
    }
}

TEST(VehicleDriving, AcceleratesAndShiftsUpThroughTheGears)
{
    Drive drive(&kFlat);
    drive.dt /= 4;
    int highest = 1;
    int shifts = 0;
    int gear = 1;
    for (int second = 0; second < 30; ++second) {
        drive.Accelerate(1.0);
        if (drive.car.GetGear() != gear) {
            EXPECT_GT(drive.car.GetGear(), gear) << "no down-shift while accelerating on level ground";
            gear = drive.car.GetGear();
            ++shifts;
        }
        highest = std::max(highest, gear);
    }
    EXPECT_GE(shifts, 3);
    EXPECT_EQ(highest, 5);
    EXPECT_GT(drive.Speed(), 30.0);
    EXPECT_LT(drive.Speed(), 55.0);
    EXPECT_NEAR(drive.car.GetPosition().z, 0.0, 1e-6);  // straight ahead
    EXPECT_LT(drive.car.GetEngineSpeed(), 1154.0);
}

TEST(VehicleDriving, BrakesToAStopAndStaysStopped)
{
    Drive drive(&kFlat);
    drive.Accelerate(8.0);
    ASSERT_GT(drive.Speed(), 15.0);
    drive.Release();
    drive.Brake(2000.0);
    const double braking = drive.car.GetPosition().x;
    drive.Coast(10.0);
    EXPECT_LT(std::fabs(drive.Speed()), 0.05);
    const double stopped = drive.car.GetPosition().x;
    EXPECT_GT(stopped, braking);
    drive.Coast(10.0);
    EXPECT_LT(std::fabs(drive.car.GetPosition().x - stopped), 0.05);
    for (int i = 0; i < 4; ++i)
        EXPECT_LT(std::fabs(drive.car.GetWheelSpinRate(i)), 0.2);
}

TEST(VehicleDriving, SteeringTurnsAboutThePointWhereTheAxlesMeet)
{
    for (double steer : {0.3, 0.1, -0.2}) {
        Drive drive(&kFlat);
        drive.dt /= 2;
        drive.car.SetSteerAngle(steer);
        drive.Accelerate(2.0, 0.3);
        const double speed = drive.Speed();
        const double yawRate = Dot(drive.car.GetAngularVelocity(), drive.car.GetOrientationMatrix().Row(1));
        // Rolling without sliding turns the car about the point of the back axle line where the
        // axle lines meet; the outer front wheel, half a track beyond the centre line, is turned by
        // the input (Ackermann geometry). The centre of mass moves forward at the yaw rate times
        // its sideways distance from that point.
        const double wheelbase = 3.0, halfTrack = 0.8;
        const double turnRadius = wheelbase / std::tan(std::fabs(steer)) - halfTrack;
        ASSERT_GT(speed, 2.0);
        EXPECT_NEAR(std::fabs(yawRate), speed / turnRadius, 0.1 * speed / turnRadius) << steer;
        // A positive input turns towards wheel 0's side (+z): a negative turn about y.
        EXPECT_LT(yawRate * steer, 0.0) << steer;
        EXPECT_EQ(drive.car.GetWheelContactState(), 0) << "no sliding at this speed";
    }
}

TEST(VehicleDriving, RollsDownASlopeWithoutThrottle)
{
    const double angle = 0.1;
    const PlaneGround slope = PlaneGround::Slope(angle);
    Drive drive(&slope);
    VehicleState state;
    state.orientation = {std::cos(angle / 2), 0, 0, std::sin(angle / 2)};  // nose up the slope
    state.position = slope.normal * drive.car.RestHeight();
    drive.car.SetState(state);
    drive.dt /= 2;
    drive.Coast(4.0);
    // Gravity along the slope, shared by the body and the spin of four wheels of inertia 1.6, radius 0.4.
    const double mass = 1280.0, spinShare = 4 * 1.6 / (0.4 * 0.4);
    const double expected = -9.81 * std::sin(angle) * mass / (mass + spinShare) * 4.0;
    EXPECT_NEAR(drive.Speed(), expected, 0.05 * std::fabs(expected));
    EXPECT_LT(drive.car.GetPosition().x, -5.0);
}

TEST(VehicleDriving, HeldWheelsParkTheCarOnASlope)
{
    const double angle = 0.1;
    const PlaneGround slope = PlaneGround::Slope(angle);
    Drive drive(&slope);
    VehicleState state;
    state.orientation = {std::cos(angle / 2), 0, 0, std::sin(angle / 2)};
    state.position = slope.normal * drive.car.RestHeight();
    drive.car.SetState(state);
    for (int i = 0; i < 4; ++i)
        drive.car.SetWheelHold(i, 1);
    drive.Coast(10.0);
    EXPECT_LT(Length(drive.car.GetPosition() - state.position), 0.05);
    EXPECT_LT(Length(drive.car.GetVelocity()), 1e-3);
}

TEST(VehicleDriving, ClimbsAStepWithEnoughDriveAndIsStoppedWithout)
{
    const StepGround step(6.0, 0.3);
    {
        Drive drive(&step);
        drive.dt /= 4;
        drive.Accelerate(10.0, 0.1);
        EXPECT_GT(drive.car.GetPosition().x, 6.0 + 1.5 + 0.4) << "back wheels past the edge";
        EXPECT_NEAR(drive.car.GetPosition().y, drive.car.RestHeight(0.3), 0.05);
        EXPECT_TRUE(drive.car.errors.empty());
    }
    {
        // Too little torque to lift the front wheels (load about 3100 each) over a step of three
        // quarters of their radius: the car bounces back and never gets its front axle past the edge.
        Drive drive(&step);
        drive.dt /= 4;
        double furthest = 0.0, highest = 0.0;
        for (int second = 0; second < 15; ++second) {
            drive.Accelerate(1.0, 0.02);
            furthest = std::max(furthest, drive.car.GetPosition().x);
            highest = std::max(highest, drive.car.GetPosition().y);
        }
        EXPECT_LT(furthest + 1.5, 6.0);
        EXPECT_LT(highest, drive.car.RestHeight(0.0) + 0.1);
        EXPECT_TRUE(drive.car.errors.empty());
    }
    {
        const StepGround low(6.0, 0.1);
        Drive drive(&low);
        drive.dt /= 4;
        drive.Accelerate(8.0, 0.05);
        EXPECT_NEAR(drive.car.GetPosition().y, drive.car.RestHeight(0.1), 0.05);
    }
}

}  // namespace
