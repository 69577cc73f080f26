#include <cmath>
#include <memory>

#include <gtest/gtest.h>

#include "physics/Collision.h"
#include "physics/CollisionGeometry.h"
#include "tests/physics/CollisionSupport.h"

namespace {

void ExpectNear(const Vector3& actual, const Vector3& expected, float tolerance = 1e-4f)
{
    EXPECT_NEAR(actual.x, expected.x, tolerance);
    EXPECT_NEAR(actual.y, expected.y, tolerance);
    EXPECT_NEAR(actual.z, expected.z, tolerance);
}

class EllipsoidQueryTest : public ::testing::Test {
protected:
    std::unique_ptr<CollisionQuery> query = std::make_unique<CollisionQuery>();
    TriangleSet triangles;
};

// The collider alone, unit sphere in world space, for looking at the candidates of one search.
class CandidateTest : public ::testing::Test {
protected:
    const std::vector<EllipsoidCollider::Candidate>& Find(const Vector3& p, const Vector3& v)
    {
        collider->Begin(Vector3(1, 1, 1), Vector3(0, 1, 0));
        collider->SetMove(p, v);
        for (const WorldTriangle& t : triangles)
            collider->AddTriangle(t.a, t.b, t.c, v, false);
        return collider->FindCollisions(p, v);
    }

    std::unique_ptr<EllipsoidCollider> collider = std::make_unique<EllipsoidCollider>();
    TriangleSet triangles;
};

} // namespace

TEST_F(EllipsoidQueryTest, SlidesAlongTheFloorAfterLanding)
{
    AddFloor(triangles, 0.0f);
    // Lands at (2, 1, 0) and then slides on by the whole move projected onto the floor.
    ExpectNear(RunEllipsoid(*query, triangles, {{0, 2, 0}, {4, -2, 0}}), Vector3(6, 1, 0));
    EXPECT_FALSE(query->SlideExhausted());
}

TEST_F(EllipsoidQueryTest, StopsAtTheFirstContact)
{
    AddFloor(triangles, 0.0f);
    ExpectNear(RunEllipsoid(*query, triangles, {{0, 2, 0}, {4, -2, 0}, CollisionQuery::ResponseStop}), Vector3(2, 1, 0));
    triangles.clear();
    AddWallFacingMinusX(triangles, 5.0f);
    ExpectNear(RunEllipsoid(*query, triangles, {{0, 0, 0}, {10, 0, 0}, CollisionQuery::ResponseStop}), Vector3(4, 0, 0));
    // Nothing in the way: the whole move.
    ExpectNear(RunEllipsoid(*query, triangles, {{0, 0, 0}, {-10, 0, 0}, CollisionQuery::ResponseStop}),
               Vector3(-10, 0, 0));
}

TEST_F(EllipsoidQueryTest, WallStopsTheMoveAndTheSlideFollowsIt)
{
    AddWallFacingMinusX(triangles, 5.0f);
    ExpectNear(RunEllipsoid(*query, triangles, {{2, 0, 0}, {4, 0, 4}}), Vector3(4, 0, 6));
    // Head on, nothing is left to slide with.
    ExpectNear(RunEllipsoid(*query, triangles, {{0, 0, 0}, {10, 0, 0}}), Vector3(4, 0, 0));
}

TEST_F(EllipsoidQueryTest, BacksOfTrianglesDoNotStopTheMove)
{
    AddWallFacingMinusX(triangles, 5.0f);
    ExpectNear(RunEllipsoid(*query, triangles, {{8, 0, 0}, {-10, 0, 0}}), Vector3(-2, 0, 0));
}

TEST_F(EllipsoidQueryTest, RestingOnTheFloorAndMovingDownIsPushedOutThenSlides)
{
    AddFloor(triangles, 0.0f);
    // 0.9 above the floor: embedded by 0.1, pushed back to 1, then the move slides on the floor.
    const Vector3 end = RunEllipsoid(*query, triangles, {{0, 0.9f, 0}, {3, -1, 0}});
    EXPECT_NEAR(end.y, 1.0f, 1e-4f);
    EXPECT_GT(end.x, 2.9f);
}

