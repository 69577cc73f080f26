#include "physics/CollisionEllipsoid.h"

#include <algorithm>
#include <cmath>

#include "physics/CollisionGeometry.h"
#include "physics/CollisionMath.h"

using namespace collision;

namespace {

constexpr float kPathMargin = 2.0f;
// A contact plane whose unit normal leans further than this from up is too steep to climb.
const float kClimbableCosine = 1.0f / std::sqrt(1.0f + EllipsoidCollider::kSteepestClimbableRise *
                                                       EllipsoidCollider::kSteepestClimbableRise);

} // namespace

EllipsoidCollider::EllipsoidCollider()
{
    // Fixed buffers: gathering never allocates.
    triangles.resize(kCollisionTriangleCapacity);
    candidates.reserve(kCollisionTriangleCapacity);
}

void EllipsoidCollider::Begin(const Vector3& newRadii, const Vector3& newUp)
{
    radii = newRadii;
    inverseRadii = Vector3(1.0f / radii.x, 1.0f / radii.y, 1.0f / radii.z);
    up = newUp.Length() > 0.0f ? UnitOf(newUp) : Vector3(0, 1, 0);
    // The lowest point of the ellipsoid lies |radii x up| below the centre; the sphere touches a
    // plane at the centre minus the plane's normal, so a contact within the step height has a
    // normal whose rise (in the query frame) is at least the rest of that depth.
    stepRise = (1.0f - kStepFraction) * LengthOf(FromEllipsoid(up));
    scaleInverse.MakeScale(inverseRadii.x, inverseRadii.y, inverseRadii.z);
    transform = scaleInverse;
    count = 0;
    excluded = -1;
    candidates.clear();
}

void EllipsoidCollider::SetMove(const Vector3& position, const Vector3& velocity)
{
    movePosition = position;
    moveVelocity = velocity;
}

void EllipsoidCollider::SetTransform(const Matrix4& matrix)
{
    transform = matrix * scaleInverse;
}

bool EllipsoidCollider::AddTriangle(const Vector3& v0, const Vector3& v1, const Vector3& v2, const Vector3& velocity,
                                    bool terrain)
{
    if (count >= kCollisionTriangleCapacity)
        return false;
    const Vector3 a = PointTransformed(transform.m, v0);
    const Vector3 b = PointTransformed(transform.m, v1);
    const Vector3 c = PointTransformed(transform.m, v2);
    const Vector3 p = ToEllipsoid(movePosition);

    // Only triangles the sphere starts in front of can stop it.
    const Vector3 normal = CrossProduct(Minus(b, a), Minus(c, a));
    if (!(DotProduct(p, normal) > DotProduct(normal, a)))
        return true;

    const float reach = 1.2f * LengthOf(ToEllipsoid(velocity)) + 1.0f;
    for (int axis = 0; axis < 3; ++axis) {
        const float low = std::min({a[axis], b[axis], c[axis]});
        const float high = std::max({a[axis], b[axis], c[axis]});
        if (low > p[axis] + reach || high < p[axis] - reach)
            return true;
    }

    CollisionTriangle& slot = triangles[std::size_t(count)];
    slot.Set(a, b, c, terrain);
    if (slot.HasArea())
        ++count;
    return true;
}

void EllipsoidCollider::Consider(const Candidate& candidate)
{
    if (!candidates.empty()) {
        const float nearest = candidates.front().distance;
        if (std::fabs(candidate.distance - nearest) > 0.0001f) {
            if (candidate.distance > nearest)
                return;
            candidates.clear();
        } else {
            // Coplanar contacts at the same distance are one contact.
            for (const Candidate& listed : candidates)
                if (DotProduct(candidate.planeNormal, listed.planeNormal) > 0.9999f)
                    return;
        }
    }
    candidates.push_back(candidate);
}

