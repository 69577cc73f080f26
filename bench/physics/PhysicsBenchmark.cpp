// Simulated seconds per wall-clock second: a rigid body alone, one vehicle on flat ground at its
// suggested time step, a hundred vehicles, and one vehicle driving on the demo map's ground (the
// world's downward picks answering the wheel-contact queries, as the game's vehicles ask), against
// the same drive on a plane.

#include "bench/support/BenchmarkCommandLine.h"
#include "physics/VehicleModel.h"

#include <benchmark/benchmark.h>

#include "bench/support/DemoDataSession.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <vector>

#include "app/framework/ArenaAlloc.h"
#include "bench/support/RatioReporter.h"
#include "engine/binding/RendererBinding.h"
#include "engine/camera/Camera.h"
#include "platform/os/Window.h"
#include "renderer/Device.h"
#include "world/map/MapDescription.h"
#include "world/World.h"

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

// Steps of one drive; then the car starts again where it started, so that on a map it never
// leaves the ground it was put on.
constexpr int kStepsPerDrive = 250;

// One car driving its circle from its starting state again and again, one step per iteration.
void DriveRepeatedly(benchmark::State& state, VehicleModel& car)
{
    VehicleState start;
    car.GetState(start);
    const double dt = car.SuggestedTimeStep();
    int steps = 0;
    std::int64_t wheelsOnGround = 0;
    for (auto _ : state) {
        if (++steps == kStepsPerDrive) {
            steps = 0;
            car.SetState(start);
        }
        Drive(car, dt);
        for (int i = 0; i < VehicleModel::kWheels; ++i)
            wheelsOnGround += car.GetWheelGroundContact(i) >= 0 ? 1 : 0;
        benchmark::DoNotOptimize(car);
    }
    ReportSimulatedTime(state, dt);
    // The share of wheel steps with ground under the wheel: a car that left its ground would be
    // timed falling.
    state.counters["on_ground"] = double(wheelsOnGround) / double(VehicleModel::kWheels * std::max<std::int64_t>(state.iterations(), 1));
}

void OneVehicle(benchmark::State& state)
{
    VehicleModel car;
    SetUpCar(car, 0.0);
    DriveRepeatedly(state, car);
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

// The demo map, loaded once on a headless device, in a folder of its own that sees the demo data's
// maps (loading may write the map's cache files there).
struct DemoWorld {
    DemoWorld()
    {
        camera = std::make_unique<Camera>(device);
        if (!map.Load("Maps/Demo/area.mpb"))
            return;
        world = std::make_unique<World>();
        world->Load(&map, device, camera.get());
    }
    ~DemoWorld()
    {
        world.reset();
        camera.reset();
        ArenaFreeAll();
    }

    DemoDataSession session{BEXAL_DATA_DIR, "bexal-physics-bench", 160, 120};
    Device* device = session.device;
    std::unique_ptr<Camera> camera;
    MapDescription map;
    std::unique_ptr<World> world;
};

DemoWorld* demoWorld = nullptr;

// How far below its start a wheel's ground pick reaches: ground further down touches no wheel.
constexpr float kWheelPickReach = 100.0f;

// The game vehicles' ground query: for each wheel a downward pick into the world from 4 units
// above the wheel's lowest point; the ground plane goes through the picked point, with the picked
// normal unless that is zero or points down (then straight up).
void WorldGround(VehicleModel& model)
{
    World& world = *demoWorld->world;
    const Vector3d up{0.0, 1.0, 0.0};
    for (int i = 0; i < VehicleModel::kWheels; ++i) {
        model.ClearWheelContacts(i);
        const Vector3d axis = model.GetWheelAxis(i), centre = model.GetWheelPosition(i);
        const double radius = model.GetWheelRadius(i);
        Vector3d lowest;
        double depth = 0.0;
        if (!WheelContactFromPlane(lowest, depth, axis, centre, radius, up, 0.0))
            lowest = centre - up * radius;
        HitResult ray;
        ray.Clear();
        ray.origin = Vector3(float(lowest.x), float(lowest.y) + 4.0f, float(lowest.z));
        ray.direction = Vector3(0.0f, -1.0f, 0.0f);
        PickResult ground;
        if (!world.Pick(ray, &ground, kWheelPickReach + 4.0f, nullptr))
            continue;
        Vector3d normal{ground.normal.x, ground.normal.y, ground.normal.z};
        const double length = Length(normal);
        normal = length > 0.0 && normal.y > 0.0 ? normal * (1.0 / length) : up;
        const Vector3d hit{ground.hitPoint.x, ground.hitPoint.y, ground.hitPoint.z};
        Vector3d point;
        if (WheelContactFromPlane(point, depth, axis, centre, radius, normal, Dot(normal, hit)) && depth > 0)
            model.AddWheelContact(i, normal, point, depth);
    }
}

// The flat-ground car, put on the demo map's hills (clear of the lake, the house and the trees)
// at the height where it stands on the plane.
void OneVehicleOnDemoMap(benchmark::State& state)
{
    if (!demoWorld->world || demoWorld->world->patches.empty()) {
        state.SkipWithError("the demo map did not load");
        return;
    }
    VehicleModel car;
    SetUpCar(car, 0.0);
    car.SetWheelContactCallback(&WorldGround);
    VehicleState start;
    car.GetState(start);
    const Vector3 place(60.0f, 0.0f, 180.0f);
    const float ground = demoWorld->world->GetGroundBelow(Vector3(place.x, 500.0f, place.z), nullptr, nullptr);
    start.position = {place.x, ground + start.position.y, place.z};
    car.SetState(start);
    DriveRepeatedly(state, car);
}
BENCHMARK(OneVehicleOnDemoMap);

}  // namespace

int main(int argc, char** argv)
{
    BenchmarkCommandLine commandLine(argc, argv);
    demoWorld = new DemoWorld();
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const auto flat = reporter.secondsPerFrame.find("OneVehicle");
    const auto onMap = reporter.secondsPerFrame.find("OneVehicleOnDemoMap");
    if (flat != reporter.secondsPerFrame.end() && onMap != reporter.secondsPerFrame.end() && flat->second > 0)
        std::printf("vehicle step on the demo map / on a plane = %.2f (%.2f us / %.2f us)\n", onMap->second / flat->second,
                    onMap->second / 1000.0, flat->second / 1000.0); // reported in nanoseconds
    delete demoWorld;
    benchmark::Shutdown();
    return 0;
}
