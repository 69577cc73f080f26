#include <cmath>

#include <gtest/gtest.h>

#include "engine/core/Geometry.h"

namespace {

void ExpectNear(const Vector3& actual, const Vector3& expected, float eps = 1e-5f)
{
    EXPECT_NEAR(actual.x, expected.x, eps);
    EXPECT_NEAR(actual.y, expected.y, eps);
    EXPECT_NEAR(actual.z, expected.z, eps);
}

HitResult Ray(const Vector3& origin, const Vector3& direction)
{
    HitResult hit;
    hit.Clear();
    hit.origin = origin;
    hit.direction = direction;
    return hit;
}

// A failing test must leave a cleared record as it was.
void ExpectUntouchedMiss(const HitResult& hit)
{
    EXPECT_EQ(hit.distance, kNoHit);
    EXPECT_EQ(hit.hitCount, 0);
}

} // namespace

TEST(HitResult, ClearResetsEveryField)
{
    HitResult hit;
    hit.origin = {1, 2, 3};
    hit.direction = {1, 0, 0};
    hit.hitPoint = {4, 5, 6};
    hit.distance = 2;
    hit.hitObject = &hit;
    hit.normal = {0, 1, 0};
    hit.hitCount = 3;
    hit.u = hit.v = 0.5f;
    hit.Clear();
    EXPECT_EQ(hit.origin, Vector3());
    EXPECT_EQ(hit.direction, Vector3());
    EXPECT_EQ(hit.hitPoint, Vector3());
    EXPECT_EQ(hit.distance, kNoHit);
    EXPECT_EQ(hit.hitObject, nullptr);
    EXPECT_EQ(hit.normal, Vector3());
    EXPECT_EQ(hit.hitCount, 0);
    EXPECT_EQ(hit.u, 0.0f);
    EXPECT_EQ(hit.v, 0.0f);
}

TEST(Triangle, NormalAndBarycentricWeights)
{
    ExpectNear(TriangleNormal({0, 0, 0}, {2, 0, 0}, {0, 3, 0}), {0, 0, 6});

    struct Case {
        const char* what;
        Vector3 a, b, c, p;
        float weightB, weightC;
    } cases[] = {
        {"x-y plane", {0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0.25f, 0.5f, 0}, 0.25f, 0.5f},
        {"y-z plane", {0, 0, 0}, {0, 1, 0}, {0, 0, 1}, {0, 0.25f, 0.5f}, 0.25f, 0.5f},
        {"x-z plane", {0, 0, 0}, {0, 0, 1}, {1, 0, 0}, {0.5f, 0, 0.25f}, 0.25f, 0.5f},
        {"tilted", {0, 0, 0}, {1, 0, 0.1f}, {0, 1, 0.2f}, {0.3f, 0.2f, 0.07f}, 0.3f, 0.2f},
        {"outside", {1, 1, 1}, {3, 1, 1}, {1, 3, 1}, {0, 0, 1}, -0.5f, -0.5f},
        {"x dominant tie", {0, 0, 0}, {0, 1, 1}, {1, 0, 1}, {0.5f, 0.25f, 0.75f}, 0.25f, 0.5f},
    };
    for (const Case& c : cases) {
        float wb, wc, wa;
        TriangleBarycentric(c.p, c.a, c.b, c.c, wb, wc, wa);
        EXPECT_NEAR(wb, c.weightB, 1e-5f) << c.what;
        EXPECT_NEAR(wc, c.weightC, 1e-5f) << c.what;
        EXPECT_NEAR(wa, 1 - c.weightB - c.weightC, 1e-5f) << c.what;
    }
}

