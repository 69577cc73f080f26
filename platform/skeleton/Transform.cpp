#include "platform/skeleton/Transform.h"

#include <cmath>

namespace platform::skeleton {

Matrix4 Transform::ToMatrix() const
{
    Matrix4 result;
    Matrix3 r;
    rotation.ToMatrix3(r);
    float* m = result.m;
    m[0] = r.m[0] * scale.x; m[1] = r.m[1] * scale.x; m[2] = r.m[2] * scale.x; m[3] = 0.0f;
    m[4] = r.m[3] * scale.y; m[5] = r.m[4] * scale.y; m[6] = r.m[5] * scale.y; m[7] = 0.0f;
    m[8] = r.m[6] * scale.z; m[9] = r.m[7] * scale.z; m[10] = r.m[8] * scale.z; m[11] = 0.0f;
    m[12] = translation.x; m[13] = translation.y; m[14] = translation.z; m[15] = 1.0f;
    return result;
}

Quaternion Slerp(const Quaternion& a, const Quaternion& b, float t)
{
    float cosine = a.x * b.x + a.y * b.y + a.z * b.z + a.w * b.w;
    float sign = 1.0f;
    if (cosine < 0.0f) {
        cosine = -cosine;
        sign = -1.0f;
    }
    float wa;
    float wb;
    // Close keys: a straight blend is exact enough and avoids dividing by a tiny sine.
    if (cosine > 0.9995f) {
        wa = 1.0f - t;
        wb = t * sign;
    } else {
        const float angle = std::acos(cosine);
        const float inverseSine = 1.0f / std::sin(angle);
        wa = std::sin((1.0f - t) * angle) * inverseSine;
        wb = std::sin(t * angle) * inverseSine * sign;
    }
    Quaternion q(wa * a.x + wb * b.x, wa * a.y + wb * b.y, wa * a.z + wb * b.z, wa * a.w + wb * b.w);
    const float length = std::sqrt(q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w);
    if (length > 0.0f) {
        const float inverse = 1.0f / length;
        q.x *= inverse; q.y *= inverse; q.z *= inverse; q.w *= inverse;
    }
    return q;
}

} // namespace platform::skeleton