const std::vector<EllipsoidCollider::Candidate>& EllipsoidCollider::FindCollisions(const Vector3& p, const Vector3& v)
{
    candidates.clear();
    const Vector3 u = UnitOf(v);
    const float moveLength = LengthOf(v);
    // Every contact lies within the unit radius of the path from p to p + v (an edge or vertex
    // met just behind the start within twice it), so a triangle whose bounds stay further than
    // that from the path's box cannot give one; skipping it spares the tests below.
    Vector3 reachLow, reachHigh;
    for (int axis = 0; axis < 3; ++axis) {
        reachLow[axis] = std::min(p[axis], p[axis] + v[axis]) - kPathMargin;
        reachHigh[axis] = std::max(p[axis], p[axis] + v[axis]) + kPathMargin;
    }
    for (int i = 0; i < count; ++i) {
        if (i == excluded)
            continue;
        const CollisionTriangle& triangle = triangles[std::size_t(i)];
        if (triangle.low.x > reachHigh.x || triangle.high.x < reachLow.x || triangle.low.y > reachHigh.y ||
            triangle.high.y < reachLow.y || triangle.low.z > reachHigh.z || triangle.high.z < reachLow.z)
            continue;
        if (!(triangle.SignedDistance(p) > 0.0f))
            continue;
        const Vector3& n = triangle.unitNormal;
        const Vector3 q = Minus(p, n); // the sphere's point nearest the plane
        float t = 0.0f;
        if (!RayPlaneDistance(q, u, triangle.point, n, t))
            continue;

        Candidate candidate;
        candidate.triangle = i;
        Vector3 contact;
        if (SphereTouchesTriangle(p, triangle, contact)) {
            candidate.kind = Embedded;
            candidate.planePoint = contact;
            candidate.planeNormal = UnitOf(Minus(p, contact));
            candidate.distance = DistanceOf(p, contact) - 1.0f;
            Consider(candidate);
            continue;
        }

        const Vector3 x = Plus(q, Scaled(u, t));
        if (PointInCollisionTriangle(x, triangle, 0.0001f)) {
            if (t < -0.0002f)
                continue;
            candidate.kind = Face;
            candidate.planePoint = triangle.point;
            candidate.planeNormal = n;
            candidate.distance = t;
        } else {
            const BorderPoint border = ClosestPointOnBorder(triangle, x);
            const Vector3& c = border.point;
            const Vector3& a = border.a;
            const Vector3& b = border.b;
            if (border.onEdge) {
                const Vector3 e = UnitOf(Minus(b, a));
                if (std::fabs(DotProduct(e, u)) > 0.9999f)
                    continue;
                // The plane that holds the edge and the direction of travel.
                const Vector3 travelPlaneNormal = UnitOf(CrossProduct(u, e));
                const Vector3 pOnPlane = ProjectOntoPlane(p, b, travelPlaneNormal);
                if (DistanceOf(p, pOnPlane) > 0.9999f)
                    continue;
                const Vector3 r = ClosestPointOnLine(a, b, pOnPlane);
                const Vector3 towards = UnitOf(Minus(pOnPlane, r));
                float reach = 0.0f;
                if (!RayUnitSphereDistance(r, towards, p, reach))
                    continue;
                const Vector3 h = Plus(r, Scaled(towards, reach)); // where the sphere meets the edge's line
                const Vector3 edge = Minus(b, a);
                const Vector3 w = UnitOf(CrossProduct(CrossProduct(edge, u), edge));
                float s = 0.0f;
                if (!RayPlaneDistance(h, u, a, w, s))
                    continue;
                const Vector3 m = Plus(h, Scaled(u, s));
                if (DotProduct(Minus(a, m), Minus(b, m)) > 0.0f)
                    continue;
                const Vector3 planeNormal = UnitOf(Minus(p, h));
                const Vector3 centroid = Scaled(Plus(Plus(triangle.v[0], triangle.v[1]), triangle.v[2]), 1.0f / 3.0f);
                if (PlaneSignedDistance(centroid, c, planeNormal) > 0.0f || DotProduct(n, planeNormal) < 0.0f)
                    continue;
                float distance = 0.0f;
                if (!RayPlaneDistance(h, u, c, planeNormal, distance) || distance < -1.0f)
                    continue;
                candidate.kind = Edge;
                candidate.planePoint = c;
                candidate.planeNormal = planeNormal;
                candidate.distance = distance;
            } else {
                float reach = 0.0f;
                if (!RayUnitSphereDistance(c, Scaled(u, -1.0f), p, reach))
                    continue;
                const Vector3 planeNormal = UnitOf(Minus(p, Minus(c, Scaled(u, reach))));
                if (DotProduct(Minus(p, c), v) > 0.0f || DotProduct(planeNormal, n) < 0.0f ||
                    PlaneSignedDistance(a, c, planeNormal) > 0.0f || PlaneSignedDistance(b, c, planeNormal) > 0.0f)
                    continue;
                candidate.kind = Vertex;
                candidate.planePoint = c;
                candidate.planeNormal = planeNormal;
                candidate.distance = reach;
            }
        }
        if (candidate.distance > moveLength || !(DotProduct(u, candidate.planeNormal) < 0.0f))
            continue;
        Consider(candidate);
    }
    return candidates;
}

