#pragma once

#include "engine/core/Matrix.h"
#include "engine/core/Quaternion.h"
#include "engine/core/Vector.h"

namespace platform::skeleton {

// A bone's placement relative to its parent: scale, then rotation, then translation (row vectors,
// so the matrix is Scale x Rotation x Translation).
struct Transform {
    Vector3 translation;
    Quaternion rotation;
    Vector3 scale{1.0f, 1.0f, 1.0f};

    Matrix4 ToMatrix() const;
};

// Unit-length quaternion of the shorter arc between a and b at t (0 = a, 1 = b).
Quaternion Slerp(const Quaternion& a, const Quaternion& b, float t);

} // namespace platform::skeleton
