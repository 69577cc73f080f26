// A 20 x 20 mine field (half size 100, visible mines) on the demo map going off in a chain, one mine
// a frame, with ten soldiers walking beside it: the frame's CPU time against the same frame of the
// same soldiers without the field. Each mine's blast tests every soldier, loads its sound (there
// is no sound system here, so the failure is logged) and starts three particle effects. The frame
// is the soldiers' update; the field's drawing needs a local player and is left out.
#include <ctime>
#include <memory>
#include <optional>
#include <vector>

#include <benchmark/benchmark.h>

#include "bench/support/DemoMapSession.h"
#include "bench/support/RatioReporter.h"
#include "characters/body/Character.h"
#include "characters/level/RunningLevel.h"
#include "engine/core/RandomMT.h"
#include "items/ItemDefinition.h"
#include "items/NoLevelItems.h"
#include "items/explosives/MineFieldItem.h"
#include "world/World.h"

namespace {

constexpr int kSoldiers = 10;
constexpr float kFrame = 1.0f / 60.0f;

double ThreadSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

struct Bench {
    Bench()
    {
        seedMT(1);
        const Vector3 centre = world->GetCornerPosition(32, 40);
        for (int i = 0; i < kSoldiers; ++i) {
            auto c = std::make_unique<Character>();
            c->kind = Character::EnemyKind;
            c->LoadAnimationInfo();
            c->LoadModel(session.GetDevice(), "GameData/Models/Soldiers/soldier.gr2");
            // A file beside the field's eastern edge, walking north.
            const Vector3 at(centre.x + 110.0f, 0.0f, centre.z - 50.0f + 10.0f * float(i));
            c->SetPosition(at.x, world->GetTerrainHeightSmooth(at) + c->radii.y, at.z);
            c->StartAction(0, true);
            c->Update(kFrame);
            session.everyone.push_back(c.get());
            soldiers.push_back(std::move(c));
        }
        level.emplace(RunningLevel::Services{.items = &items});
        ItemDefinition definition;
        if (!LoadItemDefinition("GameData/Items/MineField.idf", definition))
            return;
        field = std::make_unique<MineFieldItem>(definition);
        field->position = centre;
        field->SetSize(100.0f);
        field->LayOut(mines);
    }

    ~Bench()
    {
        field.reset();
        level.reset();
        session.everyone.clear();
        soldiers.clear();
    }

    void SoldiersFrame()
    {
        for (auto& soldier : soldiers) {
            soldier->health = 100;
            soldier->Update(kFrame);
        }
    }

    DemoMapSession session{BEXAL_DATA_DIR, "bexal-minefield-bench"};
    std::unique_ptr<World>& world = session.world;
    std::vector<std::unique_ptr<Character>> soldiers;
    NoLevelItems items;
    std::optional<RunningLevel> level;
    std::unique_ptr<MineFieldItem> field;
    std::vector<Vector3> mines;
};

Bench& TheBench()
{
    static Bench bench;
    return bench;
}

void BM_MineFieldChainFrame(benchmark::State& state)
{
    Bench& bench = TheBench();
    if (!bench.field || bench.mines.size() != 400) {
        state.SkipWithError("the mine field did not load");
        return;
    }
    std::size_t next = 0;
    long blasts = 0;
    for (auto _ : state) {
        if (next == bench.mines.size()) {
            bench.field->SetSize(100.0f); // every mine intact again
            next = 0;
        }
        const double begin = ThreadSeconds();
        bench.SoldiersFrame();
        blasts += bench.field->TriggerAt(bench.mines[next++]) ? 1 : 0;
        bench.field->UpdateTransform(kFrame);
        state.SetIterationTime(ThreadSeconds() - begin);
    }
    state.counters["blasts per frame"] = double(blasts) / double(state.iterations());
}

void BM_SameFrameWithoutField(benchmark::State& state)
{
    Bench& bench = TheBench();
    for (auto _ : state) {
        const double begin = ThreadSeconds();
        bench.SoldiersFrame();
        state.SetIterationTime(ThreadSeconds() - begin);
    }
}

} // namespace

BENCHMARK(BM_MineFieldChainFrame)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(800);
BENCHMARK(BM_SameFrameWithoutField)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(800);

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const auto chain = reporter.secondsPerFrame.find("BM_MineFieldChainFrame/iterations:800/manual_time");
    const auto plain = reporter.secondsPerFrame.find("BM_SameFrameWithoutField/iterations:800/manual_time");
    if (chain != reporter.secondsPerFrame.end() && plain != reporter.secondsPerFrame.end())
        std::printf("mine field chain: %.3f ms of CPU a frame over the same frame without it (goal: under 2 ms); "
                    "%.3f ms against %.3f ms\n",
                    chain->second - plain->second, chain->second, plain->second);
    benchmark::Shutdown();
    return 0;
}