Vector3 EllipsoidCollider::Slide()
{
    Vector3 p = ToEllipsoid(movePosition);
    Vector3 v = ToEllipsoid(moveVelocity);
    const Vector3 first = v;
    excluded = -1;
    int budget = kSlideIterations;
    while (budget > 0) {
        if (v.Length() <= 0.0001f)
            break;
        --budget;
        const std::vector<Candidate>& found = FindCollisions(p, v);
        excluded = -1;
        if (found.empty()) {
            p += v;
            break;
        }
        const Candidate& nearest = found.front();
        if (nearest.kind == Embedded) {
            p -= nearest.planeNormal * nearest.distance; // the distance is negative: out along the normal
            continue;
        }
        p += UnitOf(v) * nearest.distance;
        Vector3 next = v;
        if (found.size() == 1) {
            next = SlideAlong(nearest, p, v);
            // Sliding along it starts in touch with it; the next search must not stop there.
            excluded = nearest.triangle;
        } else {
            // Follow the crease of the two planes that face the move most.
            const Vector3 direction = UnitOf(v);
            int firstIndex = -1;
            int secondIndex = -1;
            for (int pass = 0; pass < 2; ++pass) {
                int& chosen = pass == 0 ? firstIndex : secondIndex;
                float smallest = 0.0f;
                for (int i = 0; i < int(found.size()); ++i) {
                    if (i == firstIndex)
                        continue;
                    const float facing = found[std::size_t(i)].planeNormal.Dot(direction);
                    if (chosen < 0 || facing < smallest) {
                        chosen = i;
                        smallest = facing;
                    }
                }
            }
            const Candidate& most = found[std::size_t(firstIndex)];
            const Candidate& other = found[std::size_t(secondIndex)];
            // A fold (ground that steepens ahead, met on its line): sliding along the plane that
            // faces the move most already leads off the other one, so the body climbs on. The
            // crease rule alone keeps a move across the fold's line unchanged, and the body
            // would push into the fold for ever.
            const Vector3 along = SlideAlong(most, p, v);
            const Vector3 crease = CrossProduct(other.planeNormal, most.planeNormal);
            Vector3 w(std::fabs(crease.x) * v.x, std::fabs(crease.y) * v.y, std::fabs(crease.z) * v.z);
            if (along.Length() >= 0.0001f && along.Dot(other.planeNormal) > 0.0f) {
                next = along;
            } else if (w.Length() >= 0.0001f) {
                w = UnitOf(w) * v.Length();
                next = w * direction.Dot(UnitOf(w));
            }
        }
        if (next.Dot(first) < 0.0f)
            next = Vector3();
        v = next;
    }
    slideExhausted = budget == 0;
    count = 0;
    return FromEllipsoid(p);
}

Vector3 EllipsoidCollider::SlideAlong(const Candidate& contact, const Vector3& p, const Vector3& v) const
{
    const Vector3 along = ProjectOntoPlane(p + v, contact.planePoint, contact.planeNormal) -
                          ProjectOntoPlane(p, contact.planePoint, contact.planeNormal);
    const float rise = DotProduct(FromEllipsoid(along), up);
    if (rise <= std::max(0.0f, DotProduct(FromEllipsoid(v), up)) + 1e-6f * LengthOf(FromEllipsoid(v)))
        return along;
    // Normals go back to the query frame by the reciprocal radii (points go by the radii).
    const Vector3 normal = UnitOf(ToEllipsoid(contact.planeNormal));
    const float normalRise = DotProduct(normal, up);
    if (normalRise >= kClimbableCosine)
        return along;
    // A step: an edge or corner standing out of its triangle, met low on the body.
    const Vector3& face = triangles[std::size_t(contact.triangle)].unitNormal;
    if (DotProduct(contact.planeNormal, face) < 0.999f && DotProduct(FromEllipsoid(contact.planeNormal), up) >= stepRise)
        return along;
    // Too steep: slide as along the upright plane through the face's level lines, which keeps
    // the move's own rise and takes away only what pushes into the face.
    const Vector3 level = normal - Scaled(up, normalRise);
    if (!(LengthOf(level) > 1e-6f))
        return along;
    const Vector3 upright = UnitOf(FromEllipsoid(level));
    return Minus(v, Scaled(upright, std::min(0.0f, DotProduct(v, upright))));
}

Vector3 EllipsoidCollider::Stop()
{
    const Vector3 p = ToEllipsoid(movePosition);
    const Vector3 v = ToEllipsoid(moveVelocity);
    excluded = -1;
    const std::vector<Candidate>& found = FindCollisions(p, v);
    Vector3 destination = p + v;
    if (!found.empty() && found.front().distance < v.Length())
        destination = p + UnitOf(v) * found.front().distance;
    count = 0;
    return FromEllipsoid(destination);
}
