#include "engine/core/Vector.h"

#include <cmath>

Vector3& Vector3::Add(const Vector3& other)
{
    x += other.x;
    y += other.y;
    z += other.z;
    return *this;
}

Vector3& Vector3::Subtract(const Vector3& other)
{
    x -= other.x;
    y -= other.y;
    z -= other.z;
    return *this;
}

Vector3& Vector3::Scale(float s)
{
    x *= s;
    y *= s;
    z *= s;
    return *this;
}

Vector3& Vector3::Divide(float s)
{
    return Scale(1.0f / s);
}

Vector3& Vector3::Subtract3(const Vector3& other, Vector3& destination) const
{
    destination = Vector3(x - other.x, y - other.y, z - other.z);
    return destination;
}

Vector3& Vector3::Scaled(float s, Vector3& destination) const
{
    destination = Vector3(x * s, y * s, z * s);
    return destination;
}

Vector3& Vector3::Cross(const Vector3& a, const Vector3& b)
{
    // Computed into temporaries first so that a or b may be this vector.
    const Vector3 r(a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x);
    *this = r;
    return *this;
}

float Vector3::Length() const
{
    return std::sqrt(LengthSquared());
}

float Vector3::Distance(const Vector3& other) const
{
    return std::sqrt(DistanceSquared(other));
}

float Vector3::DistanceSquared(const Vector3& other) const
{
    const float dx = x - other.x;
    const float dy = y - other.y;
    const float dz = z - other.z;
    return dx * dx + dy * dy + dz * dz;
}

Vector3& Vector3::Normalize()
{
    const float length = Length();
    if (length > 0.0f)
        Scale(1.0f / length);
    return *this;
}

Vector3& Vector3::Lerp(const Vector3& a, const Vector3& b, float t)
{
    const Vector3 r(a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t, a.z + (b.z - a.z) * t);
    *this = r;
    return *this;
}
