#pragma once

#include "engine/core/Vector.h"
#include "physics/CollisionMath.h"
#include "physics/CollisionTriangle.h"

// The geometric tests of the ellipsoid query, in ellipsoid space (where the mover is a sphere of
// radius 1). Each is a plain function of its inputs.

// Inside unless one edge puts x more than tolerance outside it while another puts it more than
// tolerance inside, so either winding counts as inside. An edge's measure is the distance of x
// from the plane through the edge that holds the normal, times the edge's length.
bool PointInCollisionTriangle(const Vector3& x, const CollisionTriangle& triangle, float tolerance);

// The point of the segment a..b nearest x; within is set only when the projection falls inside
// the segment (ends included), not when an end was taken.
Vector3 ClosestPointOnSegment(const Vector3& a, const Vector3& b, const Vector3& x, bool& within);
// The point of the line through a and b nearest x, not clamped to the segment.
Vector3 ClosestPointOnLine(const Vector3& a, const Vector3& b, const Vector3& x);

// Distance along the ray (in lengths of direction) to the plane; false when they are parallel.
bool RayPlaneDistance(const Vector3& origin, const Vector3& direction, const Vector3& planePoint,
                      const Vector3& planeNormal, float& distance);
// First meeting of the ray (unit direction) with the unit sphere around centre; false when it
// passes by.
bool RayUnitSphereDistance(const Vector3& origin, const Vector3& unitDirection, const Vector3& centre, float& distance);

inline float PlaneSignedDistance(const Vector3& p, const Vector3& planePoint, const Vector3& unitNormal)
{
    return collision::DotProduct(unitNormal, collision::Minus(p, planePoint));
}
inline Vector3 ProjectOntoPlane(const Vector3& p, const Vector3& planePoint, const Vector3& unitNormal)
{
    return collision::Minus(p, collision::Scaled(unitNormal, PlaneSignedDistance(p, planePoint, unitNormal)));
}
using collision::UnitOf;

// The point of the triangle's border nearest x. The edges are tried v2-v0, v0-v1, v1-v2, and a
// later one wins only when strictly nearer. onEdge: the point lies within an edge from a to b;
// otherwise it is a corner and a, b are the two vertices next to it.
struct BorderPoint {
    Vector3 point;
    Vector3 a;
    Vector3 b;
    bool onEdge = false;
};
BorderPoint ClosestPointOnBorder(const CollisionTriangle& triangle, const Vector3& x);

// Whether the unit sphere at p touches the triangle (within 0.9999), and where.
bool SphereTouchesTriangle(const Vector3& p, const CollisionTriangle& triangle, Vector3& contact);
