// Collision against renderer prims and meshes, and whole queries through a scene, on the real
// renderer library (system-memory prims need no window).

#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/material/Material.h"
#include "engine/material/VertexLayout.h"
#include "engine/mesh/MeshNode.h"
#include "engine/mesh/qMesh.h"
#include "physics/Collision.h"
#include "tests/physics/CollisionSupport.h"
#include "tests/renderer/RendererFixture.h"

namespace {

// Writes down what the gathering hands over.
class RecordingSink final : public CollisionTriangleSink {
public:
    void SetTransform(const Matrix4&) override {}
    bool AddTriangle(const Vector3& v0, const Vector3& v1, const Vector3& v2, const Vector3&, bool) override
    {
        triangles.push_back({v0, v1, v2});
        return true;
    }
    TriangleSet triangles;
};

class CollisionMeshTest : public RendererTest {
protected:
    void TearDown() override
    {
        meshes.clear();
        RendererTest::TearDown();
    }

    // A system-memory prim whose vertices put the position at positionOffset inside vertexSize
    // bytes; the other bytes are filled with a pattern that is no position.
    D3DPrim* MakePrim(int type, const std::vector<Vector3>& points, const std::vector<std::uint16_t>& indices,
                      int positionOffset, int vertexSize, Material* material)
    {
        VertexLayout layout;
        layout.offsets[VertexLayout::Position] = positionOffset;
        if (positionOffset >= 4)
            layout.offsets[VertexLayout::Diffuse] = 0;
        layout.vertexSize = vertexSize;
        D3DPrim* prim = nullptr;
        device->CreatePrim(&prim);
        EXPECT_EQ(prim->Create(type, int(points.size()), int(indices.size()), &layout, PrimSystemMemory), 0);
        auto* bytes = static_cast<std::uint8_t*>(prim->GetVertices(true, true));
        std::memset(bytes, 0x7F, points.size() * std::size_t(vertexSize));
        for (std::size_t i = 0; i < points.size(); ++i)
            std::memcpy(bytes + i * std::size_t(vertexSize) + std::size_t(positionOffset), &points[i], 12);
        prim->Nop4();
        if (!indices.empty()) {
            std::memcpy(prim->GetIndices(true, true), indices.data(), indices.size() * 2);
            prim->Nop6();
        }
        prim->primitiveType = type;
        prim->material = material;
        return prim;
    }

    // A mesh that owns its prims and materials.
    qMesh& MakeMesh(std::vector<D3DPrim*> prims)
    {
        meshes.push_back(std::make_unique<qMesh>());
        qMesh& mesh = *meshes.back();
        mesh.prims = std::move(prims);
        return mesh;
    }

    static Material* NewMaterial(bool alpha = false, bool twoSided = false)
    {
        auto* material = new Material();
        if (alpha) {
            material->srcBlend = BlendSrcAlpha;
            material->destBlend = BlendInvSrcAlpha;
        }
        if (twoSided)
            material->cullFlags = Material::kTwoSided;
        return material;
    }

    // A floor square at height y over [-half, half], as a triangle list of four vertices.
    D3DPrim* FloorPrim(float y, float half, Material* material, int positionOffset = 0, int vertexSize = 44)
    {
        return MakePrim(PrimTriangleList, {{-half, y, -half}, {-half, y, half}, {half, y, -half}, {half, y, half}},
                        {0, 1, 2, 2, 1, 3}, positionOffset, vertexSize, material);
    }

    Vector3 StopOn(qMesh& mesh, const Vector3& start, const Vector3& velocity, const CollisionMaterialList* list = nullptr)
    {
        query->SetMode(CollisionQuery::ShapeEllipsoid, CollisionQuery::ResponseStop);
        query->SetEllipsoid(1, 1, 1);
        query->SetMove(start.x, start.y, start.z, kIdentityOrientation, velocity.x, velocity.y, velocity.z);
        Vector3 end;
        query->MoveThrough(&end, nullptr, [&](CollisionTriangleSink& sink, const Vector3& v) {
            gatherer.AddMesh(mesh, list, v, sink, nullptr);
        });
        return end;
    }

    std::unique_ptr<CollisionQuery> query = std::make_unique<CollisionQuery>();
    CollisionGatherer gatherer;
    std::vector<std::unique_ptr<qMesh>> meshes;
};

} // namespace

