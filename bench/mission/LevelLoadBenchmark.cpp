// MissionState::LoadLevel of the demo mission (loading display, interface, map and world, tile
// sounds, AI statistics, the squad's start) against reading every file that load opens into
// memory, in one run; the ratio is printed at the end.
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "app/framework/Application.h"
#include "app/framework/ArenaAlloc.h"
#include "app/framework/Singletons.h"
#include "bench/support/BenchmarkCommandLine.h"
#include "bench/support/DemoDataSession.h"
#include "bench/support/OpenedFiles.h"
#include "bench/support/RatioReporter.h"
#include "bench/support/ReadFilesBaseline.h"
#include "engine/binding/RendererBinding.h"
#include "engine/filesystem/PackFile.h"
#include "media/SoundSystem.h"
#include "mission/MissionState.h"
#include "platform/os/Window.h"
#include "renderer/Device.h"

namespace {


// One device and sound system for the run, in a folder of its own that sees the demo data.
struct Bench {
    Bench()
    {
        sound = std::make_unique<SoundSystem>();
        sound->Create(true, 14, 2, 22050, "GameData/Audio");
        Application::Instance()->SetDevice(session.device);
        Application::Instance()->SetSoundSystem(sound.get());
        session.WaitForSettledListings();
    }
    ~Bench()
    {
        DestroySingletons();
        ArenaFreeAll();
    }

    DemoDataSession session{BEXAL_DATA_DIR, "bexal-mission-bench"};
    std::unique_ptr<SoundSystem> sound;
};

Bench& TheBench()
{
    static Bench bench;
    return bench;
}

// One load of the demo mission and its unload; false when it did not load.
bool LoadDemoMission()
{
    MissionState* mission = MissionState::Instance();
    mission->ResetForNewGame();
    mission->LoadMission("Maps/Demo/Demo.mis");
    mission->LoadLevel();
    const bool loaded = mission->HasLoadedLevel();
    if (loaded)
        mission->UnloadLevel();
    ArenaFreeAll();
    return loaded;
}

void BM_LoadLevelDemoMission(benchmark::State& state)
{
    TheBench();
    for (auto _ : state) {
        if (!LoadDemoMission()) {
            state.SkipWithError("the demo mission did not load");
            return;
        }
    }
}

// The baseline: every file the load opens (traced during one load), read whole into memory
// through the pack-file layer.
void BM_ReadDemoMissionFiles(benchmark::State& state)
{
    TheBench();
    static const std::vector<std::string> files = FilesOpenedBy([] { LoadDemoMission(); });
    if (files.empty()) {
        state.SkipWithError("no file was traced");
        return;
    }
    ReadFilesIntoMemory(state, files);
}

} // namespace

BENCHMARK(BM_LoadLevelDemoMission)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_ReadDemoMissionFiles)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv)
{
    BenchmarkCommandLine commandLine(argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const auto load = reporter.secondsPerFrame.find("BM_LoadLevelDemoMission/iterations:5/real_time");
    const auto read = reporter.secondsPerFrame.find("BM_ReadDemoMissionFiles/real_time");
    if (load != reporter.secondsPerFrame.end() && read != reporter.secondsPerFrame.end() && read->second > 0)
        std::printf("LoadLevel / reading its files = %.2f (goal: at most 4)\n", load->second / read->second);
    benchmark::Shutdown();
    return 0;
}