TEST(Triangle, PointInTriangleToleratesOneTenThousandth)
{
    const Vector3 a(0, 0, 0), b(1, 0, 0), c(0, 1, 0);
    struct Case {
        Vector3 p;
        bool inside;
    } cases[] = {
        {{0.25f, 0.25f, 0}, true},
        {{0, 0, 0}, true},                    // a vertex
        {{0.5f, 0.5f, 0}, true},              // on the long edge
        {{0.50004f, 0.50004f, 0}, true},      // weight of a = -0.00008
        {{0.5002f, 0.5002f, 0}, false},       // weight of a = -0.0004
        {{-0.00009f, 0.5f, 0}, true},
        {{-0.0002f, 0.5f, 0}, false},
        {{1.00009f, 0, 0}, true},             // weight of b just over 1
        {{2, 2, 0}, false},
    };
    for (const Case& k : cases) {
        float wb = -9, wc = -9, wa = -9;
        EXPECT_EQ(PointInTriangle(k.p, a, b, c, wb, wc, wa), k.inside) << k.p.x << ", " << k.p.y;
        EXPECT_NEAR(wb + wc + wa, 1.0f, 1e-6f);
        EXPECT_EQ(PointInTriangle(k.p, a, b, c), k.inside);
    }
}

TEST(Triangle, RayTestAcceptsFrontHitsOnly)
{
    // Front side is +z: (b - a) x (c - a) = (0, 0, 1).
    const Vector3 a(0, 0, 0), b(1, 0, 0), c(0, 1, 0);
    struct Case {
        const char* what;
        Vector3 origin, direction;
        bool hits;
        float t, u, v;
    } cases[] = {
        {"straight down", {0.25f, 0.25f, 1}, {0, 0, -1}, true, 1, 0.25f, 0.25f},
        {"oblique", {0, 0, 2}, {0.1f, 0.2f, -1}, true, 2, 0.2f, 0.4f},
        {"long direction", {0.25f, 0.5f, 4}, {0, 0, -2}, true, 2, 0.25f, 0.5f},
        {"on the edge", {0.5f, 0.5f, 1}, {0, 0, -1}, true, 1, 0.5f, 0.5f},
        {"vertex", {1, 0, 1}, {0, 0, -1}, true, 1, 1, 0},
        {"inside tolerance", {0.50004f, 0.50004f, 1}, {0, 0, -1}, true, 1, 0.50004f, 0.50004f},
        {"beyond tolerance", {0.5002f, 0.5002f, 1}, {0, 0, -1}, false, 0, 0, 0},
        {"from behind, crossing", {0.25f, 0.25f, -1}, {0, 0, 1}, false, 0, 0, 0},
        {"on the plane, pointing away", {0.25f, 0.25f, 0}, {0, 0, 1}, false, 0, 0, 0},
        {"on the plane, pointing in", {0.25f, 0.25f, 0}, {0, 0, -1}, false, 0, 0, 0},
        {"front, pointing away", {0.25f, 0.25f, 1}, {0, 0, 1}, false, 0, 0, 0},
        {"parallel", {0.25f, 0.25f, 1}, {1, 0, 0}, false, 0, 0, 0},
        {"misses beside", {2, 2, 1}, {0, 0, -1}, false, 0, 0, 0},
    };
    for (const Case& k : cases) {
        HitResult hit = Ray(k.origin, k.direction);
        ASSERT_EQ(TriangleIntersectRay(hit, a, b, c, nullptr), k.hits) << k.what;
        if (!k.hits) {
            ExpectUntouchedMiss(hit);
            continue;
        }
        EXPECT_NEAR(hit.distance, k.t, 1e-5f) << k.what;
        EXPECT_NEAR(hit.u, k.u, 1e-5f) << k.what;
        EXPECT_NEAR(hit.v, k.v, 1e-5f) << k.what;
        ExpectNear(hit.hitPoint, k.origin + k.direction * k.t);
        ExpectNear(hit.hitPoint, a + (b - a) * hit.u + (c - a) * hit.v);
        EXPECT_EQ(hit.normal, Vector3(0, 0, 1));
        EXPECT_EQ(hit.hitCount, 1);
    }
}