TEST_F(CollisionMeshTest, PositionsAreReadAtThePrimsOwnLayout)
{
    // Lit-textured (44 bytes), position-only (12) and colour-first (16, position at 4).
    const int layouts[][2] = {{0, 44}, {0, 12}, {4, 16}};
    for (const auto& layout : layouts) {
        qMesh& mesh = MakeMesh({FloorPrim(2.0f, 10.0f, NewMaterial(), layout[0], layout[1])});
        const Vector3 end = StopOn(mesh, {0.5f, 6, 0.25f}, {0, -8, 0});
        EXPECT_NEAR(end.y, 3.0f, 1e-5f) << layout[0] << "/" << layout[1];
    }
}

TEST_F(CollisionMeshTest, ListsFansAndIndicesOutsideThePrim)
{
    RecordingSink sink;
    // Four vertices; the second triangle names vertex 9.
    D3DPrim* list = MakePrim(PrimTriangleList, {{0, 0, 0}, {0, 0, 1}, {1, 0, 0}, {1, 0, 1}}, {0, 1, 2, 2, 1, 9, 2, 1, 3},
                             0, 44, nullptr);
    EXPECT_TRUE(gatherer.AddPrim(list, Vector3(), sink));
    ASSERT_EQ(sink.triangles.size(), 2u);
    EXPECT_EQ(sink.triangles[1].c, Vector3(1, 0, 1));

    sink.triangles.clear();
    // A fan around its first index.
    D3DPrim* fan = MakePrim(PrimTriangleFan, {{0, 0, 0}, {1, 0, 0}, {1, 0, 1}, {0, 0, 1}, {-1, 0, 0}}, {3, 0, 1, 2},
                            0, 44, nullptr);
    EXPECT_TRUE(gatherer.AddPrim(fan, Vector3(), sink));
    ASSERT_EQ(sink.triangles.size(), 2u);
    EXPECT_EQ(sink.triangles[0].a, Vector3(0, 0, 1));
    EXPECT_EQ(sink.triangles[0].b, Vector3(0, 0, 0));
    EXPECT_EQ(sink.triangles[1].c, Vector3(1, 0, 1));

    sink.triangles.clear();
    // Strips and lines give nothing.
    D3DPrim* strip = MakePrim(PrimTriangleStrip, {{0, 0, 0}, {1, 0, 0}, {1, 0, 1}, {0, 0, 1}}, {}, 0, 44, nullptr);
    EXPECT_TRUE(gatherer.AddPrim(strip, Vector3(), sink));
    EXPECT_TRUE(sink.triangles.empty());
    for (D3DPrim* prim : {list, fan, strip})
        prim->Destroy();
}

TEST_F(CollisionMeshTest, NonIndexedPrimsOfMoreThan63VerticesAreSkippedAndLogged)
{
    RecordingSink sink;
    for (int count : {63, 64}) {
        std::vector<Vector3> points;
        for (int i = 0; i < count; ++i)
            points.push_back(Vector3(float(i), 0, float(i % 3)));
        D3DPrim* prim = MakePrim(PrimTriangleList, points, {}, 0, 44, nullptr);
        sink.triangles.clear();
        EXPECT_TRUE(gatherer.AddPrim(prim, Vector3(), sink));
        EXPECT_EQ(sink.triangles.size(), count == 63 ? 21u : 0u);
        prim->Destroy();
    }
    UnloadRendererLibrary(&device);
    const auto lines = ReadLines("q3D.log");
    int logged = 0;
    for (const std::string& line : lines)
        logged += line.find("Collision: Too many vertices in non-indexed prim!") != std::string::npos;
    EXPECT_EQ(logged, 1);
}

TEST_F(CollisionMeshTest, TwoSidedMaterialsCollideFromBothSides)
{
    qMesh& oneSided = MakeMesh({FloorPrim(2.0f, 10.0f, NewMaterial())});
    qMesh& twoSided = MakeMesh({FloorPrim(2.0f, 10.0f, NewMaterial(false, true))});
    // From below, the floor's back.
    EXPECT_NEAR(StopOn(oneSided, {0.5f, -3, 0.25f}, {0, 8, 0}).y, 5.0f, 1e-5f);
    EXPECT_NEAR(StopOn(twoSided, {0.5f, -3, 0.25f}, {0, 8, 0}).y, 1.0f, 1e-5f);
    EXPECT_NEAR(StopOn(twoSided, {0.5f, 6, 0.25f}, {0, -8, 0}).y, 3.0f, 1e-5f);
}

