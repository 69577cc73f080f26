// Simulated seconds per wall-clock second: a rigid body alone, one vehicle on flat ground at its
// suggested time step, and a hundred vehicles.

#include "physics/VehicleModel.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

void FlatGround(VehicleModel& model)
{
    const Vector3d up{0.0, 1.0, 0.0};
    for (int i = 0; i < VehicleModel::kWheels; ++i) {
        model.ClearWheelContacts(i);
        Vector3d point;
        double depth = 0.0;
        if (WheelContactFromPlane(point, depth, model.GetWheelAxis(i), model.GetWheelPosition(i), model.GetWheelRadius(i),
                                  up, 0.0) &&
            depth > 0)
            model.AddWheelContact(i, up, point, depth);
    }
}

// A 1280-unit car on 0.4 wheels, driving a wide circle on flat ground.
void SetUpCar(VehicleModel& car, double offset)
{
    car.SetBodyParameters({0, -9.81, 0}, {1.5, -0.5, 0.8}, {-1.5, -0.5, 0.8}, 0.4, 0.4, {500, 2000, 1800},
                          {0.8, 0.8, 1.6}, {0.8, 0.8, 1.6}, 1200, 20, 20);
    const int driving[4] = {0, 1, 1, 0};
    car.SetDrivetrain(nullptr, nullptr, 0, 40, -10, 5, 1, 0.4, 40000, 100, driving, 0.0);
    car.SetWheelContactCallback(&FlatGround);
    VehicleState state;
    state.position = {0, 0.5 + 2 * 0.4 / 3, offset};
    car.SetState(state);
    car.SetSteerAngle(0.03);
    car.SetGear(1);
}

void Drive(VehicleModel& car, double dt)
{
    const int gear = car.ChooseGear();
    car.SetGear(gear > 0 ? gear : 1);
    car.SetThrottle(0.3);
    car.Step(dt);
}

void ReportSimulatedTime(benchmark::State& state, double dt)
{
    state.counters["sim_s_per_s"] = benchmark::Counter(dt * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

// A body with the car's mass and inertia, spinning under gravity, and the car's time step.
RigidBody CarBody(double& dt)
{
    VehicleModel reference;
    SetUpCar(reference, 0.0);
    dt = reference.SuggestedTimeStep();
    RigidBody body;
    body.SetMassProperties(reference.GetMass(), reference.GetInertia());
    body.SetGravity({0, -9.81, 0});
    body.SetAngularVelocity({0.1, 0.3, -0.2});
    return body;
}

void RigidBodyAlone(benchmark::State& state)
{
    double dt = 0.0;
    RigidBody body = CarBody(dt);
    for (auto _ : state) {
        body.AddForceAtPoint({10, 0, 0}, {1, 0, 0});
        body.Integrate(dt, 0);
        benchmark::DoNotOptimize(body);
    }
    ReportSimulatedTime(state, dt);
}
BENCHMARK(RigidBodyAlone);

void RigidBodyAloneRK4(benchmark::State& state)
{
    double dt = 0.0;
    RigidBody body = CarBody(dt);
    for (auto _ : state) {
        body.IntegrateRK4(dt, 0);
        benchmark::DoNotOptimize(body);
    }
    ReportSimulatedTime(state, dt);
}
BENCHMARK(RigidBodyAloneRK4);

void OneVehicle(benchmark::State& state)
{
    VehicleModel car;
    SetUpCar(car, 0.0);
    const double dt = car.SuggestedTimeStep();
    for (auto _ : state) {
        Drive(car, dt);
        benchmark::DoNotOptimize(car);
    }
    ReportSimulatedTime(state, dt);
}
BENCHMARK(OneVehicle);

void HundredVehicles(benchmark::State& state)
{
    std::vector<VehicleModel> cars(100);
    for (size_t i = 0; i < cars.size(); ++i)
        SetUpCar(cars[i], 10.0 * static_cast<double>(i));
    const double dt = cars[0].SuggestedTimeStep();
    for (auto _ : state) {
        for (VehicleModel& car : cars)
            Drive(car, dt);
        benchmark::DoNotOptimize(cars.data());
    }
    // Simulated seconds of the whole fleet (each of its 100 vehicles) per wall second.
    ReportSimulatedTime(state, dt);
}
BENCHMARK(HundredVehicles);

}  // namespace

BENCHMARK_MAIN();
