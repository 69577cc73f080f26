#include <benchmark/benchmark.h>

#include <cstdint>

#include "bench/support/BenchmarkCommandLine.h"
#include "engine/particle/qParticle.h"

namespace {

// A full system of 10 000 live particles with gravity, a floor to bounce on and colour, alpha
// and size fades; each update moves every particle and looks for a free slot to emit into.
void FillSystem(qParticle& system, bool attract)
{
    std::uint32_t seed = 1;
    system.SetRandomSource([&seed] {
        seed = seed * 1664525u + 1013904223u;
        return int(seed >> 8);
    });
    system.maxParticles = 10000;
    system.emissionRate = 1.0e6f;
    system.lifetimeBase = 100.0f;
    system.speedBase = 20.0f;
    system.speedSpread = 10.0f;
    system.coneAngle = 60.0f;
    system.gravityBase = system.gravityEnd = 0.05f;
    system.floorHeight = -5.0f;
    system.attract = attract;
    system.UpdateTransform(0.02f);
    system.SetRandomSource(nullptr);
}

void BM_UpdateTenThousandParticles(benchmark::State& state)
{
    qParticle system;
    FillSystem(system, state.range(0) != 0);
    if (system.GetLiveCount() != 10000)
        state.SkipWithError("the system did not fill");
    for (auto _ : state) {
        system.UpdateTransform(0.001f);
        benchmark::DoNotOptimize(system.GetPool().data());
    }
    state.SetItemsProcessed(state.iterations() * 10000);
}

} // namespace

BENCHMARK(BM_UpdateTenThousandParticles)->Arg(0)->Arg(1)->ArgNames({"attract"});
BEXAL_BENCHMARK_MAIN()