TEST_F(CollisionMeshTest, NoCollisionAlphaLetsOnlyOpaqueAndListedMaterialsCollide)
{
    Material* glass = NewMaterial(true);
    Material* leaves = NewMaterial(true);
    // Floors at 3 (glass), 2 (leaves) and 1 (opaque), one prim each.
    qMesh& mesh = MakeMesh({FloorPrim(3.0f, 10.0f, glass), FloorPrim(2.0f, 10.0f, leaves), FloorPrim(1.0f, 10.0f, NewMaterial())});
    const Material* listed[] = {leaves};
    const CollisionMaterialList leavesOnly{listed, 1};
    const CollisionMaterialList none{nullptr, 0};
    EXPECT_NEAR(StopOn(mesh, {0.5f, 9, 0.25f}, {0, -12, 0}).y, 4.0f, 1e-5f);              // without the prop
    EXPECT_NEAR(StopOn(mesh, {0.5f, 9, 0.25f}, {0, -12, 0}, &leavesOnly).y, 3.0f, 1e-5f); // glass let through
    EXPECT_NEAR(StopOn(mesh, {0.5f, 9, 0.25f}, {0, -12, 0}, &none).y, 2.0f, 1e-5f);       // only the opaque floor
}

namespace {

// A terrain with a row of wall objects across it, each a 4 x 4 x 1 block standing on the ground.
class SceneQueryTest : public CollisionMeshTest {
protected:
    void SetUp() override
    {
        CollisionMeshTest::SetUp();
        scene = std::make_unique<GridScene>(40, 40, 2.0f, [](float, float) { return 0.0f; });
    }

    qMesh& BlockMesh()
    {
        // A box from (-2, 0, -0.5) to (2, 4, 0.5), its faces outward.
        std::vector<Vector3> points;
        std::vector<std::uint16_t> indices;
        const auto face = [&](Vector3 o, Vector3 u, Vector3 v) {
            const auto base = std::uint16_t(points.size());
            points.insert(points.end(), {o, o + v, o + u, o + u + v});
            indices.insert(indices.end(), {base, std::uint16_t(base + 1), std::uint16_t(base + 2), std::uint16_t(base + 2),
                                           std::uint16_t(base + 1), std::uint16_t(base + 3)});
        };
        // Each face looks along v x u.
        face({-2, 0, -0.5f}, {4, 0, 0}, {0, 4, 0}); // -z
        face({-2, 0, 0.5f}, {0, 4, 0}, {4, 0, 0});  // +z
        face({-2, 0, -0.5f}, {0, 4, 0}, {0, 0, 1}); // -x
        face({2, 0, -0.5f}, {0, 0, 1}, {0, 4, 0});  // +x
        face({-2, 4, -0.5f}, {4, 0, 0}, {0, 0, 1}); // top
        return MakeMesh({MakePrim(PrimTriangleList, points, indices, 0, 44, NewMaterial())});
    }

    GridScene::Object& AddBlock(const Vector3& at, qMesh& mesh)
    {
        GridScene::Object object;
        // Only compared, never followed.
        object.record.object = reinterpret_cast<const MapObject*>(&tags[scene->objects.size()]);
        object.record.world.SetTranslation(at);
        object.record.mesh = &mesh;
        object.centre = at + Vector3(0, 2, 0);
        object.radius = 3.0f;
        scene->objects.push_back(object);
        return scene->objects.back();
    }

    Vector3 Walk(const Vector3& start, const Vector3& velocity, const MapObject* ignored = nullptr,
                 int response = CollisionQuery::ResponseStop)
    {
        query->SetScene(scene.get());
        query->SetMode(CollisionQuery::ShapeEllipsoid, response);
        query->SetEllipsoid(0.5f, 1.0f, 0.5f);
        query->SetMove(start.x, start.y, start.z, kIdentityOrientation, velocity.x, velocity.y, velocity.z);
        Vector3 end;
        query->Move(&end, nullptr, ignored);
        return end;
    }

    std::unique_ptr<GridScene> scene;
    int tags[64] = {};
};

} // namespace

TEST_F(SceneQueryTest, ObjectRulesDecideWhatCollides)
{
    qMesh& block = BlockMesh();
    qMesh& hole = MakeMesh({}); // a collision mesh with nothing in it
    AddBlock({20, 0, 20}, block);
    const Vector3 start(20, 1.5f, 15), move(0, 0, 10);
    const float wallStop = 19.5f - 0.5f;
    EXPECT_NEAR(Walk(start, move).z, wallStop, 1e-4f);

    const struct Case {
        const char* name;
        void (*change)(CollisionObject&, qMesh& hole);
        bool ignore;
        bool collides;
    } cases[] = {
        {"ignored", [](CollisionObject&, qMesh&) {}, true, false},
        {"nocollision", [](CollisionObject& o, qMesh&) { o.noCollision = true; }, false, false},
        {"hidden", [](CollisionObject& o, qMesh&) { o.hidden = true; }, false, false},
        {"hidden, alwayscollide", [](CollisionObject& o, qMesh&) { o.hidden = o.alwaysCollide = true; }, false, true},
        {"colmesh", [](CollisionObject& o, qMesh& h) { o.collisionMesh = &h; }, false, false},
        {"no mesh", [](CollisionObject& o, qMesh&) { o.mesh = nullptr; }, false, false},
    };
    for (const Case& c : cases) {
        CollisionObject& record = scene->objects[0].record;
        const CollisionObject saved = record;
        c.change(record, hole);
        const Vector3 end = Walk(start, move, c.ignore ? record.object : nullptr);
        EXPECT_NEAR(end.z, c.collides ? wallStop : 25.0f, 1e-4f) << c.name;
        record = saved;
    }
}

