#include "engine/core/Geometry.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr float kTriangleTolerance = 0.0001f;
constexpr float kBoxTolerance = 0.00001f;

} // namespace

Plane& Plane::FromTriangle(const Vector3& a, const Vector3& b, const Vector3& c, bool normalise)
{
    normal = TriangleNormal(a, b, c);
    if (normalise)
        normal.Normalize();
    d = normal.Dot(a);
    return *this;
}

bool Plane::IntersectRay(HitResult& hit) const
{
    const float g = normal.Dot(hit.direction);
    if (g == 0.0f)
        return false;
    const float t = (d - normal.Dot(hit.origin)) / g;
    hit.hitPoint = hit.origin + hit.direction * t;
    hit.distance = t;
    hit.hitCount++;
    hit.normal = normal;
    return true;
}

BoundingBox& BoundingBox::SetEmpty()
{
    *this = BoundingBox();
    return *this;
}

BoundingBox& BoundingBox::AddPoint(const Vector3& p)
{
    for (int i = 0; i < 3; ++i) {
        min[i] = std::min(min[i], p[i]);
        max[i] = std::max(max[i], p[i]);
    }
    return *this;
}

BoundingBox& BoundingBox::AddTransformedPoint(const Vector3& p, const Matrix4& transform)
{
    return AddPoint(transform.TransformPoint(p));
}

bool BoundingBox::Contains(const Vector3& p) const
{
    return p.x >= min.x && p.x <= max.x && p.y >= min.y && p.y <= max.y && p.z >= min.z &&
           p.z <= max.z;
}

bool BoundingBox::IntersectRay(HitResult& hit) const
{
    const Vector3& origin = hit.origin;
    const Vector3& direction = hit.direction;
    float tmax[3] = {-1.0f, -1.0f, -1.0f};
    bool inside = true;
    for (int i = 0; i < 3; ++i) {
        float candidate;
        if (origin[i] < min[i])
            candidate = min[i];
        else if (origin[i] > max[i])
            candidate = max[i];
        else
            continue;
        inside = false;
        hit.hitPoint[i] = candidate;
        if (direction[i] != 0.0f)
            tmax[i] = (candidate - origin[i]) / direction[i];
    }
    if (inside) {
        hit.hitPoint = origin;
        hit.distance = 0.0f;
        return true;
    }

    // The farthest entry plane is where the ray enters the box; ties keep the lower axis.
    int w = 0;
    if (tmax[1] > tmax[w])
        w = 1;
    if (tmax[2] > tmax[w])
        w = 2;
    if (std::signbit(tmax[w]))
        return false;

    for (int i = 0; i < 3; ++i) {
        if (i == w)
            continue;
        hit.hitPoint[i] = origin[i] + tmax[w] * direction[i];
        if (hit.hitPoint[i] < min[i] - kBoxTolerance || hit.hitPoint[i] > max[i] + kBoxTolerance)
            return false;
    }
    hit.distance = tmax[w];
    hit.normal = Vector3();
    hit.normal[w] = direction[w] > 0.0f ? 1.0f : -1.0f;
    return true;
}

int BoundingBox::PlaneTest(const Vector3& normal, float e, const Vector3& halfSize)
{
    Vector3 vmin, vmax;
    for (int i = 0; i < 3; ++i) {
        if (normal[i] > 0.0f) {
            vmin[i] = -halfSize[i];
            vmax[i] = halfSize[i];
        } else {
            vmin[i] = halfSize[i];
            vmax[i] = -halfSize[i];
        }
    }
    if (normal.Dot(vmin) + e > 0.0f)
        return 0;
    if (normal.Dot(vmax) + e >= 0.0f)
        return 1;
    return 0;
}

bool BoundingBox::OverlapsTriangle(const Vector3& a, const Vector3& b, const Vector3& c) const
{
    // Separating-axis test (Akenine-Moller) with the box moved to the origin.
    const Vector3 centre = (min + max) * 0.5f;
    const Vector3 half = (max - min) * 0.5f;
    const Vector3 v[3] = {a - centre, b - centre, c - centre};

    for (int axis : {0, 2, 1}) {
        const float lo = std::min({v[0][axis], v[1][axis], v[2][axis]});
        const float hi = std::max({v[0][axis], v[1][axis], v[2][axis]});
        if (lo > half[axis] || hi < -half[axis])
            return false;
    }

    const Vector3 edges[3] = {v[1] - v[0], v[2] - v[1], v[0] - v[2]};
    Vector3 normal = Cross(edges[0], edges[1]);
    normal.Normalize();
    if (PlaneTest(normal, -normal.Dot(v[0]), half) == 0)
        return false;

    for (int j = 0; j < 3; ++j) {
        // One vertex of the edge and the vertex off it; the edge's two vertices project alike.
        const Vector3& onEdge = v[j];
        const Vector3& offEdge = v[(j + 2) % 3];
        for (int k = 0; k < 3; ++k) {
            Vector3 boxAxis;
            boxAxis[k] = 1.0f;
            const Vector3 axis = Cross(boxAxis, edges[j]);
            const float p0 = axis.Dot(onEdge);
            const float p1 = axis.Dot(offEdge);
            const float radius = half.x * std::fabs(axis.x) + half.y * std::fabs(axis.y) +
                                 half.z * std::fabs(axis.z);
            if (std::min(p0, p1) > radius || std::max(p0, p1) < -radius)
                return false;
        }
    }
    return true;
}

