// Thirty soldiers walking in circles on the demo map. Timed by hand around the characters' own
// work of a frame (their update, and their drawing with the skinning it does), so that the clearing
// and presenting of the frame stay outside; the baseline is the same thirty body models posed by
// the same walk at the same levels of detail (the coarser ones on the finest one's skeleton) and
// drawn directly, with no character behind them. The update alone is reported per character.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "bench/support/BenchmarkCommandLine.h"
#include "bench/support/FrameCpu.h"
#include "bench/support/DemoMapSession.h"
#include "bench/support/RatioReporter.h"

#include "app/framework/Application.h"
#include "app/framework/ArenaAlloc.h"
#include "characters/body/AnimationController.h"
#include "characters/body/Character.h"
#include "characters/level/NetworkSession.h"
#include "engine/animation/AnimatedModel.h"
#include "engine/camera/Camera.h"
#include "renderer/Device.h"
#include "world/World.h"

namespace {

constexpr int kCharacters = 30;
constexpr float kFrame = 1.0f / 60.0f;

struct Bench {
    Bench()
    {

        // Six rows of five on the hills west of the lake, all in view of one camera.
        for (int i = 0; i < kCharacters; ++i) {
            auto c = std::make_unique<Character>();
            c->kind = Character::SquadKind;
            c->LoadAnimationInfo();
            c->LoadModel(device, "GameData/Models/Soldiers/soldier.gr2");
            const Vector3 corner = world->GetCornerPosition(34 + (i % 5) * 2, 26 + (i / 5) * 2);
            c->SetPosition(corner.x, world->GetTerrainHeightSmooth(corner) + c->radii.y, corner.z);
            c->collides = c->gravity = true;
            c->StartAction(1, true);
            everyone.push_back(c.get());
            characters.push_back(std::move(c));
        }
        View(0);

        // The baseline's bare models: each soldier's three levels of detail, the coarser two
        // drawn on the finest one's skeleton, which plays the walk.
        for (int i = 0; i < kCharacters; ++i) {
            for (int level = 1; level <= 3; ++level) {
                auto model = std::make_unique<AnimatedModel>();
                const std::string path = "GameData/Models/Soldiers/soldier_LOD" + std::to_string(level) + ".gr2";
                model->Load(device, path.c_str(), nullptr);
                if (level == 1)
                    model->PlayAnimation(0.0f, model->LoadAnimation("GameData/Models/LowerBody/walk01.gr2"));
                else
                    model->BindToSkeletonOf(*bare[bare.size() - std::size_t(level - 1)]);
                model->position = characters[std::size_t(i)]->position - Vector3(0, characters[std::size_t(i)]->radii.y, 0);
                bare.push_back(std::move(model));
            }
        }
    }

    ~Bench()
    {
        for (auto& model : bare)
            model->Release();
        bare.clear();
        characters.clear();
        everyone.clear();
    }

    // View 0 sees the group from 60 to 110 units (the coarser levels of detail); view 1 from 25
    // units behind its front row, where most soldiers draw at full detail with their foot shadows.
    void View(int view)
    {
        const Vector3 centre = world->GetCornerPosition(38, 31);
        camera->position = centre + (view == 0 ? Vector3(0, 30, -60) : Vector3(0, 12, -25));
        Matrix3 look;
        look.FromEulerAngles(view == 0 ? 0.4f : 0.3f, 0.0f, 0.0f);
        camera->rotation = look;
        camera->UpdateTransform(0.0f);
    }

    // Each soldier walks forward while turning: a circle of 5 units, so that the group stays in view.
    void Steer()
    {
        for (Character* c : everyone) {
            c->moveInput = Vector3(0, 0, 10.0f);
            c->turnAngle = 2.0f * kFrame;
        }
    }

