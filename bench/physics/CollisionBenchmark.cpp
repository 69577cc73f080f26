// CollisionMove of an ellipsoid across a 256 x 256-cell terrain (131 072 triangles) with 600
// block objects, through the query's own gathering (terrain cells near the move, objects near
// the start), against handing every triangle of the same map to the same query (the plain loop:
// the map pre-transformed to world space once, each triangle tested against the move's box and
// the survivors handed over). Both slide the same 256 moves.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

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

    TriangleSet blockTriangles;
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

void BM_CollisionMoveBruteForce(benchmark::State& state)
{
    Map& map = TheMap();
    auto query = std::make_unique<CollisionQuery>();
    std::size_t i = 0;
    for (auto _ : state) {
        const auto& move = map.moves[i++ % map.moves.size()];
        SetUpMove(*query, move);
        // The box the query's own triangle test keeps (1.2 x the move plus the radius, in
        // ellipsoid units around the start), in world units: nothing outside it is held anyway.
        const Vector3& v = move.second;
        const float reach =
            1.2f * Vector3(v.x / kRadii.x, v.y / kRadii.y, v.z / kRadii.z).Length() + 1.0f;
        const Vector3 extent(reach * kRadii.x, reach * kRadii.y, reach * kRadii.z);
        const Vector3 low = move.first - extent;
        const Vector3 high = move.first + extent;
        Vector3 end;
        query->MoveThrough(&end, nullptr, [&](CollisionTriangleSink& sink, const Vector3& velocity) {
            for (const WorldTriangle& t : map.world) {
                if (std::max({t.a.x, t.b.x, t.c.x}) < low.x || std::min({t.a.x, t.b.x, t.c.x}) > high.x ||
                    std::max({t.a.z, t.b.z, t.c.z}) < low.z || std::min({t.a.z, t.b.z, t.c.z}) > high.z ||
                    std::max({t.a.y, t.b.y, t.c.y}) < low.y || std::min({t.a.y, t.b.y, t.c.y}) > high.y)
                    continue;
                if (!sink.AddTriangle(t.a, t.b, t.c, velocity, false))
                    return;
            }
        });
        benchmark::DoNotOptimize(end);
    }
    state.SetItemsProcessed(std::int64_t(state.iterations()));
}
BENCHMARK(BM_CollisionMoveBruteForce);

} // namespace

BENCHMARK_MAIN();