TEST(Triangle, RayTestReportsTheNormalItUsedAndOverwritesEarlierHits)
{
    const Vector3 a(0, 0, 0), b(2, 0, 0), c(0, 2, 0);
    HitResult hit = Ray({0.5f, 0.5f, 3}, {0, 0, -1});
    hit.distance = 0.5f; // a nearer earlier hit is not protected: callers keep the nearest
    hit.hitCount = 4;
    ASSERT_TRUE(TriangleIntersectRay(hit, a, b, c, nullptr));
    EXPECT_EQ(hit.normal, Vector3(0, 0, 4)); // not normalised
    EXPECT_FLOAT_EQ(hit.distance, 3);
    EXPECT_EQ(hit.hitCount, 5);

    const Vector3 unit(0, 0, 1);
    hit = Ray({0.5f, 0.5f, 3}, {0, 0, -1});
    ASSERT_TRUE(TriangleIntersectRay(hit, a, b, c, &unit));
    EXPECT_EQ(hit.normal, unit);
    EXPECT_FLOAT_EQ(hit.distance, 3);

    // A given normal decides which side is the front.
    const Vector3 flipped(0, 0, -1);
    hit = Ray({0.5f, 0.5f, 3}, {0, 0, -1});
    EXPECT_FALSE(TriangleIntersectRay(hit, a, b, c, &flipped));
    hit = Ray({0.5f, 0.5f, -3}, {0, 0, 1});
    EXPECT_TRUE(TriangleIntersectRay(hit, a, b, c, &flipped));
}

TEST(Plane, FromTriangle)
{
    Plane p;
    p.FromTriangle({0, 2, 0}, {0, 2, 3}, {2, 2, 0}, false);
    EXPECT_EQ(p.normal, Vector3(0, 6, 0));
    EXPECT_FLOAT_EQ(p.d, 12);
    p.FromTriangle({0, 2, 0}, {0, 2, 3}, {2, 2, 0}, true);
    ExpectNear(p.normal, {0, 1, 0});
    EXPECT_FLOAT_EQ(p.d, 2);
}

TEST(Plane, RayTestHasNoSignCheck)
{
    const Plane plane({0, 1, 0}, 2); // y = 2
    struct Case {
        Vector3 origin, direction;
        bool hits;
        float t;
        Vector3 point;
    } cases[] = {
        {{0, 0, 0}, {0, 1, 0}, true, 2, {0, 2, 0}},
        {{0, 0, 0}, {0, -1, 0}, true, -2, {0, 2, 0}}, // behind the origin
        {{1, 0, 0}, {0, 2, 0}, true, 1, {1, 2, 0}},
        {{0, 5, 0}, {1, -1, 0}, true, 3, {3, 2, 0}},
        {{0, 0, 0}, {1, 0, 0}, false, 0, {}},
    };
    for (const Case& k : cases) {
        HitResult hit = Ray(k.origin, k.direction);
        ASSERT_EQ(plane.IntersectRay(hit), k.hits);
        if (!k.hits) {
            ExpectUntouchedMiss(hit);
            continue;
        }
        EXPECT_FLOAT_EQ(hit.distance, k.t);
        ExpectNear(hit.hitPoint, k.point);
        EXPECT_EQ(hit.normal, plane.normal);
        EXPECT_EQ(hit.hitCount, 1);
    }
}

TEST(BoundingSphere, RayTest)
{
    const BoundingSphere sphere({0, 0, 5}, 1);
    struct Case {
        const char* what;
        Vector3 origin, direction;
        bool hits;
        float t;
    } cases[] = {
        {"from outside", {0, 0, 0}, {0, 0, 1}, true, 4},
        {"from inside", {0, 0, 5}, {0, 0, 1}, true, 1},
        {"from inside, off centre", {0, 0.6f, 5}, {0, 1, 0}, true, 0.4f},
        {"tangent", {1, 0, 0}, {0, 0, 1}, true, 5},
        {"leaving from the surface", {0, 0, 6}, {0, 0, 1}, true, 0},
        {"behind", {0, 0, 0}, {0, 0, -1}, false, 0},
        {"beside", {2, 0, 0}, {0, 0, 1}, false, 0},
    };
    for (const Case& k : cases) {
        HitResult hit = Ray(k.origin, k.direction);
        hit.normal = {9, 9, 9};
        ASSERT_EQ(sphere.IntersectRay(hit), k.hits) << k.what;
        EXPECT_EQ(hit.normal, Vector3(9, 9, 9)) << k.what;
        if (!k.hits) {
            ExpectUntouchedMiss(hit);
            continue;
        }
        EXPECT_NEAR(hit.distance, k.t, 1e-5f) << k.what;
        ExpectNear(hit.hitPoint, k.origin + k.direction * k.t);
        EXPECT_EQ(hit.hitCount, 1);
    }
}

