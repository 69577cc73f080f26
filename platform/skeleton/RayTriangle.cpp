#include "platform/skeleton/RayTriangle.h"

#include <cmath>

namespace platform::skeleton {

bool RayIntersectsTriangle(const Vector3& a, const Vector3& b, const Vector3& c, const Vector3& origin,
                           const Vector3& direction, RayTriangleHit& hit)
{
    const Vector3 edge1 = b - a;
    const Vector3 edge2 = c - a;
    const Vector3 p = Cross(direction, edge2);
    const float determinant = Dot(edge1, p);
    // Relative to the sizes involved, so small models are not refused.
    const float scale = edge1.Length() * edge2.Length() * direction.Length();
    if (!(std::fabs(determinant) > 1e-7f * scale))
        return false;
    const float inverse = 1.0f / determinant;
    const Vector3 s = origin - a;
    const float u = Dot(s, p) * inverse;
    if (u < 0.0f || u > 1.0f)
        return false;
    const Vector3 q = Cross(s, edge1);
    const float v = Dot(direction, q) * inverse;
    if (v < 0.0f || u + v > 1.0f)
        return false;
    const float t = Dot(edge2, q) * inverse;
    if (t < 0.0f)
        return false;
    hit.distance = t;
    hit.u = u;
    hit.v = v;
    return true;
}

} // namespace platform::skeleton
