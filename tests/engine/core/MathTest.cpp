#include <cmath>
#include <cstdint>
#include <cstring>

#include <gtest/gtest.h>

#include "engine/core/Matrix.h"
#include "engine/core/Quaternion.h"
#include "engine/core/Vector.h"

namespace {

constexpr float kEps = 1e-5f;

void ExpectNear(const Vector3& actual, const Vector3& expected, float eps = kEps)
{
    EXPECT_NEAR(actual.x, expected.x, eps);
    EXPECT_NEAR(actual.y, expected.y, eps);
    EXPECT_NEAR(actual.z, expected.z, eps);
}

void ExpectNear(const Matrix4& actual, const Matrix4& expected, float eps = kEps)
{
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(actual.m[i], expected.m[i], eps) << "element " << i;
}

void ExpectNear(const Matrix3& actual, const Matrix3& expected, float eps = kEps)
{
    for (int i = 0; i < 9; ++i)
        EXPECT_NEAR(actual.m[i], expected.m[i], eps) << "element " << i;
}

std::uint32_t Bits(float f)
{
    std::uint32_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    return bits;
}

Matrix4 Translation(float x, float y, float z)
{
    Matrix4 m;
    m.SetTranslation({x, y, z});
    return m;
}

Quaternion AxisAngle(Vector3 axis, float angle)
{
    axis.Normalize();
    const float s = std::sin(angle / 2);
    return {axis.x * s, axis.y * s, axis.z * s, std::cos(angle / 2)};
}

} // namespace

TEST(MathConstants, NoHitValuesHaveTheirExactBitPatterns)
{
    EXPECT_EQ(Bits(kNoHit), 0x7F7FC99Eu);
    EXPECT_EQ(Bits(kNoHitNegative), 0xFF7FC99Eu);
}

TEST(Vector3, OperationsInPlaceAndIntoDestinations)
{
    Vector3 v(1, 2, 3);
    v.Add({1, 1, 1}).Scale(2);
    EXPECT_EQ(v, Vector3(4, 6, 8));
    v.Divide(2).Subtract({1, 0, 0});
    EXPECT_EQ(v, Vector3(1, 3, 4));

    Vector3 d;
    v.Subtract3({1, 1, 1}, d);
    EXPECT_EQ(d, Vector3(0, 2, 3));
    v.Scaled(3, d);
    EXPECT_EQ(d, Vector3(3, 9, 12));
    EXPECT_EQ(v, Vector3(1, 3, 4)); // the source is untouched

    Vector3 c;
    c.Cross({1, 0, 0}, {0, 1, 0});
    EXPECT_EQ(c, Vector3(0, 0, 1));
    c = Vector3(1, 2, 3);
    c.Cross(c, {4, 5, 6}); // aliasing an argument
    EXPECT_EQ(c, Vector3(-3, 6, -3));

    EXPECT_FLOAT_EQ(Vector3(3, 4, 0).Length(), 5);
    EXPECT_FLOAT_EQ(Vector3(3, 4, 0).LengthSquared(), 25);
    EXPECT_FLOAT_EQ(Vector3(1, 1, 1).Distance({4, 5, 1}), 5);
    EXPECT_FLOAT_EQ(Vector3(1, 1, 1).DistanceSquared({4, 5, 1}), 25);

    Vector3 n(0, 3, 4);
    ExpectNear(n.Normalize(), {0, 0.6f, 0.8f});
    Vector3 zero;
    EXPECT_EQ(zero.Normalize(), Vector3(0, 0, 0));

    Vector3 l;
    l.Lerp({0, 0, 0}, {10, 20, -10}, 0.25f);
    EXPECT_EQ(l, Vector3(2.5f, 5, -2.5f));
    EXPECT_EQ(l.Clear(), Vector3());
    EXPECT_EQ(Vector4(), Vector4(0, 0, 0, 1));
}

TEST(Matrix, MultiplyCalledOnAWithBAppliesBFirst)
{
    Matrix4 a = Translation(1, 0, 0);
    Matrix4 b;
    b.MakeScale(2, 2, 2);
    Matrix4 result;
    a.Multiply(b, result); // B x A: scale, then translate
    ExpectNear(result.TransformPoint({1, 0, 0}), {3, 0, 0});
    ExpectNear((a * b).TransformPoint({1, 0, 0}), {4, 0, 0}); // a * b: translate, then scale

    a.Multiply(b, a); // the destination may be an operand
    ExpectNear(a, result);

    Matrix3 ra, rb;
    ra.FromEulerAngles(0, 0, kPi / 2);
    rb.FromEulerAngles(kPi / 2, 0, 0);
    Matrix3 r3;
    ra.Multiply(rb, r3); // rb first: (0,1,0) -> (0,0,1), then ra: -> (0,0,1)
    ExpectNear(r3.Transform({0, 1, 0}), {0, 0, 1});
    ExpectNear((rb * ra).Transform({0, 1, 0}), {0, 0, 1});
    ExpectNear((ra * rb).Transform({0, 1, 0}), {-1, 0, 0});
}