TEST(BoundingBox, EmptyGrowAndContains)
{
    BoundingBox box;
    EXPECT_EQ(box.min, Vector3(kNoHit, kNoHit, kNoHit));
    EXPECT_EQ(box.max, Vector3(kNoHitNegative, kNoHitNegative, kNoHitNegative));
    EXPECT_TRUE(box.IsEmpty());
    EXPECT_FALSE(box.Contains({0, 0, 0}));

    box.AddPoint({1, 2, 3});
    EXPECT_EQ(box.min, Vector3(1, 2, 3));
    EXPECT_EQ(box.max, Vector3(1, 2, 3));
    EXPECT_TRUE(box.Contains({1, 2, 3}));
    box.AddPoint({-1, 5, 0});
    EXPECT_EQ(box.min, Vector3(-1, 2, 0));
    EXPECT_EQ(box.max, Vector3(1, 5, 3));

    Matrix4 shift;
    shift.SetTranslation({10, 0, 0});
    box.AddTransformedPoint({0, 0, 0}, shift);
    EXPECT_EQ(box.max.x, 10);

    const BoundingBox unit({-1, -1, -1}, {1, 1, 1});
    EXPECT_TRUE(unit.Contains({1, -1, 1}));   // bounds inclusive
    EXPECT_FALSE(unit.Contains({1.0001f, 0, 0}));
    BoundingBox reset = unit;
    EXPECT_TRUE(reset.SetEmpty().IsEmpty());
}

TEST(BoundingBox, RayTest)
{
    const BoundingBox box({-1, -1, -1}, {1, 1, 1});
    struct Case {
        const char* what;
        Vector3 origin, direction;
        bool hits;
        float t;
        Vector3 point, normal;
    } cases[] = {
        {"from -x", {-5, 0, 0}, {1, 0, 0}, true, 4, {-1, 0, 0}, {1, 0, 0}},
        {"from +x", {5, 0.5f, 0}, {-1, 0, 0}, true, 4, {1, 0.5f, 0}, {-1, 0, 0}},
        {"from -z, slanted", {0, 0, -5}, {0.1f, 0, 1}, true, 4, {0.4f, 0, -1}, {0, 0, 1}},
        {"x and y tie: x wins", {-3, -3, 0}, {1, 1, 0}, true, 2, {-1, -1, 0}, {1, 0, 0}},
        {"y and z tie: y wins", {0, 3, -3}, {0, -1, 1}, true, 2, {0, 1, -1}, {0, -1, 0}},
        {"grazing within 0.00001", {-5, 1.000005f, 0}, {1, 0, 0}, true, 4, {-1, 1.000005f, 0}, {1, 0, 0}},
        {"grazing beyond tolerance", {-5, 1.0001f, 0}, {1, 0, 0}, false, 0, {}, {}},
        {"moving away", {-5, 0, 0}, {-1, 0, 0}, false, 0, {}, {}},
        {"passing beside", {-5, 3, 0}, {1, 0, 0}, false, 0, {}, {}},
        {"outside on an axis it does not move along", {0, 5, 0}, {1, 0, 0}, false, 0, {}, {}},
    };
    for (const Case& k : cases) {
        HitResult hit = Ray(k.origin, k.direction);
        ASSERT_EQ(box.IntersectRay(hit), k.hits) << k.what;
        if (!k.hits) {
            EXPECT_EQ(hit.distance, kNoHit) << k.what;
            continue;
        }
        EXPECT_NEAR(hit.distance, k.t, 1e-5f) << k.what;
        ExpectNear(hit.hitPoint, k.point);
        EXPECT_EQ(hit.normal, k.normal) << k.what;
        EXPECT_EQ(hit.hitCount, 0) << k.what; // the box test does not count
    }
}

