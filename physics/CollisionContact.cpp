#include "physics/CollisionContact.h"

#include <cmath>
#include <utility>

namespace {

double InverseMass(const RigidBody* body)
{
    return body && body->GetMass() > 0 ? 1.0 / body->GetMass() : 0.0;
}

Matrix3d InverseInertia(RigidBody* body)
{
    Matrix3d inverse;
    if (body && body->GetMass() > 0) {
        body->GetInverseInertia(inverse);
    } else {
        for (auto& row : inverse.m)
            for (double& v : row)
                v = 0.0;
    }
    return inverse;
}

Vector3d PointVelocity(const RigidBody* body, const Vector3d& lever)
{
    return body ? body->GetVelocity() + Cross(body->GetAngularVelocity(), lever) : Vector3d{};
}

// The velocity change of one body at its lever per unit impulse e: e/m + (I^-1 (r x e)) x r.
Vector3d Response(double inverseMass, const Matrix3d& inverseInertia, const Vector3d& lever, const Vector3d& e)
{
    return e * inverseMass + Cross(inverseInertia.Multiply(Cross(lever, e)), lever);
}

// Solves the 3 x 3 system m x = b by Cramer's rule; false when singular.
bool Solve3(const double m[3][3], const double b[3], double x[3])
{
    auto det3 = [](const double a[3][3]) {
        return a[0][0] * (a[1][1] * a[2][2] - a[1][2] * a[2][1]) - a[0][1] * (a[1][0] * a[2][2] - a[1][2] * a[2][0]) +
               a[0][2] * (a[1][0] * a[2][1] - a[1][1] * a[2][0]);
    };
    const double det = det3(m);
    if (!(std::fabs(det) > 0) || !std::isfinite(det))
        return false;
    for (int c = 0; c < 3; ++c) {
        double replaced[3][3];
        for (int r = 0; r < 3; ++r)
            for (int k = 0; k < 3; ++k)
                replaced[r][k] = k == c ? b[r] : m[r][k];
        x[c] = det3(replaced) / det;
    }
    return true;
}

struct VelocityChange {
    Vector3d linear;
    Vector3d angular;
};

void UpdateSpeeds(CollisionContact& c, const RigidBody* body, const VelocityChange& change)
{
    double sign;
    Vector3d lever;
    if (c.bodyA == body) {
        sign = 1.0;
        lever = c.leverA;
    } else if (c.bodyB == body) {
        sign = -1.0;
        lever = c.leverB;
    } else {
        return;
    }
    const Vector3d dv = (change.linear + Cross(change.angular, lever)) * sign;
    c.normalSpeed += Dot(dv, c.normal);
    c.tangentSpeed1 += Dot(dv, c.tangent1);
    c.tangentSpeed2 += Dot(dv, c.tangent2);
}

// Applies the world impulse j at the contact (+j to A, -j to B) and reports each body's change.
void ApplyWorldImpulse(CollisionContact& c, const Vector3d& j, VelocityChange& changeA, VelocityChange& changeB)
{
    changeA = changeB = {};
    struct Side {
        RigidBody* body;
        Vector3d lever;
        double sign;
        VelocityChange* change;
    } sides[2] = {{c.bodyA, c.leverA, 1.0, &changeA}, {c.bodyB, c.leverB, -1.0, &changeB}};
    for (const Side& s : sides) {
        if (!s.body || !(s.body->GetMass() > 0))
            continue;
        const Vector3d impulse = j * s.sign;
        s.change->linear = impulse * InverseMass(s.body);
        s.change->angular = InverseInertia(s.body).Multiply(Cross(s.lever, impulse));
        s.body->SetVelocity(s.body->GetVelocity() + s.change->linear);
        s.body->SetAngularVelocity(s.body->GetAngularVelocity() + s.change->angular);
    }
}

}  // namespace

