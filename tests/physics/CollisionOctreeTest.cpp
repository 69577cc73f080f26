// Collision against an octree level mesh: the walk hands over only the faces whose leaves meet
// the move, each once.

#include <memory>
#include <set>
#include <tuple>

#include <gtest/gtest.h>

#include "engine/octree/OctreeMesh.h"
#include "physics/Collision.h"
#include "tests/engine/octree/OctreeFixture.h"
#include "tests/physics/CollisionSupport.h"

namespace {

class CountingSink final : public CollisionTriangleSink {
public:
    void SetTransform(const Matrix4&) override {}
    bool AddTriangle(const Vector3& a, const Vector3& b, const Vector3& c, const Vector3&, bool) override
    {
        triangles.push_back({a, b, c});
        return true;
    }
    TriangleSet triangles;
};

bool Overlaps(const WorldTriangle& t, const BoundingBox& box)
{
    for (int axis = 0; axis < 3; ++axis) {
        const float low = std::min({t.a[axis], t.b[axis], t.c[axis]});
        const float high = std::max({t.a[axis], t.b[axis], t.c[axis]});
        if (low > box.max[axis] || high < box.min[axis])
            return false;
    }
    return true;
}

auto Key(const WorldTriangle& t) { return std::make_tuple(t.a.x, t.a.y, t.a.z, t.b.x, t.b.y, t.b.z, t.c.x, t.c.y, t.c.z); }

class CollisionOctreeTest : public RendererTest {
protected:
    void SetUp() override
    {
        RendererTest::SetUp();
        OpenWindowed();
        WriteStoneAndBrick();
        WriteFile("level.oct", WriteOctFile(FloorAndWall(16)));
        mesh = std::make_unique<OctreeMesh>(device, "level.oct", nullptr);
        mesh->BuildOctree();
    }
    void TearDown() override
    {
        mesh.reset();
        RendererTest::TearDown();
    }

    std::unique_ptr<OctreeMesh> mesh;
    CollisionGatherer gatherer;
};

} // namespace

TEST_F(CollisionOctreeTest, WalkHandsOverTheNearbyFacesOnce)
{
    CountingSink all, near;
    gatherer.AddMesh(*mesh, nullptr, Vector3(), all, nullptr);
    EXPECT_EQ(all.triangles.size(), std::size_t((16 * 16 + 48) * 2));
    const BoundingBox region(Vector3(-6.5f, -1, -6.5f), Vector3(-5.5f, 2, -5.5f));
    gatherer.AddMesh(*mesh, nullptr, Vector3(), near, &region);
    EXPECT_GT(near.triangles.size(), 0u);
    EXPECT_LT(near.triangles.size(), all.triangles.size() / 4);
    std::set<decltype(Key(near.triangles[0]))> seen;
    for (const WorldTriangle& t : near.triangles)
        EXPECT_TRUE(seen.insert(Key(t)).second) << "a face handed over twice";
    for (const WorldTriangle& t : all.triangles) {
        if (Overlaps(t, region)) {
            EXPECT_TRUE(seen.count(Key(t))) << t.a.x << " " << t.a.z;
        }
    }
    // A second walk over the same leaves hands them over again.
    CountingSink again;
    gatherer.AddMesh(*mesh, nullptr, Vector3(), again, &region);
    EXPECT_EQ(again.triangles.size(), near.triangles.size());
}

TEST_F(CollisionOctreeTest, PlacedOctreeMeshStopsAFall)
{
    GridScene scene(0, 0, 1.0f, [](float, float) { return 0.0f; });
    GridScene::Object object;
    object.record.world.SetTranslation(Vector3(100, 5, 100));
    object.record.mesh = mesh.get();
    object.centre = Vector3(100, 5, 100);
    object.radius = mesh->GetRadius();
    scene.objects.push_back(object);
    auto query = std::make_unique<CollisionQuery>();
    query->SetScene(&scene);
    query->SetMode(CollisionQuery::ShapeEllipsoid, CollisionQuery::ResponseStop);
    query->SetEllipsoid(0.5f, 1.0f, 0.5f);
    query->SetMove(101.3f, 8, 99.6f, kIdentityOrientation, 0, -5, 0);
    Vector3 end;
    query->Move(&end, nullptr, nullptr);
    EXPECT_NEAR(end.y, 6.0f, 1e-4f);
    // Towards the wall at z = 8 (world 108), facing -z.
    query->SetMove(101.3f, 6.5f, 104, kIdentityOrientation, 0, 0, 10);
    query->Move(&end, nullptr, nullptr);
    EXPECT_NEAR(end.z, 107.5f, 1e-4f);
}
