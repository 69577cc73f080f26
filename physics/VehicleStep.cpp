#include "physics/RollingForces.h"
#include "physics/VehicleModel.h"

#include <algorithm>
#include <limits>
#include <numbers>

namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;
constexpr double kStraightSteerLimit = 0.001;
constexpr int kMaxPushOutPasses = 100;

double Sign(double v)
{
    return v > 0 ? 1.0 : (v < 0 ? -1.0 : 0.0);
}

}  // namespace

// The brake torque on a wheel without ground contact: at most what stops its spin within dt.
double VehicleModel::FreeWheelBrake(Wheel& w, double dt)
{
    const double stopping = w.spinInertia * std::fabs(w.spin) / dt;
    w.brakeStops = w.brakeTorque >= stopping;
    return std::min(w.brakeTorque, stopping);
}

void VehicleModel::Step(double dt)
{
    if (!std::isfinite(dt) || dt < 0.0) {
        QueryHook1("VehicleModel::Step: the time step must be finite and not negative.");
        return;
    }
    if (!configured) {
        QueryHook1("VehicleModel::Step: the body parameters are not set.");
        return;
    }
    stepTime = dt;
    for (Wheel& w : wheels) {
        w.directForce = w.hold;
        w.brakeStops = false;
    }
    if (dt != 0.0) {
        chassisOffset = {};
        for (Wheel& w : wheels)
            w.displacementShown = 0.0;
    }
    if (dirty)
        UpdateWheelFrames();
    if (dt != 0.0) {
        // A held wheel is part of the chassis: its angular momentum goes to the body.
        for (Wheel& w : wheels)
            if (w.hold && w.spin != 0.0) {
                AddAngularImpulse(w.axis * (w.spinInertia * w.spin));
                w.spin = 0.0;
            }
    }
    for (Wheel& w : wheels)
        w.spin += w.spinImpulse * w.inverseSpinInertia;
    ApplyImpulses();
    // The contact velocities below must see the velocities the impulses left.
    UpdateWheelFrames();

    fourWheelSolved = false;
    if (dt != 0.0) {
        for (Wheel& w : wheels) {
            w.displacementTarget = 0.0;
            w.contactCount = 0;
            w.tangentialSpeed = -1.0;
            w.frictionUse = -1.0;
        }
        inQuery = 1;
        QueryWheelContacts();
        inQuery = 0;
        PrepareWheelContacts();

        Vector3d gyroscopic;
        for (const Wheel& w : wheels)
            gyroscopic -= Cross(angularVelocity, w.axis) * (w.spinInertia * w.spin);
        AddTorque(gyroscopic);

        bool anyContact = false;
        for (const Wheel& w : wheels)
            anyContact = anyContact || w.contactCount > 0;
        if (anyContact) {
            ApplyWheelContactForces();
            Integrate(dt, 0);
        } else {
            IntegrateRK4(dt, 1);
            for (Wheel& w : wheels) {
                double t = w.spinTorque - w.driveTorque;
                if (w.brakeTorque > 0 && w.spin != 0.0)
                    t -= Sign(w.spin) * FreeWheelBrake(w, dt);
                w.spinTorque = t;
                AddTorque(w.axis * -t);
                w.displacement *= std::exp(-dt * std::sqrt(w.stiffness / w.mass));
            }
        }
        for (Wheel& w : wheels) {
            w.spinAcceleration = w.spinTorque * w.inverseSpinInertia;
            double spin = w.hold ? 0.0 : w.spin + dt * w.spinAcceleration;
            // A brake strong enough to stop the wheel within the step stops it; rounding must not
            // turn it round.
            if (w.brakeStops && spin * w.spin <= 0.0)
                spin = 0.0;
            if (std::isfinite(spin)) {
                w.spin = spin;
            } else {
                w.spinAcceleration = 0.0;
                QueryHook1("VehicleModel::Step: a wheel spin became non-finite; it was kept.");
            }
            w.rollAngle = std::fmod(w.rollAngle + dt * w.spin, kTwoPi);
        }
    }
    for (Wheel& w : wheels) {
        w.spinImpulse = 0.0;
        if (dt != 0.0)
            w.spinTorque = w.persistentSpinTorque;
        w.directForce = w.hold;
    }
    UpdateWheelFrames();
    for (int i = 0; i < kWheels; ++i)
        ComputeWheelMatrix(i, wheels[i].matrix);
}

