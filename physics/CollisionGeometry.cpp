#include "physics/CollisionGeometry.h"

#include <algorithm>
#include <cmath>

using namespace collision;

bool PointInCollisionTriangle(const Vector3& x, const CollisionTriangle& triangle, float tolerance)
{
    bool beyond = false;
    bool within = false;
    for (int i = 0; i < 3; ++i) {
        const Vector3& a = triangle.v[i];
        const Vector3& b = triangle.v[i == 2 ? 0 : i + 1];
        const float measure = DotProduct(CrossProduct(Minus(b, a), triangle.unitNormal), Minus(x, a));
        if (measure > tolerance)
            beyond = true;
        else if (measure < -tolerance)
            within = true;
    }
    return !(beyond && within);
}

Vector3 ClosestPointOnSegment(const Vector3& a, const Vector3& b, const Vector3& x, bool& within)
{
    // The projection (x - a) . unit(b - a) compared with |b - a|, both scaled by |b - a|.
    within = false;
    const Vector3 edge = Minus(b, a);
    const float lengthSquared = DotProduct(edge, edge);
    const float s = DotProduct(Minus(x, a), edge);
    if (s < 0.0f || lengthSquared == 0.0f)
        return a;
    if (s > lengthSquared)
        return b;
    within = true;
    return Plus(a, Scaled(edge, s / lengthSquared));
}

Vector3 ClosestPointOnLine(const Vector3& a, const Vector3& b, const Vector3& x)
{
    const Vector3 m = UnitOf(Minus(b, a));
    return Plus(a, Scaled(m, DotProduct(Minus(x, a), m)));
}

bool RayPlaneDistance(const Vector3& origin, const Vector3& direction, const Vector3& planePoint,
                      const Vector3& planeNormal, float& distance)
{
    const float along = DotProduct(direction, planeNormal);
    if (along == 0.0f)
        return false;
    distance = DotProduct(planeNormal, Minus(planePoint, origin)) / along;
    return true;
}

bool RayUnitSphereDistance(const Vector3& origin, const Vector3& unitDirection, const Vector3& centre, float& distance)
{
    const Vector3 toCentre = Minus(centre, origin);
    const float g = DotProduct(toCentre, unitDirection);
    const float h = 1.0f - (DotProduct(toCentre, toCentre) - g * g);
    if (h < 0.0f)
        return false;
    distance = g - std::sqrt(h);
    return true;
}

BorderPoint ClosestPointOnBorder(const CollisionTriangle& triangle, const Vector3& x)
{
    // Edge order v2-v0, v0-v1, v1-v2; for a corner result, the vertices beside it.
    static const int kEdges[3][2] = {{2, 0}, {0, 1}, {1, 2}};
    BorderPoint best;
    float bestDistance = 0.0f;
    for (int e = 0; e < 3; ++e) {
        const Vector3& a = triangle.v[kEdges[e][0]];
        const Vector3& b = triangle.v[kEdges[e][1]];
        bool within = false;
        const Vector3 point = ClosestPointOnSegment(a, b, x, within);
        const float distance = DistanceSquaredOf(point, x);
        if (e > 0 && !(distance < bestDistance))
            continue;
        bestDistance = distance;
        best.point = point;
        best.onEdge = within;
        if (within) {
            best.a = a;
            best.b = b;
        } else {
            // The corner is a or b of this edge; its neighbours are the other two vertices.
            const int corner = point == a ? kEdges[e][0] : kEdges[e][1];
            best.a = triangle.v[(corner + 1) % 3];
            best.b = triangle.v[(corner + 2) % 3];
        }
    }
    return best;
}

bool SphereTouchesTriangle(const Vector3& p, const CollisionTriangle& triangle, Vector3& contact)
{
    const float height = triangle.SignedDistance(p);
    if (height > 0.9999f)
        return false;
    // Every point of the triangle lies in its bounds: when they are out of reach, so is it.
    float outside = 0.0f;
    for (int axis = 0; axis < 3; ++axis) {
        const float gap = std::max(triangle.low[axis] - p[axis], p[axis] - triangle.high[axis]);
        if (gap > 0.0f)
            outside += gap * gap;
    }
    if (outside > 0.9999f * 0.9999f)
        return false;
    contact = Minus(p, Scaled(triangle.unitNormal, height));
    if (PointInCollisionTriangle(contact, triangle, 0.0f))
        return true;
    contact = ClosestPointOnBorder(triangle, p).point;
    return DistanceOf(contact, p) <= 0.9999f;
}
