#include <algorithm>
#include <memory>

#include <gtest/gtest.h>

#include "physics/BoxContacts.h"
#include "physics/Collision.h"
#include "tests/physics/CollisionSupport.h"

namespace {

// A box of the given half size around centre, numbered so that corners sharing an edge differ in
// one bit: bit 0 is +x, bit 1 is the lower face (so an upright box's tilt axis, corner 0 -
// corner 2, points up), bit 2 is +z. On its side, the box is turned a quarter about z: its +x
// face is then the lower one (corners 1, 3, 5 and 7).
void BoxCorners(const Vector3& centre, const Vector3& half, bool sideways, Vector3 out[8])
{
    for (int k = 0; k < 8; ++k) {
        const Vector3 offset(k & 1 ? half.x : -half.x, k & 2 ? -half.y : half.y, k & 4 ? half.z : -half.z);
        out[k] = centre + (sideways ? Vector3(offset.y, -offset.x, offset.z) : offset);
    }
}

// A floor at height y under the box, whose quad diagonal passes far from it.
void AddFloorBeside(TriangleSet& out, float y)
{
    AddQuad(out, Vector3(-3, y, -3), Vector3(20, 0, 0), Vector3(0, 0, 20));
}

class BoxQueryTest : public ::testing::Test {
protected:
    // The box of size 2 at centre, moved there from centre - move; the query's velocity is given
    // separately, since it decides which side of the box leads.
    int Run(const Vector3& centre, const Vector3& move, const Vector3& velocity, bool terrain = false,
            const Vector3& sizes = {2, 2, 2}, bool upright = true)
    {
        Vector3 description[16];
        BoxCorners(centre, sizes * 0.5f, !upright, description);
        BoxCorners(centre - move, sizes * 0.5f, !upright, description + 8);
        query->SetMode(CollisionQuery::ShapeBox, CollisionQuery::ResponseBoxContacts);
        query->SetEllipsoid(sizes.x, sizes.y, sizes.z);
        query->SetBox(description);
        query->SetBoxOwner(owner);
        query->SetMove(centre.x, centre.y, centre.z, kIdentityOrientation, velocity.x, velocity.y, velocity.z);
        Vector3 end;
        query->MoveThrough(&end, nullptr, FeedAll(triangles, terrain));
        EXPECT_EQ(end, centre); // the box query never moves the body
        int count = 0;
        query->GetContacts(&normals, &values, &depths, &points, &count);
        return count;
    }

    std::unique_ptr<CollisionQuery> query = std::make_unique<CollisionQuery>();
    double owner[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    TriangleSet triangles;
    Vector3* normals = nullptr;
    float* values = nullptr;
    float* depths = nullptr;
    Vector3* points = nullptr;
};

} // namespace

TEST_F(BoxQueryTest, LowerCornersSweptThroughAFloorGiveContacts)
{
    AddFloorBeside(triangles, 0.125f);
    // The bottom went from 0.25 down to -0.25 and crossed the floor at 0.125.
    ASSERT_EQ(Run({0, 0.75f, 0}, {0, -0.5f, 0}, {0, -0.5f, 0}), 4);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(points[i].y, 0.125f);
        EXPECT_EQ(depths[i], 0.375f);
        EXPECT_EQ(normals[i], Vector3(0, 1, 0));
        EXPECT_EQ(values[i], -0.125f);
        EXPECT_NEAR(std::fabs(points[i].x), 1.0f, 1e-6f);
    }
}

TEST_F(BoxQueryTest, TriangleFacingAlongTheVelocityGivesNothing)
{
    // The floor's back: its normal points down, along the move.
    triangles.push_back({{-3, 0.125f, -3}, {17, 0.125f, -3}, {-3, 0.125f, 17}});
    EXPECT_EQ(Run({0, 0.75f, 0}, {0, -0.5f, 0}, {0, -0.5f, 0}), 0);
    EXPECT_FALSE(query->GetContacts(&normals, &values, &depths, &points, nullptr));
}