void PrepareContact(CollisionContact& c, double dt)
{
    c.usable = 0;
    c.prepared = 0;
    c.applied = 0;
    if (!c.bodyA || !IsFinite(c.point) || !IsFinite(c.normal) || !std::isfinite(c.depth) ||
        !std::isfinite(c.friction) || !std::isfinite(c.restitution) || Length(c.normal) == 0.0 ||
        (InverseMass(c.bodyA) == 0.0 && InverseMass(c.bodyB) == 0.0))
        return;
    c.usable = 1;
    c.normal = Normalized(c.normal);
    PerpendicularBasis(c.normal, c.tangent1, c.tangent2);
    c.leverA = c.point - c.bodyA->GetPosition();
    c.leverB = c.bodyB ? c.point - c.bodyB->GetPosition() : Vector3d{};
    const Vector3d relative = PointVelocity(c.bodyA, c.leverA) - PointVelocity(c.bodyB, c.leverB);
    c.normalSpeed = Dot(relative, c.normal);
    c.tangentSpeed1 = c.tangentSpeed2 = 0.0;
    if (c.friction != 0.0) {
        Vector3d tangential = relative;
        // Half a step of gravity, which the next step adds, counts as sliding already.
        if (dt > 0)
            tangential += (c.bodyA->GetGravity() - (c.bodyB ? c.bodyB->GetGravity() : Vector3d{})) * (dt / 2);
        c.tangentSpeed1 = Dot(tangential, c.tangent1);
        c.tangentSpeed2 = Dot(tangential, c.tangent2);
    }
}

void ApplyContactImpulse(CollisionContact& c, double dv)
{
    VelocityChange changeA, changeB;
    if (!c.usable || !std::isfinite(dv))
        return;
    if (!c.prepared) {
        const Vector3d frame[3] = {c.normal, c.tangent1, c.tangent2};
        const double inverseA = InverseMass(c.bodyA), inverseB = InverseMass(c.bodyB);
        const Matrix3d inertiaA = InverseInertia(c.bodyA), inertiaB = InverseInertia(c.bodyB);
        for (int b = 0; b < 3; ++b) {
            Vector3d response = Response(inverseA, inertiaA, c.leverA, frame[b]);
            if (c.bodyB)
                response += Response(inverseB, inertiaB, c.leverB, frame[b]);
            for (int a = 0; a < 3; ++a)
                c.effectiveMass[a][b] = Dot(frame[a], response);
        }
        c.prepared = 1;
    }
    const auto& k = c.effectiveMass;
    double jn = 0.0, jt1 = 0.0, jt2 = 0.0;
    const double frictionless = dv / k[0][0];
    if (c.friction == 0.0) {
        jn = frictionless;
    } else {
        // Sticking: the normal change and no tangential velocity left.
        const double target[3] = {dv, -c.tangentSpeed1, -c.tangentSpeed2};
        double j[3];
        if (!Solve3(k, target, j)) {
            jn = frictionless;
        } else {
            jn = j[0];
            jt1 = j[1];
            jt2 = j[2];
            const double tangential = std::hypot(jt1, jt2);
            if (tangential > c.friction * jn) {
                // Sliding: the impulse lies on the friction cone in the same tangential direction.
                const double d1 = jt1 / tangential, d2 = jt2 / tangential;
                jn = dv / (k[0][0] + c.friction * (k[0][1] * d1 + k[0][2] * d2));
                jt1 = c.friction * jn * d1;
                jt2 = c.friction * jn * d2;
                if (!(jn >= 0) || !std::isfinite(jn)) {
                    jn = -(1 + c.restitution) * c.normalSpeed / k[0][0];
                    jt1 = jt2 = 0.0;
                }
            }
        }
    }
    const Vector3d impulse = c.normal * jn + c.tangent1 * jt1 + c.tangent2 * jt2;
    if (!IsFinite(impulse))
        return;
    ApplyWorldImpulse(c, impulse, changeA, changeB);
    UpdateSpeeds(c, c.bodyA, changeA);
    if (c.bodyB)
        UpdateSpeeds(c, c.bodyB, changeB);
    c.applied = 1;
}

