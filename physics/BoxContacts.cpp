#include "physics/BoxContacts.h"

#include <algorithm>
#include <cmath>

namespace {

// The corners whose sweeps are tried, in order; terrain uses sweeps 0, 2, 4 and 7 only.
constexpr int kSweepCorners[8] = {0, 2, 4, 7, 1, 3, 6, 5};
constexpr bool kTerrainSweep[8] = {true, false, true, false, true, false, false, true};

Vector3d ToDouble(const Vector3& v) { return {v.x, v.y, v.z}; }
Vector3 ToFloat(const Vector3d& v) { return {float(v.x), float(v.y), float(v.z)}; }

} // namespace

BoxContacts::BoxContacts()
{
    triangles.resize(kCollisionTriangleCapacity);
}

void BoxContacts::SetBox(const Vector3 corners[16])
{
    std::copy(corners, corners + 16, description);
}

void BoxContacts::Begin(const Vector3& sizes)
{
    count = 0;
    transform.SetIdentity();
    for (int i = 0; i < 8; ++i) {
        const int corner = kSweepCorners[i];
        sweepStart[i] = description[corner + 8];
        sweepEnd[i] = description[corner];
    }
    for (int axis = 0; axis < 3; ++axis) {
        box.axes[axis] = owner ? Vector3d(owner[4 * axis], owner[4 * axis + 1], owner[4 * axis + 2])
                               : Vector3d(axis == 0, axis == 1, axis == 2);
        box.extents[axis] = 0.5 * double(sizes[axis]);
    }
    box.centre = (ToDouble(description[0]) + ToDouble(description[7])) * 0.5;
    sampleStep = 0.25f * description[0].Distance(description[7]);

    Vector3 tilt = description[0] - description[2];
    tilt.Normalize();
    tilted = tilt.y < 0.5f;
}

bool BoxContacts::AddTriangle(const Vector3& v0, const Vector3& v1, const Vector3& v2, const Vector3& velocity,
                              bool terrain)
{
    if (count >= kCollisionTriangleCapacity)
        return false;
    triangles[std::size_t(count)].Set(transform.TransformPoint(v0), transform.TransformPoint(v1),
                                      transform.TransformPoint(v2), terrain);
    ++count;
    return true;
}

bool BoxContacts::Write(const Vector3& point, const Vector3& normal, float depth, float value)
{
    // The list is fixed; contacts beyond it are dropped rather than written past its end.
    if (contactCount >= kContactCapacity)
        return false;
    points[contactCount] = point;
    normals[contactCount] = normal;
    depths[contactCount] = depth;
    values[contactCount] = value;
    return true;
}

void BoxContacts::EdgeSamples(const CollisionTriangle& triangle)
{
    double bestDepth = -1.0;
    Vector3d bestPoint, bestNormal;
    // Only samples within the box's bounding sphere can lie inside it; the ones skipped here are
    // the same samples the full walk would have found outside.
    const double reach =
        std::sqrt(box.extents[0] * box.extents[0] + box.extents[1] * box.extents[1] + box.extents[2] * box.extents[2]);
    for (int e = 0; e < 3; ++e) {
        const Vector3d start = ToDouble(triangle.v[e]);
        const Vector3d edge = ToDouble(triangle.v[(e + 1) % 3]) - start;
        const double length = Length(edge);
        long first = 0;
        long last = 0;
        const double step = sampleStep;
        Vector3d direction;
        if (length > step && step > 0.0) {
            direction = edge / length;
            const double along = Dot(box.centre - start, direction);
            const double limit = std::floor(length / step);
            first = long(std::clamp(std::ceil((along - reach) / step) - 1.0, 0.0, limit + 1.0));
            last = long(std::clamp(std::floor((along + reach) / step) + 1.0, -1.0, limit));
        }
        for (long k = first; k <= last; ++k) {
            const Vector3d sample = ToDouble(ToFloat(start + direction * (double(k) * step)));
            Vector3d normal;
            double depth = 0.0;
            if (PointInOrientedBox(sample, box, normal, depth) != 0 && depth > bestDepth) {
                bestDepth = depth;
                bestPoint = sample;
                bestNormal = normal;
            }
        }
    }
    if (bestDepth > -1.0 && Write(ToFloat(bestPoint), ToFloat(-bestNormal), float(bestDepth), triangle.constant))
        ++contactCount;
}

