#include "physics/RigidBody.h"

namespace {

// The velocity change over dt of a value relaxing with time constant tau, divided by dt and
// per unit of the distance from its target.
double RelaxationRate(double dt, double tau)
{
    return (1.0 - std::exp(-dt / tau)) / dt;
}

Matrix3d InverseByCofactors(const Matrix3d& a)
{
    const auto& m = a.m;
    Matrix3d c;
    c.m[0][0] = m[1][1] * m[2][2] - m[1][2] * m[2][1];
    c.m[0][1] = m[0][2] * m[2][1] - m[0][1] * m[2][2];
    c.m[0][2] = m[0][1] * m[1][2] - m[0][2] * m[1][1];
    c.m[1][0] = m[1][2] * m[2][0] - m[1][0] * m[2][2];
    c.m[1][1] = m[0][0] * m[2][2] - m[0][2] * m[2][0];
    c.m[1][2] = m[0][2] * m[1][0] - m[0][0] * m[1][2];
    c.m[2][0] = m[1][0] * m[2][1] - m[1][1] * m[2][0];
    c.m[2][1] = m[0][1] * m[2][0] - m[0][0] * m[2][1];
    c.m[2][2] = m[0][0] * m[1][1] - m[0][1] * m[1][0];
    double det = m[0][0] * c.m[0][0] + m[0][1] * c.m[1][0] + m[0][2] * c.m[2][0];
    for (auto& row : c.m)
        for (double& v : row)
            v /= det;
    return c;
}

}  // namespace

bool IsFinite(const RigidBodyState& s)
{
    return IsFinite(s.orientation) && IsFinite(s.position) && IsFinite(s.angularVelocity) &&
           IsFinite(s.linearVelocity);
}

RigidBody::RigidBody()
{
    RigidBody::SetState(RigidBodyState{});
    RebuildForce();
    RebuildTorque();
}

void RigidBody::QueryHook1(const char*) {}
void RigidBody::QueryHook2(const char*) {}

void RigidBody::GetState(RigidBodyState& state) const
{
    state.orientation = orientation;
    state.position = position;
    state.angularVelocity = angularVelocity;
    state.linearVelocity = velocity;
}

void RigidBody::SetState(const RigidBodyState& state)
{
    if (!IsFinite(state)) {
        QueryHook1("RigidBody::SetState: the state is not finite; it was refused.");
        return;
    }
    orientation = NormalizedRotation(state.orientation);
    position = state.position;
    angularVelocity = state.angularVelocity;
    velocity = state.linearVelocity;
    dirty = 1;
}

void RigidBody::GetWorldMatrix(Matrix4d& matrix) const
{
    Matrix3d r = MatrixFromQuaternion(orientation);
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j)
            matrix.m[i][j] = r.m[i][j];
        matrix.m[i][3] = 0.0;
    }
    matrix.m[3][0] = position.x;
    matrix.m[3][1] = position.y;
    matrix.m[3][2] = position.z;
    matrix.m[3][3] = 1.0;
}

void RigidBody::GetPosition(Vector3d& p) const
{
    p = position;
}

bool RigidBody::SetMassProperties(double newMass, const Vector3d& moments)
{
    if (!(newMass > 0.0) || !std::isfinite(newMass) || !(moments.x > 0.0) || !(moments.y > 0.0) ||
        !(moments.z > 0.0) || !IsFinite(moments)) {
        QueryHook1("RigidBody::SetMassProperties: mass and moments of inertia must be positive and finite.");
        return false;
    }
    mass = newMass;
    inertia = moments;
    dirty = 1;
    return true;
}

void RigidBody::SetGravity(const Vector3d& g)
{
    if (!IsFinite(g)) {
        QueryHook1("RigidBody::SetGravity: gravity is not finite; it was refused.");
        return;
    }
    gravity = g;
}

void RigidBody::SetDampingTimes(double linear, double angular)
{
    if (std::isnan(linear) || std::isnan(angular)) {
        QueryHook1("RigidBody::SetDampingTimes: a time constant is not a number; it was refused.");
        return;
    }
    linearDampingTime = linear;
    angularDampingTime = angular;
}

void RigidBody::GetInverseInertia(Matrix3d& inverse)
{
    if (dirty)
        RefreshDerived();
    inverse = worldInertiaInverse;
}

void RigidBody::SetOrientation(const Quaterniond& q)
{
    if (!IsFinite(q)) {
        QueryHook1("RigidBody::SetOrientation: the orientation is not finite; it was refused.");
        return;
    }
    orientation = NormalizedRotation(q);
    dirty = 1;
}

void RigidBody::SetOrientationFrom(const Matrix3d& rows)
{
    for (const auto& row : rows.m)
        for (double v : row)
            if (!std::isfinite(v)) {
                QueryHook1("RigidBody::SetOrientationFrom: the matrix is not finite; it was refused.");
                return;
            }
    SetOrientation(QuaternionFromMatrix(rows));
}

