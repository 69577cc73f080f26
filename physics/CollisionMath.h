#pragma once

#include <cmath>

#include "engine/core/Vector.h"

// Inline vector arithmetic for the collision loops, which run over thousands of triangles per
// move: the engine's own operators are out-of-line calls.
namespace collision {

inline Vector3 Plus(const Vector3& a, const Vector3& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline Vector3 Minus(const Vector3& a, const Vector3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Vector3 Scaled(const Vector3& a, float s) { return {a.x * s, a.y * s, a.z * s}; }
inline float DotProduct(const Vector3& a, const Vector3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline Vector3 CrossProduct(const Vector3& a, const Vector3& b)
{
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline float LengthOf(const Vector3& v) { return std::sqrt(DotProduct(v, v)); }
inline float DistanceSquaredOf(const Vector3& a, const Vector3& b) { const Vector3 d = Minus(a, b); return DotProduct(d, d); }
inline float DistanceOf(const Vector3& a, const Vector3& b) { return std::sqrt(DistanceSquaredOf(a, b)); }
// The unit vector along v; the zero vector stays zero.
inline Vector3 UnitOf(const Vector3& v)
{
    const float length = LengthOf(v);
    return length > 0.0f ? Scaled(v, 1.0f / length) : v;
}
// (p, 1) x M for a row-major 4 x 4 matrix.
inline Vector3 PointTransformed(const float* m, const Vector3& p)
{
    return {p.x * m[0] + p.y * m[4] + p.z * m[8] + m[12], p.x * m[1] + p.y * m[5] + p.z * m[9] + m[13],
            p.x * m[2] + p.y * m[6] + p.z * m[10] + m[14]};
}

} // namespace collision