void VehicleModel::PrepareWheelContacts()
{
    for (Wheel& w : wheels) {
        if (w.contactCount > 1) {
            const Vector3d centre = w.mountPosition;
            double total = 0.0;
            Vector3d point, normal;
            for (int k = 0; k < w.contactCount; ++k) {
                const WheelContact& c = w.contacts[k];
                total += c.depth;
                point += c.point * c.depth;
                normal += c.normal * c.depth;
            }
            if (!(total > 0.0)) {
                // No contact presses in: the deepest one stands for them all.
                int deepest = 0;
                for (int k = 1; k < w.contactCount; ++k)
                    if (w.contacts[k].depth > w.contacts[deepest].depth)
                        deepest = k;
                w.contacts[0] = w.contacts[deepest];
                w.contactCount = 1;
            } else {
                point = point / total;
                normal = normal / total;
                Vector3d rolling = Normalized(Cross(point - centre, w.axis));
                normal = Normalized(normal - rolling * Dot(normal, rolling));
                if (Length(normal) == 0.0)
                    normal = Normalized(w.contacts[0].normal);
                Vector3d rel = point - centre;
                rel -= w.axis * Dot(rel, w.axis);
                Vector3d merged = Length(rel) > 0 ? centre + Normalized(rel) * w.radius : centre - normal * w.radius;
                double depth = -std::numeric_limits<double>::infinity();
                for (int k = 0; k < w.contactCount; ++k)
                    depth = std::max(depth, Dot(normal, w.contacts[k].normal) * w.contacts[k].depth);
                WheelContact& c = w.contacts[0];
                c = WheelContact{};
                c.normal = normal;
                c.point = merged;
                c.depth = depth;
                w.contactCount = 1;
            }
        }
        for (int k = 0; k < w.contactCount; ++k) {
            WheelContact& c = w.contacts[k];
            c.tangent1 = Normalized(Cross(c.normal, w.axis));
            if (Length(c.tangent1) == 0.0) {
                Vector3d other;
                PerpendicularBasis(c.normal, c.tangent1, other);
            }
            c.tangent2 = Cross(c.tangent1, c.normal);
            c.velocity = w.hold ? w.mountVelocity
                                : w.mountVelocity + Cross(w.angularVelocity, c.point - w.mountPosition);
            c.normalSpeed = Dot(c.velocity, c.normal);
            c.tangentSpeed1 = Dot(c.velocity, c.tangent1);
            c.tangentSpeed2 = Dot(c.velocity, c.tangent2);
            double slip = std::hypot(c.tangentSpeed1, c.tangentSpeed2);
            if (slip > slidingThreshold || w.friction == 0.0) {
                c.friction = w.friction / staticToSlidingRatio;
                c.sliding = 1;
            } else {
                c.friction = w.friction;
                c.sliding = 0;
            }
        }
    }
}