void RigidBody::SetPosition(const Vector3d& p)
{
    if (!IsFinite(p)) {
        QueryHook1("RigidBody::SetPosition: the position is not finite; it was refused.");
        return;
    }
    position = p;
    dirty = 1;
}

void RigidBody::SetVelocity(const Vector3d& v)
{
    if (!IsFinite(v)) {
        QueryHook1("RigidBody::SetVelocity: the velocity is not finite; it was refused.");
        return;
    }
    velocity = v;
    dirty = 1;
}

void RigidBody::SetAngularVelocity(const Vector3d& w)
{
    if (!IsFinite(w)) {
        QueryHook1("RigidBody::SetAngularVelocity: the angular velocity is not finite; it was refused.");
        return;
    }
    angularVelocity = w;
    dirty = 1;
}

void RigidBody::AddForceAtPoint(const Vector3d& f, const Vector3d& point)
{
    if (!IsFinite(f) || !IsFinite(point)) {
        QueryHook1("RigidBody::AddForceAtPoint: the force is not finite; it was ignored.");
        return;
    }
    force += f;
    torque += Cross(point - position, f);
}

void RigidBody::AddTorque(const Vector3d& t)
{
    if (!IsFinite(t)) {
        QueryHook1("RigidBody::AddTorque: the torque is not finite; it was ignored.");
        return;
    }
    torque += t;
}

void RigidBody::AddAngularImpulse(const Vector3d& j)
{
    if (!IsFinite(j)) {
        QueryHook1("RigidBody::AddAngularImpulse: the impulse is not finite; it was ignored.");
        return;
    }
    angularImpulse += j;
}

void RigidBody::AddLinearImpulse(const Vector3d& j)
{
    if (!IsFinite(j)) {
        QueryHook1("RigidBody::AddLinearImpulse: the impulse is not finite; it was ignored.");
        return;
    }
    linearImpulse += j;
}

void RigidBody::SetPersistentForce(const Vector3d& f)
{
    if (IsFinite(f))
        persistentForce = f;
    else
        QueryHook1("RigidBody::SetPersistentForce: the force is not finite; it was refused.");
}

void RigidBody::SetPersistentTorque(const Vector3d& t)
{
    if (IsFinite(t))
        persistentTorque = t;
    else
        QueryHook1("RigidBody::SetPersistentTorque: the torque is not finite; it was refused.");
}

void RigidBody::SetBodyFrameForce(const Vector3d& f, bool enabled)
{
    if (!IsFinite(f)) {
        QueryHook1("RigidBody::SetBodyFrameForce: the force is not finite; it was refused.");
        return;
    }
    bodyForce = f;
    bodyForceEnabled = enabled;
}

void RigidBody::SetBodyFrameTorque(const Vector3d& t, bool enabled)
{
    if (!IsFinite(t)) {
        QueryHook1("RigidBody::SetBodyFrameTorque: the torque is not finite; it was refused.");
        return;
    }
    bodyTorque = t;
    bodyTorqueEnabled = enabled;
}

void RigidBody::ClearForce()
{
    persistentForce = {};
}

void RigidBody::ClearTorque()
{
    persistentTorque = {};
}

void RigidBody::RebuildForce()
{
    force = persistentForce;
    if (bodyForceEnabled)
        force += rotation.TransposeMultiply(bodyForce);
}

void RigidBody::RebuildTorque()
{
    torque = persistentTorque;
    if (bodyTorqueEnabled)
        torque += rotation.TransposeMultiply(bodyTorque);
}

void RigidBody::ApplyImpulses()
{
    if (mass > 0.0) {
        velocity += linearImpulse / mass;
        // R^T diag(1/I) R J: the impulse taken into the body frame, scaled, and brought back.
        Vector3d local = rotation.Multiply(angularImpulse);
        local = {local.x / inertia.x, local.y / inertia.y, local.z / inertia.z};
        angularVelocity += rotation.TransposeMultiply(local);
    }
    linearImpulse = {};
    angularImpulse = {};
}

void RigidBody::WorldInertia(const Matrix3d& r, Matrix3d& iw) const
{
    const double moments[3] = {inertia.x, inertia.y, inertia.z};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            double sum = 0.0;
            for (int k = 0; k < 3; ++k)
                sum += r.m[k][i] * moments[k] * r.m[k][j];
            iw.m[i][j] = sum;
        }
}

void RigidBody::RefreshDerived()
{
    rotation = MatrixFromQuaternion(orientation);
    WorldInertia(rotation, worldInertia);
    worldInertiaInverse = InverseByCofactors(worldInertia);
    dirty = 0;
}

void RigidBody::ComputeAccelerations(const Matrix3d& r, const Vector3d& v, const Vector3d& w, double dt,
                                     Vector3d& a, Vector3d& alpha) const
{
    Matrix3d iw;
    WorldInertia(r, iw);
    ComputeAccelerations(iw, InverseByCofactors(iw), v, w, dt, a, alpha);
}

