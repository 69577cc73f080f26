// Twenty cars of the demo set driven over the demo map's terrain, each frame 1/60 s of the
// sub-stepped simulation of all twenty (drive logic, steering, the model's steps with their wheel
// ground queries, wheel parts, sounds and drowning). The baseline is what the frame cannot do
// without: the same twenty vehicle models stepped bare at the same sub-step, with the same ground
// query per wheel, and nothing of the item around them.
#include <cmath>
#include <memory>
#include <vector>

#include <benchmark/benchmark.h>

#include "bench/support/DemoMapSession.h"
#include "engine/core/RandomMT.h"
#include "items/vehicles/PassengerVehicleItem.h"
#include "items/vehicles/VehicleServices.h"
#include "world/PickResult.h"
#include "world/World.h"

namespace {

constexpr int kVehicles = 20;
constexpr float kFrame = 1.0f / 60.0f;

// The terrain under the wheels; nothing else of a level.
class TerrainServices : public VehicleServices {
public:
    explicit TerrainServices(World& world) : world(world) {}
    bool GroundBelow(const Vector3& point, float& height, Vector3& normal) override
    {
        PickResult hit;
        height = world.GetGroundBelow(point, &hit, nullptr);
        normal = hit.normal.LengthSquared() > 0.0f ? hit.normal : Vector3(0.0f, 1.0f, 0.0f);
        return std::fabs(height) < 1e30f;
    }
    bool GroundIsStructure(const Vector3&) override { return false; }
    bool WaterHeight(const Vector3& point, float& height) override
    {
        height = world.GetWaterHeight(point);
        return false;
    }
    bool CollideEllipsoid(const Vector3&, const Vector3&, Vector3&, Vector3&) override { return false; }
    bool Pick(const Vector3&, const Vector3&, float, float&) override { return false; }
    SceneNode* SceneRoot() override { return &root; }
    void AddParticleEffect(qParticle*) override {}
    void RemoveParticleEffect(qParticle*) override {}
    bool IsHost() override { return false; }
    bool IsRemoteClient() override { return false; }
    void SendVehicleDestroyed(std::uint16_t) override {}
    Character* LocalPlayer() override { return nullptr; }
    void ShowMessage(const char*, int) override {}
    MapObject* FindVehicleObject(int) override { return nullptr; }
    int VehiclePropID(MapObject*) override { return -1; }
    Character* SquadMember(Character*, int) override { return nullptr; }
    const char* KeyAction(int) override { return nullptr; }
    bool IsActionDown(const char*) override { return false; }
    void PlaceCamera(const Vector3&, const Vector3&) override {}
    Vector3 CameraPosition() override { return {}; }
    float WorldHalfExtent() override { return 10000.0f; }

    World& world;
    SceneNode root;
};

struct Bench {
    Bench()
    {
        seedMT(1);
        if (!world)
            return;
        for (int i = 0; i < kVehicles; ++i) {
            auto car = std::make_unique<PassengerVehicleItem>(services, "GameData/Vehicles/car.txt");
            const Vector3 corner = world->GetCornerPosition(28 + (i % 5) * 3, 26 + (i / 5) * 3);
            car->body->position = Vector3(corner.x, world->GetTerrainHeightSmooth(corner) + 6.0f, corner.z);
            car->Select();
            cars.push_back(std::move(car));
        }
        // Settle on the ground, then drive in circles of different tightness.
        for (int frame = 0; frame < 60; ++frame)
            Frame();
        for (int i = 0; i < kVehicles; ++i) {
            cars[std::size_t(i)]->controls.forward = 1;
            cars[std::size_t(i)]->controls.left = (i % 3) == 0;
            cars[std::size_t(i)]->controls.right = (i % 3) == 1;
        }
    }
    void Frame()
    {
        for (auto& car : cars)
            car->VehicleItem::Update(kFrame);
    }

    DemoMapSession session{BEXAL_DATA_DIR, "bexal-vehicles-bench"};
    std::unique_ptr<World>& world = session.world;
    TerrainServices services{*world};
    std::vector<std::unique_ptr<PassengerVehicleItem>> cars;
};

Bench& TheBench()
{
    static Bench bench;
    return bench;
}

void BM_TwentyCarsFrame(benchmark::State& state)
{
    Bench& bench = TheBench();
    if (bench.cars.empty()) {
        state.SkipWithError("the demo map or the demo car did not load");
        return;
    }
    for (auto _ : state)
        bench.Frame();
    float speed = 0.0f;
    for (auto& car : bench.cars)
        speed += car->GetSpeed();
    state.counters["mean speed"] = speed / float(bench.cars.size());
    state.counters["sub-steps per car"] = std::ceil(kFrame / bench.cars.front()->GetPhysicsStep());
}

// Baseline: the same models stepped bare at the same sub-step with the same wheel ground queries.
void BM_TwentyCarsFrameBaseline(benchmark::State& state)
{
    Bench& bench = TheBench();
    if (bench.cars.empty()) {
        state.SkipWithError("the demo map or the demo car did not load");
        return;
    }
    const float step = bench.cars.front()->GetPhysicsStep();
    const int count = int(std::floor(kFrame / step)) + 1;
    const double dt = double(kFrame) / count;
    for (auto _ : state)
        for (auto& car : bench.cars)
            for (int i = 0; i < count; ++i)
                car->GetModel().Step(dt);
}

BENCHMARK(BM_TwentyCarsFrame)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TwentyCarsFrameBaseline)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
