#include "physics/RollingForces.h"
#include "physics/VehicleModel.h"

#include <algorithm>
#include <limits>
#include <numbers>

namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;
constexpr double kStraightSteerLimit = 0.001;
constexpr int kMaxPushOutPasses = 100;
// Enough sweeps of the tyre and brake solve for four wheels on one body to settle.
constexpr int kSolverSweeps = 10;
// The velocity change of a sweep, relative to the speed, below which the solve has settled.
constexpr double kSolverTolerance = 1e-12;

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
    // The wheel torques as the four-wheel case and the hand-off see them: the net spin torque and
    // the brake, limited as a brake acting on its own would be. The solve below settles the brake
    // torque for good; these values are its starting point.
    for (Wheel& w : wheels) {
        const double net = w.spinTorque - w.driveTorque;
        w.torque = net;
        if (!(w.brakeTorque > 0) || w.spin == 0.0 || w.directForce)
            continue;
        const double against = -Sign(w.spin);
        if (w.contactCount == 0) {
            w.torque = net + against * FreeWheelBrake(w, dt);
        } else if (!w.contacts[0].sliding) {
            const double stop = w.radius * (w.spin * w.radius / dt - Dot(gravity, w.contacts[0].tangent1)) *
                                chassisMass / gripping;
            w.torque = net + against * std::min(w.brakeTorque, std::fabs(stop));
        } else {
            const double slowing = slidingThreshold * w.spinInertia / (w.radius * dt);
            w.torque = net + against * std::min(w.brakeTorque, slowing);
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

    // What is settled before the tyre and brake solve acts: the net spin torques (the wheel takes
    // them, the chassis the reaction) and the normal forces.
    for (int i = 0; i < kWheels; ++i) {
        Wheel& w = wheels[i];
        w.brakeForce = w.directForce ? 0.0 : w.torque - (w.spinTorque - w.driveTorque);
        if (!w.directForce) {
            w.torque = w.spinTorque - w.driveTorque;
            w.spinTorque = w.torque;
            AddTorque(w.axis * -w.torque);
        }
        // The first contact's normal force is part of the solve; further ones (never merged) act
        // as estimated.
        for (int k = 1; k < w.contactCount; ++k) {
            WheelContact& c = w.contacts[k];
            c.normalForce = std::max(c.normalForce, 0.0);
            if (c.normalForce > 0)
                ApplyContactForce(i, c, c.normal * c.normalForce);
        }
    }
    SolveTyreAndBrakeForces();
    for (int i = 0; i < kWheels; ++i) {
        Wheel& w = wheels[i];
        if (!w.directForce) {
            w.torque += w.brakeForce;
            w.spinTorque += w.brakeForce;
            AddTorque(w.axis * -w.brakeForce);
        }
        if (w.contactCount == 0)
            continue;
        const WheelContact& c = w.contacts[0];
        if (c.normalForce > 0)
            ApplyContactForce(i, c, c.normal * c.normalForce + c.tangent1 * c.tangentForce1 + c.tangent2 * c.tangentForce2);
        w.tangentialSpeed = std::hypot(c.tangentSpeed1, c.tangentSpeed2);
        if (c.sliding)
            w.frictionUse = 2.0;
        else if (!(c.normalForce > 0))
            w.frictionUse = -2.0;
        else
            w.frictionUse = std::hypot(c.tangentForce1, c.tangentForce2) / (c.friction * c.normalForce);
    }
}

// A contact force reaches the chassis at the suspension; about the wheel it acts one radius from
// the centre, as the contact point lies from the mount. A held wheel is part of the chassis.
void VehicleModel::ApplyContactForce(int i, const WheelContact& c, const Vector3d& f)
{
    const Wheel& w = wheels[i];
    if (w.directForce) {
        AddWheelForce(f, c.point, i);
    } else {
        AddForceAtPoint(f, w.mountPosition + rotation.Row(1) * w.displacement);
        AddWheelTorque(Cross(c.point - w.mountPosition, f), i);
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
            // The damper acts both ways: damping only the compression lifts the body whenever it
            // pitches or rolls (the compressing side pushes, the extending side does not pull),
            // which a hard stop turns into a lifted axle. The ground never pulls: the force stays
            // at or above 0.
            const double f = std::max(w.stiffness * c.depth + w.stiffness * dt * vn - w.damping * vn, 0.0);
            c.normalForce = f;
            c.tangentForce1 = c.tangentForce2 = 0.0;
            if (k == 0)
                w.suspensionEstimate = f;
        }
    }
    if (fourWheelCase)
        SolveFourWheelCase();

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
        // The starting point of the tyre and brake solve.
        c.tangentForce1 = w.activeForce1;
        c.tangentForce2 = w.activeForce2;
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

// The tyre and brake solve. Tyres and brakes are both dry friction: a tyre either grips (its
// contact point ends the step at rest on the ground) or slides with its friction bound against the
// slip, and a brake either holds the wheel to the chassis or slips at its full torque. A wheel's
// spin inertia is small beside the chassis, so any explicit rule (a torque applied for the whole
// step, a force proportional to the slip at its start) overshoots unless the step is tiny, and the
// answer then depends on the step. Instead the forces are solved for the velocities they leave at
// the end of the step, exactly as the integration will produce them:
//  1. The motion the step gives without the first contacts' forces and the brakes (gravity, drive
//     and gyroscopic torques, further contacts; all already in the accumulators).
//  2. Per wheel, first the normal force: the suspension estimate, changed by (damping + stiffness x
//     dt) times the change of the normal velocity within the step, never negative. Held constant
//     over a long step, the estimate let the load shift of a hard stop arrive a step late and the
//     friction it allowed pitch the car further each step.
//  3. Then a block of three unknowns (brake torque, tyre force along t1 and t2) with their exact
//     effect on the body, its rotation and the wheel's spin, solved in closed form: the brake
//     holding (its torque eliminated) with the tyre gripping or, beyond its bound (friction in
//     force x normal force), sliding at that bound against the slip; when the holding torque
//     exceeds the brake, the brake slips at its full torque and the tyre is solved again. A
//     gripping tyre that cannot hold and would end the step sliding faster than the sliding
//     threshold slides for the whole step (its sliding friction), so the step's length does not
//     decide how long a locked wheel grips.
//  4. The wheels share the body, so the wheels are solved in turn and the sweep repeated
//     (projected Gauss-Seidel, at most kSolverSweeps) until a sweep no longer changes the
//     velocities, starting from the four-wheel or hand-off forces.
// Every force only removes velocity or stays within its bound, so with no drive torque the contacts
// never add energy; a stopped, braked vehicle stays stopped, and a locked wheel is simply a brake
// that holds while its tyre slides.
void VehicleModel::SolveTyreAndBrakeForces()
{
    const double dt = stepTime;
    const Vector3d up = rotation.Row(1);
    Vector3d a, alpha;
    ComputeAccelerations(worldInertia, worldInertiaInverse, velocity, angularVelocity, dt, a, alpha);
    Motion motion;
    motion.velocity = velocity + a * dt;
    motion.angularVelocity = angularVelocity + alpha * dt;
    for (int i = 0; i < kWheels; ++i)
        motion.spin[i] = wheels[i].hold ? 0.0 : wheels[i].spin + dt * wheels[i].spinTorque * wheels[i].inverseSpinInertia;

    const double linear = LinearVelocityPerForce(dt);
    WheelBlock blocks[kWheels];
    for (int i = 0; i < kWheels; ++i) {
        Wheel& w = wheels[i];
        WheelBlock& b = blocks[i];
        b.brake = !w.directForce && w.brakeTorque > 0;
        b.brakeLimit = b.brake ? w.brakeTorque : 0.0;
        if (w.contactCount > 0) {
            const WheelContact& c = w.contacts[0];
            b.normal = true;
            b.normalEstimate = std::max(c.normalForce, 0.0);
            b.normalForce = b.normalEstimate;
            b.normalGain = w.damping + w.stiffness * dt;
            b.normalSpeed = c.normalSpeed;
            b.friction = c.friction;
            b.slidingFriction = w.friction / staticToSlidingRatio;
            b.slidingSpeed = slidingThreshold;
            b.slides = c.sliding != 0;
            b.tyreLimit = c.friction * b.normalForce;
            b.tyre = b.friction > 0;
        }
        // What one unit of each unknown does to the motion.
        b.dw[0] = worldInertiaInverse.Multiply(w.axis * -dt);
        b.ds[0] = dt * w.inverseSpinInertia;
        if (w.contactCount > 0) {
            const WheelContact& c = w.contacts[0];
            const Vector3d arm = c.point - w.mountPosition;
            const Vector3d suspension = w.mountPosition + up * w.displacement;
            for (int r = 0; r < 3; ++r) {
                const Vector3d t = r == 0 ? c.normal : (r == 1 ? c.tangent1 : c.tangent2);
                Vector3d torque;
                double spinTorque = 0.0;
                if (w.directForce) {
                    torque = Cross(c.point - position, t);
                } else {
                    const Vector3d aboutWheel = Cross(arm, t);
                    spinTorque = Dot(aboutWheel, w.axis);
                    torque = Cross(suspension - position, t) + aboutWheel - w.axis * spinTorque;
                }
                if (r == 0) {
                    b.dvNormal = t * linear;
                    b.dwNormal = worldInertiaInverse.Multiply(torque * dt);
                    b.dsNormal = dt * spinTorque * w.inverseSpinInertia;
                    continue;
                }
                b.dv[r] = t * linear;
                b.dw[r] = worldInertiaInverse.Multiply(torque * dt);
                b.ds[r] = dt * spinTorque * w.inverseSpinInertia;
            }
            Motion unit;
            unit.velocity = b.dvNormal;
            unit.angularVelocity = b.dwNormal;
            unit.spin[i] = b.dsNormal;
            b.kNormal = MeasureNormalSpeed(i, unit);
        }
        for (int col = 0; col < 3; ++col) {
            Motion unit;
            unit.velocity = b.dv[col];
            unit.angularVelocity = b.dw[col];
            unit.spin[i] = b.ds[col];
            double seen[3];
            MeasureWheel(i, unit, seen);
            for (int row = 0; row < 3; ++row)
                b.k[row][col] = seen[row];
        }
        // Start from the forces the four-wheel case or the hand-off chose, within their bounds.
        if (b.brake)
            b.force[0] = std::clamp(w.brakeForce, -b.brakeLimit, b.brakeLimit);
        if (b.normal) {
            motion.velocity += b.dvNormal * b.normalForce;
            motion.angularVelocity += b.dwNormal * b.normalForce;
            motion.spin[i] += b.dsNormal * b.normalForce;
        }
        if (b.tyre) {
            const WheelContact& c = w.contacts[0];
            double f1 = c.tangentForce1, f2 = c.tangentForce2;
            const double size = std::hypot(f1, f2);
            if (size > b.tyreLimit) {
                f1 *= b.tyreLimit / size;
                f2 *= b.tyreLimit / size;
            }
            b.force[1] = f1;
            b.force[2] = f2;
        }
        for (int col = 0; col < 3; ++col) {
            motion.velocity += b.dv[col] * b.force[col];
            motion.angularVelocity += b.dw[col] * b.force[col];
            motion.spin[i] += b.ds[col] * b.force[col];
        }
    }

    // The sweeps end when they no longer change any velocity at the wheels noticeably: the
    // forces may still drift along distributions that move nothing, which is harmless.
    const double lever = std::max(Length(r0Param), Length(r1Param));
    for (int sweep = 0; sweep < kSolverSweeps; ++sweep) {
        const Motion before = motion;
        for (int i = 0; i < kWheels; ++i) {
            WheelBlock& b = blocks[i];
            if (b.brake || b.normal)
                SolveWheelBlock(i, b, motion);
        }
        double change = std::max(Length(motion.velocity - before.velocity),
                                 Length(motion.angularVelocity - before.angularVelocity) * lever);
        for (int i = 0; i < kWheels; ++i)
            change = std::max(change, std::fabs(motion.spin[i] - before.spin[i]) * wheels[i].radius);
        if (change <= kSolverTolerance * (Length(motion.velocity) + Length(gravity) * dt))
            break;
    }

    // Four gripping tyres are one constraint too many sideways: the pattern of lateral forces
    // (+, -, +, -) over wheels 0 to 3 moves nothing and pushes nothing, and the sweeps leave an
    // arbitrary amount of it. The least squeezing distribution drops it.
    bool allGrip = true;
    for (const WheelBlock& b : blocks)
        allGrip = allGrip && b.tyre && !b.slides && std::hypot(b.force[1], b.force[2]) < b.tyreLimit;
    if (allGrip) {
        const double pattern[kWheels] = {1.0, -1.0, 1.0, -1.0};
        double squeeze = 0.0;
        for (int i = 0; i < kWheels; ++i)
            squeeze += pattern[i] * blocks[i].force[2] / kWheels;
        bool within = true;
        for (int i = 0; i < kWheels; ++i)
            within = within && std::hypot(blocks[i].force[1], blocks[i].force[2] - pattern[i] * squeeze) <= blocks[i].tyreLimit;
        if (within)
            for (int i = 0; i < kWheels; ++i)
                blocks[i].force[2] -= pattern[i] * squeeze;
    }

    for (int i = 0; i < kWheels; ++i) {
        Wheel& w = wheels[i];
        const WheelBlock& b = blocks[i];
        w.brakeForce = b.force[0];
        // A holding brake stops the wheel; rounding must not turn it round.
        w.brakeStops = b.brake && std::fabs(b.force[0]) < b.brakeLimit;
        if (w.contactCount > 0) {
            WheelContact& c = w.contacts[0];
            if (b.slides && !c.sliding) {
                c.sliding = 1;
                c.friction = b.friction;
            }
            c.normalForce = b.normalForce;
            c.tangentForce1 = b.force[1];
            c.tangentForce2 = b.force[2];
        }
    }
}

double VehicleModel::MeasureNormalSpeed(int i, const Motion& m) const
{
    const Wheel& w = wheels[i];
    const WheelContact& c = w.contacts[0];
    if (w.hold)
        return Dot(m.velocity + Cross(m.angularVelocity, w.mountPosition - position), c.normal);
    return Dot(m.velocity + Cross(m.angularVelocity, c.point - position) +
                   Cross(w.axis * m.spin[i], c.point - w.mountPosition),
               c.normal);
}

// What a wheel's unknowns act on at the end of the step: its spin (the brake) and its contact
// point's velocity along t1 and t2 (the tyre).
void VehicleModel::MeasureWheel(int i, const Motion& m, double out[3]) const
{
    const Wheel& w = wheels[i];
    out[0] = m.spin[i];
    out[1] = out[2] = 0.0;
    if (w.contactCount == 0)
        return;
    const WheelContact& c = w.contacts[0];
    Vector3d v;
    if (w.hold)
        v = m.velocity + Cross(m.angularVelocity, w.mountPosition - position);
    else
        v = m.velocity + Cross(m.angularVelocity, c.point - position) +
            Cross(w.axis * m.spin[i], c.point - w.mountPosition);
    out[1] = Dot(v, c.tangent1);
    out[2] = Dot(v, c.tangent2);
}

namespace {

// Solves the 2 x 2 system m x = r; false when it is singular.
bool Solve2(const double m[2][2], const double r[2], double x[2])
{
    const double det = m[0][0] * m[1][1] - m[0][1] * m[1][0];
    const double size = std::fabs(m[0][0] * m[1][1]) + std::fabs(m[0][1] * m[1][0]);
    if (!(std::fabs(det) > 1e-14 * size))
        return false;
    x[0] = (r[0] * m[1][1] - r[1] * m[0][1]) / det;
    x[1] = (m[0][0] * r[1] - m[1][0] * r[0]) / det;
    return true;
}

// The tyre force that stops the slip u under the response m. Beyond the bound the tyre slides: its
// force opposes the slip, each component at most what would stop that component alone.
void GripOrSlide(const double m[2][2], const double u[2], double limit, double f[2])
{
    const double r[2] = {-u[0], -u[1]};
    if (!Solve2(m, r, f)) {
        f[0] = m[0][0] > 0 ? r[0] / m[0][0] : 0.0;
        f[1] = m[1][1] > 0 ? r[1] / m[1][1] : 0.0;
    }
    if (!(std::hypot(f[0], f[1]) > limit))
        return;
    const double slip = std::hypot(u[0], u[1]);
    for (int j = 0; j < 2; ++j) {
        const double stop = m[j][j] > 0 ? std::fabs(u[j]) / m[j][j] : 0.0;
        f[j] = slip > 0 ? -Sign(u[j]) * std::min(limit * std::fabs(u[j]) / slip, stop) : 0.0;
    }
}

}  // namespace

void VehicleModel::SolveWheelBlock(int i, WheelBlock& b, Motion& motion) const
{
    if (b.normal) {
        const double others = MeasureNormalSpeed(i, motion) - b.kNormal * b.normalForce;
        const double n = std::max(
            (b.normalEstimate - b.normalGain * (others - b.normalSpeed)) / (1.0 + b.normalGain * b.kNormal), 0.0);
        const double delta = n - b.normalForce;
        if (delta != 0.0) {
            motion.velocity += b.dvNormal * delta;
            motion.angularVelocity += b.dwNormal * delta;
            motion.spin[i] += b.dsNormal * delta;
            b.normalForce = n;
        }
        b.tyreLimit = b.friction * n;
    }
    double seen[3];
    MeasureWheel(i, motion, seen);
    // The velocities without this wheel's own forces.
    double u[3];
    for (int r = 0; r < 3; ++r)
        u[r] = seen[r] - (b.k[r][0] * b.force[0] + b.k[r][1] * b.force[1] + b.k[r][2] * b.force[2]);
    double f[3] = {0.0, 0.0, 0.0};
    for (int attempt = 0; attempt < 2; ++attempt) {
        f[0] = f[1] = f[2] = 0.0;
        if (!b.tyre) {
            f[0] = std::clamp(-u[0] / b.k[0][0], -b.brakeLimit, b.brakeLimit);
        } else if (!b.brake) {
            const double m[2][2] = {{b.k[1][1], b.k[1][2]}, {b.k[2][1], b.k[2][2]}};
            const double slip[2] = {u[1], u[2]};
            GripOrSlide(m, slip, b.tyreLimit, f + 1);
        } else {
            // The brake holding: its torque follows the tyre force, f0 = -(u0 + k01 f1 + k02 f2) / k00.
            const double k00 = b.k[0][0];
            const double m[2][2] = {{b.k[1][1] - b.k[1][0] * b.k[0][1] / k00, b.k[1][2] - b.k[1][0] * b.k[0][2] / k00},
                                    {b.k[2][1] - b.k[2][0] * b.k[0][1] / k00, b.k[2][2] - b.k[2][0] * b.k[0][2] / k00}};
            const double slip[2] = {u[1] - b.k[1][0] * u[0] / k00, u[2] - b.k[2][0] * u[0] / k00};
            GripOrSlide(m, slip, b.tyreLimit, f + 1);
            f[0] = -(u[0] + b.k[0][1] * f[1] + b.k[0][2] * f[2]) / k00;
            if (std::fabs(f[0]) > b.brakeLimit) {
                // The brake slips at its full torque; the tyre takes what is left.
                f[0] = std::clamp(f[0], -b.brakeLimit, b.brakeLimit);
                const double fixed[2][2] = {{b.k[1][1], b.k[1][2]}, {b.k[2][1], b.k[2][2]}};
                const double rest[2] = {u[1] + b.k[1][0] * f[0], u[2] + b.k[2][0] * f[0]};
                GripOrSlide(fixed, rest, b.tyreLimit, f + 1);
            }
        }
        if (!b.tyre || b.slides)
            break;
        // A gripping tyre that cannot hold and ends the step sliding faster than the threshold
        // slides for the whole step, so that the step's length does not decide how long it grips.
        const double end1 = u[1] + b.k[1][0] * f[0] + b.k[1][1] * f[1] + b.k[1][2] * f[2];
        const double end2 = u[2] + b.k[2][0] * f[0] + b.k[2][1] * f[1] + b.k[2][2] * f[2];
        if (!(std::hypot(end1, end2) > b.slidingSpeed))
            break;
        b.slides = true;
        b.friction = b.slidingFriction;
        b.tyreLimit = b.friction * b.normalForce;
    }
    for (int r = 0; r < 3; ++r) {
        const double delta = f[r] - b.force[r];
        if (delta == 0.0)
            continue;
        motion.velocity += b.dv[r] * delta;
        motion.angularVelocity += b.dw[r] * delta;
        motion.spin[i] += b.ds[r] * delta;
        b.force[r] = f[r];
    }
}