bool BoundingSphere::IntersectRay(HitResult& hit) const
{
    const Vector3 l = centre - hit.origin;
    const float tc = l.Dot(hit.direction);
    const float discriminant = tc * tc - l.Dot(l) + radius * radius;
    if (discriminant < 0.0f)
        return false;
    const float root = std::sqrt(discriminant);
    const float farT = tc + root;
    const float nearT = tc - root;
    if (farT < 0.0f && nearT < 0.0f)
        return false;
    float t;
    if (root > 0.0f && farT > nearT)
        t = nearT >= 0.0f ? nearT : farT; // far when the ray starts inside
    else
        t = farT;
    hit.hitPoint = hit.origin + hit.direction * t;
    hit.distance = t;
    hit.hitCount++;
    return true;
}

Vector3 TriangleNormal(const Vector3& a, const Vector3& b, const Vector3& c)
{
    return Cross(b - a, c - a);
}

void TriangleBarycentric(const Vector3& p, const Vector3& a, const Vector3& b, const Vector3& c,
                         float& weightB, float& weightC, float& weightA)
{
    const Vector3 n = TriangleNormal(a, b, c);
    const float nx = std::fabs(n.x), ny = std::fabs(n.y), nz = std::fabs(n.z);
    // Project onto the coordinate plane in which the triangle has the largest area.
    int i0, i1;
    if (nx >= ny && nx >= nz) {
        i0 = 1;
        i1 = 2;
    } else if (ny >= nz) {
        i0 = 0;
        i1 = 2;
    } else {
        i0 = 0;
        i1 = 1;
    }
    auto area = [i0, i1](const Vector3& p0, const Vector3& p1, const Vector3& p2) {
        return (p1[i0] - p0[i0]) * (p2[i1] - p0[i1]) - (p2[i0] - p0[i0]) * (p1[i1] - p0[i1]);
    };
    const float whole = area(a, b, c);
    weightB = area(a, p, c) / whole;
    weightC = area(a, b, p) / whole;
    weightA = 1.0f - weightB - weightC;
}

bool PointInTriangle(const Vector3& p, const Vector3& a, const Vector3& b, const Vector3& c,
                     float& weightB, float& weightC, float& weightA)
{
    TriangleBarycentric(p, a, b, c, weightB, weightC, weightA);
    auto within = [](float w) { return w >= -kTriangleTolerance && w <= 1.0f + kTriangleTolerance; };
    return within(weightB) && within(weightC) && within(weightA);
}

bool PointInTriangle(const Vector3& p, const Vector3& a, const Vector3& b, const Vector3& c)
{
    float weightB, weightC, weightA;
    return PointInTriangle(p, a, b, c, weightB, weightC, weightA);
}

bool TriangleIntersectRay(HitResult& hit, const Vector3& a, const Vector3& b, const Vector3& c,
                          const Vector3* normal)
{
    const Vector3 n = normal ? *normal : TriangleNormal(a, b, c);
    const float planeOffset = n.Dot(a);
    const float originOffset = n.Dot(hit.origin);
    if (originOffset < planeOffset)
        return false; // starts behind the front face
    const float denominator = n.Dot(hit.direction);
    if (denominator == 0.0f)
        return false;
    const float t = -(originOffset - planeOffset) / denominator;
    if (!(t > 0.0f))
        return false;
    const Vector3 p = hit.origin + hit.direction * t;
    float weightB, weightC, weightA;
    if (!PointInTriangle(p, a, b, c, weightB, weightC, weightA))
        return false;
    hit.hitPoint = p;
    hit.distance = t;
    hit.u = weightB;
    hit.v = weightC;
    hit.normal = n;
    hit.hitCount++;
    return true;
}
