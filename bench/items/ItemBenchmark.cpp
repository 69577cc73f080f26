// Shots on the demo map among thirty soldiers. A frame keeps 1000 tracers in flight: every tracer
// advances, and the ones that reached their hit are replaced by new shots, each resolved against the
// world (with the see-through filter), the soldiers and the loose items. The baseline does the same
// work the plainest way a competent engineer would: a loop over plain records for the flight, and
// for each new shot one world pick without a filter and the same soldier ray tests behind a bounding
// sphere. The hit test alone is timed per shot against the same plain pick and body tests.
#include <chrono>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "app/framework/Application.h"
#include "bench/support/BenchmarkCommandLine.h"
#include "bench/support/DemoMapSession.h"
#include "characters/body/Character.h"
#include "characters/level/NetworkSession.h"
#include "characters/level/RunningLevel.h"
#include "engine/camera/Camera.h"
#include "engine/core/RandomMT.h"
#include "engine/particle/ParticleEffectCache.h"
#include "items/ItemServices.h"
#include "items/NoLevelItems.h"
#include "items/projectiles/Bullet.h"
#include "renderer/Device.h"
#include "world/PickResult.h"
#include "world/World.h"

namespace {

constexpr int kCharacters = 30;
constexpr int kInFlight = 1000;
constexpr float kFrame = 1.0f / 60.0f;
constexpr float kRange = 150.0f;

// The nearest soldier the ray hits, testing each body only when the ray passes its bounding sphere.
Character* NearestSoldier(const std::vector<Character*>& everyone, HitResult& hit, Character* ignore)
{
    Character* nearest = nullptr;
    for (Character* c : everyone) {
        if (c == ignore || c->health <= 0)
            continue;
        const Vector3 centre = c->position;
        const Vector3 offset = centre - hit.origin;
        const float along = offset.Dot(hit.direction);
        if (along < -6.0f || (offset - hit.direction * along).LengthSquared() > 36.0f)
            continue;
        HitResult test = hit;
        test.distance = kNoHit;
        if (c->IntersectRay(test, 0) && test.distance < hit.distance) {
            hit = test;
            nearest = c;
        }
    }
    return nearest;
}

struct Bench {
    Bench()
    {
        seedMT(1);
        // Six rows of five, standing, facing north; the shooters stand south of them.
        for (int i = 0; i < kCharacters; ++i) {
            auto c = std::make_unique<Character>();
            c->kind = Character::EnemyKind;
            c->LoadAnimationInfo();
            c->LoadModel(device, "GameData/Models/Soldiers/soldier.gr2");
            const Vector3 corner = world->GetCornerPosition(34 + (i % 5) * 2, 26 + (i / 5) * 2);
            c->SetPosition(corner.x, world->GetTerrainHeightSmooth(corner) + c->radii.y, corner.z);
            c->StartAction(0, true);
            c->Update(kFrame);
            everyone.push_back(c.get());
            characters.push_back(std::move(c));
        }
        level.emplace(RunningLevel::Services{.items = &items});
        // Keep the soldiers alive: the bench measures the shots, not the dying.
        session.level->peaceful = true;
        shooter = characters.front().get();
    }

    ~Bench()
    {
        level.reset();
        characters.clear();
        everyone.clear();
    }

    // The next shot: from a line of firing points south of the group, spread over it.
    void NextRay(Vector3& origin, Vector3& direction)
    {
        const Vector3 centre = world->GetCornerPosition(38, 31);
        const int k = next++;
        origin = centre + Vector3(float(k % 11 - 5) * 4.0f, 0.0f, -60.0f);
        origin.y = world->GetTerrainHeightSmooth(origin) + 5.0f;
        const Vector3 target = centre + Vector3(float(k % 7 - 3) * 3.0f, 0.0f, float(k % 5 - 2) * 3.0f);
        direction = Vector3(target.x, world->GetTerrainHeightSmooth(target) + 3.0f, target.z) - origin;
        direction.Normalize();
    }

    DemoMapSession session{BEXAL_DATA_DIR, "bexal-items-bench"};
    Device* device = session.GetDevice();
    std::unique_ptr<Camera>& camera = session.camera;
    std::unique_ptr<World>& world = session.world;
    std::vector<Character*>& everyone = session.everyone;
    std::vector<std::unique_ptr<Character>> characters;
    Character* shooter = nullptr;
    int next = 0;