void RigidBody::ComputeAccelerations(const Matrix3d& iw, const Matrix3d& inverse, const Vector3d& v,
                                     const Vector3d& w, double dt, Vector3d& a, Vector3d& alpha) const
{
    // Euler's equations in the world frame.
    alpha = inverse.Multiply(torque - Cross(w, iw.Multiply(w)));
    if (angularDampingTime > 0.0)
        alpha -= w * RelaxationRate(dt, angularDampingTime);
    Vector3d free = force / mass + gravity;
    if (linearDampingTime > 0.0)
        a = (v - free * linearDampingTime) * -RelaxationRate(dt, linearDampingTime);
    else
        a = free;
}

double RigidBody::LinearVelocityPerForce(double dt) const
{
    if (linearDampingTime > 0.0)
        return dt * RelaxationRate(dt, linearDampingTime) * linearDampingTime / mass;
    return dt / mass;
}

bool RigidBody::IsStepAllowed(double dt, const char* badStepMessage)
{
    if (!std::isfinite(dt) || dt < 0.0) {
        QueryHook1(badStepMessage);
        return false;
    }
    if (dt > 0.0 && !(mass > 0.0)) {
        QueryHook1("RigidBody: mass and moments of inertia must be set before the first step.");
        return false;
    }
    return true;
}

void RigidBody::Integrate(double dt, int impulsesAlreadyApplied)
{
    if (!IsStepAllowed(dt, "RigidBody::Integrate: the time step must be finite and not negative."))
        return;
    if (dirty)
        RefreshDerived();
    if (!impulsesAlreadyApplied)
        ApplyImpulses();
    if (dt != 0.0) {
        RigidBodyState before;
        RigidBody::GetState(before);
        Vector3d a, alpha;
        ComputeAccelerations(worldInertia, worldInertiaInverse, velocity, angularVelocity, dt, a, alpha);
        angularVelocity += alpha * dt;
        velocity += a * dt;
        position += velocity * dt;
        orientation = QuaternionMultiply(RotationFromAngularVelocity(angularVelocity, dt), orientation);
        RigidBodyState after;
        RigidBody::GetState(after);
        if (!IsFinite(after)) {
            RigidBody::SetState(before);
            QueryHook1("RigidBody::Integrate: the step gave a non-finite state; it was undone.");
        } else {
            linearAcceleration = a;
            angularAcceleration = alpha;
        }
        RebuildForce();
        RebuildTorque();
    }
    RefreshDerived();
}

void RigidBody::IntegrateRK4(double dt, int impulsesAlreadyApplied)
{
    if (!IsStepAllowed(dt, "RigidBody::IntegrateRK4: the time step must be finite and not negative."))
        return;
    if (dirty)
        RefreshDerived();
    if (!impulsesAlreadyApplied)
        ApplyImpulses();
    if (dt == 0.0) {
        RefreshDerived();
        return;
    }
    const Vector3d p0 = position, v0 = velocity, w0 = angularVelocity;
    const Quaterniond q0 = orientation;

    // Stage k: velocities vk, wk at the stage state; ak, alphak the accelerations there.
    Vector3d v[4], w[4], a[4], alpha[4];
    v[0] = v0;
    w[0] = w0;
    ComputeAccelerations(worldInertia, worldInertiaInverse, v[0], w[0], dt, a[0], alpha[0]);
    const double stageTime[4] = {0.0, dt / 2, dt / 2, dt};
    for (int k = 1; k < 4; ++k) {
        double h = stageTime[k];
        v[k] = v0 + a[k - 1] * h;
        w[k] = w0 + alpha[k - 1] * h;
        Quaterniond q = QuaternionMultiply(RotationFromAngularVelocity(w[k - 1], h), q0);
        ComputeAccelerations(MatrixFromQuaternion(q), v[k], w[k], dt, a[k], alpha[k]);
    }
    Vector3d meanA = (a[0] + a[1] * 2.0 + a[2] * 2.0 + a[3]) / 6.0;
    Vector3d meanAlpha = (alpha[0] + alpha[1] * 2.0 + alpha[2] * 2.0 + alpha[3]) / 6.0;
    Vector3d meanV = (v[0] + v[1] * 2.0 + v[2] * 2.0 + v[3]) / 6.0;
    Vector3d meanW = (w[0] + w[1] * 2.0 + w[2] * 2.0 + w[3]) / 6.0;

    RigidBodyState next;
    next.linearVelocity = v0 + meanA * dt;
    next.angularVelocity = w0 + meanAlpha * dt;
    next.position = p0 + meanV * dt;
    next.orientation = QuaternionMultiply(RotationFromAngularVelocity(meanW, dt), q0);
    if (IsFinite(next)) {
        position = next.position;
        orientation = next.orientation;
        velocity = next.linearVelocity;
        angularVelocity = next.angularVelocity;
        linearAcceleration = meanA;
        angularAcceleration = meanAlpha;
    } else {
        QueryHook1("RigidBody::IntegrateRK4: the step gave a non-finite state; it was undone.");
    }
    RebuildForce();
    RebuildTorque();
    RefreshDerived();
}