void SeparateContact(CollisionContact& c, double distance)
{
    if (!c.usable || !std::isfinite(distance))
        return;
    const double inverseA = InverseMass(c.bodyA), inverseB = InverseMass(c.bodyB);
    const double sum = inverseA + inverseB;
    if (!(sum > 0))
        return;
    if (inverseA > 0)
        c.bodyA->SetPosition(c.bodyA->GetPosition() + c.normal * (distance * inverseA / sum));
    if (c.bodyB && inverseB > 0)
        c.bodyB->SetPosition(c.bodyB->GetPosition() - c.normal * (distance * inverseB / sum));
}

void ResolveCollisionContacts(CollisionContact* contacts, int count, double dt, double threshold, double limit)
{
    if (!contacts || count <= 0 || !std::isfinite(dt) || !std::isfinite(threshold) || !std::isfinite(limit))
        return;
    for (int i = 0; i < count; ++i)
        PrepareContact(contacts[i], dt);

    for (int pass = 0; pass < 4 * count; ++pass) {
        int worst = -1;
        double worstValue = 0.0;
        for (int i = 0; i < count; ++i) {
            const CollisionContact& c = contacts[i];
            if (!c.usable)
                continue;
            const double value = (1 + c.restitution) * c.normalSpeed;
            if (value < -threshold && (worst < 0 || value < worstValue)) {
                worst = i;
                worstValue = value;
            }
        }
        if (worst < 0)
            break;
        CollisionContact& c = contacts[worst];
        const Vector3d beforeA = c.bodyA->GetVelocity(), beforeWA = c.bodyA->GetAngularVelocity();
        const Vector3d beforeB = c.bodyB ? c.bodyB->GetVelocity() : Vector3d{};
        const Vector3d beforeWB = c.bodyB ? c.bodyB->GetAngularVelocity() : Vector3d{};
        ApplyContactImpulse(c, threshold - worstValue);
        // The contact itself is up to date; so must be every other contact of the touched bodies.
        const VelocityChange changeA{c.bodyA->GetVelocity() - beforeA, c.bodyA->GetAngularVelocity() - beforeWA};
        const VelocityChange changeB{c.bodyB ? c.bodyB->GetVelocity() - beforeB : Vector3d{},
                                     c.bodyB ? c.bodyB->GetAngularVelocity() - beforeWB : Vector3d{}};
        for (int i = 0; i < count; ++i) {
            if (i == worst || !contacts[i].usable)
                continue;
            UpdateSpeeds(contacts[i], c.bodyA, changeA);
            if (c.bodyB)
                UpdateSpeeds(contacts[i], c.bodyB, changeB);
        }
        if (!c.applied)
            break;  // nothing could be applied; the same contact would be chosen again
    }

    for (int pass = 0; pass < 4 * count; ++pass) {
        int deepest = -1;
        for (int i = 0; i < count; ++i)
            if (contacts[i].usable && contacts[i].depth > limit &&
                (deepest < 0 || contacts[i].depth > contacts[deepest].depth))
                deepest = i;
        if (deepest < 0)
            break;
        CollisionContact& c = contacts[deepest];
        const Vector3d beforeA = c.bodyA->GetPosition();
        const Vector3d beforeB = c.bodyB ? c.bodyB->GetPosition() : Vector3d{};
        SeparateContact(c, c.depth - limit / 2);
        const Vector3d movedA = c.bodyA->GetPosition() - beforeA;
        const Vector3d movedB = c.bodyB ? c.bodyB->GetPosition() - beforeB : Vector3d{};
        for (int i = 0; i < count; ++i) {
            CollisionContact& other = contacts[i];
            if (!other.usable)
                continue;
            for (const auto& [body, moved] : {std::pair<RigidBody*, Vector3d>{c.bodyA, movedA}, {c.bodyB, movedB}}) {
                if (!body)
                    continue;
                if (other.bodyA == body)
                    other.depth -= Dot(moved, other.normal);
                else if (other.bodyB == body)
                    other.depth += Dot(moved, other.normal);
            }
        }
    }
}
