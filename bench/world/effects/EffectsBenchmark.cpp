// A frame of a map with 500 far trees drawn as imposters against the same 500 trees drawn as
// meshes (the world's ordinary object drawing, the baseline), and the CPU time of rebuilding the
// shadow volumes of 100 turning casters through their dynshadow props against the plain volume a
// competent engineer would build without an edge list: every triangle facing away from the light
// extruded along its own three edges.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <vector>

#include <benchmark/benchmark.h>

#include "app/framework/ArenaAlloc.h"
#include "bench/support/BenchmarkCommandLine.h"
#include "bench/support/FrameCpu.h"
#include "bench/support/DemoDataSession.h"
#include "bench/support/RatioReporter.h"
#include "engine/binding/RendererBinding.h"
#include "engine/camera/Camera.h"
#include "platform/os/Window.h"
#include "renderer/Device.h"
#include "tools/demodata/writers/MapWriter.h"
#include "world/imposters/ImposterProp.h"
#include "world/map/MapDescription.h"
#include "world/shadows/ShadowProp.h"
#include "world/shadows/ShadowVolume.h"
#include "world/World.h"

namespace {

void WriteBytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes)
{
    if (path.has_parent_path())
        std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// A flat 64 x 64-cell map with the demo trees: 500 imposters in a grove north of the middle, the
// same 500 as plain meshes mirrored to the south, and 100 shadow-casting trees far to the east.
struct EffectsWorld {
    EffectsWorld()
    {
        camera = std::make_unique<Camera>(device);
        MapFile file;
        file.width = file.height = 64;
        file.SizeBlocks();
        file.heightScale = 0.25f;
        file.cellSize = 10.0f;
        file.tileDirectory = "Maps/tWorld/";
        file.objectDirectory = "Maps/tWorld/";
        file.cloudTexture = "Maps/Sky/clouds.tga";
        file.groups = {"Trees"};
        file.entries = {{"tree.q3d", "FarTree", {"imposter", "", "", "", ""}, 0, 0},
                        {"tree.q3d", "Tree", {}, 0, 0},
                        {"tree.q3d", "Caster", {"dynshadow", "", "", "", ""}, 0, 0}};
        for (int side = 0; side < 2; ++side)
            for (int i = 0; i < 500; ++i) {
                MapFilePlacement p;
                p.position[0] = float(i % 25) * 9.0f - 108.0f;
                p.position[2] = (150.0f + float(i / 25) * 8.0f) * (side == 0 ? 1.0f : -1.0f);
                p.library = side;
                file.placements.push_back(p);
            }
        for (int i = 0; i < 100; ++i) {
            MapFilePlacement p;
            p.position[0] = 250.0f + float(i % 10) * 6.0f;
            p.position[2] = float(i / 10) * 6.0f - 30.0f;
            p.library = 2;
            file.placements.push_back(p);
        }
        WriteBytes("bench.mpb", WriteMapFile(file));
        if (!map.Load("bench.mpb"))
            return;
        world = std::make_unique<World>();
        world->Load(&map, device, camera.get());
        camera->SetFar(600.0f);
        for (MapObject* object = world->GetFirstObject(); object; object = object->next)
            if (auto* prop = static_cast<DynShadowProp*>(object->FindProp(DynShadowPropFactory)))
                casters.push_back({object, prop});
    }
    ~EffectsWorld()
    {
        world.reset();
        ArenaFreeAll();
        camera.reset();
    }

    void Look(float direction)
    {
        camera->position = Vector3(0, 30, 0);
        Matrix3 rotation;
        rotation.FromEulerAngles(0.1f, direction, 0.0f);
        camera->rotation = rotation;
        camera->UpdateTransform(0.0f);
    }

    void Frame()
    {
        device->BeginFrame(true, true);
        camera->UpdateTransform(0.0f);
        world->Update(0.016f);
        world->CollectVisible();
        world->RenderTerrain();
        world->RenderObjects();
        world->RenderStencilShadows();
        device->EndFrame(true, true);
    }

    DemoDataSession session{BEXAL_DATA_DIR, "bexal-effects-bench", 320, 240};
    Device* device = session.device;
    std::unique_ptr<Camera> camera;
    MapDescription map;
    std::unique_ptr<World> world;
    std::vector<std::pair<MapObject*, DynShadowProp*>> casters;
};

EffectsWorld& TheWorld()
{
    static EffectsWorld effects;
    return effects;
}

void TreeFrame(benchmark::State& state, float direction)
{
    EffectsWorld& effects = TheWorld();
    if (!effects.world) {
        state.SkipWithError("the map did not load");
        return;
    }
    effects.Look(direction);
    for (int i = 0; i < 3; ++i)
        effects.Frame(); // the pictures are rendered once, then only drawn
    FrameCpu cpu;
    cpu.Start();
    for (auto _ : state)
        effects.Frame();
    cpu.Stop();
    cpu.Report(state);
    state.counters["imposters"] = ImposterProp::DrawnThisFrame();
    state.counters["meshes"] = effects.world->drawnObjectCount;
}

void BM_FrameWith500Imposters(benchmark::State& state) { TreeFrame(state, 0.0f); }
void BM_FrameWith500TreeMeshes(benchmark::State& state) { TreeFrame(state, 3.14159265f); }

// Every caster turns a little each frame, so each one rebuilds its volume.
void BM_ShadowRebuild100TurningCasters(benchmark::State& state)
{
    EffectsWorld& effects = TheWorld();
    if (effects.casters.size() != 100) {
        state.SkipWithError("the casters did not load");
        return;
    }
    float angle = 0.0f;
    for (auto _ : state) {
        angle += 0.01f;
        for (std::size_t i = 0; i < effects.casters.size(); ++i) {
            auto [object, prop] = effects.casters[i];
            Matrix3 turn;
            turn.FromAxisAngle(angle + float(i) * 0.1f, Vector3(0, 1, 0));
            object->SetRotation(turn);
            prop->PostDraw(object, 0.016f);
        }
        effects.world->shadowVolumes.clear();
    }
    state.counters["side indices"] = effects.casters[0].second->volume.sideIndexCount;
}

// The baseline: the same light turned into each caster's space, and a volume of the triangles
// facing away from it, each with its own three edges extruded (no edge list to keep).
void BM_ShadowPlainExtrusion100TurningCasters(benchmark::State& state)
{
    EffectsWorld& effects = TheWorld();
    if (effects.casters.size() != 100) {
        state.SkipWithError("the casters did not load");
        return;
    }
    const ShadowMesh mesh = ShadowMesh::FromMesh(effects.casters[0].second->caster);
    std::vector<ShadowVolumeVertex> vertices;
    std::vector<std::uint16_t> indices;
    const Vector3 sun(-effects.world->sun->direction[0], -effects.world->sun->direction[1],
                      -effects.world->sun->direction[2]);
    float angle = 0.0f;
    for (auto _ : state) {
        angle += 0.01f;
        for (std::size_t i = 0; i < effects.casters.size(); ++i) {
            Matrix3 turn;
            turn.FromAxisAngle(angle + float(i) * 0.1f, Vector3(0, 1, 0));
            const Vector3 light = turn.Transpose().Transform(sun);
            const Vector3 push = light * -ShadowVolume::kExtrusion;
            vertices.clear();
            indices.clear();
            for (std::size_t p = 0; p < mesh.prims.size(); ++p) {
                const ShadowMesh::Prim& prim = mesh.prims[p];
                for (std::size_t t = 0; t + 2 < prim.corners.size(); t += 3) {
                    const int c[3] = {prim.corners[t], prim.corners[t + 1], prim.corners[t + 2]};
                    if (mesh.FaceNormal(int(p), c).Dot(light) >= 0.0f)
                        continue;
                    for (int e = 0; e < 3; ++e) {
                        const Vector3& a = prim.positions[std::size_t(c[e])];
                        const Vector3& b = prim.positions[std::size_t(c[(e + 1) % 3])];
                        const auto base = std::uint16_t(vertices.size());
                        for (const Vector3& v : {a, b, a + push, b + push})
                            vertices.push_back({{v.x, v.y, v.z}, {0, 0, 0}, 0x5f000000u, {0, 0, 0, 0}});
                        for (const int k : {0, 1, 2, 1, 3, 2})
                            indices.push_back(std::uint16_t(base + k));
                    }
                }
            }
            benchmark::DoNotOptimize(vertices.data());
            benchmark::DoNotOptimize(indices.data());
        }
    }
    state.counters["side indices"] = double(indices.size());
}

} // namespace

BENCHMARK(BM_FrameWith500Imposters)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FrameWith500TreeMeshes)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ShadowRebuild100TurningCasters)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ShadowPlainExtrusion100TurningCasters)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv)
{
    BenchmarkCommandLine commandLine(argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const auto imposters = reporter.secondsPerFrame.find("BM_FrameWith500Imposters/real_time");
    const auto meshes = reporter.secondsPerFrame.find("BM_FrameWith500TreeMeshes/real_time");
    if (imposters != reporter.secondsPerFrame.end() && meshes != reporter.secondsPerFrame.end() && meshes->second > 0)
        std::printf("imposter frame time / mesh frame time = %.3f (goal: at most 0.5)\n",
                    imposters->second / meshes->second);
    benchmark::Shutdown();
    return 0;
}
