// World::Load of the demo map against reading the same files into memory, the CPU time of one
// frame of a 256 x 256-cell map with 5 000 objects (CollectVisible, terrain, objects, present)
// against an empty frame on the same device, and one world pick along a sight line on the demo map
// against brute force over the same triangles.
#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>
#include <vector>

#include <benchmark/benchmark.h>

#include "app/framework/ArenaAlloc.h"
#include "bench/support/BenchmarkCommandLine.h"
#include "bench/support/DemoDataSession.h"
#include "bench/support/FrameCpu.h"
#include "bench/support/RatioReporter.h"
#include "bench/support/ReadFilesBaseline.h"
#include "engine/binding/RendererBinding.h"
#include "engine/camera/Camera.h"
#include "engine/filesystem/PackFile.h"
#include "engine/mesh/MeshVertices.h"
#include "engine/mesh/qMesh.h"
#include "platform/os/Window.h"
#include "renderer/Device.h"
#include "tools/demodata/writers/MapWriter.h"
#include "tools/demodata/writers/Q3dWriter.h"
#include "tools/demodata/writers/TgaWriter.h"
#include "world/map/MapDescription.h"
#include "world/terrain/TerrainPatch.h"
#include "world/World.h"

namespace {

void WriteBytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes)
{
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// One device for the whole run, in a folder of its own that sees the demo data's maps.
struct Bench {
    Bench()
    {
        std::filesystem::create_directories("Large");
        camera = std::make_unique<Camera>(device);
        WriteLargeMap();
        session.WaitForSettledListings();
    }
    ~Bench()
    {
        camera.reset();
    }

    // 256 x 256 cells of rolling ground, four tiles, 5 000 boxes of two models.
    void WriteLargeMap()
    {
        for (int i = 0; i < 4; ++i)
            WriteBytes("Large/tiles/" + std::to_string(i) + ".tga",
                       WriteTga(TgaImage(32, 32, 0xFF306020u + 0x00201008u * std::uint32_t(i)), 24));
        Q3dObject box;
        box.materials.push_back(Q3dMaterial{});
        AddQ3dBox(box, 15, 30, 15, 0, 0xFFA0A0A0u);
        WriteBytes("Large/models/box.q3d", WriteQ3dModel({box}));
        Q3dObject pole;
        pole.materials.push_back(Q3dMaterial{});
        AddQ3dCylinder(pole, 5, 3, 80, 8, 0, 0xFF806040u);
        WriteBytes("Large/models/pole.q3d", WriteQ3dModel({pole}));
        MapFile map;
        map.width = map.height = 256;
        map.SizeBlocks();
        for (int r = 0; r < 256; ++r)
            for (int c = 0; c < 256; ++c) {
                map.heightData[std::size_t(r * 256 + c) * 3] =
                    std::uint8_t(100 + 40 * std::sin(float(c) * 0.07f) * std::cos(float(r) * 0.05f));
                map.colorData[std::size_t(r * 256 + c)] = std::uint16_t((c / 16 + r / 16) % 4);
            }
        map.heightScale = 0.3f;
        map.cellSize = 10.0f;
        map.tileDirectory = "Large/tiles/";
        map.objectDirectory = "Large/models/";
        map.cloudTexture = "Maps/Sky/clouds.tga";
        map.groups = {"Props"};
        map.entries = {{"box.q3d", "box", {}, 0, 0}, {"pole.q3d", "pole", {}, 0, 0}};
        std::uint32_t seed = 12345;
        for (int i = 0; i < 5000; ++i) {
            seed = seed * 1664525u + 1013904223u;
            const float x = float(seed >> 8) / 16777216.0f * 2500.0f - 1250.0f;
            seed = seed * 1664525u + 1013904223u;
            const float z = float(seed >> 8) / 16777216.0f * 2500.0f - 1250.0f;
            MapFilePlacement p;
            p.position[0] = x, p.position[1] = 30.0f, p.position[2] = z;
            p.library = i % 2;
            map.placements.push_back(p);
        }
        WriteBytes("Large/area.mpb", WriteMapFile(map));
    }

    DemoDataSession session{BEXAL_DATA_DIR, "bexal-world-bench", 320, 240};
    Device* device = session.device;
    std::unique_ptr<Camera> camera;
};

Bench& TheBench()
{
    static Bench bench;
    return bench;
}

bool LoadDemoWorld(benchmark::State& state, Bench& bench, MapDescription& map, World& world)
{
    if (!map.Load("Maps/Demo/area.mpb")) {
        state.SkipWithError(map.GetLastError());
        return false;
    }
    world.Load(&map, bench.device, bench.camera.get());
    return true;
}

void BM_WorldLoadDemoMap(benchmark::State& state)
{
    Bench& bench = TheBench();
    for (auto _ : state) {
        // The large world, once made, must not be the current one while this runs.
        MapDescription map;
        World world;
        if (!LoadDemoWorld(state, bench, map, world))
            return;
        benchmark::DoNotOptimize(world.patches.data());
        world.Unload();
        ArenaFreeAll();
    }
}

// The baseline: every file of the demo map's folders read into memory, as the load reads them.
void BM_ReadDemoMapFiles(benchmark::State& state)
{
    TheBench();
    std::vector<std::string> files;
    for (const char* folder : {"Maps/Demo", "Maps/tWorld", "Maps/Sky", "Maps/Water"})
        for (const auto& entry : std::filesystem::directory_iterator(folder))
            files.push_back(entry.path().string());
    ReadFilesIntoMemory(state, files);
}

struct LargeWorld {
    LargeWorld()
    {
        Bench& bench = TheBench();
        if (!map.Load("Large/area.mpb"))
            return;
        world.Load(&map, bench.device, bench.camera.get());
        bench.camera->SetFar(800.0f);
        bench.camera->position = Vector3(-300, 120, -300);
        Matrix3 yaw;
        yaw.FromEulerAngles(0.3f, 0.785f, 0.0f);
        bench.camera->rotation = yaw;
        bench.camera->UpdateTransform(0.0f);
    }
    MapDescription map;
    World world;
};

// One large world for the frame benchmarks (the world is a singleton while it lives).
LargeWorld& TheLargeWorld()
{
    static LargeWorld large;
    return large;
}

void BM_LargeMapFrame(benchmark::State& state)
{
    Bench& bench = TheBench();
    LargeWorld& large = TheLargeWorld();
    if (large.world.patches.empty()) {
        state.SkipWithError("the large map did not load");
        return;
    }
    int objects = 0, patches = 0;
    FrameCpu cpu;
    cpu.Start();
    for (auto _ : state) {
        bench.device->BeginFrame(true, true);
        bench.camera->UpdateTransform(0.0f);
        large.world.Update(0.016f);
        large.world.CollectVisible();
        large.world.RenderTerrain();
        large.world.RenderObjects();
        bench.device->EndFrame(true, true);
        objects = large.world.drawnObjectCount;
        patches = int(large.world.visiblePatches.size());
    }
    cpu.Stop();
    cpu.Report(state);
    state.counters["objects drawn"] = objects;
    state.counters["patches"] = patches;
}

void BM_LargeMapGatherOnly(benchmark::State& state)
{
    LargeWorld& large = TheLargeWorld();
    for (auto _ : state) {
        large.world.CollectVisible();
        benchmark::DoNotOptimize(large.world.visibleCount);
    }
    state.counters["visible objects"] = large.world.visibleCount;
}

// Sight lines between points at eye height over the demo map, 10 to 200 units long.
std::vector<HitResult> SightLines(World& world, int count)
{
    std::vector<HitResult> rays;
    std::uint32_t seed = 2024;
    const auto next = [&seed](float low, float high) {
        seed = seed * 1664525u + 1013904223u;
        return low + (high - low) * float(seed >> 8) / 16777216.0f;
    };
    const float half = float(world.width) * world.cellSize * 0.45f;
    while (int(rays.size()) < count) {
        Vector3 from(next(-half, half), 0.0f, next(-half, half));
        const float angle = next(0.0f, 6.2831853f), length = next(10.0f, 200.0f);
        Vector3 to(from.x + std::cos(angle) * length, 0.0f, from.z + std::sin(angle) * length);
        from.y = world.GetTerrainHeightSmooth(from) + 1.7f;
        to.y = world.GetTerrainHeightSmooth(to) + 1.7f;
        HitResult ray;
        ray.Clear();
        ray.origin = from;
        ray.direction = to - from;
        ray.distance = ray.direction.Length();
        ray.direction.Normalize();
        rays.push_back(ray);
    }
    return rays;
}

// The library entry of an object the world pick tests (shown, in a shown group, with a mesh), else null.
const LibraryObject* PickableEntry(World& world, MapObject& object)
{
    const LibraryObject* library = object.GetLibraryEntry();
    if (object.hidden || !library || !library->mesh || !world.groupVisible[std::size_t(library->entry->groupIndex)])
        return nullptr;
    return library;
}

// The nearest hit over every terrain triangle and every pickable object's mesh, no culling beyond
// the patch's and the mesh's own bounds tests; ties go to the object, as the world pick does.
float BruteForcePick(World& world, const HitResult& ray, float maxDistance)
{
    float best = kNoHit;
    for (auto& patch : world.patches) {
        PickResult hit;
        if (patch->Pick(ray, &hit, nullptr) && hit.distance <= maxDistance)
            best = std::min(best, hit.distance);
    }
    for (MapObject* object = world.GetFirstObject(); object; object = object->next) {
        const LibraryObject* library = PickableEntry(world, *object);
        if (!library)
            continue;
        ObjectMeshHit hit;
        if (!PickObjectMesh(*object, *library->mesh, ray.origin, ray.direction, nullptr, hit))
            continue;
        const float distance = hit.point.Distance(ray.origin);
        if (distance <= maxDistance)
            best = std::min(best, distance);
    }
    return best;
}

// The baseline a spatial index sets: the same triangles (every terrain cell's two and every
// pickable object's mesh, in world space) binned by their extent over x and z into a uniform grid,
// walked cell by cell along the ray and left once a hit lies before the next cell.
class TriangleGrid {
public:
    explicit TriangleGrid(World& world)
    {
        for (auto& patch : world.patches)
            for (int row = 0; row < qTerrainPatch::kCells; ++row)
                for (int column = 0; column < qTerrainPatch::kCells; ++column) {
                    Vector3 first[3], second[3];
                    patch->GetCellTriangles(column, row, first, second);
                    triangles.push_back({first[0], first[1], first[2]});
                    triangles.push_back({second[0], second[1], second[2]});
                }
        for (MapObject* object = world.GetFirstObject(); object; object = object->next) {
            const LibraryObject* library = PickableEntry(world, *object);
            if (!library)
                continue;
            Matrix4 transform;
            object->GetTransform(transform);
            for (D3DPrim* prim : library->mesh->prims) {
                const MeshVertices vertices(prim, false);
                const MeshIndices indices(prim, false);
                const std::vector<int> corners = TriangleCorners(prim, vertices, indices);
                for (std::size_t t = 0; t + 2 < corners.size(); t += 3)
                    triangles.push_back({transform.TransformPoint(vertices.Position(corners[t])),
                                         transform.TransformPoint(vertices.Position(corners[t + 1])),
                                         transform.TransformPoint(vertices.Position(corners[t + 2]))});
            }
        }
        low = Vector3(1e30f, 0.0f, 1e30f);
        Vector3 high(-1e30f, 0.0f, -1e30f);
        for (const Triangle& t : triangles)
            for (const Vector3& p : t) {
                low.x = std::min(low.x, p.x), low.z = std::min(low.z, p.z);
                high.x = std::max(high.x, p.x), high.z = std::max(high.z, p.z);
            }
        columns = int((high.x - low.x) / kCell) + 1;
        rows = int((high.z - low.z) / kCell) + 1;
        cells.resize(std::size_t(columns) * std::size_t(rows));
        for (std::size_t i = 0; i < triangles.size(); ++i) {
            const Triangle& t = triangles[i];
            const int c0 = Column(std::min({t[0].x, t[1].x, t[2].x})), c1 = Column(std::max({t[0].x, t[1].x, t[2].x}));
            const int r0 = Row(std::min({t[0].z, t[1].z, t[2].z})), r1 = Row(std::max({t[0].z, t[1].z, t[2].z}));
            for (int r = r0; r <= r1; ++r)
                for (int c = c0; c <= c1; ++c)
                    cells[std::size_t(r) * std::size_t(columns) + std::size_t(c)].push_back(std::uint32_t(i));
        }
        seen.assign(triangles.size(), 0);
    }

    // The nearest front-facing hit within maxDistance, kNoHit for none.
    float Pick(const HitResult& ray, float maxDistance)
    {
        const Vector3& o = ray.origin;
        const Vector3& d = ray.direction;
        int c = Column(o.x), r = Row(o.z);
        const int stepC = d.x > 0.0f ? 1 : -1, stepR = d.z > 0.0f ? 1 : -1;
        constexpr float kNever = 1e30f;
        float nextC = d.x != 0.0f ? (low.x + float(c + (stepC > 0)) * kCell - o.x) / d.x : kNever;
        float nextR = d.z != 0.0f ? (low.z + float(r + (stepR > 0)) * kCell - o.z) / d.z : kNever;
        const float deltaC = d.x != 0.0f ? kCell / std::fabs(d.x) : kNever;
        const float deltaR = d.z != 0.0f ? kCell / std::fabs(d.z) : kNever;
        ++search;
        float best = kNoHit;
        for (;;) {
            for (const std::uint32_t i : cells[std::size_t(r) * std::size_t(columns) + std::size_t(c)]) {
                if (seen[i] == search)
                    continue;
                seen[i] = search;
                HitResult hit = ray;
                hit.distance = kNoHit;
                if (!TriangleIntersectRay(hit, triangles[i][0], triangles[i][1], triangles[i][2], nullptr))
                    continue;
                const float distance = hit.hitPoint.Distance(o);
                if (distance > 0.0f && distance <= maxDistance)
                    best = std::min(best, distance);
            }
            const float exit = std::min(nextC, nextR);
            if (best <= exit || exit > maxDistance)
                return best;
            if (nextC < nextR) {
                c += stepC;
                nextC += deltaC;
            } else {
                r += stepR;
                nextR += deltaR;
            }
            if (c < 0 || r < 0 || c >= columns || r >= rows)
                return best;
        }
    }

private:
    using Triangle = std::array<Vector3, 3>;
    static constexpr float kCell = 8.0f;
    int Column(float x) const { return std::clamp(int((x - low.x) / kCell), 0, columns - 1); }
    int Row(float z) const { return std::clamp(int((z - low.z) / kCell), 0, rows - 1); }

    std::vector<Triangle> triangles;
    Vector3 low;
    int columns = 1, rows = 1;
    std::vector<std::vector<std::uint32_t>> cells;
    std::vector<std::uint32_t> seen; // the search that last tested each triangle
    std::uint32_t search = 0;
};

// One World::Pick a sight line on the demo map, against the brute force and a uniform grid over the
// same triangles, in turn over the same 900 lines (one frame of thirty soldiers' sight checks).
void BM_DemoMapPick(benchmark::State& state)
{
    MapDescription map;
    World world;
    if (!LoadDemoWorld(state, TheBench(), map, world))
        return;
    const std::vector<HitResult> rays = SightLines(world, 900);
    TriangleGrid grid(world);
    using Clock = std::chrono::steady_clock;
    double picking = 0.0, brute = 0.0, gridded = 0.0;
    int hits = 0, disagreements = 0, gridDisagreements = 0;
    for (auto _ : state) {
        hits = disagreements = gridDisagreements = 0;
        std::vector<float> found(rays.size());
        const auto start = Clock::now();
        for (std::size_t i = 0; i < rays.size(); ++i) {
            HitResult ray = rays[i];
            PickResult pick;
            found[i] = world.Pick(ray, &pick, rays[i].distance, nullptr) ? pick.distance : kNoHit;
        }
        const auto middle = Clock::now();
        for (std::size_t i = 0; i < rays.size(); ++i) {
            const float distance = BruteForcePick(world, rays[i], rays[i].distance);
            hits += distance != kNoHit;
            disagreements += distance != found[i];
        }
        const auto end = Clock::now();
        for (std::size_t i = 0; i < rays.size(); ++i)
            gridDisagreements += grid.Pick(rays[i], rays[i].distance) != found[i];
        const auto gridEnd = Clock::now();
        picking += std::chrono::duration<double>(middle - start).count();
        brute += std::chrono::duration<double>(end - middle).count();
        gridded += std::chrono::duration<double>(gridEnd - end).count();
        state.SetIterationTime(std::chrono::duration<double>(middle - start).count());
    }
    const double picks = double(state.iterations()) * double(rays.size());
    state.counters["pick_us"] = picking * 1e6 / picks;
    state.counters["brute_us"] = brute * 1e6 / picks;
    state.counters["brute/pick"] = picking > 0.0 ? brute / picking : 0.0;
    state.counters["grid_us"] = gridded * 1e6 / picks;
    state.counters["pick/grid"] = gridded > 0.0 ? picking / gridded : 0.0;
    state.counters["grid_disagreements"] = gridDisagreements;
    state.counters["hits"] = hits;
    state.counters["disagreements"] = disagreements;
    world.Unload();
    ArenaFreeAll();
}

void BM_EmptyFrame(benchmark::State& state)
{
    Bench& bench = TheBench();
    FrameCpu cpu;
    cpu.Start();
    for (auto _ : state) {
        bench.device->BeginFrame(true, true);
        bench.camera->UpdateTransform(0.0f);
        bench.device->EndFrame(true, true);
    }
    cpu.Stop();
    cpu.Report(state);
}

} // namespace

BENCHMARK(BM_WorldLoadDemoMap)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadDemoMapFiles)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LargeMapFrame)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LargeMapGatherOnly)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_EmptyFrame)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DemoMapPick)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(20);

int main(int argc, char** argv)
{
    BenchmarkCommandLine commandLine(argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const auto ratio = [&](const char* name, const char* baseline, const char* what) {
        const auto a = reporter.secondsPerFrame.find(name), b = reporter.secondsPerFrame.find(baseline);
        if (a != reporter.secondsPerFrame.end() && b != reporter.secondsPerFrame.end() && b->second > 0)
            std::printf("%s: %.2fx\n", what, a->second / b->second);
    };
    ratio("BM_WorldLoadDemoMap", "BM_ReadDemoMapFiles", "World::Load / reading its files (goal <= 3x)");
    ratio("BM_LargeMapFrame", "BM_EmptyFrame", "large map frame / empty frame (real time)");
    benchmark::Shutdown();
    return 0;
}
