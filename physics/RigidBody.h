#pragma once

#include "physics/DoubleMath.h"

// The pose and velocities that GetState and SetState exchange: 13 doubles.
struct RigidBodyState {
    Quaterniond orientation;
    Vector3d position;
    Vector3d angularVelocity;
    Vector3d linearVelocity;
};

bool IsFinite(const RigidBodyState& state);

// A free rigid body in double precision with a diagonal body-frame inertia, force, torque and
// impulse accumulators and two integrators. The body knows no units: lengths, masses and times
// are whatever the caller supplies.
//
// Non-finite values never enter the state: setters and accumulators ignore them, and a step whose
// result is not finite is undone. Such refusals are reported through QueryHook1.
class RigidBody {
public:
    RigidBody();
    virtual ~RigidBody() = default;

    // The semi-implicit Euler step.
    virtual void Integrate(double dt, int impulsesAlreadyApplied);
    virtual void QueryHook1(const char* message);
    virtual void QueryHook2(const char* message);
    virtual void GetState(RigidBodyState& state) const;
    virtual void SetState(const RigidBodyState& state);
    virtual void GetWorldMatrix(Matrix4d& matrix) const;
    virtual void GetPosition(Vector3d& position) const;

    // The fourth-order Runge-Kutta step.
    void IntegrateRK4(double dt, int impulsesAlreadyApplied);

    double GetMass() const { return mass; }
    Vector3d GetInertia() const { return inertia; }
    // Mass and body-frame principal moments; refused (false, reported) unless all are positive
    // and finite.
    bool SetMassProperties(double newMass, const Vector3d& moments);
    Vector3d GetGravity() const { return gravity; }
    void SetGravity(const Vector3d& g);
    double GetLinearDampingTime() const { return linearDampingTime; }
    double GetAngularDampingTime() const { return angularDampingTime; }
    // A time constant of 0 or less switches that damping off.
    void SetDampingTimes(double linear, double angular);

    void GetInverseInertia(Matrix3d& inverse);
    Quaterniond GetOrientation() const { return orientation; }
    void SetOrientation(const Quaterniond& q);
    // Rows are the body's x, y and z axes in world coordinates.
    void SetOrientationFrom(const Matrix3d& rows);
    Vector3d GetPosition() const { return position; }
    void SetPosition(const Vector3d& p);
    void SetPositionXYZ(double x, double y, double z) { SetPosition({x, y, z}); }
    Vector3d GetVelocity() const { return velocity; }
    Vector3d* VelocityRef() { dirty = 1; return &velocity; }
    void SetVelocity(const Vector3d& v);
    void SetVelocityXYZ(double x, double y, double z) { SetVelocity({x, y, z}); }
    Vector3d GetAngularVelocity() const { return angularVelocity; }
    Vector3d* AngularVelocityRef() { dirty = 1; return &angularVelocity; }
    void SetAngularVelocity(const Vector3d& w);
    void SetAngularVelocityXYZ(double x, double y, double z) { SetAngularVelocity({x, y, z}); }
    Vector3d GetLinearAcceleration() const { return linearAcceleration; }
    Vector3d GetAngularAcceleration() const { return angularAcceleration; }
    // The orientation matrix of the last refresh (rows = body axes in world coordinates).
    const Matrix3d& GetOrientationMatrix() const { return rotation; }
    bool IsDirty() const { return dirty != 0; }

    void AddForceAtPoint(const Vector3d& force, const Vector3d& point);
    void AddTorque(const Vector3d& torque);
    void AddAngularImpulse(const Vector3d& impulse);
    void AddLinearImpulse(const Vector3d& impulse);
    Vector3d GetForceAccumulator() const { return force; }
    Vector3d GetTorqueAccumulator() const { return torque; }

    // Persistent forces and torques act on every step until cleared; the body-frame ones only
    // while enabled.
    void SetPersistentForce(const Vector3d& f);
    void SetPersistentTorque(const Vector3d& t);
    void SetBodyFrameForce(const Vector3d& f, bool enabled);
    void SetBodyFrameTorque(const Vector3d& t, bool enabled);
    void ClearForce();
    void ClearTorque();
    void ClearLinearImpulse() { linearImpulse = {}; }
    void ClearAngularImpulse() { angularImpulse = {}; }
    void RebuildForce();
    void RebuildTorque();
    void ApplyImpulses();
    void RefreshDerived();

protected:
    // Accelerations for the given orientation matrix, velocities and the current accumulators.
    void ComputeAccelerations(const Matrix3d& r, const Vector3d& v, const Vector3d& w, double dt,
                              Vector3d& a, Vector3d& alpha) const;
    void ComputeAccelerations(const Matrix3d& iw, const Matrix3d& inverse, const Vector3d& v, const Vector3d& w,
                              double dt, Vector3d& a, Vector3d& alpha) const;
    // The change of the linear velocity that one unit of force adds over a semi-implicit step of dt
    // (less than dt / mass while the linear damping acts).
    double LinearVelocityPerForce(double dt) const;
    bool IsStepAllowed(double dt, const char* badStepMessage);
    void WorldInertia(const Matrix3d& r, Matrix3d& iw) const;

    Vector3d gravity;
    double linearDampingTime = 100.0;
    double angularDampingTime = 100.0;
    Vector3d position;
    Quaterniond orientation;
    Vector3d velocity;
    Vector3d angularVelocity;
    Vector3d linearAcceleration;
    Vector3d angularAcceleration;
    double mass = 0.0;
    Vector3d inertia;  // Ix, Iy, Iz
    Matrix3d rotation;
    Matrix3d worldInertia;
    Matrix3d worldInertiaInverse;
    Vector3d force;
    Vector3d torque;
    Vector3d persistentForce;
    Vector3d persistentTorque;
    Vector3d bodyForce;
    Vector3d bodyTorque;
    bool bodyForceEnabled = false;
    bool bodyTorqueEnabled = false;
    Vector3d linearImpulse;
    Vector3d angularImpulse;
    int dirty = 1;
};
