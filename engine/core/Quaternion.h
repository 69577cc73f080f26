#pragma once

#include "engine/core/Matrix.h"

// Rotation quaternion with w last; the conversions expect unit length.
struct Quaternion {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
    float w = 1.0f;

    constexpr Quaternion() = default;
    constexpr Quaternion(float x, float y, float z, float w) : x(x), y(y), z(z), w(w) {}

    Matrix3& ToMatrix3(Matrix3& destination) const;
    Matrix3 ToMatrix3() const { Matrix3 r; return ToMatrix3(r); }
    Quaternion& FromMatrix3(const Matrix3& m);

    friend bool operator==(const Quaternion& a, const Quaternion& b) = default;
};