TEST_F(EllipsoidQueryTest, CreaseOfFloorAndWallIsFollowed)
{
    AddFloor(triangles, 0.0f);
    AddWallFacingMinusX(triangles, 5.0f);
    // Both are met at once at (4, 1, 1); the slide goes on along their crease (the z axis).
    ExpectNear(RunEllipsoid(*query, triangles, {{2, 2, 0}, {4, -2, 2}}), Vector3(4, 1, 3));
}

TEST_F(EllipsoidQueryTest, CornerMetHeadOnStopsThereAndExhaustsTheSlide)
{
    AddWallFacingMinusX(triangles, 5.0f);
    AddWallFacingMinusZ(triangles, 5.0f);
    // A vertical crease with a horizontal move: the velocity never changes, so every iteration
    // meets both walls again at distance 0 until the budget is spent.
    ExpectNear(RunEllipsoid(*query, triangles, {{2, 0, 2}, {6, 0, 6}}), Vector3(4, 0, 4));
    EXPECT_TRUE(query->SlideExhausted());
    // The next move clears the flag.
    RunEllipsoid(*query, triangles, {{0, 0, 0}, {-1, 0, 0}});
    EXPECT_FALSE(query->SlideExhausted());
}

TEST_F(EllipsoidQueryTest, FoldWhereTheGroundSteepensIsClimbedOver)
{
    // Rises of 0.4 and then 0.5 per unit beyond z = 0; a level move uphill meets both planes at
    // once where the fold's line touches the sphere. Ground folds this slightly (a few degrees)
    // lie along every row of a hillside.
    struct Fold {
        float lower, upper;
    };
    for (const Fold fold : {Fold{0.4f, 0.5f}, Fold{0.0f, 0.3f}, Fold{0.45f, 0.9f}}) {
        triangles.clear();
        AddQuad(triangles, Vector3(-50, -50 * fold.lower, -50), Vector3(100, 0, 0), Vector3(0, 50 * fold.lower, 50));
        AddQuad(triangles, Vector3(-50, 0, 0), Vector3(100, 0, 0), Vector3(0, 50 * fold.upper, 50));
        // The centre 1 from both planes.
        const float lower = std::sqrt(1 + fold.lower * fold.lower), upper = std::sqrt(1 + fold.upper * fold.upper);
        const float z = (lower - upper) / (fold.upper - fold.lower);
        const Vector3 inFold(0, lower + fold.lower * z, z);
        const Vector3 end = RunEllipsoid(*query, triangles, {inFold - Vector3(0, 0, 0.5f), {0, 0, 3}});
        EXPECT_GT(end.z, inFold.z + 1.0f) << "rises " << fold.lower << " then " << fold.upper;
        // On the steeper plane, resting on it.
        EXPECT_NEAR((end.y - fold.upper * end.z) / upper, 1.0f, 1e-3f) << "rises " << fold.lower << " then " << fold.upper;
        EXPECT_FALSE(query->SlideExhausted());
    }
}

// A plane rising towards +x at the given angle from the line x = 0, y = 0, with (optionally) a
// floor at y = 0 before its foot.
void AddSlope(TriangleSet& triangles, float degrees, bool floor)
{
    const float a = degrees * 3.14159265f / 180.0f;
    AddQuad(triangles, Vector3(0, 0, -100), Vector3(100 * std::cos(a), 100 * std::sin(a), 0), Vector3(0, 0, 200));
    if (floor)
        AddQuad(triangles, Vector3(-100, 0, -100), Vector3(100, 0, 0), Vector3(0, 0, 200));
}

