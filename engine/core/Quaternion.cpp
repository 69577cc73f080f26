#include "engine/core/Quaternion.h"

#include <cmath>

Matrix3& Quaternion::ToMatrix3(Matrix3& destination) const
{
    float* m = destination.m;
    m[0] = 1.0f - 2.0f * (y * y + z * z);
    m[1] = 2.0f * (x * y + w * z);
    m[2] = 2.0f * (x * z - w * y);
    m[3] = 2.0f * (x * y - w * z);
    m[4] = 1.0f - 2.0f * (x * x + z * z);
    m[5] = 2.0f * (y * z + w * x);
    m[6] = 2.0f * (x * z + w * y);
    m[7] = 2.0f * (y * z - w * x);
    m[8] = 1.0f - 2.0f * (x * x + y * y);
    return destination;
}

Quaternion& Quaternion::FromMatrix3(const Matrix3& m)
{
    const float trace = m(0, 0) + m(1, 1) + m(2, 2);
    if (trace > 0.0f) {
        const float s = std::sqrt(trace + 1.0f);
        w = s * 0.5f;
        const float f = 0.5f / s;
        x = (m(1, 2) - m(2, 1)) * f;
        y = (m(2, 0) - m(0, 2)) * f;
        z = (m(0, 1) - m(1, 0)) * f;
        return *this;
    }
    // Strict comparisons: ties keep the lower axis.
    int i = 0;
    if (m(1, 1) > m(0, 0))
        i = 1;
    if (m(2, 2) > m(i, i))
        i = 2;
    const int j = (i + 1) % 3;
    const int k = (i + 2) % 3;
    const float s = std::sqrt(m(i, i) - m(j, j) - m(k, k) + 1.0f);
    float q[3];
    q[i] = s * 0.5f;
    const float f = 0.5f / s;
    w = (m(j, k) - m(k, j)) * f;
    q[j] = (m(i, j) + m(j, i)) * f;
    q[k] = (m(i, k) + m(k, i)) * f;
    x = q[0];
    y = q[1];
    z = q[2];
    return *this;
}
