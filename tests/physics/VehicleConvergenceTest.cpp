// Braking, accelerating and cornering give the same motion whatever the time step, from the
// suggested step down to a fortieth of it.

#include "tests/physics/TestVehicles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

namespace {

const PlaneGround kFlat({0.0, 1.0, 0.0}, 0.0);
const double kStepFractions[] = {1.0, 0.5, 0.25, 0.1, 0.025};

// The standard car of the tests: 1280 in all, centre of mass 0.77 above the ground, 3 between the
// axles, tyre friction 2.5 (the model's default).
CarParameters StandardCar()
{
    return {};
}

struct Car {
    TestVehicle model;
    double dt;

    Car(const CarParameters& parameters, double friction, double fraction, double power = 40000.0) : model(&kFlat)
    {
        model.SetUpCar(parameters);
        const int driving[4] = {0, 1, 1, 0};
        model.SetDrivetrain(nullptr, nullptr, 0, 40.0, -10.0, 5, 1, model.GetWheelRadius(1), power, 100.0, driving,
                            0.0);
        if (friction > 0)
            for (int i = 0; i < 4; ++i)
                model.SetWheelFriction(i, friction);
        dt = model.SuggestedTimeStep() * fraction;
        model.PlaceAtRest();
    }
    // Rolling straight ahead (or along a circle, once steered) at the given speed.
    void Launch(double speed)
    {
        VehicleState state;
        model.GetState(state);
        state.linearVelocity = {speed, 0.0, 0.0};
        for (int i = 0; i < 4; ++i)
            state.spinRates[i] = -speed / model.GetWheelRadius(i);
        model.SetState(state);
    }
    double Speed() const { return Dot(model.GetVelocity(), model.GetOrientationMatrix().Row(0)); }
    double Pitch() const { return std::asin(std::clamp(model.GetOrientationMatrix().Row(0).y, -1.0, 1.0)); }
    double Heading() const
    {
        const Vector3d forward = model.GetOrientationMatrix().Row(0);
        return std::atan2(forward.z, forward.x);
    }
};

struct Braking {
    double distance = 0.0;
    double largestPitch = 0.0;
    double largestLoad = 0.0;
    int stepsWithRearUnloaded = 0;
    int steps = 0;
};

Braking BrakeFrom30(const CarParameters& parameters, double friction, double brake, double fraction)
{
    Car car(parameters, friction, fraction);
    car.Launch(30.0);
    for (int i = 0; i < 4; ++i)
        car.model.SetWheelBrakeTorque(i, brake);
    const double start = car.model.GetPosition().x;
    Braking result;
    for (double t = 0.0; t < 15.0 && car.Speed() > 0.0; t += car.dt) {
        car.model.Step(car.dt);
        ++result.steps;
        result.largestPitch = std::max(result.largestPitch, std::fabs(car.Pitch()));
        bool rearUnloaded = false;
        for (int i = 0; i < 4; ++i) {
            const bool touching = car.model.GetWheelContactCount(i) > 0;
            const double load = touching ? car.model.GetWheelContact(i, 0).normalForce : 0.0;
            result.largestLoad = std::max(result.largestLoad, load);
            if ((i == 1 || i == 2) && !(load > 0))
                rearUnloaded = true;
        }
        result.stepsWithRearUnloaded += rearUnloaded ? 1 : 0;
    }
    EXPECT_TRUE(car.model.errors.empty());
    result.distance = car.model.GetPosition().x - start;
    return result;
}

void ExpectWithinFivePercent(const std::vector<double>& values, const std::string& what)
{
    const auto [low, high] = std::minmax_element(values.begin(), values.end());
    EXPECT_LT(*high - *low, 0.05 * std::fabs(*low)) << what << ": from " << *low << " to " << *high;
}

TEST(VehicleConvergence, HardBrakingStopsInTheSameDistanceAtEveryStep)
{
    struct Case {
        const char* name;
        CarParameters parameters;
        double friction;  // 0: the model's default
        double brake;     // per wheel
        bool rearKeepsContact;
    };
    const Case cases[] = {
        // Brakes that ask 2.4 g of the tyres: all four grip at first, then the rear wheels lock.
        {"standard car, strong brakes", StandardCar(), 0.0, 3000.0, false},
        // Brakes that lock every wheel at once: the car slides to a stop on sliding friction.
        {"standard car, locking brakes", StandardCar(), 0.0, 20000.0, false},
        {"plausible car, brakes within grip", CarParameters{}, 1.0, 700.0, true},
        {"plausible car, locking brakes", CarParameters{}, 1.0, 20000.0, true},
    };
    for (const Case& c : cases) {
        std::vector<double> distances;
        std::string table;
        const double weight = 1280.0 * 9.81;
        for (double fraction : kStepFractions) {
            const Braking run = BrakeFrom30(c.parameters, c.friction, c.brake, fraction);
            distances.push_back(run.distance);
            table += " " + std::to_string(run.distance);
            EXPECT_LT(run.largestPitch, 0.15) << c.name << " at " << fraction << ": the car pitches over";
            EXPECT_LT(run.largestLoad, weight) << c.name << " at " << fraction;
            if (c.rearKeepsContact)
                EXPECT_EQ(run.stepsWithRearUnloaded, 0) << c.name << " at " << fraction;
            else  // tall and on tyres of 2.5: the rear may lift for a moment when the brakes bite
                EXPECT_LT(4 * run.stepsWithRearUnloaded, run.steps) << c.name << " at " << fraction;
        }
        ExpectWithinFivePercent(distances, std::string(c.name) + ", stopping distances" + table);
        // No tyre stops the car harder than its friction allows.
        const double mu = c.friction > 0 ? c.friction : 2.5;
        EXPECT_GT(distances.back(), 30.0 * 30.0 / (2 * mu * 9.81)) << c.name;
    }
}

TEST(VehicleConvergence, PlausibleCarNeverPitchesOverUnderAnyBrake)
{
    for (double brake : {300.0, 1000.0, 1500.0, 3000.0, 6000.0, 1e5}) {
        for (double fraction : {1.0, 0.25}) {
            const Braking run = BrakeFrom30(CarParameters{}, 1.0, brake, fraction);
            EXPECT_LT(run.largestPitch, 0.1) << brake << " at " << fraction;
            EXPECT_EQ(run.stepsWithRearUnloaded, 0) << brake << " at " << fraction;
        }
    }
}

TEST(VehicleConvergence, AccelerationIsTheSameAtEveryStep)
{
    // Within grip, and with power enough to spin the driven wheels.
    for (const auto& [power, throttle] : {std::pair{40000.0, 1.0}, {40000.0, 0.3}, {150000.0, 1.0}}) {
        std::vector<double> distances, speeds;
        for (double fraction : kStepFractions) {
            Car car(StandardCar(), 0.0, fraction, power);
            const int steps = static_cast<int>(std::lround(6.0 / car.dt));
            for (int n = 0; n < steps; ++n) {
                const int gear = car.model.ChooseGear();
                car.model.SetGear(gear > 0 ? gear : 1);
                car.model.SetThrottle(throttle);
                car.model.Step(car.dt);
            }
            distances.push_back(car.model.GetPosition().x);
            speeds.push_back(car.Speed());
            EXPECT_LT(std::fabs(car.Pitch()), 0.1);
        }
        ASSERT_GT(speeds.back(), 3.0);
        ExpectWithinFivePercent(distances, "distance after 6 s at throttle " + std::to_string(throttle));
        ExpectWithinFivePercent(speeds, "speed after 6 s at throttle " + std::to_string(throttle));
    }
}

TEST(VehicleConvergence, SteadyCorneringIsTheSameAtEveryStep)
{
    struct Case {
        double speed;
        double steer;
        double friction;  // 0: the model's default
    };
    // Within grip (about 0.35 g), and far beyond it (the tyres slide). The sliding case uses
    // friction 1: the standard tyres (2.5) would roll a car this tall over.
    for (const Case& c : {Case{10.0, 0.1, 0.0}, Case{20.0, 0.3, 1.0}}) {
        std::vector<double> headings, speeds, lateral;
        for (double fraction : kStepFractions) {
            Car car(StandardCar(), c.friction, fraction);
            car.model.SetSteerAngle(c.steer);
            car.Launch(c.speed);
            const int steps = static_cast<int>(std::lround(2.0 / car.dt));
            for (int n = 0; n < steps; ++n)
                car.model.Step(car.dt);
            const Vector3d v = car.model.GetVelocity();
            const double yawRate = Dot(car.model.GetAngularVelocity(), car.model.GetOrientationMatrix().Row(1));
            headings.push_back(std::fabs(car.Heading()));
            speeds.push_back(Length(v));
            lateral.push_back(std::fabs(yawRate) * Length(v));
            EXPECT_GT(car.model.GetOrientationMatrix().Row(1).y, 0.95) << c.speed << " " << fraction;
        }
        const std::string name = " at " + std::to_string(c.speed) + ", steering " + std::to_string(c.steer);
        ExpectWithinFivePercent(headings, "heading after 2 s" + name);
        ExpectWithinFivePercent(speeds, "speed after 2 s" + name);
        ExpectWithinFivePercent(lateral, "lateral acceleration" + name);
    }
}

}  // namespace