TEST_F(BoxQueryTest, SweepDepthRunsFromTheWholeSweepToZero)
{
    // The floor at the sweep's end (t = 1): depth 0; at its start (t = 0): the whole sweep.
    AddFloorBeside(triangles, -0.25f);
    ASSERT_EQ(Run({0, 0.75f, 0}, {0, -0.5f, 0}, {0, -0.5f, 0}), 4);
    EXPECT_EQ(depths[0], 0.0f);
    triangles.clear();
    AddFloorBeside(triangles, 0.25f);
    ASSERT_EQ(Run({0, 0.75f, 0}, {0, -0.5f, 0}, {0, -0.5f, 0}), 4);
    EXPECT_EQ(depths[0], 0.5f);
    // A corner that did not move sweeps nothing.
    EXPECT_EQ(Run({0, 0.8f, 0}, {0, 0, 0}, {0, -0.4f, 0}), 0);
}

TEST_F(BoxQueryTest, TrailingContactsAreNotCounted)
{
    AddFloorBeside(triangles, 0.125f);
    // Sinking, but the velocity says the box leads with its +x side: the -x corners trail.
    ASSERT_EQ(Run({0, 0.75f, 0}, {0, -0.5f, 0}, {1, 0, 0}), 2);
    EXPECT_NEAR(points[0].x, 1.0f, 1e-6f);
    EXPECT_NEAR(points[1].x, 1.0f, 1e-6f);
}

TEST_F(BoxQueryTest, UprightBoxIgnoresTerrainAndATiltedOneUsesFourCorners)
{
    AddFloorBeside(triangles, 0.125f);
    EXPECT_EQ(Run({0, 0.75f, 0}, {0, -0.5f, 0}, {0, -0.5f, 0}, true), 0);
    // On its side the lower face is corners 1, 3, 5 and 7; terrain sweeps only corners 0, 4, 1
    // and 5, so two of them meet it, while a mesh floor meets all four.
    ASSERT_EQ(Run({0, 0.75f, 0}, {0, -0.5f, 0}, {0, -0.5f, 0}, true, {2, 2, 2}, false), 2);
    EXPECT_EQ(Run({0, 0.75f, 0}, {0, -0.5f, 0}, {0, -0.5f, 0}, false, {2, 2, 2}, false), 4);
}

TEST_F(BoxQueryTest, EdgePokingIntoTheBoxGivesItsDeepestSample)
{
    // A vertical triangle (plane z = 0) whose corner reaches 0.2 into the box through its +x face.
    triangles.push_back({{0.8f, 0, 0}, {3, 1, 0}, {3, -1, 0}});
    ASSERT_EQ(Run({0, 0, 0}, {0, 0, 0}, {1, 0, 0}), 1);
    EXPECT_EQ(points[0], Vector3(0.8f, 0, 0));
    EXPECT_EQ(normals[0], Vector3(-1, 0, 0));
    EXPECT_NEAR(depths[0], 0.2f, 1e-6f);
}

TEST_F(BoxQueryTest, EdgeSamplesUseTheOwnersOrientation)
{
    // A corner of a flat triangle at world z = 1.5: outside a 4 x 2 x 2 box whose long axis is
    // world x, inside one turned so that its long axis runs along world z.
    triangles.push_back({{0, 0, 1.5f}, {1, 0, 3}, {-1, 0, 3}});
    EXPECT_EQ(Run({0, 0, 0}, {0, 0, 0}, {0, 0, 1}, false, {4, 2, 2}), 0);
    Matrix4d turned;
    turned.m[0][0] = 0, turned.m[0][2] = 1;  // body x along world z
    turned.m[2][0] = -1, turned.m[2][2] = 0; // body z along world -x
    std::copy(&turned.m[0][0], &turned.m[0][0] + 16, owner);
    ASSERT_EQ(Run({0, 0, 0}, {0, 0, 0}, {0, 0, 1}, false, {4, 2, 2}), 1);
    EXPECT_EQ(points[0], Vector3(0, 0, 1.5f));
    EXPECT_EQ(normals[0], Vector3(0, 0, -1));
    EXPECT_NEAR(depths[0], 0.5f, 1e-6f);
}