    DemoMapSession session{BEXAL_DATA_DIR, "bexal-characters-bench"};
    Device* device = session.GetDevice();
    std::unique_ptr<Camera>& camera = session.camera;
    std::unique_ptr<World>& world = session.world;
    std::vector<Character*>& everyone = session.everyone;
    std::vector<std::unique_ptr<Character>> characters;
    std::vector<std::unique_ptr<AnimatedModel>> bare;
};

Bench& TheBench()
{
    static Bench bench;
    return bench;
}

using Clock = std::chrono::steady_clock;

// Runs frames of the view the benchmark's argument names, timing only what work does between the
// start and the end of each frame; work returns how many bodies it drew.
template <typename Work>
void TimeFrames(benchmark::State& state, Bench& bench, Work work)
{
    bench.View(int(state.range(0)));
    int drawn = 0;
    // The CPU counters take the whole frame: the renderer's threads draw at its end.
    FrameCpu cpu;
    for (auto _ : state) {
        cpu.Start();
        bench.device->BeginFrame(true, true);
        const auto start = Clock::now();
        drawn = work();
        const auto end = Clock::now();
        bench.device->EndFrame(true, true);
        cpu.Stop();
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
    }
    cpu.Report(state);
    state.counters["drawn"] = drawn;
}

void BM_ThirtyCharactersUpdateAndDraw(benchmark::State& state)
{
    Bench& bench = TheBench();
    if (bench.characters.empty()) {
        state.SkipWithError("the demo map did not load");
        return;
    }
    TimeFrames(state, bench, [&bench] {
        bench.Steer();
        int drawn = 0;
        for (Character* c : bench.everyone)
            c->Update(kFrame);
        for (Character* c : bench.everyone)
            drawn += c->Draw(bench.device);
        return drawn;
    });
}

// The same thirty bodies: each model's pose advanced and drawn, nothing else.
void BM_ThirtyBareModelsPoseAndDraw(benchmark::State& state)
{
    Bench& bench = TheBench();
    if (bench.bare.empty()) {
        state.SkipWithError("the demo map did not load");
        return;
    }
    TimeFrames(state, bench, [&bench] {
        int drawn = 0;
        for (std::size_t i = 0; i < bench.bare.size(); i += 3) {
            // The skeleton is posed once; the level of detail is picked by distance.
            bench.bare[i]->UpdateTransform(kFrame);
            const float distance = (bench.bare[i]->position - bench.camera->position).Length();
            const std::size_t level = distance >= 80.0f ? 2 : distance >= 40.0f ? 1 : 0;
            AnimatedModel& model = *bench.bare[i + level];
            if (level != 0)
                model.UpdateTransform(kFrame);
            drawn += model.Draw(bench.device);
        }
        return drawn;
    });
}

// The update alone, one character a time round the thirty: the time of one is the time per character.
void BM_CharacterUpdate(benchmark::State& state)
{
    Bench& bench = TheBench();
    if (bench.characters.empty()) {
        state.SkipWithError("the demo map did not load");
        return;
    }
    std::size_t next = 0;
    for (auto _ : state) {
        Character* c = bench.everyone[next];
        c->moveInput = Vector3(0, 0, 10.0f);
        c->turnAngle = 2.0f * kFrame;
        c->Update(kFrame);
        next = (next + 1) % bench.everyone.size();
    }
}

} // namespace

BENCHMARK(BM_ThirtyCharactersUpdateAndDraw)->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ThirtyBareModelsPoseAndDraw)->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CharacterUpdate)->Unit(benchmark::kMicrosecond);
int main(int argc, char** argv)
{
    BenchmarkCommandLine commandLine(argc, argv);
    if (commandLine.ReportUnrecognized())
        return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    // The characters' frame against the bare bodies' frame, per view, from this run (both timed in ms).
    for (const char* view : {"0", "1"}) {
        const auto characters =
            reporter.secondsPerFrame.find(std::string("BM_ThirtyCharactersUpdateAndDraw/") + view + "/manual_time");
        const auto bare =
            reporter.secondsPerFrame.find(std::string("BM_ThirtyBareModelsPoseAndDraw/") + view + "/manual_time");
        if (characters != reporter.secondsPerFrame.end() && bare != reporter.secondsPerFrame.end() && bare->second > 0)
            std::printf("view %s: thirty characters / thirty bare bodies = %.2f (%.3f ms / %.3f ms a frame)\n", view,
                        characters->second / bare->second, characters->second, bare->second);
    }
    benchmark::Shutdown();
    return 0;
}
