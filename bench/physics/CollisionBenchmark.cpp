// CollisionMove of an ellipsoid across a 256 x 256-cell terrain (131 072 triangles) with 600
// block objects, through the query's own gathering (terrain cells near the move, objects near
// the start), against handing every triangle of the same map to the same query (the plain loop:
// the map pre-transformed to world space once, each triangle tested against the move's box and
// the survivors handed over) and against a plain uniform grid over the same triangles (the
// baseline a spatial index sets). All slide the same 256 moves.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "bench/support/BenchmarkCommandLine.h"
#include "engine/binding/RendererBinding.h"
#include "engine/material/Material.h"
#include "engine/material/VertexLayout.h"
#include "engine/mesh/qMesh.h"
#include "physics/Collision.h"
#include "tests/physics/CollisionSupport.h"

namespace {

constexpr int kCells = 256;
constexpr float kCellSize = 2.0f;
constexpr int kObjects = 600;
const Vector3 kRadii(0.4f, 0.9f, 0.4f);

struct Map {
    Device* device = nullptr;
    std::unique_ptr<GridScene> scene;
    std::unique_ptr<qMesh> block;
    TriangleSet world; // every triangle of the map, in world coordinates
    std::vector<std::pair<Vector3, Vector3>> moves;

    Map()
    {
        LoadRendererLibrary(kRendererLibraryName, &device);
        scene = std::make_unique<GridScene>(kCells, kCells, kCellSize, RollingHeight);
        block = MakeBlock();
        std::mt19937 random(4357);
        std::uniform_real_distribution<float> across(4.0f, kCells * kCellSize - 4.0f);
        for (int i = 0; i < kObjects; ++i) {
            GridScene::Object object;
            const float x = across(random), z = across(random);
            const Vector3 at(x, RollingHeight(x, z) - 0.5f, z);
            object.record.world.SetTranslation(at);
            object.record.mesh = block.get();
            object.centre = at + Vector3(0, 2, 0);
            object.radius = 3.0f;
            scene->objects.push_back(object);
        }
        world = scene->TerrainTriangles();
        for (const GridScene::Object& object : scene->objects)
            for (const WorldTriangle& t : blockTriangles)
                world.push_back({object.record.world.TransformPoint(t.a), object.record.world.TransformPoint(t.b),
                                 object.record.world.TransformPoint(t.c)});
        BuildGrid();
        // Walking steps of up to 3 units with gravity, from just above the ground.
        std::uniform_real_distribution<float> step(-3.0f, 3.0f);
        for (int i = 0; i < 256; ++i) {
            const float x = across(random), z = across(random);
            moves.push_back({Vector3(x, RollingHeight(x, z) + kRadii.y + 0.05f, z), Vector3(step(random), -1.0f, step(random))});
        }
    }

    ~Map()
    {
        block.reset();
        UnloadRendererLibrary(&device);
    }

    // A 4 x 4 x 1 block on one indexed prim (lit-textured layout).
    std::unique_ptr<qMesh> MakeBlock()
    {
        const auto face = [this](Vector3 o, Vector3 u, Vector3 v) { AddQuad(blockTriangles, o, u, v); };
        face({-2, 0, -0.5f}, {4, 0, 0}, {0, 4, 0});
        face({-2, 0, 0.5f}, {0, 4, 0}, {4, 0, 0});
        face({-2, 0, -0.5f}, {0, 4, 0}, {0, 0, 1});
        face({2, 0, -0.5f}, {0, 0, 1}, {0, 4, 0});
        face({-2, 4, -0.5f}, {4, 0, 0}, {0, 0, 1});
        VertexLayout layout;
        layout.InitLitTextured();
        D3DPrim* prim = nullptr;
        device->CreatePrim(&prim);
        const int count = int(blockTriangles.size()) * 3;
        prim->Create(PrimTriangleList, count, count, &layout, PrimSystemMemory);
        auto* bytes = static_cast<std::uint8_t*>(prim->GetVertices(true, true));
        std::memset(bytes, 0, std::size_t(count) * 44);
        std::uint16_t* indices = prim->GetIndices(true, true);
        int at = 0;
        for (const WorldTriangle& t : blockTriangles)
            for (const Vector3* p : {&t.a, &t.b, &t.c}) {
                std::memcpy(bytes + std::size_t(at) * 44, p, 12);
                indices[at] = std::uint16_t(at);
                ++at;
            }
        prim->Nop4();
        prim->Nop6();
        prim->material = new Material();
        auto mesh = std::make_unique<qMesh>();
        mesh->prims.push_back(prim);
        return mesh;
    }

    // The world triangles binned by their extent over x and z into square cells of kGridCell
    // units, as a plain spatial index would hold them.
    void BuildGrid()
    {
        gridCells = int(std::ceil(float(kCells) * kCellSize / kGridCell)) + 1;
        grid.assign(std::size_t(gridCells) * std::size_t(gridCells), {});
        for (std::size_t i = 0; i < world.size(); ++i) {
            const WorldTriangle& t = world[i];
            const int x0 = GridIndex(std::min({t.a.x, t.b.x, t.c.x})), x1 = GridIndex(std::max({t.a.x, t.b.x, t.c.x}));
            const int z0 = GridIndex(std::min({t.a.z, t.b.z, t.c.z})), z1 = GridIndex(std::max({t.a.z, t.b.z, t.c.z}));
            for (int z = z0; z <= z1; ++z)
                for (int x = x0; x <= x1; ++x)
                    grid[std::size_t(z) * std::size_t(gridCells) + std::size_t(x)].push_back(std::uint32_t(i));
        }
        seen.assign(world.size(), 0);
    }
    int GridIndex(float at) const { return std::clamp(int(std::floor(at / kGridCell)), 0, gridCells - 1); }