TEST(Matrix, EulerAnglesTurnZThenYThenX)
{
    struct Case {
        float a, b, c;
        Vector3 in, out;
    } cases[] = {
        {kPi / 2, 0, 0, {0, 1, 0}, {0, 0, 1}},        // Rx row 1 = (0, cos, sin)
        {0, kPi / 2, 0, {1, 0, 0}, {0, 0, -1}},       // Ry row 0 = (cos, 0, -sin)
        {0, 0, kPi / 2, {1, 0, 0}, {0, 1, 0}},        // Rz row 0 = (cos, sin, 0)
        {kPi / 2, 0, kPi / 2, {1, 0, 0}, {0, 0, 1}},  // Z first: x -> y, then X: y -> z
        {kPi / 2, kPi / 2, 0, {1, 0, 0}, {0, 1, 0}},  // Y first: x -> -z, then X: -z -> y
    };
    for (const Case& c : cases) {
        Matrix3 m;
        m.FromEulerAngles(c.a, c.b, c.c);
        ExpectNear(m.Transform(c.in), c.out);
    }
}

TEST(Matrix, AxisAngleTurnsRowVectorsAsTheQuaternionsDo)
{
    Matrix3 m;
    m.FromAxisAngle(kPi / 2, {0, 0, 1});
    Matrix3 expected;
    expected.m[0] = 0; expected.m[1] = 1; expected.m[3] = -1; expected.m[4] = 0;
    ExpectNear(m, expected);

    // For every axis the matrix is the quaternion's matrix of the same turn (row vectors).
    const Vector3 axes[] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, Vector3(1, 2, -2).Normalize()};
    for (const Vector3& axis : axes) {
        m.FromAxisAngle(0.7f, axis);
        ExpectNear(m, AxisAngle(axis, 0.7f).ToMatrix3());
    }
    // A positive turn about the up axis takes the forward axis (+z) to the right (+x), and one
    // about +x takes it down, as the Euler angles do.
    m.FromAxisAngle(0.5f, {0, 1, 0});
    EXPECT_GT(m.m[6], 0.4f);
    Matrix3 euler;
    euler.FromEulerAngles(0.5f, 0.0f, 0.0f);
    m.FromAxisAngle(0.5f, {1, 0, 0});
    ExpectNear(m, euler);
    EXPECT_LT(m.m[7], -0.4f);
}