    // The shots hit the group's soldiers and nothing else, as far as the camera sees.
    struct GroupItems : NoLevelItems {
        explicit GroupItems(Bench& bench) : bench(bench) {}
        Character* RayCastObjects(HitResult& hit, Character* ignore, int) override
        {
            return NearestSoldier(bench.everyone, hit, ignore);
        }
        float CameraFar() override { return bench.camera->GetFar(); }
        // As a running level keeps them: impact effects read their files once.
        ParticleEffectCache* ParticleEffects() override { return &effects; }
        Bench& bench;
        ParticleEffectCache effects;
    };
    GroupItems items{*this};
    std::optional<RunningLevel> level;
};

Bench& TheBench()
{
    static Bench bench;
    return bench;
}

// A frame of 1000 bullets in flight: each advances; the finished ones are replaced by new shots.
void BM_ThousandBulletsFrame(benchmark::State& state)
{
    Bench& bench = TheBench();
    if (!bench.world) {
        state.SkipWithError("the demo map did not load");
        return;
    }
    std::vector<std::unique_ptr<Bullet>> flying;
    auto fire = [&bench] {
        Vector3 origin, direction;
        bench.NextRay(origin, direction);
        return std::make_unique<Bullet>(origin, direction, kRange, bench.shooter, 10.0f, 20.0f, true);
    };
    for (int i = 0; i < kInFlight; ++i) {
        flying.push_back(fire());
        flying.back()->travelled = flying.back()->maxDistance * float(i) / kInFlight;
    }
    long replaced = 0;
    for (auto _ : state) {
        for (auto& bullet : flying) {
            bullet->UpdateTransform(kFrame);
            if (!bullet->IsActive()) {
                bullet = fire();
                ++replaced;
            }
        }
    }
    state.counters["new shots per frame"] = benchmark::Counter(double(replaced) / double(state.iterations()));
}

// Baseline: plain records advanced in a loop, and for each new shot one unfiltered world pick and
// the same body tests.
void BM_ThousandBulletsFrameBaseline(benchmark::State& state)
{
    Bench& bench = TheBench();
    if (!bench.world) {
        state.SkipWithError("the demo map did not load");
        return;
    }
    struct Plain {
        float travelled;
        float maxDistance;
    };
    auto resolve = [&bench] {
        Vector3 origin, direction;
        bench.NextRay(origin, direction);
        HitResult ray;
        ray.Clear();
        ray.origin = origin;
        ray.direction = direction;
        PickResult pick;
        bench.world->Pick(ray, &pick, kRange, nullptr);
        HitResult body = ray;
        NearestSoldier(bench.everyone, body, bench.shooter);
        const float nearest = std::min(pick.distance, body.distance);
        return Plain{0.0f, nearest < kRange ? nearest : kRange};
    };
    std::vector<Plain> flying;
    for (int i = 0; i < kInFlight; ++i) {
        flying.push_back(resolve());
        flying.back().travelled = flying.back().maxDistance * float(i) / kInFlight;
    }
    for (auto _ : state) {
        for (Plain& bullet : flying) {
            bullet.travelled += kFrame * 300.0f;
            if (bullet.travelled > bullet.maxDistance)
                bullet = resolve();
        }
    }
}

// One shot's hit test.
void BM_BulletHitTest(benchmark::State& state)
{
    Bench& bench = TheBench();
    if (!bench.world) {
        state.SkipWithError("the demo map did not load");
        return;
    }
    for (auto _ : state) {
        Vector3 origin, direction;
        bench.NextRay(origin, direction);
        Bullet shot(origin, direction, kRange, bench.shooter, 10.0f, 20.0f, false);
        benchmark::DoNotOptimize(shot.maxDistance);
    }
}

void BM_BulletHitTestBaseline(benchmark::State& state)
{
    Bench& bench = TheBench();
    if (!bench.world) {
        state.SkipWithError("the demo map did not load");
        return;
    }
    for (auto _ : state) {
        Vector3 origin, direction;
        bench.NextRay(origin, direction);
        HitResult ray;
        ray.Clear();
        ray.origin = origin;
        ray.direction = direction;
        PickResult pick;
        bench.world->Pick(ray, &pick, kRange, nullptr);
        HitResult body = ray;
        benchmark::DoNotOptimize(NearestSoldier(bench.everyone, body, bench.shooter));
    }
}

} // namespace

BENCHMARK(BM_ThousandBulletsFrame)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ThousandBulletsFrameBaseline)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BulletHitTest)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BulletHitTestBaseline)->Unit(benchmark::kMicrosecond);
BEXAL_BENCHMARK_MAIN()
