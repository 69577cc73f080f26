#pragma once

#include <cstdint>

#include "engine/core/Matrix.h"
#include "engine/core/Vector.h"
#include "physics/CollisionMath.h"

// One triangle gathered for a collision query, with its plane. The normal is
// (v1 - v0) x (v2 - v1), left unnormalised; the unit normal and the plane constant are derived
// from it when the triangle is stored.
struct CollisionTriangle {
    Vector3 v[3];
    Vector3 point;      // on the plane: v0
    Vector3 normal;     // not normalised
    Vector3 unitNormal; // zero for a triangle without area
    float constant = 0.0f; // -(unitNormal . point)
    Vector3 low;  // axis-aligned bounds
    Vector3 high;
    std::uint8_t terrain = 0; // 1 for terrain cells, 0 for mesh triangles

    void Set(const Vector3& a, const Vector3& b, const Vector3& c, bool isTerrain)
    {
        v[0] = a;
        v[1] = b;
        v[2] = c;
        point = a;
        normal = collision::CrossProduct(collision::Minus(b, a), collision::Minus(c, b));
        unitNormal = collision::UnitOf(normal);
        constant = -collision::DotProduct(unitNormal, point);
        for (int axis = 0; axis < 3; ++axis) {
            low[axis] = a[axis] < b[axis] ? (a[axis] < c[axis] ? a[axis] : c[axis]) : (b[axis] < c[axis] ? b[axis] : c[axis]);
            high[axis] = a[axis] > b[axis] ? (a[axis] > c[axis] ? a[axis] : c[axis]) : (b[axis] > c[axis] ? b[axis] : c[axis]);
        }
        terrain = isTerrain ? 1 : 0;
    }

    bool HasArea() const { return normal.x != 0.0f || normal.y != 0.0f || normal.z != 0.0f; }
    // Distance of p in front of the plane (negative behind it).
    float SignedDistance(const Vector3& p) const { return collision::DotProduct(unitNormal, p) + constant; }
};

// Every query holds at most this many triangles per shape; further ones are refused.
inline constexpr int kCollisionTriangleCapacity = 4000;

// What the gathering code hands triangles to: the ellipsoid or the box of the query.
class CollisionTriangleSink {
public:
    virtual ~CollisionTriangleSink() = default;
    // The matrix that brings the following triangles into the query's frame.
    virtual void SetTransform(const Matrix4& transform) = 0;
    // False when the buffer is full: nothing more can be taken.
    virtual bool AddTriangle(const Vector3& v0, const Vector3& v1, const Vector3& v2, const Vector3& velocity,
                             bool terrain) = 0;
};