TEST_F(EllipsoidQueryTest, FaceTooSteepToWalkIsNotClimbedAtAnyAngle)
{
    const float turned[9] = {0, 0, 1, 0, 1, 0, -1, 0, 0};
    struct Body {
        Vector3 radii;
        const float* orientation;
    };
    for (const Body body : {Body{{1, 1, 1}, kIdentityOrientation}, Body{{2.7f, 3.0f, 2.7f}, kIdentityOrientation},
                            Body{{2.7f, 2.0f, 5.0f}, turned}})
        for (const float slope : {50.0f, 60.0f, 75.0f, 89.0f})
            for (const bool floor : {true, false})
                for (const float heading : {0.0f, 20.0f, 45.0f, 70.0f, 85.0f}) {
                    triangles.clear();
                    AddSlope(triangles, slope, floor);
                    // Walked into in steps of a unit, as frames of a run; the heading turns from
                    // straight up the face towards along it.
                    const float h = heading * 3.14159265f / 180.0f;
                    const Vector3 step(std::cos(h), 0, std::sin(h));
                    Vector3 at(-3 * std::max(body.radii.x, body.radii.z), body.radii.y, 0);
                    float highest = at.y;
                    for (int frame = 0; frame < 40; ++frame) {
                        at = RunEllipsoid(*query, triangles, {at, step, CollisionQuery::ResponseSlide, body.radii, body.orientation});
                        highest = std::max(highest, at.y);
                    }
                    const float limit = body.radii.y * (1.0f + EllipsoidCollider::kStepFraction);
                    EXPECT_LE(highest, limit) << slope << " degrees, heading " << heading << ", floor " << floor
                                              << ", radii " << body.radii.x << " " << body.radii.y;
                    EXPECT_GE(at.y, body.radii.y - 1e-3f) << slope << " degrees, heading " << heading;
                    // Along the face the body keeps going at the part of its speed along it.
                    if (heading >= 45.0f) {
                        EXPECT_GT(at.z, 40.0f * step.z * 0.9f - 3 * body.radii.z) << slope << " degrees, heading " << heading;
                    }
                }
}

TEST_F(EllipsoidQueryTest, GentleSlopeIsClimbedAndSteepFaceStillSlidDown)
{
    for (const float slope : {10.0f, 30.0f, 44.0f})
        for (const float heading : {0.0f, 45.0f}) {
            triangles.clear();
            AddSlope(triangles, slope, true);
            const float h = heading * 3.14159265f / 180.0f;
            const Vector3 step(std::cos(h), 0, std::sin(h));
            Vector3 at(-2, 1, 0);
            for (int frame = 0; frame < 20; ++frame)
                at = RunEllipsoid(*query, triangles, {at, step});
            const float a = slope * 3.14159265f / 180.0f;
            // Uphill at no less than the share a slide along the plane keeps (cos^2 of the slope).
            EXPECT_GT(at.x, 20.0f * step.x * std::cos(a) * std::cos(a) - 3.0f) << slope << " degrees, heading " << heading;
            EXPECT_NEAR(at.y * std::cos(a) - at.x * std::sin(a), 1.0f, 1e-3f) << slope << " degrees: resting on the plane";
        }
    // A fall against a face too steep to walk goes on down it.
    triangles.clear();
    AddSlope(triangles, 70.0f, false);
    const Vector3 onFace(-1.0f / std::sin(70.0f * 3.14159265f / 180.0f) + 2.0f / std::tan(70.0f * 3.14159265f / 180.0f), 2, 0);
    const Vector3 end = RunEllipsoid(*query, triangles, {onFace, {0, -3, 0}});
    EXPECT_LT(end.y, onFace.y - 2.5f);
    EXPECT_LT(end.x, onFace.x - 0.5f);
}

