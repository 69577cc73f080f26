// Thirty computer-driven soldiers, two sides of fifteen, thinking on the demo map: each frame every
// soldier's stimuli, every soldier sensing the fifteen of the other side (view cone, fog, foliage,
// the sight line through the world), rating and keeping a target, choosing attack or patrol and
// running its state. Timed by hand around the thinking alone (the bodies' update stays outside).
//
// The baseline is the plain perception a competent engineer would write for the same soldiers:
// for each pair the range, cone and fog tests and the same world pick of the sight line, keeping
// the nearest enemy in sight and turning towards it; no ratings, rings, stimuli or states. Both are
// timed in the same run, alternately, and reported as counters of this one benchmark.
#include <chrono>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <vector>

#include <benchmark/benchmark.h>

#include "app/framework/Application.h"
#include "characters/body/AnimationCache.h"
#include "tests/support/WorldStandIn.h"
#include "engine/binding/RendererBinding.h"
#include "engine/core/RandomMT.h"
#include "mission/services/WorldCollisionScene.h"
#include "physics/Collision.h"
#include "platform/os/Window.h"
#include "renderer/Device.h"
#include "tests/characters/ai/SkirmishHarness.h"
#include "world/map/MapDescription.h"

namespace {

constexpr int kPerSide = 15;
constexpr float kFrame = 1.0f / 30.0f;

struct ThinkingBench {
    ThinkingBench()
    {
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        previousDevice = Application::Instance()->GetDevice();
        folder = std::filesystem::temp_directory_path() / "bexal-ai-thinking-bench";
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
        for (const char* linked : {"Maps", "GameData"})
            std::filesystem::create_directory_symlink(std::filesystem::path(BEXAL_DATA_DIR) / linked, folder / linked);
        std::filesystem::current_path(folder);
        LoadRendererLibrary(kRendererLibraryName, &device);
        window = platform::os::Window::Create("ai bench", 160, 120, platform::os::WindowMode::Windowed);
        device->CreateWindowed(window.get(), -1);
        Application::Instance()->SetDevice(device);
        camera = std::make_unique<Camera>(device);
        if (!map.Load("Maps/Demo/area.mpb"))
            return;
        world = std::make_unique<World>();
        world->Load(&map, device, camera.get());
        camera->SetFar(map.viewDistance);
        scene = std::make_unique<WorldCollisionScene>(world.get());
        CollisionSetScene(scene.get());
        BuildModelAnimationCache({"Rifle", "Unarmed"});
        level = std::make_unique<WorldStandIn>(*world, *camera, everyone, std::vector<std::string>{"Rifle", "Unarmed"});
        skirmish = std::make_unique<Skirmish>(*world, *camera);
        seedMT(11);
        // Two lines of fifteen facing each other across the hills west of the lake.
        for (int side = 0; side < 2; ++side) {
            for (int i = 0; i < kPerSide; ++i) {
                auto s = std::make_unique<Soldier>();
                s->kind = side == 0 ? Character::SquadKind : Character::EnemyKind;
                s->LoadAnimationInfo();
                s->LoadModel(device, "GameData/Models/Soldiers/soldier.gr2");
                const Vector3 at = Ground(28 + i, side == 0 ? 24 : 36, s->radii.y);
                s->SetPosition(at.x, at.y, at.z);
                s->SetYaw(side == 0 ? 0.0f : kPi);
                s->collides = s->gravity = true;
                everyone.push_back(s.get());
                soldiers.push_back(std::move(s));
            }
        }
        for (std::size_t i = 0; i < soldiers.size(); ++i) {
            const int side = int(i) / kPerSide;
            skirmish->Enrol(*soldiers[i], side, Ground(28 + int(i) % kPerSide, side == 0 ? 36 : 24, 0.0f));
        }
        // Nobody is hurt while the benchmark runs: the fight must not thin out the work.
        for (auto& rifle : skirmish->rifles)
            rifle->noiseLevel = 60;
    }

