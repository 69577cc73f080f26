#include "physics/RigidBody.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

namespace {

class RecordingBody : public RigidBody {
public:
    RecordingBody()
    {
        SetMassProperties(2.0, {1.0, 2.0, 3.0});
        SetDampingTimes(0.0, 0.0);
    }
    void QueryHook1(const char* message) override { errors.emplace_back(message); }
    std::vector<std::string> errors;
};

enum class Integrator { Euler, RungeKutta };

void Advance(RigidBody& body, Integrator integrator, double dt, int steps)
{
    for (int n = 0; n < steps; ++n) {
        if (integrator == Integrator::Euler)
            body.Integrate(dt, 0);
        else
            body.IntegrateRK4(dt, 0);
    }
}

double RotationAngleAboutZ(const Quaterniond& q)
{
    return 2.0 * std::atan2(q.z, q.w);
}

// Each row: a scenario with its analytic answer at t = 1 and the tolerance each integrator meets
// with 100 steps. Euler's damping is exact per step; Runge-Kutta integrates the per-step relaxation
// rate as a rate and is off by about (dt / T)^2 / 2 per step of the decaying part.
struct AnalyticCase {
    const char* name;
    std::function<void(RigidBody&)> setUp;
    std::function<double(const RigidBody&)> measured;
    double expected;
    double eulerTolerance;
    double rungeKuttaTolerance;
};

TEST(RigidBodyIntegrators, FollowAnalyticMotion)
{
    const double g = 9.81;
    const double tl = 2.0, ta = 0.5;
    const AnalyticCase cases[] = {
        {"free fall velocity", [&](RigidBody& b) { b.SetGravity({0, -g, 0}); },
         [](const RigidBody& b) { return b.GetVelocity().y; }, -g, 1e-12, 1e-12},
        // Semi-implicit Euler moves with the new velocity: it lands dt/2 x g x t further.
        {"free fall distance", [&](RigidBody& b) { b.SetGravity({0, -g, 0}); },
         [](const RigidBody& b) { return b.GetPosition().y; }, -g / 2, g * 0.01 / 2 + 1e-9, 1e-12},
        {"damped fall velocity",
         [&](RigidBody& b) {
             b.SetGravity({0, -g, 0});
             b.SetDampingTimes(tl, 0.0);
         },
         [](const RigidBody& b) { return b.GetVelocity().y; }, -tl * g * (1 - std::exp(-1 / tl)), 1e-12, 0.02},
        {"damped fall distance",
         [&](RigidBody& b) {
             b.SetGravity({0, -g, 0});
             b.SetDampingTimes(tl, 0.0);
         },
         [](const RigidBody& b) { return b.GetPosition().y; }, -tl * g * (1 - tl * (1 - std::exp(-1 / tl))), 0.05, 0.01},
        {"constant torque spin rate",
         [](RigidBody& b) {
             b.SetPersistentTorque({0, 0, 3.0});
             b.RebuildTorque();
         },
         [](const RigidBody& b) { return b.GetAngularVelocity().z; }, 1.0, 1e-12, 1e-12},
        {"constant torque spin angle",
         [](RigidBody& b) {
             b.SetPersistentTorque({0, 0, 3.0});
             b.RebuildTorque();
         },
         [](const RigidBody& b) { return RotationAngleAboutZ(b.GetOrientation()); }, 0.5, 0.01 / 2 + 1e-9, 1e-12},
        {"damped spin decay",
         [&](RigidBody& b) {
             b.SetDampingTimes(0.0, ta);
             b.SetAngularVelocity({0, 0, 2.0});
         },
         [](const RigidBody& b) { return b.GetAngularVelocity().z; }, 2.0 * std::exp(-1 / ta), 1e-12, 0.006},
        {"damped glide decay",
         [&](RigidBody& b) {
             b.SetDampingTimes(tl, 0.0);
             b.SetVelocity({3.0, 0, 0});
         },
         [](const RigidBody& b) { return b.GetVelocity().x; }, 3.0 * std::exp(-1 / tl), 1e-12, 0.003},
    };
    for (const AnalyticCase& c : cases) {
        for (Integrator integrator : {Integrator::Euler, Integrator::RungeKutta}) {
            RecordingBody body;
            c.setUp(body);
            Advance(body, integrator, 0.01, 100);
            double tolerance = integrator == Integrator::Euler ? c.eulerTolerance : c.rungeKuttaTolerance;
            EXPECT_NEAR(c.measured(body), c.expected, tolerance)
                << c.name << (integrator == Integrator::Euler ? " (Euler)" : " (Runge-Kutta)");
            EXPECT_TRUE(body.errors.empty());
        }
    }
}

TEST(RigidBodyIntegrators, RungeKuttaKeepsTheEnergyOfAFreeTumblingBody)
{
    RecordingBody body;
    body.SetAngularVelocity({1.0, 0.2, 0.5});  // near the unstable middle axis: a real tumble
    auto energy = [&] {
        Matrix3d r = MatrixFromQuaternion(body.GetOrientation());
        Vector3d w = r.Multiply(body.GetAngularVelocity());
        return 0.5 * (1.0 * w.x * w.x + 2.0 * w.y * w.y + 3.0 * w.z * w.z);
    };
    const double start = energy();
    double highest = start;
    for (int n = 0; n < 2000; ++n) {
        body.IntegrateRK4(0.01, 0);
        highest = std::fmax(highest, energy());
    }
    EXPECT_LT((highest - start) / start, 1e-6);
}

TEST(RigidBody, ZeroOrientationBecomesIdentity)
{
    RecordingBody body;
    RigidBodyState state;
    state.orientation = {0, 0, 0, 0};
    state.position = {1, 2, 3};
    body.SetState(state);
    Matrix4d m;
    body.GetWorldMatrix(m);
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 4; ++c)
            EXPECT_EQ(m.m[r][c], r == c ? 1.0 : 0.0);
    EXPECT_EQ(m.Row(3), (Vector3d{1, 2, 3}));
    EXPECT_EQ(m.m[3][3], 1.0);
    body.SetOrientation({0, 0, 0, 0});
    EXPECT_EQ(body.GetOrientation(), Quaterniond{});
}