void VehicleModel::ApplyWheelContactForces()
{
    const double dt = stepTime;
    int gripping = 0;
    for (const Wheel& w : wheels)
        if (w.contactCount > 0 && !w.contacts[0].sliding)
            ++gripping;
    const double g = Length(gravity);
    for (Wheel& w : wheels) {
        const double net = w.spinTorque - w.driveTorque;
        w.torque = net;
        if (!(w.brakeTorque > 0) || w.spin == 0.0)
            continue;
        const double against = -Sign(w.spin);
        if (w.contactCount == 0) {
            // A wheel in the air brakes as a free wheel does.
            w.torque = net + against * FreeWheelBrake(w, dt);
        } else if (!w.contacts[0].sliding) {
            const double stop = w.radius * (w.spin * w.radius / dt - Dot(gravity, w.contacts[0].tangent1)) *
                                chassisMass / gripping;
            w.torque = net + against * std::min(w.brakeTorque, std::fabs(stop));
        } else {
            const double d = w.driveTorque - w.brakeTorque * Sign(w.spin);
            if (g * mass * w.radius * w.friction < std::fabs(d) && d * w.spin < 0) {
                w.directForce = 1;
                w.torque = 0.0;
            } else {
                const double slowing = slidingThreshold * w.spinInertia / (w.radius * dt);
                w.torque = net + against * std::min(w.brakeTorque, slowing);
            }
        }
    }

    SolveWheelContactForces();

    const Vector3d up = rotation.Row(1);
    for (Wheel& w : wheels) {
        bool relaxes = w.contactCount == 0;
        if (!relaxes) {
            bool upright = Dot(w.contacts[0].normal, up) > 0;
            relaxes = upright ? w.displacementTarget > w.displacement : w.displacementTarget < w.displacement;
        }
        if (relaxes)
            w.displacement = w.displacementTarget + std::exp(-dt * std::sqrt(w.stiffness / w.mass)) *
                                                        (w.displacement - w.displacementTarget);
        else
            w.displacement = w.displacementTarget;
        w.displacementShown = w.displacement;
    }

    for (int i = 0; i < kWheels; ++i) {
        Wheel& w = wheels[i];
        if (!w.directForce) {
            // The wheel torque is internal: the wheel takes it and the chassis the reaction.
            w.spinTorque = w.torque;
            AddTorque(w.axis * -w.torque);
        }
        for (int k = 0; k < w.contactCount; ++k) {
            const WheelContact& c = w.contacts[k];
            if (!(c.normalForce > 0))
                continue;
            const Vector3d f = c.normal * c.normalForce + c.tangent1 * c.tangentForce1 + c.tangent2 * c.tangentForce2;
            if (w.directForce) {
                AddWheelForce(f, c.point, i);
            } else {
                // The force reaches the chassis at the suspension; about the wheel it acts one
                // radius from the centre, as the contact point lies from the mount.
                AddForceAtPoint(f, w.mountPosition + up * w.displacement);
                AddWheelTorque(Cross(c.point - w.mountPosition, f), i);
            }
        }
    }
}

void VehicleModel::SolveWheelContactForces()
{
    const double dt = stepTime;
    bool fourWheelCase = true;
    for (Wheel& w : wheels) {
        w.activeForce1 = w.activeForce2 = 0.0;
        w.suspensionEstimate = 0.0;
        if (w.contactCount != 1 || w.contacts[0].sliding)
            fourWheelCase = false;
        for (int k = 0; k < w.contactCount; ++k) {
            WheelContact& c = w.contacts[k];
            const double vn = c.normalSpeed;
            double f = w.stiffness * c.depth + w.stiffness * dt * vn;
            if (vn < 0)
                f -= w.damping * vn;
            c.normalForce = f;
            c.tangentForce1 = c.tangentForce2 = 0.0;
            if (k == 0)
                w.suspensionEstimate = f;
        }
    }
    if (fourWheelCase)
        SolveFourWheelCase();

    int held = 0;
    for (const Wheel& w : wheels)
        held += w.directForce ? 1 : 0;
    const Vector3d up = rotation.Row(1);
    for (Wheel& w : wheels) {
        if (w.contactCount == 0)
            continue;
        WheelContact& c = w.contacts[0];
        // Hand-off of the wheel torque to the ground when no four-wheel solution carries it. A held
        // wheel is part of the chassis and passes no torque.
        if (!fourWheelSolved && !w.directForce && w.torque != 0.0 && !c.sliding &&
            c.friction * c.normalForce > std::fabs(w.torque) / w.radius) {
            w.activeForce1 = -w.torque / w.radius;
            w.activeForce2 = 0.0;
        }
        ApplyRefinement(w, dt, held);
    }

    // Ground or obstacle: steep contacts move the drawn chassis instead of the wheel.
    struct PushOut {
        Vector3d normal;
        double amount;
    } pushes[kWheels * kMaxContacts];
    int pushCount = 0;
    for (Wheel& w : wheels) {
        double target = 0.0;
        for (int k = 0; k < w.contactCount; ++k) {
            const WheelContact& c = w.contacts[k];
            const double along = Dot(c.normal, up);
            const double u = std::fabs(along);
            const double t = (u - 0.3) / (0.8 - 0.3);
            double candidate = 0.0;
            if (u > 0.8) {
                candidate = c.depth / along;
            } else if (u < 0.3) {
                pushes[pushCount++] = {c.normal, c.depth};
            } else {
                candidate = t * c.depth / along;
                pushes[pushCount++] = {c.normal, (1 - t) * c.depth};
            }
            if (std::fabs(candidate) > std::fabs(target))
                target = candidate;
        }
        w.displacementTarget = target;
    }
    const double tolerance = 0.001 * wheels[0].radius;
    for (int pass = 0; pass < kMaxPushOutPasses; ++pass) {
        int largest = -1;
        for (int p = 0; p < pushCount; ++p)
            if (pushes[p].amount > tolerance && (largest < 0 || pushes[p].amount > pushes[largest].amount))
                largest = p;
        if (largest < 0)
            break;
        const PushOut taken = pushes[largest];
        chassisOffset += taken.normal * taken.amount;
        for (int p = 0; p < pushCount; ++p)
            pushes[p].amount -= Dot(pushes[p].normal, taken.normal) * taken.amount;
        pushes[largest].amount = 0.0;
    }
}

