#pragma once

#include "physics/RigidBody.h"

class VehicleModel;

// One ground contact of a wheel: filled by the wheel-contact callback (normal, point, depth) and
// completed by the step.
struct WheelContact {
    Vector3d normal;  // unit, pointing out of the ground
    Vector3d point;   // world
    double depth = 0.0;  // > 0 while the wheel presses into the ground
    // The solved contact force: the normal force (starting as the suspension estimate) and the
    // tangential forces along tangent1 and tangent2.
    double normalForce = 0.0;
    double tangentForce1 = 0.0;
    double tangentForce2 = 0.0;
    Vector3d velocity;  // of the contact point
    Vector3d tangent1;  // unit(normal x wheel axis): the rolling direction
    Vector3d tangent2;  // tangent1 x normal
    double normalSpeed = 0.0;
    double tangentSpeed1 = 0.0;
    double tangentSpeed2 = 0.0;
    double friction = 0.0;  // the friction coefficient in force
    int sliding = 0;
};

// The body state plus what a vehicle adds to it.
struct VehicleState : RigidBodyState {
    double rollAngles[4] = {};
    double spinRates[4] = {};
    double steerInput = 0.0;
};

using WheelContactCallback = void (*)(VehicleModel& model);
using VehicleMessageCallback = void (*)(const char* message);

// For wheel-contact callbacks: the lowest point of a wheel (axis, centre, radius) towards the plane
// n . x = distance and how deep it lies below the plane. False when the wheel lies flat on the plane.
bool WheelContactFromPlane(Vector3d& point, double& depth, const Vector3d& axis, const Vector3d& centre,
                           double radius, const Vector3d& normal, double distance);

// A rigid body on four suspended wheels with steering, an engine with a power curve, automatically
// spaced gears and brakes. Body frame: x forward, y up, z sideways. Wheels: 0 front at r0, 1 back
// at r1, 2 back at r1 mirrored in z, 3 front at r0 mirrored in z.
class VehicleModel : public RigidBody {
public:
    static constexpr int kWheels = 4;
    static constexpr int kMaxContacts = 10;
    static constexpr int kMaxCurvePoints = 100;
    static constexpr int kMaxGears = 16;

    VehicleModel();

    void QueryHook1(const char* message) override;
    void QueryHook2(const char* message) override;
    using RigidBody::GetState;
    using RigidBody::SetState;
    using RigidBody::GetPosition;
    void GetState(RigidBodyState& state) const override;
    void SetState(const RigidBodyState& state) override;
    void GetState(VehicleState& state) const;
    void SetState(const VehicleState& state);
    void GetWorldMatrix(Matrix4d& matrix) const override;
    void GetPosition(Vector3d& position) const override;
    virtual void Step(double dt);
    virtual void QueryWheelContacts();

    void InitChassisAndWheels();
    // Returns 1 on success, 0 on a fatal parameter error (reported through QueryHook1, nothing
    // stored); warnings go to QueryHook2 without stopping.
    int SetBodyParameters(const Vector3d& gravity, const Vector3d& r0, const Vector3d& r1, double frontWheelRadius,
                          double backWheelRadius, const Vector3d& chassisTOI, const Vector3d& frontWheelTOI,
                          const Vector3d& backWheelTOI, double mass, double frontWheelMass, double backWheelMass);
    bool HasBodyParameters() const { return configured; }

    // Engine curve (speeds and powers, or null to keep the current curve), speeds, gear counts,
    // the wheel radius the speeds refer to, the power at the curve's peak, the neutral engine
    // speed, the driven wheels and a fixed gear spacing (0 = optimise). Returns the chosen forward
    // spacing, 0 with a fixed spacing and -1 without forward gears or when refused.
    double SetDrivetrain(const double* curveSpeeds, const double* curvePowers, int curveCount,
                         double maxForwardSpeed, double maxReverseSpeed, int forwardGears, int reverseGears,
                         double wheelRadius, double powerScale, double neutralEngineSpeed,
                         const int drivingWheels[kWheels], double fixedSpacing);
    bool SetEngineCurve(int count, const double* speeds, const double* powers);
    // Engine power at an engine speed, scaled so that the curve's peak gives the power scale.
    double EnginePower(double engineSpeed) const;
    // Torque at the wheels in a gear (positive forward, negative reverse) at the driven wheels'
    // spin s in the gear's direction.
    double WheelTorque(int gear, double spin) const;
    // The gear choice: forward gears for forward spin, reverse gears for backward spin, neutral
    // at rest or without a driven wheel.
    int ChooseGear() const;
    int GetGear() const { return currentGear; }
    void SetGear(int gear);
    int GetForwardGearCount() const { return forwardGearCount; }
    int GetReverseGearCount() const { return reverseGearCount; }
    // Wheel spin per unit of engine speed: gear g > 0 forward, g < 0 reverse.
    double GetGearValue(int gear) const;

