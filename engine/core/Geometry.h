#pragma once

#include "engine/core/HitResult.h"
#include "engine/core/Matrix.h"
#include "engine/core/Vector.h"

// The points p with normal . p = d.
struct Plane {
    Vector3 normal;
    float d = 0.0f;

    constexpr Plane() = default;
    constexpr Plane(const Vector3& normal, float d) : normal(normal), d(d) {}

    Plane& FromTriangle(const Vector3& a, const Vector3& b, const Vector3& c, bool normalise);
    // Reports hits behind the origin too, with a negative distance.
    bool IntersectRay(HitResult& hit) const;
};

// Axis-aligned box; default is the empty box (min +3.4e38, max -3.4e38).
struct BoundingBox {
    Vector3 min{kNoHit, kNoHit, kNoHit};
    Vector3 max{kNoHitNegative, kNoHitNegative, kNoHitNegative};

    constexpr BoundingBox() = default;
    constexpr BoundingBox(const Vector3& min, const Vector3& max) : min(min), max(max) {}

    BoundingBox& SetEmpty();
    bool IsEmpty() const { return min.x > max.x || min.y > max.y || min.z > max.z; }
    BoundingBox& AddPoint(const Vector3& p); // componentwise min and max
    BoundingBox& AddTransformedPoint(const Vector3& p, const Matrix4& transform);
    bool Contains(const Vector3& p) const; // inclusive on all axes
    Vector3 GetCentre() const { return (min + max) * 0.5f; }

    // Distance 0 and the origin as hit point when the ray starts inside.
    bool IntersectRay(HitResult& hit) const;
    // 1 when the plane normal . p + e = 0 passes through the origin-centred box of the half size.
    static int PlaneTest(const Vector3& normal, float e, const Vector3& halfSize);
    bool OverlapsTriangle(const Vector3& a, const Vector3& b, const Vector3& c) const;
};

struct BoundingSphere {
    Vector3 centre;
    float radius = 0.0f;

    constexpr BoundingSphere() = default;
    constexpr BoundingSphere(const Vector3& centre, float radius) : centre(centre), radius(radius) {}

    // Expects a unit direction; does not write the normal.
    bool IntersectRay(HitResult& hit) const;
};

// (b - a) x (c - a), not normalised.
Vector3 TriangleNormal(const Vector3& a, const Vector3& b, const Vector3& c);

// Weights of b, c and a (hitPoint = a + weightB (b - a) + weightC (c - a)); the triangle must
// have an area.
void TriangleBarycentric(const Vector3& p, const Vector3& a, const Vector3& b, const Vector3& c,
                         float& weightB, float& weightC, float& weightA);

// True when all three weights lie in [-0.0001, 1.0001].
bool PointInTriangle(const Vector3& p, const Vector3& a, const Vector3& b, const Vector3& c,
                     float& weightB, float& weightC, float& weightA);
bool PointInTriangle(const Vector3& p, const Vector3& a, const Vector3& b, const Vector3& c);

// Front faces only; overwrites the record on a hit without comparing with an earlier distance.
// normal may be null, then the unnormalised triangle normal is used.
bool TriangleIntersectRay(HitResult& hit, const Vector3& a, const Vector3& b, const Vector3& c,
                          const Vector3* normal);