void VehicleModel::SolveFourWheelCase()
{
    // The ground normal is the mean of the four contact normals. It carries no tilt from the
    // wheels' depths: on level ground the depths differ whenever the wheels differ (front and
    // back radii, loads), and such a tilt would push a standing vehicle along.
    Vector3d n;
    for (const Wheel& w : wheels)
        n += w.contacts[0].normal;
    n = Normalized(n);
    const Vector3d ax = rotation.Row(0), up = rotation.Row(1), az = rotation.Row(2);
    const Vector3d inPlane = gravity - n * Dot(gravity, n);
    const double gx = Dot(inPlane, ax), gz = Dot(inPlane, az);

    int held = 0;
    for (const Wheel& w : wheels)
        held += w.directForce ? 1 : 0;
    double torques[kWheels];
    for (int i = 0; i < kWheels; ++i) {
        Wheel& w = wheels[i];
        if (w.directForce) {
            const WheelContact& c = w.contacts[0];
            double hold = w.radius * mass * Dot(inPlane, c.tangent1) / held;
            const double limit = c.friction * w.suspensionEstimate * w.radius;
            hold = std::clamp(hold, -std::fabs(limit), std::fabs(limit));
            w.torque = hold;
        }
        torques[i] = w.torque;
    }
    const double lever = Dot(wheels[0].contacts[0].normal, up) > 0 ? -1.0 : 1.0;
    const double rhoF = lever * wheels[0].radius, rhoB = lever * wheels[1].radius;
    const double x0 = r0Param.x, z0 = r0Param.z, x1 = r1Param.x, z1 = r1Param.z;
    const double jf = wheels[0].spinInertia, jb = wheels[1].spinInertia;
    Vector3d forces[kWheels];
    bool steered = false;
    if (std::fabs(steerInput) > kStraightSteerLimit) {
        double work[kRollingWorkSize];
        steered = SteeredRollingForces(work, torques, x0, z0, x1, z1, gx, gz, rhoF, rhoB, mass, inertia.y, jf, jb,
                                       wheels[0].steerAngle);
        if (steered)
            LeastSquaresWheelForces(forces, work);
    }
    if (!steered)
        StraightRollingForces(forces, torques, x0, z0, x1, z1, gx, gz, rhoF, rhoB, mass, jf, jb);
    for (int i = 0; i < kWheels; ++i) {
        WheelContact& c = wheels[i].contacts[0];
        const Vector3d f = rotation.TransposeMultiply(forces[i]);
        if (!IsFinite(f))
            return;  // nothing usable: the per-contact rules below carry the step
        c.normalForce += Dot(f, c.normal);
        wheels[i].activeForce1 = Dot(f, c.tangent1);
        wheels[i].activeForce2 = Dot(f, c.tangent2);
    }
    fourWheelSolved = true;
}