void BoxContacts::Sweeps(const CollisionTriangle& triangle)
{
    for (int i = 0; i < 8; ++i) {
        if (triangle.terrain && !kTerrainSweep[i])
            continue;
        const Vector3 d = sweepEnd[i] - sweepStart[i];
        float t = 0.0f;
        if (!SegmentCrossesPlane(sweepStart[i], d, triangle, t))
            continue;
        const Vector3 x = sweepStart[i] + d * t;
        if (!PointInProjectedTriangle(x, triangle))
            continue;
        if (!Write(x, triangle.unitNormal, d.Length() - (d * t).Length(), triangle.constant))
            return;
        // Only contacts on the leading side of the box count; a trailing one is overwritten.
        const Vector3d offset = ToDouble(x) - box.centre;
        if (Dot(offset, ToDouble(moveVelocity)) >= 0.0)
            ++contactCount;
    }
}

int BoxContacts::Run()
{
    for (int i = 0; i < count; ++i) {
        const CollisionTriangle& triangle = triangles[std::size_t(i)];
        if (triangle.unitNormal.Dot(moveVelocity) > 0.0f)
            continue;
        if (triangle.terrain && !tilted)
            continue;
        EdgeSamples(triangle);
        Sweeps(triangle);
    }
    count = 0;
    return contactCount;
}

bool SegmentCrossesPlane(const Vector3& s, const Vector3& d, const CollisionTriangle& triangle, float& t)
{
    const Vector3& n = triangle.unitNormal;
    const float along = d.Dot(n);
    if (d == Vector3() || n == Vector3() || along == 0.0f)
        return false;
    t = (n.Dot(triangle.v[0]) - n.Dot(s)) / along;
    return t >= 0.0f && t <= 1.0f;
}

bool PointInProjectedTriangle(const Vector3& x, const CollisionTriangle& triangle)
{
    constexpr float kTolerance = 0.02f;
    const Vector3& n = triangle.unitNormal;
    int dropped = 0;
    if (std::fabs(n.y) > std::fabs(n.x))
        dropped = 1;
    if (std::fabs(n.z) > std::fabs(n[dropped]))
        dropped = 2;
    const int axisA = dropped == 0 ? 1 : 0;
    const int axisB = dropped == 2 ? 1 : 2;

    for (int e = 0; e < 3; ++e) {
        const Vector3& a = triangle.v[e];
        const Vector3& b = triangle.v[(e + 1) % 3];
        const Vector3& reference = triangle.v[(e + 2) % 3];
        float referenceOffset = 0.0f;
        float offset = 0.0f;
        bool sameSide = false;
        if (a[axisA] == b[axisA]) {
            referenceOffset = reference[axisA] - a[axisA];
            offset = x[axisA] - a[axisA];
            sameSide = (reference[axisA] < a[axisA]) == (x[axisA] < a[axisA]);
        } else {
            const float slope = (b[axisB] - a[axisB]) / (b[axisA] - a[axisA]);
            referenceOffset = a[axisB] + slope * (reference[axisA] - a[axisA]) - reference[axisB];
            offset = a[axisB] + slope * (x[axisA] - a[axisA]) - x[axisB];
            sameSide = (referenceOffset < 0.0f) == (offset < 0.0f);
        }
        if (std::fabs(referenceOffset) < kTolerance)
            return false;
        if (!(std::fabs(offset) < kTolerance || sameSide))
            return false;
    }
    return true;
}