    ~ThinkingBench()
    {
        soldiers.clear();
        skirmish.reset();
        everyone.clear();
        level.reset();
        CollisionSetScene(nullptr);
        scene.reset();
        world.reset();
        camera.reset();
        AnimationCache::Instance().Clear();
        Application::Instance()->SetDevice(previousDevice);
        UnloadRendererLibrary(&device);
    }

    Vector3 Ground(int column, int row, float raise)
    {
        const Vector3 corner = world->GetCornerPosition(column, row);
        return Vector3(corner.x, world->GetTerrainHeightSmooth(corner) + raise, corner.z);
    }

    // The plain perception: the nearest enemy in range, in the cone, not lost in the fog and with a
    // clear sight line, and a turn towards it.
    void PlainThink()
    {
        const float farDistance = camera->GetFar();
        const float fogStart = camera->GetFogStart();
        plainTurns.clear();
        for (auto& s : soldiers) {
            Vector3 eye;
            s->GetHeadPosition(&eye);
            const Vector3 forward(s->rotation.m[6], s->rotation.m[7], s->rotation.m[8]);
            Soldier* nearest = nullptr;
            float nearestDistance = 0.0f;
            for (auto& other : soldiers) {
                if (other->team == s->team)
                    continue;
                Vector3 otherEye;
                other->GetHeadPosition(&otherEye);
                Vector3 d = otherEye - eye;
                const float length = d.Length();
                if (length >= s->sensor.sightRange || !(length > 0.0f))
                    continue;
                const Vector3 n = d * (1.0f / length);
                if (n.Dot(forward) <= s->sensor.viewConeCos)
                    continue;
                if (FogSightFactor(length, farDistance, fogStart) <= 0.1f)
                    continue;
                HitResult ray;
                ray.Clear();
                ray.origin = eye;
                ray.direction = n;
                PickResult pick;
                if (world->Pick(ray, &pick, length, nullptr) && pick.distance < length)
                    continue;
                if (!nearest || length < nearestDistance) {
                    nearest = other.get();
                    nearestDistance = length;
                }
            }
            if (nearest) {
                Vector3 to = nearest->position - s->position;
                to.y = 0.0f;
                const float angle = std::atan2(forward.x * to.z - forward.z * to.x, forward.x * to.x + forward.z * to.z);
                plainTurns.push_back(std::clamp(angle, -4.5f * kFrame, 4.5f * kFrame));
            }
        }
    }

    std::filesystem::path folder;
    Device* device = nullptr;
    Device* previousDevice = nullptr;
    std::unique_ptr<platform::os::Window> window;
    std::unique_ptr<Camera> camera;
    MapDescription map;
    std::unique_ptr<World> world;
    std::unique_ptr<WorldCollisionScene> scene;
    std::unique_ptr<WorldStandIn> level;
    std::unique_ptr<Skirmish> skirmish;
    std::vector<std::unique_ptr<Soldier>> soldiers;
    std::vector<Character*> everyone;
    std::vector<float> plainTurns; // what the plain perception decided, kept apart from the soldiers
};

using Clock = std::chrono::steady_clock;

void BM_ThirtySoldiersThinking(benchmark::State& state)
{
    ThinkingBench bench;
    if (bench.soldiers.empty()) {
        state.SkipWithError("the demo map did not load");
        return;
    }
    double thinking = 0.0, plain = 0.0;
    std::int64_t frames = 0;
    for (auto _ : state) {
        for (auto& s : bench.soldiers) {
            s->health = 100; // the fight goes on at full strength
            s->Update(kFrame);
        }
        auto start = Clock::now();
        bench.skirmish->Think(kFrame);
        const auto middle = Clock::now();
        bench.PlainThink();
        const auto end = Clock::now();
        thinking += std::chrono::duration<double>(middle - start).count();
        plain += std::chrono::duration<double>(end - middle).count();
        ++frames;
        state.SetIterationTime(std::chrono::duration<double>(middle - start).count());
    }
    state.counters["thinking_ms"] = thinking * 1000.0 / double(frames);
    state.counters["plain_ms"] = plain * 1000.0 / double(frames);
    state.counters["thinking/plain"] = plain > 0.0 ? thinking / plain : 0.0;
}

} // namespace

BENCHMARK(BM_ThirtySoldiersThinking)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(300);
