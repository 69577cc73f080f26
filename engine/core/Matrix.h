#pragma once

#include "engine/core/Vector.h"

struct Matrix4;
struct Quaternion;

// Rotation matrix, 9 floats row by row (element index = 3 x row + column). Default: identity.
struct Matrix3 {
    float m[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};

    float& operator()(int row, int column) { return m[3 * row + column]; }
    float operator()(int row, int column) const { return m[3 * row + column]; }

    Matrix3& SetIdentity();
    Matrix3& FromMatrix4(const Matrix4& source); // upper-left 3 x 3

    Vector3& Transform(const Vector3& v, Vector3& destination) const; // destination = v x M
    Vector3 Transform(const Vector3& v) const { Vector3 r; return Transform(v, r); }

    // Called on A with argument B: destination = B x A (B applied first). Aliasing is safe.
    Matrix3& Multiply(const Matrix3& b, Matrix3& destination) const;

    Matrix3& FromEulerAngles(float a, float b, float c);           // Rz(c) x Ry(b) x Rx(a)
    Matrix3& FromAxisAngle(float angle, const Vector3& unitAxis); // rotation about a unit axis

    Matrix3 Transpose() const;

    // a * b applies a first, then b (the plain row-major product).
    friend Matrix3 operator*(const Matrix3& a, const Matrix3& b) { Matrix3 r; return b.Multiply(a, r); }
    friend bool operator==(const Matrix3& a, const Matrix3& b) = default;
};

// 4 x 4 transform, 16 floats row by row (element index = 4 x row + column); rotation and scale
// in the upper-left 3 x 3, translation in elements 12, 13, 14. Default: identity.
struct Matrix4 {
    float m[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

    Matrix4() = default;
    Matrix4(const Vector4& r0, const Vector4& r1, const Vector4& r2, const Vector4& r3) { FromRows(r0, r1, r2, r3); }

    float& operator()(int row, int column) { return m[4 * row + column]; }
    float operator()(int row, int column) const { return m[4 * row + column]; }

    Matrix4& SetIdentity();
    Matrix4& Clear(); // all 16 elements 0
    Matrix4& Set(float m00, float m01, float m02, float m03,
                 float m10, float m11, float m12, float m13,
                 float m20, float m21, float m22, float m23,
                 float m30, float m31, float m32, float m33);
    Matrix4& FromRows(const Vector4& r0, const Vector4& r1, const Vector4& r2, const Vector4& r3);
    Matrix4& SetRotation(const Matrix3& rotation); // upper-left 3 x 3; elements 3, 7, 11 = 0
    Matrix4& MakeScale(float sx, float sy, float sz); // diagonal (sx, sy, sz, 1)
    // Writes the rotation of a unit quaternion; elements 3, 7, 11 = 0, 15 = 1; translation kept.
    Matrix4& FromQuaternion(const Quaternion& q);

    Vector3 GetTranslation() const { return {m[12], m[13], m[14]}; }
    Matrix4& SetTranslation(const Vector3& t) { m[12] = t.x; m[13] = t.y; m[14] = t.z; return *this; }

    // Called on A with argument B: destination = B x A (B applied first). Aliasing is safe.
    Matrix4& Multiply(const Matrix4& b, Matrix4& destination) const;
    Matrix4 Transpose() const;

    Vector3& TransformPoint(const Vector3& p, Vector3& destination) const; // (p, 1) x M
    Vector3 TransformPoint(const Vector3& p) const { Vector3 r; return TransformPoint(p, r); }
    Vector3& TransformDirection(const Vector3& d, Vector3& destination) const; // (d, 0) x M
    Vector3 TransformDirection(const Vector3& d) const { Vector3 r; return TransformDirection(d, r); }
    Vector4 Transform(const Vector4& v) const; // v x M, all four components

    float Determinant() const;
    bool Invert(); // in place; a singular matrix (determinant exactly 0) is left unchanged, false

    // Left-handed, depth 0..1; element 15 is 0.
    Matrix4& Perspective(float fov, float aspect, float nearZ, float farZ);
    // Centred on the axis: only right - left and top - bottom are used.
    Matrix4& Orthographic(float left, float right, float bottom, float top, float nearZ, float farZ);

    // a * b applies a first, then b (the plain row-major product).
    friend Matrix4 operator*(const Matrix4& a, const Matrix4& b) { Matrix4 r; return b.Multiply(a, r); }
    friend bool operator==(const Matrix4& a, const Matrix4& b) = default;
};

inline const Matrix3 kIdentityMatrix3{};
inline const Matrix4 kIdentityMatrix4{};