TEST_F(EllipsoidQueryTest, StepsUpToTheStepHeightAreClimbed)
{
    const Vector3 radii(2.7f, 3.0f, 2.7f);
    struct Step {
        float height; // share of the vertical radius
        bool climbed;
    };
    for (const Step s : {Step{0.2f, true}, Step{0.45f, true}, Step{0.6f, false}, Step{0.9f, false}})
        for (const float heading : {0.0f, 40.0f}) {
            const float rise = s.height * radii.y;
            triangles.clear();
            AddQuad(triangles, Vector3(-100, 0, -100), Vector3(105, 0, 0), Vector3(0, 0, 200));
            AddQuad(triangles, Vector3(5, 0, -100), Vector3(0, rise, 0), Vector3(0, 0, 200));
            AddQuad(triangles, Vector3(5, rise, -100), Vector3(100, 0, 0), Vector3(0, 0, 200));
            const float h = heading * 3.14159265f / 180.0f;
            Vector3 at(0, radii.y, 0);
            for (int frame = 0; frame < 10; ++frame)
                at = RunEllipsoid(*query, triangles, {at, Vector3(std::cos(h), 0, std::sin(h)), CollisionQuery::ResponseSlide, radii});
            if (s.climbed) {
                EXPECT_GT(at.x, 5.0f) << s.height << ", heading " << heading;
                EXPECT_GE(at.y, radii.y + rise - 1e-3f) << s.height << ", heading " << heading;
            } else {
                EXPECT_LT(at.x, 5.0f) << s.height << ", heading " << heading;
                EXPECT_NEAR(at.y, radii.y, 1e-3f) << s.height << ", heading " << heading;
            }
        }
}

TEST_F(EllipsoidQueryTest, EllipsoidRadiiScaleTheContact)
{
    AddFloor(triangles, 0.0f);
    AddWallFacingMinusX(triangles, 5.0f);
    ExpectNear(RunEllipsoid(*query, triangles, {{0, 3, 0}, {0, -5, 0}, CollisionQuery::ResponseStop, {0.5f, 2.0f, 0.5f}}),
               Vector3(0, 2, 0));
    ExpectNear(RunEllipsoid(*query, triangles, {{0, 3, 0}, {8, 0, 0}, CollisionQuery::ResponseStop, {0.5f, 2.0f, 0.5f}}),
               Vector3(4.5f, 3, 0));
}

TEST_F(EllipsoidQueryTest, TurnedMoverMovesInTheWorld)
{
    AddWallFacingMinusX(triangles, 5.0f);
    // The mover's x axis points along world z and its z axis along world -x; its long radius
    // (x) therefore lies along the world's z, and the wall at x = 5 meets its short one (z).
    const float turned[9] = {0, 0, 1, 0, 1, 0, -1, 0, 0};
    EllipsoidMove move{{0, 0, 0}, {10, 0, 0}, CollisionQuery::ResponseStop, {3.0f, 1.0f, 0.5f}, turned};
    ExpectNear(RunEllipsoid(*query, triangles, move), Vector3(4.5f, 0, 0));
    float orientation[9] = {};
    query->MoveThrough(nullptr, orientation, FeedAll(triangles));
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(orientation[i], turned[i]);
}

TEST_F(EllipsoidQueryTest, ZeroMoveOrZeroSizeStaysAtTheStart)
{
    AddFloor(triangles, 0.0f);
    ExpectNear(RunEllipsoid(*query, triangles, {{1, 2, 3}, {0, 0, 0}}), Vector3(1, 2, 3));
    EXPECT_FALSE(query->SlideExhausted());
    // A body without size cannot be scaled to a unit sphere: it does not move.
    const Vector3 badRadii[] = {{0, 1, 1}, {1, 0, 1}, {1, 1, -1}, {1, NAN, 1}, {INFINITY, 1, 1}};
    for (const Vector3& radii : badRadii) {
        const Vector3 end = RunEllipsoid(*query, triangles, {{1, 2, 3}, {4, -5, 0}, CollisionQuery::ResponseSlide, radii});
        EXPECT_EQ(end, Vector3(1, 2, 3)) << radii.x << " " << radii.y << " " << radii.z;
        EXPECT_EQ(query->Ellipsoid().TriangleCount(), 0);
    }
    // Nor does a move that is not a number.
    EXPECT_EQ(RunEllipsoid(*query, triangles, {{1, 2, 3}, {NAN, 0, 0}}), Vector3(1, 2, 3));
    EXPECT_EQ(RunEllipsoid(*query, triangles, {{1, 2, 3}, {0, -INFINITY, 0}}), Vector3(1, 2, 3));
}

