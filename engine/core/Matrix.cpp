#include "engine/core/Matrix.h"

#include <cmath>

#include "engine/core/Quaternion.h"

Matrix3& Matrix3::SetIdentity()
{
    *this = Matrix3();
    return *this;
}

Matrix3& Matrix3::FromMatrix4(const Matrix4& source)
{
    for (int row = 0; row < 3; ++row)
        for (int column = 0; column < 3; ++column)
            (*this)(row, column) = source(row, column);
    return *this;
}

Vector3& Matrix3::Transform(const Vector3& v, Vector3& destination) const
{
    const Vector3 r(v.x * m[0] + v.y * m[3] + v.z * m[6],
                    v.x * m[1] + v.y * m[4] + v.z * m[7],
                    v.x * m[2] + v.y * m[5] + v.z * m[8]);
    destination = r;
    return destination;
}

Matrix3& Matrix3::Multiply(const Matrix3& b, Matrix3& destination) const
{
    Matrix3 r;
    for (int row = 0; row < 3; ++row)
        for (int column = 0; column < 3; ++column)
            r(row, column) = b(row, 0) * (*this)(0, column) + b(row, 1) * (*this)(1, column) +
                             b(row, 2) * (*this)(2, column);
    destination = r;
    return destination;
}

Matrix3& Matrix3::FromEulerAngles(float a, float b, float c)
{
    const float ca = std::cos(a), sa = std::sin(a);
    const float cb = std::cos(b), sb = std::sin(b);
    const float cc = std::cos(c), sc = std::sin(c);
    Matrix3 rx, ry, rz;
    rx.m[4] = ca; rx.m[5] = sa; rx.m[7] = -sa; rx.m[8] = ca;
    ry.m[0] = cb; ry.m[2] = -sb; ry.m[6] = sb; ry.m[8] = cb;
    rz.m[0] = cc; rz.m[1] = sc; rz.m[3] = -sc; rz.m[4] = cc;
    *this = rz * ry * rx;
    return *this;
}

Matrix3& Matrix3::FromAxisAngle(float angle, const Vector3& unitAxis)
{
    const float c = std::cos(angle);
    const float s = std::sin(angle);
    const float t = 1.0f - c;
    const float x = unitAxis.x, y = unitAxis.y, z = unitAxis.z;
    // c I + s K + (1 - c) axis axis^T, K with rows (0, -z, y), (z, 0, -x), (-y, x, 0), is the
    // turn for column vectors; the engine multiplies row vectors (v x M, world = local x parent),
    // so it stores the transpose, the same turn its quaternions and Euler angles give: a positive
    // angle about the up axis turns +z towards +x (to the right), about +x turns +z down.
    m[0] = c + t * x * x;      m[1] = s * z + t * x * y;  m[2] = -s * y + t * x * z;
    m[3] = -s * z + t * y * x; m[4] = c + t * y * y;      m[5] = s * x + t * y * z;
    m[6] = s * y + t * z * x;  m[7] = -s * x + t * z * y; m[8] = c + t * z * z;
    return *this;
}

Matrix3 Matrix3::Transpose() const
{
    Matrix3 r;
    for (int row = 0; row < 3; ++row)
        for (int column = 0; column < 3; ++column)
            r(column, row) = (*this)(row, column);
    return r;
}

Matrix4& Matrix4::SetIdentity()
{
    *this = Matrix4();
    return *this;
}

Matrix4& Matrix4::Clear()
{
    for (float& e : m)
        e = 0.0f;
    return *this;
}

Matrix4& Matrix4::Set(float m00, float m01, float m02, float m03,
                      float m10, float m11, float m12, float m13,
                      float m20, float m21, float m22, float m23,
                      float m30, float m31, float m32, float m33)
{
    const float values[16] = {m00, m01, m02, m03, m10, m11, m12, m13,
                              m20, m21, m22, m23, m30, m31, m32, m33};
    for (int i = 0; i < 16; ++i)
        m[i] = values[i];
    return *this;
}

Matrix4& Matrix4::FromRows(const Vector4& r0, const Vector4& r1, const Vector4& r2, const Vector4& r3)
{
    return Set(r0.x, r0.y, r0.z, r0.w, r1.x, r1.y, r1.z, r1.w,
               r2.x, r2.y, r2.z, r2.w, r3.x, r3.y, r3.z, r3.w);
}

Matrix4& Matrix4::SetRotation(const Matrix3& rotation)
{
    for (int row = 0; row < 3; ++row) {
        for (int column = 0; column < 3; ++column)
            (*this)(row, column) = rotation(row, column);
        (*this)(row, 3) = 0.0f;
    }
    return *this;
}

Matrix4& Matrix4::MakeScale(float sx, float sy, float sz)
{
    Clear();
    m[0] = sx;
    m[5] = sy;
    m[10] = sz;
    m[15] = 1.0f;
    return *this;
}

Matrix4& Matrix4::FromQuaternion(const Quaternion& q)
{
    SetRotation(q.ToMatrix3());
    m[15] = 1.0f;
    return *this;
}

Matrix4& Matrix4::Multiply(const Matrix4& b, Matrix4& destination) const
{
    Matrix4 r;
    for (int row = 0; row < 4; ++row)
        for (int column = 0; column < 4; ++column)
            r(row, column) = b(row, 0) * (*this)(0, column) + b(row, 1) * (*this)(1, column) +
                             b(row, 2) * (*this)(2, column) + b(row, 3) * (*this)(3, column);
    destination = r;
    return destination;
}