TEST_F(BoxQueryTest, ContactListStopsAtItsCapacity)
{
    // 300 small floor pieces under the sinking box, each good for one or more contacts.
    for (int i = 0; i < 300; ++i) {
        const float x = -0.9f + 1.8f * float(i % 20) / 19.0f, z = -0.9f + 1.8f * float(i / 20) / 14.0f;
        triangles.push_back({{x - 0.05f, 0.125f, z - 0.05f}, {x - 0.05f, 0.125f, z + 0.05f}, {x + 0.05f, 0.125f, z - 0.05f}});
    }
    EXPECT_EQ(Run({0, 0.75f, 0}, {0, -0.5f, 0}, {0, -0.5f, 0}), BoxContacts::kContactCapacity);
    // A new move clears the list.
    query->SetMove(0, 0, 0, kIdentityOrientation, 0, 0, 0);
    EXPECT_FALSE(query->GetContacts(&normals, &values, &depths, &points, nullptr));
}

TEST_F(BoxQueryTest, BoxWithoutSizeGivesNoContacts)
{
    AddFloorBeside(triangles, 0.125f);
    EXPECT_EQ(Run({0, 0.75f, 0}, {0, -0.5f, 0}, {0, -0.5f, 0}, false, {2, 0, 2}), 0);
    EXPECT_EQ(query->Box().TriangleCount(), 0);
}

TEST(BoxContactGeometry, ProjectedPointInTriangle)
{
    CollisionTriangle floor;
    floor.Set({0, 0, 0}, {0, 0, 1}, {1, 0, 0}, false); // seen from above: the XZ plane
    CollisionTriangle wall;
    wall.Set({0, 0, 0}, {0, 1, 0}, {0, 0, 1}, false); // x-facing: the YZ plane
    CollisionTriangle leaning;
    leaning.Set({0, 0, 0}, {0, 0, 1}, {1, 0, 0.51f}, false);
    CollisionTriangle thin;
    thin.Set({0, 0, 0}, {0, 0, 2}, {0.01f, 0, 1}, false); // v2 within 0.02 of the edge v0-v1
    struct Case {
        const CollisionTriangle* triangle;
        Vector3 x;
        bool inside;
    } cases[] = {
        {&floor, {0.2f, 0, 0.2f}, true},
        {&floor, {0.6f, 0, 0.6f}, false},
        {&floor, {-0.015f, 0, 0.5f}, true},  // within 0.02 of the edge x = 0
        {&floor, {-0.03f, 0, 0.5f}, false},
        {&floor, {0.51f, 0, 0.5f}, true},    // within 0.02 of the long edge
        {&wall, {0, 0.2f, 0.2f}, true},
        {&wall, {0, 0.7f, 0.7f}, false},
        {&thin, {0.005f, 0, 1}, false},      // a sliver holds nothing
        {&leaning, {0.3f, 0, 0.3f}, true},
        {&leaning, {0.3f, 0, 0.05f}, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(PointInProjectedTriangle(c.x, *c.triangle), c.inside) << c.x.x << " " << c.x.y << " " << c.x.z;
}

TEST(BoxContactGeometry, SegmentAgainstPlane)
{
    CollisionTriangle floor;
    floor.Set({0, 1, 0}, {0, 1, 1}, {1, 1, 0}, false);
    float t = -1.0f;
    ASSERT_TRUE(SegmentCrossesPlane({0, 2, 0}, {0, -2, 0}, floor, t));
    EXPECT_FLOAT_EQ(t, 0.5f);
    ASSERT_TRUE(SegmentCrossesPlane({0, 1, 0}, {0, -2, 0}, floor, t));
    EXPECT_FLOAT_EQ(t, 0.0f);
    ASSERT_TRUE(SegmentCrossesPlane({0, 3, 0}, {0, -2, 0}, floor, t));
    EXPECT_FLOAT_EQ(t, 1.0f);
    EXPECT_FALSE(SegmentCrossesPlane({0, 4, 0}, {0, -2, 0}, floor, t));  // stops short
    EXPECT_FALSE(SegmentCrossesPlane({0, 2, 0}, {3, 0, 0}, floor, t));   // parallel
    EXPECT_FALSE(SegmentCrossesPlane({0, 2, 0}, {0, 0, 0}, floor, t));   // no length
}