TEST_F(EllipsoidQueryTest, OtherShapeAndResponsePairsStayAtTheStart)
{
    AddFloor(triangles, 0.0f);
    const int pairs[][2] = {{0, 2}, {0, 7}, {1, 0}, {1, 1}, {2, 0}};
    for (const auto& pair : pairs) {
        query->SetMode(pair[0], pair[1]);
        query->SetEllipsoid(1, 1, 1);
        query->SetMove(0, 2, 0, kIdentityOrientation, 4, -2, 0);
        Vector3 end;
        query->MoveThrough(&end, nullptr, FeedAll(triangles));
        EXPECT_EQ(end, Vector3(0, 2, 0)) << pair[0] << "," << pair[1];
        EXPECT_EQ(query->Ellipsoid().TriangleCount(), 0);
        EXPECT_EQ(query->Box().TriangleCount(), 0);
    }
}

TEST_F(EllipsoidQueryTest, TriangleBufferRefusesTheFourThousandAndFirst)
{
    // 4100 identical floor triangles under the start: the feed is told to stop once the buffer is full.
    for (int i = 0; i < 4100; ++i)
        triangles.push_back({{-5, 0, -5}, {-5, 0, 5}, {5, 0, -5}});
    auto& collider = query->Ellipsoid();
    collider.Begin(Vector3(1, 1, 1), Vector3(0, 1, 0));
    collider.SetMove(Vector3(0, 2, 0), Vector3(0, -2, 0));
    int accepted = 0;
    for (const WorldTriangle& t : triangles) {
        if (!collider.AddTriangle(t.a, t.b, t.c, Vector3(0, -2, 0), false))
            break;
        ++accepted;
    }
    EXPECT_EQ(accepted, kCollisionTriangleCapacity);
    EXPECT_EQ(collider.TriangleCount(), kCollisionTriangleCapacity);
}

TEST_F(EllipsoidQueryTest, TrianglesAreCulledBySideAndReach)
{
    auto& collider = query->Ellipsoid();
    collider.Begin(Vector3(1, 1, 1), Vector3(0, 1, 0));
    collider.SetMove(Vector3(0, 2, 0), Vector3(1, 0, 0));
    // Behind the start, beyond 1.2 x the move + 1 on one axis, degenerate: none is held.
    EXPECT_TRUE(collider.AddTriangle({-5, 3, -5}, {-5, 3, 5}, {5, 3, -5}, Vector3(1, 0, 0), false)); // start behind it
    EXPECT_TRUE(collider.AddTriangle({2.3f, 0, -5}, {2.3f, 0, 5}, {9, 0, -5}, Vector3(1, 0, 0), false));
    EXPECT_TRUE(collider.AddTriangle({0, 0, 0}, {1, 0, 0}, {2, 0, 0}, Vector3(1, 0, 0), false));
    EXPECT_EQ(collider.TriangleCount(), 0);
    // Just within reach.
    EXPECT_TRUE(collider.AddTriangle({2.1f, 0, -5}, {2.1f, 0, 5}, {9, 0, -5}, Vector3(1, 0, 0), false));
    EXPECT_EQ(collider.TriangleCount(), 1);
}

TEST_F(CandidateTest, FaceHit)
{
    AddFloor(triangles, 0.0f);
    const auto& found = Find({0.3f, 3, 0.2f}, {0, -4, 0});
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].kind, EllipsoidCollider::Face);
    EXPECT_NEAR(found[0].distance, 2.0f, 1e-5f);
}

TEST_F(CandidateTest, CoplanarTrianglesAtTheSameDistanceGiveOneCandidate)
{
    AddFloor(triangles, 0.0f);
    // Straight down onto the diagonal both floor triangles share.
    const auto& found = Find({1, 2, -1}, {0, -3, 0});
    ASSERT_EQ(found.size(), 1u);
    EXPECT_NEAR(found[0].distance, 1.0f, 1e-5f);
}

