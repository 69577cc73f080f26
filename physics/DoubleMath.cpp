#include "physics/DoubleMath.h"

Quaterniond QuaternionMultiply(const Quaterniond& a, const Quaterniond& b)
{
    return {a.w * b.w - a.x * b.x - a.y * b.y - a.z * b.z,
            a.w * b.x + a.x * b.w + a.y * b.z - a.z * b.y,
            a.w * b.y - a.x * b.z + a.y * b.w + a.z * b.x,
            a.w * b.z + a.x * b.y - a.y * b.x + a.z * b.w};
}

Quaterniond NormalizedRotation(const Quaterniond& q)
{
    double len = std::sqrt(q.w * q.w + q.x * q.x + q.y * q.y + q.z * q.z);
    if (!(len > 0.0) || !std::isfinite(len))
        return {};
    return {q.w / len, q.x / len, q.y / len, q.z / len};
}

Matrix3d MatrixFromQuaternion(const Quaterniond& q)
{
    const double w = q.w, x = q.x, y = q.y, z = q.z;
    Matrix3d r;
    r.m[0][0] = 2 * (w * w + x * x) - 1;
    r.m[0][1] = 2 * (x * y + w * z);
    r.m[0][2] = 2 * (x * z - w * y);
    r.m[1][0] = 2 * (x * y - w * z);
    r.m[1][1] = 2 * (w * w + y * y) - 1;
    r.m[1][2] = 2 * (y * z + w * x);
    r.m[2][0] = 2 * (x * z + w * y);
    r.m[2][1] = 2 * (y * z - w * x);
    r.m[2][2] = 2 * (w * w + z * z) - 1;
    return r;
}

Quaterniond QuaternionFromMatrix(const Matrix3d& matrix)
{
    const auto& m = matrix.m;
    double trace = m[0][0] + m[1][1] + m[2][2];
    if (trace >= 0.0) {
        double s = std::sqrt(trace + 1.0);
        double f = 0.5 / s;
        return {-s / 2, (m[2][1] - m[1][2]) * f, (m[0][2] - m[2][0]) * f, (m[1][0] - m[0][1]) * f};
    }
    int k = 0;
    if (m[1][1] > m[0][0])
        k = 1;
    if (m[2][2] > m[k][k])
        k = 2;
    if (k == 0) {
        double s = std::sqrt(m[0][0] - m[1][1] - m[2][2] + 1.0);
        double f = 0.5 / s;
        return {-(m[2][1] - m[1][2]) * f, s / 2, (m[0][1] + m[1][0]) * f, (m[0][2] + m[2][0]) * f};
    }
    if (k == 1) {
        double s = std::sqrt(m[1][1] - m[0][0] - m[2][2] + 1.0);
        double f = 0.5 / s;
        return {-(m[0][2] - m[2][0]) * f, (m[0][1] + m[1][0]) * f, s / 2, (m[1][2] + m[2][1]) * f};
    }
    double s = std::sqrt(m[2][2] - m[0][0] - m[1][1] + 1.0);
    double f = 0.5 / s;
    return {-(m[1][0] - m[0][1]) * f, (m[0][2] + m[2][0]) * f, (m[1][2] + m[2][1]) * f, s / 2};
}

Quaterniond RotationFromAngularVelocity(const Vector3d& omega, double t)
{
    double r = Length(omega);
    if (r == 0.0)
        return {};
    double half = t * r / 2;
    double s = std::sin(half) / r;
    return {std::cos(half), omega.x * s, omega.y * s, omega.z * s};
}

void PerpendicularBasis(const Vector3d& n, Vector3d& u, Vector3d& v)
{
    if (std::fabs(n.y) < std::fabs(n.x)) {
        double len = std::sqrt(n.x * n.x + n.z * n.z);
        u = {n.z / len, 0.0, -n.x / len};
    } else {
        double len = std::sqrt(n.y * n.y + n.z * n.z);
        u = {0.0, -n.z / len, n.y / len};
    }
    v = Cross(n, u);
}