TEST(RigidBody, ZeroStepAppliesImpulsesOnly)
{
    RecordingBody body;
    body.SetGravity({0, -9.81, 0});
    body.SetPosition({1, 1, 1});
    body.AddLinearImpulse({2, 0, 0});
    body.AddAngularImpulse({0, 0, 3});
    body.Integrate(0.0, 1);
    EXPECT_EQ(body.GetVelocity(), Vector3d{});  // told that impulses were applied already
    body.Integrate(0.0, 0);
    EXPECT_EQ(body.GetVelocity(), (Vector3d{1, 0, 0}));
    EXPECT_EQ(body.GetAngularVelocity(), (Vector3d{0, 0, 1}));
    EXPECT_EQ(body.GetPosition(), (Vector3d{1, 1, 1}));
    EXPECT_EQ(body.GetOrientation(), Quaterniond{});
    EXPECT_FALSE(body.IsDirty());
}

TEST(RigidBody, AngularImpulseUsesTheWorldInertia)
{
    RecordingBody body;
    const Quaterniond turned = NormalizedRotation({0.9, 0.3, -0.2, 0.4});
    body.SetOrientation(turned);
    body.AddAngularImpulse({1, 2, 3});
    body.Integrate(0.0, 0);
    // I_w omega must give back the impulse.
    Matrix3d r = MatrixFromQuaternion(turned);
    Vector3d local = r.Multiply(body.GetAngularVelocity());
    Vector3d back = r.TransposeMultiply({local.x * 1.0, local.y * 2.0, local.z * 3.0});
    EXPECT_NEAR(back.x, 1.0, 1e-12);
    EXPECT_NEAR(back.y, 2.0, 1e-12);
    EXPECT_NEAR(back.z, 3.0, 1e-12);
    Matrix3d inverse;
    body.GetInverseInertia(inverse);
    Vector3d viaInverse = inverse.Multiply({1, 2, 3});
    EXPECT_NEAR(Length(viaInverse - body.GetAngularVelocity()), 0.0, 1e-12);
}

TEST(RigidBody, WithoutSpinAStepLeavesTheOrientationAlone)
{
    RecordingBody body;
    const Quaterniond turned = NormalizedRotation({0.5, 0.5, 0.1, -0.3});
    body.SetOrientation(turned);
    body.SetGravity({0, -9.81, 0});
    body.Integrate(0.02, 0);
    EXPECT_EQ(body.GetOrientation(), turned);
    body.IntegrateRK4(0.02, 0);
    EXPECT_EQ(body.GetOrientation(), turned);
}

TEST(RigidBody, DefaultDampingLimitsFreeFallAtOneHundredTimesGravity)
{
    RigidBody damped;
    damped.SetMassProperties(1.0, {1, 1, 1});
    damped.SetGravity({0, -10.0, 0});
    for (int n = 0; n < 2000; ++n)
        damped.Integrate(1.0, 0);
    EXPECT_NEAR(damped.GetVelocity().y, -1000.0, 1e-3);

    RecordingBody undamped;
    undamped.SetGravity({0, -10.0, 0});
    for (int n = 0; n < 2000; ++n)
        undamped.Integrate(1.0, 0);
    EXPECT_DOUBLE_EQ(undamped.GetVelocity().y, -20000.0);
}