TEST(Matrix4, BuildersAndElementLayout)
{
    Matrix4 m;
    m.Set(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(m.m[i], float(i + 1));
    Matrix4 rows({1, 2, 3, 4}, {5, 6, 7, 8}, {9, 10, 11, 12}, {13, 14, 15, 16});
    EXPECT_EQ(rows, m);
    Matrix4 t = m.Transpose();
    EXPECT_EQ(t(0, 1), 5.0f);
    EXPECT_EQ(t(3, 0), 4.0f);

    Matrix3 r;
    r.FromEulerAngles(0.3f, 0.2f, 0.1f);
    m.SetRotation(r);
    EXPECT_EQ(m.m[3], 0.0f);
    EXPECT_EQ(m.m[7], 0.0f);
    EXPECT_EQ(m.m[11], 0.0f);
    EXPECT_EQ(m.m[12], 13.0f);
    EXPECT_EQ(m.m[15], 16.0f);
    Matrix3 back;
    EXPECT_EQ(back.FromMatrix4(m), r);

    Matrix4 s;
    s.MakeScale(2, 3, 4);
    EXPECT_EQ(s, Matrix4({2, 0, 0, 0}, {0, 3, 0, 0}, {0, 0, 4, 0}, {0, 0, 0, 1}));
    s.Clear();
    for (float e : s.m)
        EXPECT_EQ(e, 0.0f);
    EXPECT_EQ(s.SetIdentity(), kIdentityMatrix4);

    // The translation row applies to points, not to directions.
    Matrix4 tr = Translation(5, 6, 7);
    ExpectNear(tr.TransformPoint({1, 1, 1}), {6, 7, 8});
    ExpectNear(tr.TransformDirection({1, 1, 1}), {1, 1, 1});
}

TEST(Matrix4, FromQuaternionKeepsTheTranslation)
{
    Matrix4 m;
    m.Set(9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 5, 6, 7, 2);
    const Quaternion q = AxisAngle({0, 0, 1}, kPi / 2);
    m.FromQuaternion(q);
    ExpectNear(m, Matrix4({0, 1, 0, 0}, {-1, 0, 0, 0}, {0, 0, 1, 0}, {5, 6, 7, 1}));
}

TEST(Quaternion, MatrixRoundTripGivesTheQuaternionBack)
{
    const Quaternion cases[] = {
        {0, 0, 0, 1},
        AxisAngle({1, 0, 0}, kPi / 2),
        AxisAngle({0, 1, 0}, 2.5f),
        AxisAngle({1, 2, 3}, 1.0f),
        AxisAngle({1, 0, 0}, kPi),  // 180-degree turns: trace -1, each axis picked once
        AxisAngle({0, 1, 0}, kPi),
        AxisAngle({0, 0, 1}, kPi),
        AxisAngle({1, 1, 0}, kPi),  // m00 == m11: the tie keeps the x axis
        AxisAngle({1, 1, 1}, kPi),
        AxisAngle({-2, 1, 0.5f}, 3.0f),
    };
    for (const Quaternion& q : cases) {
        Quaternion back;
        back.FromMatrix3(q.ToMatrix3());
        const float sign = (back.x * q.x + back.y * q.y + back.z * q.z + back.w * q.w) < 0 ? -1.0f : 1.0f;
        EXPECT_NEAR(back.x * sign, q.x, 1e-4f);
        EXPECT_NEAR(back.y * sign, q.y, 1e-4f);
        EXPECT_NEAR(back.z * sign, q.z, 1e-4f);
        EXPECT_NEAR(back.w * sign, q.w, 1e-4f);
    }
}

TEST(Quaternion, ToMatrixTurnsLikeTheEulerMatrix)
{
    Matrix3 euler;
    euler.FromEulerAngles(0, 0, 0.8f);
    ExpectNear(AxisAngle({0, 0, 1}, 0.8f).ToMatrix3(), euler);
    euler.FromEulerAngles(0.8f, 0, 0);
    ExpectNear(AxisAngle({1, 0, 0}, 0.8f).ToMatrix3(), euler);
}

TEST(Matrix4, PerspectiveMapsNearToDepthZeroAndFarToOne)
{
    Matrix4 p;
    p.Set(7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7);
    p.Perspective(kPi / 2, 4.0f / 3.0f, 1.0f, 100.0f);
    EXPECT_EQ(p.m[15], 0.0f);
    EXPECT_EQ(p.m[11], 1.0f);
    EXPECT_EQ(p.m[1], 0.0f);

    const Vector4 nearPoint = p.Transform(Vector4(1, 1, 1, 1));
    EXPECT_NEAR(nearPoint.z / nearPoint.w, 0.0f, 1e-6f);
    EXPECT_NEAR(nearPoint.x / nearPoint.w, 0.75f, 1e-6f); // c / aspect with c = 1
    EXPECT_NEAR(nearPoint.y / nearPoint.w, 1.0f, 1e-6f);
    const Vector4 farPoint = p.Transform(Vector4(0, 0, 100, 1));
    EXPECT_NEAR(farPoint.z / farPoint.w, 1.0f, 1e-6f);
}

TEST(Matrix4, OrthographicIsCentredOnTheAxis)
{
    Matrix4 o;
    o.Orthographic(-2, 2, -1, 1, 1, 11);
    Matrix4 offCentre;
    offCentre.Orthographic(10, 14, 5, 7, 1, 11);
    EXPECT_EQ(o, offCentre);
    ExpectNear(o.TransformPoint({2, 1, 1}), {1, 1, 0});
    ExpectNear(o.TransformPoint({-2, -1, 11}), {-1, -1, 1});
}

TEST(Matrix4, InvertAndDeterminant)
{
    Matrix4 d;
    d.MakeScale(2, 3, 4);
    EXPECT_FLOAT_EQ(d.Determinant(), 24.0f);

    Matrix3 r;
    r.FromEulerAngles(0.4f, -1.1f, 2.0f);
    Matrix4 s;
    s.MakeScale(2, 0.5f, 3);
    Matrix4 trs = s;
    trs = trs * Matrix4().SetRotation(r) * Translation(4, -5, 6);

    Matrix4 projection;
    projection.Perspective(1.0f, 1.5f, 0.5f, 50.0f);
    const Matrix4 cases[] = {trs, projection, Matrix4({1, 2, 0, 0}, {3, 4, 1, 0}, {0, 1, 5, 2}, {1, 0, 0, 1})};
    for (const Matrix4& m : cases) {
        Matrix4 inverse = m;
        ASSERT_TRUE(inverse.Invert());
        ExpectNear(m * inverse, kIdentityMatrix4, 1e-4f);
        ExpectNear(inverse * m, kIdentityMatrix4, 1e-4f);
    }
    // Invert brings a transformed point back.
    Matrix4 inverse = trs;
    inverse.Invert();
    ExpectNear(inverse.TransformPoint(trs.TransformPoint({1, 2, 3})), {1, 2, 3}, 1e-4f);

    Matrix4 singular({1, 2, 3, 4}, {2, 4, 6, 8}, {0, 1, 0, 0}, {0, 0, 0, 1});
    EXPECT_EQ(singular.Determinant(), 0.0f);
    const Matrix4 before = singular;
    EXPECT_FALSE(singular.Invert());
    EXPECT_EQ(singular, before);
}