TEST_F(CandidateTest, TwoWallsAtACornerGiveTwoCandidates)
{
    AddWallFacingMinusX(triangles, 5.0f);
    AddWallFacingMinusZ(triangles, 5.0f);
    const auto& found = Find({2, 0, 2}, {6, 0, 6});
    ASSERT_EQ(found.size(), 2u);
    EXPECT_NEAR(found[0].distance, found[1].distance, 1e-4f);
}

TEST_F(CandidateTest, EdgeHitMeetsTheEdgeWhereTheSphereFirstReachesItsLine)
{
    // A floor triangle whose edge x = 0 (z from -5 to 5) faces the incoming sphere.
    triangles.push_back({{0, 0, -5}, {0, 0, 5}, {10, 0, 0}});
    const Vector3 p(-3, 1, 0), v(6, -1.5f, 0);
    const auto& found = Find(p, v);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].kind, EllipsoidCollider::Edge);
    // The centre is 1 from the line x = y = 0 at s = (39 - 12) / 76.5 of the move.
    const float s = 27.0f / 76.5f;
    EXPECT_NEAR(found[0].distance, s * v.Length(), 1e-4f);
    ExpectNear(found[0].planeNormal, UnitOf(p + v * s));
}

TEST_F(CandidateTest, EdgeCountsUpToItsEnds)
{
    // The sphere crosses the edge's line diagonally, meeting it at z = zMeet; the triangle's edge
    // runs from z = -5 to 5.
    triangles.push_back({{0, 0, -5}, {0, 0, 5}, {10, 0, 0}});
    const float s = 27.0f / 76.5f; // when the centre is 1 from the line x = y = 0
    for (const auto& [zMeet, edge] : {std::pair{-4.99f, true}, std::pair{-5.05f, false}, std::pair{4.98f, true}}) {
        const Vector3 p(-3, 1, zMeet > 0 ? 3.0f : -3.0f);
        const Vector3 v(6, -1.5f, (zMeet - p.z) / s);
        bool sawEdge = false;
        for (const auto& candidate : Find(p, v))
            if (candidate.kind == EllipsoidCollider::Edge) {
                sawEdge = true;
                EXPECT_NEAR(candidate.distance, s * v.Length(), 1e-3f);
            }
        EXPECT_EQ(sawEdge, edge) << zMeet;
    }
}

TEST_F(CandidateTest, MovingAlongAnEdgeOrPassingBesideItGivesNoEdgeCandidate)
{
    triangles.push_back({{0, 0, -5}, {0, 0, 5}, {10, 0, 0}});
    for (const auto& [p, v] : {std::pair<Vector3, Vector3>{{-0.5f, 0.5f, -12}, {0, -0.01f, 20}},
                               std::pair<Vector3, Vector3>{{-3, 1, 7}, {6, -1.5f, 0}},
                               std::pair<Vector3, Vector3>{{-3, 2.5f, 0}, {6, -1.5f, 0}}}) {
        for (const auto& candidate : Find(p, v))
            EXPECT_NE(candidate.kind, EllipsoidCollider::Edge);
    }
}

TEST_F(CandidateTest, VertexHitMeetsTheCorner)
{
    triangles.push_back({{0, 0, 0}, {0, 0, 5}, {5, 0, 0}});
    const Vector3 p(-2, 1, -2), v(3, -1, 3);
    const auto& found = Find(p, v);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].kind, EllipsoidCollider::Vertex);
    const float s = (26.0f - std::sqrt(68.0f)) / 38.0f;
    EXPECT_NEAR(found[0].distance, s * v.Length(), 1e-4f);
    // Moving away from the corner gives nothing.
    EXPECT_TRUE(Find(Vector3(-2, 1, -2), Vector3(-3, -1, -3)).empty());
}

TEST_F(CandidateTest, EmbeddedSphereIsPushedOutAlongTheContact)
{
    AddFloor(triangles, 0.0f);
    const auto& found = Find({0, 0.75f, 0}, {1, 0.1f, 0});
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].kind, EllipsoidCollider::Embedded);
    EXPECT_NEAR(found[0].distance, -0.25f, 1e-5f);
    ExpectNear(found[0].planeNormal, Vector3(0, 1, 0));
}