TEST(RigidBody, AddedForceActsOneStepAndPersistentForceUntilCleared)
{
    RecordingBody body;
    body.AddForceAtPoint({4, 0, 0}, {0, 1, 0});  // also a torque (0,1,0) x (4,0,0) = (0,0,-4)
    EXPECT_EQ(body.GetTorqueAccumulator(), (Vector3d{0, 0, -4}));
    body.Integrate(0.5, 0);
    EXPECT_DOUBLE_EQ(body.GetVelocity().x, 1.0);
    EXPECT_DOUBLE_EQ(body.GetAngularVelocity().z, -4.0 / 3.0 * 0.5);
    body.Integrate(0.5, 0);
    EXPECT_DOUBLE_EQ(body.GetVelocity().x, 1.0);

    body.SetPersistentForce({0, 0, 2});
    body.RebuildForce();
    body.Integrate(0.5, 0);
    body.Integrate(0.5, 0);
    EXPECT_DOUBLE_EQ(body.GetVelocity().z, 1.0);
    body.ClearForce();
    body.RebuildForce();
    body.Integrate(0.5, 0);
    EXPECT_DOUBLE_EQ(body.GetVelocity().z, 1.0);
}

TEST(RigidBody, BodyFrameForceTurnsWithTheBody)
{
    RecordingBody body;
    // A quarter turn about y: the body's x axis points along world -z.
    body.SetOrientation({std::cos(M_PI / 4), 0, std::sin(M_PI / 4), 0});
    body.RefreshDerived();
    body.SetBodyFrameForce({2, 0, 0}, true);
    body.RebuildForce();
    Vector3d f = body.GetForceAccumulator();
    EXPECT_NEAR(f.x, 0.0, 1e-15);
    EXPECT_NEAR(f.z, -2.0, 1e-15);
    body.SetBodyFrameForce({2, 0, 0}, false);
    body.RebuildForce();
    EXPECT_EQ(body.GetForceAccumulator(), Vector3d{});
}

TEST(RigidBody, NonFiniteInputsNeverEnterTheState)
{
    const double nan = std::nan(""), inf = INFINITY;
    struct Case {
        const char* message;
        std::function<void(RigidBody&)> act;
    } cases[] = {
        {"RigidBody::SetPosition: the position is not finite; it was refused.", [&](RigidBody& b) { b.SetPosition({nan, 0, 0}); }},
        {"RigidBody::SetVelocity: the velocity is not finite; it was refused.", [&](RigidBody& b) { b.SetVelocity({0, inf, 0}); }},
        {"RigidBody::SetAngularVelocity: the angular velocity is not finite; it was refused.",
         [&](RigidBody& b) { b.SetAngularVelocityXYZ(0, 0, -inf); }},
        {"RigidBody::SetOrientation: the orientation is not finite; it was refused.",
         [&](RigidBody& b) { b.SetOrientation({nan, 0, 0, 0}); }},
        {"RigidBody::SetState: the state is not finite; it was refused.",
         [&](RigidBody& b) {
             RigidBodyState s;
             s.linearVelocity.x = nan;
             b.SetState(s);
         }},
        {"RigidBody::AddForceAtPoint: the force is not finite; it was ignored.",
         [&](RigidBody& b) {
             b.AddForceAtPoint({inf, 0, 0}, {0, 0, 0});
             b.Integrate(0.1, 0);
         }},
        {"RigidBody::AddTorque: the torque is not finite; it was ignored.",
         [&](RigidBody& b) {
             b.AddTorque({0, nan, 0});
             b.IntegrateRK4(0.1, 0);
         }},
        {"RigidBody::Integrate: the time step must be finite and not negative.", [&](RigidBody& b) { b.Integrate(nan, 0); }},
        {"RigidBody::Integrate: the time step must be finite and not negative.", [&](RigidBody& b) { b.Integrate(-0.1, 0); }},
        {"RigidBody::IntegrateRK4: the time step must be finite and not negative.",
         [&](RigidBody& b) { b.IntegrateRK4(inf, 0); }},
        {"RigidBody::Integrate: the step gave a non-finite state; it was undone.",
         [&](RigidBody& b) {
             b.AddForceAtPoint({1e308, 0, 0}, {0, 0, 0});
             b.AddForceAtPoint({1e308, 0, 0}, {0, 0, 0});
             b.Integrate(1e10, 0);
         }},
        {"RigidBody::SetMassProperties: mass and moments of inertia must be positive and finite.",
         [&](RigidBody& b) { b.SetMassProperties(0.0, {1, 1, 1}); }},
    };
    for (const Case& c : cases) {
        RecordingBody body;
        body.SetPosition({1, 2, 3});
        RigidBodyState before;
        body.GetState(before);
        c.act(body);
        RigidBodyState after;
        body.GetState(after);
        EXPECT_TRUE(IsFinite(after)) << c.message;
        EXPECT_EQ(after.position, before.position) << c.message;
        EXPECT_EQ(after.linearVelocity, before.linearVelocity) << c.message;
        ASSERT_FALSE(body.errors.empty()) << c.message;
        EXPECT_EQ(body.errors.front(), c.message);
    }
}

}  // namespace