// The refinement of one wheel's contact force, after the suspension estimate, the four-wheel or
// hand-off forces (the "active" part, which drives or brakes) and before the force is applied:
//  1. The friction part reacts to the contact point's velocity: a gripping contact cancels its slip
//     over the grip time (velocity-cancelling terms with the wheel's effective masses), a sliding
//     one takes kinetic friction against the slip it would have at the end of the step under its
//     own wheel torque.
//  2. No overshoot: the friction part may at most stop that slip, never reverse it. Along the
//     rolling direction the limit is the rolling mass times the slip over dt (the wheel's own spin
//     dominates that mass); across it half the lateral mass times the slip over (grip time factor
//     x dt), as the grip terms use, so that four wheels sharing one body do not overshoot together.
//  3. The normal force is never negative; a contact without normal force carries nothing.
//  4. Friction budget: the whole tangential force (active plus friction part) lies within the
//     friction coefficient in force times the normal force; larger forces are scaled down keeping
//     their direction, so the wheel spins up or locks instead and starts to slide.
// Every rule only removes velocity or caps forces, so with no drive or brake torque the contact
// forces never add energy; the spin follows the rolling-direction force through the wheel torque.
void VehicleModel::ApplyRefinement(Wheel& w, double dt, int held)
{
    WheelContact& c = w.contacts[0];
    const double estimate = w.suspensionEstimate;
    const double rollingMass = w.directForce ? 2 * w.longitudinalMass / held : w.rollingMass;
    const double lateralMass = w.lateralMass / 2;
    double slip1 = c.tangentSpeed1, slip2 = c.tangentSpeed2;
    double friction1 = 0.0, friction2 = 0.0;
    if (!c.sliding) {
        if (c.normalForce > 0) {
            friction1 = -slip1 * rollingMass / (gripTimeFactor * dt);
            friction2 = -slip2 * lateralMass / (gripTimeFactor * dt);
        }
    } else {
        // A sliding wheel keeps its torque, so its slip at the end of the step includes what that
        // torque adds to the spin.
        if (!w.directForce)
            slip1 += dt * Dot(Cross(w.axis, c.point - w.mountPosition), c.tangent1) * w.torque * w.inverseSpinInertia;
        const double slip = std::hypot(slip1, slip2);
        if (estimate > 0 && slip > 0) {
            friction1 = -c.friction * estimate * slip1 / slip;
            friction2 = -c.friction * estimate * slip2 / slip;
        }
    }
    const double stop1 = rollingMass * std::fabs(slip1) / dt;
    const double stop2 = lateralMass * std::fabs(slip2) / (gripTimeFactor * dt);
    friction1 = std::clamp(friction1, -stop1, stop1);
    friction2 = std::clamp(friction2, -stop2, stop2);

    c.normalForce = std::max(c.normalForce, 0.0);
    double f1 = w.activeForce1 + friction1;
    double f2 = w.activeForce2 + friction2;
    const double bound = c.friction * c.normalForce;
    const double size = std::hypot(f1, f2);
    if (size > bound) {
        const double scale = size > 0 ? bound / size : 0.0;
        f1 *= scale;
        f2 *= scale;
    }
    c.tangentForce1 = f1;
    c.tangentForce2 = f2;

    w.tangentialSpeed = std::hypot(c.tangentSpeed1, c.tangentSpeed2);
    if (c.sliding)
        w.frictionUse = 2.0;
    else if (!(c.normalForce > 0))
        w.frictionUse = -2.0;
    else
        w.frictionUse = std::hypot(f1, f2) / bound;
}
