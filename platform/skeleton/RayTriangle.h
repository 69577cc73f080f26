#pragma once

#include "engine/core/Vector.h"

namespace platform::skeleton {

struct RayTriangleHit {
    float distance = 0.0f; // along the ray, in lengths of its direction
    float u = 0.0f;        // weight of the second vertex
    float v = 0.0f;        // weight of the third vertex
};

// Whether the ray (origin + t x direction, t >= 0) meets the triangle from either side; a
// degenerate triangle or a ray in its plane never does.
bool RayIntersectsTriangle(const Vector3& a, const Vector3& b, const Vector3& c, const Vector3& origin,
                           const Vector3& direction, RayTriangleHit& hit);

} // namespace platform::skeleton