    void SetSteerAngle(double radians);
    double GetSteerInput() const { return steerInput; }
    double GetWheelSteerAngle(int wheel) const;
    void SetThrottle(double throttle);
    void SetReverse(double throttle);
    double GetEngineSpeed() const;

    double GetWheelRadius(int wheel) const;
    Vector3d GetWheelPosition(int wheel) const;
    Vector3d GetWheelAxis(int wheel) const;
    double GetWheelSpinRate(int wheel) const;
    double GetWheelRollAngle(int wheel) const;
    double GetWheelHeight(int wheel) const;
    void GetWheelMatrix(int wheel, Matrix4d& matrix) const;
    int GetWheelGroundContact(int wheel) const;
    int GetWheelContactState() const;
    // Per-wheel solver read-outs of the last step: the largest tangential contact speed (-1
    // without contacts) and the friction utilisation (-1 without contacts, 2 sliding, -2 without
    // normal force, else tangential force over its friction bound).
    double GetWheelTangentialSpeed(int wheel) const;
    double GetWheelFrictionUse(int wheel) const;
    bool WasSolvedByFourWheelCase() const { return fourWheelSolved; }
    // The rolling force (world) that the four-wheel case or the torque hand-off gave the wheel's
    // contact in the last step, before the tyre and brake solve settled the contact force.
    Vector3d GetWheelRollingForce(int wheel) const;

    // Contact lists, for the wheel-contact callback.
    void ClearWheelContacts(int wheel);
    // False when the list is full or the contact is not finite or has no normal (dropped).
    bool AddWheelContact(int wheel, const Vector3d& normal, const Vector3d& point, double depth);
    int GetWheelContactCount(int wheel) const;
    const WheelContact& GetWheelContact(int wheel, int index) const;

    // Owner-written wheel state.
    void SetWheelHold(int wheel, int hold);
    int GetWheelHold(int wheel) const;
    void SetWheelBrakeTorque(int wheel, double torque);
    double GetWheelBrakeTorque(int wheel) const;
    void SetWheelDriveTorque(int wheel, double torque);
    double GetWheelDriveTorque(int wheel) const;
    void SetWheelFriction(int wheel, double coefficient);
    double GetWheelFriction(int wheel) const;
    void SetWheelStiffness(int wheel, double stiffness);
    double GetWheelStiffness(int wheel) const;
    void SetWheelDamping(int wheel, double damping);
    double GetWheelDamping(int wheel) const;
    void SetWheelPersistentSpinTorque(int wheel, double torque);
    void AddWheelSpinImpulse(int wheel, double impulse);

    // Derived set-up values.
    double GetWheelStaticLoad(int wheel) const;
    double GetWheelVerticalMass(int wheel) const;
    double GetWheelLateralMass(int wheel) const;
    double GetWheelLongitudinalMass(int wheel) const;
    double GetWheelRollingMass(int wheel) const;
    double GetWheelSpinInertia(int wheel) const;
    void GetCriticalDamping(double out[kWheels]) const;
    double SuggestedTimeStep() const;

    void SetSlidingThreshold(double speed);
    double GetSlidingThreshold() const { return slidingThreshold; }
    Vector3d GetChassisOffset() const { return chassisOffset; }

    void SetWheelContactCallback(WheelContactCallback callback) { contactCallback = callback; }
    WheelContactCallback GetWheelContactCallback() const { return contactCallback; }
    void SetErrorReporter(VehicleMessageCallback callback) { errorReporter = callback; }
    void SetWarningReporter(VehicleMessageCallback callback) { warningReporter = callback; }

    void AddWheelForce(const Vector3d& force, const Vector3d& point, int wheel);
    void AddWheelTorque(const Vector3d& torque, int wheel);
    void AddMountForce(const Vector3d& force, int wheel);
    void UpdateWheelFrames();

private:
    struct Wheel {
        Vector3d offset;
        double radius = 0.0;
        double mass = 0.0;
        double spinInertia = 0.0;
        double inverseSpinInertia = 0.0;
        double stiffness = 0.0;
        double damping = 0.0;
        double friction = 2.5;
        double staticLoad = 0.0;
        double verticalMass = 0.0;
        double longitudinalMass = 0.0;
        double lateralMass = 0.0;
        double rollingMass = 0.0;
        int driving = 0;
        double driveTorque = 0.0;
        double brakeTorque = 0.0;
        double steerAngle = 0.0;
        double rollAngle = 0.0;
        double spin = 0.0;
        double spinAcceleration = 0.0;
        Vector3d axis;
        Vector3d mountPosition;
        Vector3d mountVelocity;
        Vector3d angularVelocity;
        double spinTorque = 0.0;
        double persistentSpinTorque = 0.0;
        double spinImpulse = 0.0;
        int hold = 0;
        int directForce = 0;
        double displacement = 0.0;
        double displacementShown = 0.0;
        double displacementTarget = 0.0;
        WheelContact contacts[kMaxContacts];
        int contactCount = 0;
        Matrix4d matrix;
        // Working values of one step.
        double torque = 0.0;
        double suspensionEstimate = 0.0;
        double activeForce1 = 0.0;
        double activeForce2 = 0.0;
        double tangentialSpeed = -1.0;
        double frictionUse = -1.0;
        double brakeForce = 0.0;  // the brake torque the solve settled on (a warm start before it)
        bool brakeStops = false;
    };

