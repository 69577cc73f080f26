#pragma once

// Double-precision vector, quaternion and matrix values of the vehicle physics. The float engine
// types are converted by the callers; nothing here depends on them.

#include <cmath>

struct Vector3d {
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;

    constexpr Vector3d() = default;
    constexpr Vector3d(double xv, double yv, double zv) : x(xv), y(yv), z(zv) {}

    constexpr double operator[](int i) const { return i == 0 ? x : (i == 1 ? y : z); }
    double& operator[](int i) { return i == 0 ? x : (i == 1 ? y : z); }

    constexpr Vector3d operator+(const Vector3d& o) const { return {x + o.x, y + o.y, z + o.z}; }
    constexpr Vector3d operator-(const Vector3d& o) const { return {x - o.x, y - o.y, z - o.z}; }
    constexpr Vector3d operator-() const { return {-x, -y, -z}; }
    constexpr Vector3d operator*(double s) const { return {x * s, y * s, z * s}; }
    constexpr Vector3d operator/(double s) const { return {x / s, y / s, z / s}; }
    Vector3d& operator+=(const Vector3d& o) { x += o.x; y += o.y; z += o.z; return *this; }
    Vector3d& operator-=(const Vector3d& o) { x -= o.x; y -= o.y; z -= o.z; return *this; }
    Vector3d& operator*=(double s) { x *= s; y *= s; z *= s; return *this; }
    constexpr bool operator==(const Vector3d& o) const = default;
};

constexpr Vector3d operator*(double s, const Vector3d& v) { return v * s; }
constexpr double Dot(const Vector3d& a, const Vector3d& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
constexpr Vector3d Cross(const Vector3d& a, const Vector3d& b)
{
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline double Length(const Vector3d& v) { return std::sqrt(Dot(v, v)); }
// The unit vector along v; the zero vector stays zero.
inline Vector3d Normalized(const Vector3d& v)
{
    double len = Length(v);
    return len > 0.0 ? v / len : Vector3d{};
}
inline bool IsFinite(const Vector3d& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

// Rotation quaternion, w first.
struct Quaterniond {
    double w = 1.0;
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;

    constexpr Quaterniond() = default;
    constexpr Quaterniond(double wv, double xv, double yv, double zv) : w(wv), x(xv), y(yv), z(zv) {}
    constexpr bool operator==(const Quaterniond& o) const = default;
};

inline bool IsFinite(const Quaterniond& q)
{
    return std::isfinite(q.w) && std::isfinite(q.x) && std::isfinite(q.y) && std::isfinite(q.z);
}

// 3x3 matrix, row-major. As an orientation its rows are the body's x, y and z axes in world
// coordinates; a body-frame row vector v maps to the world as v * M, a world vector w to the body
// frame as M * w.
struct Matrix3d {
    double m[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};

    Vector3d Row(int i) const { return {m[i][0], m[i][1], m[i][2]}; }
    void SetRow(int i, const Vector3d& v) { m[i][0] = v.x; m[i][1] = v.y; m[i][2] = v.z; }
    // M * v (column vector): world to body for an orientation.
    Vector3d Multiply(const Vector3d& v) const
    {
        return {m[0][0] * v.x + m[0][1] * v.y + m[0][2] * v.z,
                m[1][0] * v.x + m[1][1] * v.y + m[1][2] * v.z,
                m[2][0] * v.x + m[2][1] * v.y + m[2][2] * v.z};
    }
    // M^T * v: body to world for an orientation.
    Vector3d TransposeMultiply(const Vector3d& v) const
    {
        return {m[0][0] * v.x + m[1][0] * v.y + m[2][0] * v.z,
                m[0][1] * v.x + m[1][1] * v.y + m[2][1] * v.z,
                m[0][2] * v.x + m[1][2] * v.y + m[2][2] * v.z};
    }
};

// 4x4, row-major, row-vector convention: rows 0-2 the body's axes (fourth column 0), row 3 the
// position and 1.
struct Matrix4d {
    double m[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};

    Vector3d Row(int i) const { return {m[i][0], m[i][1], m[i][2]}; }
};

// Hamilton product a*b: b's rotation first, then a's.
Quaterniond QuaternionMultiply(const Quaterniond& a, const Quaterniond& b);
// The unit quaternion of q; all zero (or not finite) yields the identity.
Quaterniond NormalizedRotation(const Quaterniond& q);
// Rows of the orientation matrix of a unit quaternion.
Matrix3d MatrixFromQuaternion(const Quaterniond& q);
// Inverse of MatrixFromQuaternion (Shepperd's method); the result reproduces the given rows.
Quaterniond QuaternionFromMatrix(const Matrix3d& m);
// Rotation by the angle |omega| t about the axis of omega: the quaternion
// (cos(t|omega|/2), sin(t|omega|/2) omega/|omega|); the identity when omega is zero.
Quaterniond RotationFromAngularVelocity(const Vector3d& omega, double t);
// Two unit vectors u, v perpendicular to the unit vector n, with v = n x u.
void PerpendicularBasis(const Vector3d& n, Vector3d& u, Vector3d& v);