TEST_F(SceneQueryTest, TerrainCellsCollideOnlyWithOpaqueTiles)
{
    EXPECT_NEAR(Walk({11, 3, 11}, {0, -5, 0}).y, 1.0f, 1e-5f);
    Material water;
    water.srcBlend = BlendSrcAlpha;
    water.destBlend = BlendInvSrcAlpha;
    scene->SetCellMaterial(5, 5, &water);
    EXPECT_NEAR(Walk({11, 3, 11}, {0, -5, 0}).y, -2.0f, 1e-5f);
    // Off the map there is no ground at all.
    EXPECT_NEAR(Walk({-30, 3, 11}, {0, -5, 0}).y, -2.0f, 1e-5f);
}

TEST_F(SceneQueryTest, SceneGatheringStopsWhereTestingEveryTriangleStops)
{
    scene = std::make_unique<GridScene>(48, 48, 2.0f, RollingHeight);
    qMesh& block = BlockMesh();
    for (int i = 0; i < 12; ++i) {
        GridScene::Object& object = AddBlock({8.0f + 7.0f * float(i % 4), 0, 10.0f + 9.0f * float(i / 4)}, block);
        object.record.world.SetTranslation(object.record.world.GetTranslation() +
                                           Vector3(0, RollingHeight(object.centre.x, object.centre.z) - 1.0f, 0));
        object.centre.y += object.record.world.GetTranslation().y;
    }
    const TriangleSet terrain = scene->TerrainTriangles();
    const auto everything = [&](CollisionTriangleSink& sink, const Vector3& velocity) {
        for (const WorldTriangle& t : terrain)
            if (!sink.AddTriangle(t.a, t.b, t.c, velocity, true))
                return;
        for (const GridScene::Object& object : scene->objects) {
            sink.SetTransform(object.record.world * query->WorldToFrame());
            gatherer.AddMesh(*object.record.mesh, nullptr, velocity, sink, nullptr);
        }
    };
    std::mt19937 random(17);
    std::uniform_real_distribution<float> across(6.0f, 40.0f), step(-6.0f, 6.0f), height(-2.0f, 4.0f);
    int stopped = 0;
    for (int i = 0; i < 300; ++i) {
        const Vector3 start(across(random), 0, across(random));
        const Vector3 from(start.x, RollingHeight(start.x, start.z) + 1.5f + height(random) * 0.5f + 1.0f, start.z);
        const Vector3 velocity(step(random), height(random) - 2.0f, step(random));
        const Vector3 viaScene = Walk(from, velocity);
        Vector3 viaAll;
        query->MoveThrough(&viaAll, nullptr, everything);
        EXPECT_NEAR(viaScene.x, viaAll.x, 1e-4f) << i;
        EXPECT_NEAR(viaScene.y, viaAll.y, 1e-4f) << i;
        EXPECT_NEAR(viaScene.z, viaAll.z, 1e-4f) << i;
        stopped += viaAll.Distance(from + velocity) > 1e-3f;
    }
    // Most moves run into the ground or a block.
    EXPECT_GT(stopped, 50);
}

TEST_F(SceneQueryTest, MeshNodeCollidesWhereItStandsWhileVisible)
{
    MeshNode node;
    node.SetMesh(new qMesh());
    node.GetMesh()->prims.push_back(FloorPrim(0.0f, 3.0f, NewMaterial()));
    node.position = Vector3(30, 4, 30);
    node.UpdateTransform(0.0f);
    GridScene::Object object;
    object.record = CollisionObjectOf(node);
    object.centre = node.position;
    object.radius = 5.0f;
    scene->objects.push_back(object);
    EXPECT_EQ(object.record.mesh, node.GetMesh());
    EXPECT_FALSE(object.record.hidden);
    EXPECT_NEAR(Walk({30.5f, 8, 29.5f}, {0, -6, 0}).y, 5.0f, 1e-4f);
    node.visible = false;
    scene->objects[0].record = CollisionObjectOf(node);
    EXPECT_NEAR(Walk({30.5f, 8, 29.5f}, {0, -6, 0}).y, 2.0f, 1e-4f);
}
