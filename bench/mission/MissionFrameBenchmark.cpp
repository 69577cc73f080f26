// One frame of the running demo mission as the main loop runs it (the application's update and
// draw: the in-game update of every character, shot, effect and the rain, and the draw submission
// of the world, the characters, the effects and the interface) with the player's squad and twenty
// computer-driven soldiers of the other side fighting it. Timed in the main thread's CPU time, the
// renderer's own worker threads left out; the goal is under 8 ms.
//
// The baseline is the empty frame of the same loop in the same run: the application's update and
// draw with a screen that does nothing, so the device's frame, the interface layer and the present
// are counted alike and the difference is the mission's own work.
#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

#include <benchmark/benchmark.h>

#include "app/framework/Application.h"
#include "app/framework/ArenaAlloc.h"
#include "app/framework/GameState.h"
#include "app/framework/Singletons.h"
#include "bench/support/BenchmarkCommandLine.h"
#include "bench/support/FrameCpu.h"
#include "bench/support/DemoDataSession.h"
#include "bench/support/RatioReporter.h"
#include "campaign/CampaignState.h"
#include "characters/player/Player.h"
#include "engine/core/RandomMT.h"
#include "items/Item.h"
#include "media/SoundSystem.h"
#include "mission/loading/MapPopulation.h"
#include "mission/MissionState.h"
#include "world/map/MapDescription.h"

namespace {

constexpr int kOtherSide = 20;

// A screen that does nothing: the frame around it is the baseline.
class EmptyScreen : public GameState {
public:
    void Update() override {}
    void Draw() override {}
};

// The demo mission loaded once for the run, its map's six enemies joined by fourteen more on a
// ring in front of the squad.
struct Bench {
    Bench()
    {
        sound = std::make_unique<SoundSystem>();
        sound->Create(true, 14, 2, 22050, "GameData/Audio");
        Application* application = Application::Instance();
        application->SetDevice(session.device);
        application->SetSoundSystem(sound.get());
        session.WaitForSettledListings();
        MissionState* mission = MissionState::Instance();
        mission->findItemDefinition = CampaignState::LookUpItemDefinition;
        seedMT(17);
        mission->ResetForNewGame();
        mission->LoadMission("Maps/Demo/Demo.mis");
        mission->LoadLevel();
        if (!mission->HasLoadedLevel() || !mission->roster.localSquad)
            return;
        const Vector3 start = mission->roster.localSquad->GetMember(0)->position;
        int others = 0;
        for (Character* character : mission->level.characters)
            others += character->kind == Character::EnemyKind ? 1 : 0;
        const char* loadout[2] = {"Knife", "M4"};
        for (int i = 0; others < kOtherSide; ++i, ++others) {
            const float angle = -1.2f + 0.18f * float(i);
            const float x = start.x + 110.0f * std::sin(angle), z = start.z + 110.0f * std::cos(angle);
            Character* enemy = CreateMapEnemy("GameData/Models/enemy", "GameData/AI/infantry.sns", loadout, 2);
            const float ground = mission->GetGroundHeight(Vector3(x, start.y + 100.0f, z));
            enemy->SetPosition(x, ground + 4.0f, z);
            enemy->PlaceAt(x, ground + 4.0f, z);
            enemy->SetYaw(angle + 3.1415927f);
            enemy->SetParent(mission->level.root.get());
            for (const char* name : loadout)
                if (Item* item = mission->CreateItem(name); item && !enemy->PickUpItem(item, true))
                    delete item;
            enemy->SelectDefaultItem();
            mission->level.characters.push_back(enemy);
        }
        ready = true;
    }
    ~Bench()
    {
        MissionState* mission = MissionState::Instance();
        if (mission->IsLevelPresent())
            mission->UnloadLevel();
        DestroySingletons();
        ArenaFreeAll();
    }

    DemoDataSession session{BEXAL_DATA_DIR, "bexal-mission-frame-bench"};
    std::unique_ptr<SoundSystem> sound;
    EmptyScreen empty;
    bool ready = false;
};

Bench& TheBench()
{
    static Bench bench;
    return bench;
}

// The application's frame on the current screen, in the main thread's CPU seconds, with the whole
// process's CPU beside it.
void TimeFrames(benchmark::State& state, bool keepFighting)
{
    Application* application = Application::Instance();
    MissionState* mission = MissionState::Instance();
    FrameCpu cpu;
    for (auto _ : state) {
        // Nobody falls: the fight keeps its full size for every frame measured.
        if (keepFighting)
            for (Character* character : mission->level.characters)
                character->health = 100;
        cpu.Start();
        application->Update();
        application->Draw();
        state.SetIterationTime(cpu.Stop());
    }
    cpu.Report(state);
}

void BM_MissionFrame(benchmark::State& state)
{
    Bench& bench = TheBench();
    if (!bench.ready) {
        state.SkipWithError("the demo mission did not load with its squad");
        return;
    }
    MissionState* mission = MissionState::Instance();
    Application::Instance()->SetState(mission);
    // A few frames first, so that the fight has begun.
    for (int i = 0; i < 30; ++i) {
        Application::Instance()->Update();
        Application::Instance()->Draw();
    }
    TimeFrames(state, true);
    int fighting = 0;
    for (Character* character : mission->level.characters)
        if (auto* soldier = dynamic_cast<Soldier*>(character); soldier && soldier->target.target)
            ++fighting;
    state.counters["characters"] = double(mission->level.characters.size());
    state.counters["with_target"] = double(fighting);
    state.counters["drawn"] = double(mission->hud.drawnCharacters);
    state.counters["effects"] = double(mission->level.particleEffects.Count());
}

void BM_EmptyFrame(benchmark::State& state)
{
    Bench& bench = TheBench();
    Application::Instance()->SetState(&bench.empty);
    TimeFrames(state, false);
}

} // namespace

BENCHMARK(BM_MissionFrame)->Unit(benchmark::kMillisecond)->UseManualTime()->MinTime(3.0);
BENCHMARK(BM_EmptyFrame)->Unit(benchmark::kMillisecond)->UseManualTime()->MinTime(1.0);

int main(int argc, char** argv)
{
    BenchmarkCommandLine commandLine(argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const auto frame = reporter.secondsPerFrame.find("BM_MissionFrame/min_time:3.000/manual_time");
    const auto empty = reporter.secondsPerFrame.find("BM_EmptyFrame/min_time:1.000/manual_time");
    if (frame != reporter.secondsPerFrame.end() && empty != reporter.secondsPerFrame.end() && empty->second > 0) {
        // The reporter keeps each time in the benchmarks' unit, milliseconds here.
        std::printf("mission frame: %.2f ms of main-thread CPU (goal: under 8 ms); empty frame %.3f ms; "
                    "mission frame / empty frame = %.1f\n",
                    frame->second, empty->second, frame->second / empty->second);
    }
    benchmark::Shutdown();
    return 0;
}