TEST(BoundingBox, RayFromInsideReportsTheOrigin)
{
    const BoundingBox box({-1, -1, -1}, {1, 1, 1});
    const Vector3 origins[] = {{0.5f, 0.2f, 0}, {1, 1, 1}, {-1, 0, 0}};
    for (const Vector3& origin : origins) {
        HitResult hit = Ray(origin, {0, 0, 0}); // even without a direction
        hit.normal = {7, 7, 7};
        ASSERT_TRUE(box.IntersectRay(hit));
        EXPECT_EQ(hit.distance, 0);
        EXPECT_EQ(hit.hitPoint, origin);
        EXPECT_EQ(hit.normal, Vector3(7, 7, 7));
        EXPECT_EQ(hit.hitCount, 0);
    }
}

TEST(BoundingBox, PlaneTest)
{
    const Vector3 half(1, 1, 1);
    struct Case {
        Vector3 normal;
        float e;
        int result;
    } cases[] = {
        {{0, 1, 0}, -0.5f, 1},  // y = 0.5 cuts the box
        {{0, 1, 0}, -1, 1},     // y = 1 touches the top
        {{0, 1, 0}, -1.5f, 0},  // above
        {{0, 1, 0}, 1.5f, 0},   // below
        {{-1, 0, 0}, -0.5f, 1}, // x = -0.5 with a negative normal
        {{-1, 0, 0}, 1.01f, 0},
        {{1, 1, 1}, -3, 1},     // touches the corner
        {{1, 1, 1}, -3.01f, 0},
        {{1, 1, 1}, 3, 1},
        {{1, 1, 1}, 3.01f, 0},
    };
    for (const Case& k : cases)
        EXPECT_EQ(BoundingBox::PlaneTest(k.normal, k.e, half), k.result)
            << k.normal.x << " " << k.normal.y << " " << k.normal.z << " e " << k.e;
}

TEST(BoundingBox, OverlapsTriangle)
{
    const BoundingBox box({-1, -1, -1}, {1, 1, 1});
    struct Case {
        const char* what;
        Vector3 a, b, c;
        bool overlaps;
    } cases[] = {
        {"inside", {-0.2f, -0.2f, 0}, {0.2f, -0.2f, 0}, {0, 0.2f, 0.1f}, true},
        {"larger than the box, through it", {-10, -10, 0}, {10, -10, 0}, {0, 10, 0}, true},
        {"one vertex inside", {0, 0, 0}, {5, 5, 5}, {5, 6, 5}, true},
        {"touching a face", {1, -0.5f, -0.5f}, {1, 0.5f, -0.5f}, {1, 0, 0.5f}, true},
        {"touching an edge from outside", {1, 1, -0.5f}, {2, 1.5f, 0}, {1, 1, 0.5f}, true},
        {"far away", {5, 5, 5}, {6, 5, 5}, {5, 6, 5}, false},
        {"parallel above", {-10, -10, 1.5f}, {10, -10, 1.5f}, {0, 10, 1.5f}, false},
        {"plane misses the corner", {3.5f, 0, 0}, {0, 3.5f, 0}, {0, 0, 3.5f}, false},
        {"only an edge axis separates", {0.5f, 3, 0}, {3, 0.5f, 0}, {3, 3, 0}, false},
        {"above, spanning x and z", {-2, 1.2f, -5}, {2, 1.2f, 5}, {0, 3, 0}, false},
    };
    for (const Case& k : cases) {
        EXPECT_EQ(box.OverlapsTriangle(k.a, k.b, k.c), k.overlaps) << k.what;
        EXPECT_EQ(box.OverlapsTriangle(k.c, k.b, k.a), k.overlaps) << k.what << " (reversed)";
    }

    // The test works around the box's own centre.
    const BoundingBox moved({10, 10, 10}, {12, 12, 12});
    EXPECT_TRUE(moved.OverlapsTriangle({10.5f, 10.5f, 11}, {11.5f, 10.5f, 11}, {11, 11.5f, 11}));
    EXPECT_FALSE(moved.OverlapsTriangle({-0.5f, -0.5f, 0}, {0.5f, -0.5f, 0}, {0, 0.5f, 0}));
}