Matrix4 Matrix4::Transpose() const
{
    Matrix4 r;
    for (int row = 0; row < 4; ++row)
        for (int column = 0; column < 4; ++column)
            r(column, row) = (*this)(row, column);
    return r;
}

Vector3& Matrix4::TransformPoint(const Vector3& p, Vector3& destination) const
{
    const Vector3 r(p.x * m[0] + p.y * m[4] + p.z * m[8] + m[12],
                    p.x * m[1] + p.y * m[5] + p.z * m[9] + m[13],
                    p.x * m[2] + p.y * m[6] + p.z * m[10] + m[14]);
    destination = r;
    return destination;
}

Vector3& Matrix4::TransformDirection(const Vector3& d, Vector3& destination) const
{
    const Vector3 r(d.x * m[0] + d.y * m[4] + d.z * m[8],
                    d.x * m[1] + d.y * m[5] + d.z * m[9],
                    d.x * m[2] + d.y * m[6] + d.z * m[10]);
    destination = r;
    return destination;
}

Vector4 Matrix4::Transform(const Vector4& v) const
{
    return Vector4(v.x * m[0] + v.y * m[4] + v.z * m[8] + v.w * m[12],
                   v.x * m[1] + v.y * m[5] + v.z * m[9] + v.w * m[13],
                   v.x * m[2] + v.y * m[6] + v.z * m[10] + v.w * m[14],
                   v.x * m[3] + v.y * m[7] + v.z * m[11] + v.w * m[15]);
}

namespace {

// The 2 x 2 sub-determinants of the top two rows (s) and the bottom two rows (c), from which
// both the determinant and the adjugate are built.
struct SubDeterminants {
    float s0, s1, s2, s3, s4, s5;
    float c0, c1, c2, c3, c4, c5;

    explicit SubDeterminants(const float* a)
    {
        s0 = a[0] * a[5] - a[4] * a[1];
        s1 = a[0] * a[6] - a[4] * a[2];
        s2 = a[0] * a[7] - a[4] * a[3];
        s3 = a[1] * a[6] - a[5] * a[2];
        s4 = a[1] * a[7] - a[5] * a[3];
        s5 = a[2] * a[7] - a[6] * a[3];
        c5 = a[10] * a[15] - a[14] * a[11];
        c4 = a[9] * a[15] - a[13] * a[11];
        c3 = a[9] * a[14] - a[13] * a[10];
        c2 = a[8] * a[15] - a[12] * a[11];
        c1 = a[8] * a[14] - a[12] * a[10];
        c0 = a[8] * a[13] - a[12] * a[9];
    }

    float Determinant() const
    {
        return s0 * c5 - s1 * c4 + s2 * c3 + s3 * c2 - s4 * c1 + s5 * c0;
    }
};

} // namespace

float Matrix4::Determinant() const
{
    return SubDeterminants(m).Determinant();
}

bool Matrix4::Invert()
{
    const SubDeterminants k(m);
    const float det = k.Determinant();
    if (det == 0.0f)
        return false;
    const float inv = 1.0f / det;
    const float* a = m;
    float r[16];
    r[0] = (a[5] * k.c5 - a[6] * k.c4 + a[7] * k.c3) * inv;
    r[1] = (-a[1] * k.c5 + a[2] * k.c4 - a[3] * k.c3) * inv;
    r[2] = (a[13] * k.s5 - a[14] * k.s4 + a[15] * k.s3) * inv;
    r[3] = (-a[9] * k.s5 + a[10] * k.s4 - a[11] * k.s3) * inv;
    r[4] = (-a[4] * k.c5 + a[6] * k.c2 - a[7] * k.c1) * inv;
    r[5] = (a[0] * k.c5 - a[2] * k.c2 + a[3] * k.c1) * inv;
    r[6] = (-a[12] * k.s5 + a[14] * k.s2 - a[15] * k.s1) * inv;
    r[7] = (a[8] * k.s5 - a[10] * k.s2 + a[11] * k.s1) * inv;
    r[8] = (a[4] * k.c4 - a[5] * k.c2 + a[7] * k.c0) * inv;
    r[9] = (-a[0] * k.c4 + a[1] * k.c2 - a[3] * k.c0) * inv;
    r[10] = (a[12] * k.s4 - a[13] * k.s2 + a[15] * k.s0) * inv;
    r[11] = (-a[8] * k.s4 + a[9] * k.s2 - a[11] * k.s0) * inv;
    r[12] = (-a[4] * k.c3 + a[5] * k.c1 - a[6] * k.c0) * inv;
    r[13] = (a[0] * k.c3 - a[1] * k.c1 + a[2] * k.c0) * inv;
    r[14] = (-a[12] * k.s3 + a[13] * k.s1 - a[14] * k.s0) * inv;
    r[15] = (a[8] * k.s3 - a[9] * k.s1 + a[10] * k.s0) * inv;
    for (int i = 0; i < 16; ++i)
        m[i] = r[i];
    return true;
}

Matrix4& Matrix4::Perspective(float fov, float aspect, float nearZ, float farZ)
{
    Clear();
    const float c = 1.0f / std::tan(fov * 0.5f);
    const float q = farZ / (farZ - nearZ);
    m[0] = c / aspect;
    m[5] = c;
    m[10] = q;
    m[11] = 1.0f;
    m[14] = -q * nearZ;
    return *this;
}

Matrix4& Matrix4::Orthographic(float left, float right, float bottom, float top, float nearZ, float farZ)
{
    SetIdentity();
    m[0] = 2.0f / (right - left);
    m[5] = 2.0f / (top - bottom);
    m[10] = 1.0f / (farZ - nearZ);
    m[14] = nearZ / (nearZ - farZ);
    return *this;
}