    static constexpr float kGridCell = 8.0f;
    TriangleSet blockTriangles;
    int gridCells = 0;
    std::vector<std::vector<std::uint32_t>> grid;
    std::vector<std::uint32_t> seen; // the gathering that last took each triangle
    std::uint32_t gathering = 0;
};

Map& TheMap()
{
    static Map map;
    return map;
}

void SetUpMove(CollisionQuery& query, const std::pair<Vector3, Vector3>& move)
{
    query.SetMode(CollisionQuery::ShapeEllipsoid, CollisionQuery::ResponseSlide);
    query.SetEllipsoid(kRadii.x, kRadii.y, kRadii.z);
    query.SetMove(move.first.x, move.first.y, move.first.z, kIdentityOrientation, move.second.x, move.second.y,
                  move.second.z);
}

// The box the query's own triangle test keeps (1.2 x the move plus the radius, in ellipsoid units
// around the start), in world units: nothing outside it is held anyway.
void MoveBox(const std::pair<Vector3, Vector3>& move, Vector3& low, Vector3& high)
{
    const Vector3& v = move.second;
    const float reach = 1.2f * Vector3(v.x / kRadii.x, v.y / kRadii.y, v.z / kRadii.z).Length() + 1.0f;
    const Vector3 extent(reach * kRadii.x, reach * kRadii.y, reach * kRadii.z);
    low = move.first - extent;
    high = move.first + extent;
}

bool OutsideBox(const WorldTriangle& t, const Vector3& low, const Vector3& high)
{
    return std::max({t.a.x, t.b.x, t.c.x}) < low.x || std::min({t.a.x, t.b.x, t.c.x}) > high.x ||
           std::max({t.a.z, t.b.z, t.c.z}) < low.z || std::min({t.a.z, t.b.z, t.c.z}) > high.z ||
           std::max({t.a.y, t.b.y, t.c.y}) < low.y || std::min({t.a.y, t.b.y, t.c.y}) > high.y;
}

void BM_CollisionMoveScene(benchmark::State& state)
{
    Map& map = TheMap();
    auto query = std::make_unique<CollisionQuery>();
    query->SetScene(map.scene.get());
    std::size_t i = 0;
    for (auto _ : state) {
        SetUpMove(*query, map.moves[i++ % map.moves.size()]);
        Vector3 end;
        query->Move(&end, nullptr, nullptr);
        benchmark::DoNotOptimize(end);
    }
    state.SetItemsProcessed(std::int64_t(state.iterations()));
}
BENCHMARK(BM_CollisionMoveScene);

// Slides the map's moves in turn through a query whose triangles come from gather(low, high, add),
// where low and high bound the move's box and add(triangle) hands one over (false: stop).
template <typename Gather>
void SlideMovesThrough(benchmark::State& state, Gather gather)
{
    Map& map = TheMap();
    auto query = std::make_unique<CollisionQuery>();
    std::size_t i = 0;
    for (auto _ : state) {
        const auto& move = map.moves[i++ % map.moves.size()];
        SetUpMove(*query, move);
        Vector3 low, high;
        MoveBox(move, low, high);
        Vector3 end;
        query->MoveThrough(&end, nullptr, [&](CollisionTriangleSink& sink, const Vector3& velocity) {
            gather(low, high, [&](const WorldTriangle& t) { return sink.AddTriangle(t.a, t.b, t.c, velocity, false); });
        });
        benchmark::DoNotOptimize(end);
    }
    state.SetItemsProcessed(std::int64_t(state.iterations()));
}

void BM_CollisionMoveBruteForce(benchmark::State& state)
{
    const Map& map = TheMap();
    SlideMovesThrough(state, [&map](const Vector3& low, const Vector3& high, const auto& add) {
        for (const WorldTriangle& t : map.world)
            if (!OutsideBox(t, low, high) && !add(t))
                return;
    });
}
BENCHMARK(BM_CollisionMoveBruteForce);

// The baseline a spatial index gives: the triangles of the grid cells under the same box, each
// once and in the map's order, tested against the box and handed to the same query.
void BM_CollisionMoveUniformGrid(benchmark::State& state)
{
    Map& map = TheMap();
    std::vector<std::uint32_t> near;
    SlideMovesThrough(state, [&map, &near](const Vector3& low, const Vector3& high, const auto& add) {
        near.clear();
        ++map.gathering;
        for (int z = map.GridIndex(low.z); z <= map.GridIndex(high.z); ++z)
            for (int x = map.GridIndex(low.x); x <= map.GridIndex(high.x); ++x)
                for (const std::uint32_t t : map.grid[std::size_t(z) * std::size_t(map.gridCells) + std::size_t(x)])
                    if (map.seen[t] != map.gathering) {
                        map.seen[t] = map.gathering;
                        if (!OutsideBox(map.world[t], low, high))
                            near.push_back(t);
                    }
        std::sort(near.begin(), near.end());
        for (const std::uint32_t t : near)
            if (!add(map.world[t]))
                return;
    });
}
BENCHMARK(BM_CollisionMoveUniformGrid);

} // namespace

BEXAL_BENCHMARK_MAIN()