    // End-of-step velocities of the body and the wheel spins, as the integration will give them.
    struct Motion {
        Vector3d velocity;
        Vector3d angularVelocity;
        double spin[kWheels] = {};
    };
    // One wheel's unknowns in the tyre and brake solve: 0 the brake torque, 1 and 2 the tyre force
    // along the contact's tangents; what a unit of each does to the motion, and what each sees.
    struct WheelBlock {
        bool brake = false;
        bool tyre = false;
        bool normal = false;
        // The normal force: the suspension estimate, answering the normal velocity's change within
        // the step as the spring and damper do (gain), never pulling.
        double normalEstimate = 0.0;
        double normalGain = 0.0;
        double normalSpeed = 0.0;
        double normalForce = 0.0;
        double friction = 0.0;
        double slidingFriction = 0.0;
        double slidingSpeed = 0.0;
        bool slides = false;
        Vector3d dvNormal;
        Vector3d dwNormal;
        double dsNormal = 0.0;
        double kNormal = 0.0;
        double brakeLimit = 0.0;
        double tyreLimit = 0.0;
        Vector3d dv[3];
        Vector3d dw[3];
        double ds[3] = {};
        double k[3][3] = {};
        double force[3] = {};
    };

    friend double SuggestedDynamicVelocity(VehicleModel& model, double dt);
    static void CalibrationGround(VehicleModel& model);

    bool CheckWheel(int wheel, const char* operation) const;
    static double FreeWheelBrake(Wheel& w, double dt);
    void ComputeWheelMatrix(int wheel, Matrix4d& matrix) const;
    void RefreshFrontWheels();
    void PrepareWheelContacts();
    void ApplyWheelContactForces();
    void SolveWheelContactForces();
    void SolveFourWheelCase();
    void ApplyContactForce(int wheel, const WheelContact& contact, const Vector3d& force);
    void SolveTyreAndBrakeForces();
    void MeasureWheel(int wheel, const Motion& motion, double out[3]) const;
    double MeasureNormalSpeed(int wheel, const Motion& motion) const;
    void SolveWheelBlock(int wheel, WheelBlock& block, Motion& motion) const;
    double DrivenWheelSpin(int& drivenCount) const;
    double GearPowerAt(int gear, double spin) const;
    bool FlankSpeeds(double spacing, double& low, double& high) const;
    bool BuildGearSeries(double spacing, double maxSpeed, double radius, double* values, int count) const;
    double AccelerationTime(const double* values, int count, double maxSpeed, double radius, double bestTime) const;

    Wheel wheels[kWheels];
    bool configured = false;
    Vector3d r0Param;
    Vector3d r1Param;
    Vector3d chassisTOIParam;
    double chassisMass = 0.0;
    double steerInput = 0.0;
    double stepTime = 0.0;
    double slidingThreshold = 1.0;
    double staticToSlidingRatio = 1.5;
    int inQuery = 0;
    bool fourWheelSolved = false;
    Vector3d chassisOffset;

    double curveSpeeds[kMaxCurvePoints] = {};
    double curvePowers[kMaxCurvePoints] = {};
    int curveCount = 0;
    double curveMaxPower = 0.0;
    double powerScale = 0.0;
    double forwardGears[kMaxGears] = {};
    double reverseGears[kMaxGears] = {};
    int forwardGearCount = 0;
    int reverseGearCount = 0;
    int currentGear = 0;
    double neutralEngineSpeed = 0.0;
    double maxForwardSpeed = 0.0;
    double maxReverseSpeed = 0.0;

    WheelContactCallback contactCallback = nullptr;
    VehicleMessageCallback errorReporter = nullptr;
    VehicleMessageCallback warningReporter = nullptr;
};

// Calibration: the speed at which the vehicle, steered at 0.6 on flat ground, starts to slide.
// 0 without gravity, -1 when the vehicle does not settle or the run gives no answer.
double SuggestedDynamicVelocity(VehicleModel& model, double dt);
