#include "physics/CollisionContact.h"
#include "physics/OrientedBox.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

RigidBody MakeBody(double mass = 2.0, Vector3d moments = {1, 1, 1})
{
    RigidBody body;
    body.SetMassProperties(mass, moments);
    body.RefreshDerived();
    return body;
}

CollisionContact Touch(RigidBody* a, RigidBody* b, Vector3d point, Vector3d normal, double depth = 0.0,
                       double mu = 0.0, double e = 0.0)
{
    CollisionContact c;
    c.bodyA = a;
    c.bodyB = b;
    c.point = point;
    c.normal = normal;
    c.depth = depth;
    c.friction = mu;
    c.restitution = e;
    return c;
}

TEST(OrientedBox, CornersComeInTheirOrder)
{
    OrientedBox box{{1, 2, 3}, {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, {0.5, 1, 2}};
    Vector3d corners[8];
    OrientedBoxCorners(box, corners);
    const int signs[8][3] = {{-1, -1, -1}, {1, -1, -1}, {1, 1, -1}, {-1, 1, -1}, {-1, -1, 1}, {1, -1, 1}, {1, 1, 1}, {-1, 1, 1}};
    for (int c = 0; c < 8; ++c)
        EXPECT_EQ(corners[c], (Vector3d{1 + 0.5 * signs[c][0], 2 + 1.0 * signs[c][1], 3 + 2.0 * signs[c][2]})) << c;
}

TEST(OrientedBox, PointInsideReportsTheNearestFace)
{
    const double s = std::sqrt(0.5);
    OrientedBox box{{0, 0, 0}, {{s, s, 0}, {-s, s, 0}, {0, 0, 1}}, {2, 1, 3}};
    const struct {
        Vector3d local;  // along the box axes
        int result;
        double depth;
    } cases[] = {
        {{1.8, 0, 0}, 1, 0.2},  {{-1.9, 0.1, 0}, -1, 0.1}, {{0, 0.7, 0}, 2, 0.3},  {{0.2, -0.95, 1}, -2, 0.05},
        {{0, 0, 2.6}, 3, 0.4},  {{0.5, 0.5, -2.9}, -3, 0.1}, {{1.5, 0.5, 0}, 1, 0.5},  // tie: the lower axis
        {{2.0, 0, 0}, 0, 0.0},  // on the face: outside
        {{0, 1.2, 0}, 0, 0.0},
    };
    for (const auto& c : cases) {
        const Vector3d p = box.axes[0] * c.local.x + box.axes[1] * c.local.y + box.axes[2] * c.local.z;
        Vector3d normal;
        double depth = -1.0;
        const int result = PointInOrientedBox(p, box, normal, depth);
        EXPECT_EQ(result, c.result) << c.local.x << " " << c.local.y << " " << c.local.z;
        if (result != 0) {
            const int axis = std::abs(result) - 1;
            EXPECT_NEAR(depth, c.depth, 1e-12);
            EXPECT_NEAR(Length(normal - box.axes[axis] * (result > 0 ? 1.0 : -1.0)), 0.0, 1e-15);
        }
    }
}

TEST(CollisionContacts, ARestingApproachEndsWithZeroNormalVelocity)
{
    RigidBody body = MakeBody();
    body.SetVelocity({0, -3, 0});
    CollisionContact c = Touch(&body, nullptr, {0, -1, 0}, {0, 1, 0});
    ResolveCollisionContacts(&c, 1, 0.0, 0.0, 0.0);
    EXPECT_NEAR(body.GetVelocity().y, 0.0, 1e-12);
    EXPECT_NEAR(Length(body.GetAngularVelocity()), 0.0, 1e-12);
    EXPECT_TRUE(c.applied);
    // Restitution sends it back at half the speed.
    body.SetVelocity({0, -3, 0});
    c = Touch(&body, nullptr, {0, -1, 0}, {0, 1, 0}, 0.0, 0.0, 0.5);
    ResolveCollisionContacts(&c, 1, 0.0, 0.0, 0.0);
    EXPECT_NEAR(body.GetVelocity().y, 1.5, 1e-12);
}

TEST(CollisionContacts, SeparatingContactsReceiveNoImpulse)
{
    RigidBody body = MakeBody();
    body.SetVelocity({1, 0.5, 0});
    CollisionContact c = Touch(&body, nullptr, {0, -1, 0}, {0, 1, 0}, 0.0, 1.0);
    ResolveCollisionContacts(&c, 1, 0.01, 0.0, 0.0);
    EXPECT_EQ(body.GetVelocity(), (Vector3d{1, 0.5, 0}));
    EXPECT_FALSE(c.applied);
}

TEST(CollisionContacts, FrictionSticksOrSlidesOnTheCone)
{
    // A sliding, falling sphere-like body touched below its centre.
    for (const auto& [mu, sticks] : {std::pair{5.0, true}, {0.2, false}}) {
        RigidBody body = MakeBody(2.0, {0.8, 0.8, 0.8});
        body.SetVelocity({4, -2, 0});
        CollisionContact c = Touch(&body, nullptr, {0, -1, 0}, {0, 1, 0}, 0.0, mu);
        ResolveCollisionContacts(&c, 1, 0.0, 0.0, 0.0);
        const Vector3d v = body.GetVelocity() + Cross(body.GetAngularVelocity(), Vector3d{0, -1, 0});
        EXPECT_NEAR(v.y, 0.0, 1e-12) << mu;
        const Vector3d impulse = (body.GetVelocity() - Vector3d{4, -2, 0}) * 2.0;
        if (sticks) {
            EXPECT_NEAR(v.x, 0.0, 1e-12) << "the point stops sliding in the same impulse";
        } else {
            EXPECT_NEAR(std::fabs(impulse.x), mu * impulse.y, 1e-12) << "on the friction cone";
            EXPECT_LT(impulse.x, 0.0);
            EXPECT_GT(v.x, 0.0);
        }
    }
}

TEST(CollisionContacts, PenetrationIsPushedOutByTranslation)
{
    RigidBody body = MakeBody();
    body.SetPosition({0, 0.5, 0});
    CollisionContact c = Touch(&body, nullptr, {0, -0.5, 0}, {0, 1, 0}, 0.25);
    ResolveCollisionContacts(&c, 1, 0.0, 0.0, 0.0);
    EXPECT_NEAR(body.GetPosition().y, 0.75, 1e-15);
    EXPECT_NEAR(c.depth, 0.0, 1e-15);
    // Two bodies share the push by their inverse masses.
    RigidBody light = MakeBody(1.0), heavy = MakeBody(3.0);
    c = Touch(&light, &heavy, {0, 0, 0}, {1, 0, 0}, 0.4);
    ResolveCollisionContacts(&c, 1, 0.0, 0.0, 0.1);
    EXPECT_NEAR(light.GetPosition().x, 0.35 * 0.75, 1e-15);
    EXPECT_NEAR(heavy.GetPosition().x, -0.35 * 0.25, 1e-15);
    EXPECT_NEAR(c.depth, 0.05, 1e-15);
}

TEST(CollisionContacts, ContactsSharingABodySeeEachOthersImpulses)
{
    // A spinning box falling flat onto two points: each impulse changes the other point's
    // velocity; after the bounded passes little approach is left, and the records agree with
    // the body.
    RigidBody box = MakeBody(4.0, {1, 2, 1});
    box.SetVelocity({0, -2, 0});
    box.SetAngularVelocity({0, 0, 0.5});
    CollisionContact contacts[2] = {Touch(&box, nullptr, {1, -0.5, 0}, {0, 1, 0}, 0.01),
                                    Touch(&box, nullptr, {-1, -0.5, 0}, {0, 1, 0}, 0.02)};
    ResolveCollisionContacts(contacts, 2, 0.0, 0.0, 0.0);
    for (const CollisionContact& c : contacts) {
        const Vector3d v = box.GetVelocity() + Cross(box.GetAngularVelocity(), c.point - Vector3d{0, 0, 0});
        EXPECT_GT(v.y, -0.2);
        EXPECT_NEAR(c.normalSpeed, v.y, 1e-12) << "the record follows the body";
        EXPECT_LE(c.depth, 1e-15) << "pushed out (the other push may lift it further)";
    }
}

TEST(CollisionContacts, BadRecordsAreSkippedAndTheWorkIsBounded)
{
    RigidBody body = MakeBody();
    body.SetVelocity({0, -1, 0});
    CollisionContact contacts[4] = {Touch(nullptr, nullptr, {0, 0, 0}, {0, 1, 0}, 1.0),
                                    Touch(&body, nullptr, {NAN, 0, 0}, {0, 1, 0}, 1.0),
                                    Touch(&body, nullptr, {0, 0, 0}, {0, 0, 0}, 1.0),
                                    Touch(&body, nullptr, {0, -1, 0}, {0, 2, 0}, 0.0)};
    ResolveCollisionContacts(contacts, 4, 0.0, 0.0, 0.0);
    EXPECT_TRUE(IsFinite(body.GetVelocity()));
    EXPECT_NEAR(body.GetVelocity().y, 0.0, 1e-12) << "the last record, its normal made unit, still works";
    EXPECT_EQ(body.GetPosition(), Vector3d{});
    ResolveCollisionContacts(nullptr, 3, 0.0, 0.0, 0.0);
    ResolveCollisionContacts(contacts, -1, 0.0, 0.0, 0.0);
    // Opposed contacts on one body can never all be satisfied with restitution: the passes end.
    RigidBody squeezed = MakeBody();
    CollisionContact opposed[2] = {Touch(&squeezed, nullptr, {0, 0, 0}, {1, 0, 0}, 0.5, 0.0, 1.0),
                                   Touch(&squeezed, nullptr, {0, 0, 0}, {-1, 0, 0}, 0.5, 0.0, 1.0)};
    squeezed.SetVelocity({2, 0, 0});
    ResolveCollisionContacts(opposed, 2, 0.0, 0.0, 0.0);
    EXPECT_TRUE(IsFinite(squeezed.GetVelocity()));
}

}  // namespace
