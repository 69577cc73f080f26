#include "physics/DoubleMath.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace {

Quaterniond AxisAngle(Vector3d axis, double angle)
{
    axis = Normalized(axis);
    double s = std::sin(angle / 2);
    return {std::cos(angle / 2), axis.x * s, axis.y * s, axis.z * s};
}

void ExpectSameRotation(const Quaterniond& a, const Quaterniond& b, double tolerance)
{
    // q and -q are the same rotation.
    double dot = a.w * b.w + a.x * b.x + a.y * b.y + a.z * b.z;
    EXPECT_NEAR(std::fabs(dot), 1.0, tolerance);
}

TEST(DoubleMath, HamiltonProductComposesRotationsRightFirst)
{
    const double quarter = std::numbers::pi / 2;
    Quaterniond aboutY = AxisAngle({0, 1, 0}, quarter), aboutZ = AxisAngle({0, 0, 1}, quarter);
    // The body x axis (row 0) after turning about z, then about y.
    Matrix3d r = MatrixFromQuaternion(QuaternionMultiply(aboutY, aboutZ));
    // z turns x into y; y leaves y alone.
    EXPECT_NEAR(r.m[0][0], 0.0, 1e-15);
    EXPECT_NEAR(r.m[0][1], 1.0, 1e-15);
    EXPECT_NEAR(r.m[0][2], 0.0, 1e-15);
    Quaterniond i{0, 1, 0, 0}, j{0, 0, 1, 0};
    Quaterniond k = QuaternionMultiply(i, j);
    EXPECT_EQ(k, (Quaterniond{0, 0, 0, 1}));
}

TEST(DoubleMath, MatrixRowsAreBodyAxesInWorld)
{
    // A quarter turn about y takes the body's x axis to world -z (right-handed rotation).
    Matrix3d r = MatrixFromQuaternion(AxisAngle({0, 1, 0}, std::numbers::pi / 2));
    EXPECT_NEAR(r.m[0][2], -1.0, 1e-15);
    EXPECT_NEAR(r.m[2][0], 1.0, 1e-15);
    EXPECT_NEAR(r.m[1][1], 1.0, 1e-15);
}

TEST(DoubleMath, QuaternionFromMatrixReproducesTheRowsOnEveryBranch)
{
    // Rotations whose matrices take the trace branch and each of the three diagonal branches.
    struct Case {
        Vector3d axis;
        double angle;
    } cases[] = {{{1, 2, 3}, 0.3},  {{0, 1, 0}, 0.0},          {{1, 0, 0}, 3.0},  {{0, 1, 0}, 3.0},
                 {{0, 0, 1}, 3.0},  {{1, 1, 0}, std::numbers::pi}, {{-2, 1, 5}, 2.9}, {{1, -3, 0.5}, -2.5}};
    for (const Case& c : cases) {
        Quaterniond q = AxisAngle(c.axis, c.angle);
        Matrix3d m = MatrixFromQuaternion(q);
        Quaterniond back = QuaternionFromMatrix(m);
        Matrix3d again = MatrixFromQuaternion(back);
        for (int r = 0; r < 3; ++r)
            for (int k = 0; k < 3; ++k)
                EXPECT_NEAR(again.m[r][k], m.m[r][k], 1e-12) << c.angle;
        ExpectSameRotation(back, q, 1e-12);
    }
}

TEST(DoubleMath, NormalizedRotationTurnsZeroIntoIdentity)
{
    EXPECT_EQ(NormalizedRotation({0, 0, 0, 0}), Quaterniond{});
    Quaterniond q = NormalizedRotation({2, 0, 0, 0});
    EXPECT_EQ(q, Quaterniond{});
    q = NormalizedRotation({1, 1, 1, 1});
    EXPECT_DOUBLE_EQ(q.w, 0.5);
}

TEST(DoubleMath, PerpendicularBasisIsOrthonormalAndRightHanded)
{
    const Vector3d normals[] = {{0, 1, 0}, {1, 0, 0}, {0, 0, 1}, Normalized({1, 1, 1}), Normalized({-3, 0.1, 2}),
                                Normalized({0.5, -4, 0.2})};
    for (const Vector3d& n : normals) {
        Vector3d u, v;
        PerpendicularBasis(n, u, v);
        EXPECT_NEAR(Length(u), 1.0, 1e-15);
        EXPECT_NEAR(Length(v), 1.0, 1e-15);
        EXPECT_NEAR(Dot(u, n), 0.0, 1e-15);
        EXPECT_NEAR(Dot(v, n), 0.0, 1e-15);
        EXPECT_NEAR(Dot(u, v), 0.0, 1e-15);
        Vector3d nv = Cross(n, u);
        EXPECT_NEAR(Length(nv - v), 0.0, 1e-15);
    }
    // The branch on |n.y| < |n.x| gives u in the x-z plane.
    Vector3d u, v;
    PerpendicularBasis({1, 0, 0}, u, v);
    EXPECT_EQ(u, (Vector3d{0, 0, -1}));
    PerpendicularBasis({0, 1, 0}, u, v);
    EXPECT_EQ(u, (Vector3d{0, 0, 1}));
}

}  // namespace