TEST(CollisionGeometry, PointInTriangleWithTolerance)
{
    CollisionTriangle triangle;
    triangle.Set({0, 0, 0}, {0, 0, 1}, {1, 0, 0}, false);
    CollisionTriangle reversed;
    reversed.Set({1, 0, 0}, {0, 0, 1}, {0, 0, 0}, false);
    struct Case {
        Vector3 x;
        float tolerance;
        bool inside;
    } cases[] = {
        {{0.25f, 0, 0.25f}, 0.0f, true},
        {{0, 0, 0}, 0.0f, true},         // a corner
        {{0.5f, 0, 0.5f}, 0.0f, true},   // on the long edge
        {{-0.01f, 0, 0.5f}, 0.0f, false},
        {{-0.00005f, 0, 0.5f}, 0.0001f, true},
        {{-0.0002f, 0, 0.5f}, 0.0001f, false},
        {{0.8f, 0, 0.8f}, 0.0f, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(PointInCollisionTriangle(c.x, triangle, c.tolerance), c.inside) << c.x.x << " " << c.x.z;
        EXPECT_EQ(PointInCollisionTriangle(c.x, reversed, c.tolerance), c.inside) << c.x.x << " " << c.x.z;
    }
}

TEST(CollisionGeometry, ClosestPointsAndRays)
{
    bool within = true;
    EXPECT_EQ(ClosestPointOnSegment({0, 0, 0}, {2, 0, 0}, {-1, 1, 0}, within), Vector3(0, 0, 0));
    EXPECT_FALSE(within);
    EXPECT_EQ(ClosestPointOnSegment({0, 0, 0}, {2, 0, 0}, {3, 1, 0}, within), Vector3(2, 0, 0));
    EXPECT_FALSE(within);
    EXPECT_EQ(ClosestPointOnSegment({0, 0, 0}, {2, 0, 0}, {2, 1, 0}, within), Vector3(2, 0, 0));
    EXPECT_TRUE(within); // the end itself, reached by projection
    EXPECT_EQ(ClosestPointOnLine({0, 0, 0}, {2, 0, 0}, {5, 1, 0}), Vector3(5, 0, 0));

    float t = 0.0f;
    EXPECT_FALSE(RayPlaneDistance({0, 1, 0}, {1, 0, 0}, {0, 0, 0}, {0, 1, 0}, t));
    ASSERT_TRUE(RayPlaneDistance({0, 1, 0}, {0, -2, 0}, {0, 0, 0}, {0, 1, 0}, t));
    EXPECT_FLOAT_EQ(t, 0.5f);
    ASSERT_TRUE(RayUnitSphereDistance({-5, 0, 0}, {1, 0, 0}, {0, 0, 0}, t));
    EXPECT_FLOAT_EQ(t, 4.0f);
    EXPECT_FALSE(RayUnitSphereDistance({-5, 1.5f, 0}, {1, 0, 0}, {0, 0, 0}, t));

    CollisionTriangle triangle;
    triangle.Set({0, 0, 0}, {0, 0, 4}, {4, 0, 0}, false);
    const BorderPoint corner = ClosestPointOnBorder(triangle, {-1, 0, -1});
    EXPECT_FALSE(corner.onEdge);
    EXPECT_EQ(corner.point, Vector3(0, 0, 0));
    EXPECT_TRUE((corner.a == triangle.v[1] && corner.b == triangle.v[2]) ||
                (corner.a == triangle.v[2] && corner.b == triangle.v[1]));
    const BorderPoint edge = ClosestPointOnBorder(triangle, {-1, 0, 2});
    EXPECT_TRUE(edge.onEdge);
    EXPECT_EQ(edge.point, Vector3(0, 0, 2));
    EXPECT_EQ(edge.a, triangle.v[0]);
    EXPECT_EQ(edge.b, triangle.v[1]);
}
