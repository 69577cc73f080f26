// The map's computer-driven population at full size on the demo map: fifty enemies, ten villagers
// and ten guard dogs around a squad of four, each running its whole frame (distances, sensing the
// squad, noticing, choosing its state, the state's step and its body). The same frame with the
// squad alone is the baseline: the difference is what the seventy cost. Both are timed in the
// same run, alternately, and reported as counters of this one benchmark (goal: under 3 ms a frame
// for the seventy).
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <vector>

#include <benchmark/benchmark.h>

#include "app/framework/Application.h"
#include "characters/body/AnimationCache.h"
#include "characters/enemy/Enemy.h"
#include "characters/neutral/Animal.h"
#include "characters/neutral/Neutral.h"
#include "engine/binding/RendererBinding.h"
#include "engine/core/RandomMT.h"
#include "mission/services/WorldCollisionScene.h"
#include "physics/Collision.h"
#include "platform/os/Window.h"
#include "renderer/Device.h"
#include "tests/characters/ai/SkirmishHarness.h"
#include "tests/support/WorldStandIn.h"
#include "world/map/MapDescription.h"

namespace {

constexpr int kEnemies = 50;
constexpr int kNeutrals = 10;
constexpr int kDogs = 10;
constexpr int kSquad = 4;
constexpr float kFrame = 1.0f / 30.0f;
constexpr const char* kModel = "GameData/Models/Soldiers/soldier.gr2";

struct PopulationBench {
    PopulationBench()
    {
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        previousDevice = Application::Instance()->GetDevice();
        folder = std::filesystem::temp_directory_path() / "bexal-population-bench";
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
        for (const char* linked : {"Maps", "GameData", "Sound"})
            std::filesystem::create_directory_symlink(std::filesystem::path(BEXAL_DATA_DIR) / linked, folder / linked);
        std::filesystem::current_path(folder);
        LoadRendererLibrary(kRendererLibraryName, &device);
        window = platform::os::Window::Create("population bench", 160, 120, platform::os::WindowMode::Windowed);
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
        ai = std::make_unique<Skirmish>(*world, *camera);
        seedMT(17);

        // The squad in the middle of the map, the camera over it.
        for (int i = 0; i < kSquad; ++i) {
            auto s = std::make_unique<Soldier>();
            s->kind = Character::SquadKind;
            s->team = 2;
            s->LoadAnimationInfo();
            s->LoadModel(device, kModel);
            Place(*s, 31 + i, 31);
            squad.push_back(s.get());
            squadOwned.push_back(std::move(s));
        }
        ai->squads = {squad};
        camera->position = squad[0]->position + Vector3(0.0f, 10.0f, -20.0f);

        // The population on rings around the squad: near ones sense it, far ones move the cheap way.
        static const char* const loadout[] = {"Knife", "Rifle"};
        static const char* const bite[] = {"Dog Bite"};
        int n = 0;
        const auto spot = [&n](int& column, int& row) {
            const float angle = 2.3999632f * float(n);
            const float radius = 3.0f + 1.2f * std::sqrt(float(n));
            column = 31 + int(std::lround(radius * std::cos(angle)));
            row = 31 + int(std::lround(radius * std::sin(angle)));
            ++n;
        };
        for (int i = 0; i < kEnemies + kNeutrals + kDogs; ++i) {
            std::unique_ptr<Soldier> c;
            if (i < kEnemies) {
                c = std::make_unique<Enemy>(kModel, "GameData/AI/infantry.sns", loadout, 2);
                c->team = 1;
            } else if (i < kEnemies + kNeutrals) {
                c = std::make_unique<Neutral>(kModel, "GameData/AI/infantry.sns", "Sound/Villager");
            } else {
                c = std::make_unique<Animal>(kModel, "GameData/AI/dog.sns", bite, 1);
                c->team = 1;
            }
            int column = 0, row = 0;
            spot(column, row);
            Place(*c, column, row);
            ai->rifles.push_back(std::make_unique<SkirmishRifle>());
            c->PickUpItem(ai->rifles.back().get(), true);
            c->SelectItem(ai->rifles.back().get());
            population.push_back(c.get());
            populationOwned.push_back(std::move(c));
        }
        everyone = squad;
    }

    ~PopulationBench()
    {
        everyone.clear();
        populationOwned.clear();
        squadOwned.clear();
        ai.reset();
        level.reset();
        CollisionSetScene(nullptr);
        scene.reset();
        world.reset();
        camera.reset();
        AnimationCache::Instance().Clear();
        Application::Instance()->SetDevice(previousDevice);
        UnloadRendererLibrary(&device);
    }

    void Place(Character& c, int column, int row)
    {
        const Vector3 corner = world->GetCornerPosition(column, row);
        const Vector3 at(corner.x, world->GetTerrainHeightSmooth(corner) + c.radii.y, corner.z);
        c.SetPosition(at.x, at.y, at.z);
        c.PlaceAt(at.x, at.y, at.z);
    }

    // One frame of everybody in the list; nobody is hurt, so the work does not thin out.
    void Frame(bool withPopulation)
    {
        everyone = squad;
        if (withPopulation)
            everyone.insert(everyone.end(), population.begin(), population.end());
        for (Character* c : everyone) {
            c->health = 100;
            c->Think();
            c->Update(kFrame);
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
    std::unique_ptr<Skirmish> ai;
    std::vector<std::unique_ptr<Soldier>> squadOwned;
    std::vector<std::unique_ptr<Soldier>> populationOwned;
    std::vector<Character*> squad;
    std::vector<Character*> population;
    std::vector<Character*> everyone;
};

using Clock = std::chrono::steady_clock;

void BM_SeventyOfTheMapsPopulationThinking(benchmark::State& state)
{
    PopulationBench bench;
    if (bench.population.empty()) {
        state.SkipWithError("the demo map did not load");
        return;
    }
    double with = 0.0, without = 0.0;
    std::int64_t frames = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        bench.Frame(true);
        const auto middle = Clock::now();
        bench.Frame(false);
        const auto end = Clock::now();
        const double withFrame = std::chrono::duration<double>(middle - start).count();
        with += withFrame;
        without += std::chrono::duration<double>(end - middle).count();
        ++frames;
        state.SetIterationTime(withFrame);
    }
    state.counters["with_ms"] = with * 1000.0 / double(frames);
    state.counters["without_ms"] = without * 1000.0 / double(frames);
    state.counters["seventy_ms"] = (with - without) * 1000.0 / double(frames);
}

} // namespace

BENCHMARK(BM_SeventyOfTheMapsPopulationThinking)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(200);
